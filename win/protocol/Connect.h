#pragma once

// The one non-blocking connect with a time limit, shared by the messenger connection, the file
// transfers and the update download.

// winsock2.h before windows.h, which would otherwise pull in the old winsock.h.
#include <winsock2.h>

#include <windows.h>

#include <atomic>

namespace dravel::win {

// How long one wait for the connection may last before the abort flag is looked at again.
inline constexpr DWORD kConnectSliceMs = 100;

// Connects `socket` to `address`, waiting at most `timeoutMs` (none at all for 0). The socket is made
// non-blocking and stays so. A set `pAbort` is noticed within kConnectSliceMs. Returns 0 once
// connected, else the Winsock error: the connect's own, WSAETIMEDOUT when the time ran out, WSAEINTR
// on abort.
int ConnectWithTimeout(SOCKET socket, const sockaddr* address, int addressLength, DWORD timeoutMs,
                       const std::atomic<bool>* pAbort = nullptr);

} // namespace dravel::win
