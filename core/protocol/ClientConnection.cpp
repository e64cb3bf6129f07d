#include "core/protocol/ClientConnection.h"

#include <algorithm>

namespace dravel {

namespace {
// Bytes taken from the socket per read; the reader keeps whatever does not yet form a record.
constexpr size_t kReadChunk = 64 * 1024;
// Reads per pass before yielding to the message loop; the socket signals again while data remains.
constexpr int kReadsPerPass = 16;
} // namespace

CClientConnection::CClientConnection(ConnectionOwner& owner, ByteStream& stream, const TextConverter& converter,
                                     std::string strId, std::string strPassword, std::string strFileHost)
    : m_strId(std::move(strId)), m_strPassword(std::move(strPassword)), m_owner(owner), m_stream(stream),
      m_strFileHost(std::move(strFileHost)), m_reader(converter) {}

CClientConnection::~CClientConnection() {
    *m_pAlive = false;
}

void CClientConnection::CloseConnection() {
    if (!m_bOpen)
        return;
    m_bOpen = false;
    m_reader.Reset();
    m_strOut.clear();
    m_nOutSent = 0;
    m_stream.Close();
    NoteBacklog();
}

void CClientConnection::Fail() {
    // Close before the warning: its message loop may deliver socket and timer messages, which must
    // find the connection already closed instead of failing a second time.
    CloseConnection();
    std::shared_ptr<bool> alive = m_pAlive;
    m_owner.ShowConnectionLost();
    if (*alive)
        m_owner.OnConnectionLost();
}

void CClientConnection::NoteBacklog() {
    const bool bWaiting = QueuedBytes() > 0;
    if (bWaiting == m_bBacklog)
        return;
    m_bBacklog = bWaiting;
    OnSendBacklog(bWaiting);
}

bool CClientConnection::Flush() {
    while (QueuedBytes() > 0) {
        const ByteStream::WriteResult w = m_stream.Write(m_strOut.data() + m_nOutSent, QueuedBytes());
        if (w.status == ByteStream::WriteStatus::Error) {
            Fail();
            return false;
        }
        if (w.status == ByteStream::WriteStatus::WouldBlock || w.size == 0)
            break;
        const size_t nTaken = std::min(w.size, QueuedBytes());
        m_nOutSent += nTaken;
        m_nTaken += nTaken;
    }
    if (m_nOutSent == m_strOut.size()) {
        m_strOut.clear();
        m_nOutSent = 0;
    } else if (m_nOutSent > m_strOut.size() / 2) {
        // Sent bytes go once they are the larger part, so the queue costs linear time overall.
        m_strOut.erase(0, m_nOutSent);
        m_nOutSent = 0;
    }
    NoteBacklog();
    return true;
}

bool CClientConnection::SendRecord(const CComData& record) {
    if (!m_bOpen)
        return false;
    const size_t nWaiting = QueuedBytes();
    const size_t nBefore = m_strOut.size();
    EncodeRecord(m_strOut, record);
    if (nWaiting > 0 && nWaiting + (m_strOut.size() - nBefore) > kMaxQueuedBytes) {
        // The server has stopped reading; holding more for it only delays the news.
        Fail();
        return false;
    }
    return Flush();
}

void CClientConnection::OnWritable() {
    if (m_bOpen)
        Flush();
}

void CClientConnection::CheckSendProgress(uint64_t nowMs) {
    if (!m_bOpen)
        return;
    if (QueuedBytes() == 0) {
        m_bStallClock = false;
        return;
    }
    if (!m_bStallClock || m_nTaken != m_nTakenSeen || nowMs < m_nStallSinceMs) {
        m_bStallClock = true;
        m_nTakenSeen = m_nTaken;
        m_nStallSinceMs = nowMs;
        return;
    }
    if (nowMs - m_nStallSinceMs >= kSendStallMs)
        Fail();
}

size_t CClientConnection::WaitingSize(const CComData& r) {
    return sizeof(CComData) + r.m_strName.size() + r.m_strTarget.size() + r.m_strId.size() + r.m_strPassword.size() +
           r.m_strText.size() + r.m_strHost.size();
}

void CClientConnection::ClearWaiting() {
    m_waiting.clear();
    m_nWaitingBytes = 0;
}

void CClientConnection::StopReading() {
    m_bReading = false;
    m_reader.Reset();
    ClearWaiting();
}

void CClientConnection::OnPeerClosed() {
    if (!m_bOpen || !m_bReading)
        return;
    m_bPeerClosed = true;
    ReadPendingRecords();
}

void CClientConnection::ReadPendingRecords() {
    if (!m_bOpen || !m_bReading)
        return;
    if (m_bInPass) {
        // A modal loop inside a dispatch: nesting here would stack one dispatch (and its box) per
        // record. The records are read ahead and wait for the running pass, except what cannot wait.
        m_bReadOwed = true;
        ReadAhead();
        return;
    }
    // Cleared on every way out, unless a dispatch deleted this object.
    struct CPassGuard {
        CClientConnection& conn;
        std::shared_ptr<bool> alive;
        ~CPassGuard() {
            if (*alive)
                conn.m_bInPass = false;
        }
    } guard{*this, m_pAlive};
    m_bInPass = true;
    ReadPass(guard.alive);
}

void CClientConnection::ReadAhead() {
    // A box or transfer window may stay up for long; the end of the session must not wait for it. So
    // the bytes are read now and decoded: a close of the stream fails the connection at once, and the
    // server's COM_CLOSE is handed on at once (all it does is ask for the session's end, which is safe
    // anywhere). Everything else waits, in order, for the running pass; beyond kMaxWaitingRecords the
    // rest stays in the socket.
    if (m_bReadingAhead)
        return;
    m_bReadingAhead = true;
    std::shared_ptr<bool> alive = m_pAlive;
    std::string chunk;
    CComData record;
    for (;;) {
        // What the reader already holds comes before anything read now.
        for (;;) {
            if (m_waiting.size() >= kMaxWaitingRecords) {
                m_bReadingAhead = false;
                return;
            }
            DecodeStatus s = m_reader.Next(record);
            if (s == DecodeStatus::NeedMore)
                break;
            if (s == DecodeStatus::Malformed) {
                ClearWaiting();
                m_bReadingAhead = false;
                Fail();
                return;
            }
            if (record.m_nCommand == COM_CLOSE) {
                ClearWaiting();
                m_owner.OnRecord(record);
                if (!*alive)
                    return;
                m_bReadingAhead = false;
                // The session ends: nothing after the close is handled.
                if (m_bOpen && m_bReading)
                    StopReading();
                return;
            }
            m_nWaitingBytes += WaitingSize(record);
            m_waiting.push_back(record);
            if (m_nWaitingBytes > kMaxWaitingBytes) {
                // A server that floods us while a box is up: the connection goes and is built again.
                ClearWaiting();
                m_bReadingAhead = false;
                Fail();
                return;
            }
        }
        if (!m_bOpen || !m_bReading)
            break;
        if (chunk.empty())
            chunk.assign(kReadChunk, '\0');
        ByteStream::ReadResult r = m_stream.Read(chunk.data(), chunk.size());
        if (r.status == ByteStream::ReadStatus::WouldBlock) {
            m_bReadingAhead = false;
            if (m_bPeerClosed) {
                ClearWaiting();
                Fail();
            }
            return;
        }
        if (r.status != ByteStream::ReadStatus::Data) {
            m_reader.Reset();
            ClearWaiting();
            m_bReadingAhead = false;
            Fail();
            return;
        }
        m_reader.Feed(std::string_view(chunk.data(), r.size));
    }
    m_bReadingAhead = false;
}

bool CClientConnection::DispatchWaiting(const std::shared_ptr<bool>& alive) {
    while (!m_waiting.empty()) {
        CComData record = std::move(m_waiting.front());
        m_waiting.pop_front();
        m_nWaitingBytes -= std::min(m_nWaitingBytes, WaitingSize(record));
        m_owner.OnRecord(record);
        if (!*alive || !m_bOpen || !m_bReading)
            return false;
    }
    return true;
}

void CClientConnection::ReadPass(const std::shared_ptr<bool>& alive) {
    std::string chunk(kReadChunk, '\0');
    CComData record;
    // Records read ahead during a modal loop of an earlier pass come first.
    if (!DispatchWaiting(alive))
        return;
    for (int nRead = 1;; ++nRead) {
        // This read answers every notification that came before it.
        m_bReadOwed = false;
        ByteStream::ReadResult r = m_stream.Read(chunk.data(), chunk.size());
        if (r.status == ByteStream::ReadStatus::WouldBlock) {
            // After the server's close nothing more can come: what was there has been handled.
            if (m_bPeerClosed)
                Fail();
            return;
        }
        if (r.status != ByteStream::ReadStatus::Data) {
            // A part of a record at the end is dropped; the records before it were handled.
            m_reader.Reset();
            Fail();
            return;
        }
        m_reader.Feed(std::string_view(chunk.data(), r.size));
        for (;;) {
            DecodeStatus s = m_reader.Next(record);
            if (s == DecodeStatus::NeedMore)
                break;
            if (s == DecodeStatus::Malformed) {
                // Past a bad length the record boundaries are lost; a deaf connection helps nobody.
                Fail();
                return;
            }
            m_owner.OnRecord(record);
            // A dispatch that ended the session ends the pass, and nothing after it is news.
            if (!*alive || !m_bOpen || !m_bReading)
                return;
            // What a modal loop of that dispatch read ahead comes before anything the reader holds.
            if (!DispatchWaiting(alive))
                return;
        }
        // A swallowed notification is made up here, whatever the read gave: a modal loop ran during
        // the dispatch, so the message queue is not being starved. After the server's close the pass
        // reads to the end, which the socket's buffer bounds.
        if (m_bReadOwed || m_bPeerClosed)
            continue;
        if (r.size < chunk.size() || nRead >= kReadsPerPass)
            return;
    }
}

CComData CClientConnection::MakeRecord(int32_t nCommand) const {
    CComData r;
    r.m_strId = m_strId;
    r.m_strPassword = m_strPassword;
    r.m_strName = m_strName;
    r.m_nStatus = m_nStatus;
    r.m_nCommand = nCommand;
    return r;
}

bool CClientConnection::SendSignIn(std::string_view strVersion) {
    CComData r = MakeRecord(COM_SIGN_IN);
    r.m_strName = m_strId;
    r.m_strTarget = kServerWord;
    r.m_strText = kSignInWord;
    r.m_strText += strVersion;
    return SendRecord(r);
}

bool CClientConnection::SendLogout() {
    CComData r = MakeRecord(COM_SIGN_OUT);
    r.m_strTarget = kServerWord;
    r.m_strText = kLogoutWord;
    return SendRecord(r);
}

bool CClientConnection::SendConnectCheck() {
    if (m_nStatus != 1)
        return false;
    CComData r = MakeRecord(COM_CONNECT_CHECK);
    r.m_strTarget = kServerWord;
    r.m_strText = kConnectCheckWord;
    return SendRecord(r);
}

bool CClientConnection::SendPrivateMessage(std::string_view key, std::string_view peerId, std::string_view text) {
    CComData r = MakeRecord(COM_PRIVATE_MESSAGE);
    if (key == kServerWord) {
        r.m_strName = kServerWord;
        r.m_strText = text;
    } else {
        r.m_strTarget = peerId;
        r.m_strText.reserve(key.size() + 2 + text.size());
        r.m_strText.append(key).append(": ").append(text);
    }
    return SendRecord(r);
}

bool CClientConnection::SendFileOffer(std::string_view key, std::string_view peerId, std::string_view path) {
    CComData r = MakeRecord(COM_FILE_TRANSFER);
    r.m_strTarget = peerId;
    r.m_strText.append(key).append(": ").append(path);
    r.m_strHost = m_strFileHost;
    r.m_nPort = kUploadPort;
    return SendRecord(r);
}

bool CClientConnection::SendFileAnswer(std::string_view name, std::string_view peerId, std::string_view text,
                                       bool bSwap) {
    CComData r = MakeRecord(COM_FILE_RECEIVER);
    if (bSwap) {
        r.m_strId = peerId;
        r.m_strTarget = m_strId;
    } else {
        r.m_strTarget = peerId;
    }
    r.m_strName = name;
    r.m_strText = text;
    r.m_strHost = m_strFileHost;
    r.m_nPort = kDownloadPort;
    return SendRecord(r);
}

bool CClientConnection::SendAppendFriend(std::string_view userId) {
    CComData r = MakeRecord(COM_APPEND_FRIEND);
    r.m_strTarget = kServerWord;
    r.m_strText = userId;
    return SendRecord(r);
}

bool CClientConnection::SendDeleteFriend(std::string_view userId) {
    CComData r = MakeRecord(COM_DELETE_FRIEND);
    r.m_strTarget = kServerWord;
    r.m_strText = userId;
    return SendRecord(r);
}

bool CClientConnection::SendChatListCollect(std::string_view list) {
    CComData r = MakeRecord(COM_CHATLIST_COLLECT);
    r.m_strTarget = list;
    return SendRecord(r);
}

bool CClientConnection::SendHistoryRequest(std::string_view peerId) {
    CComData r = MakeRecord(COM_PRIVATE_HISTORY);
    r.m_strTarget = peerId;
    return SendRecord(r);
}

} // namespace dravel
