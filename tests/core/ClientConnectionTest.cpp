#include "core/protocol/ClientConnection.h"
#include "core/protocol/TextConverter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <deque>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

using namespace dravel;

namespace {

const AsciiTextConverter kAscii;

// A socket whose arrivals are scripted read by read, and which takes `nRoom` more bytes (at most
// `nPerWrite` per write) before it would block.
class FakeStream : public ByteStream {
public:
    WriteResult Write(const char* data, size_t size) override {
        ++nWrites;
        if (bFailWrites)
            return {WriteStatus::Error, 0};
        const size_t n = std::min({size, nRoom, nPerWrite});
        if (n == 0) {
            bWriteRefused = true;
            return {WriteStatus::WouldBlock, 0};
        }
        nRoom -= n;
        strWritten.append(data, n);
        return {WriteStatus::Taken, n};
    }
    ReadResult Read(char* buffer, size_t capacity) override {
        ++nReads;
        if (reads.empty())
            return {ReadStatus::WouldBlock, 0};
        ReadResult r = reads.front();
        if (r.status != ReadStatus::Data) {
            reads.pop_front();
            return r;
        }
        std::string& chunk = chunks.front();
        size_t n = std::min(capacity, chunk.size());
        std::copy_n(chunk.data(), n, buffer);
        chunk.erase(0, n);
        if (chunk.empty()) {
            chunks.pop_front();
            reads.pop_front();
        }
        return {ReadStatus::Data, n};
    }
    void Close() override { ++nCloses; }

    void Arrive(std::string bytes) {
        chunks.push_back(std::move(bytes));
        reads.push_back({ReadStatus::Data, 0});
    }
    void ArriveStatus(ReadStatus s) { reads.push_back({s, 0}); }

    std::deque<ReadResult> reads;
    std::deque<std::string> chunks;
    std::string strWritten;
    bool bFailWrites = false;
    size_t nRoom = SIZE_MAX;
    size_t nPerWrite = SIZE_MAX;
    // Like FD_WRITE, the socket announces room only after it refused a write.
    bool bWriteRefused = false;
    int nWrites = 0, nReads = 0, nCloses = 0;
};

// Keeps the order of everything the owner is told, as "record <text>", "warning", "lost".
class FakeOwner : public ConnectionOwner {
public:
    void OnRecord(const CComData& record) override {
        records.push_back(record);
        events.push_back("record " + record.m_strText);
        if (onRecord)
            onRecord(record);
    }
    void OnConnectionLost() override {
        ++nLost;
        events.push_back("lost");
        if (onLost)
            onLost();
    }
    void ShowConnectionLost() override {
        warnings.push_back("connection lost");
        events.push_back("warning");
        if (onWarning)
            onWarning();
    }

    std::vector<CComData> records;
    std::vector<std::string> warnings;
    std::vector<std::string> events;
    int nLost = 0;
    std::function<void(const CComData&)> onRecord;
    std::function<void()> onLost;
    // The warning box's message loop.
    std::function<void()> onWarning;
};

// Notes when bytes start and stop waiting, as the socket side's stall timer does.
class TracedConnection : public CClientConnection {
public:
    using CClientConnection::CClientConnection;
    std::vector<bool> backlog;

protected:
    void OnSendBacklog(bool bWaiting) override { backlog.push_back(bWaiting); }
};

CComData Rec(int32_t command, std::string text = {}) {
    CComData r;
    r.m_nCommand = command;
    r.m_strText = std::move(text);
    return r;
}

struct Fixture {
    FakeStream stream;
    FakeOwner owner;
    std::unique_ptr<TracedConnection> conn =
        std::make_unique<TracedConnection>(owner, stream, kAscii, "kim", "secret", "10.1.2.3");
};

CComData DecodeWritten(const std::string& bytes) {
    CComData out;
    EXPECT_EQ(DecodeRecord(bytes, out, kAscii).status, DecodeStatus::Complete);
    return out;
}

} // namespace

