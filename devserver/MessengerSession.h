#pragma once

#include "devserver/Server.h"
#include "devserver/SessionParts.h"
#include "devserver/SessionStream.h"

#include "core/protocol/Codec.h"

#include <deque>
#include <memory>
#include <optional>

namespace dravel::devserver {

// One messenger connection: bytes in through the core's record reader, records out in order.
class CDevServer::CMessengerSession : public std::enable_shared_from_this<CMessengerSession> {
public:
    CMessengerSession(CDevServer& server, SessionId id, CSessionStream stream);

    void Start();
    void Queue(std::string bytes);
    // Ends the connection once the queued output has left.
    void CloseAfterWrite();
    // Ends the connection now; the messenger hears of it from the handler, never from inside a rule.
    void Drop();
    void Finish();
    // Called once a second by the server's sweep.
    void Check(Clock::time_point now, bool bSignedIn);

private:
    void Read();
    void OnRead(const asio::error_code& ec, size_t n);
    void Write();
    void OnWritten(const asio::error_code& ec);

    CDevServer& m_server;
    SessionId m_nId;
    CSessionStream m_stream;
    CRecordReader m_reader;
    std::string m_buffer;
    std::deque<std::string> m_out;
    std::string m_strWriting;
    size_t m_nQueued = 0;
    bool m_bWriting = false;
    bool m_bClosing = false;
    bool m_bDropping = false;
    bool m_bEnded = false;
    Clock::time_point m_tCreated = Clock::now();
    Clock::time_point m_tLastReceive = Clock::now();
    std::optional<Clock::time_point> m_tPartialSince;
};

} // namespace dravel::devserver
