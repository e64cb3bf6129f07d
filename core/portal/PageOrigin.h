#pragma once

// Which pages may drive the client: only the portal's own, that is pages served over http or https by
// the server host (any port). Addresses are code page 949 bytes as everywhere else; the rules look at
// their ASCII parts only.

#include <optional>
#include <string>
#include <string_view>

namespace dravel {

// The parts of an absolute http or https address that decide where it comes from.
struct WebOrigin {
    std::string strScheme; // lower case: "http" or "https"
    std::string strHost;   // as written
    int nPort = -1;        // -1 when none is written
};

// The origin of an absolute http or https address, or nothing for anything else: other schemes,
// relative and scheme-relative addresses, UNC paths, empty text. Addresses a browser might read in more
// than one way are refused too: user information ("user@host"), a backslash, a control character or a
// blank before the path, a port that is not a number up to 65535, an empty host.
std::optional<WebOrigin> ParseWebOrigin(std::string_view url);

// Whether a page at `pageUrl` is one of the portal's: http or https, host equal to portalHost (case
// not counted), any port.
bool IsPortalPage(std::string_view pageUrl, std::string_view portalHost);

// The address a page may open a window on: an absolute address of the portal unchanged, or a path from
// the root ("/sm/...") on the portal ("http://" + host + path). Anything else (another host or scheme,
// file:, UNC and other relative forms, any backslash or control character) gives nothing.
std::optional<std::string> PortalWindowAddress(std::string_view requested, std::string_view portalHost);

} // namespace dravel
