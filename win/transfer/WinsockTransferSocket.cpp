#include "win/transfer/WinsockTransferSocket.h"

#include "win/protocol/Connect.h"

#include <ws2tcpip.h>

#include <algorithm>
#include <climits>
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

bool CWinsockTransferSocket::Connect(const std::string& strHost, uint16_t nPort) {
    Close();
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
    return bConnected;
}

long CWinsockTransferSocket::Send(const char* pData, size_t nSize) {
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

long CWinsockTransferSocket::Receive(char* pData, size_t nSize) {
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
