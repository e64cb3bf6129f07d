#include "session/BulkNoteDlg.h"

#include "resource.h"

namespace dravel::win {

CBulkNoteDlg::CBulkNoteDlg() : CDialog(IDD_BULK_NOTE) {}
CBulkNoteDlg::~CBulkNoteDlg() = default;

BOOL CBulkNoteDlg::OnInitDialog() {
    return CDialog::OnInitDialog();
}

void CBulkNoteDlg::OnOK() {
    CDialog::OnOK();
}

} // namespace dravel::win
