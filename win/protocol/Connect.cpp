#include "win/protocol/Connect.h"

#include <algorithm>

namespace dravel::win {

namespace {

constexpr long kUsPerMs = 1000;

} // namespace

int ConnectWithTimeout(SOCKET socket, const sockaddr* address, int addressLength, DWORD timeoutMs,
                       const std::atomic<bool>* pAbort) {
    u_long nonBlocking = 1;
    ::ioctlsocket(socket, FIONBIO, &nonBlocking);
    if (::connect(socket, address, addressLength) == 0)
        return 0;
    const int connectError = ::WSAGetLastError();
    if (connectError != WSAEWOULDBLOCK)
        return connectError;
    const ULONGLONG deadline = ::GetTickCount64() + timeoutMs;
    bool bWritable = false;
    for (;;) {
        if (pAbort && pAbort->load())
            return WSAEINTR;
        const ULONGLONG now = ::GetTickCount64();
        if (now >= deadline)
            return WSAETIMEDOUT;
        const DWORD sliceMs = static_cast<DWORD>(std::min<ULONGLONG>(kConnectSliceMs, deadline - now));
        fd_set writable;
        fd_set failed;
        FD_ZERO(&writable);
        FD_ZERO(&failed);
        FD_SET(socket, &writable);
        FD_SET(socket, &failed);
        timeval tv{0, static_cast<long>(sliceMs) * kUsPerMs};
        const int rc = ::select(0, nullptr, &writable, &failed, &tv);
        if (rc == SOCKET_ERROR)
            return ::WSAGetLastError();
        if (rc > 0) {
            bWritable = FD_ISSET(socket, &writable) != 0;
            break;
        }
    }
    // A refused or failed connection shows in the except set; its error is the socket's.
    int error = 0;
    int length = sizeof(error);
    if (::getsockopt(socket, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &length) != 0)
        return ::WSAGetLastError();
    if (error == 0 && !bWritable)
        return WSAENOTCONN;
    return error;
}

} // namespace dravel::win
