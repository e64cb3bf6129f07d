#pragma once

// A browser pop-up (dialog 131): a page script opens it at the place it chooses. Enter hides it as
// Escape does.

#include "win/portal/BrowserWindow.h"

namespace dravel::win {

class CBrowserPopupDlg : public CBrowserWindow {
public:
    CBrowserPopupDlg();

protected:
    void OnOK() override;
};

} // namespace dravel::win
