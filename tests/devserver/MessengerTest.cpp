#include "devserver/Messenger.h"
#include "devserver/SqliteStore.h"
#include "devserver/Text.h"

#include "core/protocol/ClientConnection.h"
#include "core/protocol/Codec.h"
#include "core/protocol/TextConverter.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <set>

using namespace dravel;
using namespace dravel::devserver;

namespace {

class FakeHost : public ServerHost {
public:
    void Send(SessionId session, const CComData& record) override { sent[session].push_back(record); }
    void SendEncoded(SessionId session, const std::string& bytes) override {
        CComData r;
        AsciiTextConverter converter;
        ASSERT_EQ(DecodeRecord(bytes, r, converter).status, DecodeStatus::Complete);
        sent[session].push_back(r);
    }
    void Close(SessionId session) override { closed.insert(session); }
    std::time_t Now() override { return now; }

    std::vector<CComData> Take(SessionId session) { return std::exchange(sent[session], {}); }

    std::map<SessionId, std::vector<CComData>> sent;
    std::set<SessionId> closed;
    std::time_t now = 1700000000;
};

std::vector<int32_t> Commands(const std::vector<CComData>& records) {
    std::vector<int32_t> out;
    for (const CComData& r : records)
        out.push_back(r.m_nCommand);
    return out;
}

class MessengerTest : public ::testing::Test {
protected:
    MessengerTest() : store(":memory:"), messenger(store, host, Options()) { store.AddDemoUsers(); }

    MessengerOptions Options() {
        MessengerOptions o;
        o.strFilesDir = "/nonexistent";
        return o;
    }

    // Connects a session and signs it in; the records it got are taken.
    void SignIn(SessionId id, const std::string& user, const std::string& password,
                const std::string& address = "127.0.0.1") {
        messenger.OnConnect(id, address);
        CComData r;
        r.m_nCommand = COM_SIGN_IN;
        r.m_strId = user;
        r.m_strPassword = password;
        r.m_strName = user;
        r.m_strTarget = kServerWord;
        r.m_strText = "Login 3.80.33";
        messenger.OnRecord(id, r);
    }

    CComData From(const std::string& user, int32_t command, const std::string& target, const std::string& text) {
        CComData r;
        r.m_nCommand = command;
        r.m_strId = user;
        r.m_strPassword = "whatever";
        r.m_strTarget = target;
        r.m_strText = text;
        r.m_nStatus = 1;
        return r;
    }

    FakeHost host;
    CSqliteStore store;
    CMessenger messenger;
};

} // namespace

TEST_F(MessengerTest, SignInGrantsNameAndTellsTheOthers) {
    SignIn(2, "kim", "kim123");
    SignIn(1, "lee", "lee123");

    std::vector<CComData> toLee = host.Take(1);
    ASSERT_EQ(Commands(toLee), (std::vector<int32_t>{COM_SIGN_IN, COM_LOGIN_MESSAGE}));
    EXPECT_EQ(toLee[1].m_strTarget, K("이영희"));
    EXPECT_FALSE(toLee[1].m_strName.empty()); // the client stores the name only when this is set
    EXPECT_EQ(toLee[1].m_nStatus, 1);
    EXPECT_NE(toLee[1].m_strText.find(K("이영희")), std::string::npos);

    std::vector<CComData> toKim = host.Take(2);
    ASSERT_EQ(Commands(toKim), (std::vector<int32_t>{COM_SIGN_IN, COM_LOGIN_MESSAGE, COM_ADD_CLIENT}));
    EXPECT_EQ(toKim[2].m_strName, K("이영희"));
    EXPECT_EQ(toKim[2].m_strId, "lee");

    messenger.OnDisconnect(1);
    std::vector<CComData> gone = host.Take(2);
    ASSERT_EQ(Commands(gone), std::vector<int32_t>{COM_REMOVE_CLIENT});
    EXPECT_EQ(gone[0].m_strName, K("이영희"));
}

