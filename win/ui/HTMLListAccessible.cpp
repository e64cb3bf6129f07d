// What the HTML list tells accessibility clients: a list whose items are list items read as their
// plain text. Child id n is the item at position n - 1.

#include "win/ui/HTMLListCtrl.h"

#include "win/base/Text.h"
#include "core/ui/HtmlReadingText.h"

#include <algorithm>
#include <climits>

namespace dravel::win {

long HTMLListCtrl::AccChildCount() {
    return m_model.GetCount();
}

long HTMLListCtrl::AccRole(long child) {
    return child == CHILDID_SELF ? ROLE_SYSTEM_LIST : ROLE_SYSTEM_LISTITEM;
}

std::string HTMLListCtrl::GetItemReadingText(int index) const {
    const HtmlListItem* item = m_model.FindItem(index);
    if (item == nullptr)
        return {};
    return item->nType == dravel::HLT_HTML ? dravel::HtmlReadingText(item->strText) : item->strText;
}

std::wstring HTMLListCtrl::AccName(long child) {
    return child == CHILDID_SELF ? std::wstring() : Cp949ToWide(GetItemReadingText(static_cast<int>(child - 1)));
}

void HTMLListCtrl::SelectItem(int position) {
    const int before = m_model.GetSelected();
    m_model.Select(position);
    NotifySelectionMoved(before);
}

long HTMLListCtrl::AccState(long child) {
    if (child == CHILDID_SELF)
        return STATE_SYSTEM_FOCUSABLE;
    const int position = static_cast<int>(child - 1);
    long state = STATE_SYSTEM_SELECTABLE | STATE_SYSTEM_FOCUSABLE;
    if (position == m_model.GetSelected()) {
        state |= STATE_SYSTEM_SELECTED;
        if (::GetFocus() == m_hWnd)
            state |= STATE_SYSTEM_FOCUSED;
    }
    const HtmlListItem* item = m_model.FindItem(position);
    if (item != nullptr && (m_model.GetStyle() & dravel::HLS_CHECKBOXES) && item->nChecked)
        state |= STATE_SYSTEM_CHECKED;
    RECT client{};
    ::GetClientRect(m_hWnd, &client);
    const RECT box = ItemBoxNow(position);
    if (box.bottom <= client.top || box.top >= client.bottom || box.bottom <= box.top)
        state |= STATE_SYSTEM_INVISIBLE | STATE_SYSTEM_OFFSCREEN;
    return state;
}

RECT HTMLListCtrl::ItemBoxNow(int position) {
    SyncScrollPos();
    RECT client{};
    ::GetClientRect(m_hWnd, &client);
    long long top = -static_cast<long long>(m_model.GetScrollPos());
    for (int i = 0; i < position; ++i) {
        if (const HtmlListItem* item = m_model.FindItem(i))
            top += item->nHeight;
    }
    const HtmlListItem* item = m_model.FindItem(position);
    const long long bottom = top + (item != nullptr ? item->nHeight : 0);
    auto clampToInt = [](long long v) { return static_cast<LONG>(std::clamp<long long>(v, INT_MIN / 2, INT_MAX / 2)); };
    return RECT{client.left, clampToInt(top), client.right, clampToInt(bottom)};
}

bool HTMLListCtrl::AccLocation(long child, RECT& rc) {
    if (child == CHILDID_SELF)
        return false;
    rc = ClientToScreenRect(m_hWnd, ItemBoxNow(static_cast<int>(child - 1)));
    return true;
}

long HTMLListCtrl::AccHitTest(POINT pt) {
    SyncScrollPos();
    long long top = -static_cast<long long>(m_model.GetScrollPos());
    const int count = m_model.GetCount();
    for (int i = 0; i < count && top <= pt.y; ++i) {
        const HtmlListItem* item = m_model.FindItem(i);
        const long long bottom = top + (item != nullptr ? item->nHeight : 0);
        if (pt.y >= top && pt.y < bottom)
            return i + 1;
        top = bottom;
    }
    return CHILDID_SELF;
}

long HTMLListCtrl::AccFocusChild() {
    return m_model.GetSelected() + 1; // CHILDID_SELF for no selection
}

long HTMLListCtrl::AccSelectedChild() {
    return m_model.GetSelected() + 1;
}

void HTMLListCtrl::NotifySelectionMoved(int before) {
    const int now = m_model.GetSelected();
    if (now == before || now < 0 || m_hWnd == nullptr)
        return;
    NotifyAccEvent(EVENT_OBJECT_SELECTION, m_hWnd, now + 1);
    if (::GetFocus() == m_hWnd)
        NotifyAccEvent(EVENT_OBJECT_FOCUS, m_hWnd, now + 1);
}

} // namespace dravel::win
