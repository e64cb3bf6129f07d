// Upload and download over real loopback sockets, the header and remote name, and the progress steps.

#include "core/transfer/PosixTransfer.h"
#include "core/transfer/TransferWorker.h"
#include "tests/core/support/Bytes.h"
#include "tests/core/support/LoopbackServer.h"
#include "tests/core/support/TempFiles.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

using namespace dravel;
using dravel::test::LengthPrefix;
using dravel::test::LoopbackServer;
using dravel::test::PatternBytes;
using dravel::test::SameBytes;
using dravel::test::TempFile;

namespace {

class RecordingObserver : public TransferObserver {
public:
    void OnStarted() override { m_log.push_back("started"); }
    void OnConnectFailed() override { m_log.push_back("connect-failed"); }
    void OnConnected() override { m_log.push_back("connected"); }
    void OnEventsChanged(int32_t nCount) override { m_nEvents = nCount; }
    void OnProgress(int nPosition) override { m_positions.push_back(nPosition); }
    void OnFinished(const TransferOutcome& outcome) override {
        m_log.push_back("finished");
        m_bComplete = outcome.Complete();
    }
    void OnTrace(std::string_view text) override { m_traces.emplace_back(text); }

    std::vector<std::string> m_log;
    std::vector<int> m_positions;
    std::vector<std::string> m_traces;
    int32_t m_nEvents = 0;
    bool m_bComplete = false;
};

UploadRequest Upload(uint16_t port, std::string path = "C:\\docs\\report.xls") {
    UploadRequest r;
    r.strHost = "127.0.0.1";
    r.nPort = port;
    r.strLocalPath = std::move(path);
    r.strOwnId = "A";
    r.strPeerId = "B";
    r.strStamp = "201901021530";
    return r;
}

DownloadRequest Download(uint16_t port) {
    DownloadRequest r;
    r.strHost = "127.0.0.1";
    r.nPort = port;
    return r;
}

std::string Header(int32_t length, const std::string& name) {
    std::string h(kUploadHeaderSize, '\0');
    StoreLength(length, reinterpret_cast<uint8_t*>(h.data()));
    h.replace(4, name.size(), name);
    return h;
}

struct UploadRun {
    TransferOutcome outcome;
    RecordingObserver observer;
    std::string received;
};

UploadRun RunUpload(const std::string& content, const std::string& localPath = "C:\\docs\\report.xls") {
    TempFile file("up");
    file.Write(content);
    UploadRun run;
    {
        LoopbackServer server([&](int fd) { run.received = LoopbackServer::ReadAll(fd); });
        CPosixTransferSocket socket;
        CPosixTransferFile local(file.Path());
        run.outcome = SendFileToRemoteRecipient(Upload(server.Port(), localPath), socket, local, run.observer);
    }
    return run;
}

TEST(TransferHeader, IsAlways260BytesWithTheNameZeroFilled) {
    for (size_t nameLength : {size_t{0}, size_t{1}, size_t{100}, size_t{254}, size_t{255}}) {
        const std::string name(nameLength, 'n');
        const auto header = BuildUploadHeader(0x01020304, name);
        ASSERT_TRUE(header) << nameLength;
        const std::string bytes(header->begin(), header->end());
        EXPECT_EQ(bytes.size(), 260u);
        EXPECT_EQ(bytes.substr(0, 4), std::string("\x01\x02\x03\x04"));
        EXPECT_EQ(bytes.substr(4, nameLength), name);
        EXPECT_EQ(bytes.find_first_not_of('\0', 4 + nameLength), std::string::npos) << nameLength;
    }
}

TEST(TransferHeader, RefusesWhatTheFieldsCannotCarry) {
    EXPECT_FALSE(BuildUploadHeader(0, std::string(256, 'n')));
    EXPECT_FALSE(BuildUploadHeader(0, std::string("a\0b", 3)));
    EXPECT_FALSE(BuildUploadHeader(-1, "a"));
    EXPECT_FALSE(BuildUploadHeader(int64_t{0x80000000}, "a"));
    EXPECT_TRUE(BuildUploadHeader(int64_t{0x7FFFFFFF}, "a"));
}

TEST(TransferHeader, LengthIsSignedBigEndian) {
    uint8_t bytes[4];
    StoreLength(0x7FFFFFFF, bytes);
    EXPECT_EQ(bytes[0], 0x7F);
    EXPECT_EQ(bytes[3], 0xFF);
    EXPECT_EQ(ReadLength(bytes), 0x7FFFFFFF);
    const uint8_t negative[4] = {0xFF, 0xFF, 0xFF, 0xFE};
    EXPECT_EQ(ReadLength(negative), -2);
    const uint8_t small[4] = {0, 0, 0x01, 0x00};
    EXPECT_EQ(ReadLength(small), 256);
}

TEST(RemoteFileName, JoinsIdsFileNameAndStamp) {
    EXPECT_EQ(RemoteFileName("A", "B", "C:\\docs\\report.xls", "201901021530"), "A_B_report.xls.201901021530");
    EXPECT_EQ(RemoteFileName("A", "B", "report.xls", "2019"), "A_B_report.xls.2019");
    EXPECT_EQ(RemoteFileName("A", "B", "C:\\dir\\", "1"), "A_B_.1");
    // "보고서.xls" in 949 under a Korean folder name: only the last part counts.
    const std::string korean = "\xBA\xB8\xB0\xED\xBC\xAD.xls";
    EXPECT_EQ(RemoteFileName("kim", "lee", "C:\\\xB9\xAE\xBC\xAD\\" + korean, "s"), "kim_lee_" + korean + ".s");
}

TEST(RemoteFileName, MustFit255Bytes) {
    // 3 separators + ids "A", "B" + stamp of 12: the file name may take 238 bytes.
    EXPECT_EQ(RemoteFileName("A", "B", std::string(238, 'f'), "201901021530")->size(), 255u);
    EXPECT_FALSE(RemoteFileName("A", "B", std::string(239, 'f'), "201901021530"));
    EXPECT_FALSE(RemoteFileName(std::string(300, 'i'), "B", "f", "s"));
    EXPECT_FALSE(RemoteFileName(std::string("A\0", 2), "B", "f", "s"));
}

TEST(Upload, ServerReceivesHeaderThenTheFileUnchanged) {
    const std::string content = PatternBytes(10000);
    const UploadRun run = RunUpload(content);
    EXPECT_TRUE(run.outcome.Complete());
    EXPECT_EQ(run.outcome.nMoved, 10000);
    EXPECT_TRUE(SameBytes(run.received, Header(10000, "A_B_report.xls.201901021530") + content));
    EXPECT_EQ(run.observer.m_log, (std::vector<std::string>{"started", "connected", "finished"}));
    EXPECT_TRUE(run.observer.m_bComplete);
    EXPECT_TRUE(run.observer.m_traces.empty());
}

TEST(Upload, EmptyFileIsAHeaderWithLengthZero) {
    const UploadRun run = RunUpload("");
    EXPECT_TRUE(run.outcome.Complete());
    EXPECT_TRUE(SameBytes(run.received, Header(0, "A_B_report.xls.201901021530")));
    EXPECT_EQ(run.observer.m_positions, std::vector<int>{0});
}

// The bar moves at most one of its 128 steps per chunk, so small files never fill it and some sizes
// end one past the end.
TEST(Upload, ProgressPositionsFollowTheChunks) {
    struct Case {
        size_t size;
        int last;
    };
    for (const Case c : {Case{1, 1}, Case{127, 1}, Case{100000, 25}, Case{524288, 128}, Case{1000000, 129}}) {
        const UploadRun run = RunUpload(PatternBytes(c.size));
        ASSERT_TRUE(run.outcome.Complete()) << c.size;
        const std::vector<int>& positions = run.observer.m_positions;
        ASSERT_FALSE(positions.empty());
        EXPECT_EQ(positions.front(), 0) << c.size;
        EXPECT_EQ(positions.back(), c.last) << c.size;
        for (size_t i = 1; i < positions.size(); ++i)
            EXPECT_EQ(positions[i], positions[i - 1] + 1) << c.size;
        const size_t chunks = (c.size + kTransferChunkSize - 1) / kTransferChunkSize;
        EXPECT_LE(positions.size(), chunks + 1) << c.size;
    }
}

TEST(Upload, NameThatDoesNotFitIsRefusedBeforeConnecting) {
    TempFile file("long");
    file.Write("x");
    RecordingObserver observer;
    TransferOutcome outcome;
    int accepted = 0;
    {
        LoopbackServer server([](int) {});
        CPosixTransferSocket socket;
        CPosixTransferFile local(file.Path());
        outcome = SendFileToRemoteRecipient(Upload(server.Port(), std::string(250, 'f')), socket, local, observer);
        ::usleep(50000);
        accepted = server.Accepted();
    }
    EXPECT_EQ(outcome.status, TransferStatus::NameTooLong);
    EXPECT_EQ(accepted, 0);
    EXPECT_EQ(observer.m_log, (std::vector<std::string>{"started", "finished"}));
    EXPECT_FALSE(observer.m_bComplete);
}

TEST(Upload, UnreachableServerEndsWithoutFinishing) {
    TempFile file("unreach");
    file.Write("x");
    RecordingObserver observer;
    CPosixTransferSocket socket;
    CPosixTransferFile local(file.Path());
    const TransferOutcome outcome =
        SendFileToRemoteRecipient(Upload(dravel::test::UnusedPort()), socket, local, observer);
    EXPECT_EQ(outcome.status, TransferStatus::NotConnected);
    EXPECT_EQ(observer.m_log, (std::vector<std::string>{"started", "connect-failed"}));
}

TEST(Upload, MissingLocalFileFinishesAsAFailureAfterConnecting) {
    RecordingObserver observer;
    TransferOutcome outcome;
    std::string received = "untouched";
    {
        LoopbackServer server([&](int fd) { received = LoopbackServer::ReadAll(fd); });
        CPosixTransferSocket socket;
        CPosixTransferFile local("/nonexistent/dir/file.bin");
        outcome = SendFileToRemoteRecipient(Upload(server.Port()), socket, local, observer);
    }
    EXPECT_EQ(outcome.status, TransferStatus::FileError);
    EXPECT_TRUE(SameBytes(received, ""));
    EXPECT_EQ(observer.m_log, (std::vector<std::string>{"started", "connected", "finished"}));
    ASSERT_EQ(observer.m_traces.size(), 1u);
    EXPECT_EQ(observer.m_traces[0].rfind("SendFileToRemoteRecipient encountered an error while opening", 0), 0u);
}

// Shrinks or grows the real file behind the worker's back after the first chunk was read.
class ChangingFile : public TransferFile {
public:
    ChangingFile(const std::string& path, std::string extra, off_t truncateTo)
        : m_file(path), m_strPath(path), m_strExtra(std::move(extra)), m_nTruncateTo(truncateTo) {}
    bool OpenForReading() override { return m_file.OpenForReading(); }
    bool CreateForWriting() override { return m_file.CreateForWriting(); }
    std::optional<int64_t> Size() override { return m_file.Size(); }
    long Read(char* p, size_t n) override {
        const long got = m_file.Read(p, n);
        if (++m_nReads == 1) {
            if (m_nTruncateTo >= 0) {
                EXPECT_EQ(::truncate(m_strPath.c_str(), m_nTruncateTo), 0);
            }
            if (!m_strExtra.empty()) {
                std::FILE* f = std::fopen(m_strPath.c_str(), "ab");
                std::fwrite(m_strExtra.data(), 1, m_strExtra.size(), f);
                std::fclose(f);
            }
        }
        return got;
    }
    bool Write(const char* p, size_t n) override { return m_file.Write(p, n); }
    bool Close() override { return m_file.Close(); }
    bool Remove() override { return m_file.Remove(); }
    std::string Describe() const override { return m_file.Describe(); }
    int LastError() const override { return m_file.LastError(); }
    std::string LastErrorText() const override { return m_file.LastErrorText(); }

private:
    CPosixTransferFile m_file;
    std::string m_strPath;
    std::string m_strExtra;
    off_t m_nTruncateTo;
    int m_nReads = 0;
};

TEST(Upload, FileThatShrinksWhileSentEndsAsAFailure) {
    TempFile file("shrink");
    const std::string content = PatternBytes(20000);
    file.Write(content);
    RecordingObserver observer;
    TransferOutcome outcome;
    std::string received;
    const auto start = std::chrono::steady_clock::now();
    {
        LoopbackServer server([&](int fd) { received = LoopbackServer::ReadAll(fd); });
        CPosixTransferSocket socket;
        ChangingFile local(file.Path(), "", 4096);
        outcome = SendFileToRemoteRecipient(Upload(server.Port()), socket, local, observer);
    }
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    EXPECT_EQ(outcome.status, TransferStatus::FileShrank);
    EXPECT_FALSE(outcome.Complete());
    EXPECT_EQ(outcome.nMoved, 4096);
    EXPECT_TRUE(SameBytes(received, Header(20000, "A_B_report.xls.201901021530") + content.substr(0, 4096)));
    EXPECT_EQ(observer.m_log.back(), "finished");
}

TEST(Upload, FileThatGrowsWhileSentSendsOnlyTheAnnouncedLength) {
    TempFile file("grow");
    const std::string content = PatternBytes(6000);
    file.Write(content);
    TransferOutcome outcome;
    std::string received;
    {
        LoopbackServer server([&](int fd) { received = LoopbackServer::ReadAll(fd); });
        CPosixTransferSocket socket;
        RecordingObserver observer;
        ChangingFile local(file.Path(), std::string(10000, 'g'), -1);
        outcome = SendFileToRemoteRecipient(Upload(server.Port()), socket, local, observer);
    }
    EXPECT_TRUE(outcome.Complete());
    EXPECT_TRUE(SameBytes(received, Header(6000, "A_B_report.xls.201901021530") + content));
}

TEST(Upload, ServerThatClosesEarlyIsASendFailure) {
    TempFile file("closed");
    file.Write(PatternBytes(32u << 20));
    TransferOutcome outcome;
    RecordingObserver observer;
    {
        LoopbackServer server([](int fd) {
            char header[260];
            ::recv(fd, header, sizeof(header), MSG_WAITALL);
        });
        CPosixTransferSocket socket;
        CPosixTransferFile local(file.Path());
        outcome = SendFileToRemoteRecipient(Upload(server.Port()), socket, local, observer);
    }
    EXPECT_EQ(outcome.status, TransferStatus::SendError);
    EXPECT_LT(outcome.nMoved, outcome.nTotal);
    EXPECT_EQ(observer.m_log.back(), "finished");
    EXPECT_FALSE(observer.m_bComplete);
}

struct DownloadRun {
    TransferOutcome outcome;
    RecordingObserver observer;
    std::string content;
    bool bExists = false;
};

DownloadRun RunDownload(const std::string& served, int holdMs = 0) {
    TempFile file("down");
    file.Write("old content that must go");
    DownloadRun run;
    {
        LoopbackServer server([&](int fd) {
            LoopbackServer::WriteAll(fd, served);
            if (holdMs > 0)
                ::usleep(holdMs * 1000);
        });
        CPosixTransferSocket socket;
        CPosixTransferFile local(file.Path());
        run.outcome = GetFileFromRemoteSender(Download(server.Port()), socket, local, run.observer);
    }
    run.bExists = file.Exists();
    run.content = file.Read();
    return run;
}

TEST(Download, WholeFileArrivesByteForByte) {
    const std::string content = PatternBytes(1000000);
    const DownloadRun run = RunDownload(LengthPrefix(1000000) + content);
    EXPECT_TRUE(run.outcome.Complete());
    EXPECT_TRUE(SameBytes(run.content, content));
    EXPECT_EQ(run.observer.m_log, (std::vector<std::string>{"started", "connected", "finished"}));
    EXPECT_EQ(run.observer.m_positions.front(), 0);
    EXPECT_EQ(run.observer.m_positions.back(), 129);
}

TEST(Download, LengthZeroGivesAnEmptyFile) {
    const DownloadRun run = RunDownload(LengthPrefix(0));
    EXPECT_TRUE(run.outcome.Complete());
    EXPECT_TRUE(run.bExists);
    EXPECT_TRUE(SameBytes(run.content, ""));
}

TEST(Download, BytesBeyondTheAnnouncedLengthAreNotWritten) {
    const DownloadRun run = RunDownload(LengthPrefix(5) + "12345extra");
    EXPECT_TRUE(run.outcome.Complete());
    EXPECT_TRUE(SameBytes(run.content, "12345"));
}

TEST(Download, CutShortIsAFailureAndLeavesNoFile) {
    const DownloadRun run = RunDownload(LengthPrefix(10000) + PatternBytes(5000));
    EXPECT_EQ(run.outcome.status, TransferStatus::ClosedEarly);
    EXPECT_EQ(run.outcome.nMoved, 5000);
    EXPECT_FALSE(run.outcome.Complete());
    EXPECT_FALSE(run.bExists);
    EXPECT_EQ(run.observer.m_log.back(), "finished");
    EXPECT_FALSE(run.observer.m_bComplete);
    ASSERT_FALSE(run.observer.m_traces.empty());
    EXPECT_NE(run.observer.m_traces[0].find("while getting chunked file data"), std::string::npos);
}

TEST(Download, ClosedInsideTheLengthOrNegativeLengthIsAFailure) {
    const DownloadRun shortLength = RunDownload(std::string("\0\0", 2));
    EXPECT_EQ(shortLength.outcome.status, TransferStatus::ClosedEarly);
    EXPECT_FALSE(shortLength.bExists);

    const DownloadRun negative = RunDownload(LengthPrefix(-5) + "abcde");
    EXPECT_EQ(negative.outcome.status, TransferStatus::BadLength);
    EXPECT_FALSE(negative.bExists);
}

TEST(Download, UncreatableFileFinishesAsAFailure) {
    RecordingObserver observer;
    TransferOutcome outcome;
    {
        LoopbackServer server([](int fd) { LoopbackServer::WriteAll(fd, LengthPrefix(3) + "abc"); });
        CPosixTransferSocket socket;
        CPosixTransferFile local("/nonexistent/dir/file.bin");
        outcome = GetFileFromRemoteSender(Download(server.Port()), socket, local, observer);
    }
    EXPECT_EQ(outcome.status, TransferStatus::FileError);
    EXPECT_EQ(observer.m_log, (std::vector<std::string>{"started", "connected", "finished"}));
}

// A stalled server must not hold the worker: Abort from another thread ends it promptly.
TEST(Download, AbortEndsAStalledTransfer) {
    TempFile file("stall");
    std::atomic<bool> release{false};
    TransferOutcome outcome;
    RecordingObserver observer;
    const auto start = std::chrono::steady_clock::now();
    {
        LoopbackServer server([&](int fd) {
            LoopbackServer::WriteAll(fd, LengthPrefix(100000) + "partial");
            while (!release)
                ::usleep(10000);
        });
        CPosixTransferSocket socket;
        CPosixTransferFile local(file.Path());
        std::thread stopper([&] {
            ::usleep(200000);
            socket.Abort();
        });
        outcome = GetFileFromRemoteSender(Download(server.Port()), socket, local, observer);
        stopper.join();
        release = true;
    }
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    EXPECT_FALSE(outcome.Complete());
    EXPECT_FALSE(file.Exists());
    EXPECT_EQ(observer.m_log.back(), "finished");
}

TEST(TransferSocket, AbortBeforeConnectFailsTheConnection) {
    LoopbackServer server([](int) {});
    CPosixTransferSocket socket;
    socket.Abort();
    EXPECT_FALSE(socket.Connect("127.0.0.1", server.Port()));
}

} // namespace
