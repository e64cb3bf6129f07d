#pragma once

// The session host: owns the session's windows (conversations, the chat list, the portal page window,
// the browser pop-ups, the pop-up notifiers) for as long as the main window lives, receives every record
// of the current connection and runs the session's life from login to its end. The connection and its
// login state are a CSessionLink (SessionLink.h), made for each connect and replaced on each reconnect. The decisions are CMainSession's,
// CWindowTable's and CPopupBoard's (core/session); this class carries them out on windows. The main
// window itself (tray, placement, menus, the browser) is reached through SessionWindow.
//
// Its operations are split over SessionHost.cpp (login, logout, the end of the session, the
// connection) and SessionWindows.cpp (the window table, portal windows, pop-ups, the chat list and
// what conversations ask of the connection).

#include "win/chat/ChatListDlg.h"
#include "win/conversation/MessageDlg.h"
#include "win/portal/BrowserPopupDlg.h"
#include "win/portal/PortalDlg.h"
#include "win/session/AttentionHost.h"
#include "win/session/SessionApplication.h"
#include "win/session/SessionLink.h"
#include "win/ui/TaskbarNotifier.h"
#include "core/protocol/ClientConnection.h"
#include "core/session/Session.h"

#include <windows.h>

#include <array>
#include <memory>
#include <string>
#include <vector>

