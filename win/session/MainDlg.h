#pragma once

// The main window: it logs in, keeps the session, receives every record of the connection and owns
// the session's other windows (conversations, the chat list, the portal page window, the browser
// pop-ups, the pop-up notifiers). The decisions are
// CMainSession's, CWindowTable's and CPopupBoard's (core/session); this class carries them out on
// windows. Its operations are split over MainDlg.cpp (window messages and menus), MainSession.cpp
// (login, logout, teardown, connection) and MainWindows.cpp (the window table, portal windows, pop-ups,
// chat list and what conversations ask of it).
//
// The window's placement lives in the current user's registry, as the application profile section
// "STOCK": HKEY_CURRENT_USER\Software\Brello\Tamix\STOCK, values RectLeft, RectTop, RectRight,
// RectBottom and Max as REG_DWORD.

#include "win/chat/ChatListDlg.h"
#include "win/conversation/MessageDlg.h"
#include "win/portal/BrowserHost.h"
#include "win/portal/BrowserPopupDlg.h"
#include "win/portal/PortalDlg.h"
#include "win/session/NoPagePanel.h"
#include "win/ui/TaskbarNotifier.h"
#include "win/ui/TrayIconDialog.h"
#include "core/protocol/ClientConnection.h"
#include "core/session/Session.h"

#include <array>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace dravel::win {

class CConnectingDlg;

// Posted by the single-instance listener: a later launch wants this window in front.
inline constexpr UINT kBringForwardMessage = WM_APP + 1;
// Runs the session end that was asked for, once nothing of ours runs below the main window's handler;
// posted when none was asked for, it asks for one, as the server's close does.
inline constexpr UINT kSessionEndMessage = WM_APP + 2;
// How often a session end that waits for modal windows to close tries again.
inline constexpr UINT_PTR kSessionEndTimer = 1031;
inline constexpr UINT kSessionEndRetryMs = 100;

