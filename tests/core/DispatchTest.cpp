#include "core/session/Dispatch.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <memory>
#include <string>
#include <vector>

using namespace dravel;

namespace {

// 949 texts used below.
const std::string kOrder = kOrderWord, kCancel = kCancelWord, kRequest = kRequestWord;

class FakeConversation : public ConversationTarget {
public:
    bool bOpened = true;
    bool bVisible = true;
    std::vector<std::string> calls;
    // The offers and clicks the user made in this window.
    std::vector<std::string> awaited;

    bool IsOpened() const override { return bOpened; }
    bool IsVisible() const override { return bVisible; }
    void Raise() override {
        calls.push_back("raise");
        bVisible = true;
    }
    void AppendIncoming(const std::string& name, const std::string& text, std::time_t t, bool bLog) override {
        calls.push_back("in " + name + "|" + text + "|" + std::to_string(t) + "|" + std::to_string(bLog));
    }
    void AppendOutgoing(const std::string& name, const std::string& text, std::time_t t, bool bLog) override {
        calls.push_back("out " + name + "|" + text + "|" + std::to_string(t) + "|" + std::to_string(bLog));
    }
    void AppendNotice(const std::string& text, std::time_t t) override {
        calls.push_back("notice " + text + "|" + std::to_string(t));
    }
    bool bAskedForHistory = true;
    bool LoadHistory(const std::string& key, const std::string& text, std::time_t t) override {
        calls.push_back("history " + key + "|" + text + "|" + std::to_string(t));
        return bAskedForHistory;
    }
    bool ExpectsFileReply(int32_t, const std::string& text) const override {
        return std::find(awaited.begin(), awaited.end(), text) != awaited.end();
    }
    void StartFileSend(const std::string& name, const std::string& path, std::time_t t,
                       const std::string& stamp) override {
        calls.push_back("send " + name + "|" + path + "|" + std::to_string(t) + "|" + stamp);
    }
    void ShowDuplicateFile(const std::string& name, const std::string& path, std::time_t t,
                           const std::string& stamp) override {
        calls.push_back("duplicate " + name + "|" + path + "|" + std::to_string(t) + "|" + stamp);
    }
    void StartFileReceive(const std::string& name, const std::string& file, std::time_t t) override {
        calls.push_back("receive " + name + "|" + file + "|" + std::to_string(t));
    }
};

class FakeChatList : public ChatListTarget {
public:
    std::vector<std::string> calls;
    void SetUserState(const std::string& name, bool bOnline) override {
        calls.push_back("state " + name + "|" + std::to_string(bOnline));
    }
    void AddListEntry(const std::string& name, int32_t state, const std::string& id) override {
        calls.push_back("add " + name + "|" + std::to_string(state) + "|" + id);
    }
    void EndListEntries(const std::string& name, int32_t state, const std::string& id) override {
        calls.push_back("end " + name + "|" + std::to_string(state) + "|" + id);
    }
    void LoadCollectedList(const std::string& text) override { calls.push_back("collected " + text); }
    void ResetList() override { calls.push_back("reset"); }
};

struct Popup {
    PopupKind kind;
    std::string first, second;
    bool operator==(const Popup&) const = default;
};

class FakeMain : public DispatchTarget {
public:
    std::string strName;
    int32_t nStatus = 0;
    std::string strTitle = "Dravel On";
    std::vector<std::string> events;
    std::vector<Popup> popups;
    std::vector<FakeConversation*> conversationOrder; // slot order
    std::map<std::string, std::unique_ptr<FakeConversation>> conversations;
    std::unique_ptr<FakeChatList> chatList;
    std::time_t now = 1700000000;
    int nNowCalls = 0;

    FakeConversation& AddConversation(const std::string& key) {
        auto& c = conversations[key];
        c = std::make_unique<FakeConversation>();
        conversationOrder.push_back(c.get());
        return *c;
    }

