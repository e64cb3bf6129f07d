#include "win/session/MainDlg.h"

#include "win/base/MessageBox.h"
#include "win/base/Messages.h"
#include "win/base/Registry.h"
#include "win/base/Text.h"
#include "win/res/resource.h"
#include "win/session/AboutDlg.h"
#include "win/session/BulkNoteDlg.h"
#include "win/session/LoginDlg.h"
#include "win/ui/BadgeIcon.h"
#include "win/ui/Dpi.h"

#include <ctime>
#include <io.h>
#include <utility>

namespace dravel::win {

namespace {

constexpr wchar_t kProfileCompany[] = L"Brello";
constexpr wchar_t kProfileApplication[] = L"Tamix";
// The profile values of the placement, in the order of Placement's fields.
constexpr int kPlacementValueCount = 5;
// Ctrl+Alt+M answers the newest pop-up as a click would: opens its conversation, or puts it away.
constexpr int kPopupHotKeyId = 1;
constexpr UINT kPopupHotKeyModifiers = MOD_CONTROL | MOD_ALT | MOD_NOREPEAT;
constexpr UINT kPopupHotKey = 'M';

// The bulk note went out: a short high beep.
constexpr DWORD kBulkNoteBeepHz = 1000;
constexpr DWORD kBulkNoteBeepMs = 100;

} // namespace

CMainDlg::CMainDlg(SessionApplication& application, SessionSettings settings)
    : CTrayIconDialog(IDD_MAIN), m_application(application), m_host(*this, application, std::move(settings)) {}

CMainDlg::~CMainDlg() = default;

void CMainDlg::SetCredentials(const std::wstring& strUserId, const std::wstring& strPassword) {
    m_host.SetCredentials(WideToCp949(strUserId), WideToCp949(strPassword));
}

LRESULT CMainDlg::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_QUERYDRAGICON:
        return reinterpret_cast<LRESULT>(m_hIcon);
    case kNotifierClickMessage:
        m_host.OnNotifierClick(wParam, lParam);
        return 0;
    case WM_HOTKEY:
        if (wParam == kPopupHotKeyId)
            m_host.ClickNewestPopup();
        return 0;
    case kBringForwardMessage:
        OnBringForward();
        return 0;
    case kSessionEndMessage:
        m_host.OnSessionEnd();
        return 0;
    case WM_POWERBROADCAST:
        // Back from sleep: the connection may have died meanwhile, and a lost one is tried at once.
        if (wParam == PBT_APMRESUMEAUTOMATIC || wParam == PBT_APMRESUMESUSPEND)
            m_host.OnNetworkMayHaveChanged();
        return TRUE;
    case kNetworkChangeMessage:
        m_host.OnNetworkMayHaveChanged();
        return 0;
    case WM_INITMENUPOPUP: {
        // The tray menu and the window menu show the attention choices as they are.
        const auto menu = reinterpret_cast<HMENU>(wParam);
        const auto check = [menu](UINT id, bool bOn) {
            ::CheckMenuItem(menu, id, MF_BYCOMMAND | (bOn ? MF_CHECKED : MF_UNCHECKED));
        };
        check(ID_ATTENTION_DND, m_host.Attention().Rules().DoNotDisturb());
        check(ID_ATTENTION_POPUPS_STAY, m_host.Attention().PopupsStay());
        break;
    }
    default:
        if (msg != 0 && msg == CTaskbarButton::CreatedMessage()) {
            // Explorer started again: the button's overlay is set anew.
            m_taskbarButton.OnButtonCreated();
            ShowAttention(m_nUnread, m_bQuiet, m_host.Attention().Rules().Unread());
            return 0;
        }
        break;
    }
    return CTrayIconDialog::HandleMessage(msg, wParam, lParam);
}

