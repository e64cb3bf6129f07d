#pragma once

// "일괄 쪽지 보내기" (template 169): an administrator's note to every user. Enter in the note starts a
// new line; the dialog only collects and checks the text, the main window sends it.

#include "win/base/Dialog.h"

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
    LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;

    // Looks at every message of the thread before it is handled; Enter in the note becomes
    // Control+Enter.
    void PreTranslateMessage(const MSG& msg);

private:
    static LRESULT CALLBACK GetMessageHook(int code, WPARAM wParam, LPARAM lParam);
    void StartWatchingKeys();
    void StopWatchingKeys();

    HWND m_hwndNote = nullptr;
    HHOOK m_hHook = nullptr;
    bool m_bControlMarked = false;
};

} // namespace dravel::win
