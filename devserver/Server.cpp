#include "Server.h"

#include "Control.h"

#include "core/protocol/Codec.h"

#include <cstdio>
#include <deque>

namespace dravel::devserver {

using asio::ip::tcp;
using Clock = std::chrono::steady_clock;

namespace {

constexpr size_t kReadChunk = 64 * 1024;
constexpr auto kFileIdle = std::chrono::seconds(60); // a file connection that moves nothing for this long
constexpr size_t kUploadHeader = 260;
constexpr size_t kMaxControlLine = 64 * 1024;

std::string RemoteAddress(const tcp::socket& socket) {
    asio::error_code ec;
    tcp::endpoint ep = socket.remote_endpoint(ec);
    return ec ? std::string("?") : ep.address().to_string();
}

} // namespace

// One messenger connection: bytes in through the core's record reader, records out in order.
class CDevServer::CMessengerSession : public std::enable_shared_from_this<CMessengerSession> {
public:
    CMessengerSession(CDevServer& server, SessionId id, tcp::socket socket)
        : m_server(server), m_nId(id), m_socket(std::move(socket)), m_reader(server.m_converter),
          m_buffer(kReadChunk, '\0') {}

    void Start() {
        m_server.m_transcript.Event("connect", m_nId, RemoteAddress(m_socket));
        m_server.Batch();
        m_server.m_messenger.OnConnect(m_nId, RemoteAddress(m_socket));
        Read();
    }

