#pragma once

#include "devserver/Server.h"
#include "devserver/SessionParts.h"

#include <cstdint>
#include <cstdio>
#include <memory>

namespace dravel::devserver {

// Port 8202: the file announced to this address, as a 4-byte big-endian length and the bytes.
class CDevServer::CDownloadSession : public std::enable_shared_from_this<CDownloadSession> {
public:
    CDownloadSession(CDevServer& server, asio::ip::tcp::socket socket);
    ~CDownloadSession();

    void Start();

private:
    void Arm();
    void Close();
    void WriteSome(size_t n);
    void OnWritten(const asio::error_code& ec);

    CDevServer& m_server;
    asio::ip::tcp::socket m_socket;
    asio::steady_timer m_timer;
    std::string m_buffer;
    std::FILE* m_pFile = nullptr;
    int64_t m_nRemaining = 0;
};

} // namespace dravel::devserver
