#include "core/app/HttpDownload.h"

#include "core/app/ServerAddress.h"

namespace dravel {

namespace {

char LowerAscii(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (LowerAscii(a[i]) != LowerAscii(b[i]))
            return false;
    }
    return true;
}

bool StartsWithNoCase(std::string_view s, std::string_view prefix) {
    return s.size() >= prefix.size() && EqualsNoCase(s.substr(0, prefix.size()), prefix);
}

bool ParsePort(std::string_view digits, uint16_t& out) {
    if (digits.empty() || digits.size() > 5)
        return false;
    uint32_t v = 0;
    for (char c : digits) {
        if (c < '0' || c > '9')
            return false;
        v = v * 10 + static_cast<uint32_t>(c - '0');
    }
    if (v == 0 || v > 65535)
        return false;
    out = static_cast<uint16_t>(v);
    return true;
}

} // namespace

bool ParseHostPort(std::string_view address, uint16_t nDefaultPort, HostPort& out) {
    std::string_view host = address;
    uint16_t port = nDefaultPort;
    size_t colon = address.rfind(':');
    if (colon != std::string_view::npos) {
        host = address.substr(0, colon);
        if (!ParsePort(address.substr(colon + 1), port))
            return false;
    }
    if (host.empty() || host.find_first_of(" \t\r\n/:@") != std::string_view::npos)
        return false;
    out.strHost = std::string(host);
    out.nPort = port;
    return true;
}

bool ChooseUpdateServer(std::wstring_view registered, std::string_view buildTime, uint16_t nDefaultPort,
                        HostPort& out) {
    std::wstring_view host = registered;
    uint16_t port = nDefaultPort;
    if (size_t colon = registered.find(L':'); colon != std::wstring_view::npos) {
        host = registered.substr(0, colon);
        std::string digits;
        for (wchar_t c : registered.substr(colon + 1))
            digits += c >= L'0' && c <= L'9' ? static_cast<char>(c) : 'x';
        if (!ParsePort(digits, port))
            host = {};
    }
    // The messenger host's rule, with nothing to fall back on: empty when the name is not usable.
    std::string checked = ChooseServerHost(host, "");
    if (!checked.empty()) {
        out.strHost = std::move(checked);
        out.nPort = port;
        return true;
    }
    return ParseHostPort(buildTime, nDefaultPort, out);
}

bool AutoUpdateSwitchedOff(std::optional<uint32_t> dword, std::wstring_view text) {
    if (dword)
        return *dword == 0;
    while (!text.empty() && (text.front() == L' ' || text.front() == L'\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == L' ' || text.back() == L'\t'))
        text.remove_suffix(1);
    return text == L"0";
}

std::optional<std::string> SameOriginRedirect(std::string_view location, bool bSecure, const HostPort& origin) {
    for (char c : location) {
        if (static_cast<unsigned char>(c) <= 0x20 || static_cast<unsigned char>(c) >= 0x7f || c == '\\')
            return std::nullopt;
    }
    std::string_view rest = location;
    if (StartsWithNoCase(rest, "http://") || StartsWithNoCase(rest, "https://")) {
        const bool bTheirsSecure = StartsWithNoCase(rest, "https://");
        if (bTheirsSecure != bSecure)
            return std::nullopt;
        rest.remove_prefix(bTheirsSecure ? 6 : 5); // leaves "//authority..."
    }
    if (rest.substr(0, 2) == "//") {
        rest.remove_prefix(2);
        const size_t end = rest.find_first_of("/?#");
        const std::string_view authority = rest.substr(0, end);
        HostPort theirs;
        if (authority.find('@') != std::string_view::npos || !ParseHostPort(authority, bSecure ? 443 : 80, theirs) ||
            !EqualsNoCase(theirs.strHost, origin.strHost) || theirs.nPort != origin.nPort)
            return std::nullopt;
        rest = rest.substr(end == std::string_view::npos ? rest.size() : end);
        rest = rest.substr(0, rest.find('#'));
        return rest.empty() || rest.front() != '/' ? "/" + std::string(rest) : std::string(rest);
    }
    rest = rest.substr(0, rest.find('#'));
    if (rest.empty() || rest.front() != '/')
        return std::nullopt;
    return std::string(rest);
}

} // namespace dravel
