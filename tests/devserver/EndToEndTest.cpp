// The real server binary on free ports, driven by scripted clients that use the core's connection.
#include "devserver/Text.h"
#include "devserver/tools/ScriptedClient.h"
#include "devserver/tools/ServerProcess.h"
#include "tests/core/support/Bytes.h"

#include <httplib.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <random>

using namespace dravel;
using namespace dravel::devserver;
using namespace dravel::devserver::tools;

namespace {

// What the client does with a clicked file item: the key from the name and the shown time string
// ("%Y-%m-%d %p %I:%M:%S"), minutes included, seconds not.
std::string KeyFromItem(const std::string& name, const std::string& time) {
    int year = std::stoi(time.substr(0, 4)), month = std::stoi(time.substr(5, 2)), day = std::stoi(time.substr(8, 2));
    int hour = std::stoi(time.substr(14, 2)), minute = std::stoi(time.substr(17, 2));
    if (time.substr(11, 2) == "PM") {
        if (hour < 12)
            hour += 12;
    } else if (hour == 12) {
        hour = 0;
    }
    char key[64];
    std::snprintf(key, sizeof key, ".%04d%02d%02d%02d%02d", year, month, day, hour, minute);
    return name + key;
}

// The server under test: the host build, or another command given in DEVSERVER_UNDER_TEST (such as
// a script that starts the Windows build under Wine).
std::string ServerExe() {
    const char* other = std::getenv("DEVSERVER_UNDER_TEST");
    return other && *other ? other : DEVSERVER_EXE;
}

class EndToEnd : public ::testing::Test {
protected:
    void StartServer(std::vector<std::string> extra = {}) {
        ASSERT_TRUE(server.Start(ServerExe(), extra)) << server.m_strError;
    }
    std::unique_ptr<CScriptedClient> SignedIn(const std::string& id, const std::string& password) {
        auto c = std::make_unique<CScriptedClient>(id, password);
        EXPECT_TRUE(c->Connect(server.m_nMessenger));
        EXPECT_TRUE(c->WaitFor([&] { return c->LoggedIn(); })) << id << " did not sign in";
        return c;
    }
    CServerProcess server;
};

} // namespace

