#pragma once

// The main window: the tray icon, its placement, its menus, painting, and the browser with its native
// no-page panel. It holds the session host (SessionHost.h), which owns the connection and the
// session's other windows and reaches this window through SessionWindow.
//
// The window's placement lives in the current user's registry, as the application profile section
// "STOCK": HKEY_CURRENT_USER\Software\Brello\Tamix\STOCK, values RectLeft, RectTop, RectRight,
// RectBottom and Max as REG_DWORD.

#include "win/base/Handles.h"
#include "win/portal/BrowserHost.h"
#include "win/session/NoPagePanel.h"
#include "win/session/SessionHost.h"
#include "win/ui/TaskbarButton.h"
#include "win/ui/TrayIconDialog.h"

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace dravel::win {

class CConnectingDlg;

class CMainDlg : public CTrayIconDialog, public SessionWindow {
public:
    CMainDlg(SessionApplication& application, SessionSettings settings);
    ~CMainDlg() override;

    // Login ID and password for the next run of the window (may be empty).
    void SetCredentials(const std::wstring& strUserId, const std::wstring& strPassword);
    // The session this window carries; page scripts reach it through the portal's script host.
    CSessionHost& Session() { return m_host; }

    // Removes the tray icon and, if it was there, shows the window.
    void ShowFromTray();

    // SessionWindow
    HWND Handle() const override { return m_hWnd; }
    HWND BoxOwner() const override;
    void Navigate(const std::string& url) override;
    void ShowConnectingNotice(bool bShow) override;
    void UpdateTitle(const std::string& displayName) override;
    void SavePlacement() override;
    void EndWindow(int nResult) override;
    void AddModelessWindows(std::vector<HWND>& windows) const override;
    void ShowConnectionState(const std::wstring& text) override;
    void ShowAttention(int nTotal, bool bQuiet, const std::vector<UnreadConversation>& unread) override;

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
    struct FileCloser {
        void operator()(std::FILE* file) const { std::fclose(file); }
    };

    void WriteStartLog();
    void BuildSystemMenu();
    void RestorePlacement();
    void ShowAbout();
    void SendBulkNoteFromDialog();
    RECT BrowserRect() const;
    // Shows the native panel in place of the browser while no page can be seen, and keeps its texts
    // up to date; the browser comes back as soon as its page does.
    void CheckPage();
    // The strip above the page that says the connection is away: its text and "지금 접속".
    void CreateStateStrip();
    void LayoutChildren();
    // "방해 금지" and "알림 창 계속 표시", from the tray menu or the window menu; false for other commands.
    bool OnAttentionCommand(UINT id);
    // The tray's tooltip: the lost connection while away, else the unread messages, else the title.
    void UpdateTrayTip();
    // The tray icon with the unread count and the quiet sign, at the size the tray uses now.
    void UpdateTrayImage();

    SessionApplication& m_application;
    std::unique_ptr<std::FILE, FileCloser> m_fileStartLog;
    // The big icon is the module's shared resource; the small one is ours.
    HICON m_hIcon = nullptr;
    bool m_bPopupHotKey = false;
    CIconHandle m_smallIcon;
    std::unique_ptr<CConnectingDlg> m_pConnectingDlg;
    CBrowserHost m_browser;
    CNoPagePanel m_noPage;
    HWND m_hwndState = nullptr;
    HWND m_hwndReconnect = nullptr;
    bool m_bStateShown = false;
    std::wstring m_strStateText;
    int m_nUnread = 0;
    bool m_bQuiet = false;
    CIconHandle m_trayIcon;
    CIconHandle m_overlay;
    CTaskbarButton m_taskbarButton;
    // The window's own caption, before a login grant added the user's name.
    std::string m_strCaption;
    // Declared last: it goes first, with the session's windows and the connection, while the rest of
    // the window is still there.
    CSessionHost m_host;
};

} // namespace dravel::win
