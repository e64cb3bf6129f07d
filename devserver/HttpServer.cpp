#include "devserver/HttpServer.h"

#include <memory>

namespace dravel::devserver {

using asio::ip::tcp;

namespace {

constexpr size_t kMaxHead = 16 * 1024;

const char* Reason(int status) {
    switch (status) {
    case 200:
        return "OK";
    case 400:
        return "Bad Request";
    case 404:
        return "Not Found";
    case 405:
        return "Method Not Allowed";
    default:
        return "Error";
    }
}

std::string Response(int status, const std::string& type, const std::string& body, bool bWithBody) {
    std::string out = "HTTP/1.1 " + std::to_string(status) + " " + Reason(status) + "\r\nContent-Type: " + type +
                      "\r\nContent-Length: " + std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n";
    if (bWithBody)
        out += body;
    return out;
}

} // namespace

// One connection: the head, one answer, closed.
class CHttpServer::CSession : public std::enable_shared_from_this<CSession> {
public:
    CSession(CHttpServer& server, tcp::socket socket)
        : m_server(server), m_socket(std::move(socket)), m_timer(m_socket.get_executor()), m_input(kMaxHead) {}

    void Start() {
        m_timer.expires_after(m_server.m_timeout);
        m_timer.async_wait([self = shared_from_this()](const asio::error_code& ec) {
            if (!ec)
                self->Close();
        });
        asio::async_read_until(
            m_socket, m_input, "\r\n\r\n",
            [self = shared_from_this()](const asio::error_code& ec, size_t n) { self->OnHead(ec, n); });
    }

private:
    void OnHead(const asio::error_code& ec, size_t n) {
        if (ec == asio::error::not_found) {
            Answer(Response(400, "text/plain", "request head too long\n", true));
            return;
        }
        if (ec) {
            Close();
            return;
        }
        std::string head(asio::buffers_begin(m_input.data()), asio::buffers_begin(m_input.data()) + n);
        std::optional<HttpRequest> request = ParseHttpRequest(head);
        if (!request) {
            Answer(Response(400, "text/plain", "bad request\n", true));
            return;
        }
        bool bHead = request->strMethod == "HEAD";
        if (request->strMethod != "GET" && !bHead) {
            Answer(Response(405, "text/plain", "only GET\n", true));
            return;
        }
        WebReply reply;
        try {
            reply = m_server.m_handler(*request);
        } catch (const std::exception&) {
            reply = WebReply{500, "text/plain", "internal error\n"};
        }
        Answer(Response(reply.nStatus, reply.strType, reply.strBody, !bHead));
    }

    void Answer(std::string bytes) {
        m_strOut = std::move(bytes);
        asio::async_write(m_socket, asio::buffer(m_strOut),
                          [self = shared_from_this()](const asio::error_code&, size_t) { self->Close(); });
    }

    void Close() {
        asio::error_code ec;
        m_timer.cancel();
        m_socket.shutdown(tcp::socket::shutdown_both, ec);
        m_socket.close(ec);
    }

    CHttpServer& m_server;
    tcp::socket m_socket;
    asio::steady_timer m_timer;
    asio::streambuf m_input;
    std::string m_strOut;
};

CHttpServer::CHttpServer(Handler handler, std::chrono::milliseconds timeout)
    : m_handler(std::move(handler)), m_timeout(timeout), m_acceptor(m_io) {}

CHttpServer::~CHttpServer() {
    Stop();
}

bool CHttpServer::Start(const std::string& address, uint16_t port, std::string& error) {
    asio::error_code ec;
    tcp::endpoint ep(asio::ip::make_address(address, ec), port);
    if (!ec)
        m_acceptor.open(ep.protocol(), ec);
    if (!ec)
        m_acceptor.set_option(tcp::acceptor::reuse_address(true), ec);
    if (!ec)
        m_acceptor.bind(ep, ec);
    if (!ec)
        m_acceptor.listen(asio::socket_base::max_listen_connections, ec);
    if (ec) {
        error = "cannot bind " + address + ":" + std::to_string(port) + ": " + ec.message();
        asio::error_code ignored;
        m_acceptor.close(ignored);
        return false;
    }
    m_nPort = m_acceptor.local_endpoint().port();
    Accept();
    m_thread = std::thread([this] {
        for (;;) {
            try {
                m_io.run();
                return;
            } catch (const std::exception&) {
                // A failing connection ends alone; the server goes on.
            }
        }
    });
    return true;
}

void CHttpServer::Stop() {
    m_io.stop();
    if (m_thread.joinable())
        m_thread.join();
}

void CHttpServer::Accept() {
    m_acceptor.async_accept([this](const asio::error_code& ec, tcp::socket socket) {
        if (!ec)
            std::make_shared<CSession>(*this, std::move(socket))->Start();
        if (m_acceptor.is_open())
            Accept();
    });
}

} // namespace dravel::devserver
