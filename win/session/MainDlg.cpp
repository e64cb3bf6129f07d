#include "win/session/MainDlg.h"

#include "win/app/MessengerApp.h"
#include "win/app/VersionInfo.h"
#include "win/base/MessageBox.h"
#include "win/base/Registry.h"
#include "win/base/Text.h"
#include "win/protocol/ClientSocket.h"
#include "win/res/resource.h"
#include "win/session/AboutDlg.h"
#include "win/session/BulkNoteDlg.h"
#include "win/session/LoginDlg.h"
#include "win/transfer/FileTransferWindow.h"

#include <ctime>
#include <io.h>

namespace dravel::win {

namespace {

constexpr wchar_t kProfileCompany[] = L"Brello";
constexpr wchar_t kProfileApplication[] = L"Tamix";
// "대화 목록": the way into the chat list that needs no portal page.
constexpr wchar_t kChatListMenuText[] = L"\uB300\uD654 \uBAA9\uB85D";

} // namespace

CMainDlg::CMainDlg() : CTrayIconDialog(IDD_MAIN), m_popups(*this, *this), m_session(*this, m_popups, ServerHost()) {}

CMainDlg::~CMainDlg() {
    // The session's windows go before the connection they may still reach.
    m_pChatList.reset();
    m_pPortalWnd.reset();
    for (auto& p : m_portalPopup)
        p.reset();
    for (auto& p : m_conversation)
        p.reset();
    if (CClientSocket* p = App().m_pSocket) {
        App().m_pSocket = nullptr;
        delete p;
    }
    if (m_fileStartLog)
        std::fclose(m_fileStartLog);
    if (m_hSmallIcon)
        ::DestroyIcon(m_hSmallIcon);
}

LRESULT CMainDlg::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_QUERYDRAGICON:
        return reinterpret_cast<LRESULT>(m_hIcon);
    case kNotifierClickMessage:
        OnNotifierClick(wParam, lParam);
        return 0;
    case kBringForwardMessage:
        OnBringForward();
        return 0;
    case kSessionEndMessage:
        OnSessionEnd();
        return 0;
    default:
        break;
    }
    return CTrayIconDialog::HandleMessage(msg, wParam, lParam);
}

BOOL CMainDlg::OnInitDialog() {
    WriteStartLog();

    HINSTANCE inst = ::GetModuleHandleW(nullptr);
    m_hIcon = ::LoadIconW(inst, MAKEINTRESOURCEW(IDR_MAINFRAME));
    m_hSmallIcon =
        static_cast<HICON>(::LoadImageW(inst, MAKEINTRESOURCEW(IDR_MAINFRAME), IMAGE_ICON,
                                        ::GetSystemMetrics(SM_CXSMICON), ::GetSystemMetrics(SM_CYSMICON), 0));
    SendMessage(WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_hIcon));
    SendMessage(WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_hSmallIcon ? m_hSmallIcon : m_hIcon));
    CTrayIconDialog::OnInitDialog();

    m_pConnectingDlg = std::make_unique<CConnectingDlg>();
    if (!m_pConnectingDlg->Create(nullptr))
        m_pConnectingDlg.reset();
    else
        m_pConnectingDlg->ShowWindow(SW_HIDE);

    SetUpSharedNotifier();
    m_strCaption = WideToCp949(WindowText(m_hWnd));

    // The alert sound is played from the file beside the program; without it the pop-ups stay silent.
    std::wstring folder = LogFolder();
    if (!folder.empty())
        m_strSoundFile = folder + L"run.wav";

    SetTrayIcon(IDR_MAINFRAME);
    SetTrayTooltip(std::wstring_view(kAppTitle));
    SetTrayMenu(IDR_TRAY_MENU);
    SetTrayMenuDefaultItem(0);

    // Without a browser engine the window simply has no page.
    const RECT rc = BrowserRect();
    m_browser.Create(m_hWnd, IDC_BROWSER, rc);
    if (m_noPage.Create(m_hWnd)) {
        m_noPage.Layout(rc);
        ::SetTimer(m_hWnd, kPageCheckTimer, kPageCheckPeriodMs, nullptr);
    }

    // The application runs this window once per process.
    App().m_nRunMainWindow = 0;
    App().SetMainWindowHandle(m_hWnd);

    m_session.m_strUserId = WideToCp949(m_strUserId);
    m_session.m_strPassword = WideToCp949(m_strPassword);
    if (!Login()) {
        EndDialog(0);
        return FALSE;
    }

    BuildSystemMenu();
    RestorePlacement();
    ::UpdateWindow(m_hWnd);
    return TRUE;
}

void CMainDlg::WriteStartLog() {
    const std::wstring path = StartLogPath(ModulePath());
    // Read and write, created when missing, never truncated, shared for reading and writing.
    HANDLE h = ::CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                             OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return;
    const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(h), 0);
    if (fd < 0) {
        ::CloseHandle(h);
        return;
    }
    m_fileStartLog = _fdopen(fd, "r+b");
    if (!m_fileStartLog) {
        _close(fd);
        return;
    }
    m_bStartLogOpen = true;
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_s(&local, &now);
    const std::string line = StartLogLine(local);
    std::fseek(m_fileStartLog, 0, SEEK_END);
    std::fwrite(line.data(), 1, line.size(), m_fileStartLog);
    std::fflush(m_fileStartLog);
}