TEST(ReceivePass, TwoRecordsInOneReadAreDispatchedInOrder) {
    Fixture f;
    f.stream.Arrive(EncodeRecord(Rec(COM_ADD_CLIENT, "first")) + EncodeRecord(Rec(COM_REMOVE_CLIENT, "second")));
    f.conn->ReadPendingRecords();
    ASSERT_EQ(f.owner.records.size(), 2u);
    EXPECT_EQ(f.owner.records[0].m_strText, "first");
    EXPECT_EQ(f.owner.records[1].m_strText, "second");
}

TEST(ReceivePass, RecordOverTwoReadsIsDispatchedOnceAfterItsLastByte) {
    Fixture f;
    const std::string bytes = EncodeRecord(Rec(COM_PRIVATE_MESSAGE, "hello there"));
    f.stream.Arrive(bytes.substr(0, 10));
    f.conn->ReadPendingRecords();
    EXPECT_TRUE(f.owner.records.empty());
    f.stream.Arrive(bytes.substr(10));
    f.conn->ReadPendingRecords();
    ASSERT_EQ(f.owner.records.size(), 1u);
    EXPECT_EQ(f.owner.records[0].m_strText, "hello there");
    f.conn->ReadPendingRecords();
    EXPECT_EQ(f.owner.records.size(), 1u);
}

TEST(ReceivePass, ADispatchThatEndsTheSessionEndsThePassAndTheServersCloseIsNoNews) {
    // The session ends by deleting the connection, closing it or stopping its input; whichever, nothing
    // more is read or handled, also when a modal loop in the dispatch has just delivered a read
    // notification, and the server's close that follows its COM_CLOSE is not reported as a loss.
    enum class End { Delete, Close, StopReading };
    for (End end : {End::Delete, End::Close, End::StopReading}) {
        for (bool bModal : {false, true}) {
            SCOPED_TRACE(std::to_string(static_cast<int>(end)) + (bModal ? ", modal" : ""));
            Fixture f;
            f.owner.onRecord = [&](const CComData& r) {
                if (bModal)
                    f.conn->ReadPendingRecords();
                if (r.m_nCommand != COM_CLOSE)
                    return;
                if (end == End::Delete)
                    f.conn.reset();
                else if (end == End::Close)
                    f.conn->CloseConnection();
                else
                    f.conn->StopReading();
            };
            f.stream.Arrive(EncodeRecord(Rec(COM_ADD_CLIENT)) + EncodeRecord(Rec(COM_CLOSE)) +
                            EncodeRecord(Rec(COM_PRIVATE_MESSAGE, "after")));
            f.stream.Arrive(EncodeRecord(Rec(COM_PRIVATE_MESSAGE, "later")));
            f.stream.ArriveStatus(ByteStream::ReadStatus::Closed);
            f.conn->ReadPendingRecords();
            ASSERT_EQ(f.owner.records.size(), 2u);
            EXPECT_EQ(f.owner.records[1].m_nCommand, COM_CLOSE);
            EXPECT_EQ(f.stream.nReads, 1);
            if (end != End::Delete) {
                f.conn->ReadPendingRecords();
                f.conn->OnPeerClosed();
                EXPECT_EQ(f.stream.nReads, 1);
                EXPECT_EQ(f.owner.records.size(), 2u);
            }
            EXPECT_TRUE(f.owner.warnings.empty());
            EXPECT_EQ(f.owner.nLost, 0);
            // A session that stopped its input still logs out.
            if (end == End::StopReading) {
                EXPECT_TRUE(f.conn->SendLogout());
                EXPECT_EQ(DecodeWritten(f.stream.strWritten).m_nCommand, COM_SIGN_OUT);
            }
        }
    }
}

// A record's handler that shows a modal box: the box's message loop delivers the socket's next read
// notification, which calls the pass again. depth counts the dispatches running at once.
class ModalOwner {
public:
    explicit ModalOwner(Fixture& f) {
        f.owner.onRecord = [this, &f](const CComData& r) {
            nMaxDepth = std::max(nMaxDepth, ++nDepth);
            if (whileShown)
                whileShown(r);
            f.conn->ReadPendingRecords();
            --nDepth;
        };
    }
    ModalOwner(const ModalOwner&) = delete;
    ModalOwner& operator=(const ModalOwner&) = delete;

