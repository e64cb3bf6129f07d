// The two file-transfer workers over a scripted socket and an in-memory file. The input is both the
// script and the data: control bytes (which call fails, how a receive or send is cut, the file's size)
// are taken from its end, the bytes the server returns and the file holds from its front. Every call
// that moves data uses up input, so a run ends however large a length is announced; once the input is
// spent the server closes, the file ends and sends succeed.
#include "core/transfer/TransferWorker.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

namespace {

void Check(bool bHolds, const char* what) {
    if (!bHolds) {
        std::fprintf(stderr, "transfer worker invariant broken: %s\n", what);
        std::abort();
    }
}

class FuzzSocket : public dravel::TransferSocket {
public:
    explicit FuzzSocket(FuzzedDataProvider& script) : m_script(script) {}

    bool Connect(const std::string&, uint16_t) override {
        Check(m_nConnects++ == 0 && !m_bClosed, "connect once, before close");
        m_bConnected = m_script.ConsumeIntegral<uint8_t>() % 8 != 1;
        return m_bConnected;
    }
    long Send(const char* pData, size_t nSize) override {
        Check(m_bConnected && !m_bClosed, "send on a connected socket only");
        Check(nSize > 0 && nSize <= dravel::kUploadHeaderSize + dravel::kTransferChunkSize, "send size");
        size_t n = nSize;
        if (m_script.remaining_bytes() > 0) {
            const uint8_t op = m_script.ConsumeIntegral<uint8_t>();
            if (op % 16 == 1) {
                m_nError = 10054;
                return -1;
            }
            if (op % 4 == 2)
                n = m_script.ConsumeIntegralInRange<size_t>(1, nSize);
        }
        m_sent.append(pData, n);
        return static_cast<long>(n);
    }
    long Receive(char* pData, size_t nSize) override {
        Check(m_bConnected && !m_bClosed, "receive on a connected socket only");
        Check(nSize > 0 && nSize <= dravel::kTransferChunkSize, "receive size");
        if (m_script.remaining_bytes() == 0)
            return 0;
        const uint8_t op = m_script.ConsumeIntegral<uint8_t>();
        if (op % 32 == 1) {
            m_nError = 10054;
            return -1;
        }
        if (op % 32 == 2)
            return 0;
        const size_t nWant = op % 4 == 3 ? m_script.ConsumeIntegralInRange<size_t>(1, nSize) : nSize;
        const std::vector<char> bytes = m_script.ConsumeBytes<char>(nWant);
        std::copy(bytes.begin(), bytes.end(), pData);
        m_served.append(bytes.begin(), bytes.end());
        return static_cast<long>(bytes.size());
    }
    int LastError() const override { return m_nError; }
    void Close() override { m_bClosed = true; }
    void Abort() override {}

    std::string m_sent;   // what the worker sent, in order
    std::string m_served; // what the server returned, in order
    int m_nConnects = 0;
    bool m_bConnected = false;
    bool m_bClosed = false;

private:
    FuzzedDataProvider& m_script;
    int m_nError = 0;
};

class FuzzFile : public dravel::TransferFile {
public:
    explicit FuzzFile(FuzzedDataProvider& script) : m_script(script) {}