void CMainDlg::SetUpSharedNotifier() {
    const NotifierStyle& s = kSharedNotifierStyle;
    if (!m_notifierShared.Create(m_hWnd, 0))
        return;
    m_notifierShared.LoadSkin(static_cast<UINT>(s.nSkinBitmap), s.nTransparentRed, s.nTransparentGreen,
                              s.nTransparentBlue);
    m_notifierShared.SetFonts(s.pszFontFace, s.nFontSize, s.nNormalStyle, s.nHoverStyle);
    m_notifierShared.SetTextColours(s.nNormalColour, s.nHoverColour);
    m_notifierShared.SetTextArea(RECT{s.nTextLeft, s.nTextTop, m_notifierShared.GetSkinWidth() - s.nTextRightInset,
                                      m_notifierShared.GetSkinHeight() - s.nTextBottomInset});
}

void CMainDlg::BuildSystemMenu() {
    HMENU sys = ::GetSystemMenu(m_hWnd, FALSE);
    if (!sys)
        return;
    for (const SystemMenuItem& item : SystemMenuItems(m_session.m_strUserId, LoadResString(IDS_ABOUTBOX))) {
        if (item.bSeparator)
            ::AppendMenuW(sys, MF_SEPARATOR, 0, nullptr);
        else
            ::AppendMenuW(sys, MF_STRING, item.nCommand, item.strText.c_str());
    }
    ::AppendMenuW(sys, MF_STRING, ID_PORTAL_CHATTING, kChatListMenuText);
}

void CMainDlg::RestorePlacement() {
    const CAppProfile profile(kProfileCompany, kProfileApplication);
    Placement p;
    int32_t* fields[5] = {&p.nLeft, &p.nTop, &p.nRight, &p.nBottom, &p.nMax};
    for (int i = 0; i < 5; ++i)
        *fields[i] = profile.ReadInt(kPlacementSection, kPlacementValues[i], 0);
    WINDOWPLACEMENT wp{};
    wp.length = sizeof wp;
    ::GetWindowPlacement(m_hWnd, &wp);
    if (ShowMaximised(p)) {
        // The normal-position rectangle stays the template's; the window shows maximised.
        wp.showCmd = SW_SHOWMAXIMIZED;
    } else {
        wp.rcNormalPosition = RECT{p.nLeft, p.nTop, p.nRight, p.nBottom};
        wp.showCmd = SW_SHOWNORMAL;
    }
    wp.flags = 0;
    ::SetWindowPlacement(m_hWnd, &wp);
}

void CMainDlg::SavePlacement() {
    if (!m_hWnd)
        return;
    WINDOWPLACEMENT wp{};
    wp.length = sizeof wp;
    if (!::GetWindowPlacement(m_hWnd, &wp))
        return;
    const RECT& r = wp.rcNormalPosition;
    const Placement p = PlacementToSave(r.left, r.top, r.right, r.bottom, ::IsZoomed(m_hWnd) != FALSE);
    const CAppProfile profile(kProfileCompany, kProfileApplication);
    const int32_t values[5] = {p.nLeft, p.nTop, p.nRight, p.nBottom, p.nMax};
    for (int i = 0; i < 5; ++i)
        profile.WriteInt(kPlacementSection, kPlacementValues[i], values[i]);
}

void CMainDlg::OnDestroy() {
    ::KillTimer(m_hWnd, kConnectionCheckTimer);
    ::KillTimer(m_hWnd, kSessionEndTimer);
    ::KillTimer(m_hWnd, kPageCheckTimer);
    StopSound();
    App().SetMainWindowHandle(nullptr);
    // Their browsers are released while the windows still exist.
    DestroyPortalWindows();
    CTrayIconDialog::OnDestroy();
}

void CMainDlg::ShowFromTray() {
    if (HideTrayIcon())
        ShowWindow(SW_SHOW);
}

void CMainDlg::OnBringForward() {
    ShowFromTray();
    if (!::IsWindowVisible(m_hWnd)) {
        // Still logging in: the login dialog or the retry question is in front, not an empty window.
        if (!m_session.IsLoggedIn())
            return;
        // Neither in the tray nor shown (the icon could not be added): it comes back too.
        ShowWindow(SW_SHOW);
    }
    if (!::IsIconic(m_hWnd))
        ShowWindow(SW_MINIMIZE);
    ::BringWindowToTop(m_hWnd);
    if (::IsIconic(m_hWnd))
        ShowWindow(SW_RESTORE);
    ::SetForegroundWindow(m_hWnd);
}

void CMainDlg::OnOK() {
    // Enter does not end the main window.
}

void CMainDlg::OnCancel() {
    m_session.Cancel();
}