    int nDepth = 0;
    int nMaxDepth = 0;
    // What happens while the box is shown, before its loop delivers the notification.
    std::function<void(const CComData&)> whileShown;
};

TEST(ReceivePass, NotificationsDuringModalDispatchesNeverNestAndTheRunningPassReadsOn) {
    std::string burst;
    for (int i = 0; i < 10000; ++i)
        EncodeRecord(burst, Rec(COM_MESSAGE_NOTE, "notice " + std::to_string(i) + std::string(250, 'n')));
    ASSERT_GT(burst.size(), 2u << 20); // many full reads

    Fixture f;
    ModalOwner modal(f);
    f.stream.Arrive(burst);
    f.conn->ReadPendingRecords();
    EXPECT_EQ(modal.nMaxDepth, 1);
    ASSERT_EQ(f.owner.records.size(), 10000u);
    for (int i = 0; i < 10000; ++i)
        ASSERT_EQ(f.owner.records[static_cast<size_t>(i)].m_strText.substr(0, 7 + std::to_string(i).size()),
                  "notice " + std::to_string(i));
    EXPECT_TRUE(f.stream.reads.empty());

    // Without a modal loop the read budget of a pass still holds: the socket signals again.
    Fixture g;
    g.stream.Arrive(burst);
    g.conn->ReadPendingRecords();
    EXPECT_GT(g.owner.records.size(), 0u);
    EXPECT_LT(g.owner.records.size(), 10000u);
    for (int pass = 0; pass < 100 && !g.stream.reads.empty(); ++pass)
        g.conn->ReadPendingRecords();
    EXPECT_EQ(g.owner.records.size(), 10000u);
}

TEST(ReceivePass, DataArrivingWhileABoxIsShownIsHandledByTheRunningPass) {
    // The first read is short and ends inside the second record; the rest of it, and a third record,
    // arrive while the first record's box is up, and their notification goes to the box's loop.
    const std::string second = EncodeRecord(Rec(COM_PRIVATE_MESSAGE, "second"));
    Fixture f;
    ModalOwner modal(f);
    modal.whileShown = [&](const CComData& r) {
        if (r.m_strText == "first")
            f.stream.Arrive(second.substr(7) + EncodeRecord(Rec(COM_MESSAGE_NOTE, "third")));
    };
    f.stream.Arrive(EncodeRecord(Rec(COM_MESSAGE_NOTE, "first")) + second.substr(0, 7));
    f.conn->ReadPendingRecords();
    EXPECT_EQ(modal.nMaxDepth, 1);
    ASSERT_EQ(f.owner.records.size(), 3u);
    EXPECT_EQ(f.owner.records[1].m_strText, "second");
    EXPECT_EQ(f.owner.records[2].m_strText, "third");
    EXPECT_TRUE(f.stream.reads.empty());

    // Nothing is owed afterwards: the next notification finds an empty socket and handles nothing.
    f.conn->ReadPendingRecords();
    EXPECT_EQ(f.owner.records.size(), 3u);
}

TEST(ReceivePass, ManyRecordsAcrossLargeReads) {
    Fixture f;
    std::string burst;
    for (int i = 0; i < 10000; ++i)
        EncodeRecord(burst, Rec(COM_CHAT_LIST, std::to_string(i)));
    // Arrives in odd pieces; each notification reads what is there.
    for (size_t pos = 0; pos < burst.size(); pos += 4093)
        f.stream.Arrive(burst.substr(pos, 4093));
    for (int pass = 0; pass < 200 && !f.stream.reads.empty(); ++pass)
        f.conn->ReadPendingRecords();
    ASSERT_EQ(f.owner.records.size(), 10000u);
    for (int i = 0; i < 10000; ++i)
        ASSERT_EQ(f.owner.records[static_cast<size_t>(i)].m_strText, std::to_string(i));
}

