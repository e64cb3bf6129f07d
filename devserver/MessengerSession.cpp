#include "devserver/MessengerSession.h"

namespace dravel::devserver {

using asio::ip::tcp;

CDevServer::CMessengerSession::CMessengerSession(CDevServer& server, SessionId id, CSessionStream stream)
    : m_server(server), m_nId(id), m_stream(std::move(stream)), m_reader(server.m_converter),
      m_buffer(kReadChunk, '\0') {}

void CDevServer::CMessengerSession::Start() {
    m_server.m_transcript.Event("connect", m_nId, RemoteAddress(m_stream.Socket()));
    m_server.Batch();
    m_server.m_messenger.OnConnect(m_nId, RemoteAddress(m_stream.Socket()));
    Read();
}

void CDevServer::CMessengerSession::Queue(std::string bytes) {
    if (m_bEnded || m_bDropping)
        return;
    m_nQueued += bytes.size();
    if (m_nQueued > m_server.m_options.nMaxQueuedBytes) {
        m_server.m_transcript.Event("drop", m_nId, "output queue over its cap");
        Drop();
        return;
    }
    m_out.push_back(std::move(bytes));
    if (!m_bWriting)
        Write();
}

// Ends the connection once the queued output has left.
void CDevServer::CMessengerSession::CloseAfterWrite() {
    if (m_bEnded || m_bClosing)
        return;
    m_bClosing = true;
    if (!m_bWriting)
        asio::post(m_stream.get_executor(), [self = shared_from_this()] { self->Finish(); });
}

// Ends the connection now; the messenger hears of it from the handler, never from inside a rule.
void CDevServer::CMessengerSession::Drop() {
    if (m_bEnded || m_bDropping)
        return;
    m_bDropping = true;
    asio::post(m_stream.get_executor(), [self = shared_from_this()] { self->Finish(); });
}

void CDevServer::CMessengerSession::Finish() {
    if (m_bEnded)
        return;
    m_bEnded = true;
    m_stream.Close();
    m_server.Ended(m_nId);
}

// Called once a second by the server's sweep.
void CDevServer::CMessengerSession::Check(Clock::time_point now, bool bSignedIn) {
    const ServerOptions& o = m_server.m_options;
    const char* reason = nullptr;
    if (!bSignedIn && now - m_tCreated > std::chrono::seconds(o.nSignInSeconds))
        reason = "no sign-in in time";
    else if (now - m_tLastReceive > std::chrono::seconds(o.nIdleSeconds))
        reason = "idle";
    else if (m_tPartialSince && now - *m_tPartialSince > std::chrono::seconds(o.nPartialSeconds))
        reason = "half a record for too long";
    if (reason) {
        m_server.m_transcript.Event("drop", m_nId, reason);
        Drop();
    }
}

void CDevServer::CMessengerSession::Read() {
    m_stream.async_read_some(asio::buffer(m_buffer), [self = shared_from_this()](const asio::error_code& ec, size_t n) {
        self->OnRead(ec, n);
    });
}

void CDevServer::CMessengerSession::OnRead(const asio::error_code& ec, size_t n) {
    if (m_bEnded)
        return;
    if (ec) {
        m_server.m_transcript.Event("disconnect", m_nId, ec == asio::error::eof ? "closed by peer" : ec.message());
        Finish();
        return;
    }
    m_tLastReceive = Clock::now();
    m_reader.Feed(std::string_view(m_buffer.data(), n));
    CComData record;
    for (;;) {
        if (m_bClosing || m_bDropping || m_bEnded)
            return; // nothing more is read from a connection that is being closed
        DecodeStatus s = m_reader.Next(record);
        if (s == DecodeStatus::NeedMore)
            break;
        if (s == DecodeStatus::Malformed) {
            m_server.m_transcript.Event("drop", m_nId, std::string("malformed record: ") + m_reader.Error());
            Finish();
            return;
        }
        m_server.m_transcript.Record("in", m_nId, m_server.m_messenger.UserOf(m_nId), record);
        m_server.Batch();
        m_server.m_messenger.OnRecord(m_nId, record);
    }
    if (m_reader.Pending() > m_server.m_options.nMaxRecordBytes) {
        m_server.m_transcript.Event("drop", m_nId, "record over the size cap");
        Finish();
        return;
    }
    if (m_reader.Pending() == 0)
        m_tPartialSince.reset();
    else if (!m_tPartialSince)
        m_tPartialSince = m_tLastReceive;
    Read();
}

void CDevServer::CMessengerSession::Write() {
    m_bWriting = true;
    m_strWriting.clear();
    for (std::string& s : m_out)
        m_strWriting += s;
    m_out.clear();
    asio::async_write(m_stream, asio::buffer(m_strWriting),
                      [self = shared_from_this()](const asio::error_code& ec, size_t) { self->OnWritten(ec); });
}

void CDevServer::CMessengerSession::OnWritten(const asio::error_code& ec) {
    m_bWriting = false;
    if (m_bEnded)
        return;
    m_nQueued -= std::min(m_nQueued, m_strWriting.size());
    if (ec) {
        m_server.m_transcript.Event("disconnect", m_nId, "write failed: " + ec.message());
        Finish();
        return;
    }
    if (!m_out.empty())
        Write();
    else if (m_bClosing)
        Finish();
}

} // namespace dravel::devserver
