#include "win/session/NoPagePanel.h"

#include "win/base/Text.h"
#include "win/res/resource.h"
#include "win/ui/Dpi.h"

#include <algorithm>

namespace dravel::win {

namespace {

constexpr int kTextWidth = 280;
constexpr int kLineHeight = 22;
constexpr int kButtonWidth = 120;
constexpr int kButtonHeight = 28;
constexpr int kGap = 12;

HWND MakeChild(HWND parent, const wchar_t* cls, DWORD style, UINT id, HFONT font) {
    HWND hwnd =
        ::CreateWindowExW(0, cls, L"", WS_CHILD | style, 0, 0, 0, 0, parent,
                          reinterpret_cast<HMENU>(static_cast<UINT_PTR>(id)), ::GetModuleHandleW(nullptr), nullptr);
    if (hwnd && font)
        ::SendMessageW(hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    return hwnd;
}

} // namespace

bool CNoPagePanel::Create(HWND hwndParent) {
    // The dialog's own font, so the panel reads like the rest of the program's dialogs.
    auto font = reinterpret_cast<HFONT>(::SendMessageW(hwndParent, WM_GETFONT, 0, 0));
    m_hwndName = MakeChild(hwndParent, L"STATIC", SS_CENTER | SS_NOPREFIX, IDC_NOPAGE_NAME, font);
    m_hwndState = MakeChild(hwndParent, L"STATIC", SS_CENTER | SS_NOPREFIX, IDC_NOPAGE_STATE, font);
    m_hwndButton = MakeChild(hwndParent, L"BUTTON", BS_PUSHBUTTON | WS_TABSTOP, IDC_NOPAGE_CHATLIST, font);
    if (!m_hwndName || !m_hwndState || !m_hwndButton)
        return false;
    ::SetWindowTextW(m_hwndButton, LoadResString(IDS_NOPAGE_CHATLIST).c_str());
    return true;
}

void CNoPagePanel::SetTexts(const std::wstring& strName, bool bConnected) {
    if (m_hwndName)
        ::SetWindowTextW(m_hwndName, strName.c_str());
    if (m_hwndState)
        ::SetWindowTextW(m_hwndState,
                         LoadResString(bConnected ? IDS_NOPAGE_CONNECTED : IDS_NOPAGE_DISCONNECTED).c_str());
}

void CNoPagePanel::Layout(const RECT& rcClient) {
    // The lengths above are at 96 dpi: the panel takes the dpi of the window it is in at every layout,
    // which follows every size change, WM_DPICHANGED's included.
    const int dpi = m_hwndName != nullptr ? WindowDpi(::GetParent(m_hwndName)) : kDefaultDpi;
    const auto px = [dpi](int logical) { return ScaleForDpi(logical, dpi); };
    const int lineHeight = px(kLineHeight);
    const int buttonWidth = px(kButtonWidth);
    const int buttonHeight = px(kButtonHeight);
    const int cx = rcClient.right - rcClient.left;
    const int cy = rcClient.bottom - rcClient.top;
    const int nHeight = 2 * lineHeight + px(kGap) + buttonHeight;
    const int nTop = rcClient.top + std::max(0, (cy - nHeight) / 2);
    const int nWidth = std::min(px(kTextWidth), std::max(0, cx));
    const int nLeft = rcClient.left + (cx - nWidth) / 2;
    if (m_hwndName)
        ::MoveWindow(m_hwndName, nLeft, nTop, nWidth, lineHeight, TRUE);
    if (m_hwndState)
        ::MoveWindow(m_hwndState, nLeft, nTop + lineHeight, nWidth, lineHeight, TRUE);
    if (m_hwndButton)
        ::MoveWindow(m_hwndButton, rcClient.left + (cx - buttonWidth) / 2, nTop + 2 * lineHeight + px(kGap),
                     buttonWidth, buttonHeight, TRUE);
}

void CNoPagePanel::Show(bool bShow) {
    m_bShown = bShow;
    for (HWND hwnd : {m_hwndName, m_hwndState, m_hwndButton})
        if (hwnd)
            ::ShowWindow(hwnd, bShow ? SW_SHOWNA : SW_HIDE);
}

} // namespace dravel::win