TEST_F(EndToEnd, TwoClientsSeeEachOtherTalkFetchHistoryAndMoveAFile) {
    StartServer();
    auto kim = SignedIn("kim", "kim123");
    EXPECT_EQ(kim->Connection().m_strName, K("김철수"));
    size_t mark = kim->m_records.size();
    auto lee = SignedIn("lee", "lee123");
    ASSERT_TRUE(kim->WaitRecord(COM_ADD_CLIENT, mark));
    EXPECT_EQ(kim->Find(COM_ADD_CLIENT, mark)->m_strName, K("이영희"));

    kim->Connection().SendPrivateMessage(K("이영희"), "lee", K("안녕하세요"));
    ASSERT_TRUE(lee->WaitRecord(COM_PRIVATE_MESSAGE));
    const CComData* hello = lee->Find(COM_PRIVATE_MESSAGE);
    EXPECT_EQ(hello->m_strText, K("안녕하세요"));
    EXPECT_EQ(hello->m_strName, K("김철수"));
    EXPECT_EQ(hello->m_strId, "kim");

    mark = kim->m_records.size();
    lee->Connection().SendPrivateMessage(K("김철수"), "kim", "say \"yes\"");
    ASSERT_TRUE(kim->WaitRecord(COM_PRIVATE_MESSAGE, mark));
    EXPECT_EQ(kim->Find(COM_PRIVATE_MESSAGE, mark)->m_strText, "say \"yes\"");

    mark = kim->m_records.size();
    kim->Connection().SendHistoryRequest("lee");
    ASSERT_TRUE(kim->WaitRecord(COM_PRIVATE_HISTORY, mark));
    const CComData* history = kim->Find(COM_PRIVATE_HISTORY, mark);
    EXPECT_EQ(history->m_nStatus, -4);
    EXPECT_EQ(history->m_strTarget, K("이영희"));
    const std::string& h = history->m_strText;
    EXPECT_EQ(h.rfind("\">\"|\"" + K("안녕하세요") + "\"|", 0), 0u) << h;
    EXPECT_NE(h.find("\"<\"|\"say \"\"yes\"\"\"|"), std::string::npos) << h;

    // A 1 MB file: offer, upload on the upload port, announcement, request, download port.
    std::string data(1 << 20, '\0');
    std::mt19937 random(7);
    for (char& c : data)
        c = static_cast<char>(random());
    mark = kim->m_records.size();
    kim->Connection().SendFileOffer(K("이영희"), "lee", "C:\\My Documents\\big.bin");
    ASSERT_TRUE(kim->WaitRecord(COM_FILE_ACCEPT, mark));
    std::string stamp = kim->Find(COM_FILE_ACCEPT, mark)->m_strHost;
    ASSERT_EQ(stamp.size(), 14u);
    EXPECT_EQ(kim->Find(COM_FILE_ACCEPT, mark)->m_strText, "C:\\My Documents\\big.bin");
    size_t leeMark = lee->m_records.size();
    ASSERT_TRUE(Upload(server.m_nUpload, "kim_lee_big.bin." + stamp.substr(0, 12), data));

    ASSERT_TRUE(lee->WaitRecord(COM_PRIVATE_MESSAGE, leeMark));
    std::string announced = lee->Find(COM_PRIVATE_MESSAGE, leeMark)->m_strText;
    ASSERT_EQ(announced.substr(0, 13), "File_big.bin|") << announced;
    std::string key = KeyFromItem("big.bin", announced.substr(13));
    EXPECT_EQ(key, "big.bin." + stamp.substr(0, 12));

    leeMark = lee->m_records.size();
    lee->Connection().SendFileAnswer(K("김철수"), "kim", key, true);
    ASSERT_TRUE(lee->WaitRecord(COM_FILE_ADJUST, leeMark));
    EXPECT_EQ(lee->Find(COM_FILE_ADJUST, leeMark)->m_strText, key);
    EXPECT_EQ(lee->Find(COM_FILE_ADJUST, leeMark)->m_strName, K("김철수"));
    std::string received = Download(server.m_nDownload);
    ASSERT_EQ(received.size(), 4 + data.size());
    EXPECT_EQ(received.substr(0, 4), std::string("\x00\x10\x00\x00", 4));
    EXPECT_TRUE(received.substr(4) == data) << "the downloaded bytes differ";
    // The announcement was used up: the next connection gets nothing.
    EXPECT_EQ(Download(server.m_nDownload, 2000), "");

    // Signing out tells the other side.
    leeMark = lee->m_records.size();
    kim->Connection().SendLogout();
    ASSERT_TRUE(lee->WaitRecord(COM_REMOVE_CLIENT, leeMark));
    EXPECT_EQ(lee->Find(COM_REMOVE_CLIENT, leeMark)->m_strName, K("김철수"));
}

TEST_F(EndToEnd, WhatWasStoredSurvivesARestart) {
    server.m_bKeepDir = true;
    StartServer();
    {
        auto kim = SignedIn("kim", "kim123");
        kim->Connection().SendPrivateMessage(K("이영희"), "lee", "while you were away");
        kim->Connection().SendDeleteFriend("park");
        kim->Connection().SendChatListCollect(kFriendsList);
        // The answer comes after both changes were handled.
        ASSERT_TRUE(kim->WaitRecord(COM_CHATLIST_COLLECT));
    }
    std::string dir = server.m_strDir;
    server.Stop();
    CServerProcess again;
    again.m_strDir = dir;
    ASSERT_TRUE(again.Start(ServerExe(), {})) << again.m_strError;
    auto lee = std::make_unique<CScriptedClient>("lee", "lee123");
    ASSERT_TRUE(lee->Connect(again.m_nMessenger));
    ASSERT_TRUE(lee->WaitRecord(COM_PRIVATE_MESSAGE));
    EXPECT_EQ(lee->Find(COM_PRIVATE_MESSAGE)->m_strText, "while you were away");
    auto kim = std::make_unique<CScriptedClient>("kim", "kim123");
    ASSERT_TRUE(kim->Connect(again.m_nMessenger));
    ASSERT_TRUE(kim->WaitFor([&] { return kim->LoggedIn(); }));
    kim->Connection().SendChatListCollect(kFriendsList);
    ASSERT_TRUE(kim->WaitRecord(COM_CHATLIST_COLLECT));
    EXPECT_EQ(kim->Find(COM_CHATLIST_COLLECT)->m_strText, "\"lee\"|\"1\"|\"" + K("이영희") + "\"|");
    // Delivered once: a second sign-in of lee gets nothing more.
    lee.reset();
    auto lee2 = std::make_unique<CScriptedClient>("lee", "lee123");
    ASSERT_TRUE(lee2->Connect(again.m_nMessenger));
    ASSERT_TRUE(lee2->WaitFor([&] { return lee2->LoggedIn(); }));
    EXPECT_FALSE(lee2->WaitRecord(COM_PRIVATE_MESSAGE, 0, 300));
    again.m_bKeepDir = false;
}

