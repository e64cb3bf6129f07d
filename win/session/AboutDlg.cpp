#include "win/session/AboutDlg.h"

#include "win/base/Text.h"
#include "win/res/resource.h"

namespace dravel::win {

CAboutDlg::CAboutDlg(std::string strVersion) : CDialog(IDD_ABOUTBOX), m_strVersion(std::move(strVersion)) {}

BOOL CAboutDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    // Without a readable version resource the template's text stays.
    if (!m_strVersion.empty())
        SetDlgItemText(IDC_VERSION, LoadResString(IDS_SESSION_VERSION_PREFIX) + Cp949ToWide(m_strVersion));
    return TRUE;
}

} // namespace dravel::win
