#include "core/portal/PageOrigin.h"

#include "core/app/ServerAddress.h"
#include "core/portal/PortalMenu.h"

#include <algorithm>

namespace dravel {

namespace {

char Lower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool EqualNoCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return Lower(x) == Lower(y); });
}

bool IsControlOrBlank(char c) {
    const auto u = static_cast<unsigned char>(c);
    return u <= 0x20 || u == 0x7F;
}

bool IsSchemeChar(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '+' || c == '-' ||
           c == '.';
}

} // namespace

std::optional<WebOrigin> ParseWebOrigin(std::string_view url) {
    const size_t colon = url.find(':');
    if (colon == std::string_view::npos || colon == 0)
        return std::nullopt;
    const std::string_view scheme = url.substr(0, colon);
    if (!std::all_of(scheme.begin(), scheme.end(), IsSchemeChar))
        return std::nullopt;
    WebOrigin origin;
    if (EqualNoCase(scheme, "http"))
        origin.strScheme = "http";
    else if (EqualNoCase(scheme, "https"))
        origin.strScheme = "https";
    else
        return std::nullopt;
    std::string_view rest = url.substr(colon + 1);
    if (rest.substr(0, 2) != "//")
        return std::nullopt;
    rest.remove_prefix(2);
    const std::string_view authority = rest.substr(0, rest.find_first_of("/?#"));
    // "a\@b" or "a@b": some read the host before the sign, some after; neither is taken.
    if (authority.empty() || std::any_of(authority.begin(), authority.end(), [](char c) {
            return IsControlOrBlank(c) || c == '\\' || c == '@' || c == '%';
        }))
        return std::nullopt;
    // An IPv6 literal keeps its colons inside the brackets.
    size_t portColon = authority.rfind(':');
    if (portColon != std::string_view::npos && authority.find(']', portColon) != std::string_view::npos)
        portColon = std::string_view::npos;
    std::string_view host = authority.substr(0, portColon);
    if (portColon != std::string_view::npos) {
        const std::string_view port = authority.substr(portColon + 1);
        if (port.size() > 5 || !std::all_of(port.begin(), port.end(), [](char c) { return c >= '0' && c <= '9'; }))
            return std::nullopt;
        if (!port.empty()) {
            int n = 0;
            for (const char c : port)
                n = n * 10 + (c - '0');
            if (n > 65535)
                return std::nullopt;
            origin.nPort = n;
        }
    }
    if (host.empty())
        return std::nullopt;
    origin.strHost.assign(host);
    return origin;
}

bool IsPortalPage(std::string_view pageUrl, std::string_view portalHost) {
    if (portalHost.empty())
        return false;
    const std::optional<WebOrigin> origin = ParseWebOrigin(pageUrl);
    if (!origin.has_value())
        return false;
    std::string_view scheme = PageScheme();
    scheme = scheme.substr(0, scheme.find(':'));
    const int nOwnPort = scheme == "https" ? 443 : 80;
    return origin->strScheme == scheme && (origin->nPort < 0 ? nOwnPort : origin->nPort) == nOwnPort &&
           EqualNoCase(origin->strHost, portalHost);
}

std::optional<std::string> PortalWindowAddress(std::string_view requested, std::string_view portalHost) {
    if (requested.empty() || std::any_of(requested.begin(), requested.end(), [](char c) {
            const auto u = static_cast<unsigned char>(c);
            return u < 0x20 || u == 0x7F || c == '\\';
        }))
        return std::nullopt;
    std::string address;
    if (requested[0] == '/') {
        if (requested.size() > 1 && requested[1] == '/')
            return std::nullopt; // another host, without a scheme
        address = PortalPageUrl(portalHost, requested);
    } else {
        address.assign(requested);
    }
    if (!IsPortalPage(address, portalHost))
        return std::nullopt;
    return address;
}

namespace {

// "about:blank" or "javascript:...", as the engine writes them (scheme case not counted).
bool IsInPageAddress(std::string_view url) {
    if (EqualNoCase(url, "about:blank"))
        return true;
    constexpr std::string_view kScript = "javascript:";
    return url.size() >= kScript.size() && EqualNoCase(url.substr(0, kScript.size()), kScript);
}

} // namespace

NavigationDecision DecideNavigation(const NavigationRequest& request, std::string_view portalHost) {
    const std::string_view url = request.url;
    if (std::any_of(url.begin(), url.end(), [](char c) {
            const auto u = static_cast<unsigned char>(c);
            return u < 0x20 || u == 0x7F;
        }))
        return NavigationDecision::Refuse;
    const bool bPortal = IsPortalPage(url, portalHost);
    switch (request.kind) {
    case NavigationKind::Page:
    case NavigationKind::Frame:
        if (bPortal || IsInPageAddress(url))
            return NavigationDecision::Allow;
        break;
    case NavigationKind::NewWindow:
        if (bPortal)
            return NavigationDecision::OpenPortalWindow;
        break;
    }
    if (request.kind == NavigationKind::Frame || !request.bUserActivated || !IsOutsideAddressSafe(url))
        return NavigationDecision::Refuse;
    return NavigationDecision::OpenInDefaultBrowser;
}

bool IsOutsideAddressSafe(std::string_view url) {
    // The address becomes an argument of the default browser's command line: nothing that could end it
    // there and start another (a blank, a quote) goes, nor anything longer than browsers take.
    return url.size() <= kMaxOutsideAddress && ParseWebOrigin(url).has_value() &&
           std::none_of(url.begin(), url.end(), [](char c) {
               const auto u = static_cast<unsigned char>(c);
               return u <= 0x20 || u == 0x7F || c == '"' || c == '\\';
           });
}

} // namespace dravel
