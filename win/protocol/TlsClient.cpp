#include "win/protocol/TlsClient.h"

#include <wincrypt.h>

#include <algorithm>
#include <cstring>

namespace dravel::win {

namespace {

constexpr DWORD kSliceMs = 100;
constexpr long kUsPerMs = 1000;
// A server's handshake flight, certificates included, is far below this; more is not a handshake.
constexpr size_t kMaxHandshakeBytes = 256 * 1024;
// Undecrypted input: one record is at most about 16 KiB plus its overhead; one read adds at most this.
constexpr size_t kMaxPendingBytes = 2 * 1024 * 1024;
constexpr size_t kReadChunk = 32 * 1024;
constexpr DWORD kContextFlags = ISC_REQ_SEQUENCE_DETECT | ISC_REQ_REPLAY_DETECT | ISC_REQ_CONFIDENTIALITY |
                                ISC_REQ_EXTENDED_ERROR | ISC_REQ_ALLOCATE_MEMORY | ISC_REQ_STREAM;
// Schannel checks nothing itself: the check below does it, with the configured host name.
constexpr DWORD kCredentialFlags = SCH_CRED_MANUAL_CRED_VALIDATION | SCH_CRED_NO_DEFAULT_CREDS | SCH_USE_STRONG_CRYPTO;

std::wstring Widen(const std::string& text) {
    std::wstring wide;
    const int n = ::MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    if (n > 0) {
        wide.resize(static_cast<size_t>(n));
        ::MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), wide.data(), n);
    }
    return wide;
}

// Waits until the socket can be read or written; false on time-out, abort or error.
bool WaitSocket(SOCKET socket, bool bWrite, ULONGLONG deadline, const std::atomic<bool>* pAbort) {
    for (;;) {
        if (pAbort && pAbort->load())
            return false;
        const ULONGLONG now = ::GetTickCount64();
        if (now >= deadline)
            return false;
        const DWORD slice = static_cast<DWORD>(std::min<ULONGLONG>(kSliceMs, deadline - now));
        fd_set ready;
        fd_set failed;
        FD_ZERO(&ready);
        FD_ZERO(&failed);
        FD_SET(socket, &ready);
        FD_SET(socket, &failed);
        timeval tv{0, static_cast<long>(slice) * kUsPerMs};
        const int rc = bWrite ? ::select(0, nullptr, &ready, &failed, &tv) : ::select(0, &ready, nullptr, &failed, &tv);
        if (rc == SOCKET_ERROR || (rc > 0 && FD_ISSET(socket, &failed)))
            return false;
        if (rc > 0)
            return true;
    }
}

bool SendAll(SOCKET socket, const char* data, size_t size, ULONGLONG deadline, const std::atomic<bool>* pAbort) {
    while (size > 0) {
        const int sent = ::send(socket, data, static_cast<int>(std::min<size_t>(size, 1 << 20)), 0);
        if (sent > 0) {
            data += sent;
            size -= static_cast<size_t>(sent);
            continue;
        }
        if (sent == SOCKET_ERROR && ::WSAGetLastError() == WSAEWOULDBLOCK && WaitSocket(socket, true, deadline, pAbort))
            continue;
        return false;
    }
    return true;
}

// Appends what arrived, waiting for something; false when the server closed or the wait failed.
bool ReceiveSome(SOCKET socket, std::string& into, ULONGLONG deadline, const std::atomic<bool>* pAbort) {
    char chunk[kReadChunk];
    for (;;) {
        const int got = ::recv(socket, chunk, sizeof(chunk), 0);
        if (got > 0) {
            into.append(chunk, static_cast<size_t>(got));
            return true;
        }
        if (got == SOCKET_ERROR && ::WSAGetLastError() == WSAEWOULDBLOCK && WaitSocket(socket, false, deadline, pAbort))
            continue;
        return false;
    }
}

std::atomic<bool> g_bEncryptedTransport{false};

} // namespace

void SetEncryptedTransport(bool bEncrypted) {
    g_bEncryptedTransport = bEncrypted;
}

bool EncryptedTransport() {
    return g_bEncryptedTransport;
}

CTlsClient::~CTlsClient() {
    if (m_bCtx)
        ::DeleteSecurityContext(&m_ctx);
    if (m_bCred)
        ::FreeCredentialsHandle(&m_cred);
}

