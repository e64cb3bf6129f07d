#include "win/portal/PortalDlg.h"

#include "win/res/resource.h"

namespace dravel::win {

CPortalDlg::CPortalDlg() : CBrowserWindow(IDD_PORTAL) {}

BOOL CPortalDlg::OnInitDialog() {
    CBrowserWindow::OnInitDialog();
    RaiseToTop();
    return TRUE;
}

void CPortalDlg::OnOK() {}

void CPortalDlg::OnShown(bool) {
    RaiseToTop();
}

void CPortalDlg::RaiseToTop() const {
    ::SetWindowPos(m_hWnd, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

} // namespace dravel::win
