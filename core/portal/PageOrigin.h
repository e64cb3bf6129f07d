#pragma once

// Which pages may drive the client: only the portal's own, that is pages served by the server host on
// the portal's one origin: the scheme the program's pages use (https in the encrypted mode, http
// otherwise, see PageScheme) on that scheme's own port. Addresses are code page 949 bytes as everywhere
// else; the rules look at their ASCII parts only.

#include <cstdint>
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

// Whether a page at `pageUrl` is one of the portal's: the pages' scheme (PageScheme), host equal to
// portalHost (case not counted), and the scheme's default port (80, 443), written or not. Another port
// of the same host is another server, and in the encrypted mode an http page is anybody's.
bool IsPortalPage(std::string_view pageUrl, std::string_view portalHost);

// The address a page may open a window on: an absolute address of the portal unchanged, or a path from
// the root ("/sm/...") on the portal (PortalPageUrl). Anything else (another host or scheme,
// file:, UNC and other relative forms, any backslash or control character) gives nothing.
std::optional<std::string> PortalWindowAddress(std::string_view requested, std::string_view portalHost);

// Where a hosted browser is about to go, as its navigation events tell it.
enum class NavigationKind {
    Page,      // the window's own page: a link, a form, a script setting the location
    Frame,     // a frame inside the page
    NewWindow, // the page asks for a window of its own (a link with a target, window.open)
};

enum class NavigationDecision {
    Allow,                // the browser goes there
    OpenPortalWindow,     // not in a browser window of its own: in one of the client's portal pop-ups
    OpenInDefaultBrowser, // not here: in the user's default browser
    Refuse,               // nowhere
};

struct NavigationRequest {
    std::string_view url; // code page 949 bytes
    NavigationKind kind = NavigationKind::Page;
    // The user clicked or pressed a key in the page a moment ago (see UserGesture).
    bool bUserActivated = false;
};

// The longest address given to the default browser (what the engines themselves take).
inline constexpr size_t kMaxOutsideAddress = 2083;

// Whether an address may be given to the user's default browser: an absolute http or https address
// (ParseWebOrigin) that becomes one argument of the browser's command line, so without a blank, quote,
// backslash or control character, and not longer than kMaxOutsideAddress.
bool IsOutsideAddressSafe(std::string_view url);

// Hosted windows stay on the portal. Its pages, and the page's own "about:blank" and "javascript:"
// (which stay in the page they run in), are allowed in the window and its frames; a new window on the
// portal opens as a portal pop-up of the client. A page or new window on any other http or https address
// opens in the user's default browser, and only when the user asked for it (a page does not start a
// program on its own); frames of other origins, other schemes (file:, UNC paths, res:, mailto: ...) and
// addresses that read two ways, hold a blank or a quote, or run over kMaxOutsideAddress are refused. Without a portal
// host nothing is the portal's.
NavigationDecision DecideNavigation(const NavigationRequest& request, std::string_view portalHost);

// How long after the user's click or key a page may still open a site in the default browser.
inline constexpr uint64_t kUserGestureMs = 2000;

// The user's own clicks and keys in one hosted page, as what lets the page open another site in the
// user's default browser: one window per gesture, within kUserGestureMs of it. Times are milliseconds
// of a monotonic clock.
class UserGesture {
public:
    void Note(uint64_t nNowMs) noexcept {
        m_nAtMs = nNowMs;
        m_bPending = true;
    }
    bool IsPending(uint64_t nNowMs) const noexcept {
        return m_bPending && nNowMs >= m_nAtMs && nNowMs - m_nAtMs <= kUserGestureMs;
    }
    // Uses the gesture up: true when one was pending.
    bool Take(uint64_t nNowMs) noexcept {
        const bool bPending = IsPending(nNowMs);
        m_bPending = false;
        return bPending;
    }

private:
    uint64_t m_nAtMs = 0;
    bool m_bPending = false;
};

} // namespace dravel
