#pragma once

#include "core/protocol/ByteStream.h"
#include "core/protocol/Codec.h"
#include "core/protocol/ComData.h"
#include "core/protocol/KoreanTexts.h"

#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <string_view>

namespace dravel {

inline constexpr int32_t kMessengerPort = 8200;
inline constexpr int32_t kUploadPort = 8201;
inline constexpr int32_t kDownloadPort = 8202;

// What the connection needs from the rest of the program.
class ConnectionOwner {
public:
    virtual ~ConnectionOwner() = default;
    // One inbound record, in arrival order. The owner may end (and delete) the connection here.
    virtual void OnRecord(const CComData& record) = 0;
    // The connection ended under us: a write error, a server that stopped reading, a close or reset
    // by the server, or an unreadable stream. Called once, after the connection was closed and the
    // warning shown; the owner ends the session as for COM_CLOSE and may delete the connection here.
    virtual void OnConnectionLost() = 0;
    // Warns, without owner window, that the connection to the server was lost.
    virtual void ShowConnectionLost() = 0;
};

// The messenger connection's protocol logic: builds every outbound record, queues it and writes what
// the socket takes without ever waiting, reads whatever bytes have arrived and hands out complete
// records. Every end of the connection (a failed write, a full queue, a stalled server, a close or
// reset by the server, an unreadable stream) takes one path: close, warn, tell the owner.
// The socket is behind ByteStream; its notifications come in through ReadPendingRecords, OnWritable
// and OnPeerClosed, and a timer calls CheckSendProgress while bytes wait.
class CClientConnection {
public:
    // Bytes that may wait for a slow server. Every record a user makes is a few hundred bytes, so a
    // server that lets this much pile up has stopped reading.
    static constexpr size_t kMaxQueuedBytes = 1024 * 1024;
    // A server that takes no byte for this long while bytes wait is gone.
    static constexpr uint64_t kSendStallMs = 30000;
    // Records read while a box is up wait for it to close; together they hold at most this much.
    static constexpr size_t kMaxWaitingBytes = 32 * 1024 * 1024;

    CClientConnection(ConnectionOwner& owner, ByteStream& stream, const TextConverter& converter, std::string strId,
                      std::string strPassword, std::string strFileHost);
    virtual ~CClientConnection();
    CClientConnection(const CClientConnection&) = delete;
    CClientConnection& operator=(const CClientConnection&) = delete;

    // Queues one record behind the waiting ones and writes what the socket takes now; never waits.
    // True when the record was accepted (sent, or waiting for the socket). False when the connection
    // is closed, or when it fails here: a write error, or a record that would push the waiting bytes
    // past kMaxQueuedBytes (a lone record on an empty queue is always accepted). A failure closes,
    // warns and tells the owner, which may delete this object: the caller must not touch it after a
    // false return.
    bool SendRecord(const CComData& record);

    // The socket is writable again: writes what it takes of the waiting bytes.
    void OnWritable();

    // Fails the connection when bytes have waited and no byte was taken for kSendStallMs. `nowMs` is
    // any monotonic millisecond clock; the stall is measured from the first call that saw the latest
    // progress, so it is never reported early.
    void CheckSendProgress(uint64_t nowMs);

    // The receive pass: reads what arrived and dispatches each complete record in order, ending at
    // once when a dispatch ended the connection. A close or error of the stream takes the failure
    // path once the records before it are handled. Never nested: a call made while a pass runs (from
    // a modal loop inside a dispatch) only notes that more data may be there, and the running pass
    // reads again for it before it ends.
    void ReadPendingRecords();

    // The server closed or reset the connection: handles the records that are still readable, in
    // order, then takes the failure path.
    void OnPeerClosed();

    // The session is ending: the running pass ends after the current dispatch, nothing more is read
    // or handled and the end of the input is no longer news. Sending still works, for the logout.
    void StopReading();

    // Drops the reader and the waiting bytes and closes the stream. Safe to call twice.
    void CloseConnection();

    bool SendSignIn(std::string_view strVersion);
    bool SendLogout();
    bool SendConnectCheck();
    bool SendPrivateMessage(std::string_view key, std::string_view peerId, std::string_view text);
    bool SendFileOffer(std::string_view key, std::string_view peerId, std::string_view path);
    bool SendFileAnswer(std::string_view name, std::string_view peerId, std::string_view text, bool bSwap);
    bool SendAppendFriend(std::string_view userId);
    bool SendDeleteFriend(std::string_view userId);
    bool SendChatListCollect(std::string_view list);
    bool SendHistoryRequest(std::string_view peerId);

    // Granted by COM_LOGIN_MESSAGE.
    std::string m_strName;
    int32_t m_nStatus = 0;
    const std::string m_strId;
    const std::string m_strPassword;

    bool IsOpen() const { return m_bOpen; }
    size_t QueuedBytes() const { return m_strOut.size() - m_nOutSent; }

protected:
    // Bytes started or stopped waiting for the socket; the socket side runs its stall timer meanwhile.
    virtual void OnSendBacklog(bool /*bWaiting*/) {}

private:
    CComData MakeRecord(int32_t nCommand) const;
    // The connection-lost path shared by every way the connection can end under us.
    void Fail();
    // Writes waiting bytes until the socket stops taking them; false when that failed the connection.
    bool Flush();
    void NoteBacklog();
    // Reads and dispatches until the socket is drained, the read budget is spent (none after the
    // server's close) or a dispatch ended the connection; alive turns false when a dispatch deleted
    // this object.
    void ReadPass(const std::shared_ptr<bool>& alive);
    // During a modal loop inside a dispatch: reads and decodes what arrived without handling it.
    void ReadAhead();
    // Hands on the records read ahead, in order; false when a dispatch ended the pass.
    bool DispatchWaiting(const std::shared_ptr<bool>& alive);

    ConnectionOwner& m_owner;
    ByteStream& m_stream;
    const std::string m_strFileHost;
    CRecordReader m_reader;
    // Bytes not yet taken by the socket start at m_nOutSent; whole records, in order.
    std::string m_strOut;
    size_t m_nOutSent = 0;
    bool m_bBacklog = false;
    // Bytes ever taken by the socket, and the stall clock: started by the first check that saw the
    // count at m_nTakenSeen with bytes waiting.
    uint64_t m_nTaken = 0;
    uint64_t m_nTakenSeen = 0;
    uint64_t m_nStallSinceMs = 0;
    bool m_bStallClock = false;
    bool m_bOpen = true;
    bool m_bReading = true;
    bool m_bPeerClosed = false;
    bool m_bInPass = false;
    // A read notification arrived during the running pass; the socket signals again only after
    // another read, so the pass owes one.
    bool m_bReadOwed = false;
    // Records read during a modal loop inside a dispatch, waiting for the running pass; bounded.
    static constexpr size_t kMaxWaitingRecords = 10000;
    std::deque<CComData> m_waiting;
    // Their size together; past kMaxWaitingBytes the connection fails.
    size_t m_nWaitingBytes = 0;
    static size_t WaitingSize(const CComData& record);
    void ClearWaiting();
    bool m_bReadingAhead = false;
    // Lets a pass notice that a dispatch deleted this object.
    std::shared_ptr<bool> m_pAlive = std::make_shared<bool>(true);
};

} // namespace dravel
