#include "core/app/ServerAddress.h"
#include "core/portal/PageOrigin.h"
#include "core/portal/PortalMenu.h"
#include "core/protocol/Codec.h"
#include "core/protocol/TextConverter.h"
#include "core/session/Session.h"
#include "tests/core/support/Bytes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

using namespace dravel;
using dravel::test::Hex;

namespace {

const AsciiTextConverter kAscii;

// A socket that keeps what is written and hands out what was queued.
class MemoryStream : public ByteStream {
public:
    std::string strWritten;
    std::string strIncoming;
    bool bFailWrites = false;

    WriteResult Write(const char* data, size_t size) override {
        if (bFailWrites)
            return {WriteStatus::Error, 0};
        strWritten.append(data, size);
        return {WriteStatus::Taken, size};
    }
    ReadResult Read(char* buffer, size_t capacity) override {
        if (strIncoming.empty())
            return {ReadStatus::WouldBlock, 0};
        size_t n = std::min(capacity, strIncoming.size());
        std::copy_n(strIncoming.data(), n, buffer);
        strIncoming.erase(0, n);
        return {ReadStatus::Data, n};
    }
    void Close() override {}
};

std::vector<CComData> DecodeAll(const std::string& bytes) {
    std::vector<CComData> out;
    CRecordReader reader(kAscii);
    reader.Feed(bytes);
    CComData r;
    while (reader.Next(r) == DecodeStatus::Complete)
        out.push_back(r);
    return out;
}

class FakeClock : public Clock {
public:
    uint32_t nNow = 0;
    uint32_t TickCount() override { return nNow; }
};

class NullPopupHost : public PopupHost {
public:
    void StopSound() override {}
    void PlaySound() override {}
    bool ShowSlotPopup(const PopupRequest&) override { return true; }
    void ShowSharedPopup(const PopupRequest&) override {}
    void DeleteSlotPopup(int) override {}
    void OpenConversation(const std::string&, const std::string&) override {}
};

class FakeHost : public MainWindowHost {
public:
    std::vector<std::string> calls;
    bool bDialogOk = true;
    std::string strDialogId = "kim", strDialogPassword = "pw";
    std::string strDialogPreset;
    int nConnectFailures = 0;
    std::vector<bool> retryAnswers;
    bool bConfirmLogout = true;
    bool bRestartStarts = true;
    bool bConnection = false;
    std::function<void()> onClose;
    CMainSession* pSession = nullptr;
    std::vector<bool> endingWhenClosing;

    bool RunLoginDialog(std::string& id, std::string& pw) override {
        calls.push_back("dialog");
        strDialogPreset = id;
        if (!bDialogOk)
            return false;
        id = strDialogId;
        pw = strDialogPassword;
        return true;
    }
    void ShowConnectingNotice(bool bShow) override { calls.push_back(bShow ? "notice on" : "notice off"); }
    void CreateConnection(const std::string& id, const std::string& pw) override {
        calls.push_back("create " + id + "/" + pw);
        bConnection = true;
    }
    bool HasConnection() const override { return bConnection; }
    bool ConnectToServer() override {
        calls.push_back("connect");
        if (nConnectFailures > 0) {
            --nConnectFailures;
            return false;
        }
        return true;
    }
    bool AskRetryConnect() override {
        calls.push_back("retry?");
        bool b = retryAnswers.front();
        retryAnswers.erase(retryAnswers.begin());
        return b;
    }
    bool AskLogoutConfirm() override {
        calls.push_back("logout?");
        return bConfirmLogout;
    }
    void CloseConnection(bool bSendLogout) override {
        calls.push_back(bSendLogout ? "logout+delete" : "delete");
        if (pSession)
            endingWhenClosing.push_back(pSession->IsEnding());
        if (onClose)
            onClose();
        bConnection = false;
    }
    void Navigate(const std::string& url) override { calls.push_back("navigate " + url); }
    void SetConnectionCheckTimer(bool b) override { calls.push_back(b ? "timer on" : "timer off"); }
    void StopSound() override { calls.push_back("stop sound"); }
    void DestroySessionWindows() override { calls.push_back("destroy windows"); }
    void SavePlacement() override { calls.push_back("save placement"); }
    bool RequestRestart() override {
        calls.push_back("restart");
        return bRestartStarts;
    }
    void ShowRestartFailed() override { calls.push_back("restart failed"); }
    void ShowIdleLogoutMessage() override { calls.push_back("idle message"); }
    void EndMainWindow(int n) override { calls.push_back("end " + std::to_string(n)); }
    void StopReceiving() override { calls.push_back("stop receiving"); }
    void ScheduleSessionEnd() override { calls.push_back("schedule end"); }
    void AnnounceSessionEnded() override { calls.push_back("announce"); }
};

struct Fixture {
    FakeHost host;
    NullPopupHost popupHost;
    FakeClock clock;
    CPopupBoard popups{popupHost, clock, PopupTexts{}};
    CMainSession session{host, popups, "10.0.0.5"};
    Fixture() { host.pSession = &session; }
};

} // namespace

