#include "win/conversation/FindBar.h"

#include "win/base/Text.h"
#include "win/res/resource.h"
#include "win/ui/Accessible.h"
#include "win/ui/Dpi.h"

#include "core/conversation/ConversationWindow.h"
#include "core/conversation/HistoryFind.h"

#include <algorithm>
#include <iterator>
#include <optional>
#include <string>

namespace dravel::win {

namespace {

// The bar's row, in pixels at 96 dpi: it ends where the history would, above the message edit.
constexpr int kRowHeight = 22;
constexpr int kGap = 4;
constexpr int kLabelWidth = 28;
constexpr int kButtonWidth = 40;
constexpr int kNoteWidth = 125;

HWND MakeControl(HWND parent, const wchar_t* className, UINT textId, DWORD style, int id, DWORD exStyle = 0) {
    const std::wstring text = textId != 0 ? LoadResString(textId) : std::wstring();
    return ::CreateWindowExW(exStyle, className, text.c_str(), WS_CHILD | style, 0, 0, 0, 0, parent,
                             reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), ::GetModuleHandleW(nullptr), nullptr);
}

} // namespace

bool CFindBar::CButton::OnReflectedMessage(UINT msg, WPARAM wParam, LPARAM, LRESULT&) {
    if (msg == WM_COMMAND && HIWORD(wParam) == BN_CLICKED && m_onClick)
        m_onClick();
    return false;
}

CFindBar::CFindBar(const CWindow& window, HTMLListCtrl& list) : m_window(window), m_list(list) {}

