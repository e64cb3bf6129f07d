#pragma once

// "일괄 쪽지 보내기" (template 169): an administrator's note to every user. Enter in the note starts a
// new line; the dialog only collects and checks the text, the main window sends it.

#include "base/Dialog.h"

#include <string>

namespace dravel::win {

class CBulkNoteDlg : public CDialog {
public:
    CBulkNoteDlg();
    ~CBulkNoteDlg() override;

    // Code page 949; valid after DoModal ended with IDOK.
    std::string m_strNote;

protected:
    BOOL OnInitDialog() override;
    void OnOK() override;
};

} // namespace dravel::win
