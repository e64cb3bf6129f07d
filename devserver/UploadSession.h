#pragma once

#include "devserver/Server.h"
#include "devserver/SessionParts.h"
#include "devserver/SessionStream.h"

#include <array>
#include <cstdint>
#include <cstdio>
#include <memory>

namespace dravel::devserver {

// Port 8201: a 4-byte big-endian length, a 256-byte name, the bytes. The name only selects an offer.
class CDevServer::CUploadSession : public std::enable_shared_from_this<CUploadSession> {
public:
    static constexpr size_t kHeaderBytes = 260;

    CUploadSession(CDevServer& server, CSessionStream stream);
    ~CUploadSession();

    void Start();

private:
    void Arm();
    void Close();
    void OnHeader(const asio::error_code& ec);
    void ReadChunk();
    void OnChunk(const asio::error_code& ec, size_t n);
    void Fail(const std::string& why);

    CDevServer& m_server;
    CSessionStream m_stream;
    asio::steady_timer m_timer;
    std::array<char, kHeaderBytes> m_header{};
    std::string m_buffer;
    UploadTicket m_ticket;
    std::FILE* m_pFile = nullptr;
    int64_t m_nRemaining = 0;
};

} // namespace dravel::devserver
