#pragma once

// The main window. For now it is the bare dialog that the session will grow into: it owns the
// program's icon and system menu and ends the program on Cancel.

#include "base/Dialog.h"

#include <string>

namespace dravel::win {

class CMainDlg : public CDialog {
public:
    CMainDlg();
    ~CMainDlg() override;

    // Login ID and password, set by the application before the window runs (may be empty).
    std::wstring m_strUserId;
    std::wstring m_strPassword;

protected:
    LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;
    BOOL OnInitDialog() override;
    void OnOK() override;
    void OnCancel() override;
    void OnSysCommand(UINT cmd, LPARAM lParam) override;

private:
    HICON m_hIcon = nullptr;
    HICON m_hSmallIcon = nullptr;
};

} // namespace dravel::win
