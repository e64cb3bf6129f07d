#include "session/LoginDlg.h"

#include "resource.h"

namespace dravel::win {

CLoginDlg::CLoginDlg() : CSkinDialog(IDD_LOGIN) {}
CLoginDlg::~CLoginDlg() = default;

BOOL CLoginDlg::OnInitDialog() {
    return CSkinDialog::OnInitDialog();
}

void CLoginDlg::OnOK() {
    CSkinDialog::OnOK();
}

CConnectingDlg::CConnectingDlg() : CDialog(IDD_CONNECTING) {}

} // namespace dravel::win
