#pragma once

// The transfer socket over Winsock. The socket stays non-blocking and waits in short slices only
// when the network is not ready, so that Abort (a flag) is noticed within one slice and no other
// thread ever touches the socket handle.

#include "win/base/Handles.h"
#include "win/protocol/TlsClient.h"
#include "core/transfer/TransferInterfaces.h"

#include <atomic>
#include <memory>
#include <string>

namespace dravel::win {

class CWinsockTransferSocket final : public TransferSocket {
public:
    // Time-outs in milliseconds: for the connection, and for a send or receive without progress.
    // Over TLS when `bEncrypted` (by default as the process is set).
    explicit CWinsockTransferSocket(DWORD nConnectTimeoutMs = 15000, DWORD nIdleTimeoutMs = 120000,
                                    bool bEncrypted = EncryptedTransport()) noexcept
        : m_nConnectTimeoutMs(nConnectTimeoutMs), m_nIdleTimeoutMs(nIdleTimeoutMs), m_bEncrypted(bEncrypted) {}

    bool Connect(const std::string& strHost, uint16_t nPort) override;
    long Send(const char* pData, size_t nSize) override;
    long Receive(char* pData, size_t nSize) override;
    int LastError() const override { return m_nLastError; }
    void Close() override;
    // Whether the last Connect failed because the server's certificate did not check out.
    bool CertificateRefused() const { return m_bCertificateRefused; }
    void Abort() override { m_bAborted = true; }

private:
    // Waits until the socket can be written (or read); false on abort, time-out or error.
    bool Wait(bool bWrite, DWORD nLimitMs);
    long SendRaw(const char* pData, size_t nSize);
    long ReceiveRaw(char* pData, size_t nSize);
    bool SendAllRaw(const std::string& bytes);

    DWORD m_nConnectTimeoutMs;
    DWORD m_nIdleTimeoutMs;
    CSocketHandle m_socket;
    std::atomic<bool> m_bAborted{false};
    int m_nLastError = 0;
    bool m_bEncrypted;
    bool m_bCertificateRefused = false;
    std::unique_ptr<CTlsClient> m_pTls;
    std::string m_strOpened;
    bool m_bTlsClosed = false;
    bool m_bTlsRetried = false;
};

} // namespace dravel::win
