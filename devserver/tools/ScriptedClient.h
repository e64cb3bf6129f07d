#pragma once

// A messenger client without windows for the load bench and the end-to-end tests: the core's
// connection logic over a non-blocking POSIX socket, plus the file ports' two wire formats.

#include "core/protocol/ClientConnection.h"
#include "core/protocol/TextConverter.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <fcntl.h>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace dravel::devserver::tools {

// A blocking connect to 127.0.0.1; -1 on failure.
inline int ConnectLoopback(uint16_t port) {
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return -1;
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(port);
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
        ::close(fd);
        return -1;
    }
    int one = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    return fd;
}

// Writes everything, waiting while the socket is full; false on an error.
inline bool SendAll(int fd, const char* data, size_t size) {
    while (size > 0) {
        ssize_t n = ::send(fd, data, size, MSG_NOSIGNAL);
        if (n > 0) {
            data += n;
            size -= static_cast<size_t>(n);
        } else if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) {
            pollfd p{fd, POLLOUT, 0};
            if (::poll(&p, 1, 10000) <= 0)
                return false;
        } else {
            return false;
        }
    }
    return true;
}

// Reads until the peer closes or `timeoutMs` passes without data; the bytes that came.
inline std::string ReceiveAll(int fd, int timeoutMs) {
    std::string out;
    char buffer[65536];
    for (;;) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, timeoutMs) <= 0)
            return out;
        ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
        if (n <= 0)
            return out;
        out.append(buffer, static_cast<size_t>(n));
    }
}

class CSocketStream final : public ByteStream {
public:
    explicit CSocketStream(int fd) : m_fd(fd) {}
    ~CSocketStream() override { Close(); }
    // No writability loop here: a write hands over everything, waiting for the socket if it must.
    WriteResult Write(const char* data, size_t size) override {
        if (m_fd >= 0 && SendAll(m_fd, data, size))
            return {WriteStatus::Taken, size};
        return {WriteStatus::Error, 0};
    }
    ReadResult Read(char* buffer, size_t capacity) override {
        if (m_fd < 0)
            return {ReadStatus::Error, 0};
        ssize_t n = ::recv(m_fd, buffer, capacity, MSG_DONTWAIT);
        if (n > 0)
            return {ReadStatus::Data, static_cast<size_t>(n)};
        if (n == 0)
            return {ReadStatus::Closed, 0};
        if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)
            return {ReadStatus::WouldBlock, 0};
        return {ReadStatus::Error, 0};
    }
    void Close() override {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = -1;
    }
    int Fd() const { return m_fd; }

private:
    int m_fd;
};

class CScriptedClient final : public ConnectionOwner {
public:
    CScriptedClient(std::string strId, std::string strPassword)
        : m_strId(std::move(strId)), m_strPassword(std::move(strPassword)) {}

    bool Connect(uint16_t port) {
        int fd = ConnectLoopback(port);
        if (fd < 0)
            return false;
        m_pStream = std::make_unique<CSocketStream>(fd);
        m_pConnection =
            std::make_unique<CClientConnection>(*this, *m_pStream, m_converter, m_strId, m_strPassword, "127.0.0.1");
        return true;
    }

    CClientConnection& Connection() { return *m_pConnection; }
    int Fd() const { return m_pStream ? m_pStream->Fd() : -1; }
    bool Lost() const { return m_bLost; }
    bool LoggedIn() const { return m_bLoggedIn; }

    // Reads and handles whatever has arrived.
    void Pump() {
        if (m_pConnection && !m_bLost)
            m_pConnection->ReadPendingRecords();
    }

    // Pumps until `done` holds or the time is up; true when it held.
    bool WaitFor(const std::function<bool()>& done, int timeoutMs = 5000) {
        auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        for (;;) {
            Pump();
            if (done())
                return true;
            auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now());
            if (left.count() <= 0 || Fd() < 0)
                return false;
            pollfd p{Fd(), POLLIN, 0};
            ::poll(&p, 1, static_cast<int>(std::min<long long>(left.count(), 100)));
        }
    }

    // The first record of this command received at or after index `from`, or null.
    const CComData* Find(int32_t nCommand, size_t from = 0) const {
        for (size_t i = from; i < m_records.size(); ++i)
            if (m_records[i].m_nCommand == nCommand)
                return &m_records[i];
        return nullptr;
    }
    bool WaitRecord(int32_t nCommand, size_t from = 0, int timeoutMs = 5000) {
        return WaitFor([&] { return Find(nCommand, from) != nullptr; }, timeoutMs);
    }

    // Every record received, unless `m_bKeep` is cleared; `m_onRecord` sees each one in any case.
    std::vector<CComData> m_records;
    bool m_bKeep = true;
    std::function<void(const CComData&)> m_onRecord;
    std::string m_strVersion = "3.80.33";

private:
    void OnRecord(const CComData& record) override {
        if (record.m_nCommand == COM_SIGN_IN)
            m_pConnection->SendSignIn(m_strVersion);
        if (record.m_nCommand == COM_LOGIN_MESSAGE && !record.m_strName.empty()) {
            m_pConnection->m_strName = record.m_strTarget;
            m_pConnection->m_nStatus = record.m_nStatus;
            m_bLoggedIn = true;
        }
        if (m_onRecord)
            m_onRecord(record);
        if (m_bKeep)
            m_records.push_back(record);
        if (record.m_nCommand == COM_CLOSE)
            m_pConnection->CloseConnection();
    }
    void OnConnectionLost() override { m_bLost = true; }
    void ShowConnectionLost() override {}

    std::string m_strId;
    std::string m_strPassword;
    AsciiTextConverter m_converter;
    std::unique_ptr<CSocketStream> m_pStream;
    std::unique_ptr<CClientConnection> m_pConnection;
    bool m_bLoggedIn = false;
    bool m_bLost = false;
};

// Port 8201: length, 256-byte name, bytes.
inline bool Upload(uint16_t port, const std::string& remoteName, const std::string& bytes) {
    int fd = ConnectLoopback(port);
    if (fd < 0)
        return false;
    std::string header(260, '\0');
    uint32_t n = static_cast<uint32_t>(bytes.size());
    header[0] = static_cast<char>(n >> 24);
    header[1] = static_cast<char>(n >> 16);
    header[2] = static_cast<char>(n >> 8);
    header[3] = static_cast<char>(n);
    header.replace(4, std::min<size_t>(remoteName.size(), 255), remoteName.substr(0, 255));
    bool ok = SendAll(fd, header.data(), header.size()) && SendAll(fd, bytes.data(), bytes.size());
    // Wait for the server to close: it has then taken every byte.
    ReceiveAll(fd, 5000);
    ::close(fd);
    return ok;
}

// Port 8202: what the server sends, length prefix included.
inline std::string Download(uint16_t port, int timeoutMs = 5000) {
    int fd = ConnectLoopback(port);
    if (fd < 0)
        return {};
    std::string bytes = ReceiveAll(fd, timeoutMs);
    ::close(fd);
    return bytes;
}

} // namespace dravel::devserver::tools
