#pragma once

// The conversation window's find bar: "찾기", an edit for the words, "다음" and "이전", and a note when no
// item holds them. Made the first time Ctrl+F asks for it, as children of the window above the message
// edit (the history shrinks while it shows); Tab goes through the edit and the two buttons after the
// history. Enter in its edit and F3 find the next item, Shift+F3 the previous, round past the ends;
// Escape in the bar closes it. A found item is selected and scrolled into view, as a click selects it.

#include "win/base/Window.h"
#include "win/ui/HTMLListCtrl.h"

#include <functional>

namespace dravel::win {

class CFindBar {
public:
    // window: the conversation window; list: its history. Both outlive the bar.
    CFindBar(const CWindow& window, HTMLListCtrl& list);
    CFindBar(const CFindBar&) = delete;
    CFindBar& operator=(const CFindBar&) = delete;

    // A key on its way to the window; true when the bar took it.
    bool OnKey(const MSG& msg);
    void Open();
    void Close();
    bool IsOpen() const;
    // The next (or previous) item holding the edit's words after the selected one.
    void Find(bool bForward);
    // Places the bar and the history for the window's current size and dpi; nothing before the bar exists.
    void Layout();

private:
    // A button of the bar: its click comes back to it from the window.
    class CButton : public CWindow {
    public:
        std::function<void()> m_onClick;

    protected:
        bool OnReflectedMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
    };

    bool Create();
    bool HoldsFocus(HWND hwnd) const;

    const CWindow& m_window;
    HTMLListCtrl& m_list;
    HWND m_hLabel = nullptr;
    HWND m_hEdit = nullptr;
    HWND m_hNote = nullptr;
    // Shown, or being shown: the history makes room for it.
    bool m_bOpen = false;
    CButton m_next;
    CButton m_previous;
};

} // namespace dravel::win