TEST(MainRules, LoginPageCarriesBothValuesPercentEncodedByteForByte) {
    EXPECT_EQ(PercentEncode("aZ09-._~"), "aZ09-._~");
    EXPECT_EQ(PercentEncode("a&b#c+d%e f=g?/"), "a%26b%23c%2Bd%25e%20f%3Dg%3F%2F");
    EXPECT_EQ(PercentEncode("\xB1\xE8\x00z"), "%B1%E8"); // C string ends at the NUL byte
    EXPECT_EQ(PercentEncode(std::string("\xB1\xE8\x00z", 4)), "%B1%E8%00z");
    EXPECT_EQ(LoginPageUrl("10.0.0.5", "kim", "p&ss #1+%"),
              "http://10.0.0.5/user/proc.asp?user_id=kim&user_password=p%26ss%20%231%2B%25");
    EXPECT_EQ(LogoutPageUrl("10.0.0.5"), "http://10.0.0.5/user/logout.asp");
    // Encrypted, every page the program opens on the portal is https: the password never travels in
    // a plain address.
    SetSecurePages(true);
    EXPECT_EQ(LoginPageUrl("10.0.0.5", "kim", "pw"), "https://10.0.0.5/user/proc.asp?user_id=kim&user_password=pw");
    EXPECT_EQ(LogoutPageUrl("10.0.0.5"), "https://10.0.0.5/user/logout.asp");
    EXPECT_EQ(PortalPageUrl("10.0.0.5", "/sm/voc/list.asp"), "https://10.0.0.5/sm/voc/list.asp");
    EXPECT_EQ(PortalWindowAddress("/sm/order/list.asp", "10.0.0.5"), "https://10.0.0.5/sm/order/list.asp");
    SetSecurePages(false);
}

TEST(MainRules, AdministratorItemOnlyForTheTwoExactIds) {
    EXPECT_TRUE(IsAdministrator("qalop7"));
    EXPECT_TRUE(IsAdministrator("tervo"));
    for (const char* id : {"Qalop7", "tervo ", "tervo7", "qalop", "", "TERVO"})
        EXPECT_FALSE(IsAdministrator(id)) << id;

    const std::wstring bulk = L"\uAD00\uB9AC\uBA54\uC138\uC9C0 \uBCF4\uB0B4\uAE30..."; // 관리메세지 보내기...
    const auto menu = [&](const char* id, const wchar_t* about, const wchar_t* chat = L"") {
        return SystemMenuItems(id, {.about = about, .bulkNote = bulk, .chatList = chat});
    };
    std::vector<SystemMenuItem> admin = menu("tervo", L"&About Dravel On...");
    ASSERT_EQ(admin.size(), 3u);
    EXPECT_TRUE(admin[0].bSeparator);
    EXPECT_EQ(admin[1].nCommand, kSysCommandBulkNote);
    EXPECT_EQ(admin[1].strText, bulk);
    EXPECT_EQ(admin[2].nCommand, kSysCommandAbout);
    EXPECT_EQ(menu("kim", L"&About Dravel On...").size(), 2u);
    // Without an About text there is no separator and no About item.
    EXPECT_TRUE(menu("kim", L"").empty());
    ASSERT_EQ(menu("qalop7", L"").size(), 1u);
    // The chat list item comes last, for everyone, whenever its text is there.
    std::vector<SystemMenuItem> withChat = menu("kim", L"&About Dravel On...", L"Chat");
    ASSERT_EQ(withChat.size(), 3u);
    EXPECT_EQ(withChat[2].nCommand, kSysCommandChatList);
    EXPECT_EQ(withChat[2].strText, L"Chat");
    EXPECT_EQ(menu("kim", L"", L"Chat").size(), 1u);

    EXPECT_EQ(ClassifySysCommand(0x10, "kim"), SysCommandAction::About);
    EXPECT_EQ(ClassifySysCommand(0x1F, "kim"), SysCommandAction::About);
    EXPECT_EQ(ClassifySysCommand(0x23, "qalop7"), SysCommandAction::BulkNote);
    EXPECT_EQ(ClassifySysCommand(0x20, "kim"), SysCommandAction::Default);
    EXPECT_EQ(ClassifySysCommand(0xF060, "qalop7"), SysCommandAction::Default);
    EXPECT_EQ(ClassifySysCommand(kSysCommandChatList, "kim"), SysCommandAction::ChatList);
    // Only the whole command: its neighbours in the same block of 16 are not the chat list.
    EXPECT_EQ(ClassifySysCommand(kSysCommandChatList - 1, "kim"), SysCommandAction::Default);
}

