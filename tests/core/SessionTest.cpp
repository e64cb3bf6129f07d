#include "core/session/Session.h"
#include "core/app/ServerAddress.h"
#include "core/portal/PageOrigin.h"
#include "core/portal/PortalMenu.h"
#include "core/protocol/Codec.h"
#include "core/protocol/TextConverter.h"
#include "tests/core/support/Bytes.h"
#include "tests/core/support/MemoryStream.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

using namespace dravel;
using dravel::test::DecodeAll;
using dravel::test::Hex;
using dravel::test::MemoryStream;

namespace {

const AsciiTextConverter kAscii;

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
    uint64_t nNowMs = 0;
    bool bExitOk = true;
    uint64_t MonotonicMs() override { return nNowMs; }
    void SetReconnectTimer(bool b) override { calls.push_back(b ? "retry timer on" : "retry timer off"); }
    void ShowConnectionState(ConnectionState state, int nSeconds) override {
        calls.push_back(state == ConnectionState::Away           ? "away " + std::to_string(nSeconds)
                        : state == ConnectionState::Reconnecting ? "trying"
                                                                 : "connected");
    }
    void OnReconnected() override { calls.push_back("reconnected"); }
    bool ConfirmExitWithWaitingMessages() override { return bExitOk; }
};

class FakeRandom : public RandomSource {
public:
    double fraction = 0.5;
    double Fraction() override { return fraction; }
};

struct Fixture {
    FakeHost host;
    NullPopupHost popupHost;
    FakeClock clock;
    FakeRandom random;
    CPopupBoard popups{popupHost, clock, PopupTexts{}};
    CMainSession session{host, popups, random, "10.0.0.5"};
    Fixture() { host.pSession = &session; }
    // Logged in as kim with the password "pw".
    void LogIn() {
        session.m_strUserId = "kim";
        session.m_strPassword = "pw";
        session.Login();
    }
};

} // namespace

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

    f.LogIn();
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
    f.LogIn();
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
    f.LogIn();
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
    g.LogIn();
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
    f.LogIn();
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
    g.LogIn();
    g.host.bDialogOk = false;
    g.host.calls.clear();
    g.session.RequestEnd(SessionEndReason::ConnectionLost);
    g.session.ReLogin();
    EXPECT_EQ(g.host.calls, (std::vector<std::string>{"stop receiving", "schedule end", "dialog"}));
    // Nor does one the user confirmed start a new login on top of the ending one.
    g.host.bDialogOk = true;
    g.host.calls.clear();
    g.session.ReLogin();
    EXPECT_FALSE(g.session.Login());
    EXPECT_EQ(g.host.calls, (std::vector<std::string>{"dialog"}));
}

// A loss after the login grant keeps the session: the connection is tried again on a schedule, with the
// kept credentials, and the grant that ends the outage hands over to the windows once.
TEST(MainSession, ALossAfterTheGrantReconnectsInPlace) {
    Fixture f;
    f.LogIn();
    EXPECT_TRUE(f.session.OnLoginGranted());
    f.host.calls.clear();
    f.host.nNowMs = 1000;
    f.random.fraction = 0.5; // first wait 6 s, then twice that
    f.session.OnConnectionLost();
    EXPECT_EQ(f.host.calls, (std::vector<std::string>{"delete", "retry timer on", "away 6"}));
    EXPECT_TRUE(f.session.IsAway());
    EXPECT_FALSE(f.session.IsEndRequested());

    struct Step {
        uint64_t nNowMs;
        int nConnectFailures;
        std::vector<std::string> calls;
    };
    const Step steps[] = {
        {2500, 0, {"away 5"}},
        {7000, 1, {"trying", "create kim/pw", "connect", "delete", "away 12"}},
        {19000, 0, {"trying", "create kim/pw", "connect"}},
        // Connected but never signed in: given up after the wait, and tried again later.
        {19000 + kSignInWaitMs, 0, {"delete", "away 24"}},
    };
    for (const Step& step : steps) {
        f.host.calls.clear();
        f.host.nNowMs = step.nNowMs;
        f.host.nConnectFailures = step.nConnectFailures;
        f.session.OnReconnectTick();
        EXPECT_EQ(f.host.calls, step.calls) << step.nNowMs;
    }
    // The user's "지금 접속" does not wait; the server's grant ends the outage without a greeting.
    f.host.calls.clear();
    f.session.ReconnectNow();
    f.session.ReconnectNow(); // a try is under way: nothing more
    EXPECT_FALSE(f.session.OnLoginGranted());
    EXPECT_EQ(f.host.calls, (std::vector<std::string>{"trying", "create kim/pw", "connect", "retry timer off",
                                                      "connected", "reconnected"}));
    EXPECT_FALSE(f.session.IsAway());
    f.session.OnReconnectTick();
    EXPECT_EQ(f.host.calls.back(), "reconnected");

    // The next outage starts from the first wait again.
    f.host.calls.clear();
    f.session.OnConnectionLost();
    EXPECT_EQ(f.host.calls.back(), "away 6");
}

TEST(MainSession, WhatEndsTheSessionEndsTheRetries) {
    // Before the first grant, a loss ends the session as it always did.
    Fixture f;
    f.LogIn();
    f.host.calls.clear();
    f.session.OnConnectionLost();
    EXPECT_EQ(f.host.calls, (std::vector<std::string>{"stop receiving", "schedule end"}));

    // A sign-in answered by COM_CLOSE while away: the retries stop and the end runs.
    Fixture g;
    g.LogIn();
    g.session.OnLoginGranted();
    g.session.OnConnectionLost();
    g.session.ReconnectNow();
    g.host.calls.clear();
    g.session.RequestEnd(SessionEndReason::ServerClosed);
    EXPECT_EQ(g.host.calls,
              (std::vector<std::string>{"retry timer off", "connected", "stop receiving", "schedule end"}));
    g.host.calls.clear();
    g.session.OnReconnectTick();
    g.session.OnConnectionLost();
    EXPECT_TRUE(g.host.calls.empty());

    // Where the restart cannot be made the window stays, and a page's login is a new session that
    // uses the password typed for it.
    g.host.bRestartStarts = false;
    g.session.RunRequestedEnd();
    g.host.calls.clear();
    g.host.strDialogPassword = "new";
    g.session.ReLogin();
    EXPECT_EQ(std::vector<std::string>(g.host.calls.begin(), g.host.calls.begin() + 3),
              (std::vector<std::string>{"dialog", "notice on", "create kim/new"}));

    // The user's exit asks first while messages wait; staying changes nothing.
    g.host.bExitOk = false;
    g.host.calls.clear();
    g.session.Cancel();
    EXPECT_TRUE(g.host.calls.empty());
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
    bool OnLoginGranted() override { return true; }
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
