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
// The list of conversations with unread messages shows this many lines before it scrolls.
constexpr int kUnreadLines = 5;

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
    // Created in the order the keyboard goes through them.
    m_hwndUnread = MakeChild(hwndParent, L"STATIC", SS_CENTER | SS_NOPREFIX, IDC_NOPAGE_UNREAD, font);
    m_hwndList = MakeChild(hwndParent, L"LISTBOX", LBS_NOTIFY | LBS_NOINTEGRALHEIGHT | WS_VSCROLL | WS_BORDER | WS_TABSTOP,
                           IDC_NOPAGE_UNREAD_LIST, font);
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

void CNoPagePanel::SetUnread(int nTotal, const std::vector<std::wstring>& lines, std::vector<std::string> keys) {
    if (m_hwndUnread)
        ::SetWindowTextW(m_hwndUnread, nTotal > 0 ? FormatResString(IDS_ATTENTION_UNREAD, nTotal).c_str() : L"");
    if (!m_hwndList)
        return;
    // The line the user is on stays selected while the list is filled again.
    const std::optional<std::string> selected = SelectedKey();
    ::SendMessageW(m_hwndList, WM_SETREDRAW, FALSE, 0);
    ::SendMessageW(m_hwndList, LB_RESETCONTENT, 0, 0);
    for (const std::wstring& line : lines)
        ::SendMessageW(m_hwndList, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(line.c_str()));
    m_keys = std::move(keys);
    for (size_t i = 0; selected && i < m_keys.size(); ++i)
        if (m_keys[i] == *selected)
            ::SendMessageW(m_hwndList, LB_SETCURSEL, i, 0);
    ::SendMessageW(m_hwndList, WM_SETREDRAW, TRUE, 0);
    ::InvalidateRect(m_hwndList, nullptr, TRUE);
    if (m_bShown)
        ::ShowWindow(m_hwndList, m_keys.empty() ? SW_HIDE : SW_SHOWNA);
}

std::optional<std::string> CNoPagePanel::SelectedKey() const {
    if (!m_hwndList)
        return std::nullopt;
    const LRESULT sel = ::SendMessageW(m_hwndList, LB_GETCURSEL, 0, 0);
    if (sel < 0 || static_cast<size_t>(sel) >= m_keys.size())
        return std::nullopt;
    return m_keys[static_cast<size_t>(sel)];
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
    const int listHeight = kUnreadLines * lineHeight;
    const int nHeight = 3 * lineHeight + listHeight + 2 * px(kGap) + buttonHeight;
    const int nTop = rcClient.top + std::max(0, (cy - nHeight) / 2);
    const int nWidth = std::min(px(kTextWidth), std::max(0, cx));
    const int nLeft = rcClient.left + (cx - nWidth) / 2;
    if (m_hwndName)
        ::MoveWindow(m_hwndName, nLeft, nTop, nWidth, lineHeight, TRUE);
    if (m_hwndState)
        ::MoveWindow(m_hwndState, nLeft, nTop + lineHeight, nWidth, lineHeight, TRUE);
    if (m_hwndUnread)
        ::MoveWindow(m_hwndUnread, nLeft, nTop + 2 * lineHeight, nWidth, lineHeight, TRUE);
    if (m_hwndList)
        ::MoveWindow(m_hwndList, nLeft, nTop + 3 * lineHeight, nWidth, listHeight, TRUE);
    if (m_hwndButton)
        ::MoveWindow(m_hwndButton, rcClient.left + (cx - buttonWidth) / 2,
                     nTop + 3 * lineHeight + listHeight + 2 * px(kGap), buttonWidth, buttonHeight, TRUE);
}

void CNoPagePanel::Show(bool bShow) {
    m_bShown = bShow;
    for (HWND hwnd : {m_hwndName, m_hwndState, m_hwndUnread, m_hwndButton})
        if (hwnd)
            ::ShowWindow(hwnd, bShow ? SW_SHOWNA : SW_HIDE);
    if (m_hwndList)
        ::ShowWindow(m_hwndList, bShow && !m_keys.empty() ? SW_SHOWNA : SW_HIDE);
}

} // namespace dravel::win
