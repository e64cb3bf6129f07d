#pragma once

// The portal page window (dialog 132): the portal menu and page scripts show a portal page in it over
// the desktop's work area. It keeps itself on top of the other windows whenever it shows or hides.

#include "win/portal/BrowserWindow.h"

namespace dravel::win {

class CPortalDlg : public CBrowserWindow {
public:
    CPortalDlg();

protected:
    BOOL OnInitDialog() override;
    // Enter does nothing here.
    void OnOK() override;
    void OnShown(bool bShow) override;

private:
    void RaiseToTop() const;
};

} // namespace dravel::win