BOOL CMainDlg::OnInitDialog() {
    WriteStartLog();

    HINSTANCE inst = ::GetModuleHandleW(nullptr);
    m_hIcon = ::LoadIconW(inst, MAKEINTRESOURCEW(IDR_MAINFRAME));
    m_smallIcon.Reset(
        static_cast<HICON>(::LoadImageW(inst, MAKEINTRESOURCEW(IDR_MAINFRAME), IMAGE_ICON,
                                        ::GetSystemMetrics(SM_CXSMICON), ::GetSystemMetrics(SM_CYSMICON), 0)));
    SendMessage(WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_hIcon));
    SendMessage(WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_smallIcon ? m_smallIcon.Get() : m_hIcon));
    CTrayIconDialog::OnInitDialog();

    m_pConnectingDlg = std::make_unique<CConnectingDlg>();
    if (!m_pConnectingDlg->Create(nullptr))
        m_pConnectingDlg.reset();
    else
        m_pConnectingDlg->ShowWindow(SW_HIDE);

    m_strCaption = WideToCp949(WindowText(m_hWnd));

    SetTrayIcon(IDR_MAINFRAME);
    SetTrayTooltip(AppTitle());
    SetTrayMenu(IDR_TRAY_MENU);
    SetTrayMenuDefaultItem(0);

    CreateStateStrip();
    // Without a browser engine the window simply has no page.
    const RECT rc = BrowserRect();
    m_browser.Create(m_hWnd, IDC_BROWSER, rc);
    if (m_noPage.Create(m_hWnd)) {
        m_noPage.Layout(rc);
        ::SetTimer(m_hWnd, kPageCheckTimer, kPageCheckPeriodMs, nullptr);
    }

    // The application runs this window once per process.
    m_application.SetMainWindow(m_hWnd);

    if (!m_host.Start()) {
        EndDialog(0);
        return FALSE;
    }

    // The keyboard's way to a pop-up while it shows (another program may hold the keys: then there is none).
    m_bPopupHotKey = ::RegisterHotKey(m_hWnd, kPopupHotKeyId, kPopupHotKeyModifiers, kPopupHotKey) != FALSE;

    BuildSystemMenu();
    RestorePlacement();
    ::UpdateWindow(m_hWnd);
    return TRUE;
}

void CMainDlg::WriteStartLog() {
    const std::wstring path = StartLogPath(m_host.Settings().strProgramPath);
    // Read and write, created when missing, never truncated, shared for reading and writing.
    const auto open = [](const std::wstring& name) {
        return CKernelHandle(::CreateFileW(name.c_str(), GENERIC_READ | GENERIC_WRITE,
                                           FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                                           FILE_ATTRIBUTE_NORMAL, nullptr));
    };
    CKernelHandle file = open(path);
    // Beside the program as it always was; where a standard user cannot write there, in the user's own
    // folder under the same name, as the conversation logs.
    if (!file) {
        const std::wstring folder = m_host.UserLogFolder();
        if (folder.empty())
            return;
        file = open(folder + path.substr(path.find_last_of(L"\\/") + 1));
    }
    if (!file)
        return;
    // The descriptor takes the handle over, and the stream the descriptor.
    const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(file.Get()), 0);
    if (fd < 0)
        return;
    file.Detach();
    m_fileStartLog.reset(_fdopen(fd, "r+b"));
    if (!m_fileStartLog) {
        _close(fd);
        return;
    }
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_s(&local, &now);
    const std::string line = StartLogLine(local);
    std::fseek(m_fileStartLog.get(), 0, SEEK_END);
    std::fwrite(line.data(), 1, line.size(), m_fileStartLog.get());
    std::fflush(m_fileStartLog.get());
}

