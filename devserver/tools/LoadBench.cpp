// Load bench of the development server: starts it on free ports, signs in N clients, has each send M
// private messages to the next one and checks that every message arrives once and is stored once.
//
//   devserver_load --server build/host/devserver/devserver [--clients 500] [--messages 100]
//
// Prints messages per second (from the first send to the last delivery) and the server's peak memory.
// Exit code 0 when nothing was lost, 1 otherwise.

#include "devserver/tools/ScriptedClient.h"
#include "devserver/tools/ServerProcess.h"

#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

using namespace dravel;
using namespace dravel::devserver::tools;

int main(int argc, char** argv) {
    std::string exe;
    int clients = 500;
    int messages = 100;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--server") == 0)
            exe = argv[i + 1];
        else if (std::strcmp(argv[i], "--clients") == 0)
            clients = std::atoi(argv[i + 1]);
        else if (std::strcmp(argv[i], "--messages") == 0)
            messages = std::atoi(argv[i + 1]);
    }
    if (exe.empty() || clients < 2 || messages < 1) {
        std::fprintf(stderr, "usage: %s --server PATH [--clients N>=2] [--messages M>=1]\n", argv[0]);
        return 2;
    }
    // Every client is a socket here and one more in the server (same machine).
    rlimit limit{};
    getrlimit(RLIMIT_NOFILE, &limit);
    limit.rlim_cur = limit.rlim_max;
    setrlimit(RLIMIT_NOFILE, &limit);

    CServerProcess server;
    // The transcript would measure the disk, not the server.
    server.m_bTranscript = false;
    if (!server.Start(exe, {"--bench-users", std::to_string(clients), "--no-http"})) {
        std::fprintf(stderr, "devserver_load: %s\n", server.m_strError.c_str());
        return 1;
    }
    std::vector<std::unique_ptr<CScriptedClient>> pool;
    // received[i][k]: how often client i got message k of its predecessor.
    std::vector<std::vector<int>> received(clients, std::vector<int>(messages, 0));
    long stray = 0;
    long delivered = 0;
    for (int i = 0; i < clients; ++i) {
        auto c = std::make_unique<CScriptedClient>("bench" + std::to_string(i + 1), "bench");
        c->m_bKeep = false;
        int sender = (i + clients - 1) % clients;
        std::string prefix = "m" + std::to_string(sender) + "-";
        c->m_onRecord = [&, i, prefix](const CComData& r) {
            if (r.m_nCommand != COM_PRIVATE_MESSAGE)
                return;
            if (r.m_strText.compare(0, prefix.size(), prefix) != 0) {
                ++stray;
                return;
            }
            int k = std::atoi(r.m_strText.c_str() + prefix.size());
            if (k < 0 || k >= messages) {
                ++stray;
                return;
            }
            ++received[i][k];
            ++delivered;
        };
        if (!c->Connect(server.m_nMessenger)) {
            std::fprintf(stderr, "devserver_load: connection %d refused\n", i);
            return 1;
        }
        pool.push_back(std::move(c));
    }

    auto pumpAll = [&](int timeoutMs) {
        std::vector<pollfd> fds;
        for (auto& c : pool)
            fds.push_back({c->Fd(), POLLIN, 0});
        ::poll(fds.data(), fds.size(), timeoutMs);
        for (size_t j = 0; j < fds.size(); ++j)
            if (fds[j].revents)
                pool[j]->Pump();
    };
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    auto allLoggedIn = [&] {
        for (auto& c : pool)
            if (!c->LoggedIn())
                return false;
        return true;
    };
    while (!allLoggedIn() && std::chrono::steady_clock::now() < deadline)
        pumpAll(100);
    if (!allLoggedIn()) {
        std::fprintf(stderr, "devserver_load: not every client signed in\n");
        return 1;
    }

    const long total = static_cast<long>(clients) * messages;
    double cpuBefore = server.CpuSeconds();
    auto start = std::chrono::steady_clock::now();
    for (int k = 0; k < messages; ++k) {
        for (int i = 0; i < clients; ++i) {
            int peer = (i + 1) % clients;
            std::string peerId = "bench" + std::to_string(peer + 1);
            pool[i]->Connection().SendPrivateMessage(peerId, peerId, "m" + std::to_string(i) + "-" + std::to_string(k));
        }
        pumpAll(0);
    }
    deadline = std::chrono::steady_clock::now() + std::chrono::seconds(120);
    while (delivered < total && std::chrono::steady_clock::now() < deadline)
        pumpAll(100);
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    // Late duplicates would show up now.
    for (int n = 0; n < 5; ++n)
        pumpAll(20);

    long missing = 0, duplicated = 0;
    for (const auto& row : received)
        for (int count : row) {
            missing += count == 0;
            duplicated += count > 1 ? count - 1 : 0;
        }
    std::string stats = server.Control("stats");
    long stored = -1;
    if (const char* p = std::strstr(stats.c_str(), "messages="))
        stored = std::atol(p + 9);
    long peakKb = server.PeakMemoryKb();
    double cpu = server.CpuSeconds() - cpuBefore;
    pool.clear();
    server.Stop();

    std::printf("devserver_load: %d clients x %d messages = %ld sent, %ld delivered, %ld missing, %ld duplicated, "
                "%ld stray, %ld stored\n",
                clients, messages, total, delivered, missing, duplicated, stray, stored);
    std::printf("devserver_load: %.0f messages/s (%.2f s; server CPU %.2f s), server peak memory %.1f MB\n",
                total / seconds, seconds, cpu, peakKb / 1024.0);
    return missing == 0 && duplicated == 0 && stray == 0 && stored == total ? 0 : 1;
}