namespace dravel::win {

class CClientSocket;

// How often a session end that waits for modal windows to close tries again (kSessionEndTimer).
inline constexpr UINT kSessionEndRetryMs = 100;
// How often the system's quiet state is asked for (kAttentionTimer), besides at every message.
inline constexpr UINT kAttentionPeriodMs = 5000;

// The main window as the session host reaches it.
class SessionWindow : public AttentionView {
public:
    ~SessionWindow() override = default;
    // The window's handle: owner of the session's windows, target of its timers and of the posted
    // session end. Null while the window does not exist.
    virtual HWND Handle() const = 0;
    // Owner for boxes: the window while it shows, else none (so a box of the login stage is seen).
    virtual HWND BoxOwner() const = 0;
    // Navigates the window's browser (address in 949) and updates the window.
    virtual void Navigate(const std::string& url) = 0;
    virtual void ShowConnectingNotice(bool bShow) = 0;
    // Appends the display name to the window's own caption (TitleWithDisplayName).
    virtual void UpdateTitle(const std::string& displayName) = 0;
    virtual void SavePlacement() = 0;
    virtual void EndWindow(int nResult) = 0;
    // The window's own modeless windows (itself, the connecting notice): none of them runs a modal loop.
    virtual void AddModelessWindows(std::vector<HWND>& windows) const = 0;
    // The lost connection's state above the page and in the tray's tooltip; empty hides it.
    virtual void ShowConnectionState(const std::wstring& text) = 0;
    // The unread messages and the quiet in the tray, on the taskbar and on the no-page panel.
    void ShowAttention(int /*nTotal*/, bool /*bQuiet*/, const std::vector<UnreadConversation>& /*unread*/) override {}
};

// The system's generator, for the random part of the retries.
class CSystemRandom final : public RandomSource {
public:
    double Fraction() override;
};

class CSessionHost final : public LinkOwner,
                           public DispatchTarget,
                           public MainWindowHost,
                           public PopupHost,
                           public WindowTableHost,
                           public Clock,
                           public ChatListOwner,
                           public ConversationOwner {
public:
    CSessionHost(SessionWindow& window, SessionApplication& application, SessionSettings settings);
    ~CSessionHost() override;
    CSessionHost(const CSessionHost&) = delete;
    CSessionHost& operator=(const CSessionHost&) = delete;

    // Login ID and password (949) for the next login (may be empty: the login dialog asks).
    void SetCredentials(std::string strUserId, std::string strPassword);
    const std::string& UserId() const { return m_session.m_strUserId; }
    const SessionSettings& Settings() const { return m_settings; }
    bool IsLoggedIn() const { return m_session.IsLoggedIn(); }

    // The window was created: the shared notifier and the alert sound are set up and the session logs
    // in. False when the user gave up logging in.
    bool Start();
    // The window is being destroyed: the session's timers stop, the sound ends and the portal windows
    // release their browsers while the windows still exist.
    void OnWindowDestroyed();
    // Escape, the close box, the tray's exit.
    void Cancel();
    // The window's timers other than its own: the connection check and the session end's retry.
    void OnTimer(UINT_PTR id);
    // kSessionEndMessage, and the retry timer: runs the requested session end when nothing of ours runs
    // below; otherwise closes the session's modal windows and menus, whose loops then unwind, and tries
    // again shortly.
    void OnSessionEnd();
    // A notifier's click (kNotifierClickMessage to the window), with the click data taken from our own
    // notifier rather than the message.
    void OnNotifierClick(WPARAM wParam, LPARAM lParam);
    // The pop-up hot key: the newest pop-up still showing is answered as a click on it would be.
    void ClickNewestPopup();
    // A command of the portal menu (32780 to 32784): the page commands show the portal page on the
    // messenger server's host over the whole work area, "Chatting" shows the chat list. Nothing happens
    // without a main window.
    void OnPortalCommand(int nCommand);
    // The administrator's bulk note; true when it went out.
    bool SendBulkNote(const std::string& text);
    // Whether the session has a live, logged-in connection (the no-page panel says so).
    bool IsConnected() const { return m_session.IsLoggedIn() && !m_session.IsAway() && Socket() != nullptr; }
    // "지금 접속": while the connection is away, a try at once.
    void ReconnectNow();
    // The machine woke from sleep or the network changed: while away a try at once, otherwise a
    // connection check at once, so that a path that died meanwhile is found out.
    void OnNetworkMayHaveChanged();

    // Operations of the session that page scripts reach (through the portal's script host).
    bool IsCustomBrowser() const { return true; }
    void IdleLogout();
    void ReLogin();
    void CloseActiveWindow();
    void CustomFunction();
    void CustomFunctionWithParams(const std::wstring& text, int nNumber);
    // Creates the chat list once and shows it without activating it; a shown list stays as it is.
    void ShowChatList();
    // Opens a browser pop-up in the next window slot; a full table says so and nothing else.
    void OpenPortalPopup(const PortalPopupRequest& request);
    // Shows the portal page window at the given place with the given page; a visible one keeps its page
    // and place. The address is 949 text.
    void ShowPortalWindow(const PortalPopupRequest& request);

    // Unread messages, do not disturb, muted peers and pop-ups that stay (SessionAttention.cpp).
    const CAttentionHost& Attention() const { return m_attention; }
    void SetDoNotDisturb(bool bOn);
    void SetPopupsStay(bool bOn);
    // kAttentionTimer: whether the system's quiet state changed, and what to tell when a quiet time ended.
    void OnAttentionTick();
    // A conversation chosen among the unread ones (the no-page panel): it comes to the user.
    void OpenUnread(const std::string& key);
    // ConversationOwner and ChatListOwner
    void OnConversationActivated(const std::string& peerName) override;
    bool IsPeerMuted(const std::string& peerId) const override;
    void SetPeerMuted(const std::string& peerId, bool bMuted) override;

    // The session's windows as they are now.
    CMessageDlg* ConversationWindow(int nSlot) const;
    CPortalDlg* PortalWindow() const { return m_pPortalWnd.get(); }
    CBrowserPopupDlg* PortalPopupWindow(int nSlot) const;
    // Whether hwnd is the portal page window or one of the browser pop-ups.
    bool IsBrowserWindow(HWND hwnd) const;

    // LinkOwner
    void OnLinkRecord(const CComData& record) override;
    void OnLinkLost() override;
    void ShowLinkLost() override;

    // DispatchTarget
    void ReplySignIn() override;
    std::string DisplayName() const override;
    void SetIdentity(const std::string& name, int32_t status) override;
    void UpdateTitle() override;
    bool OnLoginGranted() override;
    void ShowPopup(PopupKind kind, const std::string& first, const std::string& second) override;
    void NoteIncoming(const std::string& key, const std::string& peerId) override;
    void ShowServerNotice(const std::string& text) override;
    ConversationTarget* FindConversation(std::string_view key) override;
    ChatListTarget* ChatList() override;
    void RequestSessionEnd() override;
    std::time_t Now() override;

    // MainWindowHost
    bool RunLoginDialog(std::string& strUserId, std::string& strPassword) override;
    void ShowConnectingNotice(bool bShow) override;
    void CreateConnection(const std::string& userId, const std::string& password) override;
    bool HasConnection() const override;
    bool ConnectToServer() override;
    bool AskRetryConnect() override;
    bool AskLogoutConfirm() override;
    void CloseConnection(bool bSendLogout) override;
    void Navigate(const std::string& url) override;
    void SetConnectionCheckTimer(bool bRunning) override;
    void StopSound() override;
    void DestroySessionWindows() override;
    void SavePlacement() override;
    bool RequestRestart() override;
    void ShowRestartFailed() override;
    void ShowIdleLogoutMessage() override;
    void EndMainWindow(int nResult) override;
    void StopReceiving() override;
    void ScheduleSessionEnd() override;
    void AnnounceSessionEnded() override;
    uint64_t MonotonicMs() override;
    void SetReconnectTimer(bool bRunning) override;
    void ShowConnectionState(ConnectionState state, int nSecondsLeft) override;
    void OnReconnected() override;
    bool ConfirmExitWithWaitingMessages() override;

    // PopupHost
    void PlaySound() override;
    bool ShowSlotPopup(const PopupRequest& request) override;
    void ShowSharedPopup(const PopupRequest& request) override;
    void DeleteSlotPopup(int nSlot) override;
    // Finds the conversation with this key or makes one; a full table says so and nothing else.
    void OpenConversation(const std::string& key, const std::string& peerId) override;

    // WindowTableHost
    void ShowConversation(int nSlot) override;
    bool CreateConversation(int nSlot, const std::string& key, const std::string& peerId) override;
    void StartConversation(int nSlot, const std::string& peerId) override;
    bool CreatePortalPopup(int nSlot, const PortalPopupRequest& request) override;

    // Clock
    uint32_t TickCount() override;

    // ChatListOwner
    void OpenConversationForUser(const std::string& name, const std::string& userId) override;
    void SendChatListCollect(std::string_view view) override;
    void SendDeleteFriend(std::string_view userId) override;
    void SendAppendFriend(std::string_view userId) override;

    // ConversationOwner
    bool IsConnectionAway() const override { return m_session.IsAway(); }
    uint64_t NextWaitingOrder() override { return ++m_nWaitingOrder; }
    bool SendPrivateMessage(const std::string& peerName, const std::string& peerId, const std::string& text) override;
    void SendFileOffer(const std::string& peerName, const std::string& peerId, const std::string& path) override;
    void SendFileAnswer(const std::string& peerName, const std::string& peerId, const std::string& fileKey,
                        bool bIncoming) override;
    std::string TransferHost() const override;
    std::string OwnUserId() const override;
    std::wstring LogFolder() const override;
    std::wstring UserLogFolder() const override;
    std::wstring DownloadFolder() const override;

private:
    void SetUpSharedNotifier();
    // Shown when the window table has no room left; the session goes on.
    void ShowWindowTableFull();
    // Destroys the portal page window and the browser pop-ups (teardown).
    void DestroyPortalWindows();
    void CloseModalWindows();
    // The messages typed while away, oldest first over all windows; stops at the first that fails.
    void SendWaitingMessages();
    size_t WaitingMessageCount() const;
    // Asks the system to report network changes to the window (kNetworkChangeMessage), and stops it.
    void WatchNetwork(bool bWatch);
    // The pop-up that says what arrived while it was quiet, then the notes held back meanwhile.
    void ShowQuietSummary(const QuietSummary& summary);

    SessionWindow& m_window;
    SessionApplication& m_application;
    const SessionSettings m_settings;
    CSystemRandom m_random;
    CAttentionHost m_attention{m_window};
    CPopupBoard m_popups;
    CMainSession m_session;
    CWindowTable m_table;
    // The current connection and its login; null while there is none.
    std::unique_ptr<CSessionLink> m_pLink;
    CClientSocket* Socket() const { return m_pLink ? m_pLink->Socket() : nullptr; }
    // The display name the last login grant gave, kept for the session-ended pop-up after the
    // connection is gone.
    std::string m_strDisplayName;

    std::array<std::unique_ptr<CTaskbarNotifier>, kPopupSlots> m_pPopup;
    CTaskbarNotifier m_notifierShared;
    std::wstring m_strSoundFile;

    std::array<std::unique_ptr<CBrowserPopupDlg>, kMaxWindowSlots> m_portalPopup;
    std::array<std::unique_ptr<CMessageDlg>, kMaxWindowSlots> m_conversation;
    std::unique_ptr<CChatListDlg> m_pChatList;
    std::unique_ptr<CPortalDlg> m_pPortalWnd;
    uint64_t m_nWaitingOrder = 0;
    HANDLE m_hNetworkNotify = nullptr;
};

} // namespace dravel::win