TEST(ConnectionEnd, TheServersCloseOrAResetIsReportedOnceAfterTheRecordsBeforeIt) {
    const std::string two = EncodeRecord(Rec(COM_ADD_CLIENT, "one")) + EncodeRecord(Rec(COM_MESSAGE_NOTE, "two"));
    const std::string partial = EncodeRecord(Rec(COM_ADD_CLIENT, "cut")).substr(0, 9);
    const std::vector<std::string> expected = {"record one", "record two", "warning", "lost"};

    // Seen by a read, before and after login. The warning box's message loop delivers every kind of
    // notification; none of them reaches the socket or fails a second time.
    for (auto status : {ByteStream::ReadStatus::Closed, ByteStream::ReadStatus::Error}) {
        for (int32_t nStatus : {0, 1}) {
            SCOPED_TRACE(std::to_string(static_cast<int>(status)) + " at status " + std::to_string(nStatus));
            Fixture f;
            f.conn->m_nStatus = nStatus;
            f.owner.onWarning = [&] {
                const int reads = f.stream.nReads, writes = f.stream.nWrites;
                f.conn->ReadPendingRecords();
                f.conn->OnPeerClosed();
                f.conn->OnWritable();
                f.conn->CheckSendProgress(UINT64_MAX);
                EXPECT_FALSE(f.conn->SendConnectCheck());
                EXPECT_EQ(f.stream.nReads, reads);
                EXPECT_EQ(f.stream.nWrites, writes);
            };
            f.stream.Arrive(two + partial);
            f.stream.ArriveStatus(status);
            f.conn->ReadPendingRecords();
            EXPECT_EQ(f.owner.records.size(), 2u);
            f.conn->ReadPendingRecords(); // the next notification's read finds the end
            ASSERT_EQ(f.owner.events, expected);
            EXPECT_EQ(f.owner.warnings[0], "connection lost");
            EXPECT_EQ(f.stream.nCloses, 1);
            // Closed for good: a later send returns at once, silently, without touching the socket.
            const int writes = f.stream.nWrites;
            EXPECT_FALSE(f.conn->SendLogout());
            EXPECT_EQ(f.stream.nWrites, writes);
            EXPECT_EQ(f.owner.warnings.size(), 1u);
        }
    }

    // Announced by the socket, with more left to read than one pass reads: all of it is handled first,
    // and the owner may delete the connection when told.
    {
        Fixture f;
        std::string burst;
        for (int i = 0; i < 5000; ++i)
            EncodeRecord(burst, Rec(COM_CHAT_LIST, std::to_string(i) + std::string(250, 'c')));
        ASSERT_GT(burst.size(), 1u << 20);
        f.stream.Arrive(burst);
        f.owner.onLost = [&] { f.conn.reset(); };
        f.conn->OnPeerClosed();
        ASSERT_EQ(f.owner.records.size(), 5000u);
        EXPECT_EQ(f.owner.records[4999].m_strText.substr(0, 4), "4999");
        EXPECT_EQ(std::vector<std::string>(f.owner.events.end() - 2, f.owner.events.end()),
                  (std::vector<std::string>{"warning", "lost"}));
        EXPECT_EQ(f.conn, nullptr);
    }

    // Announced while a dispatch's box or transfer window is shown: that window cannot hold up the
    // end, so the loss is reported at once, from its loop; the record that waited behind it is never
    // handled (it was never shown either).
    {
        Fixture f;
        ModalOwner modal(f);
        bool bReportedWhileShown = false;
        modal.whileShown = [&](const CComData& r) {
            if (r.m_strText != "one")
                return;
            f.stream.Arrive(EncodeRecord(Rec(COM_MESSAGE_NOTE, "last")));
            f.conn->OnPeerClosed();
            bReportedWhileShown = f.owner.nLost == 1;
        };
        f.stream.Arrive(EncodeRecord(Rec(COM_ADD_CLIENT, "one")));
        f.conn->ReadPendingRecords();
        EXPECT_EQ(modal.nMaxDepth, 1);
        EXPECT_TRUE(bReportedWhileShown);
        EXPECT_EQ(f.owner.events, (std::vector<std::string>{"record one", "warning", "lost"}));
    }

    // The server's COM_CLOSE while a window of a dispatch is shown is handed on at once (it only asks
    // for the end). The session ends with it: what waited behind the window is not handled, as after
    // a close nothing is.
    {
        Fixture f;
        ModalOwner modal(f);
        modal.whileShown = [&](const CComData& r) {
            if (r.m_strText == "one")
                f.stream.Arrive(EncodeRecord(Rec(COM_MESSAGE_NOTE, "two")) + EncodeRecord(Rec(COM_CLOSE)) +
                                EncodeRecord(Rec(COM_MESSAGE_NOTE, "after")));
            if (r.m_nCommand == COM_CLOSE)
                f.conn->StopReading();
        };
        f.stream.Arrive(EncodeRecord(Rec(COM_ADD_CLIENT, "one")));
        f.conn->ReadPendingRecords();
        EXPECT_EQ(modal.nMaxDepth, 2); // the close, from inside the first record's window
        ASSERT_EQ(f.owner.records.size(), 2u);
        EXPECT_EQ(f.owner.records[1].m_nCommand, COM_CLOSE);
        EXPECT_EQ(f.owner.nLost, 0);
    }

    // A send that fails inside a dispatch is the one report; the pass ends there.
    {
        Fixture f;
        f.owner.onRecord = [&](const CComData&) {
            f.stream.bFailWrites = true;
            f.conn->SendSignIn("3.80");
        };
        f.stream.Arrive(two);
        f.stream.ArriveStatus(ByteStream::ReadStatus::Closed);
        f.conn->OnPeerClosed();
        EXPECT_EQ(f.owner.events, (std::vector<std::string>{"record one", "warning", "lost"}));
    }
}