    void Queue(std::string bytes) {
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
    void CloseAfterWrite() {
        if (m_bEnded || m_bClosing)
            return;
        m_bClosing = true;
        if (!m_bWriting)
            asio::post(m_socket.get_executor(), [self = shared_from_this()] { self->Finish(); });
    }

    // Ends the connection now; the messenger hears of it from the handler, never from inside a rule.
    void Drop() {
        if (m_bEnded || m_bDropping)
            return;
        m_bDropping = true;
        asio::post(m_socket.get_executor(), [self = shared_from_this()] { self->Finish(); });
    }

    void Finish() {
        if (m_bEnded)
            return;
        m_bEnded = true;
        asio::error_code ec;
        m_socket.shutdown(tcp::socket::shutdown_both, ec);
        m_socket.close(ec);
        m_server.Ended(m_nId);
    }

    // Called once a second by the server's sweep.
    void Check(Clock::time_point now, bool bSignedIn) {
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

private:
    void Read() {
        m_socket.async_read_some(
            asio::buffer(m_buffer),
            [self = shared_from_this()](const asio::error_code& ec, size_t n) { self->OnRead(ec, n); });
    }

    void OnRead(const asio::error_code& ec, size_t n) {
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

    void Write() {
        m_bWriting = true;
        m_strWriting.clear();
        for (std::string& s : m_out)
            m_strWriting += s;
        m_out.clear();
        asio::async_write(m_socket, asio::buffer(m_strWriting),
                          [self = shared_from_this()](const asio::error_code& ec, size_t) { self->OnWritten(ec); });
    }

    void OnWritten(const asio::error_code& ec) {
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

    CDevServer& m_server;
    SessionId m_nId;
    tcp::socket m_socket;
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

// Port 8201: a 4-byte big-endian length, a 256-byte name, the bytes. The name only selects an offer.
class CDevServer::CUploadSession : public std::enable_shared_from_this<CUploadSession> {
public:
    CUploadSession(CDevServer& server, tcp::socket socket)
        : m_server(server), m_socket(std::move(socket)), m_timer(m_socket.get_executor()), m_buffer(kReadChunk, '\0') {}
    ~CUploadSession() {
        if (m_pFile)
            std::fclose(m_pFile);
    }

    void Start() {
        Arm();
        asio::async_read(m_socket, asio::buffer(m_header),
                         [self = shared_from_this()](const asio::error_code& ec, size_t) { self->OnHeader(ec); });
    }

private:
    void Arm() {
        m_timer.expires_after(kFileIdle);
        m_timer.async_wait([self = shared_from_this()](const asio::error_code& ec) {
            if (!ec)
                self->Close();
        });
    }

    void Close() {
        asio::error_code ec;
        m_timer.cancel();
        m_socket.close(ec);
    }

    void OnHeader(const asio::error_code& ec) {
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

    void ReadChunk() {
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
        m_socket.async_read_some(
            asio::buffer(m_buffer.data(), want),
            [self = shared_from_this()](const asio::error_code& ec, size_t n) { self->OnChunk(ec, n); });
    }

    void OnChunk(const asio::error_code& ec, size_t n) {
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

    void Fail(const std::string& why) {
        if (m_pFile) {
            std::fclose(m_pFile);
            m_pFile = nullptr;
        }
        m_server.Batch();
        m_server.m_messenger.OnUploadFailed(m_ticket);
        m_server.m_transcript.Event("upload-failed", 0, why);
        Close();
    }

    CDevServer& m_server;
    tcp::socket m_socket;
    asio::steady_timer m_timer;
    std::array<char, kUploadHeader> m_header{};
    std::string m_buffer;
    UploadTicket m_ticket;
    std::FILE* m_pFile = nullptr;
    int64_t m_nRemaining = 0;
};

// Port 8202: the file announced to this address, as a 4-byte big-endian length and the bytes.
class CDevServer::CDownloadSession : public std::enable_shared_from_this<CDownloadSession> {
public:
    CDownloadSession(CDevServer& server, tcp::socket socket)
        : m_server(server), m_socket(std::move(socket)), m_timer(m_socket.get_executor()), m_buffer(kReadChunk, '\0') {}
    ~CDownloadSession() {
        if (m_pFile)
            std::fclose(m_pFile);
    }

    void Start() {
        std::string address = RemoteAddress(m_socket);
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

private:
    void Arm() {
        m_timer.expires_after(kFileIdle);
        m_timer.async_wait([self = shared_from_this()](const asio::error_code& ec) {
            if (!ec)
                self->Close();
        });
    }

    void Close() {
        asio::error_code ec;
        m_timer.cancel();
        m_socket.shutdown(tcp::socket::shutdown_both, ec);
        m_socket.close(ec);
    }

    void WriteSome(size_t n) {
        Arm();
        asio::async_write(m_socket, asio::buffer(m_buffer.data(), n),
                          [self = shared_from_this()](const asio::error_code& ec, size_t) { self->OnWritten(ec); });
    }

    void OnWritten(const asio::error_code& ec) {
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

    CDevServer& m_server;
    tcp::socket m_socket;
    asio::steady_timer m_timer;
    std::string m_buffer;
    std::FILE* m_pFile = nullptr;
    int64_t m_nRemaining = 0;
};

// The test control: one command per line, one answer line per command.
class CDevServer::CControlSession : public std::enable_shared_from_this<CControlSession> {
public:
    CControlSession(CDevServer& server, tcp::socket socket)
        : m_server(server), m_socket(std::move(socket)), m_input(kMaxControlLine) {}

    void Start() { Read(); }

private:
    void Read() {
        asio::async_read_until(
            m_socket, m_input, '\n',
            [self = shared_from_this()](const asio::error_code& ec, size_t n) { self->OnLine(ec, n); });
    }

    void OnLine(const asio::error_code& ec, size_t n) {
        if (ec) {
            asio::error_code ignored;
            m_socket.close(ignored);
            return;
        }
        std::string line(asio::buffers_begin(m_input.data()), asio::buffers_begin(m_input.data()) + n);
        m_input.consume(n);
        m_strAnswer = m_server.HandleControl(line) + "\n";
        bool bShutdown = m_server.m_bStopping;
        asio::async_write(m_socket, asio::buffer(m_strAnswer),
                          [self = shared_from_this(), bShutdown](const asio::error_code& wec, size_t) {
                              if (bShutdown) {
                                  self->m_server.Stop();
                                  return;
                              }
                              if (!wec)
                                  self->Read();
                          });
    }

    CDevServer& m_server;
    tcp::socket m_socket;
    asio::streambuf m_input;
    std::string m_strAnswer;
};

CDevServer::CDevServer(CStore& store, ServerOptions options)
    : m_store(store), m_options(std::move(options)), m_messenger(store, *this, m_options.messenger),
      m_messengerAcceptor(m_io), m_uploadAcceptor(m_io), m_downloadAcceptor(m_io), m_controlAcceptor(m_io),
      m_sweepTimer(m_io), m_signals(m_io) {
    if (!m_options.strTranscript.empty() && !m_transcript.Open(m_options.strTranscript))
        throw std::runtime_error("cannot open the transcript " + m_options.strTranscript);
}

CDevServer::~CDevServer() = default;

namespace {
void Open(tcp::acceptor& acceptor, const std::string& address, uint16_t port) {
    tcp::endpoint ep(asio::ip::make_address(address), port);
    acceptor.open(ep.protocol());
    acceptor.set_option(tcp::acceptor::reuse_address(true));
    acceptor.bind(ep);
    acceptor.listen(asio::socket_base::max_listen_connections);
}
} // namespace

void CDevServer::Listen() {
    Open(m_messengerAcceptor, m_options.strBind, m_options.nMessengerPort);
    Open(m_uploadAcceptor, m_options.strBind, m_options.nUploadPort);
    Open(m_downloadAcceptor, m_options.strBind, m_options.nDownloadPort);
    if (m_options.bControl)
        Open(m_controlAcceptor, "127.0.0.1", m_options.nControlPort);
    AcceptMessenger();
    AcceptUpload();
    AcceptDownload();
    if (m_options.bControl)
        AcceptControl();
}

uint16_t CDevServer::MessengerPort() const {
    return m_messengerAcceptor.local_endpoint().port();
}
uint16_t CDevServer::UploadPort() const {
    return m_uploadAcceptor.local_endpoint().port();
}
uint16_t CDevServer::DownloadPort() const {
    return m_downloadAcceptor.local_endpoint().port();
}
uint16_t CDevServer::ControlPort() const {
    return m_options.bControl ? m_controlAcceptor.local_endpoint().port() : 0;
}

void CDevServer::Run() {
    Sweep();
    if (m_options.bHandleSignals) {
        m_signals.add(SIGINT);
        m_signals.add(SIGTERM);
        m_signals.async_wait([this](const asio::error_code& ec, int) {
            if (!ec)
                Stop();
        });
    }
    // A failing database call inside a handler ends that handler only; the server goes on.
    for (;;) {
        try {
            m_io.run();
            CommitBatch();
            return;
        } catch (const std::exception& e) {
            std::fprintf(stderr, "devserver: %s\n", e.what());
            m_transcript.Event("error", 0, e.what());
        }
    }
}

void CDevServer::Batch() {
    if (m_store.InTransaction())
        return;
    m_store.Begin();
    asio::post(m_io, [this] { CommitBatch(); });
}

void CDevServer::CommitBatch() {
    if (!m_store.InTransaction())
        return;
    try {
        m_store.Commit();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "devserver: commit failed: %s\n", e.what());
        m_transcript.Event("error", 0, std::string("commit failed: ") + e.what());
        try {
            m_store.Rollback();
        } catch (const std::exception&) {
        }
    }
}

void CDevServer::Stop() {
    m_bStopping = true;
    m_io.stop();
}

void CDevServer::AcceptMessenger() {
    m_messengerAcceptor.async_accept([this](const asio::error_code& ec, tcp::socket socket) {
        if (!ec) {
            socket.set_option(tcp::no_delay(true));
            SessionId id = m_nNextSession++;
            auto session = std::make_shared<CMessengerSession>(*this, id, std::move(socket));
            m_sessions[id] = session;
            session->Start();
        }
        if (m_messengerAcceptor.is_open())
            AcceptMessenger();
    });
}

void CDevServer::AcceptUpload() {
    m_uploadAcceptor.async_accept([this](const asio::error_code& ec, tcp::socket socket) {
        if (!ec)
            std::make_shared<CUploadSession>(*this, std::move(socket))->Start();
        if (m_uploadAcceptor.is_open())
            AcceptUpload();
    });
}

void CDevServer::AcceptDownload() {
    m_downloadAcceptor.async_accept([this](const asio::error_code& ec, tcp::socket socket) {
        if (!ec)
            std::make_shared<CDownloadSession>(*this, std::move(socket))->Start();
        if (m_downloadAcceptor.is_open())
            AcceptDownload();
    });
}

void CDevServer::AcceptControl() {
    m_controlAcceptor.async_accept([this](const asio::error_code& ec, tcp::socket socket) {
        if (!ec)
            std::make_shared<CControlSession>(*this, std::move(socket))->Start();
        if (m_controlAcceptor.is_open())
            AcceptControl();
    });
}

void CDevServer::Sweep() {
    Clock::time_point now = Clock::now();
    for (auto& [id, session] : m_sessions)
        session->Check(now, !m_messenger.UserOf(id).empty());
    m_sweepTimer.expires_after(std::chrono::seconds(1));
    m_sweepTimer.async_wait([this](const asio::error_code& ec) {
        if (!ec)
            Sweep();
    });
}

void CDevServer::Send(SessionId session, const CComData& record) {
    auto it = m_sessions.find(session);
    if (it == m_sessions.end())
        return;
    m_transcript.Record("out", session, m_messenger.UserOf(session), record);
    it->second->Queue(EncodeRecord(record));
}

void CDevServer::SendEncoded(SessionId session, const std::string& bytes) {
    auto it = m_sessions.find(session);
    if (it == m_sessions.end())
        return;
    if (m_transcript.IsOpen()) {
        CComData record;
        if (DecodeRecord(bytes, record, m_converter).status == DecodeStatus::Complete)
            m_transcript.Record("out", session, m_messenger.UserOf(session), record);
    }
    it->second->Queue(bytes);
}

void CDevServer::Close(SessionId session) {
    auto it = m_sessions.find(session);
    if (it != m_sessions.end())
        it->second->CloseAfterWrite();
}

std::time_t CDevServer::Now() {
    return std::time(nullptr);
}

void CDevServer::Drop(SessionId session) {
    auto it = m_sessions.find(session);
    if (it != m_sessions.end())
        it->second->Drop();
}

void CDevServer::Ended(SessionId session) {
    auto it = m_sessions.find(session);
    if (it == m_sessions.end())
        return;
    std::shared_ptr<CMessengerSession> keep = it->second;
    m_sessions.erase(it);
    Batch();
    m_messenger.OnDisconnect(session);
    m_transcript.Event("ended", session, "");
}

std::string CDevServer::HandleControl(const std::string& line) {
    std::vector<std::string> words = SplitControlLine(line);
    if (words.empty() || words[0].empty())
        return "error empty line";
    const std::string& verb = words[0];
    try {
        if (verb == "ping")
            return "ok";
        if (verb == "users") {
            std::string answer = "ok";
            for (const std::string& user : m_messenger.OnlineUsers())
                answer += " " + Cp949ToUtf8(user);
            return answer;
        }
        if (verb == "stats") {
            return "ok sessions=" + std::to_string(m_sessions.size()) +
                   " online=" + std::to_string(m_messenger.OnlineUsers().size()) +
                   " messages=" + std::to_string(m_store.MessageCount());
        }
        if (verb == "send") {
            if (words.size() < 3)
                return "error usage: send USER field=value...";
            std::string error;
            std::optional<CComData> record = ParseRecordWords(words, 2, error);
            if (!record)
                return "error " + error;
            return m_messenger.SendToUser(DecodeControlValue(words[1]), *record) ? "ok" : "error offline";
        }
        if (verb == "drop") {
            if (words.size() != 2)
                return "error usage: drop USER";
            std::optional<SessionId> session = m_messenger.SessionOf(DecodeControlValue(words[1]));
            if (!session)
                return "error offline";
            m_transcript.Event("drop", *session, "by the control");
            Drop(*session);
            return "ok";
        }
        if (verb == "shutdown") {
            m_bStopping = true;
            return "ok";
        }
    } catch (const std::exception& e) {
        return std::string("error ") + e.what();
    }
    return "error unknown command: " + verb;
}

} // namespace dravel::devserver