TEST_F(EndToEnd, BadInputDropsOnlyTheConnectionThatSentIt) {
    StartServer({"--signin-timeout", "1", "--partial-timeout", "1"});
    auto kim = SignedIn("kim", "kim123");

    auto closedSoon = [](int fd, int ms) {
        // The server's COM_SIGN_IN comes first; then the connection must end.
        ReceiveAll(fd, ms);
        char c;
        bool closed = ::recv(fd, &c, 1, MSG_DONTWAIT) == 0;
        ::close(fd);
        return closed;
    };
    // A length prefix far over every cap.
    int garbage = ConnectLoopback(server.m_nMessenger);
    SendAll(garbage, "\xFF\xFF\xFF\xFF\xFF\xFF\xFF\xFF\x7F", 9);
    EXPECT_TRUE(closedSoon(garbage, 3000));
    // A record that announces 2 MB of text: dropped once more than a record may take has arrived.
    int big = ConnectLoopback(server.m_nMessenger);
    std::string huge = "\xFF\xFF\xFF\xFF\x00\x00\x20\x00" + std::string(1200 * 1024, 'x');
    SendAll(big, huge.data(), huge.size());
    EXPECT_TRUE(closedSoon(big, 3000));
    // Half a record, then silence; and a connection that never says anything.
    int half = ConnectLoopback(server.m_nMessenger);
    SendAll(half, "\x03kim\x06kim123", 11);
    int mute = ConnectLoopback(server.m_nMessenger);
    EXPECT_TRUE(closedSoon(half, 4000));
    EXPECT_TRUE(closedSoon(mute, 4000));
    // A wrong password: a notice, COM_CLOSE, and the end of that connection only.
    auto wrong = std::make_unique<CScriptedClient>("lee", "bad");
    ASSERT_TRUE(wrong->Connect(server.m_nMessenger));
    ASSERT_TRUE(wrong->WaitRecord(COM_CLOSE));
    EXPECT_EQ(wrong->Find(COM_PRIVATE_MESSAGE)->m_nStatus, -1);
    // An upload that nobody announced, and a download nobody asked for.
    EXPECT_TRUE(Upload(server.m_nUpload, "../../etc/passwd", "x"));
    EXPECT_EQ(Download(server.m_nDownload, 2000), "");

    // kim never noticed any of it.
    auto lee = SignedIn("lee", "lee123");
    kim->Connection().SendPrivateMessage(K("이영희"), "lee", "still here");
    ASSERT_TRUE(lee->WaitRecord(COM_PRIVATE_MESSAGE));
    EXPECT_EQ(lee->Find(COM_PRIVATE_MESSAGE)->m_strText, "still here");
    EXPECT_FALSE(kim->Lost());
    EXPECT_EQ(server.Control("users"), "ok kim lee");
}