TEST(ReceivePass, OverCapLengthTakesTheConnectionLostPath) {
    Fixture f;
    f.owner.onLost = [&] { f.conn.reset(); };
    f.stream.Arrive(EncodeRecord(Rec(COM_ADD_CLIENT, "ok")) + "\xFF\xFF\xFF\xFF\xFF\xFF\x7F" + std::string(100, 'x'));
    f.conn->ReadPendingRecords();
    ASSERT_EQ(f.owner.records.size(), 1u); // the good record before the bad one was handled
    ASSERT_EQ(f.owner.warnings.size(), 1u);
    EXPECT_EQ(f.owner.warnings[0], "connection lost");
    EXPECT_EQ(f.owner.nLost, 1);
    EXPECT_EQ(f.stream.nCloses, 1);
    EXPECT_EQ(f.conn, nullptr);
}

TEST(SendRecord, FailedSendWarnsClosesAndTellsOwnerThenSecondSendIsSilent) {
    Fixture f;
    f.stream.bFailWrites = true;
    EXPECT_FALSE(f.conn->SendConnectCheck()); // status 0: nothing is sent at all
    EXPECT_EQ(f.stream.nWrites, 0);
    f.conn->m_nStatus = 1;
    EXPECT_FALSE(f.conn->SendConnectCheck());
    ASSERT_EQ(f.owner.warnings.size(), 1u);
    EXPECT_EQ(f.owner.warnings[0], "connection lost");
    EXPECT_EQ(f.owner.nLost, 1);
    EXPECT_EQ(f.stream.nCloses, 1);

    const int writes = f.stream.nWrites;
    EXPECT_FALSE(f.conn->SendLogout());
    EXPECT_EQ(f.stream.nWrites, writes);
    EXPECT_EQ(f.owner.warnings.size(), 1u);
    EXPECT_EQ(f.owner.nLost, 1);
    f.conn->ReadPendingRecords();
    EXPECT_EQ(f.stream.nReads, 0);
    f.conn->CloseConnection();
    EXPECT_EQ(f.stream.nCloses, 1);
}

TEST(SendRecord, OwnerMayDeleteTheConnectionWhenTold) {
    Fixture f;
    f.stream.bFailWrites = true;
    f.owner.onLost = [&] { f.conn.reset(); };
    CClientConnection* raw = f.conn.get();
    EXPECT_FALSE(raw->SendLogout());
    EXPECT_EQ(f.conn, nullptr);
    EXPECT_EQ(f.owner.nLost, 1);
}

TEST(SendRecord, ARecordLeavesWholeInOneWrite) {
    Fixture f;
    CComData r = Rec(COM_PRIVATE_MESSAGE, std::string(100000, 'b'));
    EXPECT_TRUE(f.conn->SendRecord(r));
    EXPECT_EQ(f.stream.nWrites, 1);
    EXPECT_EQ(f.stream.strWritten, EncodeRecord(r));
}