TEST(MainRules, StartLogLineAndPath) {
    std::tm t{};
    t.tm_year = 2026 - 1900;
    t.tm_mon = 11;
    t.tm_mday = 8;
    t.tm_hour = 15;
    t.tm_min = 4;
    t.tm_sec = 5;
    EXPECT_EQ(StartLogLine(t), "2026-12-08 PM 03:04:05 Dravel On Start   -----------------------------------------\n");
    t.tm_hour = 0;
    EXPECT_EQ(FormatLogTime(t), "2026-12-08 AM 12:04:05");
    t.tm_hour = 12;
    EXPECT_EQ(FormatLogTime(t), "2026-12-08 PM 12:04:05");
    t.tm_hour = 11;
    EXPECT_EQ(FormatLogTime(t), "2026-12-08 AM 11:04:05");

    EXPECT_EQ(StartLogPath(L"C:\\Program Files\\Tamix\\DravelOn.exe"), L"C:\\Program Files\\Tamix\\DravelOn.Log");
    EXPECT_EQ(StartLogPath(L"C:\\v1.2\\DravelOn"), L"C:\\v1.2\\DravelOn.Log");
    EXPECT_EQ(StartLogPath(L"C:\\a\\Dravel.On.exe"), L"C:\\a\\Dravel.On.Log");
}

TEST(MainRules, PlacementIsMaximisedUnlessAUsableRectangleWasKept) {
    EXPECT_TRUE(ShowMaximised({0, 0, 0, 0, 0}));
    EXPECT_TRUE(ShowMaximised({10, 20, 800, 600, 1}));
    EXPECT_FALSE(ShowMaximised({10, 20, 800, 600, 0}));
    EXPECT_FALSE(ShowMaximised({-1200, 0, -400, 600, 0})); // a monitor left of the main one
    EXPECT_TRUE(ShowMaximised({800, 20, 10, 600, 0}));
    EXPECT_TRUE(ShowMaximised({10, 600, 800, 600, 0}));
    // What a session saves is read back the same way at the next start.
    EXPECT_FALSE(ShowMaximised(PlacementToSave(10, 20, 800, 600, false)));
    EXPECT_TRUE(ShowMaximised(PlacementToSave(10, 20, 800, 600, true)));
    EXPECT_EQ(PlacementToSave(10, 20, 800, 600, true).nMax, 1);
}

TEST(MainRules, PageCloseCancelsATransferWindowAndNeverEndsItAsADialog) {
    EXPECT_EQ(DecideCloseActive(false, false, false), CloseActiveAction::Nothing);
    EXPECT_EQ(DecideCloseActive(true, true, false), CloseActiveAction::EndMainWindow);
    EXPECT_EQ(DecideCloseActive(true, false, false), CloseActiveAction::EndDialog);
    // Ending it with result 1 would report an aborted transfer as a whole file.
    EXPECT_EQ(DecideCloseActive(true, false, true), CloseActiveAction::CancelTransfer);
}

