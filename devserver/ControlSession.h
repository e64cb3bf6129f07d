#pragma once

#include "devserver/Server.h"
#include "devserver/SessionParts.h"

#include <memory>

namespace dravel::devserver {

// The test control: one command per line, one answer line per command.
class CDevServer::CControlSession : public std::enable_shared_from_this<CControlSession> {
public:
    static constexpr size_t kMaxLine = 64 * 1024;

    CControlSession(CDevServer& server, asio::ip::tcp::socket socket);

    void Start();

private:
    void Read();
    void OnLine(const asio::error_code& ec, size_t n);

    CDevServer& m_server;
    asio::ip::tcp::socket m_socket;
    asio::streambuf m_input;
    std::string m_strAnswer;
};

} // namespace dravel::devserver
