#include "win/protocol/ClientSocket.h"

#include "win/base/Debug.h"
#include "win/base/Messages.h"
#include "win/base/Text.h"
#include "win/base/Window.h"
#include "win/protocol/Connect.h"

#include <ws2tcpip.h>
#include <mstcpip.h>

#include <algorithm>
#include <cstring>
#include <string>

namespace dravel::win {

namespace {

// Socket options of newer systems; a system that does not know one refuses it and keeps its default.
#ifndef TCP_MAXRT
constexpr int TCP_MAXRT = 5;
#endif
#ifndef TCP_KEEPCNT
constexpr int TCP_KEEPCNT = 16;
#endif
#ifndef TCP_KEEPIDLE
constexpr int TCP_KEEPIDLE = 3;
#endif
#ifndef TCP_KEEPINTVL
constexpr int TCP_KEEPINTVL = 17;
#endif

// A path that dies without a close or a reset (a pulled cable, a sleeping NAT, a VPN that drops) is
// found within 90 s: after 30 s of quiet the socket probes every 5 s and gives up after 6 unanswered
// probes; data that stays unacknowledged for 60 s ends the connection too.
constexpr ULONG kKeepAliveIdleMs = 30000;
constexpr ULONG kKeepAliveIntervalMs = 5000;
constexpr DWORD kKeepAliveProbes = 6;
constexpr DWORD kMaxRetransmitSeconds = 60;

void WatchForDeadPath(SOCKET s) {
    BOOL on = TRUE;
    ::setsockopt(s, SOL_SOCKET, SO_KEEPALIVE, reinterpret_cast<const char*>(&on), sizeof(on));
    tcp_keepalive values{1, kKeepAliveIdleMs, kKeepAliveIntervalMs};
    DWORD bytes = 0;
    ::WSAIoctl(s, SIO_KEEPALIVE_VALS, &values, sizeof(values), nullptr, 0, &bytes, nullptr, nullptr);
    // The same in seconds, for the systems that take them only one by one.
    const DWORD idle = kKeepAliveIdleMs / 1000, interval = kKeepAliveIntervalMs / 1000, probes = kKeepAliveProbes;
    ::setsockopt(s, IPPROTO_TCP, TCP_KEEPIDLE, reinterpret_cast<const char*>(&idle), sizeof(idle));
    ::setsockopt(s, IPPROTO_TCP, TCP_KEEPINTVL, reinterpret_cast<const char*>(&interval), sizeof(interval));
    ::setsockopt(s, IPPROTO_TCP, TCP_KEEPCNT, reinterpret_cast<const char*>(&probes), sizeof(probes));
    const DWORD maxRt = kMaxRetransmitSeconds;
    ::setsockopt(s, IPPROTO_TCP, TCP_MAXRT, reinterpret_cast<const char*>(&maxRt), sizeof(maxRt));
}


constexpr wchar_t kNotifyClass[] = L"DravelOnSocketNotify";
// The most one send or receive call is asked to move: well inside an int, the calls' size type.
constexpr size_t kMaxSendBytes = size_t{1} << 20;
constexpr size_t kMaxReceiveBytes = size_t{1} << 30;

void RegisterNotifyClass(WNDPROC proc) {
    static bool registered = [proc] {
        WNDCLASSEXW wc{};
        wc.cbSize = sizeof(wc);
        wc.lpfnWndProc = proc;
        wc.hInstance = ::GetModuleHandleW(nullptr);
        wc.lpszClassName = kNotifyClass;
        return ::RegisterClassExW(&wc) != 0 || ::GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
    }();
    (void)registered;
}

} // namespace

CWinsockStream::CWinsockStream() {
    m_socket = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    RegisterNotifyClass(&NotifyProc);
    m_hNotify = ::CreateWindowExW(0, kNotifyClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                  ::GetModuleHandleW(nullptr), nullptr);
    if (m_hNotify)
        ::SetWindowLongPtrW(m_hNotify, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
}

CWinsockStream::~CWinsockStream() {
    Close();
    if (m_hNotify) {
        ::SetWindowLongPtrW(m_hNotify, GWLP_USERDATA, 0);
        ::DestroyWindow(m_hNotify);
        m_hNotify = nullptr;
    }
}

LRESULT CALLBACK CWinsockStream::NotifyProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg != kSocketNotifyMessage && msg != WM_TIMER)
        return ::DefWindowProcW(hwnd, msg, wParam, lParam);
    // Records are handled below: a session end asked for now must wait until this has returned.
    const CWindow::CHandlerScope scope;
    try {
        auto* self = reinterpret_cast<CWinsockStream*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
        if (!self)
            return 0;
        if (msg == WM_TIMER) {
            if (wParam == kSocketStallTimer)
                self->OnStallTimer();
            return 0;
        }
        // Notifications of an earlier socket may still be queued after a close.
        if (static_cast<SOCKET>(wParam) != self->m_socket)
            return 0;
        const int error = WSAGETSELECTERROR(lParam);
        switch (WSAGETSELECTEVENT(lParam)) {
        case FD_READ:
            self->OnReceive(error);
            break;
        case FD_WRITE:
            self->OnSend(error);
            break;
        case FD_CLOSE:
            self->OnClose(error);
            break;
        default:
            break;
        }
    } catch (...) {
        TraceCaughtException(L"socket notification");
    }
    return 0;
}