TEST(SendQueue, RecordsLeaveWholeAndInOrderAcrossPartialWritesAndWritability) {
    Fixture f;
    f.stream.nRoom = 10;
    f.stream.nPerWrite = 7;
    std::string expected;
    // The hook always tells whether bytes wait, and only when that changes.
    auto checkBacklog = [&] {
        ASSERT_FALSE(f.conn->backlog.empty());
        EXPECT_EQ(f.conn->backlog.back(), f.conn->QueuedBytes() > 0);
        for (size_t i = 0; i < f.conn->backlog.size(); ++i)
            ASSERT_EQ(f.conn->backlog[i], i % 2 == 0) << i;
    };
    auto writable = [&](size_t nRoom) {
        f.stream.nRoom = nRoom;
        if (std::exchange(f.stream.bWriteRefused, false))
            f.conn->OnWritable();
    };
    for (int i = 0; i < 60; ++i) {
        CComData r = Rec(COM_PRIVATE_MESSAGE, std::to_string(i) + std::string(static_cast<size_t>(i * 997 % 20000),
                                                                              static_cast<char>('a' + i % 26)));
        EncodeRecord(expected, r);
        ASSERT_TRUE(f.conn->SendRecord(r));
        // What left is the start of the stream; the rest waits.
        ASSERT_EQ(f.stream.strWritten, expected.substr(0, f.stream.strWritten.size()));
        ASSERT_EQ(f.conn->QueuedBytes(), expected.size() - f.stream.strWritten.size());
        checkBacklog();
        if (i % 4 == 3) {
            writable(static_cast<size_t>(i) * 1500);
            checkBacklog();
        }
    }
    f.stream.nPerWrite = 1000;
    for (int n = 0; n < 100000 && f.conn->QueuedBytes() > 0; ++n)
        writable(4093);
    EXPECT_TRUE(f.stream.strWritten == expected);
    checkBacklog();
    EXPECT_FALSE(f.conn->backlog.back());

    // Writability with nothing waiting writes nothing; a record on an empty queue leaves at once.
    const int writes = f.stream.nWrites;
    f.conn->OnWritable();
    EXPECT_EQ(f.stream.nWrites, writes);
    f.stream.nRoom = SIZE_MAX;
    f.stream.nPerWrite = SIZE_MAX;
    const size_t hooks = f.conn->backlog.size();
    EXPECT_TRUE(f.conn->SendLogout());
    EXPECT_EQ(DecodeWritten(f.stream.strWritten.substr(expected.size())).m_nCommand, COM_SIGN_OUT);
    EXPECT_EQ(f.conn->backlog.size(), hooks);
    EXPECT_TRUE(f.owner.events.empty());
    EXPECT_EQ(f.stream.nCloses, 0);
}

TEST(SendQueue, AServerThatStopsReadingFailsTheConnectionOnceAtTheBound) {
    const CComData r = Rec(COM_PRIVATE_MESSAGE, std::string(4000, 'q'));
    const std::string one = EncodeRecord(r);
    for (bool bDelete : {false, true}) {
        SCOPED_TRACE(bDelete ? "deleted when told" : "kept");
        Fixture f;
        f.stream.nRoom = 5000; // the socket's own buffer
        if (bDelete)
            f.owner.onLost = [&] { f.conn.reset(); };
        size_t nAccepted = 0;
        while (nAccepted < 1000 && f.conn->SendRecord(r))
            ++nAccepted;
        // Accepted while the waiting bytes stay within the bound; the record past it fails.
        const size_t nWaiting = nAccepted * one.size() - 5000;
        EXPECT_LE(nWaiting, CClientConnection::kMaxQueuedBytes);
        EXPECT_GT(nWaiting + one.size(), CClientConnection::kMaxQueuedBytes);
        EXPECT_EQ(f.owner.events, (std::vector<std::string>{"warning", "lost"}));
        EXPECT_EQ(f.stream.nCloses, 1);
        EXPECT_TRUE(f.stream.strWritten == (one + one).substr(0, 5000));
        if (bDelete) {
            EXPECT_EQ(f.conn, nullptr);
            continue;
        }
        EXPECT_EQ(f.conn->backlog, (std::vector<bool>{true, false}));
        const int writes = f.stream.nWrites;
        f.stream.nRoom = SIZE_MAX;
        f.conn->OnWritable();
        f.conn->CheckSendProgress(UINT64_MAX);
        EXPECT_FALSE(f.conn->SendRecord(r));
        EXPECT_EQ(f.stream.nWrites, writes);
        EXPECT_EQ(f.owner.nLost, 1);
    }

    // One record larger than the bound is no sign of a stopped server: accepted on an empty queue.
    Fixture g;
    g.stream.nRoom = 0;
    EXPECT_TRUE(
        g.conn->SendRecord(Rec(COM_PRIVATE_MESSAGE, std::string(CClientConnection::kMaxQueuedBytes * 3 / 2, 'b'))));
    EXPECT_EQ(g.owner.nLost, 0);
    EXPECT_FALSE(g.conn->SendLogout());
    EXPECT_EQ(g.owner.nLost, 1);
}