bool CTlsClient::AcquireCredentials() {
    TimeStamp expiry{};
    // TLS 1.2 and 1.3 only. Systems that know the newer credential form take it; older ones (and
    // versions of Wine) the classic one, first with 1.3 allowed, then 1.2 alone.
    TLS_PARAMETERS parameters{};
    parameters.grbitDisabledProtocols = ~static_cast<DWORD>(SP_PROT_TLS1_2_CLIENT | SP_PROT_TLS1_3_CLIENT);
    SCH_CREDENTIALS modern{};
    modern.dwVersion = SCH_CREDENTIALS_VERSION;
    modern.dwFlags = kCredentialFlags;
    modern.cTlsParameters = 1;
    modern.pTlsParameters = &parameters;
    SECURITY_STATUS status =
        ::AcquireCredentialsHandleW(nullptr, const_cast<wchar_t*>(UNISP_NAME_W), SECPKG_CRED_OUTBOUND, nullptr, &modern,
                                    nullptr, nullptr, &m_cred, &expiry);
    for (DWORD protocols : {DWORD{SP_PROT_TLS1_2_CLIENT | SP_PROT_TLS1_3_CLIENT}, DWORD{SP_PROT_TLS1_2_CLIENT}}) {
        if (status == SEC_E_OK)
            break;
        SCHANNEL_CRED classic{};
        classic.dwVersion = SCHANNEL_CRED_VERSION;
        classic.dwFlags = kCredentialFlags;
        classic.grbitEnabledProtocols = protocols;
        status = ::AcquireCredentialsHandleW(nullptr, const_cast<wchar_t*>(UNISP_NAME_W), SECPKG_CRED_OUTBOUND, nullptr,
                                             &classic, nullptr, nullptr, &m_cred, &expiry);
    }
    m_bCred = status == SEC_E_OK;
    if (!m_bCred)
        m_nLastError = status;
    return m_bCred;
}

TlsHandshakeResult CTlsClient::Handshake(SOCKET socket, const std::string& host, DWORD timeoutMs,
                                         const std::atomic<bool>* pAbort) {
    if (m_bCtx || !AcquireCredentials())
        return TlsHandshakeResult::Refused;
    m_strHost = Widen(host);
    const ULONGLONG deadline = ::GetTickCount64() + timeoutMs;
    std::string received;
    bool bFirst = true;
    bool bNeedInput = false;
    for (;;) {
        if (bNeedInput) {
            if (received.size() > kMaxHandshakeBytes || !ReceiveSome(socket, received, deadline, pAbort))
                return TlsHandshakeResult::NetworkFailed;
        }
        SecBuffer in[2] = {{static_cast<ULONG>(received.size()), SECBUFFER_TOKEN, received.data()},
                           {0, SECBUFFER_EMPTY, nullptr}};
        SecBufferDesc inDesc{SECBUFFER_VERSION, 2, in};
        SecBuffer out[1] = {{0, SECBUFFER_TOKEN, nullptr}};
        SecBufferDesc outDesc{SECBUFFER_VERSION, 1, out};
        ULONG attributes = 0;
        TimeStamp expiry{};
        const SECURITY_STATUS status = ::InitializeSecurityContextW(
            &m_cred, bFirst ? nullptr : &m_ctx, m_strHost.data(), kContextFlags, 0, 0, bFirst ? nullptr : &inDesc, 0,
            bFirst ? &m_ctx : nullptr, &outDesc, &attributes, &expiry);
        if (bFirst && (status == SEC_I_CONTINUE_NEEDED || status == SEC_E_OK))
            m_bCtx = true;
        bFirst = false;
        if (out[0].pvBuffer) {
            const bool bSent = out[0].cbBuffer == 0 || SendAll(socket, static_cast<const char*>(out[0].pvBuffer),
                                                               out[0].cbBuffer, deadline, pAbort);
            ::FreeContextBuffer(out[0].pvBuffer);
            if (!bSent)
                return TlsHandshakeResult::NetworkFailed;
        }
        if (status == SEC_E_INCOMPLETE_MESSAGE) {
            bNeedInput = true;
            continue;
        }
        if (status != SEC_E_OK && status != SEC_I_CONTINUE_NEEDED) {
            m_nLastError = status;
            return TlsHandshakeResult::Refused;
        }
        // What Schannel did not take belongs to the next step, or after the handshake to the data.
        if (in[1].BufferType == SECBUFFER_EXTRA && in[1].cbBuffer > 0 && in[1].cbBuffer <= received.size())
            received.erase(0, received.size() - in[1].cbBuffer);
        else
            received.clear();
        if (status == SEC_E_OK)
            break;
        bNeedInput = received.empty();
    }
    if (::QueryContextAttributesW(&m_ctx, SECPKG_ATTR_STREAM_SIZES, &m_sizes) != SEC_E_OK ||
        m_sizes.cbMaximumMessage == 0)
        return TlsHandshakeResult::Refused;
    if (!CheckServerCertificate())
        return TlsHandshakeResult::CertificateRefused;
    m_strPending = std::move(received);
    return TlsHandshakeResult::Ok;
}

