#pragma once
// What the main window shows where its page cannot be shown: the user's name, whether the session is
// connected, the unread messages and the conversations that hold them, and a button into the chat list. Its controls are children of the main window itself, so
// the dialog's keyboard handling reaches the button and its click arrives as the window's own command.

#include <windows.h>

#include <optional>

#include <string>
#include <vector>

namespace dravel::win {

class CNoPagePanel {
public:
    // Creates the hidden controls in hwndParent, in its dialog font.
    bool Create(HWND hwndParent);
    void SetTexts(const std::wstring& strName, bool bConnected);
    // The unread total and one line per conversation with unread messages ("name (count)"), the newest
    // first; keys are what OpenedKey gives back for a line.
    void SetUnread(int nTotal, const std::vector<std::wstring>& lines, std::vector<std::string> keys);
    // The conversation of the list's selected line, when the list has the keyboard (Enter) or a click
    // just chose it; nothing otherwise.
    std::optional<std::string> SelectedKey() const;
    HWND UnreadList() const { return m_hwndList; }
    // Centres the controls in the parent's client rectangle.
    void Layout(const RECT& rcClient);
    void Show(bool bShow);
    bool IsShown() const { return m_bShown; }

private:
    HWND m_hwndName = nullptr;
    HWND m_hwndState = nullptr;
    HWND m_hwndButton = nullptr;
    HWND m_hwndUnread = nullptr;
    HWND m_hwndList = nullptr;
    std::vector<std::string> m_keys;
    bool m_bShown = false;
};

} // namespace dravel::win