TEST_F(MessengerTest, WrongPasswordOrUnknownUserGetsNoticeAndClose) {
    SignIn(1, "kim", "nope");
    SignIn(2, "ghost", "x");
    for (SessionId id : {SessionId{1}, SessionId{2}}) {
        std::vector<CComData> out = host.Take(id);
        ASSERT_EQ(Commands(out), (std::vector<int32_t>{COM_SIGN_IN, COM_PRIVATE_MESSAGE, COM_CLOSE}));
        EXPECT_EQ(out[1].m_nStatus, kStatusServerNotice);
        EXPECT_FALSE(out[1].m_strText.empty());
        EXPECT_TRUE(host.closed.count(id));
    }
    EXPECT_TRUE(messenger.OnlineUsers().empty());
    // Nothing but a sign-in is heard from a connection that has not signed in.
    messenger.OnConnect(3, "127.0.0.1");
    messenger.OnRecord(3, From("kim", COM_PRIVATE_MESSAGE, "lee", K("이영희") + ": hi"));
    EXPECT_EQ(store.MessageCount(), 0);
}

TEST_F(MessengerTest, NewestSignInOfTheSameUserWins) {
    SignIn(1, "kim", "kim123");
    SignIn(2, "lee", "lee123");
    host.Take(1);
    host.Take(2);
    SignIn(3, "kim", "kim123");
    std::vector<CComData> old = host.Take(1);
    ASSERT_EQ(Commands(old), (std::vector<int32_t>{COM_PRIVATE_MESSAGE, COM_CLOSE}));
    EXPECT_TRUE(host.closed.count(1));
    EXPECT_EQ(messenger.SessionOf("kim"), SessionId{3});
    // The old connection's end does not take the user off line.
    messenger.OnDisconnect(1);
    EXPECT_EQ(Commands(host.Take(2)), std::vector<int32_t>{COM_ADD_CLIENT});
    EXPECT_EQ(messenger.SessionOf("kim"), SessionId{3});
}

TEST_F(MessengerTest, PrivateMessageIsRelayedWithoutPrefixStoredAndKeptForOfflineUsers) {
    SignIn(1, "kim", "kim123");
    SignIn(2, "lee", "lee123");
    host.Take(1);
    host.Take(2);

    messenger.OnRecord(1, From("kim", COM_PRIVATE_MESSAGE, "lee", K("이영희") + ": " + K("안녕하세요")));
    std::vector<CComData> toLee = host.Take(2);
    ASSERT_EQ(toLee.size(), 1u);
    EXPECT_EQ(toLee[0].m_nCommand, COM_PRIVATE_MESSAGE);
    EXPECT_EQ(toLee[0].m_strName, K("김철수"));
    EXPECT_EQ(toLee[0].m_strId, "kim");
    EXPECT_EQ(toLee[0].m_strText, K("안녕하세요"));
    EXPECT_GE(toLee[0].m_nStatus, 0);
    EXPECT_TRUE(host.Take(1).empty()); // the sender shows its own copy already

    // A record claiming another sender is sent as the signed-in user.
    messenger.OnRecord(1, From("park", COM_PRIVATE_MESSAGE, "lee", K("이영희") + ": x"));
    EXPECT_EQ(host.Take(2).at(0).m_strId, "kim");

    // park is off line: kept, then delivered once at sign-in, in order.
    messenger.OnRecord(1, From("kim", COM_PRIVATE_MESSAGE, "park", K("박민수") + ": one"));
    messenger.OnRecord(2, From("lee", COM_PRIVATE_MESSAGE, "park", K("박민수") + ": two"));
    SignIn(3, "park", "park123");
    std::vector<CComData> toPark = host.Take(3);
    ASSERT_EQ(Commands(toPark),
              (std::vector<int32_t>{COM_SIGN_IN, COM_LOGIN_MESSAGE, COM_PRIVATE_MESSAGE, COM_PRIVATE_MESSAGE}));
    EXPECT_EQ(toPark[2].m_strText, "one");
    EXPECT_EQ(toPark[3].m_strText, "two");
    EXPECT_EQ(toPark[3].m_strName, K("이영희"));
    messenger.OnDisconnect(3);
    SignIn(4, "park", "park123");
    EXPECT_EQ(Commands(host.Take(4)), (std::vector<int32_t>{COM_SIGN_IN, COM_LOGIN_MESSAGE}));
    EXPECT_EQ(store.MessageCount(), 4);

    // An unknown addressee is told inside the conversation, under the key the client used.
    host.Take(1);
    messenger.OnRecord(1, From("kim", COM_PRIVATE_MESSAGE, "nobody", "Nobody: hi"));
    std::vector<CComData> notice = host.Take(1);
    ASSERT_EQ(notice.size(), 1u);
    EXPECT_EQ(notice[0].m_nStatus, kStatusConversationNotice);
    EXPECT_EQ(notice[0].m_strName, "Nobody");
}

