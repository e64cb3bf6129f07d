#pragma once

// The request line of the small HTTP server, apart from its Asio code so that it can be tested and fuzzed
// on its own.

#include "devserver/WebPages.h"

#include <optional>
#include <string>
#include <string_view>

namespace dravel::devserver {

struct HttpRequest {
    std::string strMethod;
    std::string strPath; // decoded, without the query
    WebParams params;    // the decoded query
};

// Reads the request line of a request head ("GET /path?a=1&b=%41 HTTP/1.1"); nullopt when it is not
// one. Percent escapes are decoded in the path and the query, '+' becomes a space in the query.
std::optional<HttpRequest> ParseHttpRequest(std::string_view head);
// "a=1&b=%41" into names and values; a bad escape is kept as it is.
WebParams DecodeQuery(std::string_view query);

} // namespace dravel::devserver