void CMainDlg::BuildSystemMenu() {
    HMENU sys = ::GetSystemMenu(m_hWnd, FALSE);
    if (!sys)
        return;
    const std::wstring about = LoadResString(IDS_ABOUTBOX);
    const std::wstring bulkNote = LoadResString(IDS_SESSION_BULK_NOTE_MENU);
    const std::wstring chatList = LoadResString(IDS_NOPAGE_CHATLIST);
    for (const SystemMenuItem& item :
         SystemMenuItems(m_host.UserId(), {.about = about, .bulkNote = bulkNote, .chatList = chatList})) {
        if (item.bSeparator)
            ::AppendMenuW(sys, MF_SEPARATOR, 0, nullptr);
        else
            ::AppendMenuW(sys, MF_STRING, item.nCommand, item.strText.c_str());
    }
    ::AppendMenuW(sys, MF_SEPARATOR, 0, nullptr);
    ::AppendMenuW(sys, MF_STRING, ID_ATTENTION_DND, LoadResString(IDS_ATTENTION_DND).c_str());
    // Also here, where the keyboard reaches it with Alt+Space whether or not the window is in the tray.
    ::AppendMenuW(sys, MF_STRING, ID_ATTENTION_POPUPS_STAY, LoadResString(IDS_ATTENTION_POPUPS_STAY).c_str());
}

void CMainDlg::RestorePlacement() {
    const CAppProfile profile(kProfileCompany, kProfileApplication);
    Placement p;
    int32_t* fields[kPlacementValueCount] = {&p.nLeft, &p.nTop, &p.nRight, &p.nBottom, &p.nMax};
    for (int i = 0; i < kPlacementValueCount; ++i)
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
    const int32_t values[kPlacementValueCount] = {p.nLeft, p.nTop, p.nRight, p.nBottom, p.nMax};
    for (int i = 0; i < kPlacementValueCount; ++i)
        profile.WriteInt(kPlacementSection, kPlacementValues[i], values[i]);
}

void CMainDlg::OnDestroy() {
    ::KillTimer(m_hWnd, kPageCheckTimer);
    if (std::exchange(m_bPopupHotKey, false))
        ::UnregisterHotKey(m_hWnd, kPopupHotKeyId);
    m_application.SetMainWindow(nullptr);
    m_host.OnWindowDestroyed();
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
        if (!m_host.IsLoggedIn())
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
    // Enter does not end the main window; on the list of unread conversations it opens the one chosen.
    if (::GetFocus() == m_noPage.UnreadList())
        if (const std::optional<std::string> key = m_noPage.SelectedKey())
            m_host.OpenUnread(*key);
}

void CMainDlg::OnCancel() {
    m_host.Cancel();
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
    case IDC_RECONNECT_NOW:
        m_host.ReconnectNow();
        return true;
    case IDC_NOPAGE_UNREAD_LIST:
        // A click opens the conversation; the arrow keys only move through the list (Enter opens).
        if (code == LBN_SELCHANGE && ::GetKeyState(VK_LBUTTON) < 0)
            if (const std::optional<std::string> key = m_noPage.SelectedKey())
                m_host.OpenUnread(*key);
        return true;
    case ID_ATTENTION_DND:
    case ID_ATTENTION_POPUPS_STAY:
        return OnAttentionCommand(static_cast<UINT>(id));
    case ID_PORTAL_CHATTING:
    case IDC_NOPAGE_CHATLIST:
        m_host.ShowChatList();
        return true;
    case ID_PORTAL_ORDER:
    case ID_PORTAL_INFORMATION:
    case ID_PORTAL_NOTICE:
    case ID_PORTAL_QNA:
        // The portal menu's owner is this window; its commands are the session's.
        m_host.OnPortalCommand(id);
        return true;
    default:
        return CTrayIconDialog::OnCommand(id, code, hwndCtl);
    }
}

bool CMainDlg::OnAttentionCommand(UINT id) {
    if (id == ID_ATTENTION_DND) {
        m_host.SetDoNotDisturb(!m_host.Attention().Rules().DoNotDisturb());
        return true;
    }
    if (id == ID_ATTENTION_POPUPS_STAY) {
        m_host.SetPopupsStay(!m_host.Attention().PopupsStay());
        return true;
    }
    return false;
}

