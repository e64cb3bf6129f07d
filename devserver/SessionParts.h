#pragma once

// What the server's connection kinds share.

#include <asio.hpp>

#include <chrono>
#include <cstddef>
#include <string>

namespace dravel::devserver {

using Clock = std::chrono::steady_clock;

inline constexpr size_t kReadChunk = 64 * 1024;
inline constexpr auto kFileIdle = std::chrono::seconds(60); // a file connection that moves nothing for this long

inline std::string RemoteAddress(const asio::ip::tcp::socket& socket) {
    asio::error_code ec;
    asio::ip::tcp::endpoint ep = socket.remote_endpoint(ec);
    return ec ? std::string("?") : ep.address().to_string();
}

} // namespace dravel::devserver
