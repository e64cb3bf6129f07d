#pragma once

// The session's decisions, kept apart from its windows. The session host (CSessionHost, win/session)
// holds one CMainSession, one CWindowTable and one CPopupBoard, and implements the interfaces below with
// thin Win32 code; every rule lives here and is tested natively.
//
// What the Win32 side implements:
// - ConnectionOwner (protocol/ClientConnection.h), by the session's link (one per connection): records go
//   to DispatchRecord, a loss to CMainSession::OnConnectionLost, which ends a session not yet granted and
//   otherwise tries again while the windows stay.
// - DispatchTarget (Dispatch.h), by the session host: the sign-in reply, identity and title, ShowPopup
//   (forwards to CPopupBoard::Show), the server notice box, FindConversation (CWindowTable::
//   FindConversation, then the window of that slot), the chat list, RequestSessionEnd (forwards to
//   CMainSession::RequestEnd), Now.
// - ConversationTarget (Dispatch.h), by each conversation window; ChatListTarget by the chat list.
// - WindowTableHost (WindowTable.h), by the session host: makes, shows and starts the windows of the
//   slots that CWindowTable picks. A SlotResult::Full shows one box, nothing more.
// - PopupHost (Popups.h), by the session host: the alert sound, the notifiers of the 16 slots and the
//   shared one, and OpenConversation for a click. WM_USER+1 goes to CPopupBoard::OnClick with the
//   click data copied out of the notifier.
// - Clock (Popups.h): the millisecond tick count.
// - MainWindowHost (below), by the session host (reaching the main window through its
//   own narrow interface): dialogs, questions, the connection's life, the browser,
//   timer 1028, placement and restart. WM_TIMER goes to OnSessionTimer, WM_SYSCOMMAND to
//   ClassifySysCommand, the system menu is built from SystemMenuItems (MainRules.h).
// - The login dialog uses RememberedLoginId and LoginInputComplete (LoginRules.h); the portal window
//   and the chat list follow DecideSingleWindow (WindowTable.h); CB_CloseWindow follows DecideCloseActive.
// - The bulk note dialog uses CheckBulkNote and BulkNoteKeyRule; the session host sends with SendBulkNote
//   (BulkNote.h).
// All texts here are code page 949 bytes; the Win32 side converts where they meet the screen.

#include "core/session/BulkNote.h"
#include "core/session/Dispatch.h"
#include "core/session/LoginRules.h"
#include "core/session/MainRules.h"
#include "core/session/Popups.h"
#include "core/session/Reconnect.h"
#include "core/session/WindowTable.h"

#include <string>

namespace dravel {

enum class ConnectionState { Connected, Away, Reconnecting };

// How often the countdown of a lost connection is brought up to date (kReconnectTimer).
inline constexpr uint32_t kReconnectTickMs = 1000;
// A try that connected but was not signed in by the server within this time is dropped and tried again.
inline constexpr uint64_t kSignInWaitMs = 30000;

// The main window's side of logging in, out and restarting.
class MainWindowHost {
public:
    virtual ~MainWindowHost() = default;
    // Runs the login dialog modally with `strUserId` preset. True on OK; both texts are then filled in.
    virtual bool RunLoginDialog(std::string& strUserId, std::string& strPassword) = 0;
    virtual void ShowConnectingNotice(bool bShow) = 0;
    // Makes the connection with these credentials and puts it in the application's pointer.
    virtual void CreateConnection(const std::string& userId, const std::string& password) = 0;
    virtual bool HasConnection() const = 0;
    // Connects the connection to the server host on port 8200.
    virtual bool ConnectToServer() = 0;
    // "접속실패. 연결을 다시 시도하시겠습니까?", Yes and No, question icon. True for Yes.
    virtual bool AskRetryConnect() = 0;
    // String-table entry 106, Yes and No, question icon. True for Yes.
    virtual bool AskLogoutConfirm() = 0;
    // Sends COM_SIGN_OUT first if asked (nothing goes out on a broken connection), then deletes the
    // connection and clears the application's pointer.
    virtual void CloseConnection(bool bSendLogout) = 0;
    // Navigates the main window's browser and updates the window.
    virtual void Navigate(const std::string& url) = 0;
    virtual void SetConnectionCheckTimer(bool bRunning) = 0;
    virtual void StopSound() = 0;
    // Destroys the visible conversation and portal pop-up windows from the slot count down, then the
    // chat list and the portal window.
    virtual void DestroySessionWindows() = 0;
    virtual void SavePlacement() = 0;
    // Starts the new process with "--Restart"; false if it could not be started.
    virtual bool RequestRestart() = 0;
    // "Dravel On 을 재실행할 수 없습니다.", caption "DravelOn", warning icon.
    virtual void ShowRestartFailed() = 0;
    // "20분간 키 입력이 없어 자동 logout 되었습니다.", caption "Dravel On", OK, no icon.
    virtual void ShowIdleLogoutMessage() = 0;
    virtual void EndMainWindow(int nResult) = 0;
    // A session end was asked for: no further record may be handled (the connection stays, so the
    // teardown can still log out).
    virtual void StopReceiving() = 0;
    // Arranges for RunRequestedEnd to be called from the main window's own message handling, once no
    // handler of ours is running below it (modal loops of the session are closed for that).
    virtual void ScheduleSessionEnd() = 0;
    // The session-ended pop-up and the emptied chat list (AnnounceSessionEnded).
    virtual void AnnounceSessionEnded() = 0;

