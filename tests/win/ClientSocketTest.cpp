// The Winsock connection against the scripted server (tests/win/run_socket_test.py starts it and
// checks the bytes that arrive there; the first test is its one connection) and against loopback
// servers of the test's own that close, reset or stop reading.
#include "win/protocol/ClientSocket.h"
#include "win/base/Winsock.h"

#include "support/LoopbackServer.h"
#include "support/Wait.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>
#include <string>
#include <vector>

using namespace dravel;
using namespace dravel::win;
using namespace dravel::win::test;

namespace {

class RecordingOwner : public ConnectionOwner {
public:
    void OnRecord(const CComData& record) override {
        records.push_back(record);
        events.push_back("record " + record.m_strText);
    }
    void OnConnectionLost() override {
        ++nLost;
        events.push_back("lost");
    }
    void ShowConnectionLost() override {
        warnings.push_back("connection lost");
        events.push_back("warning");
    }

    std::vector<CComData> records;
    std::vector<std::string> warnings;
    std::vector<std::string> events;
    int nLost = 0;
};

// A server that accepts and reads nothing until Release(), then reads until the client closes. It is
// released on the way out too, so a failed test never leaves its thread waiting.
class CStoppedReader {
public:
    ~CStoppedReader() { Release(); }

    int Port() const { return m_server.Port(); }
    void Release() {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_bReleased = true;
        m_released.notify_all();
    }
    std::string Received() {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_strReceived;
    }
    bool Ended() {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_bEnded;
    }

private:
    void Serve(SOCKET s) {
        {
            std::unique_lock<std::mutex> lock(m_mutex);
            m_released.wait(lock, [this] { return m_bReleased; });
        }
        char buffer[65536];
        for (;;) {
            const int n = ::recv(s, buffer, sizeof(buffer), 0);
            std::lock_guard<std::mutex> lock(m_mutex);
            if (n <= 0) {
                m_bEnded = true;
                return;
            }
            m_strReceived.append(buffer, static_cast<size_t>(n));
        }
    }

    std::mutex m_mutex;
    std::condition_variable m_released;
    bool m_bReleased = false;
    bool m_bEnded = false;
    std::string m_strReceived;
    LoopbackServer m_server{[this](SOCKET s) { Serve(s); }};
};

// A private message whose text is `index` and then 4 KB.
CComData Numbered(int index) {
    CComData r;
    r.m_strId = "kim";
    r.m_strTarget = "lee";
    r.m_nCommand = COM_PRIVATE_MESSAGE;
    r.m_strText = std::to_string(index) + std::string(4096, 'm');
    return r;
}

// The record this client sends first; run_socket_test.py expects exactly its bytes.
CComData FirstRecord() {
    CComData r;
    r.m_strId = "kim";
    r.m_strPassword = "secret";
    r.m_strName = "\xB1\xE8\xC3\xB6\xBC\xF6"; // 김철수
    r.m_strTarget = "Server";
    r.m_nStatus = -1;
    r.m_strText = std::string(5000, 'x') + "\xC2\xCA\xC1\xF6"; // over one 4096-byte buffer, ends in 쪽지
    r.m_nCommand = COM_PRIVATE_MESSAGE;
    r.m_strHost = "127.0.0.1";
    r.m_nPort = 8201;
    return r;
}

class ClientSocketTest : public ::testing::Test {
protected:
    CWinsockInit m_winsock;
};

} // namespace

TEST_F(ClientSocketTest, SendsWholeAndReceivesBurstAndBytewiseRecordsInOrder) {
    ASSERT_TRUE(m_winsock.Ok());
    RecordingOwner owner;
    CClientSocket socket(owner, "kim", "secret", "127.0.0.1");
    ASSERT_TRUE(socket.Connect("127.0.0.1", 8200));
    ASSERT_TRUE(socket.SendRecord(FirstRecord()));

    // The server answers with 10,000 records in one write, then one record a byte at a time.
    ASSERT_TRUE(PumpUntil([&] { return owner.records.size() >= 10001; }, 60000)) << "received " << owner.records.size();
    ASSERT_EQ(owner.records.size(), 10001u);
    for (size_t i = 0; i < 10000; ++i) {
        ASSERT_EQ(owner.records[i].m_nCommand, COM_CHAT_LIST) << i;
        ASSERT_EQ(owner.records[i].m_strText, std::to_string(i));
    }
    EXPECT_EQ(owner.records[10000].m_nCommand, COM_PRIVATE_MESSAGE);
    EXPECT_EQ(owner.records[10000].m_strName, "\xC0\xCC\xBF\xB5\xC8\xF1"); // 이영희
    EXPECT_EQ(owner.records[10000].m_strText, "byte by byte");
    EXPECT_EQ(owner.records[10000].m_nStatus, -2);
    // Nothing more arrives, nothing failed.
    PumpFor(300);
    EXPECT_EQ(owner.records.size(), 10001u);
    EXPECT_TRUE(owner.warnings.empty());
    EXPECT_EQ(owner.nLost, 0);
    EXPECT_TRUE(socket.SendLogout());
}

