#include "win/portal/BrowserWindow.h"

#include "win/res/resource.h"

namespace dravel::win {

CBrowserWindow::CBrowserWindow(UINT templateId)
    : CDialog(templateId),
      // Shared icons: the system keeps them, nothing to free.
      m_hIcon(::LoadIconW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDR_MAINFRAME))) {}

void CBrowserWindow::Place(int nLeft, int nTop, int nWidth, int nHeight) const {
    ::SetWindowPos(m_hWnd, nullptr, nLeft, nTop, nWidth, nHeight, SWP_NOZORDER | SWP_NOACTIVATE);
}

LRESULT CBrowserWindow::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_SHOWWINDOW) {
        OnShowWindow(wParam != FALSE);
        return Default();
    }
    return CDialog::HandleMessage(msg, wParam, lParam);
}

BOOL CBrowserWindow::OnInitDialog() {
    CDialog::OnInitDialog();
    const HINSTANCE inst = ::GetModuleHandleW(nullptr);
    const auto hSmall =
        static_cast<HICON>(::LoadImageW(inst, MAKEINTRESOURCEW(IDR_MAINFRAME), IMAGE_ICON,
                                        ::GetSystemMetrics(SM_CXSMICON), ::GetSystemMetrics(SM_CYSMICON), LR_SHARED));
    SendMessage(WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_hIcon));
    SendMessage(WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(hSmall ? hSmall : m_hIcon));
    // Without a browser engine the window still opens, shows and hides; it just has no page.
    m_browser.Create(m_hWnd, IDC_BROWSER, GetClientRect());
    // No focus yet: the window is made hidden, and focusing it would take the activation from the window
    // the user works in (a pop-up shows without activating).
    return FALSE;
}

void CBrowserWindow::OnSize(UINT type, int cx, int cy) {
    CDialog::OnSize(type, cx, cy);
    if (m_browser.IsCreated())
        m_browser.Move(GetClientRect());
}

void CBrowserWindow::OnShowWindow(bool bShow) {
    // Loaded on hiding too: a hidden page does not keep running what it was doing.
    if (m_browser.IsCreated() && !m_strUrl.empty())
        m_browser.Navigate(m_strUrl);
    OnShown(bShow);
}

void CBrowserWindow::OnShown(bool) {}

void CBrowserWindow::OnDestroy() {
    // The control goes while its window still exists.
    m_browser.Destroy();
    CDialog::OnDestroy();
}

void CBrowserWindow::OnCancel() {
    ShowWindow(SW_HIDE);
}

} // namespace dravel::win
