#include "win/portal/BrowserPopupDlg.h"

#include "win/res/resource.h"

namespace dravel::win {

CBrowserPopupDlg::CBrowserPopupDlg() : CBrowserWindow(IDD_BROWSER_POPUP) {}

void CBrowserPopupDlg::OnOK() {
    OnCancel();
}

} // namespace dravel::win
