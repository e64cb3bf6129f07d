#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace dravel {

// A host name is at most 253 characters (each dot-separated label at most 63).
inline constexpr size_t kServerHostMaxChars = 253;

// The server host an installation registered, when it is a usable host name or IPv4 address:
// letters, digits and hyphens in dot-separated labels of 1 to 63 characters, no label beginning or
// ending with a hyphen. Anything else (empty, blanks, control characters, a port or path, non-ASCII,
// too long) gives the build-time address, so a damaged value never points the client elsewhere.
std::string ChooseServerHost(std::wstring_view registered, std::string_view buildTime);

// The scheme of every page of the server's portal the program opens (login, logout, portal pages):
// "https://" once the process was set to encrypted connections, "http://" otherwise. Set once at
// start, before the first page; the login page carries the password in its address.
void SetSecurePages(bool bSecure);
std::string_view PageScheme();

} // namespace dravel