    void ReplySignIn() override { events.push_back("sign-in reply"); }
    std::string DisplayName() const override { return strName; }
    void SetIdentity(const std::string& name, int32_t status) override {
        strName = name;
        nStatus = status;
    }
    void UpdateTitle() override { strTitle = TitleWithDisplayName("Dravel On", strTitle, strName); }
    bool bFirstGrant = true;
    bool OnLoginGranted() override { return bFirstGrant; }
    void ShowPopup(PopupKind kind, const std::string& first, const std::string& second) override {
        popups.push_back({kind, first, second});
        events.push_back("popup " + std::to_string(static_cast<int>(kind)));
    }
    void NoteIncoming(const std::string& key, const std::string& peerId) override {
        events.push_back("incoming " + key + "|" + peerId);
    }
    void ShowServerNotice(const std::string& text) override { events.push_back("notice box " + text); }
    ConversationTarget* FindConversation(std::string_view key) override {
        auto it = conversations.find(std::string(key));
        return it == conversations.end() ? nullptr : it->second.get();
    }
    ChatListTarget* ChatList() override { return chatList.get(); }
    void RequestSessionEnd() override { events.push_back("end requested"); }
    std::time_t Now() override {
        ++nNowCalls;
        return now;
    }
};

CComData Record(int32_t command, std::string name = "", std::string text = "", int32_t status = 0) {
    CComData r;
    r.m_nCommand = command;
    r.m_strName = std::move(name);
    r.m_strText = std::move(text);
    r.m_nStatus = status;
    return r;
}

CComData Message(std::string name, std::string id, std::string text, int32_t status = 0) {
    CComData r = Record(COM_PRIVATE_MESSAGE, std::move(name), std::move(text), status);
    r.m_strId = std::move(id);
    return r;
}

} // namespace

TEST(Dispatch, SignInIsAnsweredAndCodesWithoutActionChangeNothing) {
    FakeMain m;
    m.chatList = std::make_unique<FakeChatList>();
    m.AddConversation("kim");
    DispatchRecord(Record(COM_SIGN_IN), m);
    EXPECT_EQ(m.events, std::vector<std::string>{"sign-in reply"});

    m.events.clear();
    for (int32_t code :
         std::initializer_list<int32_t>{0, COM_SIGN_OUT, COM_APPEND_FRIEND, COM_DELETE_FRIEND, COM_CONFIRM_MESSAGE,
                                        COM_CONNECT_CHECK, COM_MESSAGE_HISTORY, COM_MESSAGE_HISEND, COM_SIGN_TEST,
                                        COM_FILE_TRANSFER, COM_FILE_RECEIVER, 25, -1, 0x7FFFFFFF}) {
        CComData r = Message("kim", "kim01", "hello");
        r.m_nCommand = code;
        DispatchRecord(r, m);
    }
    EXPECT_TRUE(m.events.empty());
    EXPECT_TRUE(m.chatList->calls.empty());
    EXPECT_TRUE(m.conversations["kim"]->calls.empty());
}

TEST(Dispatch, LoginMessageGrantsIdentityOnlyWithANameButAlwaysGreets) {
    FakeMain m;
    CComData r = Record(COM_LOGIN_MESSAGE, "", "welcome", 1);
    r.m_strTarget = "Kim";
    DispatchRecord(r, m);
    EXPECT_EQ(m.strName, "");
    EXPECT_EQ(m.nStatus, 0);
    EXPECT_EQ(m.strTitle, "Dravel On");
    ASSERT_EQ(m.popups.size(), 1u);
    EXPECT_EQ(m.popups[0], (Popup{PopupKind::Greeting, "welcome", ""}));

    r.m_strName = "x";
    DispatchRecord(r, m);
    EXPECT_EQ(m.strName, "Kim");
    EXPECT_EQ(m.nStatus, 1);
    EXPECT_EQ(m.strTitle, "Dravel On - Kim");

    // A second grant names the user once: the title never grows.
    r.m_strTarget = "Lee";
    r.m_nStatus = 3;
    DispatchRecord(r, m);
    DispatchRecord(r, m);
    EXPECT_EQ(m.strTitle, "Dravel On - Lee");
    EXPECT_EQ(m.nStatus, 3);
    EXPECT_EQ(m.popups.size(), 4u);

    // A grant with an empty display name stores it but leaves the title alone.
    r.m_strTarget = "";
    DispatchRecord(r, m);
    EXPECT_EQ(m.strTitle, "Dravel On - Lee");

    // The grant that ends an outage does not greet again.
    m.bFirstGrant = false;
    DispatchRecord(r, m);
    EXPECT_EQ(m.popups.size(), 5u);
}