bool CTlsClient::CheckServerCertificate() {
    PCCERT_CONTEXT pCert = nullptr;
    if (::QueryContextAttributesW(&m_ctx, SECPKG_ATTR_REMOTE_CERT_CONTEXT, &pCert) != SEC_E_OK || !pCert) {
        m_nLastError = static_cast<long>(CERT_E_UNTRUSTEDROOT);
        return false;
    }
    // The chain from the server's certificate to a root the system trusts, for server authentication,
    // with the intermediate certificates the server sent.
    LPSTR usages[] = {const_cast<LPSTR>(szOID_PKIX_KP_SERVER_AUTH)};
    CERT_CHAIN_PARA chainPara{};
    chainPara.cbSize = sizeof(chainPara);
    chainPara.RequestedUsage.dwType = USAGE_MATCH_TYPE_AND;
    chainPara.RequestedUsage.Usage.cUsageIdentifier = 1;
    chainPara.RequestedUsage.Usage.rgpszUsageIdentifier = usages;
    PCCERT_CHAIN_CONTEXT pChain = nullptr;
    bool bOk = ::CertGetCertificateChain(nullptr, pCert, nullptr, pCert->hCertStore, &chainPara, 0, nullptr, &pChain) &&
               pChain;
    if (bOk) {
        // The SSL policy: a trusted root, every certificate valid now, and the configured host among
        // the names of the server's certificate.
        SSL_EXTRA_CERT_CHAIN_POLICY_PARA ssl{};
        ssl.cbSize = sizeof(ssl);
        ssl.dwAuthType = AUTHTYPE_SERVER;
        ssl.fdwChecks = 0;
        ssl.pwszServerName = m_strHost.data();
        CERT_CHAIN_POLICY_PARA policy{};
        policy.cbSize = sizeof(policy);
        policy.pvExtraPolicyPara = &ssl;
        CERT_CHAIN_POLICY_STATUS verdict{};
        verdict.cbSize = sizeof(verdict);
        bOk = ::CertVerifyCertificateChainPolicy(CERT_CHAIN_POLICY_SSL, pChain, &policy, &verdict) &&
              verdict.dwError == 0;
        m_nLastError = static_cast<long>(verdict.dwError);
        // Also the chain's own verdict, so that no policy quirk can let an untrusted, expired or
        // badly signed chain through. Revocation is not asked for: see CertGetCertificateChain above.
        constexpr DWORD kFatal = CERT_TRUST_IS_NOT_TIME_VALID | CERT_TRUST_IS_REVOKED |
                                 CERT_TRUST_IS_NOT_SIGNATURE_VALID | CERT_TRUST_IS_NOT_VALID_FOR_USAGE |
                                 CERT_TRUST_IS_UNTRUSTED_ROOT | CERT_TRUST_IS_CYCLIC | CERT_TRUST_IS_PARTIAL_CHAIN |
                                 CERT_TRUST_INVALID_BASIC_CONSTRAINTS;
        if (bOk && (pChain->TrustStatus.dwErrorStatus & kFatal) != 0) {
            m_nLastError = static_cast<long>(pChain->TrustStatus.dwErrorStatus);
            bOk = false;
        }
        ::CertFreeCertificateChain(pChain);
    } else {
        m_nLastError = static_cast<long>(::GetLastError());
    }
    ::CertFreeCertificateContext(pCert);
    return bOk;
}

