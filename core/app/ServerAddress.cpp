#include "core/app/ServerAddress.h"

#include <atomic>

namespace dravel {

namespace {

bool IsHostChar(wchar_t c) {
    return (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z') || (c >= L'0' && c <= L'9') || c == L'-';
}

bool IsValidHost(std::wstring_view host) {
    if (host.empty() || host.size() > kServerHostMaxChars)
        return false;
    size_t start = 0;
    while (true) {
        size_t dot = host.find(L'.', start);
        std::wstring_view label = host.substr(start, dot == std::wstring_view::npos ? host.npos : dot - start);
        if (label.empty() || label.size() > 63 || label.front() == L'-' || label.back() == L'-')
            return false;
        for (wchar_t c : label) {
            if (!IsHostChar(c))
                return false;
        }
        if (dot == std::wstring_view::npos)
            return true;
        start = dot + 1;
    }
}

} // namespace

std::string ChooseServerHost(std::wstring_view registered, std::string_view buildTime) {
    if (!IsValidHost(registered))
        return std::string(buildTime);
    // Only ASCII passed the check, so each character is its own byte.
    std::string host;
    host.reserve(registered.size());
    for (wchar_t c : registered)
        host += static_cast<char>(c);
    return host;
}

namespace {
std::atomic<bool> g_bSecurePages{false};
} // namespace

void SetSecurePages(bool bSecure) {
    g_bSecurePages = bSecure;
}

std::string_view PageScheme() {
    return g_bSecurePages ? "https://" : "http://";
}

} // namespace dravel
