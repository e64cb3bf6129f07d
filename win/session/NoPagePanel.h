#pragma once
// What the main window shows where its page cannot be shown: the user's name, whether the session is
// connected, and a button into the chat list. Its controls are children of the main window itself, so
// the dialog's keyboard handling reaches the button and its click arrives as the window's own command.

#include <windows.h>

#include <string>

namespace dravel::win {

class CNoPagePanel {
public:
    // Creates the hidden controls in hwndParent, in its dialog font.
    bool Create(HWND hwndParent);
    void SetTexts(const std::wstring& strName, bool bConnected);
    // Centres the controls in the parent's client rectangle.
    void Layout(const RECT& rcClient);
    void Show(bool bShow);
    bool IsShown() const { return m_bShown; }

private:
    HWND m_hwndName = nullptr;
    HWND m_hwndState = nullptr;
    HWND m_hwndButton = nullptr;
    bool m_bShown = false;
};

} // namespace dravel::win
