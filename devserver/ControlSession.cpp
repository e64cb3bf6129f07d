#include "devserver/ControlSession.h"

namespace dravel::devserver {

using asio::ip::tcp;

CDevServer::CControlSession::CControlSession(CDevServer& server, tcp::socket socket)
    : m_server(server), m_socket(std::move(socket)), m_input(kMaxLine) {}

void CDevServer::CControlSession::Start() {
    Read();
}

void CDevServer::CControlSession::Read() {
    asio::async_read_until(m_socket, m_input, '\n',
                           [self = shared_from_this()](const asio::error_code& ec, size_t n) { self->OnLine(ec, n); });
}

void CDevServer::CControlSession::OnLine(const asio::error_code& ec, size_t n) {
    if (ec) {
        asio::error_code ignored;
        m_socket.close(ignored);
        return;
    }
    std::string line(asio::buffers_begin(m_input.data()), asio::buffers_begin(m_input.data()) + n);
    m_input.consume(n);
    m_strAnswer = m_server.HandleControl(line) + "\n";
    bool bShutdown = m_server.m_bStopping;
    asio::async_write(m_socket, asio::buffer(m_strAnswer),
                      [self = shared_from_this(), bShutdown](const asio::error_code& wec, size_t) {
                          if (bShutdown) {
                              self->m_server.Stop();
                              return;
                          }
                          if (!wec)
                              self->Read();
                      });
}

} // namespace dravel::devserver