TEST_F(MessengerTest, HistoryReplyQuotesFieldsAndMarksOwnMessages) {
    SignIn(1, "kim", "kim123");
    SignIn(2, "lee", "lee123");
    host.now = StampToTime("20240102150405");
    messenger.OnRecord(1, From("kim", COM_PRIVATE_MESSAGE, "lee", K("이영희") + ": say \"hi\""));
    messenger.OnRecord(2, From("lee", COM_PRIVATE_MESSAGE, "kim", K("김철수") + ": a|b"));
    host.Take(1);
    messenger.OnRecord(1, From("kim", COM_PRIVATE_HISTORY, "lee", ""));
    std::vector<CComData> reply = host.Take(1);
    ASSERT_EQ(reply.size(), 1u);
    EXPECT_EQ(reply[0].m_nCommand, COM_PRIVATE_HISTORY);
    EXPECT_EQ(reply[0].m_nStatus, kStatusHistory);
    EXPECT_EQ(reply[0].m_strTarget, K("이영희")); // the conversation key
    EXPECT_EQ(reply[0].m_strText, "\">\"|\"say \"\"hi\"\"\"|\"2024-01-02 PM 03:04:05\"|"
                                  "\"<\"|\"a\xA3\xFC"
                                  "b\"|\"2024-01-02 PM 03:04:05\"|");
    // Seen from the other side the markers swap.
    host.Take(2);
    messenger.OnRecord(2, From("lee", COM_PRIVATE_HISTORY, "kim", ""));
    EXPECT_EQ(host.Take(2).at(0).m_strText.substr(0, 4), "\"<\"|");
    // An empty conversation is an empty text.
    messenger.OnRecord(1, From("kim", COM_PRIVATE_HISTORY, "park", ""));
    EXPECT_EQ(host.Take(1).at(0).m_strText, "");
}

TEST_F(MessengerTest, ListsInBothFormsAndFriendChanges) {
    SignIn(1, "kim", "kim123");
    SignIn(2, "lee", "lee123");
    host.Take(1);
    messenger.OnRecord(1, From("kim", COM_CHATLIST_COLLECT, kFriendsList, ""));
    std::vector<CComData> friends = host.Take(1);
    ASSERT_EQ(friends.size(), 1u);
    EXPECT_EQ(friends[0].m_nCommand, COM_CHATLIST_COLLECT);
    EXPECT_EQ(friends[0].m_strText, "\"lee\"|\"1\"|\"" + K("이영희") + "\"|\"park\"|\"0\"|\"" + K("박민수") + "\"|");

    messenger.OnRecord(1, From("kim", COM_DELETE_FRIEND, kServerWord, "park"));
    messenger.OnRecord(1, From("kim", COM_APPEND_FRIEND, kServerWord, "tervo"));
    messenger.OnRecord(1, From("kim", COM_APPEND_FRIEND, kServerWord, "kim"));    // oneself: ignored
    messenger.OnRecord(1, From("kim", COM_APPEND_FRIEND, kServerWord, "nobody")); // unknown: ignored
    messenger.OnRecord(1, From("kim", COM_CHATLIST_COLLECT, kFriendsList, ""));
    EXPECT_EQ(host.Take(1).at(0).m_strText,
              "\"lee\"|\"1\"|\"" + K("이영희") + "\"|\"tervo\"|\"0\"|\"" + K("관리자") + "\"|");

    // The everybody list leaves out the asker; an unknown list name gets no answer.
    messenger.OnRecord(1, From("kim", COM_CHATLIST_COLLECT, kEverybodyList, ""));
    std::string all = host.Take(1).at(0).m_strText;
    EXPECT_EQ(all.find("\"kim\""), std::string::npos);
    EXPECT_NE(all.find("\"park\"|\"0\""), std::string::npos);
    messenger.OnRecord(1, From("kim", COM_CHATLIST_COLLECT, "other", ""));
    EXPECT_TRUE(host.Take(1).empty());

    CSqliteStore store2(":memory:");
    store2.AddDemoUsers();
    FakeHost host2;
    MessengerOptions o;
    o.listForm = ListForm::Entries;
    CMessenger entries(store2, host2, o);
    entries.OnConnect(1, "a");
    entries.OnRecord(1, [] {
        CComData r;
        r.m_nCommand = COM_SIGN_IN;
        r.m_strId = "lee";
        r.m_strPassword = "lee123";
        return r;
    }());
    host2.Take(1);
    entries.OnRecord(1, From("lee", COM_CHATLIST_COLLECT, kFriendsList, ""));
    std::vector<CComData> series = host2.Take(1);
    ASSERT_EQ(Commands(series), (std::vector<int32_t>{COM_CHAT_LIST, COM_CHAT_LIST, COM_CHAT_LIST_END}));
    EXPECT_EQ(series[0].m_strText, K("김철수"));
    EXPECT_EQ(series[0].m_strId, "kim");
    EXPECT_EQ(series[0].m_nStatus, 0);
    EXPECT_EQ(series[1].m_strId, "park");
}

