#pragma once

#include "devserver/HttpRequest.h"
#include "devserver/WebPages.h"

#include <asio.hpp>

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <thread>

namespace dravel::devserver {

// A small HTTP/1.1 server on its own Asio thread: one GET (or HEAD) per connection, answered with
// Content-Length and "Connection: close". A head over 16 KB, a bad request line or a client that takes
// longer than the time-out for its head gets 400 (or nothing) and is closed; other connections go on.
class CHttpServer {
public:
    using Handler = std::function<WebReply(const HttpRequest&)>;

    explicit CHttpServer(Handler handler, std::chrono::milliseconds timeout = std::chrono::seconds(10));
    ~CHttpServer();
    CHttpServer(const CHttpServer&) = delete;
    CHttpServer& operator=(const CHttpServer&) = delete;

    // Binds (port 0: a free one) and starts the thread; false with the reason in `error`.
    bool Start(const std::string& address, uint16_t port, std::string& error);
    uint16_t Port() const { return m_nPort; }
    void Stop();

private:
    class CSession;
    void Accept();

    Handler m_handler;
    std::chrono::milliseconds m_timeout;
    asio::io_context m_io;
    asio::ip::tcp::acceptor m_acceptor;
    std::thread m_thread;
    uint16_t m_nPort = 0;
};

} // namespace dravel::devserver