class CMainDlg : public CTrayIconDialog,
                 public ConnectionOwner,
                 public DispatchTarget,
                 public MainWindowHost,
                 public PopupHost,
                 public WindowTableHost,
                 public Clock,
                 public ChatListOwner,
                 public ConversationOwner {
public:
    CMainDlg();
    ~CMainDlg() override;

    // Login ID and password, set by the application before the window runs (may be empty).
    std::wstring m_strUserId;
    std::wstring m_strPassword;

    // Removes the tray icon and, if it was there, shows the window.
    void ShowFromTray();

    // Operations of the session (page scripts reach them through the portal).
    bool Login();
    bool LogoutWithConfirm();
    void IdleLogout();
    void ReLogin();
    void CloseActiveWindow();
    bool IsCustomBrowser() const { return true; }
    void CustomFunction();
    void CustomFunctionWithParams(const std::wstring& text, int nNumber);
    // Creates the chat list once and shows it without activating it; a shown list stays as it is.
    void ShowChatList();
    // Finds the conversation with this key or makes one; a full table says so and nothing else.
    void OpenConversation(const std::string& key, const std::string& peerId) override;
    // Opens a browser pop-up in the next window slot; a full table says so and nothing else.
    void OpenPortalPopup(const PortalPopupRequest& request);
    // Shows the portal page window at the given place with the given page; a visible one keeps its page
    // and place. The address is 949 text.
    void ShowPortalWindow(const PortalPopupRequest& request);

    // What the session's windows are, for tests and for the portal.
    CChatListDlg* ChatListWindow() const { return m_pChatList.get(); }
    CMessageDlg* ConversationWindow(int nSlot) const;
    CPortalDlg* PortalWindow() const { return m_pPortalWnd.get(); }
    CBrowserPopupDlg* PortalPopupWindow(int nSlot) const;
    const CWindowTable& WindowTable() const { return m_table; }
    const CPopupBoard& PopupBoard() const { return m_popups; }
    bool IsLoggedIn() const { return m_session.IsLoggedIn(); }

    // ConnectionOwner
    void OnRecord(const CComData& record) override;
    void OnConnectionLost() override;
    void ShowWarning(const std::string& text) override;

    // DispatchTarget
    void ReplySignIn() override;
    std::string DisplayName() const override;
    void SetIdentity(const std::string& name, int32_t status) override;
    void UpdateTitle() override;
    void ShowPopup(PopupKind kind, const std::string& first, const std::string& second) override;
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

    // PopupHost
    void PlaySound() override;
    bool ShowSlotPopup(const PopupRequest& request) override;
    void ShowSharedPopup(const PopupRequest& request) override;
    void DeleteSlotPopup(int nSlot) override;

    // WindowTableHost
    void ShowConversation(int nSlot) override;
    bool CreateConversation(int nSlot, const std::string& key, const std::string& peerId) override;
    void StartConversation(int nSlot, const std::string& peerId) override;
    bool CreatePortalPopup(int nSlot, const PortalPopupRequest& request) override;

    // Clock
    uint32_t TickCount() override;

    // ChatListOwner
    void SendChatListCollect(std::string_view view) override;
    void SendDeleteFriend(std::string_view userId) override;
    void SendAppendFriend(std::string_view userId) override;

    // ConversationOwner
    bool SendPrivateMessage(const std::string& peerName, const std::string& peerId, const std::string& text) override;
    void SendFileOffer(const std::string& peerName, const std::string& peerId, const std::string& path) override;
    void SendFileAnswer(const std::string& peerName, const std::string& peerId, const std::string& fileKey,
                        bool bIncoming) override;
    std::string TransferHost() const override;
    std::string OwnUserId() const override;
    std::wstring LogFolder() const override;
    std::wstring DownloadFolder() const override;

protected:
    LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;
    BOOL OnInitDialog() override;
    void OnOK() override;
    void OnCancel() override;
    bool OnCommand(int id, int code, HWND hwndCtl) override;
    void OnSysCommand(UINT cmd, LPARAM lParam) override;
    void OnTimer(UINT_PTR id) override;
    void OnSize(UINT type, int cx, int cy) override;
    void OnPaint() override;
    void OnDestroy() override;
    // A later launch: minimise and restore, which brings even a covered window to the front.
    void OnBringForward();

private:
    void WriteStartLog();
    void SetUpSharedNotifier();
    void BuildSystemMenu();
    void RestorePlacement();
    void ShowAbout();
    void SendBulkNoteFromDialog();
    // Shown when the window table has no room left; the session goes on.
    void ShowWindowTableFull();
    // A notifier's click, with the click data taken from our own notifier rather than the message.
    void OnNotifierClick(WPARAM wParam, LPARAM lParam);
    RECT BrowserRect() const;
    // Shows the native panel in place of the browser while no page can be seen, and keeps its texts
    // up to date; the browser comes back as soon as its page does.
    void CheckPage();
    // Destroys the portal page window and the browser pop-ups (teardown).
    void DestroyPortalWindows();
    // Runs the requested session end when nothing of ours runs below; otherwise closes the session's
    // modal windows and menus, whose loops then unwind, and tries again shortly.
    void OnSessionEnd();
    void CloseModalWindows();
    // Owner for boxes: this window while it shows, else none (so a box of the login stage is seen).
    HWND BoxOwner() const;

    CPopupBoard m_popups;
    CMainSession m_session;
    CWindowTable m_table;

    std::FILE* m_fileStartLog = nullptr;
    bool m_bStartLogOpen = false;
    HICON m_hIcon = nullptr;
    HICON m_hSmallIcon = nullptr;

    std::array<std::unique_ptr<CTaskbarNotifier>, kPopupSlots> m_pPopup;
    CTaskbarNotifier m_notifierShared;
    std::wstring m_strSoundFile;

    // The last portal-window request: address (949), then width, height, top and left.
    std::string m_strPortalUrl;
    int32_t m_nPortalWidth = 0, m_nPortalHeight = 0, m_nPortalTop = 0, m_nPortalLeft = 0;
    std::array<std::unique_ptr<CBrowserPopupDlg>, kMaxWindowSlots> m_portalPopup;
    std::array<std::unique_ptr<CMessageDlg>, kMaxWindowSlots> m_conversation;
    std::unique_ptr<CChatListDlg> m_pChatList;
    std::unique_ptr<CPortalDlg> m_pPortalWnd;
    std::unique_ptr<CConnectingDlg> m_pConnectingDlg;
    CBrowserHost m_browser;
    CNoPagePanel m_noPage;
    // The display name the last login grant gave, kept for the session-ended pop-up after the
    // connection is gone.
    std::string m_strDisplayName;
    // The window's own caption, before a login grant added the user's name.
    std::string m_strCaption;
    // The last connect of the current connection object failed.
    bool m_bConnectFailed = false;
};

} // namespace dravel::win
