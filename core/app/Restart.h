#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace dravel {

// The switch a restarted process finds on its command line.
inline constexpr std::wstring_view kRestartSwitch = L"--Restart";

// The restart command line lives in a buffer of 260 characters, its end mark included.
inline constexpr size_t kRestartCommandLineBuffer = 260;

// The command line that starts the executable again: its path, in double quotes when it holds a
// blank, then " --Restart", and " /TLS" when this process's connections are encrypted, so that a
// restart never falls back to plain. Empty when there is no path or the result would not fit the
// buffer: such a path is refused, never cut.
std::optional<std::wstring> BuildRestartCommandLine(std::wstring_view exePath, bool bEncrypted = false);

} // namespace dravel
