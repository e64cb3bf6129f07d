#include "protocol/ClientConnection.h"
#include "TestUtil.h"
#include "protocol/TextConverter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <deque>
#include <functional>
#include <memory>
#include <vector>

using namespace dravel;
using dravel::test::Hex;

namespace {

const AsciiTextConverter kAscii;

// A socket whose arrivals are scripted read by read.
class FakeStream : public ByteStream {
public:
    bool WriteAll(const char* data, size_t size) override {
        ++nWrites;
        if (bFailWrites)
            return false;
        strWritten.append(data, size);
        return true;
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
    int nWrites = 0, nReads = 0, nCloses = 0;
};

class FakeOwner : public ConnectionOwner {
public:
    void OnRecord(const CComData& record) override {
        records.push_back(record);
        if (onRecord)
            onRecord(record);
    }
    void OnConnectionLost() override {
        ++nLost;
        if (onLost)
            onLost();
    }
    void ShowWarning(const std::string& text) override { warnings.push_back(text); }

    std::vector<CComData> records;
    std::vector<std::string> warnings;
    int nLost = 0;
    std::function<void(const CComData&)> onRecord;
    std::function<void()> onLost;
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
    std::unique_ptr<CClientConnection> conn =
        std::make_unique<CClientConnection>(owner, stream, kAscii, "kim", "secret", "10.1.2.3");
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

TEST(ReceivePass, CloseEndsThePassAndLaterRecordsAreNotHandled) {
    // The session ends by deleting the connection or by closing it; either way nothing more is read
    // or handled, also when a modal loop in the dispatch has just delivered a read notification.
    for (bool bDelete : {true, false}) {
        for (bool bModal : {false, true}) {
            SCOPED_TRACE(std::string(bDelete ? "delete" : "close") + (bModal ? ", modal" : ""));
            Fixture f;
            f.owner.onRecord = [&](const CComData& r) {
                if (bModal)
                    f.conn->ReadPendingRecords();
                if (r.m_nCommand != COM_CLOSE)
                    return;
                if (bDelete)
                    f.conn.reset();
                else
                    f.conn->CloseConnection();
            };
            f.stream.Arrive(EncodeRecord(Rec(COM_ADD_CLIENT)) + EncodeRecord(Rec(COM_CLOSE)) +
                            EncodeRecord(Rec(COM_PRIVATE_MESSAGE, "after")));
            f.stream.Arrive(EncodeRecord(Rec(COM_PRIVATE_MESSAGE, "later")));
            f.conn->ReadPendingRecords();
            ASSERT_EQ(f.owner.records.size(), 2u);
            EXPECT_EQ(f.owner.records[1].m_nCommand, COM_CLOSE);
            EXPECT_EQ(f.stream.nReads, 1);
            if (!bDelete) {
                f.conn->ReadPendingRecords();
                EXPECT_EQ(f.stream.nReads, 1);
                EXPECT_EQ(f.owner.records.size(), 2u);
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

TEST(ReceivePass, ServerCloseDropsThePartialRecordQuietly) {
    Fixture f;
    f.stream.Arrive(EncodeRecord(Rec(COM_ADD_CLIENT)).substr(0, 5));
    f.stream.ArriveStatus(ByteStream::ReadStatus::Closed);
    f.conn->ReadPendingRecords();
    f.conn->ReadPendingRecords();
    EXPECT_TRUE(f.owner.records.empty());
    EXPECT_TRUE(f.owner.warnings.empty());
    EXPECT_EQ(f.owner.nLost, 0);
    // The next send still goes out; the socket will fail it when the peer is really gone.
    EXPECT_TRUE(f.conn->SendLogout());
}

TEST(ReceivePass, OverCapLengthTakesTheConnectionLostPath) {
    Fixture f;
    f.owner.onLost = [&] { f.conn.reset(); };
    f.stream.Arrive(EncodeRecord(Rec(COM_ADD_CLIENT, "ok")) + "\xFF\xFF\xFF\xFF\xFF\xFF\x7F" + std::string(100, 'x'));
    f.conn->ReadPendingRecords();
    ASSERT_EQ(f.owner.records.size(), 1u); // the good record before the bad one was handled
    ASSERT_EQ(f.owner.warnings.size(), 1u);
    EXPECT_EQ(f.owner.warnings[0], kConnectionLostText);
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
    EXPECT_EQ(f.conn->m_bConnected, 0);
    ASSERT_EQ(f.owner.warnings.size(), 1u);
    EXPECT_EQ(Hex(f.owner.warnings[0].substr(0, 4)), "BC AD B9 F6"); // 서버
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