bool CWinsockStream::ConnectStream(const std::string& host, int port, DWORD timeoutMs, bool bEncrypted) {
    m_bCertificateRefused = false;
    if (m_socket == INVALID_SOCKET || port <= 0 || port > 65535)
        return false;
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_protocol = IPPROTO_TCP;
    addrinfo* found = nullptr;
    if (::getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &found) != 0 || !found)
        return false;
    sockaddr_in addr{};
    std::memcpy(&addr, found->ai_addr, std::min<size_t>(sizeof(addr), found->ai_addrlen));
    ::freeaddrinfo(found);

    int sendBuffer = kSendBufferBytes;
    ::setsockopt(m_socket, SOL_SOCKET, SO_SNDBUF, reinterpret_cast<const char*>(&sendBuffer), sizeof(sendBuffer));
    if (ConnectWithTimeout(m_socket, reinterpret_cast<const sockaddr*>(&addr), sizeof(addr), timeoutMs) != 0)
        return false;
    BOOL noDelay = TRUE;
    ::setsockopt(m_socket, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&noDelay), sizeof(noDelay));
    WatchForDeadPath(m_socket);
    if (bEncrypted) {
        // No byte of the protocol goes out before the server proved who it is.
        m_pTls = std::make_unique<CTlsClient>();
        const TlsHandshakeResult result = m_pTls->Handshake(m_socket, host, CTlsClient::kHandshakeTimeoutMs);
        if (result != TlsHandshakeResult::Ok) {
            DebugTrace(L"TLS handshake failed: " + std::to_wstring(m_pTls->LastError()));
            m_bCertificateRefused = result == TlsHandshakeResult::CertificateRefused;
            m_pTls.reset();
            Close();
            return false;
        }
    }
    // From here on the socket stays non-blocking and announces arrivals, room to write and its end to
    // the notification window.
    if (!m_hNotify || ::WSAAsyncSelect(m_socket, m_hNotify, kSocketNotifyMessage, FD_READ | FD_WRITE | FD_CLOSE) != 0)
        return false;
    // An end that came before the notifications were asked for is not always announced (a reset, under
    // Wine): a first read finds it.
    ::PostMessageW(m_hNotify, kSocketNotifyMessage, static_cast<WPARAM>(m_socket), WSAMAKESELECTREPLY(FD_READ, 0));
    return true;
}

ByteStream::WriteStatus CWinsockStream::FlushSealed() {
    while (!m_strSealed.empty()) {
        if (m_socket == INVALID_SOCKET)
            return WriteStatus::Error;
        const int sent =
            ::send(m_socket, m_strSealed.data(), static_cast<int>(std::min(m_strSealed.size(), kMaxSendBytes)), 0);
        if (sent == SOCKET_ERROR)
            return ::WSAGetLastError() == WSAEWOULDBLOCK ? WriteStatus::WouldBlock : WriteStatus::Error;
        m_strSealed.erase(0, static_cast<size_t>(sent));
    }
    return WriteStatus::Taken;
}

ByteStream::WriteResult CWinsockStream::Write(const char* data, size_t size) {
    if (m_socket == INVALID_SOCKET)
        return {WriteStatus::Error, 0};
    if (m_pTls) {
        // The records of what was taken before leave first; new data is taken only once they have,
        // so at most one seal's worth waits here.
        const WriteStatus flushed = FlushSealed();
        if (flushed != WriteStatus::Taken)
            return {flushed, 0};
        const size_t take = std::min(size, CTlsClient::kMaxSealBytes);
        if (!m_pTls->Seal(data, take, m_strSealed))
            return {WriteStatus::Error, 0};
        // Taken even if the socket refuses part now: a refused send arms FD_WRITE, which flushes the rest.
        return FlushSealed() == WriteStatus::Error ? WriteResult{WriteStatus::Error, 0}
                                                   : WriteResult{WriteStatus::Taken, take};
    }
    const int sent = ::send(m_socket, data, static_cast<int>(std::min(size, kMaxSendBytes)), 0);
    if (sent != SOCKET_ERROR)
        return {WriteStatus::Taken, static_cast<size_t>(sent)};
    // A refused send arms FD_WRITE for when the socket has room again.
    return {::WSAGetLastError() == WSAEWOULDBLOCK ? WriteStatus::WouldBlock : WriteStatus::Error, 0};
}