TEST(MainRules, ConnectionCheckTimerSendsOnlyAtStatusOne) {
    class NoOwner : public ConnectionOwner {
        void OnRecord(const CComData&) override {}
        void OnConnectionLost() override {}
        void ShowConnectionLost() override {}
    } owner;
    MemoryStream stream;
    CClientConnection c(owner, stream, kAscii, "kim", "pw", "10.0.0.5");
    c.m_strName = "Kim";
    EXPECT_FALSE(OnSessionTimer(kConnectionCheckTimer, &c)); // status 0 before the login grant
    c.m_nStatus = 2;
    EXPECT_FALSE(OnSessionTimer(kConnectionCheckTimer, &c));
    EXPECT_TRUE(stream.strWritten.empty());
    c.m_nStatus = 1;
    EXPECT_FALSE(OnSessionTimer(1027, &c));
    EXPECT_FALSE(OnSessionTimer(kConnectionCheckTimer, nullptr));
    EXPECT_TRUE(OnSessionTimer(kConnectionCheckTimer, &c));
    std::vector<CComData> sent = DecodeAll(stream.strWritten);
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].m_nCommand, COM_CONNECT_CHECK);
    EXPECT_EQ(sent[0].m_strText, "Connect check");
}

TEST(MainSession, CredentialsGivenSkipTheDialog) {
    Fixture f;
    f.session.m_strUserId = "kim";
    f.session.m_strPassword = "a b&c";
    f.clock.nNow = 777;
    EXPECT_TRUE(f.session.Login());
    EXPECT_EQ(f.host.calls,
              (std::vector<std::string>{"notice on", "create kim/a b&c", "connect", "notice off",
                                        "navigate http://10.0.0.5/user/proc.asp?user_id=kim&user_password=a%20b%26c",
                                        "timer on"}));
    EXPECT_TRUE(f.session.IsLoggedIn());
    EXPECT_EQ(f.popups.LoginTick(), 777u);
}

TEST(MainSession, AMissingPasswordAsksWithTheIdPresetAndCancelEndsTheLogin) {
    Fixture f;
    f.session.m_strUserId = "lee";
    f.host.bDialogOk = false;
    EXPECT_FALSE(f.session.Login());
    EXPECT_EQ(f.host.strDialogPreset, "lee");
    EXPECT_EQ(f.host.calls, std::vector<std::string>{"dialog"});
    EXPECT_FALSE(f.host.HasConnection());

    f.host.bDialogOk = true;
    EXPECT_TRUE(f.session.Login());
    EXPECT_EQ(f.session.m_strUserId, "kim");
    EXPECT_EQ(f.session.m_strPassword, "pw");
}

TEST(MainSession, RefusedConnectAsksToRetryWithTheSameConnection) {
    Fixture f;
    f.session.m_strUserId = "kim";
    f.session.m_strPassword = "pw";
    f.host.nConnectFailures = 2;
    f.host.retryAnswers = {true, true};
    EXPECT_TRUE(f.session.Login());
    EXPECT_EQ(f.host.calls, (std::vector<std::string>{
                                "notice on", "create kim/pw", "connect", "notice off", "retry?", "notice on", "connect",
                                "notice off", "retry?", "notice on", "connect", "notice off",
                                "navigate http://10.0.0.5/user/proc.asp?user_id=kim&user_password=pw", "timer on"}));

    Fixture g;
    g.session.m_strUserId = "kim";
    g.session.m_strPassword = "pw";
    g.host.nConnectFailures = 1;
    g.host.retryAnswers = {false};
    EXPECT_FALSE(g.session.Login());
    // Never connected: the connection is thrown away without a logout record.
    EXPECT_EQ(g.host.calls,
              (std::vector<std::string>{"notice on", "create kim/pw", "connect", "notice off", "retry?", "delete"}));
    EXPECT_FALSE(g.session.IsLoggedIn());
}

TEST(MainSession, LogoutAsksFirstAndNoKeepsEverything) {
    Fixture f;
    EXPECT_TRUE(f.session.LogoutWithConfirm()); // not logged in: nothing to ask
    EXPECT_TRUE(f.host.calls.empty());

    f.session.m_strUserId = "kim";
    f.session.m_strPassword = "pw";
    f.session.Login();
    f.host.calls.clear();
    f.host.bConfirmLogout = false;
    f.session.Cancel();
    EXPECT_EQ(f.host.calls, std::vector<std::string>{"logout?"});
    EXPECT_TRUE(f.session.IsLoggedIn());
    EXPECT_TRUE(f.host.HasConnection());

    f.host.calls.clear();
    f.host.bConfirmLogout = true;
    f.session.Cancel();
    EXPECT_EQ(f.host.calls,
              (std::vector<std::string>{"logout?", "logout+delete", "timer off",
                                        "navigate http://10.0.0.5/user/logout.asp", "save placement", "end 0"}));
    EXPECT_EQ(f.host.endingWhenClosing, std::vector<bool>{true});
    EXPECT_FALSE(f.session.IsEnding());
}