bool CFindBar::Create() {
    const HWND window = m_window.GetHwnd();
    if (m_hEdit != nullptr || window == nullptr || !m_list.IsWindow())
        return m_hEdit != nullptr;
    const HWND label = MakeControl(window, L"STATIC", IDS_CONV_FIND_LABEL, SS_RIGHT | SS_CENTERIMAGE, IDC_FIND_LABEL);
    const HWND edit = MakeControl(window, L"EDIT", 0, WS_TABSTOP | ES_AUTOHSCROLL, IDC_FIND_EDIT, WS_EX_CLIENTEDGE);
    const HWND next = MakeControl(window, L"BUTTON", IDS_CONV_FIND_NEXT, WS_TABSTOP | BS_PUSHBUTTON, IDC_FIND_NEXT);
    const HWND previous =
        MakeControl(window, L"BUTTON", IDS_CONV_FIND_PREVIOUS, WS_TABSTOP | BS_PUSHBUTTON, IDC_FIND_PREVIOUS);
    const HWND note = MakeControl(window, L"STATIC", 0, SS_LEFTNOWORDWRAP | SS_CENTERIMAGE, IDC_FIND_NOTE);
    const HWND row[] = {label, edit, next, previous, note};
    if (std::find(std::begin(row), std::end(row), nullptr) != std::end(row) || !m_next.Subclass(next) ||
        !m_previous.Subclass(previous)) {
        for (HWND hwnd : row)
            if (hwnd != nullptr)
                ::DestroyWindow(hwnd);
        return false;
    }
    m_next.m_onClick = [this] { Find(true); };
    m_previous.m_onClick = [this] { Find(false); };
    // Right after the history in the tab order, before the message edit.
    HWND after = m_list.GetHwnd();
    for (HWND hwnd : row) {
        ::SetWindowPos(hwnd, after, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        after = hwnd;
    }
    m_hLabel = label;
    m_hEdit = edit;
    m_hNote = note;
    return true;
}

bool CFindBar::IsOpen() const {
    return m_bOpen;
}

bool CFindBar::HoldsFocus(HWND hwnd) const {
    return hwnd != nullptr && (hwnd == m_hEdit || hwnd == m_next.GetHwnd() || hwnd == m_previous.GetHwnd());
}

void CFindBar::Open() {
    if (!Create())
        return;
    if (!m_bOpen) {
        m_bOpen = true;
        Layout();
        for (HWND hwnd : {m_hLabel, m_hEdit, m_next.GetHwnd(), m_previous.GetHwnd(), m_hNote})
            ::ShowWindow(hwnd, SW_SHOWNA);
    }
    // The dialog manager selects the edit's words, so that typing replaces them.
    ::SendMessageW(m_window.GetHwnd(), WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(m_hEdit), TRUE);
}

void CFindBar::Close() {
    if (!IsOpen())
        return;
    const HWND window = m_window.GetHwnd();
    if (HoldsFocus(::GetFocus()))
        ::SendMessageW(window, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(::GetDlgItem(window, IDC_MESSAGE_EDIT)), TRUE);
    m_bOpen = false;
    for (HWND hwnd : {m_hLabel, m_hEdit, m_next.GetHwnd(), m_previous.GetHwnd(), m_hNote})
        ::ShowWindow(hwnd, SW_HIDE);
    ::SetWindowTextW(m_hNote, L"");
    Layout();
}

bool CFindBar::OnKey(const MSG& msg) {
    if (msg.message != WM_KEYDOWN || ::GetKeyState(VK_MENU) < 0)
        return false;
    const bool bControl = ::GetKeyState(VK_CONTROL) < 0;
    const bool bShift = ::GetKeyState(VK_SHIFT) < 0;
    if (msg.wParam == 'F' && bControl && !bShift) {
        Open();
        return true;
    }
    if (!IsOpen() || bControl)
        return false;
    if (msg.wParam == VK_F3 || (msg.wParam == VK_RETURN && msg.hwnd == m_hEdit)) {
        Find(!bShift);
        return true;
    }
    if (msg.wParam == VK_ESCAPE && HoldsFocus(msg.hwnd)) {
        Close();
        return true;
    }
    return false;
}

void CFindBar::Find(bool bForward) {
    if (!IsOpen())
        return;
    const std::wstring words = WindowText(m_hEdit);
    // Words the code page cannot hold are in no item.
    const std::optional<std::string> needle = WideToCp949Exact(words);
    const int found = !needle ? -1
                              : FindHistoryItem(m_list.GetCount(), m_list.GetSelected(), bForward, *needle,
                                                [this](int position) { return m_list.GetItemReadingText(position); });
    const std::wstring note = found < 0 && !words.empty() ? LoadResString(IDS_CONV_FIND_NONE) : std::wstring();
    if (WindowText(m_hNote) != note)
        ::SetWindowTextW(m_hNote, note.c_str());
    // Screen readers say an alert's text even where the keyboard is not.
    if (!note.empty())
        NotifyAccEvent(EVENT_SYSTEM_ALERT, m_hNote, CHILDID_SELF);
    if (found >= 0)
        m_list.SelectItem(found);
}

void CFindBar::Layout() {
    const HWND window = m_window.GetHwnd();
    RECT edit{};
    if (m_hEdit == nullptr || window == nullptr || !::GetWindowRect(::GetDlgItem(window, IDC_MESSAGE_EDIT), &edit))
        return;
    ::MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&edit), 2);
    const int dpi = WindowDpi(window);
    const auto px = [dpi](int length) { return ScaleForDpi(length, dpi); };
    const int top = edit.top - px(kGap) - px(kRowHeight);
    const TextRect list = HistoryListPlace(m_bOpen ? top : edit.top, m_window.GetClientRect().right, dpi);
    ::SetWindowPos(m_list.GetHwnd(), nullptr, list.left, list.top, list.Width(), list.Height(),
                   SWP_NOZORDER | SWP_NOACTIVATE);
    const int fixed = px(kLabelWidth) + 2 * px(kButtonWidth) + px(kNoteWidth) + 4 * px(kGap);
    const struct {
        HWND hwnd;
        int width;
    } row[] = {{m_hLabel, px(kLabelWidth)},
               {m_hEdit, std::max(list.Width() - fixed, px(kButtonWidth))},
               {m_next.GetHwnd(), px(kButtonWidth)},
               {m_previous.GetHwnd(), px(kButtonWidth)},
               {m_hNote, px(kNoteWidth)}};
    const LRESULT font = ::SendMessageW(window, WM_GETFONT, 0, 0);
    int x = list.left;
    for (const auto& control : row) {
        ::SendMessageW(control.hwnd, WM_SETFONT, static_cast<WPARAM>(font), FALSE);
        ::SetWindowPos(control.hwnd, nullptr, x, top, control.width, px(kRowHeight), SWP_NOZORDER | SWP_NOACTIVATE);
        x += control.width + px(kGap);
    }
}

} // namespace dravel::win