    bool OpenForReading() override {
        Check(!m_bEverOpened, "the file is opened once");
        m_bEverOpened = true;
        m_bOpen = m_script.ConsumeIntegral<uint8_t>() % 16 != 1;
        return m_bOpen;
    }
    bool CreateForWriting() override {
        Check(!m_bEverOpened, "the file is created once");
        m_bEverOpened = true;
        m_bOpen = m_bCreated = m_script.ConsumeIntegral<uint8_t>() % 16 != 1;
        return m_bOpen;
    }
    std::optional<int64_t> Size() override {
        Check(m_bOpen, "size of an open file");
        switch (m_script.ConsumeIntegral<uint8_t>() % 8) {
        case 1:
            return std::nullopt;
        case 2: // more than the length field can hold
            return m_script.ConsumeIntegralInRange<int64_t>(int64_t{std::numeric_limits<int32_t>::max()} + 1,
                                                            std::numeric_limits<int64_t>::max());
        case 3:
            return m_script.ConsumeIntegralInRange<int64_t>(std::numeric_limits<int64_t>::min(), -1);
        case 4: // announced large; the input runs out long before
            return m_script.ConsumeIntegralInRange<int64_t>(0, std::numeric_limits<int32_t>::max());
        default:
            return m_script.ConsumeIntegralInRange<int64_t>(0, 3 * dravel::kTransferChunkSize);
        }
    }
    long Read(char* pData, size_t nSize) override {
        Check(m_bOpen && !m_bWriting, "read from a file open for reading");
        Check(nSize > 0 && nSize <= dravel::kTransferChunkSize, "read size");
        if (m_script.remaining_bytes() == 0)
            return 0;
        const uint8_t op = m_script.ConsumeIntegral<uint8_t>();
        if (op % 32 == 1)
            return -1;
        if (op % 32 == 2)
            return 0;
        const size_t nWant = op % 4 == 3 ? m_script.ConsumeIntegralInRange<size_t>(1, nSize) : nSize;
        const std::vector<char> bytes = m_script.ConsumeBytes<char>(nWant);
        std::copy(bytes.begin(), bytes.end(), pData);
        m_content.append(bytes.begin(), bytes.end());
        return static_cast<long>(bytes.size());
    }
    bool Write(const char* pData, size_t nSize) override {
        Check(m_bOpen && !m_bRemoved, "write to an open file");
        m_bWriting = true;
        if (m_script.remaining_bytes() > 0 && m_script.ConsumeIntegral<uint8_t>() % 32 == 1)
            return false;
        m_content.append(pData, nSize);
        return true;
    }
    bool Close() override {
        m_bFlushed = !m_bOpen || m_script.ConsumeIntegral<uint8_t>() % 16 != 1;
        m_bOpen = false;
        ++m_nCloses;
        return m_bFlushed;
    }
    bool Remove() override {
        Check(!m_bOpen, "remove after close");
        m_bRemoved = true;
        return true;
    }
    std::string Describe() const override { return "fuzz file"; }
    int LastError() const override { return 5; }
    std::string LastErrorText() const override { return "scripted failure"; }

    std::string m_content; // what the file gave (upload) or holds (download)
    bool m_bEverOpened = false;
    bool m_bCreated = false;
    bool m_bOpen = false;
    bool m_bWriting = false;
    bool m_bRemoved = false;
    bool m_bFlushed = true;
    int m_nCloses = 0;

private:
    FuzzedDataProvider& m_script;
};

// Checks the order of the calls as it goes and keeps what was reported.
class FuzzObserver : public dravel::TransferObserver {
public:
    void OnStarted() override {
        Check(m_nCalls++ == 0, "started comes first");
        m_bStarted = true;
    }
    void OnConnectFailed() override {
        Check(m_bStarted && !m_bConnected && !m_bEnded, "connect failed once, instead of connected");
        m_bEnded = true;
    }
    void OnConnected() override {
        Check(m_bStarted && !m_bConnected && !m_bEnded, "connected once, after started");
        m_bConnected = true;
    }
    void OnEventsChanged(int32_t nCount) override {
        Check(m_bConnected && !m_bEnded && nCount == m_nEvents + 1, "events counted one by one");
        m_nEvents = nCount;
    }
    void OnProgress(int nPosition) override {
        Check(m_bConnected && !m_bEnded, "progress while connected");
        Check(m_nPosition < 0 ? nPosition == 0 : nPosition == m_nPosition + 1,
              "the bar starts at 0, one step at a time");
        m_nPosition = nPosition;
    }
    void OnFinished(const dravel::TransferOutcome& outcome) override {
        Check(m_bStarted && !m_bEnded, "finished once");
        m_bEnded = true;
        m_finished = outcome;
        m_bFinished = true;
    }
    void OnTrace(std::string_view text) override { Check(m_bStarted && !text.empty(), "traces while running"); }

