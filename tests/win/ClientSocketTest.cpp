// The Winsock connection against the scripted server (tests/win/run_socket_test.py starts it and
// checks the bytes that arrive there). The tests run in order in one process: each one is one
// connection of the server's script.
#include "base/Winsock.h"
#include "protocol/ClientSocket.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace dravel;
using namespace dravel::win;

namespace {

class RecordingOwner : public ConnectionOwner {
public:
    void OnRecord(const CComData& record) override { records.push_back(record); }
    void OnConnectionLost() override { ++nLost; }
    void ShowWarning(const std::string& text) override { warnings.push_back(text); }

    std::vector<CComData> records;
    std::vector<std::string> warnings;
    int nLost = 0;
};

// Serves the thread's messages (the socket notifications) until `done` or the time-out.
template <class Done> bool PumpUntil(Done done, DWORD timeoutMs) {
    const ULONGLONG end = ::GetTickCount64() + timeoutMs;
    while (!done()) {
        if (::GetTickCount64() >= end)
            return false;
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
        MSG msg;
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
    }
    return true;
}

// The record this client sends first; run_socket_test.py expects exactly its bytes.
CComData FirstRecord() {
    CComData r;
    r.m_strId = "kim";
    r.m_strPassword = "secret";
    r.m_strName = "\xB1\xE8\xC3\xB6\xBC\xF6";  // 김철수
    r.m_strTarget = "Server";
    r.m_nStatus = -1;
    r.m_strText = std::string(5000, 'x') + "\xC2\xCA\xC1\xF6";  // over one 4096-byte buffer, ends in 쪽지
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
    ASSERT_TRUE(PumpUntil([&] { return owner.records.size() >= 10001; }, 60000))
        << "received " << owner.records.size();
    ASSERT_EQ(owner.records.size(), 10001u);
    for (size_t i = 0; i < 10000; ++i) {
        ASSERT_EQ(owner.records[i].m_nCommand, COM_CHAT_LIST) << i;
        ASSERT_EQ(owner.records[i].m_strText, std::to_string(i));
    }
    EXPECT_EQ(owner.records[10000].m_nCommand, COM_PRIVATE_MESSAGE);
    EXPECT_EQ(owner.records[10000].m_strName, "\xC0\xCC\xBF\xB5\xC8\xF1");  // 이영희
    EXPECT_EQ(owner.records[10000].m_strText, "byte by byte");
    EXPECT_EQ(owner.records[10000].m_nStatus, -2);
    // Nothing more arrives, nothing failed.
    PumpUntil([] { return false; }, 300);
    EXPECT_EQ(owner.records.size(), 10001u);
    EXPECT_TRUE(owner.warnings.empty());
    EXPECT_EQ(owner.nLost, 0);
    EXPECT_TRUE(socket.SendLogout());
}

TEST_F(ClientSocketTest, ServerThatClosesMakesTheNextSendTakeTheFailurePath) {
    ASSERT_TRUE(m_winsock.Ok());
    RecordingOwner owner;
    CClientSocket socket(owner, "kim", "secret", "127.0.0.1");
    ASSERT_TRUE(socket.Connect("127.0.0.1", 8200));
    socket.m_nStatus = 1;
    // The server closes at once. TCP may take the first write after the close; a later one fails.
    bool failed = PumpUntil([&] { return !socket.SendConnectCheck(); }, 10000);
    ASSERT_TRUE(failed);
    EXPECT_EQ(owner.nLost, 1);
    ASSERT_EQ(owner.warnings.size(), 1u);
    EXPECT_EQ(owner.warnings[0], kConnectionLostText);
    EXPECT_EQ(socket.m_bConnected, 0);
    // A second attempt returns at once, silently.
    EXPECT_FALSE(socket.SendLogout());
    EXPECT_EQ(owner.warnings.size(), 1u);
    EXPECT_EQ(owner.nLost, 1);
}

TEST_F(ClientSocketTest, RefusedConnectFailsQuickly) {
    ASSERT_TRUE(m_winsock.Ok());
    RecordingOwner owner;
    CClientSocket socket(owner, "kim", "secret", "127.0.0.1");
    const ULONGLONG start = ::GetTickCount64();
    EXPECT_FALSE(socket.Connect("127.0.0.1", 8209));  // nothing listens there
    EXPECT_LT(::GetTickCount64() - start, 5000u);
}
