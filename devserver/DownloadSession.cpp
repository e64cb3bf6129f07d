#include "devserver/DownloadSession.h"

#include <algorithm>

namespace dravel::devserver {

using asio::ip::tcp;

CDevServer::CDownloadSession::CDownloadSession(CDevServer& server, CSessionStream stream)
    : m_server(server), m_stream(std::move(stream)), m_timer(m_stream.get_executor()), m_buffer(kReadChunk, '\0') {}

CDevServer::CDownloadSession::~CDownloadSession() {
    if (m_pFile)
        std::fclose(m_pFile);
}

void CDevServer::CDownloadSession::Start() {
    std::string address = RemoteAddress(m_stream.Socket());
    std::optional<DownloadTicket> ticket = m_server.m_messenger.OnDownloadConnect(address);
    if (ticket)
        m_pFile = std::fopen(ticket->strPath.c_str(), "rb");
    m_server.m_transcript.Event(m_pFile ? "download" : "download-refused", 0,
                                address + (ticket ? " " + std::to_string(ticket->nFileId) : std::string()));
    if (!m_pFile) {
        Close();
        return;
    }
    uint32_t size = static_cast<uint32_t>(ticket->nSize);
    m_buffer[0] = static_cast<char>(size >> 24);
    m_buffer[1] = static_cast<char>(size >> 16);
    m_buffer[2] = static_cast<char>(size >> 8);
    m_buffer[3] = static_cast<char>(size);
    m_nRemaining = ticket->nSize;
    WriteSome(4);
}

void CDevServer::CDownloadSession::Arm() {
    m_timer.expires_after(kFileIdle);
    m_timer.async_wait([self = shared_from_this()](const asio::error_code& ec) {
        if (!ec)
            self->Close();
    });
}

void CDevServer::CDownloadSession::Close() {
    m_timer.cancel();
    m_stream.Close();
}

void CDevServer::CDownloadSession::WriteSome(size_t n) {
    Arm();
    asio::async_write(m_stream, asio::buffer(m_buffer.data(), n),
                      [self = shared_from_this()](const asio::error_code& ec, size_t) { self->OnWritten(ec); });
}

void CDevServer::CDownloadSession::OnWritten(const asio::error_code& ec) {
    if (ec || m_nRemaining <= 0) {
        Close();
        return;
    }
    size_t want = static_cast<size_t>(std::min<int64_t>(m_nRemaining, static_cast<int64_t>(m_buffer.size())));
    size_t n = std::fread(m_buffer.data(), 1, want, m_pFile);
    if (n == 0) {
        // The stored file is shorter than recorded: the client keeps what came, as after any early end.
        Close();
        return;
    }
    m_nRemaining -= static_cast<int64_t>(n);
    WriteSome(n);
}

} // namespace dravel::devserver
