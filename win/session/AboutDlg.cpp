#include "win/session/AboutDlg.h"

#include "win/app/VersionInfo.h"
#include "win/base/Text.h"
#include "win/res/resource.h"

namespace dravel::win {

CAboutDlg::CAboutDlg() : CDialog(IDD_ABOUTBOX) {}

BOOL CAboutDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    // Without a readable version resource the template's text stays.
    std::string version = ReadFileVersion(ModulePath());
    if (!version.empty())
        SetDlgItemText(IDC_VERSION, L"Version " + Cp949ToWide(version));
    return TRUE;
}

} // namespace dravel::win
