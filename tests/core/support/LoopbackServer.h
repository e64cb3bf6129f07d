#pragma once

// A one-connection server on 127.0.0.1 and an ephemeral port, run on its own thread, for tests that
// need a real socket on the other side.

#include "tests/core/support/Wait.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cstdint>
#include <functional>
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

    // Reads until the peer closes (or the wait limit passes without data).
    static std::string ReadAll(int fd) {
        std::string all;
        char buffer[65536];
        for (;;) {
            pollfd p{fd, POLLIN, 0};
            if (::poll(&p, 1, static_cast<int>(kWaitLimit.count())) <= 0)
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

} // namespace dravel::test
