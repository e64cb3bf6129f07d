#include "win/transfer/WinsockTransferSocket.h"

#include "win/protocol/Connect.h"

#include <ws2tcpip.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <string>

namespace dravel::win {

namespace {

constexpr DWORD kSliceMs = 100;
constexpr long kUsPerMs = 1000;

} // namespace

bool CWinsockTransferSocket::Wait(bool bWrite, DWORD nLimitMs) {
    const ULONGLONG deadline = ::GetTickCount64() + nLimitMs;
    for (;;) {
        if (m_bAborted) {
            m_nLastError = WSAEINTR;
            return false;
        }
        const ULONGLONG now = ::GetTickCount64();
        if (now >= deadline) {
            m_nLastError = WSAETIMEDOUT;
            return false;
        }
        const DWORD nSlice = static_cast<DWORD>(std::min<ULONGLONG>(kSliceMs, deadline - now));
        fd_set ready;
        fd_set failed;
        FD_ZERO(&ready);
        FD_ZERO(&failed);
        FD_SET(m_socket.Get(), &ready);
        FD_SET(m_socket.Get(), &failed);
        timeval tv{0, static_cast<long>(nSlice) * kUsPerMs};
        const int rc = bWrite ? ::select(0, nullptr, &ready, &failed, &tv) : ::select(0, &ready, nullptr, &failed, &tv);
        if (rc == SOCKET_ERROR) {
            m_nLastError = ::WSAGetLastError();
            return false;
        }
        if (rc > 0) {
            // A failed connection shows in the except set; the caller reads the error.
            return true;
        }
    }
}

void CWinsockTransferSocket::Close() {
    m_pTls.reset();
    m_strOpened.clear();
    m_bTlsClosed = false;
    m_bTlsRetried = false;
    m_socket.Reset();
}

bool CWinsockTransferSocket::Connect(const std::string& strHost, uint16_t nPort) {
    Close();
    m_bCertificateRefused = false;
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_protocol = IPPROTO_TCP;
    addrinfo* pFound = nullptr;
    const std::string strPort = std::to_string(nPort);
    if (::getaddrinfo(strHost.c_str(), strPort.c_str(), &hints, &pFound) != 0 || pFound == nullptr) {
        m_nLastError = ::WSAGetLastError();
        return false;
    }
    bool bConnected = false;
    for (const addrinfo* p = pFound; p != nullptr && !bConnected && !m_bAborted; p = p->ai_next) {
        m_socket.Reset(::socket(p->ai_family, p->ai_socktype, p->ai_protocol));
        if (!m_socket) {
            m_nLastError = ::WSAGetLastError();
            continue;
        }
        m_nLastError = ConnectWithTimeout(m_socket.Get(), p->ai_addr, static_cast<int>(p->ai_addrlen),
                                          m_nConnectTimeoutMs, &m_bAborted);
        if (m_nLastError != 0) {
            Close();
            continue;
        }
        bConnected = true;
    }
    ::freeaddrinfo(pFound);
    if (bConnected && m_bAborted) {
        m_nLastError = WSAEINTR;
        Close();
        return false;
    }
    if (bConnected && m_bEncrypted) {
        m_pTls = std::make_unique<CTlsClient>();
        const TlsHandshakeResult result =
            m_pTls->Handshake(m_socket.Get(), strHost, CTlsClient::kHandshakeTimeoutMs, &m_bAborted);
        if (result != TlsHandshakeResult::Ok) {
            m_bCertificateRefused = result == TlsHandshakeResult::CertificateRefused;
            m_nLastError = m_bAborted ? WSAEINTR : static_cast<int>(m_pTls->LastError());
            Close();
            return false;
        }
    }
    return bConnected;
}

bool CWinsockTransferSocket::SendAllRaw(const std::string& bytes) {
    for (size_t done = 0; done < bytes.size();) {
        const long n = SendRaw(bytes.data() + done, bytes.size() - done);
        if (n < 0)
            return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

long CWinsockTransferSocket::Send(const char* pData, size_t nSize) {
    if (!m_pTls)
        return SendRaw(pData, nSize);
    // The whole sealed piece leaves before the count is reported, so a sent count means sent.
    const size_t nTake = std::min(nSize, CTlsClient::kMaxSealBytes);
    std::string sealed;
    if (!m_pTls->Seal(pData, nTake, sealed)) {
        m_nLastError = static_cast<int>(m_pTls->LastError());
        return -1;
    }
    return SendAllRaw(sealed) ? static_cast<long>(nTake) : -1;
}

long CWinsockTransferSocket::Receive(char* pData, size_t nSize) {
    if (!m_pTls)
        return ReceiveRaw(pData, nSize);
    while (m_strOpened.empty()) {
        if (m_bTlsClosed)
            return 0;
        char chunk[32 * 1024];
        long got = 0;
        // Bytes that came with the end of the handshake are opened first, without waiting for more.
        if (!m_pTls->HasPending() || m_bTlsRetried) {
            got = ReceiveRaw(chunk, sizeof(chunk));
            if (got <= 0)
                return got;
        }
        m_bTlsRetried = true;
        std::string reply;
        const CTlsClient::OpenStatus opened = m_pTls->Open(chunk, static_cast<size_t>(got), m_strOpened, reply);
        if (!reply.empty() && !SendAllRaw(reply))
            return -1;
        if (opened == CTlsClient::OpenStatus::Error) {
            m_nLastError = static_cast<int>(m_pTls->LastError());
            return -1;
        }
        if (opened == CTlsClient::OpenStatus::Closed)
            m_bTlsClosed = true;
    }
    const size_t n = std::min(nSize, m_strOpened.size());
    std::memcpy(pData, m_strOpened.data(), n);
    m_strOpened.erase(0, n);
    return static_cast<long>(n);
}

long CWinsockTransferSocket::SendRaw(const char* pData, size_t nSize) {
    const int nAsk = static_cast<int>(std::min<size_t>(nSize, INT_MAX));
    for (;;) {
        if (m_bAborted) {
            m_nLastError = WSAEINTR;
            return -1;
        }
        const int n = ::send(m_socket.Get(), pData, nAsk, 0);
        if (n > 0)
            return n;
        m_nLastError = n == 0 ? WSAECONNRESET : ::WSAGetLastError();
        if (n == 0 || m_nLastError != WSAEWOULDBLOCK || !Wait(true, m_nIdleTimeoutMs))
            return -1;
    }
}

long CWinsockTransferSocket::ReceiveRaw(char* pData, size_t nSize) {
    const int nAsk = static_cast<int>(std::min<size_t>(nSize, INT_MAX));
    for (;;) {
        if (m_bAborted) {
            m_nLastError = WSAEINTR;
            return -1;
        }
        const int n = ::recv(m_socket.Get(), pData, nAsk, 0);
        if (n >= 0)
            return n;
        m_nLastError = ::WSAGetLastError();
        if (m_nLastError != WSAEWOULDBLOCK || !Wait(false, m_nIdleTimeoutMs))
            return -1;
    }
}

} // namespace dravel::win