bool CTlsClient::Seal(const char* data, size_t size, std::string& out) {
    if (!m_bCtx || m_sizes.cbMaximumMessage == 0)
        return false;
    size = std::min(size, kMaxSealBytes);
    while (size > 0) {
        const size_t n = std::min<size_t>(size, m_sizes.cbMaximumMessage);
        const size_t at = out.size();
        out.resize(at + m_sizes.cbHeader + n + m_sizes.cbTrailer);
        char* p = out.data() + at;
        std::memcpy(p + m_sizes.cbHeader, data, n);
        SecBuffer buffers[4] = {{m_sizes.cbHeader, SECBUFFER_STREAM_HEADER, p},
                                {static_cast<ULONG>(n), SECBUFFER_DATA, p + m_sizes.cbHeader},
                                {m_sizes.cbTrailer, SECBUFFER_STREAM_TRAILER, p + m_sizes.cbHeader + n},
                                {0, SECBUFFER_EMPTY, nullptr}};
        SecBufferDesc desc{SECBUFFER_VERSION, 4, buffers};
        const SECURITY_STATUS status = ::EncryptMessage(&m_ctx, 0, &desc, 0);
        if (status != SEC_E_OK) {
            m_nLastError = status;
            out.resize(at);
            return false;
        }
        out.resize(at + buffers[0].cbBuffer + buffers[1].cbBuffer + buffers[2].cbBuffer);
        data += n;
        size -= n;
    }
    return true;
}

CTlsClient::OpenStatus CTlsClient::Open(const char* data, size_t size, std::string& plain, std::string& reply) {
    if (!m_bCtx)
        return OpenStatus::Error;
    if (m_strPending.size() + size > kMaxPendingBytes)
        return OpenStatus::Error;
    m_strPending.append(data, size);
    while (!m_strPending.empty()) {
        SecBuffer buffers[4] = {{static_cast<ULONG>(m_strPending.size()), SECBUFFER_DATA, m_strPending.data()},
                                {0, SECBUFFER_EMPTY, nullptr},
                                {0, SECBUFFER_EMPTY, nullptr},
                                {0, SECBUFFER_EMPTY, nullptr}};
        SecBufferDesc desc{SECBUFFER_VERSION, 4, buffers};
        const SECURITY_STATUS status = ::DecryptMessage(&m_ctx, &desc, 0, nullptr);
        if (status == SEC_E_INCOMPLETE_MESSAGE)
            return OpenStatus::Ok;
        if (status != SEC_E_OK && status != SEC_I_RENEGOTIATE && status != SEC_I_CONTEXT_EXPIRED) {
            m_nLastError = status;
            return OpenStatus::Error;
        }
        std::string rest;
        for (int i = 1; i < 4; ++i) {
            const SecBuffer& b = buffers[i];
            if (b.BufferType == SECBUFFER_DATA && b.pvBuffer && b.cbBuffer > 0)
                plain.append(static_cast<const char*>(b.pvBuffer), b.cbBuffer);
            else if (b.BufferType == SECBUFFER_EXTRA && b.cbBuffer > 0 && b.cbBuffer <= m_strPending.size())
                rest.assign(m_strPending, m_strPending.size() - b.cbBuffer, b.cbBuffer);
        }
        m_strPending = std::move(rest);
        if (status == SEC_I_CONTEXT_EXPIRED)
            return OpenStatus::Closed;
        if (status == SEC_I_RENEGOTIATE) {
            // Post-handshake messages (TLS 1.3 tickets, key updates) go back through the handshake call
            // with the bytes that follow them.
            SecBuffer in[2] = {{static_cast<ULONG>(m_strPending.size()), SECBUFFER_TOKEN, m_strPending.data()},
                               {0, SECBUFFER_EMPTY, nullptr}};
            SecBufferDesc inDesc{SECBUFFER_VERSION, 2, in};
            SecBuffer out[1] = {{0, SECBUFFER_TOKEN, nullptr}};
            SecBufferDesc outDesc{SECBUFFER_VERSION, 1, out};
            ULONG attributes = 0;
            const SECURITY_STATUS again =
                ::InitializeSecurityContextW(&m_cred, &m_ctx, m_strHost.data(), kContextFlags, 0, 0, &inDesc, 0,
                                             nullptr, &outDesc, &attributes, nullptr);
            if (out[0].pvBuffer) {
                reply.append(static_cast<const char*>(out[0].pvBuffer), out[0].cbBuffer);
                ::FreeContextBuffer(out[0].pvBuffer);
            }
            if (again != SEC_E_OK && again != SEC_I_CONTINUE_NEEDED) {
                m_nLastError = again;
                return OpenStatus::Error;
            }
            if (in[1].BufferType == SECBUFFER_EXTRA && in[1].cbBuffer > 0 && in[1].cbBuffer <= m_strPending.size())
                m_strPending.erase(0, m_strPending.size() - in[1].cbBuffer);
            else
                m_strPending.clear();
        }
    }
    return OpenStatus::Ok;
}

} // namespace dravel::win
