#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace dravel {

inline constexpr size_t kCommandLineIdChars = 10;
inline constexpr size_t kCommandLinePasswordChars = 12;

// Credentials a launcher passes as "/ID:" and "/PW:".
struct CommandLineCredentials {
    std::wstring strId;
    std::wstring strPassword;
};

// Text after the first `key` (case-sensitive), at most `maxChars` characters, cut at the first blank.
// Empty when the key is absent.
std::wstring TakeCommandLineValue(std::wstring_view commandLine, std::wstring_view key, size_t maxChars);

// Reads "/ID:" (at most 10 characters) and "/PW:" (at most 12) from the command line without the
// program path; other text around them is ignored and their order does not matter.
CommandLineCredentials ParseCommandLineCredentials(std::wstring_view commandLine);

// The switch that makes every connection to the server encrypted (as the installation's "Encrypted"
// value does).
inline constexpr std::wstring_view kEncryptedSwitch = L"/TLS";

// Whether the command line holds "/TLS" as a word of its own (case-insensitive).
bool HasEncryptedSwitch(std::wstring_view commandLine);

// Whether this process was started by a restart of its predecessor ("--Restart" anywhere).
bool IsRestartLaunch(std::wstring_view fullCommandLine);

} // namespace dravel
