// Upload and download of a 256 MiB file over loopback, against socat copying the same file over
// loopback in the same run. The far end of our transfers is socat too, so only our side differs:
//   upload:   our worker reads the file and sends   -> socat writes to /dev/null
//             baseline: socat reads the file        -> socat writes to /dev/null
//   download: socat serves the length-prefixed file -> our worker writes the file
//             baseline: socat reads the file        -> socat writes the file
// Each run also reports how much the peak resident memory grew: it must not follow the file size.

#include "core/transfer/PosixTransfer.h"
#include "core/transfer/TransferWorker.h"
#include "bench/support/RatioReporter.h"
#include "tests/core/support/LoopbackServer.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

using namespace dravel;

namespace {

constexpr int64_t kFileSize = 256ll << 20;

std::string TempDir() {
    const char* dir = std::getenv("TMPDIR");
    return dir != nullptr ? dir : "/tmp";
}

struct Files {
    std::string strSource = TempDir() + "/dravel_bench_" + std::to_string(::getpid()) + ".src";
    std::string strPrefixed = strSource + ".len";
    std::string strTarget = strSource + ".dst";

    Files() {
        std::ofstream src(strSource, std::ios::binary | std::ios::trunc);
        std::ofstream pre(strPrefixed, std::ios::binary | std::ios::trunc);
        const char length[4] = {static_cast<char>(kFileSize >> 24), static_cast<char>(kFileSize >> 16),
                                static_cast<char>(kFileSize >> 8), static_cast<char>(kFileSize)};
        pre.write(length, 4);
        std::vector<char> block(1 << 20);
        uint32_t x = 2463534242u;
        for (int64_t done = 0; done < kFileSize; done += static_cast<int64_t>(block.size())) {
            for (char& c : block) {
                x ^= x << 13;
                x ^= x >> 17;
                x ^= x << 5;
                c = static_cast<char>(x);
            }
            src.write(block.data(), std::streamsize(block.size()));
            pre.write(block.data(), std::streamsize(block.size()));
        }
    }
    ~Files() {
        std::remove(strSource.c_str());
        std::remove(strPrefixed.c_str());
        std::remove(strTarget.c_str());
    }
};

Files& TheFiles() {
    static Files files;
    return files;
}

using dravel::test::UnusedPort;

// True once something listens on 127.0.0.1:port (read from /proc, so that nothing is accepted).
bool WaitListening(uint16_t port) {
    char wanted[32];
    std::snprintf(wanted, sizeof(wanted), "0100007F:%04X 00000000:0000 0A", port);
    for (int i = 0; i < 500; ++i) {
        std::ifstream tcp("/proc/net/tcp");
        std::string line;
        while (std::getline(tcp, line))
            if (line.find(wanted) != std::string::npos)
                return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

pid_t Spawn(std::vector<std::string> args) {
    std::vector<char*> argv;
    for (std::string& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid = -1;
    if (::posix_spawnp(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0)
        return -1;
    return pid;
}

bool Reap(pid_t pid) {
    int status = 0;
    return pid > 0 && ::waitpid(pid, &status, 0) == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

std::string Listen(uint16_t port) {
    return "TCP-LISTEN:" + std::to_string(port) + ",bind=127.0.0.1,reuseaddr";
}
std::string ConnectTo(uint16_t port) {
    return "TCP:127.0.0.1:" + std::to_string(port);
}

long PeakRssKiB() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

class NullObserver : public TransferObserver {
public:
    void OnStarted() override {}
    void OnConnectFailed() override {}
    void OnConnected() override {}
    void OnEventsChanged(int32_t) override {}
    void OnProgress(int) override {}
    void OnFinished(const TransferOutcome&) override {}
    void OnTrace(std::string_view) override {}
};

using Clock = std::chrono::steady_clock;

// Collects the iterations of one benchmark and reports their average rate.
class Measure {
public:
    explicit Measure(benchmark::State& state) : m_state(state), m_nRssBefore(PeakRssKiB()) {}

    void Add(double seconds) {
        m_state.SetIterationTime(seconds);
        m_seconds += seconds;
        ++m_nRuns;
    }
    // Bytes per second over every iteration; 0 if none completed.
    double Rate() const { return m_nRuns == 0 ? 0 : static_cast<double>(kFileSize) * m_nRuns / m_seconds; }

    void Report() {
        m_state.counters["MiB_per_s"] = Rate() / (1 << 20);
        m_state.counters["peak_rss_growth_KiB"] = static_cast<double>(PeakRssKiB() - m_nRssBefore);
    }

private:
    benchmark::State& m_state;
    long m_nRssBefore;
    double m_seconds = 0;
    int m_nRuns = 0;
};

void BM_SocatCopyToNull(benchmark::State& state) {
    Files& files = TheFiles();
    Measure measure(state);
    for (auto _ : state) {
        const uint16_t port = UnusedPort();
        const pid_t sink = Spawn({"socat", "-u", Listen(port), "OPEN:/dev/null"});
        if (sink < 0 || !WaitListening(port)) {
            state.SkipWithError("socat could not be started");
            return;
        }
        const auto start = Clock::now();
        const pid_t source = Spawn({"socat", "-u", "OPEN:" + files.strSource + ",rdonly", ConnectTo(port)});
        if (!Reap(source) || !Reap(sink)) {
            state.SkipWithError("socat failed");
            return;
        }
        measure.Add(std::chrono::duration<double>(Clock::now() - start).count());
    }
    measure.Report();
}

void BM_Upload(benchmark::State& state) {
    Files& files = TheFiles();
    Measure measure(state);
    for (auto _ : state) {
        const uint16_t port = UnusedPort();
        const pid_t sink = Spawn({"socat", "-u", Listen(port), "OPEN:/dev/null"});
        if (sink < 0 || !WaitListening(port)) {
            state.SkipWithError("socat could not be started");
            return;
        }
        const auto start = Clock::now();
        UploadRequest request;
        request.strHost = "127.0.0.1";
        request.nPort = port;
        request.strLocalPath = "C:\\bench\\file.bin";
        request.strOwnId = "A";
        request.strPeerId = "B";
        request.strStamp = "201901021530";
        CPosixTransferSocket socket;
        CPosixTransferFile file(files.strSource);
        NullObserver observer;
        const TransferOutcome outcome = SendFileToRemoteRecipient(request, socket, file, observer);
        if (!outcome.Complete() || !Reap(sink)) {
            state.SkipWithError("upload failed");
            return;
        }
        measure.Add(std::chrono::duration<double>(Clock::now() - start).count());
    }
    measure.Report();
}

void BM_SocatCopyToFile(benchmark::State& state) {
    Files& files = TheFiles();
    Measure measure(state);
    for (auto _ : state) {
        const uint16_t port = UnusedPort();
        const pid_t sink = Spawn({"socat", "-u", Listen(port), "OPEN:" + files.strTarget + ",creat,trunc"});
        if (sink < 0 || !WaitListening(port)) {
            state.SkipWithError("socat could not be started");
            return;
        }
        const auto start = Clock::now();
        const pid_t source = Spawn({"socat", "-u", "OPEN:" + files.strSource + ",rdonly", ConnectTo(port)});
        if (!Reap(source) || !Reap(sink)) {
            state.SkipWithError("socat failed");
            return;
        }
        measure.Add(std::chrono::duration<double>(Clock::now() - start).count());
    }
    measure.Report();
}

void BM_Download(benchmark::State& state) {
    Files& files = TheFiles();
    Measure measure(state);
    for (auto _ : state) {
        const uint16_t port = UnusedPort();
        const pid_t server = Spawn({"socat", "-u", "OPEN:" + files.strPrefixed + ",rdonly", Listen(port)});
        if (server < 0 || !WaitListening(port)) {
            state.SkipWithError("socat could not be started");
            return;
        }
        const auto start = Clock::now();
        DownloadRequest request;
        request.strHost = "127.0.0.1";
        request.nPort = port;
        CPosixTransferSocket socket;
        CPosixTransferFile file(files.strTarget);
        NullObserver observer;
        const TransferOutcome outcome = GetFileFromRemoteSender(request, socket, file, observer);
        const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
        if (!outcome.Complete() || !Reap(server)) {
            state.SkipWithError("download failed");
            return;
        }
        measure.Add(seconds);
    }
    measure.Report();
}

// Baselines first, each followed by the transfer it is compared with.
BENCHMARK(BM_SocatCopyToNull)->UseManualTime()->Iterations(5)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Upload)->UseManualTime()->Iterations(5)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SocatCopyToFile)->UseManualTime()->Iterations(5)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Download)->UseManualTime()->Iterations(5)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    dravel::bench::RatioReporter<benchmark::ConsoleReporter> reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    auto rate = [&](const char* name) { return reporter.Counter(name, "MiB_per_s"); };
    dravel::bench::PrintRatioTable("Transfer rate against socat moving the same file", "MiB/s", "ratio to socat",
                                   {{"upload (socat to /dev/null)", rate("BM_Upload"), rate("BM_SocatCopyToNull")},
                                    {"download (socat to a file)", rate("BM_Download"), rate("BM_SocatCopyToFile")}});
    benchmark::Shutdown();
    return 0;
}