void CMainDlg::OnSysCommand(UINT cmd, LPARAM lParam) {
    // The whole id, as the tray menu's command has it.
    if (OnAttentionCommand(cmd))
        return;
    switch (ClassifySysCommand(cmd, m_host.UserId())) {
    case SysCommandAction::ChatList:
        m_host.ShowChatList();
        return;
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
    CAboutDlg about(m_host.Settings().strVersion);
    about.DoModal(m_hWnd);
}

void CMainDlg::SendBulkNoteFromDialog() {
    CBulkNoteDlg dlg;
    if (dlg.DoModal(m_hWnd) != IDOK)
        return;
    if (m_host.SendBulkNote(dlg.m_strNote))
        ::Beep(kBulkNoteBeepHz, kBulkNoteBeepMs);
}

void CMainDlg::OnTimer(UINT_PTR id) {
    if (id == kPageCheckTimer) {
        CheckPage();
        return;
    }
    m_host.OnTimer(id);
}

namespace {
// The state strip's height and its button's width at 96 dpi.
constexpr int kStripHeight = 30;
constexpr int kStripButtonWidth = 96;
constexpr int kStripGap = 4;
} // namespace

RECT CMainDlg::BrowserRect() const {
    RECT rc{};
    ::GetClientRect(m_hWnd, &rc);
    ::InflateRect(&rc, -1, -1);
    if (m_bStateShown)
        rc.top = std::min(rc.bottom, rc.top + ScaleForDpi(kStripHeight, WindowDpi(m_hWnd)));
    return rc;
}

void CMainDlg::CreateStateStrip() {
    const auto font = static_cast<WPARAM>(SendMessage(WM_GETFONT));
    const HINSTANCE inst = ::GetModuleHandleW(nullptr);
    m_hwndState = ::CreateWindowExW(0, L"STATIC", L"", WS_CHILD | SS_LEFT | SS_NOPREFIX | SS_CENTERIMAGE, 0, 0, 0,
                                    0, m_hWnd, reinterpret_cast<HMENU>(static_cast<UINT_PTR>(IDC_CONNECTION_STATE)),
                                    inst, nullptr);
    m_hwndReconnect = ::CreateWindowExW(0, L"BUTTON", LoadResString(IDS_SESSION_RECONNECT_NOW).c_str(),
                                        WS_CHILD | WS_TABSTOP | BS_PUSHBUTTON, 0, 0, 0, 0, m_hWnd,
                                        reinterpret_cast<HMENU>(static_cast<UINT_PTR>(IDC_RECONNECT_NOW)), inst,
                                        nullptr);
    for (HWND hwnd : {m_hwndState, m_hwndReconnect})
        if (hwnd)
            ::SendMessageW(hwnd, WM_SETFONT, font, FALSE);
}

void CMainDlg::LayoutChildren() {
    const RECT rc = BrowserRect();
    if (m_browser.IsCreated())
        m_browser.Move(rc);
    m_noPage.Layout(rc);
    if (!m_bStateShown)
        return;
    RECT client{};
    ::GetClientRect(m_hWnd, &client);
    const int dpi = WindowDpi(m_hWnd);
    const int gap = ScaleForDpi(kStripGap, dpi);
    const int height = ScaleForDpi(kStripHeight, dpi) - 2 * gap;
    const int buttonWidth = ScaleForDpi(kStripButtonWidth, dpi);
    const int buttonLeft = std::max<int>(client.left + gap, client.right - gap - buttonWidth);
    if (m_hwndState)
        ::MoveWindow(m_hwndState, client.left + 2 * gap, client.top + gap,
                     std::max(0, buttonLeft - gap - (static_cast<int>(client.left) + 2 * gap)), height, TRUE);
    if (m_hwndReconnect)
        ::MoveWindow(m_hwndReconnect, buttonLeft, client.top + gap, buttonWidth, height, TRUE);
}

void CMainDlg::ShowConnectionState(const std::wstring& text) {
    const bool bShow = !text.empty();
    if (m_hwndState && bShow)
        ::SetWindowTextW(m_hwndState, text.c_str());
    // The tray tells a user whose window is hidden.
    m_strStateText = text;
    UpdateTrayTip();
    if (bShow == m_bStateShown)
        return;
    m_bStateShown = bShow;
    for (HWND hwnd : {m_hwndState, m_hwndReconnect})
        if (hwnd)
            ::ShowWindow(hwnd, bShow ? SW_SHOWNA : SW_HIDE);
    LayoutChildren();
}

void CMainDlg::ShowAttention(int nTotal, bool bQuiet, const std::vector<UnreadConversation>& unread) {
    const bool bImageChanged = nTotal != m_nUnread || bQuiet != m_bQuiet || !m_trayIcon;
    m_nUnread = nTotal;
    m_bQuiet = bQuiet;
    if (bImageChanged)
        UpdateTrayImage();
    UpdateTrayTip();
    std::vector<std::wstring> lines;
    std::vector<std::string> keys;
    for (const UnreadConversation& c : unread) {
        lines.push_back(Cp949ToWide(c.strKey) + L" (" + std::to_wstring(c.nCount) + L")");
        keys.push_back(c.strKey);
    }
    m_noPage.SetUnread(nTotal, lines, std::move(keys));
}

void CMainDlg::UpdateTrayTip() {
    if (!m_strStateText.empty())
        SetTrayTooltip(std::wstring_view(m_strStateText));
    else if (m_nUnread > 0)
        SetTrayTooltip(std::wstring_view(FormatResString(IDS_ATTENTION_TOOLTIP, m_nUnread)));
    else
        SetTrayTooltip(std::wstring_view(AppTitle()));
}

void CMainDlg::UpdateTrayImage() {
    if (!m_hWnd)
        return;
    // The tray draws its icons at the small icon size of the system's dpi.
    const int size = ::GetSystemMetrics(SM_CXSMICON);
    const CIconHandle base(static_cast<HICON>(
        ::LoadImageW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDR_MAINFRAME), IMAGE_ICON, size, size, 0)));
    if (CIconHandle icon = MakeAttentionIcon(base ? base.Get() : m_hIcon, size, m_nUnread, m_bQuiet)) {
        SetTrayIcon(icon.Get());
        m_trayIcon = std::move(icon);
        if (IsTrayIconShown())
            UpdateTrayIcon();
    }
    // The taskbar button of the main window carries the count too, and says it to screen readers.
    m_overlay = MakeCountOverlay(m_nUnread, size);
    m_taskbarButton.SetOverlay(m_hWnd, m_overlay.Get(),
                               m_nUnread > 0 ? FormatResString(IDS_ATTENTION_TOOLTIP, m_nUnread) : std::wstring());
}

