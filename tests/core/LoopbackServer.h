#pragma once

// A one-connection server on 127.0.0.1 and an ephemeral port, run on its own thread, for tests that
// need a real socket on the other side.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <functional>
#include <iterator>
#include <random>
#include <string>
#include <thread>

namespace dravel::test {

class LoopbackServer {
public:
    // `serve` gets the accepted connection; the server closes it afterwards. Nothing is accepted
    // unless a client connects.
    explicit LoopbackServer(std::function<void(int fd)> serve) : m_serve(std::move(serve)) {
        m_listen = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(m_listen, reinterpret_cast<sockaddr*>(&addr), sizeof(addr));
        ::listen(m_listen, 4);
        socklen_t len = sizeof(addr);
        ::getsockname(m_listen, reinterpret_cast<sockaddr*>(&addr), &len);
        m_nPort = ntohs(addr.sin_port);
        m_thread = std::thread([this] { Run(); });
    }
    ~LoopbackServer() {
        m_bStop = true;
        m_thread.join();
        ::close(m_listen);
    }

    uint16_t Port() const { return m_nPort; }
    int Accepted() const { return m_nAccepted; }

    // Reads until the peer closes (or 10 s pass without data).
    static std::string ReadAll(int fd) {
        std::string all;
        char buffer[65536];
        for (;;) {
            pollfd p{fd, POLLIN, 0};
            if (::poll(&p, 1, 10000) <= 0)
                return all;
            const ssize_t n = ::recv(fd, buffer, sizeof(buffer), 0);
            if (n <= 0)
                return all;
            all.append(buffer, static_cast<size_t>(n));
        }
    }
    static bool WriteAll(int fd, const std::string& bytes) {
        size_t done = 0;
        while (done < bytes.size()) {
            const ssize_t n = ::send(fd, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
            if (n <= 0)
                return false;
            done += static_cast<size_t>(n);
        }
        return true;
    }

private:
    void Run() {
        for (;;) {
            // A client that connected just before the stop is still served.
            const bool bStop = m_bStop;
            pollfd p{m_listen, POLLIN, 0};
            if (::poll(&p, 1, bStop ? 0 : 20) <= 0) {
                if (bStop)
                    return;
                continue;
            }
            const int fd = ::accept(m_listen, nullptr, nullptr);
            if (fd < 0)
                continue;
            ++m_nAccepted;
            m_serve(fd);
            ::close(fd);
        }
    }

    std::function<void(int)> m_serve;
    int m_listen = -1;
    uint16_t m_nPort = 0;
    std::atomic<bool> m_bStop{false};
    std::atomic<int> m_nAccepted{0};
    std::thread m_thread;
};

// A port nothing listens on: bound once to learn a free number, then released.
inline uint16_t UnusedPort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof(addr));
    socklen_t len = sizeof(addr);
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len);
    ::close(fd);
    return ntohs(addr.sin_port);
}

// A file of its own in the temporary folder, removed with the object.
class TempFile {
public:
    explicit TempFile(const std::string& tag) {
        std::random_device rd;
        m_strPath = (std::getenv("TMPDIR") ? std::getenv("TMPDIR") : "/tmp") + std::string("/dravel_") + tag + "_" +
                    std::to_string(::getpid()) + "_" + std::to_string(rd());
    }
    ~TempFile() { std::remove(m_strPath.c_str()); }
    const std::string& Path() const { return m_strPath; }

    void Write(const std::string& bytes) const {
        std::ofstream(m_strPath, std::ios::binary | std::ios::trunc).write(bytes.data(), std::streamsize(bytes.size()));
    }
    std::string Read() const {
        std::ifstream in(m_strPath, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    bool Exists() const { return ::access(m_strPath.c_str(), F_OK) == 0; }

private:
    std::string m_strPath;
};

// Equality of two byte strings without printing megabytes when they differ.
inline ::testing::AssertionResult SameBytes(const std::string& actual, const std::string& expected) {
    if (actual == expected)
        return ::testing::AssertionSuccess();
    size_t i = 0;
    while (i < actual.size() && i < expected.size() && actual[i] == expected[i])
        ++i;
    return ::testing::AssertionFailure() << "got " << actual.size() << " bytes, expected " << expected.size()
                                         << ", first difference at " << i;
}

// Bytes that differ from position to position, so that a shifted or repeated chunk shows.
inline std::string PatternBytes(size_t size) {
    std::string s(size, '\0');
    uint32_t x = 2463534242u;
    for (size_t i = 0; i < size; ++i) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        s[i] = static_cast<char>(x);
    }
    return s;
}

} // namespace dravel::test
