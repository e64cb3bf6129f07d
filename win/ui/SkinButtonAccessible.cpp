// What a skinned button tells accessibility clients. The button draws itself, so the system's own
// description of a push button does not reach readers: this one takes its place.

#include "win/ui/SkinButton.h"

#include "win/base/Text.h"
#include "win/res/resource.h"

namespace dravel::win {

long CSkinButton::AccRole(long) {
    return ROLE_SYSTEM_PUSHBUTTON;
}

std::wstring CSkinButton::AccName(long) {
    // An image-only button is known by its tooltip.
    std::wstring name = AccCaptionText(GetText());
    return name.empty() ? m_strTipText : name;
}

std::wstring CSkinButton::AccDescription(long) {
    const std::wstring caption = AccCaptionText(GetText());
    return caption.empty() || caption == m_strTipText ? std::wstring() : m_strTipText;
}

std::wstring CSkinButton::AccKeyboardShortcut(long) {
    std::wstring shortcut;
    AccCaptionText(GetText(), &shortcut);
    return shortcut;
}

long CSkinButton::AccState(long) {
    long state = STATE_SYSTEM_FOCUSABLE;
    if (m_bDefault)
        state |= STATE_SYSTEM_DEFAULT;
    if (m_bHover)
        state |= STATE_SYSTEM_HOTTRACKED;
    return state;
}

std::wstring CSkinButton::AccDefaultAction(long) {
    return LoadResString(IDS_CONTROLS_PRESS);
}

bool CSkinButton::AccDoDefaultAction(long) {
    if (!::IsWindowEnabled(m_hWnd) || !::IsWindowVisible(m_hWnd))
        return false;
    // Posted: the parent's answer to the click may open a modal window, which must not run inside a
    // client's call.
    return PostMessage(BM_CLICK);
}

} // namespace dravel::win