ByteStream::ReadResult CWinsockStream::Read(char* buffer, size_t capacity) {
    if (m_pTls) {
        // Opened plaintext first; then what the socket has, until a whole record gives some.
        while (m_strOpened.empty()) {
            if (m_bTlsClosed)
                return {ReadStatus::Closed, 0};
            if (m_socket == INVALID_SOCKET)
                return {ReadStatus::Error, 0};
            char chunk[16 * 1024];
            int got = 0;
            if (!m_pTls->HasPending() || m_bTlsRetried) {
                got = ::recv(m_socket, chunk, sizeof(chunk), 0);
                if (got == 0)
                    return {ReadStatus::Closed, 0};
                if (got < 0)
                    return {::WSAGetLastError() == WSAEWOULDBLOCK ? ReadStatus::WouldBlock : ReadStatus::Error, 0};
            }
            // Bytes that came with the end of the handshake are opened once without waiting for more.
            m_bTlsRetried = true;
            std::string reply;
            const CTlsClient::OpenStatus opened = m_pTls->Open(chunk, static_cast<size_t>(got), m_strOpened, reply);
            if (!reply.empty()) {
                m_strSealed += reply;
                if (FlushSealed() == WriteStatus::Error)
                    return {ReadStatus::Error, 0};
            }
            if (opened == CTlsClient::OpenStatus::Error)
                return {ReadStatus::Error, 0};
            if (opened == CTlsClient::OpenStatus::Closed)
                m_bTlsClosed = true;
        }
        const size_t n = std::min(capacity, m_strOpened.size());
        std::memcpy(buffer, m_strOpened.data(), n);
        m_strOpened.erase(0, n);
        return {ReadStatus::Data, n};
    }
    if (m_socket == INVALID_SOCKET)
        return {ReadStatus::Error, 0};
    int got = ::recv(m_socket, buffer, static_cast<int>(std::min(capacity, kMaxReceiveBytes)), 0);
    if (got > 0)
        return {ReadStatus::Data, static_cast<size_t>(got)};
    if (got == 0)
        return {ReadStatus::Closed, 0};
    return {::WSAGetLastError() == WSAEWOULDBLOCK ? ReadStatus::WouldBlock : ReadStatus::Error, 0};
}

void CWinsockStream::Close() {
    if (m_socket != INVALID_SOCKET) {
        ::closesocket(m_socket);
        m_socket = INVALID_SOCKET;
    }
}

void CWinsockStream::SetStallTimer(bool bRunning) {
    if (!m_hNotify)
        return;
    if (bRunning)
        ::SetTimer(m_hNotify, kSocketStallTimer, kStallCheckMs, nullptr);
    else
        ::KillTimer(m_hNotify, kSocketStallTimer);
}

const TextConverter& WireTextConverter() {
    static const CWinTextConverter converter;
    return converter;
}

CClientSocket::CClientSocket(ConnectionOwner& owner, std::string strId, std::string strPassword,
                             std::string strFileHost)
    : CClientConnection(owner, *this, WireTextConverter(), std::move(strId), std::move(strPassword),
                        std::move(strFileHost)) {}

CClientSocket::~CClientSocket() {
    CloseConnection();
}

bool CClientSocket::Connect(const std::string& host, int port) {
    return IsOpen() && ConnectStream(host, port, kConnectTimeoutMs, EncryptedTransport());
}

// A notification's error code shows again in the read or write it leads to, which takes the failure path.
void CClientSocket::OnReceive(int /*error*/) {
    ReadPendingRecords();
}

void CClientSocket::OnSend(int /*error*/) {
    // Records sealed earlier go before anything the connection still queues; a failure shows in its
    // next write.
    if (FlushSealed() == WriteStatus::WouldBlock)
        return;
    OnWritable();
}

void CClientSocket::OnClose(int /*error*/) {
    OnPeerClosed();
}

bool CWinsockStream::WaitWritable(DWORD timeoutMs) {
    if (m_socket == INVALID_SOCKET)
        return false;
    fd_set writable;
    FD_ZERO(&writable);
    FD_SET(m_socket, &writable);
    timeval tv{static_cast<long>(timeoutMs / 1000), static_cast<long>((timeoutMs % 1000) * 1000)};
    return ::select(0, nullptr, &writable, nullptr, &tv) == 1;
}

void CClientSocket::FlushFor(DWORD timeoutMs) {
    const ULONGLONG end = ::GetTickCount64() + timeoutMs;
    while (IsOpen() && (QueuedBytes() > 0 || HasSealed())) {
        const ULONGLONG now = ::GetTickCount64();
        if (now >= end || !WaitWritable(static_cast<DWORD>(end - now)))
            return;
        OnSend(0);
    }
}

void CClientSocket::OnStallTimer() {
    CheckSendProgress(::GetTickCount64());
}

void CClientSocket::OnSendBacklog(bool bWaiting) {
    SetStallTimer(bWaiting);
}

} // namespace dravel::win
