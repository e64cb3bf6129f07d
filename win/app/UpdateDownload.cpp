#include "win/app/UpdateDownload.h"

#include "win/base/Handles.h"
#include "win/protocol/Connect.h"
#include "core/app/HttpDownload.h"

#include <winsock2.h>
#include <ws2tcpip.h>

#include <algorithm>
#include <cstring>
#include <string>

namespace dravel::win {

namespace {

// The most one WriteFile call is asked to write.
constexpr size_t kMaxWriteBytes = size_t{1} << 20;
// The receive buffer of the download.
constexpr size_t kReceiveBufferBytes = 64 * 1024;
constexpr long kMsPerSecond = 1000;
constexpr long kUsPerMs = 1000;

// Milliseconds left until `deadline` (tick count), at most `cap`.
DWORD Remaining(ULONGLONG deadline, DWORD cap) {
    ULONGLONG now = ::GetTickCount64();
    if (now >= deadline)
        return 0;
    ULONGLONG left = deadline - now;
    return static_cast<DWORD>(left < cap ? left : cap);
}

bool WaitSocket(SOCKET s, bool bWrite, DWORD ms) {
    if (ms == 0)
        return false;
    fd_set set, failed;
    FD_ZERO(&set);
    FD_ZERO(&failed);
    FD_SET(s, &set);
    FD_SET(s, &failed);
    timeval tv{static_cast<long>(ms) / kMsPerSecond, static_cast<long>(ms) % kMsPerSecond * kUsPerMs};
    int rc = bWrite ? ::select(0, nullptr, &set, &failed, &tv) : ::select(0, &set, nullptr, &failed, &tv);
    return rc > 0 && FD_ISSET(s, &set);
}

bool WriteFileWhole(const std::wstring& target, const std::string& body) {
    CKernelHandle file(
        ::CreateFileW(target.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return false;
    size_t done = 0;
    while (done < body.size()) {
        DWORD chunk = static_cast<DWORD>(std::min(body.size() - done, kMaxWriteBytes));
        DWORD written = 0;
        if (!::WriteFile(file.Get(), body.data() + done, chunk, &written, nullptr) || written == 0) {
            file.Reset();
            ::DeleteFileW(target.c_str());
            return false;
        }
        done += written;
    }
    return true;
}

} // namespace

bool DownloadToFile(const std::string& server, const std::string& path, const std::wstring& target,
                    const DownloadLimits& limits) {
    HostPort hp;
    if (!ParseHostPort(server, 80, hp))
        return false;
    const ULONGLONG deadline = ::GetTickCount64() + limits.totalMs;

    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (::getaddrinfo(hp.strHost.c_str(), std::to_string(hp.nPort).c_str(), &hints, &found) != 0 || !found)
        return false;
    sockaddr_in addr{};
    std::memcpy(&addr, found->ai_addr, std::min<size_t>(sizeof(addr), found->ai_addrlen));
    ::freeaddrinfo(found);

    CSocketHandle sock(::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
    if (!sock)
        return false;
    if (ConnectWithTimeout(sock.Get(), reinterpret_cast<const sockaddr*>(&addr), sizeof(addr),
                           Remaining(deadline, limits.connectMs)) != 0)
        return false;

    const std::string request = BuildGetRequest(hp, path);
    size_t sent = 0;
    while (sent < request.size()) {
        int n = ::send(sock.Get(), request.data() + sent, static_cast<int>(request.size() - sent), 0);
        if (n == SOCKET_ERROR) {
            if (::WSAGetLastError() != WSAEWOULDBLOCK ||
                !WaitSocket(sock.Get(), true, Remaining(deadline, limits.idleMs)))
                return false;
            continue;
        }
        sent += static_cast<size_t>(n);
    }

    CHttpResponseParser parser;
    std::string buffer(kReceiveBufferBytes, '\0');
    while (parser.GetState() != CHttpResponseParser::State::Done &&
           parser.GetState() != CHttpResponseParser::State::Failed) {
        if (!WaitSocket(sock.Get(), false, Remaining(deadline, limits.idleMs)))
            return false;
        int n = ::recv(sock.Get(), buffer.data(), static_cast<int>(buffer.size()), 0);
        if (n > 0)
            parser.Feed(std::string_view(buffer.data(), static_cast<size_t>(n)));
        else if (n == 0)
            parser.FeedEnd();
        else if (::WSAGetLastError() != WSAEWOULDBLOCK)
            return false;
    }
    return parser.Succeeded() && WriteFileWhole(target, parser.Body());
}

} // namespace dravel::win