TEST_F(MessengerTest, AdministratorNoteReachesEveryUserOthersAreRefused) {
    SignIn(1, "tervo", "tervo123");
    SignIn(2, "kim", "kim123");
    host.Take(1);
    host.Take(2);
    CComData note = From("tervo", COM_PRIVATE_MESSAGE, "", K("점검 안내"));
    note.m_strName = kServerWord;
    messenger.OnRecord(1, note);
    std::vector<CComData> toKim = host.Take(2);
    ASSERT_EQ(Commands(toKim), std::vector<int32_t>{COM_MESSAGE_NOTE});
    EXPECT_EQ(toKim[0].m_strText, K("점검 안내"));
    EXPECT_EQ(toKim[0].m_strName, K("관리자"));
    SignIn(3, "park", "park123"); // off line at the time: gets it at sign-in
    EXPECT_EQ(Commands(host.Take(3)).back(), COM_MESSAGE_NOTE);

    note.m_strId = "kim";
    host.Take(2);
    messenger.OnRecord(2, note);
    std::vector<CComData> refused = host.Take(2);
    ASSERT_EQ(refused.size(), 1u);
    EXPECT_EQ(refused[0].m_nStatus, kStatusServerNotice);
    EXPECT_TRUE(host.Take(3).empty());
}