    // Milliseconds of a monotonic clock, for the retries of a lost connection.
    virtual uint64_t MonotonicMs() = 0;
    // The reconnect timer: a tick every kReconnectTickMs while the connection is away (OnReconnectTick).
    virtual void SetReconnectTimer(bool bRunning) = 0;
    // What the main window's panel and the tray's tooltip say: away with the seconds to the next try,
    // a try under way, or nothing (connected).
    virtual void ShowConnectionState(ConnectionState state, int nSecondsLeft) = 0;
    // The connection is back after an outage and signed in: what was missed is fetched and what waited
    // goes out.
    virtual void OnReconnected() = 0;
    // Before the program ends on the user's exit: false when messages still wait to go out and the user
    // chose to stay.
    virtual bool ConfirmExitWithWaitingMessages() = 0;
};

// Why a session ends other than by the user's own exit.
enum class SessionEndReason {
    ServerClosed,   // COM_CLOSE
    ConnectionLost, // a close, reset, failed send or stalled send before the first login was granted
    IdleLogout,     // the portal page found 20 minutes without key input
};

// Login, logout, teardown and restart of the main window's session.
class CMainSession {
public:
    CMainSession(MainWindowHost& host, CPopupBoard& popups, RandomSource& random, std::string strServerHost)
        : m_host(host), m_popups(popups), m_retries(random), m_strServerHost(std::move(strServerHost)) {}

    // Set by the application before the window runs (may be empty); replaced by the login dialog.
    std::string m_strUserId;
    std::string m_strPassword;

    bool IsLoggedIn() const { return m_bLoggedIn; }
    // True while a logout or teardown runs: a connection failing then needs no handling of its own.
    bool IsEnding() const { return m_nEnding > 0; }

    // The login sequence: dialog when a credential is missing, connect with the retry question, the
    // login page, the connection check. False when the user gave up.
    bool Login();
    // Asks before logging out; false when the user said No (nothing changes then).
    bool LogoutWithConfirm();
    // Escape, the close box, the tray's exit: logout with confirmation, the logout page, placement, end.
    void Cancel();
    // Every end of a session other than the user's own exit comes here, from wherever it was noticed:
    // records stop, and the end is scheduled. A second request while one is pending changes nothing.
    void RequestEnd(SessionEndReason reason);
    bool IsEndRequested() const { return m_bEndRequested; }
    // Runs the requested end, from the main window's own message handling: what the user is told
    // (the idle logout page and message, or the session-ended pop-up), then the teardown and restart.
    // Once.
    void RunRequestedEnd();
    // The teardown itself: logout, windows destroyed, placement saved, restart.
    void TeardownAndRestart();
    // The portal page found 20 minutes without key input: a requested end.
    void IdleLogout();
    // The portal page asks for a fresh login.
    void ReLogin();

    // The connection ended under us. Before the first login grant the session ends as for COM_CLOSE;
    // afterwards the connection is dropped and tried again, the windows stay and the password kept in
    // memory answers the server's next sign-in question.
    void OnConnectionLost();
    // The server granted the login (COM_LOGIN_MESSAGE). True for the session's first grant; false when
    // it ends an outage (the user is not greeted again).
    bool OnLoginGranted();
    // Every kReconnectTickMs while away: the countdown, and the try when it is due.
    void OnReconnectTick();
    // The user asked ("지금 접속"), the network came back or the machine woke: while away, a try at
    // once (unless one is under way).
    void ReconnectNow();
    // Between the loss and the next granted login.
    bool IsAway() const { return m_bAway; }
    // The session's first login was granted: a loss from now on is tried again.
    bool IsGranted() const { return m_bGranted; }

private:
    // With bAsk the dialog asks even when credentials are kept.
    bool Login(bool bAsk);
    // One try: a fresh connection with the kept credentials; the next try is scheduled when it fails.
    void TryReconnect();
    void ScheduleRetry();
    void StopRetries();
    // Drops a previous connection before a new one replaces it, logging it out if it was logged in.
    void DropConnection(bool bSendLogout);

    MainWindowHost& m_host;
    CPopupBoard& m_popups;
    CRetrySchedule m_retries;
    const std::string m_strServerHost;
    // The first login was granted: a later loss is an outage, not an end.
    bool m_bGranted = false;
    bool m_bAway = false;
    // A try connected and waits for the server to sign it in, until m_nSignInDeadlineMs.
    bool m_bTrying = false;
    bool m_bInTry = false;
    uint64_t m_nNextTryMs = 0;
    uint64_t m_nSignInDeadlineMs = 0;
    bool m_bLoggedIn = false;
    int m_nEnding = 0;
    bool m_bTearingDown = false;
    bool m_bEndRequested = false;
    bool m_bEndRun = false;
    SessionEndReason m_endReason = SessionEndReason::ServerClosed;
};

} // namespace dravel