TEST(SendQueue, BytesWaitingThirtySecondsWithoutProgressFailTheConnection) {
    constexpr uint64_t kStall = CClientConnection::kSendStallMs;
    Fixture f;
    // Nothing waits: no stall, however long between checks.
    f.conn->CheckSendProgress(0);
    EXPECT_TRUE(f.conn->SendLogout());
    f.conn->CheckSendProgress(10 * kStall);
    f.conn->CheckSendProgress(20 * kStall);
    EXPECT_TRUE(f.owner.events.empty());

    f.stream.nRoom = 10;
    EXPECT_TRUE(f.conn->SendPrivateMessage("Lee", "lee01", "are you there"));
    const uint64_t t0 = 100 * kStall;
    f.conn->CheckSendProgress(t0); // the first check that sees bytes waiting starts the clock
    f.conn->CheckSendProgress(t0 + kStall - 1);
    EXPECT_TRUE(f.owner.events.empty());
    // One byte taken is progress: the clock starts again at the next check.
    f.stream.nRoom = 1;
    f.conn->OnWritable();
    f.conn->CheckSendProgress(t0 + kStall);
    f.conn->CheckSendProgress(t0 + 2 * kStall - 1);
    EXPECT_TRUE(f.owner.events.empty());
    f.conn->CheckSendProgress(t0 + 2 * kStall);
    EXPECT_EQ(f.owner.events, (std::vector<std::string>{"warning", "lost"}));
    EXPECT_EQ(f.stream.nCloses, 1);
    EXPECT_EQ(f.conn->backlog, (std::vector<bool>{true, false}));
    f.conn->CheckSendProgress(t0 + 5 * kStall);
    EXPECT_EQ(f.owner.nLost, 1);
}