TEST(MainSession, TeardownRestartsOnceAndStaysLoggedOutWhenItCannot) {
    Fixture f;
    f.session.m_strUserId = "kim";
    f.session.m_strPassword = "pw";
    f.session.Login();
    f.host.calls.clear();
    // The logout send fails and its lost-connection handling asks for the teardown again.
    f.host.onClose = [&] { f.session.TeardownAndRestart(); };
    f.host.bRestartStarts = false;
    f.session.TeardownAndRestart();
    EXPECT_EQ(f.host.calls, (std::vector<std::string>{"stop sound", "logout+delete", "timer off", "destroy windows",
                                                      "save placement", "restart", "restart failed"}));
    EXPECT_FALSE(f.session.IsLoggedIn());

    // Logged out after a failed restart, the window closes without a question.
    f.host.calls.clear();
    f.host.onClose = nullptr;
    f.session.Cancel();
    EXPECT_EQ(f.host.calls,
              (std::vector<std::string>{"navigate http://10.0.0.5/user/logout.asp", "save placement", "end 0"}));
}

TEST(MainSession, IdleLogoutAndReLogin) {
    Fixture f;
    f.session.m_strUserId = "kim";
    f.session.m_strPassword = "pw";
    f.session.Login();
    f.host.calls.clear();
    // A page script asks: only the end is scheduled; it runs later from the main window's own handling.
    f.session.IdleLogout();
    EXPECT_EQ(f.host.calls, (std::vector<std::string>{"stop receiving", "schedule end"}));
    f.host.calls.clear();
    f.session.RunRequestedEnd();
    EXPECT_EQ(f.host.calls, (std::vector<std::string>{"navigate http://10.0.0.5/user/logout.asp", "idle message",
                                                      "stop sound", "logout+delete", "timer off", "destroy windows",
                                                      "save placement", "restart", "end 0"}));

    Fixture g;
    g.session.m_strUserId = "kim";
    g.session.m_strPassword = "pw";
    g.session.Login();
    g.host.calls.clear();
    g.host.strDialogId = "lee";
    g.session.ReLogin();
    // The dialog comes first; the old session is logged out only when a new one is about to start.
    EXPECT_EQ(std::vector<std::string>(g.host.calls.begin(), g.host.calls.begin() + 5),
              (std::vector<std::string>{"dialog", "logout+delete", "timer off", "notice on", "create lee/pw"}));
    EXPECT_EQ(g.host.strDialogPreset, "kim");

    g.host.calls.clear();
    g.host.bDialogOk = false;
    g.session.ReLogin();
    EXPECT_EQ(g.host.calls, (std::vector<std::string>{"dialog", "end 0"}));
}

TEST(MainSession, EveryEndIsRequestedOnceAndRunsOnce) {
    Fixture f;
    f.session.m_strUserId = "kim";
    f.session.m_strPassword = "pw";
    f.session.Login();
    f.host.calls.clear();
    // The server's close, then the lost connection and an idle logout while the first end is pending.
    f.session.RequestEnd(SessionEndReason::ServerClosed);
    f.session.RequestEnd(SessionEndReason::ConnectionLost);
    f.session.IdleLogout();
    EXPECT_EQ(f.host.calls, (std::vector<std::string>{"stop receiving", "schedule end"}));
    EXPECT_TRUE(f.session.IsEndRequested());
    f.host.calls.clear();
    f.session.RunRequestedEnd();
    f.session.RunRequestedEnd();
    EXPECT_EQ(f.host.calls, (std::vector<std::string>{"announce", "stop sound", "logout+delete", "timer off",
                                                      "destroy windows", "save placement", "restart", "end 0"}));

    // A login dialog that the pending end closed leaves the window to that end: no second way out.
    Fixture g;
    g.session.m_strUserId = "kim";
    g.session.m_strPassword = "pw";
    g.session.Login();
    g.host.bDialogOk = false;
    g.host.calls.clear();
    g.session.RequestEnd(SessionEndReason::ConnectionLost);
    g.session.ReLogin();
    EXPECT_EQ(g.host.calls, (std::vector<std::string>{"stop receiving", "schedule end", "dialog"}));
    // Nor does one the user confirmed start a new login on top of the ending one.
    g.host.bDialogOk = true;
    g.host.calls.clear();
    EXPECT_FALSE(g.session.Login());
    EXPECT_EQ(g.host.calls, (std::vector<std::string>{"dialog"}));
}