TEST_F(ClientSocketTest, ServerThatClosesOrResetsEndsTheConnectionWithoutAnySend) {
    ASSERT_TRUE(m_winsock.Ok());
    CComData last;
    last.m_nCommand = COM_MESSAGE_NOTE;
    last.m_strText = "last words";
    CComData request;
    request.m_strId = "kim";
    request.m_strPassword = "secret";
    request.m_nCommand = COM_CHATLIST_COLLECT;
    request.m_strTarget = kFriendsList;
    const std::string requestBytes = EncodeRecord(request);
    enum class End { Close, Reset, ResetAtOnce };
    for (End end : {End::Close, End::Reset, End::ResetAtOnce}) {
        SCOPED_TRACE(static_cast<int>(end));
        // A record, the client's answer, then the end: an orderly close or a reset (linger 0). Or a
        // reset as soon as the connection is there, before the client has asked for its notifications.
        LoopbackServer server([&](SOCKET s) {
            if (end != End::ResetAtOnce) {
                LoopbackServer::WriteAll(s, EncodeRecord(last));
                std::string got(requestBytes.size(), '\0');
                for (size_t n = 0; n < got.size();) {
                    const int r = ::recv(s, got.data() + n, static_cast<int>(got.size() - n), 0);
                    if (r <= 0)
                        return;
                    n += static_cast<size_t>(r);
                }
            }
            if (end != End::Close) {
                linger abort{1, 0};
                ::setsockopt(s, SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&abort), sizeof(abort));
            }
        });
        RecordingOwner owner;
        CClientSocket socket(owner, "kim", "secret", "127.0.0.1");
        ASSERT_TRUE(socket.Connect("127.0.0.1", server.Port()));
        if (end != End::ResetAtOnce) {
            ASSERT_TRUE(PumpUntil([&] { return !owner.records.empty(); }, 10000));
            ASSERT_TRUE(socket.SendChatListCollect(kFriendsList));
        }
        ASSERT_TRUE(PumpUntil([&] { return owner.nLost > 0; }, 10000));
        if (end == End::ResetAtOnce)
            EXPECT_EQ(owner.events, (std::vector<std::string>{"warning", "lost"}));
        else
            EXPECT_EQ(owner.events, (std::vector<std::string>{"record last words", "warning", "lost"}));
        EXPECT_EQ(owner.warnings[0], "connection lost");
        // Closed for good: a later send returns at once, silently.
        EXPECT_FALSE(socket.SendLogout());
        EXPECT_EQ(owner.nLost, 1);
        EXPECT_EQ(owner.warnings.size(), 1u);
    }
}

TEST_F(ClientSocketTest, ServerThatStopsReadingNeverHoldsUpASendAndIsDroppedAtTheQueueBound) {
    ASSERT_TRUE(m_winsock.Ok());
    CStoppedReader server;
    RecordingOwner owner;
    CClientSocket socket(owner, "kim", "secret", "127.0.0.1");
    ASSERT_TRUE(socket.Connect("127.0.0.1", server.Port()));
    std::string sent;
    int nAccepted = 0, nRefused = 0;
    for (int i = 0; i < 500; ++i) {
        const CComData r = Numbered(i);
        if (socket.SendRecord(r)) {
            ASSERT_EQ(nRefused, 0) << "accepted after the connection ended: " << i;
            EncodeRecord(sent, r);
            ++nAccepted;
        } else {
            ++nRefused;
        }
    }
    // All 500 calls came back while the server read nothing and no message was handled: far more
    // was accepted than the socket holds, and the record past the bound ended the connection.
    EXPECT_GT(sent.size(), CClientConnection::kMaxQueuedBytes);
    EXPECT_GT(nRefused, 0);
    EXPECT_EQ(owner.events, (std::vector<std::string>{"warning", "lost"}));
    EXPECT_FALSE(socket.IsOpen());

    // What the socket had taken reaches the server: the start of the records, byte for byte.
    server.Release();
    ASSERT_TRUE(PumpUntil([&] { return server.Ended(); }, 30000));
    const std::string received = server.Received();
    EXPECT_GT(received.size(), 0u);
    EXPECT_LT(received.size(), sent.size());
    EXPECT_TRUE(received == sent.substr(0, received.size()));
    EXPECT_EQ(owner.nLost, 1);
}

