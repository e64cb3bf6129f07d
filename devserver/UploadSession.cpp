#include "devserver/UploadSession.h"

#include "devserver/Text.h"

#include <algorithm>
#include <cstring>

namespace dravel::devserver {

using asio::ip::tcp;

CDevServer::CUploadSession::CUploadSession(CDevServer& server, CSessionStream stream)
    : m_server(server), m_stream(std::move(stream)), m_timer(m_stream.get_executor()), m_buffer(kReadChunk, '\0') {}

CDevServer::CUploadSession::~CUploadSession() {
    if (m_pFile)
        std::fclose(m_pFile);
}

void CDevServer::CUploadSession::Start() {
    Arm();
    asio::async_read(m_stream, asio::buffer(m_header),
                     [self = shared_from_this()](const asio::error_code& ec, size_t) { self->OnHeader(ec); });
}

void CDevServer::CUploadSession::Arm() {
    m_timer.expires_after(kFileIdle);
    m_timer.async_wait([self = shared_from_this()](const asio::error_code& ec) {
        if (!ec)
            self->Close();
    });
}

void CDevServer::CUploadSession::Close() {
    m_timer.cancel();
    m_stream.Close();
}

void CDevServer::CUploadSession::OnHeader(const asio::error_code& ec) {
    if (ec) {
        Close();
        return;
    }
    uint32_t raw = (uint32_t(uint8_t(m_header[0])) << 24) | (uint32_t(uint8_t(m_header[1])) << 16) |
                   (uint32_t(uint8_t(m_header[2])) << 8) | uint32_t(uint8_t(m_header[3]));
    int32_t length = static_cast<int32_t>(raw);
    const char* name = m_header.data() + 4;
    std::string remote(name, strnlen(name, 256));
    m_server.Batch();
    std::optional<UploadTicket> ticket = m_server.m_messenger.OnUploadHeader(remote, length);
    m_server.m_transcript.Event(ticket ? "upload" : "upload-refused", 0,
                                Cp949ToUtf8(remote) + " " + std::to_string(length));
    if (!ticket) {
        Close();
        return;
    }
    m_ticket = *ticket;
    m_pFile = std::fopen(m_ticket.strPath.c_str(), "wb");
    if (!m_pFile) {
        Fail("cannot create " + m_ticket.strPath);
        return;
    }
    m_nRemaining = m_ticket.nSize;
    ReadChunk();
}

void CDevServer::CUploadSession::ReadChunk() {
    if (m_nRemaining == 0) {
        bool ok = std::fclose(m_pFile) == 0;
        m_pFile = nullptr;
        if (!ok) {
            Fail("write error");
            return;
        }
        m_server.Batch();
        m_server.m_messenger.OnUploadComplete(m_ticket);
        m_server.m_transcript.Event("upload-complete", 0, std::to_string(m_ticket.nFileId));
        Close();
        return;
    }
    size_t want = static_cast<size_t>(std::min<int64_t>(m_nRemaining, static_cast<int64_t>(m_buffer.size())));
    Arm();
    m_stream.async_read_some(
        asio::buffer(m_buffer.data(), want),
        [self = shared_from_this()](const asio::error_code& ec, size_t n) { self->OnChunk(ec, n); });
}

void CDevServer::CUploadSession::OnChunk(const asio::error_code& ec, size_t n) {
    if (ec) {
        Fail("connection ended early: " + ec.message());
        return;
    }
    if (std::fwrite(m_buffer.data(), 1, n, m_pFile) != n) {
        Fail("write error");
        return;
    }
    m_nRemaining -= static_cast<int64_t>(n);
    ReadChunk();
}

void CDevServer::CUploadSession::Fail(const std::string& why) {
    if (m_pFile) {
        std::fclose(m_pFile);
        m_pFile = nullptr;
    }
    m_server.Batch();
    m_server.m_messenger.OnUploadFailed(m_ticket);
    m_server.m_transcript.Event("upload-failed", 0, why);
    Close();
}

} // namespace dravel::devserver
