#pragma once

// The skinned login dialog (template 1010, bitmap 138, pure green see-through): user ID and password.
// The last confirmed ID is remembered machine-wide under "Software\Brello\Tamix", value "LoginId";
// the password never leaves memory.

#include "win/ui/SkinDialog.h"

#include <string>

namespace dravel::win {

class CLoginDlg : public CSkinDialog {
public:
    CLoginDlg();
    ~CLoginDlg() override;

    // Code page 949. Set the ID before DoModal (a remembered ID replaces it); both are filled on OK.
    std::string m_strUserId;
    std::string m_strPassword;

protected:
    BOOL OnInitDialog() override;
    void OnOK() override;
    LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;
    void OnPaint() override;

private:
    void LoadRememberedId();
    void RememberId() const;

    HICON m_hIcon = nullptr; // shared resource icon: not destroyed
};

// "Dravel On 에 접속 승인 중 입니다....": shown while a connection is being set up. The main window
// creates it once, modeless and without parent, hidden, and shows and hides it around each attempt.
class CConnectingDlg : public CDialog {
public:
    CConnectingDlg();
};

} // namespace dravel::win
