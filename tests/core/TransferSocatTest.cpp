// The workers against socat, a tool nobody here wrote: what socat captures from an upload must be the
// header and the file, and a file socat serves must arrive byte for byte. Skipped where socat is missing.

#include "core/transfer/PosixTransfer.h"
#include "core/transfer/TransferWorker.h"
#include "tests/core/support/Bytes.h"
#include "tests/core/support/LoopbackServer.h"
#include "tests/core/support/TempFiles.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <string>
#include <thread>
#include <vector>

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

using namespace dravel;
using dravel::test::PatternBytes;
using dravel::test::SameBytes;
using dravel::test::TempFile;

namespace {

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

std::string FindSocat() {
    for (const char* dir : {"/usr/bin", "/usr/local/bin", "/bin"}) {
        const std::string path = std::string(dir) + "/socat";
        if (::access(path.c_str(), X_OK) == 0)
            return path;
    }
    return {};
}

// One socat process, killed if it is still there when the test ends.
class Socat {
public:
    explicit Socat(std::vector<std::string> args) {
        std::vector<char*> argv;
        for (std::string& a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        if (::posix_spawn(&m_pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0)
            m_pid = -1;
    }
    ~Socat() {
        if (m_pid > 0) {
            ::kill(m_pid, SIGKILL);
            ::waitpid(m_pid, nullptr, 0);
        }
    }
    bool Started() const { return m_pid > 0; }
    // The exit status, or -1 if socat did not end within the time.
    int Wait(std::chrono::milliseconds limit) {
        const auto end = std::chrono::steady_clock::now() + limit;
        while (m_pid > 0 && std::chrono::steady_clock::now() < end) {
            int status = 0;
            if (::waitpid(m_pid, &status, WNOHANG) == m_pid) {
                m_pid = -1;
                return WIFEXITED(status) ? WEXITSTATUS(status) : 128;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return -1;
    }

private:
    pid_t m_pid = -1;
};

// socat needs a moment before it listens: try again while nothing answers, within a time limit.
template <class Run> TransferOutcome UntilConnected(Run run) {
    TransferOutcome outcome;
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    do {
        outcome = run();
        if (outcome.status != TransferStatus::NotConnected)
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    } while (std::chrono::steady_clock::now() < end);
    return outcome;
}

TEST(TransferAgainstSocat, UploadCapturedBySocatIsHeaderPlusFile) {
    const std::string socat = FindSocat();
    if (socat.empty())
        GTEST_SKIP() << "socat is not installed";
    for (const size_t size : {size_t{0}, size_t{4095}, size_t{300000}}) {
        TempFile source("socat_src");
        TempFile captured("socat_cap");
        const std::string content = PatternBytes(size);
        source.Write(content);
        const uint16_t port = dravel::test::UnusedPort();
        Socat server({socat, "-u", "TCP-LISTEN:" + std::to_string(port) + ",bind=127.0.0.1,reuseaddr",
                      "OPEN:" + captured.Path() + ",creat,trunc"});
        ASSERT_TRUE(server.Started());

        UploadRequest request;
        request.strHost = "127.0.0.1";
        request.nPort = port;
        request.strLocalPath = "D:\\work\\\xB0\xE8\xBE\xE0\xBC\xAD.hwp"; // 계약서.hwp
        request.strOwnId = "kim";
        request.strPeerId = "lee";
        request.strStamp = "202612080930";
        const TransferOutcome outcome = UntilConnected([&] {
            CPosixTransferSocket socket;
            CPosixTransferFile file(source.Path());
            NullObserver observer;
            return SendFileToRemoteRecipient(request, socket, file, observer);
        });
        ASSERT_TRUE(outcome.Complete()) << TransferStatusText(outcome.status);
        ASSERT_EQ(server.Wait(std::chrono::seconds(10)), 0);

        std::string expected(260, '\0');
        StoreLength(static_cast<int32_t>(size), reinterpret_cast<uint8_t*>(expected.data()));
        const std::string name = "kim_lee_\xB0\xE8\xBE\xE0\xBC\xAD.hwp.202612080930";
        expected.replace(4, name.size(), name);
        EXPECT_TRUE(SameBytes(captured.Read(), expected + content)) << size;
    }
}

TEST(TransferAgainstSocat, DownloadServedBySocatArrivesByteForByte) {
    const std::string socat = FindSocat();
    if (socat.empty())
        GTEST_SKIP() << "socat is not installed";
    for (const size_t size : {size_t{0}, size_t{1}, size_t{1000000}}) {
        TempFile served("socat_srv");
        TempFile target("socat_dst");
        const std::string content = PatternBytes(size);
        std::string prefixed(4, '\0');
        StoreLength(static_cast<int32_t>(size), reinterpret_cast<uint8_t*>(prefixed.data()));
        served.Write(prefixed + content);
        const uint16_t port = dravel::test::UnusedPort();
        Socat server({socat, "-u", "OPEN:" + served.Path() + ",rdonly",
                      "TCP-LISTEN:" + std::to_string(port) + ",bind=127.0.0.1,reuseaddr"});
        ASSERT_TRUE(server.Started());

        DownloadRequest request;
        request.strHost = "127.0.0.1";
        request.nPort = port;
        const TransferOutcome outcome = UntilConnected([&] {
            CPosixTransferSocket socket;
            CPosixTransferFile file(target.Path());
            NullObserver observer;
            return GetFileFromRemoteSender(request, socket, file, observer);
        });
        ASSERT_TRUE(outcome.Complete()) << TransferStatusText(outcome.status);
        EXPECT_TRUE(target.Exists());
        EXPECT_TRUE(SameBytes(target.Read(), content)) << size;
        EXPECT_EQ(server.Wait(std::chrono::seconds(10)), 0);
    }
}

} // namespace
