#include "devserver/Server.h"

#include "devserver/Control.h"
#include "devserver/ControlSession.h"
#include "devserver/DownloadSession.h"
#include "devserver/MessengerSession.h"
#include "devserver/UploadSession.h"

#include "core/protocol/Codec.h"

#include <cstdio>

namespace dravel::devserver {

using asio::ip::tcp;

CDevServer::CDevServer(CStore& store, ServerOptions options)
    : m_store(store), m_options(std::move(options)), m_messenger(store, *this, m_options.messenger),
      m_messengerAcceptor(m_io), m_uploadAcceptor(m_io), m_downloadAcceptor(m_io), m_controlAcceptor(m_io),
      m_sweepTimer(m_io), m_signals(m_io) {
    if (!m_options.strTranscript.empty() && !m_transcript.Open(m_options.strTranscript))
        throw std::runtime_error("cannot open the transcript " + m_options.strTranscript);
    if (!m_options.strTlsCertificate.empty() || !m_options.strTlsKey.empty()) {
#ifdef DEVSERVER_WITH_TLS
        m_pTls = std::make_unique<asio::ssl::context>(asio::ssl::context::tls_server);
        m_pTls->set_options(asio::ssl::context::default_workarounds | asio::ssl::context::no_sslv2 |
                            asio::ssl::context::no_sslv3 | asio::ssl::context::no_tlsv1 |
                            asio::ssl::context::no_tlsv1_1);
        m_pTls->use_certificate_chain_file(m_options.strTlsCertificate);
        m_pTls->use_private_key_file(m_options.strTlsKey, asio::ssl::context::pem);
#else
        throw std::runtime_error("this build has no TLS");
#endif
    }
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
            Secure(std::move(socket), [this, id](CSessionStream stream) {
                if (m_bStopping)
                    return;
                auto session = std::make_shared<CMessengerSession>(*this, id, std::move(stream));
                m_sessions[id] = session;
                session->Start();
            });
        }
        if (m_messengerAcceptor.is_open())
            AcceptMessenger();
    });
}

void CDevServer::AcceptUpload() {
    m_uploadAcceptor.async_accept([this](const asio::error_code& ec, tcp::socket socket) {
        if (!ec)
            Secure(std::move(socket), [this](CSessionStream stream) {
                std::make_shared<CUploadSession>(*this, std::move(stream))->Start();
            });
        if (m_uploadAcceptor.is_open())
            AcceptUpload();
    });
}

void CDevServer::AcceptDownload() {
    m_downloadAcceptor.async_accept([this](const asio::error_code& ec, tcp::socket socket) {
        if (!ec)
            Secure(std::move(socket), [this](CSessionStream stream) {
                std::make_shared<CDownloadSession>(*this, std::move(stream))->Start();
            });
        if (m_downloadAcceptor.is_open())
            AcceptDownload();
    });
}

void CDevServer::Secure(tcp::socket socket, std::function<void(CSessionStream)> start) {
#ifdef DEVSERVER_WITH_TLS
    if (m_pTls) {
        struct Handshake {
            std::unique_ptr<CSessionStream::TlsStream> pTls;
            asio::steady_timer timer;
        };
        auto pState = std::make_shared<Handshake>(Handshake{
            std::make_unique<CSessionStream::TlsStream>(std::move(socket), *m_pTls), asio::steady_timer(m_io)});
        pState->timer.expires_after(std::chrono::seconds(m_options.nSignInSeconds));
        pState->timer.async_wait([pState](const asio::error_code& ec) {
            if (!ec) {
                asio::error_code ignored;
                pState->pTls->next_layer().close(ignored);
            }
        });
        pState->pTls->async_handshake(asio::ssl::stream_base::server,
                                      [this, pState, start = std::move(start)](const asio::error_code& ec) {
                                          pState->timer.cancel();
                                          if (ec) {
                                              m_transcript.Event("tls-refused", 0, ec.message());
                                              asio::error_code ignored;
                                              pState->pTls->next_layer().close(ignored);
                                              return;
                                          }
                                          start(CSessionStream(std::move(pState->pTls)));
                                      });
        return;
    }
#endif
    start(CSessionStream(std::move(socket)));
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
