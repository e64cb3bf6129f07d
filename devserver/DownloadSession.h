#pragma once

#include "devserver/Server.h"
#include "devserver/SessionParts.h"
#include "devserver/SessionStream.h"

#include <cstdint>
#include <cstdio>
#include <memory>

namespace dravel::devserver {

// Port 8202: the file announced to this address, as a 4-byte big-endian length and the bytes.
class CDevServer::CDownloadSession : public std::enable_shared_from_this<CDownloadSession> {
public:
    CDownloadSession(CDevServer& server, CSessionStream stream);
    ~CDownloadSession();

    void Start();

private:
    void Arm();
    void Close();
    void WriteSome(size_t n);
    void OnWritten(const asio::error_code& ec);

    CDevServer& m_server;
    CSessionStream m_stream;
    asio::steady_timer m_timer;
    std::string m_buffer;
    std::FILE* m_pFile = nullptr;
    int64_t m_nRemaining = 0;
};

} // namespace dravel::devserver
