#pragma once

// The main window. For now it is the bare dialog that the session will grow into: it owns the
// program's icon and system menu and ends the program on Cancel.

#include "base/Dialog.h"

#include <string>

namespace dravel::win {

// Posted by the single-instance listener: a later launch wants this window in front.
inline constexpr UINT kBringForwardMessage = WM_APP + 1;
// Ends the session with a restart. Until the session itself can end (server's close, lost connection,
// idle logout), this message is how that end is brought about.
inline constexpr UINT kRestartMessage = WM_APP + 2;

class CMainDlg : public CDialog {
public:
    CMainDlg();
    ~CMainDlg() override;

    // Shows the window again (the notification-area icon does not exist yet).
    void ShowFromTray();
    // Starts a new process of the program and ends this window; if that fails, says so and stays.
    void TeardownAndRestart();

    // Login ID and password, set by the application before the window runs (may be empty).
    std::wstring m_strUserId;
    std::wstring m_strPassword;

protected:
    LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;
    BOOL OnInitDialog() override;
    void OnOK() override;
    void OnCancel() override;
    void OnSysCommand(UINT cmd, LPARAM lParam) override;
    void OnDestroy() override;
    // A later launch: minimise and restore, which brings even a covered window to the front.
    void OnBringForward();

private:
    HICON m_hIcon = nullptr;
    HICON m_hSmallIcon = nullptr;
};

} // namespace dravel::win
