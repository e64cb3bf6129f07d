// The request line of the development server's small HTTP server. Whatever it accepts must mean the
// same when every byte of its path and query is written as a percent escape, and a query decodes to
// no more than it was given.
#include "devserver/HttpRequest.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

namespace {

void Check(bool bHolds, const char* what) {
    if (!bHolds) {
        std::fprintf(stderr, "request line invariant broken: %s\n", what);
        std::abort();
    }
}

std::string Escaped(std::string_view text) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (char c : text) {
        const auto b = static_cast<unsigned char>(c);
        out += {'%', kHex[b >> 4], kHex[b & 15]};
    }
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view head(reinterpret_cast<const char*>(data), size);
    using dravel::devserver::DecodeQuery;
    using dravel::devserver::HttpRequest;
    using dravel::devserver::ParseHttpRequest;

    size_t total = 0;
    for (const auto& [name, value] : DecodeQuery(head))
        total += name.size() + value.size();
    Check(total <= size, "a query decodes to no more bytes than it has");

    const std::optional<HttpRequest> request = ParseHttpRequest(head);
    if (!request)
        return 0;
    Check(!request->strMethod.empty() && request->strMethod.find(' ') == std::string::npos, "a method word");
    for (char c : request->strMethod)
        Check(static_cast<unsigned char>(c) >= 0x20 && c != 0x7F, "no control byte in the method");
    Check(!request->strPath.empty() && request->strPath[0] == '/', "the path is absolute");
    Check(request->strPath.size() < size, "the path is part of the line");

    std::string line = request->strMethod + " /" + Escaped(request->strPath.substr(1));
    char separator = '?';
    for (const auto& [name, value] : request->params) {
        line += separator + Escaped(name) + "=" + Escaped(value);
        separator = '&';
    }
    line += " HTTP/1.0\r\n\r\n";
    const std::optional<HttpRequest> again = ParseHttpRequest(line);
    Check(again.has_value(), "an escaped request parses");
    Check(again->strMethod == request->strMethod && again->strPath == request->strPath &&
              again->params == request->params,
          "escaping every byte changes nothing");
    return 0;
}
