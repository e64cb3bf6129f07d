#include "session/MainDlg.h"

#include "app/MessengerApp.h"
#include "app/RestartLock.h"
#include "base/Text.h"
#include "resource.h"
#include "session/AboutDlg.h"

namespace dravel::win {

CMainDlg::CMainDlg() : CDialog(IDD_MAIN) {}

CMainDlg::~CMainDlg() {
    if (m_hSmallIcon)
        ::DestroyIcon(m_hSmallIcon);
}

LRESULT CMainDlg::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_QUERYDRAGICON:
        return reinterpret_cast<LRESULT>(m_hIcon);
    case kBringForwardMessage:
        OnBringForward();
        return 0;
    case kRestartMessage:
        TeardownAndRestart();
        return 0;
    default:
        break;
    }
    return CDialog::HandleMessage(msg, wParam, lParam);
}

BOOL CMainDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    HINSTANCE inst = ::GetModuleHandleW(nullptr);
    m_hIcon = ::LoadIconW(inst, MAKEINTRESOURCEW(IDR_MAINFRAME));
    m_hSmallIcon =
        static_cast<HICON>(::LoadImageW(inst, MAKEINTRESOURCEW(IDR_MAINFRAME), IMAGE_ICON,
                                        ::GetSystemMetrics(SM_CXSMICON), ::GetSystemMetrics(SM_CYSMICON), 0));
    SendMessage(WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_hIcon));
    SendMessage(WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_hSmallIcon ? m_hSmallIcon : m_hIcon));

    // The application runs this window once per process.
    App().m_nRunMainWindow = 0;
    App().SetMainWindowHandle(m_hWnd);

    std::wstring about = LoadResString(IDS_ABOUTBOX);
    if (HMENU sys = ::GetSystemMenu(m_hWnd, FALSE); sys && !about.empty()) {
        ::AppendMenuW(sys, MF_SEPARATOR, 0, nullptr);
        ::AppendMenuW(sys, MF_STRING, IDM_ABOUTBOX, about.c_str());
    }
    ShowWindow(SW_SHOWNORMAL);
    ::UpdateWindow(m_hWnd);
    return TRUE;
}

void CMainDlg::OnDestroy() {
    App().SetMainWindowHandle(nullptr);
    CDialog::OnDestroy();
}

void CMainDlg::ShowFromTray() {
    ShowWindow(SW_SHOW);
}

void CMainDlg::OnBringForward() {
    ShowFromTray();
    if (!::IsIconic(m_hWnd))
        ShowWindow(SW_MINIMIZE);
    ::BringWindowToTop(m_hWnd);
    if (::IsIconic(m_hWnd))
        ShowWindow(SW_RESTORE);
    ::SetForegroundWindow(m_hWnd);
}

void CMainDlg::TeardownAndRestart() {
    if (RequestRestart()) {
        EndDialog(0);
        return;
    }
    ShowRestartFailed(m_hWnd);
}

void CMainDlg::OnOK() {
    // Enter does not end the main window.
}

void CMainDlg::OnCancel() {
    EndDialog(0);
}

void CMainDlg::OnSysCommand(UINT cmd, LPARAM lParam) {
    if ((cmd & 0xFFF0) == IDM_ABOUTBOX) {
        CAboutDlg about;
        about.DoModal(m_hWnd);
        return;
    }
    CDialog::OnSysCommand(cmd, lParam);
}

} // namespace dravel::win