bool CMainDlg::OnCommand(int id, int code, HWND hwndCtl) {
    switch (id) {
    case ID_TRAY_EXIT:
        OnCancel();
        return true;
    case ID_TRAY_SHOW:
        ShowFromTray();
        return true;
    case ID_TRAY_PROPERTIES:
        ShowAbout();
        return true;
    case ID_PORTAL_CHATTING:
    case IDC_NOPAGE_CHATLIST:
        ShowChatList();
        return true;
    case ID_PORTAL_ORDER:
    case ID_PORTAL_INFORMATION:
    case ID_PORTAL_NOTICE:
    case ID_PORTAL_QNA:
        // The portal menu's owner is this window; its page commands are the application's.
        App().OnPortalCommand(id);
        return true;
    default:
        return CTrayIconDialog::OnCommand(id, code, hwndCtl);
    }
}

void CMainDlg::OnSysCommand(UINT cmd, LPARAM lParam) {
    if (cmd == ID_PORTAL_CHATTING) {
        ShowChatList();
        return;
    }
    switch (ClassifySysCommand(cmd, m_session.m_strUserId)) {
    case SysCommandAction::About:
        ShowAbout();
        return;
    case SysCommandAction::BulkNote:
        SendBulkNoteFromDialog();
        return;
    case SysCommandAction::Default:
        break;
    }
    CTrayIconDialog::OnSysCommand(cmd, lParam);
}

void CMainDlg::ShowAbout() {
    CAboutDlg about;
    about.DoModal(m_hWnd);
}

void CMainDlg::SendBulkNoteFromDialog() {
    CBulkNoteDlg dlg;
    if (dlg.DoModal(m_hWnd) != IDOK)
        return;
    if (SendBulkNote(App().m_pSocket, dlg.m_strNote))
        ::Beep(1000, 100);
}

void CMainDlg::OnTimer(UINT_PTR id) {
    if (id == kSessionEndTimer) {
        OnSessionEnd();
        return;
    }
    if (id == kPageCheckTimer) {
        CheckPage();
        return;
    }
    OnSessionTimer(id, App().m_pSocket);
}

RECT CMainDlg::BrowserRect() const {
    RECT rc{};
    ::GetClientRect(m_hWnd, &rc);
    ::InflateRect(&rc, -1, -1);
    return rc;
}

void CMainDlg::OnSize(UINT type, int cx, int cy) {
    CTrayIconDialog::OnSize(type, cx, cy);
    if (m_browser.IsCreated())
        m_browser.Move(BrowserRect());
    m_noPage.Layout(BrowserRect());
}

void CMainDlg::CheckPage() {
    const bool bShow = ShowNoPagePanel(m_browser.IsCreated(), m_browser.ReadyState());
    if (bShow)
        m_noPage.SetTexts(Cp949ToWide(DisplayName()), m_session.IsLoggedIn() && App().m_pSocket != nullptr);
    if (bShow == m_noPage.IsShown())
        return;
    if (HWND browser = m_browser.Window())
        ::ShowWindow(browser, bShow ? SW_HIDE : SW_SHOWNA);
    m_noPage.Show(bShow);
}

void CMainDlg::OnPaint() {
    if (!::IsIconic(m_hWnd)) {
        CTrayIconDialog::OnPaint();
        return;
    }
    PAINTSTRUCT ps;
    HDC dc = ::BeginPaint(m_hWnd, &ps);
    RECT rc{};
    ::GetClientRect(m_hWnd, &rc);
    const int x = CentredIconOffset(rc.right - rc.left, ::GetSystemMetrics(SM_CXICON));
    const int y = CentredIconOffset(rc.bottom - rc.top, ::GetSystemMetrics(SM_CYICON));
    ::DrawIcon(dc, x, y, m_hIcon);
    ::EndPaint(m_hWnd, &ps);
}

HWND CMainDlg::BoxOwner() const {
    return m_hWnd && ::IsWindowVisible(m_hWnd) ? m_hWnd : nullptr;
}

void CMainDlg::CloseActiveWindow() {
    HWND active = ::GetActiveWindow();
    switch (DecideCloseActive(active != nullptr, active == m_hWnd, IsFileTransferWindow(active))) {
    case CloseActiveAction::Nothing:
        return;
    case CloseActiveAction::EndMainWindow:
        EndDialog(0);
        return;
    case CloseActiveAction::CancelTransfer:
        CancelFileTransferWindow(active);
        return;
    case CloseActiveAction::EndDialog:
        // A modal box ends with its result; a modeless window of ours ends as its dialog would.
        ::EndDialog(active, 1);
        if (::IsWindowVisible(active) && ::GetWindowThreadProcessId(active, nullptr) == ::GetCurrentThreadId())
            ::ShowWindow(active, SW_HIDE);
        return;
    }
}

void CMainDlg::CustomFunction() {
    AppMessageBox(m_hWnd, std::wstring(L"user Founction"), MB_OK);
}

void CMainDlg::CustomFunctionWithParams(const std::wstring& text, int nNumber) {
    AppMessageBox(m_hWnd, CustomFunctionText(text, nNumber), MB_OK);
}

} // namespace dravel::win