TEST(Dispatch, NoteIsACancelRequestOnlyWithAllThreeWords) {
    FakeMain m;
    DispatchRecord(Record(COM_MESSAGE_NOTE, "shop", kRequest + " x " + kOrder + kCancel), m);
    DispatchRecord(Record(COM_MESSAGE_NOTE, "shop", kOrder + " " + kCancel), m);
    DispatchRecord(Record(COM_MESSAGE_NOTE, "shop", "100% done"), m);
    ASSERT_EQ(m.popups.size(), 3u);
    EXPECT_EQ(m.popups[0], (Popup{PopupKind::CancelRequest, "shop", ""}));
    EXPECT_EQ(m.popups[1], (Popup{PopupKind::Note, kOrder + " " + kCancel, ""}));
    EXPECT_EQ(m.popups[2], (Popup{PopupKind::Note, "100% done", ""}));
}

TEST(Dispatch, WordsAreMatchedOnCharacterBoundariesOnly) {
    // "\xB0\xC1" is one character; a byte search would find "주문" (C1 D6 B9 AE) starting at its
    // trail byte. The same trap for "File_": a character ending in 'F' followed by "ile_".
    const std::string fakeOrder = "\xB0\xC1\xD6\xB9\xAE";
    EXPECT_FALSE(IsCancelRequest(fakeOrder + kCancel + kRequest));
    EXPECT_TRUE(IsCancelRequest("a" + kOrder + kCancel + kRequest));

    FakeMain m;
    m.AddConversation("kim");
    DispatchRecord(Message("kim", "kim01",
                           "\xB0"
                           "File_x"),
                   m);
    DispatchRecord(Message("kim", "kim01",
                           "\xB0\xA1"
                           "File_x"),
                   m);
    ASSERT_EQ(m.popups.size(), 1u);
    EXPECT_EQ(m.popups[0].kind, PopupKind::File);
}

TEST(Dispatch, PeerMessagePopupKindsFollowTheOrderOfTests) {
    FakeMain m;
    FakeConversation& kim = m.AddConversation("kim");
    const std::string cancel = kOrder + kCancel + kRequest;

    DispatchRecord(Message("kim", "kim01", "hi"), m); // visible: appended, no pop-up
    kim.bVisible = false;
    DispatchRecord(Message("kim", "kim01", "hi again"), m); // hidden: kind 2
    DispatchRecord(Message("lee", "lee01", "hello"), m);    // absent: kind 2
    kim.bVisible = true;
    DispatchRecord(Message("kim", "kim01", "File_report.xls"), m);          // visible but a file: 7
    DispatchRecord(Message("kim", "kim01", cancel + " File_order.xls"), m); // cancel wins over file: 6
    DispatchRecord(Message("lee", "lee01", "File_a"), m);                   // absent, file: 7
    ASSERT_EQ(m.popups.size(), 5u);
    EXPECT_EQ(m.popups[0], (Popup{PopupKind::Message, "kim", "kim01"}));
    EXPECT_EQ(m.popups[1], (Popup{PopupKind::Message, "lee", "lee01"}));
    EXPECT_EQ(m.popups[2], (Popup{PopupKind::File, "kim", "kim01"}));
    EXPECT_EQ(m.popups[3], (Popup{PopupKind::CancelRequest, "kim", "kim01"}));
    EXPECT_EQ(m.popups[4], (Popup{PopupKind::File, "lee", "lee01"}));

    ASSERT_EQ(kim.calls.size(), 4u);
    EXPECT_EQ(kim.calls[0], "in kim|hi|1700000000|1");
    // Every peer message is noted, before its pop-up, whether one follows or not.
    EXPECT_EQ(std::count(m.events.begin(), m.events.end(), "incoming kim|kim01"), 4);
    EXPECT_EQ(m.events[0], "incoming kim|kim01");
    EXPECT_EQ(m.events[1], "incoming kim|kim01");
    EXPECT_EQ(m.events[2], "popup 2");
    EXPECT_TRUE(m.conversations.count("lee") == 0) << "a record never creates a conversation";
}