TEST_F(MessengerTest, FileOfferDuplicateRefusalUploadAndDownloadPairing) {
    std::filesystem::path dir = std::filesystem::temp_directory_path() / "devserver-messenger-test";
    std::filesystem::create_directories(dir);
    CSqliteStore fileStore(":memory:");
    fileStore.AddDemoUsers();
    MessengerOptions o;
    o.strFilesDir = dir.string();
    CMessenger m(fileStore, host, o);
    auto signIn = [&](SessionId id, const char* user, const char* password, const char* address) {
        m.OnConnect(id, address);
        CComData r;
        r.m_nCommand = COM_SIGN_IN;
        r.m_strId = user;
        r.m_strPassword = password;
        m.OnRecord(id, r);
        host.Take(id);
    };
    signIn(1, "kim", "kim123", "10.0.0.1");
    signIn(2, "lee", "lee123", "10.0.0.2");
    host.Take(1);
    host.now = StampToTime("20240102150405");

    const std::string path = "C:\\docs\\report.xls";
    m.OnRecord(1, From("kim", COM_FILE_TRANSFER, "lee", K("이영희") + ": " + path));
    std::vector<CComData> accept = host.Take(1);
    ASSERT_EQ(Commands(accept), std::vector<int32_t>{COM_FILE_ACCEPT});
    EXPECT_EQ(accept[0].m_strName, K("이영희"));
    EXPECT_EQ(accept[0].m_strText, path);
    EXPECT_EQ(accept[0].m_strHost, "20240102150405");

    // The same name in the same minute is refused; another name, or the next minute, is not.
    host.now += 30;
    m.OnRecord(1, From("kim", COM_FILE_TRANSFER, "lee", K("이영희") + ": D:\\other\\report.xls"));
    EXPECT_EQ(Commands(host.Take(1)), std::vector<int32_t>{COM_FILE_REJECT});
    m.OnRecord(1, From("kim", COM_FILE_TRANSFER, "lee", K("이영희") + ": C:\\docs\\plan.doc"));
    EXPECT_EQ(Commands(host.Take(1)), std::vector<int32_t>{COM_FILE_ACCEPT});
    host.now += 30;
    m.OnRecord(1, From("kim", COM_FILE_TRANSFER, "lee", K("이영희") + ": " + path));
    EXPECT_EQ(Commands(host.Take(1)), std::vector<int32_t>{COM_FILE_ACCEPT});

    // Only an announced name is taken, once, and never with a negative or oversized length.
    EXPECT_FALSE(m.OnUploadHeader("kim_lee_secret.txt.202401021504", 10));
    EXPECT_FALSE(m.OnUploadHeader("kim_lee_report.xls.202401021504", -1));
    std::optional<UploadTicket> ticket = m.OnUploadHeader("kim_lee_report.xls.202401021504", 5);
    ASSERT_TRUE(ticket);
    EXPECT_FALSE(m.OnUploadHeader("kim_lee_report.xls.202401021504", 5));
    EXPECT_EQ(std::filesystem::path(ticket->strPath).parent_path(), dir);

    // Before the upload completes, asking for the file finds nothing.
    CComData ask = From("lee", COM_FILE_RECEIVER, "lee", "report.xls.202401021504");
    ask.m_strId = "kim"; // uploader
    ask.m_strName = K("김철수");
    m.OnRecord(2, ask);
    EXPECT_EQ(host.Take(2).at(0).m_nStatus, kStatusConversationNotice);

    {
        std::FILE* f = std::fopen(ticket->strPath.c_str(), "wb");
        std::fputs("hello", f);
        std::fclose(f);
    }
    m.OnUploadComplete(*ticket);
    std::vector<CComData> announce = host.Take(2);
    ASSERT_EQ(announce.size(), 1u);
    EXPECT_EQ(announce[0].m_nCommand, COM_PRIVATE_MESSAGE);
    EXPECT_EQ(announce[0].m_strName, K("김철수"));
    // The offer's time rides along, so the key the client derives from it is the stored one.
    EXPECT_EQ(announce[0].m_strText, "File_report.xls|2024-01-02 PM 03:04:05");

    // A download connection without an announced file gets nothing.
    EXPECT_FALSE(m.OnDownloadConnect("10.0.0.2"));
    m.OnRecord(2, ask);
    std::vector<CComData> adjust = host.Take(2);
    ASSERT_EQ(Commands(adjust), std::vector<int32_t>{COM_FILE_ADJUST});
    EXPECT_EQ(adjust[0].m_strName, K("김철수"));
    EXPECT_EQ(adjust[0].m_strText, "report.xls.202401021504");
    EXPECT_FALSE(m.OnDownloadConnect("10.0.0.1")); // another client's address
    std::optional<DownloadTicket> down = m.OnDownloadConnect("10.0.0.2");
    ASSERT_TRUE(down);
    EXPECT_EQ(down->nSize, 5);
    EXPECT_FALSE(m.OnDownloadConnect("10.0.0.2")); // one connection per announcement

    // The uploader may fetch its own file back; a third user may not.
    CComData own = ask;
    own.m_strName = K("이영희");
    m.OnRecord(1, own);
    EXPECT_EQ(Commands(host.Take(1)), std::vector<int32_t>{COM_FILE_ADJUST});
    signIn(3, "park", "park123", "10.0.0.3");
    m.OnRecord(3, ask);
    EXPECT_EQ(host.Take(3).at(0).m_nStatus, kStatusConversationNotice);
    EXPECT_FALSE(m.OnDownloadConnect("10.0.0.3"));

    // An announcement waits a limited time for its connection.
    m.OnRecord(2, ask);
    host.Take(2);
    host.now += o.nDownloadWaitSeconds + 1;
    EXPECT_FALSE(m.OnDownloadConnect("10.0.0.2"));

    // A failed upload leaves neither a file nor an entry.
    std::optional<UploadTicket> plan = m.OnUploadHeader("kim_lee_plan.doc.202401021504", 3);
    ASSERT_TRUE(plan);
    m.OnUploadFailed(*plan);
    EXPECT_FALSE(fileStore.FindFile(plan->nFileId));
    std::filesystem::remove_all(dir);
}
