#pragma once

// The client side of TLS 1.2 or 1.3 over an already connected socket, with the platform's own TLS
// (Schannel). The server's certificate is checked by this program, not left to Schannel: its chain
// must end in a root of the system's trust store, be valid now, be meant for server authentication and
// name the host the program was configured with. A handshake whose check fails sends nothing further.

// winsock2.h before windows.h, which would otherwise pull in the old winsock.h.
#include <winsock2.h>

#include <windows.h>

#define SECURITY_WIN32
// The newer credential form (SCH_CREDENTIALS) is declared only with this, and needs UNICODE_STRING.
#define SCHANNEL_USE_BLACKLISTS
#include <subauth.h>

#include <schannel.h>
#include <security.h>
#include <sspi.h>

#include <atomic>
#include <string>

namespace dravel::win {

enum class TlsHandshakeResult {
    Ok,
    // The network failed, the time ran out or the abort flag was set.
    NetworkFailed,
    // The TLS negotiation itself failed (no common protocol, a broken or refused handshake).
    Refused,
    // The server's certificate did not check out.
    CertificateRefused,
};

// Whether this process's connections to the server (messenger, file ports) run over TLS. Set once at
// start from the installation's configuration, before the first connection.
void SetEncryptedTransport(bool bEncrypted);
bool EncryptedTransport();

class CTlsClient {
public:
    // Time allowed for a handshake after the connection stands: the first one of a process also loads
    // the TLS provider, which takes seconds on a busy machine (and under Wine).
    static constexpr DWORD kHandshakeTimeoutMs = 20000;
    // The most plaintext sealed into one go by Seal (several records).
    static constexpr size_t kMaxSealBytes = 64 * 1024;

    CTlsClient() = default;
    ~CTlsClient();
    CTlsClient(const CTlsClient&) = delete;
    CTlsClient& operator=(const CTlsClient&) = delete;

    // Runs the handshake on `socket` (non-blocking; waits in slices of at most 100 ms, at most
    // `timeoutMs` in all, and notices `pAbort`), then checks the certificate for `host`. Bytes of the
    // server that came after the handshake stay inside and come out of the first Open.
    TlsHandshakeResult Handshake(SOCKET socket, const std::string& host, DWORD timeoutMs,
                                 const std::atomic<bool>* pAbort = nullptr);

    // Appends the records that carry `size` bytes of `data` (at most kMaxSealBytes) to `out`.
    bool Seal(const char* data, size_t size, std::string& out);

    enum class OpenStatus { Ok, Closed, Error };
    // Feeds what arrived from the server; whole records are decrypted and their plaintext appended to
    // `plain`. A partial record waits inside for its rest. Closed once the server sent its close alert.
    // Anything the TLS layer itself has to answer is appended to `reply`, to be sent before more data.
    OpenStatus Open(const char* data, size_t size, std::string& plain, std::string& reply);

    // Whether received bytes wait undecrypted (some may have come with the end of the handshake).
    bool HasPending() const { return !m_strPending.empty(); }

    // The Schannel status or system error of the last failure, for traces.
    long LastError() const { return m_nLastError; }

private:
    bool AcquireCredentials();
    bool CheckServerCertificate();

    std::wstring m_strHost;
    CredHandle m_cred{};
    CtxtHandle m_ctx{};
    bool m_bCred = false;
    bool m_bCtx = false;
    SecPkgContext_StreamSizes m_sizes{};
    // Received bytes not yet decrypted: at most one record's worth plus what one read added.
    std::string m_strPending;
    long m_nLastError = 0;
};

} // namespace dravel::win
