#pragma once
// For the Win32 tests whose windows talk to the file ports: a server on 127.0.0.1 and an ephemeral
// port in the test's own process.

#include "win/base/Handles.h"

#include <windows.h>
#include <winsock2.h>

#include <atomic>
#include <functional>
#include <string>
#include <thread>

namespace dravel::win::test {

// Serves one connection at a time; `serve` runs for every accepted connection.
class LoopbackServer {
public:
    explicit LoopbackServer(std::function<void(SOCKET)> serve) : m_serve(std::move(serve)) {
        m_listen.Reset(::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(m_listen.Get(), reinterpret_cast<sockaddr*>(&addr), sizeof(addr));
        ::listen(m_listen.Get(), 4);
        int len = sizeof(addr);
        ::getsockname(m_listen.Get(), reinterpret_cast<sockaddr*>(&addr), &len);
        m_nPort = ntohs(addr.sin_port);
        m_thread = std::thread([this] { Run(); });
    }
    ~LoopbackServer() {
        m_bStop = true;
        m_thread.join();
    }
    int Port() const { return m_nPort; }
    int Accepted() const { return m_nAccepted; }

    static std::string ReadAll(SOCKET s) {
        std::string all;
        char buffer[65536];
        for (;;) {
            const int n = ::recv(s, buffer, sizeof(buffer), 0);
            if (n <= 0)
                return all;
            all.append(buffer, static_cast<size_t>(n));
        }
    }
    static void WriteAll(SOCKET s, const std::string& bytes) {
        size_t done = 0;
        while (done < bytes.size()) {
            const int n = ::send(s, bytes.data() + done, static_cast<int>(bytes.size() - done), 0);
            if (n <= 0)
                return;
            done += static_cast<size_t>(n);
        }
    }

private:
    void Run() {
        for (;;) {
            const bool bStop = m_bStop;
            fd_set set;
            FD_ZERO(&set);
            FD_SET(m_listen.Get(), &set);
            timeval tv{0, bStop ? 0 : 20000};
            if (::select(0, &set, nullptr, nullptr, &tv) <= 0) {
                if (bStop)
                    return;
                continue;
            }
            CSocketHandle client(::accept(m_listen.Get(), nullptr, nullptr));
            if (!client)
                continue;
            ++m_nAccepted;
            m_serve(client.Get());
        }
    }

    std::function<void(SOCKET)> m_serve;
    CSocketHandle m_listen;
    int m_nPort = 0;
    std::atomic<bool> m_bStop{false};
    std::atomic<int> m_nAccepted{0};
    std::thread m_thread;
};

} // namespace dravel::win::test