    bool m_bStarted = false, m_bConnected = false, m_bEnded = false, m_bFinished = false;
    int m_nCalls = 0;
    int32_t m_nEvents = 0;
    int m_nPosition = -1;
    dravel::TransferOutcome m_finished;
};

void CheckCommon(const dravel::TransferOutcome& outcome, const FuzzSocket& socket, const FuzzObserver& observer) {
    Check(outcome.Complete() == (outcome.status == dravel::TransferStatus::Complete), "complete means every byte");
    Check(observer.m_bEnded, "the observer hears the end");
    if (outcome.status == dravel::TransferStatus::NotConnected) {
        Check(!observer.m_bFinished && !observer.m_bConnected, "a failed connect is not finished");
    } else {
        Check(observer.m_bFinished, "finished");
        Check(observer.m_finished.status == outcome.status && observer.m_finished.nTotal == outcome.nTotal &&
                  observer.m_finished.nMoved == outcome.nMoved && observer.m_finished.nEvents == outcome.nEvents,
              "the observer is told the outcome that is returned");
    }
    Check(observer.m_nEvents == outcome.nEvents, "every event reported");
    Check(outcome.nMoved >= 0 && outcome.nMoved <= std::max<int64_t>(outcome.nTotal, 0), "never more than announced");
    Check(socket.m_nConnects == 0 || socket.m_bClosed, "the socket is closed at the end");
}

void RunUpload(FuzzedDataProvider& script) {
    dravel::UploadRequest request;
    request.strHost = "127.0.0.1";
    request.strLocalPath = script.ConsumeRandomLengthString(300);
    request.strOwnId = script.ConsumeRandomLengthString(40);
    request.strPeerId = script.ConsumeRandomLengthString(40);
    request.strStamp = script.ConsumeRandomLengthString(20);
    FuzzSocket socket(script);
    FuzzFile file(script);
    FuzzObserver observer;
    const dravel::TransferOutcome outcome = dravel::SendFileToRemoteRecipient(request, socket, file, observer);
    CheckCommon(outcome, socket, observer);

    Check(!file.m_bRemoved, "an upload never deletes the user's file");
    Check(!file.m_bOpen, "the file is closed at the end");
    const std::optional<std::string> name =
        dravel::RemoteFileName(request.strOwnId, request.strPeerId, request.strLocalPath, request.strStamp);
    if (!name) {
        Check(outcome.status == dravel::TransferStatus::NameTooLong && socket.m_nConnects == 0 && !file.m_bEverOpened,
              "a name that does not fit is refused before connecting");
        return;
    }
    if (outcome.status == dravel::TransferStatus::NotConnected) {
        Check(!file.m_bEverOpened && socket.m_sent.empty(), "nothing happens without a connection");
        return;
    }
    if (outcome.nTotal < 0) {
        Check(socket.m_sent.empty() && outcome.status != dravel::TransferStatus::Complete, "no header without a size");
        return;
    }
    const std::optional<dravel::UploadHeader> header = dravel::BuildUploadHeader(outcome.nTotal, *name);
    Check(header.has_value(), "the announced size fits the length field");
    const std::string_view sent(socket.m_sent);
    const std::string_view expected(reinterpret_cast<const char*>(header->data()), header->size());
    Check(sent.substr(0, expected.size()) == expected.substr(0, sent.size()), "the header goes first");
    const std::string_view payload = sent.size() > expected.size() ? sent.substr(expected.size()) : std::string_view();
    Check(static_cast<int64_t>(payload.size()) == outcome.nMoved, "moved counts the file bytes sent");
    Check(std::string_view(file.m_content).substr(0, payload.size()) == payload, "the file's bytes, in order");
    if (outcome.status == dravel::TransferStatus::Complete)
        Check(payload == file.m_content && static_cast<int64_t>(payload.size()) == outcome.nTotal,
              "a complete upload sent exactly the file");
}

void RunDownload(FuzzedDataProvider& script) {
    dravel::DownloadRequest request;
    request.strHost = "127.0.0.1";
    FuzzSocket socket(script);
    FuzzFile file(script);
    FuzzObserver observer;
    const dravel::TransferOutcome outcome = dravel::GetFileFromRemoteSender(request, socket, file, observer);
    CheckCommon(outcome, socket, observer);

    if (outcome.status == dravel::TransferStatus::NotConnected) {
        Check(!file.m_bEverOpened, "nothing is created without a connection");
        return;
    }
    Check(!file.m_bOpen, "the file is closed at the end");
    Check(static_cast<int64_t>(file.m_content.size()) == outcome.nMoved, "moved counts the bytes written");
    const std::string_view served(socket.m_served);
    if (served.size() < dravel::kLengthFieldSize) {
        Check(outcome.nTotal == -1, "no length before four bytes");
    } else {
        const int32_t announced = dravel::ReadLength(reinterpret_cast<const uint8_t*>(served.data()));
        Check(outcome.nTotal == (announced < 0 ? -1 : announced), "the total is the announced length");
        Check(served.substr(dravel::kLengthFieldSize, file.m_content.size()) == file.m_content,
              "the file holds the server's bytes, in order");
    }
    if (outcome.status == dravel::TransferStatus::Complete) {
        Check(outcome.nMoved == outcome.nTotal && !file.m_bRemoved && file.m_bFlushed,
              "a complete download is all there and flushed");
        Check(served.size() == dravel::kLengthFieldSize + file.m_content.size(), "nothing read past the file");
    } else if (file.m_bCreated) {
        // Whatever stopped it, a partial file must not stay under the file's name.
        Check(file.m_bRemoved, "an incomplete download is removed");
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider script(data, size);
    if (script.ConsumeBool())
        RunUpload(script);
    else
        RunDownload(script);
    return 0;
}