TEST_F(ClientSocketTest, RecordsWaitingForASlowServerLeaveWholeAndInOrderOnceItReads) {
    ASSERT_TRUE(m_winsock.Ok());
    CStoppedReader server;
    RecordingOwner owner;
    CClientSocket socket(owner, "kim", "secret", "127.0.0.1");
    ASSERT_TRUE(socket.Connect("127.0.0.1", server.Port()));
    std::string sent;
    for (int i = 0; i < 150; ++i) {
        const CComData r = Numbered(i);
        ASSERT_TRUE(socket.SendRecord(r)) << i;
        EncodeRecord(sent, r);
    }
    ASSERT_GT(socket.QueuedBytes(), 0u); // more than the socket holds: the rest goes out on FD_WRITE
    server.Release();
    ASSERT_TRUE(PumpUntil([&] { return server.Received().size() >= sent.size() || owner.nLost > 0; }, 30000));
    EXPECT_TRUE(server.Received() == sent);
    EXPECT_EQ(socket.QueuedBytes(), 0u);
    EXPECT_TRUE(owner.events.empty());
    // The queue is empty again: a record goes straight out.
    ASSERT_TRUE(socket.SendLogout());
    EXPECT_EQ(socket.QueuedBytes(), 0u);
}

TEST_F(ClientSocketTest, ServerThatStopsReadingWithLessThanTheBoundWaitingIsDroppedByTheStallCheck) {
    ASSERT_TRUE(m_winsock.Ok());
    CStoppedReader server;
    RecordingOwner owner;
    CClientSocket socket(owner, "kim", "secret", "127.0.0.1");
    ASSERT_TRUE(socket.Connect("127.0.0.1", server.Port()));
    for (int i = 0; i < 150; ++i)
        ASSERT_TRUE(socket.SendRecord(Numbered(i))) << i;
    ASSERT_GT(socket.QueuedBytes(), 0u);
    ASSERT_LT(socket.QueuedBytes(), CClientConnection::kMaxQueuedBytes);
    // Only the stall check can end it now.
    ASSERT_TRUE(PumpUntil([&] { return owner.nLost > 0; }, static_cast<DWORD>(CClientConnection::kSendStallMs * 3)));
    EXPECT_EQ(owner.events, (std::vector<std::string>{"warning", "lost"}));
    EXPECT_FALSE(socket.IsOpen());
}

// Encrypted, a server that answers the hello with bytes that are not TLS, with a record longer than TLS
// allows, or by closing, fails the connect at once: no certificate is blamed, nothing follows the hello.
TEST_F(ClientSocketTest, EncryptedConnectToAServerThatSpeaksNoTlsFailsAtOnce) {
    ASSERT_TRUE(m_winsock.Ok());
    SetEncryptedTransport(true);
    struct PlainAgain {
        ~PlainAgain() { SetEncryptedTransport(false); }
    } plainAgain;
    const std::string replies[] = {std::string(4096, 'A'),
                                   std::string("\x16\x03\x03\xFF\xFF", 5) + std::string(70000, '\0'), std::string()};
    for (const std::string& reply : replies) {
        SCOPED_TRACE(reply.size());
        std::string heard;
        RecordingOwner owner;
        {
            LoopbackServer server([&](SOCKET s) {
                char buffer[4096];
                const int n = ::recv(s, buffer, sizeof(buffer), 0);
                if (n > 0)
                    heard.assign(buffer, static_cast<size_t>(n));
                LoopbackServer::WriteAll(s, reply);
            });
            CClientSocket socket(owner, "kim", "secret", "127.0.0.1");
            const ULONGLONG start = ::GetTickCount64();
            EXPECT_FALSE(socket.Connect("127.0.0.1", server.Port()));
            EXPECT_LT(::GetTickCount64() - start, 5000u);
            EXPECT_FALSE(socket.CertificateRefused());
        }
        ASSERT_FALSE(heard.empty());
        EXPECT_EQ(heard[0], '\x16') << "the first bytes are the TLS hello";
        EXPECT_TRUE(owner.events.empty());
    }
}

TEST_F(ClientSocketTest, RefusedConnectFailsQuickly) {
    ASSERT_TRUE(m_winsock.Ok());
    RecordingOwner owner;
    CClientSocket socket(owner, "kim", "secret", "127.0.0.1");
    const ULONGLONG start = ::GetTickCount64();
    EXPECT_FALSE(socket.Connect("127.0.0.1", 8209)); // nothing listens there
    EXPECT_LT(::GetTickCount64() - start, 5000u);
}
