#include "win/protocol/ClientSocket.h"

#include "win/base/Debug.h"
#include "win/base/Text.h"
#include "win/base/Window.h"
#include "win/protocol/Connect.h"

#include <ws2tcpip.h>

#include <algorithm>
#include <cstring>
#include <string>

namespace dravel::win {

namespace {

constexpr UINT WM_SOCKET_NOTIFY = WM_APP + 0x51;
constexpr wchar_t kNotifyClass[] = L"DravelOnSocketNotify";
constexpr UINT_PTR kStallTimerId = 1;
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
    if (msg != WM_SOCKET_NOTIFY && msg != WM_TIMER)
        return ::DefWindowProcW(hwnd, msg, wParam, lParam);
    // Records are handled below: a session end asked for now must wait until this has returned.
    const CWindow::CHandlerScope scope;
    try {
        auto* self = reinterpret_cast<CWinsockStream*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
        if (!self)
            return 0;
        if (msg == WM_TIMER) {
            if (wParam == kStallTimerId)
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

bool CWinsockStream::ConnectStream(const std::string& host, int port, DWORD timeoutMs) {
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
    // From here on the socket stays non-blocking and announces arrivals, room to write and its end to
    // the notification window.
    if (!m_hNotify || ::WSAAsyncSelect(m_socket, m_hNotify, WM_SOCKET_NOTIFY, FD_READ | FD_WRITE | FD_CLOSE) != 0)
        return false;
    // An end that came before the notifications were asked for is not always announced (a reset, under
    // Wine): a first read finds it.
    ::PostMessageW(m_hNotify, WM_SOCKET_NOTIFY, static_cast<WPARAM>(m_socket), WSAMAKESELECTREPLY(FD_READ, 0));
    return true;
}

ByteStream::WriteResult CWinsockStream::Write(const char* data, size_t size) {
    if (m_socket == INVALID_SOCKET)
        return {WriteStatus::Error, 0};
    const int sent = ::send(m_socket, data, static_cast<int>(std::min(size, kMaxSendBytes)), 0);
    if (sent != SOCKET_ERROR)
        return {WriteStatus::Taken, static_cast<size_t>(sent)};
    // A refused send arms FD_WRITE for when the socket has room again.
    return {::WSAGetLastError() == WSAEWOULDBLOCK ? WriteStatus::WouldBlock : WriteStatus::Error, 0};
}

ByteStream::ReadResult CWinsockStream::Read(char* buffer, size_t capacity) {
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
        ::SetTimer(m_hNotify, kStallTimerId, kStallCheckMs, nullptr);
    else
        ::KillTimer(m_hNotify, kStallTimerId);
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
    return IsOpen() && ConnectStream(host, port, kConnectTimeoutMs);
}

// A notification's error code shows again in the read or write it leads to, which takes the failure path.
void CClientSocket::OnReceive(int /*error*/) {
    ReadPendingRecords();
}

void CClientSocket::OnSend(int /*error*/) {
    OnWritable();
}

void CClientSocket::OnClose(int /*error*/) {
    OnPeerClosed();
}

void CClientSocket::OnStallTimer() {
    CheckSendProgress(::GetTickCount64());
}

void CClientSocket::OnSendBacklog(bool bWaiting) {
    SetStallTimer(bWaiting);
}

} // namespace dravel::win