TEST_F(EndToEnd, ControlSendsRecordsDropsUsersAndTheTranscriptRecordsThem) {
    StartServer({"--list-form", "entries"});
    auto kim = SignedIn("kim", "kim123");
    auto lee = SignedIn("lee", "lee123");

    EXPECT_EQ(server.Control("send\tkim\tcommand=MESSAGE_NOTE\tname=관리자\ttext=주문 취소 요청\\x21"), "ok");
    ASSERT_TRUE(kim->WaitRecord(COM_MESSAGE_NOTE));
    EXPECT_EQ(kim->Find(COM_MESSAGE_NOTE)->m_strText, K("주문 취소 요청") + "!");
    EXPECT_EQ(kim->Find(COM_MESSAGE_NOTE)->m_strName, K("관리자"));
    EXPECT_EQ(server.Control("send ghost command=CLOSE"), "error offline");
    EXPECT_EQ(server.Control("send kim command=NOPE"), "error unknown command: NOPE");
    EXPECT_EQ(server.Control("explode"), "error unknown command: explode");

    // The entries form of the lists, chosen on the command line.
    size_t mark = kim->m_records.size();
    kim->Connection().SendChatListCollect(kFriendsList);
    ASSERT_TRUE(kim->WaitRecord(COM_CHAT_LIST_END, mark));
    const CComData* first = kim->Find(COM_CHAT_LIST, mark);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->m_strId, "lee");
    EXPECT_EQ(first->m_nStatus, 1);

    size_t leeMark = lee->m_records.size();
    EXPECT_EQ(server.Control("drop kim"), "ok");
    ASSERT_TRUE(lee->WaitRecord(COM_REMOVE_CLIENT, leeMark));
    // kim's end sees the server close: its connection reports the loss, or the socket reads its end.
    EXPECT_TRUE(kim->WaitFor([&] {
        char c;
        return kim->Lost() || ::recv(kim->Fd(), &c, 1, MSG_DONTWAIT | MSG_PEEK) == 0;
    }));
    EXPECT_EQ(server.Control("users"), "ok lee");

    const std::string all = dravel::test::ReadFileBytes(server.m_strDir + "/transcript.jsonl");
    EXPECT_NE(all.find("\"dir\":\"out\""), std::string::npos);
    EXPECT_NE(all.find("\"text\":\"주문 취소 요청!\""), std::string::npos);
    EXPECT_NE(all.find("\"dir\":\"in\",\"session\":2,\"user\":\"\",\"command\":1"), std::string::npos);
    // Both sign-ins are in it, their passwords are not.
    EXPECT_NE(all.find("\"id\":\"lee\""), std::string::npos);
    EXPECT_EQ(all.find("kim123"), std::string::npos);
    EXPECT_EQ(all.find("lee123"), std::string::npos);
}

TEST_F(EndToEnd, PortalPagesCarryTheClientCallsAndTheUpdateFileIsServed) {
    std::string update = "/tmp/devserver-update-" + std::to_string(::getpid()) + ".exe";
    {
        std::ofstream out(update, std::ios::binary);
        out << std::string("MZ\x90\x00update", 9);
    }
    StartServer({"--update-file", update, "--idle-logout", "5"});
    httplib::Client http("127.0.0.1", server.m_nHttp);

    auto login = http.Get("/user/proc.asp?user_id=kim&user_password=kim123");
    ASSERT_TRUE(login);
    EXPECT_EQ(login->status, 200);
    EXPECT_NE(login->body.find("김철수"), std::string::npos);
    EXPECT_NE(login->body.find("IDLE_MS = 5000"), std::string::npos);
    EXPECT_NE(login->body.find("CB_Close()"), std::string::npos);
    auto refused = http.Get("/user/proc.asp?user_id=kim&user_password=wrong");
    ASSERT_TRUE(refused);
    EXPECT_EQ(refused->body.find("김철수"), std::string::npos);

    for (const char* path :
         {"/sm/order/list.asp", "/sm/board/notice/list.asp", "/sm/voc/list.asp", "/sm/board/qna/list.asp"}) {
        auto page = http.Get(path);
        ASSERT_TRUE(page) << path;
        EXPECT_EQ(page->status, 200) << path;
        for (const char* call : {"CB_ShowModalDialog", "CB_OpenWindow", "CB_ShowModelessDialog", "CB_OpenDlgLogin",
                                 "CB_CloseWindow", "CB_Close()", "CB_IsOurCustomBrowser"})
            EXPECT_NE(page->body.find(call), std::string::npos) << path << " lacks " << call;
    }
    auto logout = http.Get("/user/logout.asp");
    ASSERT_TRUE(logout);
    EXPECT_NE(logout->body.find("IDLE_MS = 0;"), std::string::npos); // no idle logout after a logout

    auto exe = http.Get("/Update/TamixUpdate.exe");
    ASSERT_TRUE(exe);
    EXPECT_EQ(exe->status, 200);
    EXPECT_EQ(exe->body, std::string("MZ\x90\x00update", 9));
    std::remove(update.c_str());
    auto missing = http.Get("/Update/TamixUpdate.exe");
    ASSERT_TRUE(missing);
    EXPECT_EQ(missing->status, 404);
    EXPECT_EQ(http.Get("/no/such/page")->status, 404);
}
