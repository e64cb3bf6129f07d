#include "devserver/HttpRequest.h"

namespace dravel::devserver {

namespace {

int Hex(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

std::string Decode(std::string_view text, bool bPlusIsSpace) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c == '%' && i + 2 < text.size() && Hex(text[i + 1]) >= 0 && Hex(text[i + 2]) >= 0) {
            out.push_back(static_cast<char>(Hex(text[i + 1]) * 16 + Hex(text[i + 2])));
            i += 2;
        } else if (c == '+' && bPlusIsSpace) {
            out.push_back(' ');
        } else {
            out.push_back(c);
        }
    }
    return out;
}

} // namespace

WebParams DecodeQuery(std::string_view query) {
    WebParams params;
    while (!query.empty()) {
        size_t amp = query.find('&');
        std::string_view pair = query.substr(0, amp);
        query = amp == std::string_view::npos ? std::string_view() : query.substr(amp + 1);
        if (pair.empty())
            continue;
        size_t eq = pair.find('=');
        std::string name = Decode(pair.substr(0, eq), true);
        std::string value = eq == std::string_view::npos ? std::string() : Decode(pair.substr(eq + 1), true);
        params.emplace(std::move(name), std::move(value));
    }
    return params;
}

std::optional<HttpRequest> ParseHttpRequest(std::string_view head) {
    std::string_view line = head.substr(0, head.find("\r\n"));
    size_t sp1 = line.find(' ');
    if (sp1 == std::string_view::npos || sp1 == 0)
        return std::nullopt;
    size_t sp2 = line.find(' ', sp1 + 1);
    if (sp2 == std::string_view::npos || sp2 == sp1 + 1 || line.find(' ', sp2 + 1) != std::string_view::npos)
        return std::nullopt;
    std::string_view version = line.substr(sp2 + 1);
    if (version != "HTTP/1.1" && version != "HTTP/1.0")
        return std::nullopt;
    std::string_view target = line.substr(sp1 + 1, sp2 - sp1 - 1);
    if (target[0] != '/')
        return std::nullopt;
    for (char c : line)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
            return std::nullopt;
    HttpRequest request;
    request.strMethod = std::string(line.substr(0, sp1));
    size_t question = target.find('?');
    request.strPath = Decode(target.substr(0, question), false);
    if (question != std::string_view::npos)
        request.params = DecodeQuery(target.substr(question + 1));
    return request;
}

} // namespace dravel::devserver