TEST(Dispatch, StoredMessagesAreHandledLikeLiveOnes) {
    FakeMain m;
    FakeConversation& kim = m.AddConversation("kim");
    kim.bVisible = false;
    CComData r = Message("kim", "kim01", "old");
    r.m_nCommand = COM_PRIVATE_HISTORY;
    DispatchRecord(r, m);
    ASSERT_EQ(m.popups.size(), 1u);
    EXPECT_EQ(m.popups[0], (Popup{PopupKind::Message, "kim", "kim01"}));
    EXPECT_EQ(kim.calls, std::vector<std::string>{"in kim|old|1700000000|1"});
}

TEST(Dispatch, SubKindsReachTheirConversationAndRaiseItOnlyWhenOpenedAndHidden) {
    FakeMain m;
    FakeConversation& kim = m.AddConversation("kim");
    CComData copy = Message("Me", "me01", "sent text", kStatusOwnCopy);
    copy.m_strTarget = "kim";
    CComData notice = Message("kim", "", "kim left", kStatusConversationNotice);
    CComData history = Message("Me", "", "h1|h2", kStatusHistory);
    history.m_strTarget = "kim";

    DispatchRecord(copy, m);
    DispatchRecord(notice, m);
    DispatchRecord(history, m);
    EXPECT_EQ(kim.calls, (std::vector<std::string>{"out kim|sent text|1700000000|1", "notice kim left|1700000000",
                                                   "history kim|h1|h2|1700000000"}));

    kim.calls.clear();
    kim.bVisible = false;
    kim.bOpened = false;
    DispatchRecord(notice, m);
    EXPECT_EQ(kim.calls, std::vector<std::string>{"notice kim left|1700000000"});
    kim.bOpened = true;
    kim.bAskedForHistory = false;
    DispatchRecord(history, m);
    EXPECT_NE(kim.calls.back(), "raise"); // a reply nobody asked for brings nothing back
    kim.bAskedForHistory = true;
    DispatchRecord(history, m);
    EXPECT_EQ(kim.calls.back(), "raise");

    // Without a conversation nothing happens, and none of these ever pops up.
    copy.m_strTarget = "nobody";
    notice.m_strName = "nobody";
    history.m_strTarget = "nobody";
    DispatchRecord(copy, m);
    DispatchRecord(notice, m);
    DispatchRecord(history, m);
    EXPECT_TRUE(m.popups.empty());
    EXPECT_TRUE(m.events.empty());
}

TEST(Dispatch, ServerNoticeIsShownWithoutAnyConversation) {
    FakeMain m;
    DispatchRecord(Message("nobody", "", "maintenance at 6", kStatusServerNotice), m);
    EXPECT_EQ(m.events, std::vector<std::string>{"notice box maintenance at 6"});
    EXPECT_TRUE(m.popups.empty());
}

