#pragma once

#include "devserver/Messenger.h"
#include "devserver/Store.h"
#include "devserver/Text.h"
#include "devserver/Transcript.h"

#include "devserver/SessionStream.h"

#include <asio.hpp>

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>

namespace dravel::devserver {

struct ServerOptions {
    std::string strBind = "127.0.0.1"; // the messenger and file ports; the control is always loopback
    uint16_t nMessengerPort = 8200;
    uint16_t nUploadPort = 8201;
    uint16_t nDownloadPort = 8202;
    uint16_t nControlPort = 8203;
    bool bControl = true;
    bool bHandleSignals = false;          // SIGINT and SIGTERM stop Run
    int nSignInSeconds = 30;              // a connection that has not signed in by then is dropped
    int nIdleSeconds = 600;               // nothing received for this long: dropped (the client checks every 150 s)
    int nPartialSeconds = 30;             // half a record waiting this long: dropped
    size_t nMaxRecordBytes = 1024 * 1024; // a record may not need more than this
    size_t nMaxQueuedBytes = 64 * 1024 * 1024; // output a slow reader may leave waiting
    std::string strTranscript;
    // With both, the messenger and file ports speak TLS (PEM files; the certificate file may hold the chain).
    std::string strTlsCertificate;
    std::string strTlsKey;
    MessengerOptions messenger;
};

// The sockets of the development server on one Asio thread: the messenger port, the two file ports
// and the test control. Every rule lives in CMessenger; this class only moves bytes.
class CDevServer final : private ServerHost {
public:
    CDevServer(CStore& store, ServerOptions options);
    ~CDevServer() override;

    // Binds every port (0 picks a free one); throws std::system_error when one cannot be bound.
    void Listen();
    uint16_t MessengerPort() const;
    uint16_t UploadPort() const;
    uint16_t DownloadPort() const;
    uint16_t ControlPort() const;

    // Runs until Stop (from any thread) or the control's "shutdown".
    void Run();
    void Stop();

private:
    class CMessengerSession;
    class CUploadSession;
    class CDownloadSession;
    class CControlSession;
    friend class CMessengerSession;
    friend class CUploadSession;
    friend class CDownloadSession;
    friend class CControlSession;

    // ServerHost
    void Send(SessionId session, const CComData& record) override;
    void SendEncoded(SessionId session, const std::string& bytes) override;
    void Close(SessionId session) override;
    std::time_t Now() override;

    void AcceptMessenger();
    void AcceptUpload();
    void AcceptDownload();
    void AcceptControl();
    // Hands the accepted socket to `start` as it is, or after a TLS handshake when the server has a
    // certificate; a failed or stalled handshake just closes it.
    void Secure(asio::ip::tcp::socket socket, std::function<void(CSessionStream)> start);
    void Sweep();
    // Opens a transaction for the handlers that are ready now; it is committed after them.
    void Batch();
    void CommitBatch();
    void Drop(SessionId session);
    void Ended(SessionId session);
    std::string HandleControl(const std::string& line);

    asio::io_context m_io;
    CStore& m_store;
    ServerOptions m_options;
    CSystemTextConverter m_converter;
    CTranscript m_transcript;
    CMessenger m_messenger;
    asio::ip::tcp::acceptor m_messengerAcceptor;
    asio::ip::tcp::acceptor m_uploadAcceptor;
    asio::ip::tcp::acceptor m_downloadAcceptor;
    asio::ip::tcp::acceptor m_controlAcceptor;
    asio::steady_timer m_sweepTimer;
    asio::signal_set m_signals;
#ifdef DEVSERVER_WITH_TLS
    std::unique_ptr<asio::ssl::context> m_pTls;
#endif
    std::map<SessionId, std::shared_ptr<CMessengerSession>> m_sessions;
    SessionId m_nNextSession = 1;
    bool m_bStopping = false;
};

} // namespace dravel::devserver
