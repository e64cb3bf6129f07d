#pragma once

// The messenger connection on Winsock: a non-blocking TCP socket whose read, write and close
// notifications arrive as window messages on the GUI thread (a message-only window per connection),
// adapted to the portable connection logic, which does the encoding, the send queue, the receive pass
// and the failure path.

#include "win/protocol/TlsClient.h"
#include "core/protocol/ClientConnection.h"

// winsock2.h before windows.h, which would otherwise pull in the old winsock.h.
#include <winsock2.h>

#include <windows.h>

#include <memory>
#include <string>

namespace dravel::win {

// The socket side: owns the socket and its notification window.
class CWinsockStream : public ByteStream {
public:
    // The socket's own send buffer: small, so that a server that stops reading shows in the send
    // queue after a bounded amount of data instead of after megabytes of kernel buffering.
    static constexpr int kSendBufferBytes = 64 * 1024;
    // Period of the stall check while bytes wait.
    static constexpr UINT kStallCheckMs = 1000;

    CWinsockStream();
    ~CWinsockStream() override;
    CWinsockStream(const CWinsockStream&) = delete;
    CWinsockStream& operator=(const CWinsockStream&) = delete;

    WriteResult Write(const char* data, size_t size) override;
    ReadResult Read(char* buffer, size_t capacity) override;
    void Close() override;

protected:
    // Connects, waiting up to `timeoutMs` (and CTlsClient::kHandshakeTimeoutMs for the TLS handshake when
    // `bEncrypted`);
    // on success the socket stays non-blocking and reports to the handlers below. Each handler may
    // delete this object.
    bool ConnectStream(const std::string& host, int port, DWORD timeoutMs, bool bEncrypted);
    // Whether the last ConnectStream failed because the server's certificate did not check out.
    bool CertificateRefused() const { return m_bCertificateRefused; }
    // Over TLS: sends what was sealed but not yet taken by the socket. Error when the socket failed.
    WriteStatus FlushSealed();
    bool HasSealed() const { return !m_strSealed.empty(); }
    // Waits up to timeoutMs for the socket to take bytes; false when it did not (or there is none).
    bool WaitWritable(DWORD timeoutMs);
    // FD_READ, FD_WRITE and FD_CLOSE with their error codes.
    virtual void OnReceive(int error) = 0;
    virtual void OnSend(int error) = 0;
    virtual void OnClose(int error) = 0;
    // Every kStallCheckMs while the stall timer runs.
    virtual void OnStallTimer() = 0;
    void SetStallTimer(bool bRunning);

private:
    static LRESULT CALLBACK NotifyProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

    SOCKET m_socket = INVALID_SOCKET;
    HWND m_hNotify = nullptr;
    // Over TLS: the session, records sealed but not yet sent, and plaintext opened but not yet read.
    std::unique_ptr<CTlsClient> m_pTls;
    std::string m_strSealed;
    std::string m_strOpened;
    bool m_bTlsClosed = false;
    bool m_bTlsRetried = false;
    bool m_bCertificateRefused = false;
};

// Turns UTF-16 texts from the wire into 949 with the system converter; shared by every connection.
const TextConverter& WireTextConverter();

class CClientSocket : public CWinsockStream, public CClientConnection {
public:
    // Time allowed for connecting; past it the caller's retry question appears.
    static constexpr DWORD kConnectTimeoutMs = 10000;

    CClientSocket(ConnectionOwner& owner, std::string strId, std::string strPassword, std::string strFileHost);
    ~CClientSocket() override;

    // Connects to host:port, over TLS when the process is set to; true on success.
    bool Connect(const std::string& host, int port);
    using CWinsockStream::CertificateRefused;
    // Writes what waits until it is all taken or timeoutMs passed (the logout before the connection goes).
    void FlushFor(DWORD timeoutMs);

protected:
    void OnSendBacklog(bool bWaiting) override;

private:
    void OnReceive(int error) override;
    void OnSend(int error) override;
    void OnClose(int error) override;
    void OnStallTimer() override;
};

} // namespace dravel::win