TEST(Dispatch, FileRepliesReachOnlyAnOpenedVisibleConversationThatAwaitsThem) {
    FakeMain m;
    FakeConversation& kim = m.AddConversation("kim");
    kim.awaited = {"C:\\docs\\a.txt", "a.txt_20261208034500"};
    CComData accept = Record(COM_FILE_ACCEPT, "kim", "C:\\docs\\a.txt");
    accept.m_strHost = "20261208034500";

    // Files nobody offered or clicked: not even the window moves.
    for (int32_t code : {COM_FILE_ACCEPT, COM_FILE_REJECT, COM_FILE_ADJUST}) {
        CComData forged = accept;
        forged.m_nCommand = code;
        forged.m_strText = "C:\\Windows\\win.ini";
        DispatchRecord(forged, m);
    }

    kim.bVisible = false; // hidden by the user: dropped
    DispatchRecord(accept, m);
    kim.bVisible = true;
    kim.bOpened = false;
    DispatchRecord(accept, m);
    EXPECT_TRUE(kim.calls.empty());
    accept.m_strName = "lee";
    DispatchRecord(accept, m);

    kim.bOpened = true;
    accept.m_strName = "kim";
    DispatchRecord(accept, m);
    CComData reject = accept;
    reject.m_nCommand = COM_FILE_REJECT;
    DispatchRecord(reject, m);
    CComData offer = Record(COM_FILE_ADJUST, "kim", "a.txt_20261208034500");
    DispatchRecord(offer, m);
    EXPECT_EQ(kim.calls, (std::vector<std::string>{"raise", "send kim|C:\\docs\\a.txt|1700000000|20261208034500",
                                                   "raise", "duplicate kim|C:\\docs\\a.txt|1700000000|20261208034500",
                                                   "raise", "receive kim|a.txt_20261208034500|1700000000"}));
    EXPECT_TRUE(m.popups.empty());
}

TEST(Dispatch, ChatListRecordsNeedTheChatListWindow) {
    FakeMain m;
    CComData entry = Record(COM_CHAT_LIST, "", "Kim", 1);
    entry.m_strId = "kim01";
    for (int32_t code : std::initializer_list<int32_t>{COM_ADD_CLIENT, COM_REMOVE_CLIENT, COM_CHAT_LIST,
                                                       COM_CHAT_LIST_END, COM_CHATLIST_COLLECT}) {
        entry.m_nCommand = code;
        DispatchRecord(entry, m); // no chat list: nothing to do, nothing breaks
    }
    EXPECT_TRUE(m.events.empty());

    m.chatList = std::make_unique<FakeChatList>();
    DispatchRecord(Record(COM_ADD_CLIENT, "Kim", "on"), m);
    DispatchRecord(Record(COM_REMOVE_CLIENT, "Lee", "off"), m);
    entry.m_nCommand = COM_CHAT_LIST;
    DispatchRecord(entry, m);
    CComData empty = entry;
    empty.m_strText.clear();
    DispatchRecord(empty, m); // an empty entry is skipped...
    empty.m_nCommand = COM_CHAT_LIST_END;
    DispatchRecord(empty, m); // ...but the end of the list is always passed on
    DispatchRecord(Record(COM_CHATLIST_COLLECT, "", "\"a\"|\"1\"|\"b\""), m);
    EXPECT_EQ(m.chatList->calls, (std::vector<std::string>{"state Kim|1", "state Lee|0", "add Kim|1|kim01",
                                                           "end |1|kim01", "collected \"a\"|\"1\"|\"b\""}));
    EXPECT_TRUE(m.popups.empty());
}

TEST(Dispatch, CloseOnlyAsksForTheEndWhichLaterShowsThePopupAndEmptiesTheList) {
    FakeMain m;
    m.strName = "Kim";
    m.chatList = std::make_unique<FakeChatList>();
    // Inside the record's handling nothing is torn down, shown or emptied: the end is only asked for.
    DispatchRecord(Record(COM_CLOSE), m);
    EXPECT_EQ(m.events, (std::vector<std::string>{"end requested"}));
    EXPECT_TRUE(m.popups.empty());
    EXPECT_TRUE(m.chatList->calls.empty());

    m.events.clear();
    AnnounceSessionEnded(m);
    EXPECT_EQ(m.events, (std::vector<std::string>{"popup 1"}));
    EXPECT_EQ(m.popups[0], (Popup{PopupKind::SessionEnded, "Kim", ""}));
    EXPECT_EQ(m.chatList->calls, std::vector<std::string>{"reset"});
}
