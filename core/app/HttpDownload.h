#pragma once

// The rules of the updater's download that do not depend on the platform's HTTP stack: where it comes
// from, how large it may be and which redirects are followed.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace dravel {

inline constexpr char kUpdatePath[] = "/Update/TamixUpdate.exe";
inline constexpr char kUpdaterFileName[] = "TamixUpdate.exe";
// No updater is anywhere near this; a larger answer is refused and what arrived of it deleted.
inline constexpr uint64_t kMaxDownloadSize = 64u * 1024u * 1024u;
// The download, from the proxy's choice to the last byte: start-up goes on after it. With what comes
// before and after it, the update check holds start-up for less than 10 s.
inline constexpr uint32_t kUpdateDeadlineMs = 9500;
// Redirects followed (each to our own origin) before the download is given up.
inline constexpr int kMaxRedirects = 5;
// "host:port" of the longest host name and port.
inline constexpr size_t kUpdateServerMaxChars = 253 + 6;

struct HostPort {
    std::string strHost;
    uint16_t nPort = 80;
};

// "host" or "host:port"; false for an empty host or a port that is not 1..65535.
bool ParseHostPort(std::string_view address, uint16_t nDefaultPort, HostPort& out);

// The update server: the one the installation registered ("UpdateServer" beside "Config": a host name or
// IPv4 address by the rule of the messenger server's host, optionally ":port"), else the build's. False
// when neither is usable.
bool ChooseUpdateServer(std::wstring_view registered, std::string_view buildTime, uint16_t nDefaultPort, HostPort& out);

// "AutoUpdate" beside "Config": a DWORD 0, or the text "0", turns the self-update off; anything else, or
// nothing, leaves it on.
bool AutoUpdateSwitchedOff(std::optional<uint32_t> dword, std::wstring_view text);

// The path to ask for next when the update server answers with a redirect to `location`: only on the
// same scheme, host and port (an absolute path, or an absolute or scheme-relative address of that very
// origin). Nothing for anything else: another host, scheme or port, user information, a relative
// reference, blanks or control bytes.
std::optional<std::string> SameOriginRedirect(std::string_view location, bool bSecure, const HostPort& origin);

} // namespace dravel