void CMainDlg::OnSize(UINT type, int cx, int cy) {
    CTrayIconDialog::OnSize(type, cx, cy);
    LayoutChildren();
}

void CMainDlg::CheckPage() {
    const bool bShow = ShowNoPagePanel(m_browser.IsCreated(), m_browser.ReadyState());
    if (bShow)
        m_noPage.SetTexts(Cp949ToWide(m_host.DisplayName()), m_host.IsConnected());
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

void CMainDlg::Navigate(const std::string& url) {
    m_browser.Navigate(Cp949ToWide(url));
    if (m_hWnd)
        ::UpdateWindow(m_hWnd);
}

void CMainDlg::ShowConnectingNotice(bool bShow) {
    if (!m_pConnectingDlg)
        return;
    m_pConnectingDlg->ShowWindow(bShow ? SW_SHOW : SW_HIDE);
    if (bShow)
        ::UpdateWindow(m_pConnectingDlg->GetHwnd());
}

void CMainDlg::UpdateTitle(const std::string& displayName) {
    const std::string title = TitleWithDisplayName(m_strCaption, WideToCp949(WindowText(m_hWnd)), displayName);
    SetWindowTextW(m_hWnd, Cp949ToWide(title).c_str());
}

void CMainDlg::EndWindow(int nResult) {
    EndDialog(nResult);
}

void CMainDlg::AddModelessWindows(std::vector<HWND>& windows) const {
    windows.push_back(m_hWnd);
    if (m_pConnectingDlg)
        windows.push_back(m_pConnectingDlg->GetHwnd());
}

} // namespace dravel::win