TEST(BulkNote, TextRulesAndTheEnterKey) {
    EXPECT_EQ(CheckBulkNote(""), BulkNoteCheck::Empty);
    EXPECT_EQ(CheckBulkNote("a:b"), BulkNoteCheck::Forbidden);
    EXPECT_EQ(CheckBulkNote("a|b"), BulkNoteCheck::Forbidden);
    EXPECT_EQ(CheckBulkNote("a b"), BulkNoteCheck::Ok);
    EXPECT_EQ(CheckBulkNote("line 1\r\nline 2 \xB0\xA1"), BulkNoteCheck::Ok);

    EXPECT_EQ(BulkNoteKeyRule(BulkNoteKeyTarget::NoteEdit, KeyEvent::Down, kVirtualKeyReturn), ControlKeyChange::Hold);
    EXPECT_EQ(BulkNoteKeyRule(BulkNoteKeyTarget::NoteEdit, KeyEvent::Up, kVirtualKeyReturn), ControlKeyChange::Release);
    EXPECT_EQ(BulkNoteKeyRule(BulkNoteKeyTarget::NoteEdit, KeyEvent::Down, 'A'), ControlKeyChange::None);
    EXPECT_EQ(BulkNoteKeyRule(BulkNoteKeyTarget::OkButton, KeyEvent::Down, kVirtualKeyReturn), ControlKeyChange::None);
    EXPECT_EQ(BulkNoteKeyRule(BulkNoteKeyTarget::CancelButton, KeyEvent::Up, kVirtualKeyReturn),
              ControlKeyChange::None);
}

TEST(BulkNote, SentAsTheAdministratorFormOfAPrivateMessage) {
    EXPECT_FALSE(SendBulkNote(nullptr, "hello"));
    class NoOwner : public ConnectionOwner {
        void OnRecord(const CComData&) override {}
        void OnConnectionLost() override {}
        void ShowConnectionLost() override {}
    } owner;
    MemoryStream stream;
    CClientConnection c(owner, stream, kAscii, "tervo", "pw", "10.0.0.5");
    c.m_strName = "Admin";
    c.m_nStatus = 1;
    EXPECT_TRUE(SendBulkNote(&c, "line 1\r\nline 2"));
    CComData expected;
    expected.m_strId = "tervo";
    expected.m_strPassword = "pw";
    expected.m_strName = "Server";
    expected.m_nStatus = 1;
    expected.m_strText = "line 1\r\nline 2";
    expected.m_nCommand = COM_PRIVATE_MESSAGE;
    EXPECT_EQ(Hex(stream.strWritten), Hex(EncodeRecord(expected)));
}

namespace {

// The main window's wiring in miniature: the connection hands records to the dispatch, whose target
// keeps the identity in the connection and ends the session by deleting it.
class WiredMain : public ConnectionOwner, public DispatchTarget, public NullPopupHost {
public:
    MemoryStream stream;
    FakeClock clock;
    CPopupBoard popups{*this, clock, PopupTexts{}};
    std::unique_ptr<CClientConnection> pConnection;
    std::vector<PopupKind> shownKinds;
    std::string strTitle = "Dravel On";

    WiredMain() { pConnection = std::make_unique<CClientConnection>(*this, stream, kAscii, "kim", "pw", "h"); }

    void OnRecord(const CComData& r) override { DispatchRecord(r, *this); }
    void OnConnectionLost() override { RequestSessionEnd(); }
    void ShowConnectionLost() override {}