TEST(OutboundRecords, EachCommandCarriesItsFields) {
    Fixture f;
    CClientConnection& c = *f.conn;
    auto last = [&] {
        CComData r = DecodeWritten(f.stream.strWritten);
        f.stream.strWritten.clear();
        EXPECT_EQ(r.m_strPassword, "secret");
        EXPECT_EQ(r.m_nReserved, 0);
        return r;
    };

    c.SendSignIn("3.80.033");
    CComData r = last();
    EXPECT_EQ(r.m_nCommand, COM_SIGN_IN);
    EXPECT_EQ(r.m_strId, "kim");
    EXPECT_EQ(r.m_strName, "kim"); // the login ID, not the display name
    EXPECT_EQ(r.m_strTarget, "Server");
    EXPECT_EQ(r.m_strText, "Login 3.80.033");
    EXPECT_EQ(r.m_nStatus, 0);

    c.m_strName = "\xB1\xE8\xC3\xB6\xBC\xF6"; // 김철수
    c.m_nStatus = 1;
    c.SendLogout();
    r = last();
    EXPECT_EQ(r.m_nCommand, COM_SIGN_OUT);
    EXPECT_EQ(r.m_strName, c.m_strName);
    EXPECT_EQ(r.m_strTarget, "Server");
    EXPECT_EQ(r.m_strText, "Logout");
    EXPECT_EQ(r.m_nStatus, 1);

    c.SendConnectCheck();
    r = last();
    EXPECT_EQ(r.m_nCommand, COM_CONNECT_CHECK);
    EXPECT_EQ(r.m_strText, "Connect check");

    c.SendPrivateMessage("Lee", "lee01", "hi");
    r = last();
    EXPECT_EQ(r.m_nCommand, COM_PRIVATE_MESSAGE);
    EXPECT_EQ(r.m_strName, c.m_strName);
    EXPECT_EQ(r.m_strTarget, "lee01");
    EXPECT_EQ(r.m_strText, "Lee: hi");

    c.SendPrivateMessage("Server", "", "notice to all");
    r = last();
    EXPECT_EQ(r.m_strName, "Server");
    EXPECT_EQ(r.m_strTarget, "");
    EXPECT_EQ(r.m_strText, "notice to all");

    c.SendAppendFriend("park9");
    r = last();
    EXPECT_EQ(r.m_nCommand, COM_APPEND_FRIEND);
    EXPECT_EQ(r.m_strTarget, "Server");
    EXPECT_EQ(r.m_strText, "park9");
    c.SendDeleteFriend("park9");
    EXPECT_EQ(last().m_nCommand, COM_DELETE_FRIEND);

    c.SendChatListCollect(kFriendsList);
    r = last();
    EXPECT_EQ(r.m_nCommand, COM_CHATLIST_COLLECT);
    EXPECT_EQ(r.m_strTarget, "\xC4\xA3\xB1\xB8");
    EXPECT_EQ(r.m_strText, "");

    c.SendFileOffer("Lee", "lee01", "C:\\docs\\a.txt");
    r = last();
    EXPECT_EQ(r.m_nCommand, COM_FILE_TRANSFER);
    EXPECT_EQ(r.m_strTarget, "lee01");
    EXPECT_EQ(r.m_strText, "Lee: C:\\docs\\a.txt");
    EXPECT_EQ(r.m_strHost, "10.1.2.3");
    EXPECT_EQ(r.m_nPort, 8201);

    c.SendFileAnswer("given", "lee01", "answer", false);
    r = last();
    EXPECT_EQ(r.m_nCommand, COM_FILE_RECEIVER);
    EXPECT_EQ(r.m_strId, "kim");
    EXPECT_EQ(r.m_strTarget, "lee01");
    EXPECT_EQ(r.m_strName, "given");
    EXPECT_EQ(r.m_strText, "answer");
    EXPECT_EQ(r.m_nPort, 8202);
    c.SendFileAnswer("given", "lee01", "answer", true);
    r = last();
    EXPECT_EQ(r.m_strId, "lee01");
    EXPECT_EQ(r.m_strTarget, "kim");

    c.SendHistoryRequest("lee01");
    r = last();
    EXPECT_EQ(r.m_nCommand, COM_PRIVATE_HISTORY);
    EXPECT_EQ(r.m_strTarget, "lee01");
    EXPECT_EQ(r.m_strText, "");
}

TEST(OutboundRecords, ConnectCheckOnlyWhileStatusIsOne) {
    Fixture f;
    for (int32_t status : {0, -1, 2}) {
        f.conn->m_nStatus = status;
        EXPECT_FALSE(f.conn->SendConnectCheck());
    }
    EXPECT_EQ(f.stream.nWrites, 0);
}

TEST(ReceivePass, RecordsWaitingBehindABoxHoldAtMost32MiB) {
    // Four records of 8 MiB fit; the fifth ends the connection (which is then built again), and none
    // of what waited is handled.
    Fixture f;
    ModalOwner modal(f);
    const std::string big(8u << 20, 'x');
    modal.whileShown = [&](const CComData& r) {
        if (r.m_strText != "box")
            return;
        for (int i = 0; i < 5; ++i)
            f.stream.Arrive(EncodeRecord(Rec(COM_MESSAGE_NOTE, big)));
    };
    f.stream.Arrive(EncodeRecord(Rec(COM_MESSAGE_NOTE, "box")));
    f.conn->ReadPendingRecords();
    EXPECT_EQ(f.owner.nLost, 1);
    EXPECT_EQ(f.owner.records.size(), 1u);
    EXPECT_FALSE(f.conn->IsOpen());
}