    void ReplySignIn() override { pConnection->SendSignIn("3.80"); }
    std::string DisplayName() const override { return pConnection ? pConnection->m_strName : std::string(); }
    void SetIdentity(const std::string& name, int32_t status) override {
        pConnection->m_strName = name;
        pConnection->m_nStatus = status;
    }
    void UpdateTitle() override { strTitle = TitleWithDisplayName("Dravel On", strTitle, DisplayName()); }
    void ShowPopup(PopupKind kind, const std::string& first, const std::string& second) override {
        if (popups.Show(kind, first, second) == PopupResult::Shown)
            shownKinds.push_back(kind);
    }
    void ShowServerNotice(const std::string&) override {}
    ConversationTarget* FindConversation(std::string_view) override { return nullptr; }
    ChatListTarget* ChatList() override { return nullptr; }
    // The end the main window runs later: the pop-up, then the connection goes.
    void RequestSessionEnd() override {
        bEndRequested = true;
        pConnection->StopReading();
    }
    void RunEnd() {
        AnnounceSessionEnded(*this);
        pConnection.reset();
    }
    bool bEndRequested = false;
    std::time_t Now() override { return 0; }
};

} // namespace

TEST(SessionWiring, ARecordStreamRunsTheSessionUntilTheServerClosesIt) {
    WiredMain m;
    m.popups.MarkLogin();
    CComData signIn;
    signIn.m_nCommand = COM_SIGN_IN;
    CComData login;
    login.m_nCommand = COM_LOGIN_MESSAGE;
    login.m_strName = "x";
    login.m_strTarget = "Kim";
    login.m_nStatus = 1;
    login.m_strText = "hi";
    CComData note;
    note.m_nCommand = COM_MESSAGE_NOTE;
    note.m_strText = "memo";
    CComData close;
    close.m_nCommand = COM_CLOSE;
    for (const CComData* r : {&signIn, &login, &note, &close, &note})
        m.stream.strIncoming += EncodeRecord(*r);

    m.pConnection->ReadPendingRecords();
    // The pass is over before the session ends.
    ASSERT_TRUE(m.bEndRequested);
    ASSERT_NE(m.pConnection, nullptr);
    m.RunEnd();

    CComData reply;
    reply.m_strId = "kim";
    reply.m_strPassword = "pw";
    reply.m_strName = "kim";
    reply.m_strTarget = "Server";
    reply.m_strText = "Login 3.80";
    reply.m_nCommand = COM_SIGN_IN;
    EXPECT_EQ(Hex(m.stream.strWritten), Hex(EncodeRecord(reply)));
    EXPECT_EQ(m.strTitle, "Dravel On - Kim");
    // The note after COM_CLOSE is never handled: the session ended with the connection.
    EXPECT_EQ(m.shownKinds, (std::vector<PopupKind>{PopupKind::Greeting, PopupKind::Note, PopupKind::SessionEnded}));
    EXPECT_EQ(m.pConnection, nullptr);
}

TEST(LoginRules, RememberedIdComesBackWholeUpToSixtyThreeBytes) {
    const std::string id63(63, 'a');
    EXPECT_EQ(RememberedLoginId(id63), id63);
    EXPECT_EQ(RememberedLoginId(id63 + std::string(1, '\0')), id63); // stored with its end mark
    EXPECT_EQ(RememberedLoginId(std::string(64, 'a')), std::nullopt);
    EXPECT_EQ(RememberedLoginId(std::string("ki\0m", 4)), std::nullopt);
    EXPECT_EQ(RememberedLoginId(std::string(1, '\0')), std::nullopt);
    EXPECT_EQ(RememberedLoginId("\xB1\xE8\xC3\xB6\xBC\xF6"), "\xB1\xE8\xC3\xB6\xBC\xF6");
    EXPECT_FALSE(LoginInputComplete("kim", ""));
    EXPECT_FALSE(LoginInputComplete("", "pw"));
    EXPECT_EQ(CustomFunctionText(L"a%sb", -5), L"parameter 1: a%sb\nparameter 2:  -5");
}

TEST(MainRules, PanelStandsInUnlessTheBrowserReachedAnInteractivePage) {
    // Wine's control without an engine stays at loading (1); a failed load never leaves it.
    EXPECT_TRUE(ShowNoPagePanel(true, 0));
    EXPECT_TRUE(ShowNoPagePanel(true, 1));
    EXPECT_TRUE(ShowNoPagePanel(true, 2));
    EXPECT_FALSE(ShowNoPagePanel(true, 3));
    EXPECT_FALSE(ShowNoPagePanel(true, 4));
    EXPECT_TRUE(ShowNoPagePanel(false, 4));
}
