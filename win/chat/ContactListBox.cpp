#include "win/chat/ContactListBox.h"

#include "win/base/Handles.h"
#include "win/base/Text.h"
#include "win/res/resource.h"
#include "win/ui/Dpi.h"
#include "win/ui/GdiHelpers.h"

#include "core/conversation/ChatList.h"

#include <windowsx.h>

#include <algorithm>
#include <cstring>

namespace dravel::win {

namespace {

constexpr UINT kTextFlags = DT_WORDBREAK | DT_EXPANDTABS | DT_NOPREFIX;
constexpr UINT kStateDisabled = 1u;
// Space around the icon: 3 pixels each side across, 2 above and below.
constexpr int kIconPadX = 3;
constexpr int kIconPadY = 2;
// A list box keeps an item's height in a byte.
constexpr int kMaxItemHeight = 255;

} // namespace

CContactListBox::CContactListBox() noexcept = default;

CContactListBox::~CContactListBox() {
    // A list still alive when its object goes keeps no pointers to the records that go with the object.
    if (IsWindow())
        FreeAllRecords();
}

bool CContactListBox::AttachDlgItem(HWND parent, int id) {
    const HWND list = ::GetDlgItem(parent, id);
    if (list == nullptr || !Subclass(list))
        return false;
    m_nDpi = WindowDpi(list);
    return true;
}

void CContactListBox::OnDpiChanged(int dpi) {
    if (dpi == m_nDpi)
        return;
    m_nDpi = dpi;
    const int id = ::GetDlgCtrlID(m_hWnd);
    const int count = GetCount();
    for (int i = 0; i < count; ++i) {
        MEASUREITEMSTRUCT mis{};
        mis.CtlType = ODT_LISTBOX;
        mis.CtlID = static_cast<UINT>(id);
        mis.itemID = static_cast<UINT>(i);
        if (MeasureItem(mis))
            SendMessage(LB_SETITEMHEIGHT, static_cast<WPARAM>(i), static_cast<LPARAM>(mis.itemHeight));
    }
    Invalidate();
}

ContactItemRecord* CContactListBox::RecordOf(int index) const {
    if (m_hWnd == nullptr)
        return nullptr;
    const LRESULT data = ::SendMessageW(m_hWnd, LB_GETITEMDATA, static_cast<WPARAM>(index), 0);
    if (data == LB_ERR || data == 0)
        return nullptr;
    // Any program on the desktop can set an item's data: only a value this list handed out is a record.
    const auto found = m_records.find(data);
    return found != m_records.end() ? found->second.get() : nullptr;
}

void CContactListBox::FreeRecord(int index) {
    ContactItemRecord* record = RecordOf(index);
    if (record == nullptr)
        return;
    // The pointer leaves the item first, so that nothing can reach the freed record.
    DefaultProc(LB_SETITEMDATA, static_cast<WPARAM>(index), 0);
    m_records.erase(reinterpret_cast<LPARAM>(record));
}

void CContactListBox::FreeAllRecords() {
    for (int i = GetCount() - 1; i >= 0; --i)
        DefaultProc(LB_SETITEMDATA, static_cast<WPARAM>(i), 0);
    m_records.clear();
}

int CContactListBox::AddItem(std::wstring_view text, int image, std::string_view id) {
    const std::wstring str(text);
    const auto index = static_cast<int>(SendMessage(LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(str.c_str())));
    if (index == LB_ERR || index == LB_ERRSPACE)
        return index;
    auto record = std::make_unique<ContactItemRecord>();
    const std::string bounded = BoundItemId(id);
    std::memcpy(record->szId, bounded.data(), bounded.size());
    record->szId[bounded.size()] = '\0';
    record->nImage = image;
    const auto key = reinterpret_cast<LPARAM>(record.get());
    if (SendMessage(LB_SETITEMDATA, static_cast<WPARAM>(index), key) != LB_ERR)
        m_records.emplace(key, std::move(record));
    return index;
}

void CContactListBox::DeleteItem(int index) {
    // LB_DELETESTRING frees the record on its way (HandleMessage).
    SendMessage(LB_DELETESTRING, static_cast<WPARAM>(index));
}

void CContactListBox::ResetContent() {
    SendMessage(LB_RESETCONTENT);
}

std::optional<std::string> CContactListBox::GetItemID(int index) const {
    const ContactItemRecord* record = RecordOf(index);
    if (record == nullptr)
        return std::nullopt;
    return std::string(record->szId, ::strnlen(record->szId, sizeof(record->szId)));
}

void CContactListBox::SetItemImage(int index, int image, bool bRepaint) {
    ContactItemRecord* record = RecordOf(index);
    if (record == nullptr)
        return;
    record->nImage = image;
    if (bRepaint)
        Invalidate();
}

int CContactListBox::GetItemImage(int index) const {
    const ContactItemRecord* record = RecordOf(index);
    return record != nullptr ? record->nImage : -1;
}

bool CContactListBox::IsItemEnabled(int index) const {
    const ContactItemRecord* record = RecordOf(index);
    return record == nullptr || (record->uState & kStateDisabled) == 0;
}

void CContactListBox::EnableItem(int index, bool bEnable, bool bRepaint) {
    ContactItemRecord* record = RecordOf(index);
    if (record == nullptr)
        return;
    record->uState = bEnable ? (record->uState & ~kStateDisabled) : (record->uState | kStateDisabled);
    if (bRepaint)
        Invalidate();
}

void CContactListBox::SetImageList(HIMAGELIST images) {
    m_hImages = images;
    m_cxIcon = m_cyIcon = 0;
    if (images != nullptr && !::ImageList_GetIconSize(images, &m_cxIcon, &m_cyIcon))
        m_cxIcon = m_cyIcon = 0;
    if (m_hWnd != nullptr)
        Invalidate();
}

bool CContactListBox::SetSelectionStyle(uint8_t style) {
    if (style > kStyleTextOnly)
        return false;
    m_nSelStyle = style;
    if (m_hWnd != nullptr)
        Invalidate();
    return true;
}

int CContactListBox::GetCount() const {
    return m_hWnd != nullptr ? static_cast<int>(SendMessage(LB_GETCOUNT)) : 0;
}

int CContactListBox::GetCurSel() const {
    return m_hWnd != nullptr ? static_cast<int>(SendMessage(LB_GETCURSEL)) : LB_ERR;
}

std::wstring CContactListBox::GetItemText(int index) const {
    const LRESULT len = SendMessage(LB_GETTEXTLEN, static_cast<WPARAM>(index));
    if (len == LB_ERR || len <= 0)
        return {};
    std::wstring text(static_cast<size_t>(len) + 1, L'\0');
    const LRESULT got = SendMessage(LB_GETTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(text.data()));
    text.resize(got == LB_ERR ? 0 : static_cast<size_t>(got));
    return text;
}

bool CContactListBox::MeasureItem(MEASUREITEMSTRUCT& mis) {
    if (m_hWnd == nullptr || mis.CtlType != ODT_LISTBOX || static_cast<int>(mis.CtlID) != ::GetDlgCtrlID(m_hWnd))
        return false;
    // Measured in the font the list draws with, and in the width the text gets beside the icon, so that
    // a wrapped name is never taller than its item.
    const RECT rcClient = GetClientRect();
    int offered = rcClient.right - rcClient.left;
    if (mis.itemWidth > 0 && static_cast<int>(mis.itemWidth) < offered)
        offered = static_cast<int>(mis.itemWidth);
    const int textWidth = offered - (m_hImages != nullptr ? m_cxIcon + 2 * ScaleForDpi(kIconPadX, m_nDpi) : 0);
    CWindowDc dc(m_hWnd);
    const auto font = reinterpret_cast<HFONT>(SendMessage(WM_GETFONT));
    std::optional<CSelectObjectGuard> fontSelection;
    if (font != nullptr)
        fontSelection.emplace(dc.Get(), font);
    const int textHeight = MeasureWrappedText(dc.Get(), GetItemText(static_cast<int>(mis.itemID)), textWidth);
    fontSelection.reset();
    mis.itemHeight = static_cast<UINT>(
        std::min(ContactItemHeight(textHeight, m_hImages != nullptr, m_cyIcon, m_nDpi), kMaxItemHeight));
    return true;
}

void CContactListBox::DrawItem(const DRAWITEMSTRUCT& dis) {
    if (dis.itemID == static_cast<UINT>(-1))
        return;
    const ContactItemRecord* record = RecordOf(static_cast<int>(dis.itemID));
    if (record == nullptr)
        return;
    const HDC hdc = dis.hDC;
    const bool bSelected = (dis.itemState & ODS_SELECTED) != 0;
    const bool bFocused = (dis.itemState & ODS_FOCUS) != 0;
    const bool bDisabled = (dis.itemState & ODS_DISABLED) != 0 || (record->uState & kStateDisabled) != 0;
    const COLORREF window = ::GetSysColor(COLOR_WINDOW);
    const COLORREF highlight = ::GetSysColor(COLOR_HIGHLIGHT);
    const COLORREF windowText = ::GetSysColor(COLOR_WINDOWTEXT);
    const COLORREF grayText = ::GetSysColor(COLOR_GRAYTEXT);
    const int oldMode = ::SetBkMode(hdc, TRANSPARENT);

    const RECT& rcItem = dis.rcItem;
    RECT rcIcon{};
    const int padX = ScaleForDpi(kIconPadX, m_nDpi);
    const int padY = ScaleForDpi(kIconPadY, m_nDpi);
    if (m_hImages != nullptr)
        rcIcon = {rcItem.left, rcItem.top, rcItem.left + m_cxIcon + 2 * padX, rcItem.top + m_cyIcon + 2 * padY};
    RECT rcArea = rcItem;
    rcArea.left = rcIcon.right;

    const std::wstring text = GetItemText(static_cast<int>(dis.itemID));
    RECT rcText = rcArea;
    const int textHeight = MeasureWrappedText(hdc, text, rcArea.right - rcArea.left, record->uTextFormat);
    rcText.top += ((rcArea.bottom - rcArea.top) - textHeight) / 2;
    rcText.bottom = rcText.top + textHeight;

    if (m_hImages != nullptr) {
        const RECT rcIconBack{rcIcon.left, rcItem.top, rcIcon.right, rcItem.bottom};
        const bool bHighlightIcon = bSelected && m_nSelStyle == kStyleWholeItem && !bDisabled;
        FillSolid(hdc, rcIconBack, bHighlightIcon ? highlight : window);
    }

    COLORREF fore = windowText;
    COLORREF back = window;
    if (bDisabled) {
        fore = grayText;
    } else if (bSelected) {
        fore = ~windowText & 0x00FFFFFF;
        back = highlight;
    }
    FillSolid(hdc, m_nSelStyle == kStyleTextOnly ? rcText : rcArea, back);

    if (m_hImages != nullptr && record->nImage >= 0 && record->nImage < ::ImageList_GetImageCount(m_hImages)) {
        const int x = rcIcon.left + padX;
        const int y = rcIcon.top + padY;
        if (bDisabled) {
            CIconHandle icon(::ImageList_GetIcon(m_hImages, record->nImage, ILD_NORMAL));
            if (icon)
                ::DrawStateW(hdc, nullptr, nullptr, reinterpret_cast<LPARAM>(icon.Get()), 0, x, y, m_cxIcon, m_cyIcon,
                             DST_ICON | DSS_DISABLED);
        } else {
            ::ImageList_DrawEx(m_hImages, record->nImage, hdc, x, y, m_cxIcon, m_cyIcon, CLR_NONE, CLR_NONE,
                               ILD_NORMAL);
        }
    }

    const COLORREF oldFore = ::SetTextColor(hdc, fore);
    const COLORREF oldBack = ::SetBkColor(hdc, back);
    ::DrawTextW(hdc, text.c_str(), static_cast<int>(text.size()), &rcText, kTextFlags | record->uTextFormat);
    ::SetTextColor(hdc, oldFore);
    ::SetBkColor(hdc, oldBack);

    if (bFocused && !bDisabled) {
        const RECT* focus = m_nSelStyle == kStyleWholeItem  ? &rcItem
                            : m_nSelStyle == kStyleTextArea ? &rcArea
                                                            : &rcText;
        ::DrawFocusRect(hdc, focus);
    }
    ::SetBkMode(hdc, oldMode);
}

int CContactListBox::ItemFromPoint(POINT pt, bool& bOnItem) const {
    bOnItem = false;
    if (GetCount() <= 0)
        return LB_ERR;
    const LRESULT hit = SendMessage(LB_ITEMFROMPOINT, 0, MAKELPARAM(pt.x, pt.y));
    const int index = static_cast<int>(LOWORD(hit));
    if (index >= GetCount())
        return GetCount() - 1;
    // The high word says "outside the client area"; below the last item the point lies on no item either.
    RECT rc{};
    bOnItem = HIWORD(hit) == 0 &&
              SendMessage(LB_GETITEMRECT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&rc)) != LB_ERR &&
              ::PtInRect(&rc, pt);
    return index;
}

void CContactListBox::OnRButtonDown(UINT keys, POINT pt) {
    bool bOnItem = false;
    const int index = ItemFromPoint(pt, bOnItem);
    if (index >= 0)
        SendMessage(LB_SETCURSEL, static_cast<WPARAM>(index));
    const HWND parent = ::GetParent(m_hWnd);
    if (parent != nullptr)
        ::PostMessageW(parent, kContactListRightClick, keys, static_cast<LPARAM>(GetCurSel()));
}

bool CContactListBox::OnLButtonDblClk(POINT pt) {
    bool bOnItem = false;
    const int index = ItemFromPoint(pt, bOnItem);
    return index >= 0 && bOnItem && !IsItemEnabled(index);
}

void CContactListBox::OnMouseWheel(short delta) {
    SCROLLINFO si{};
    si.cbSize = sizeof(si);
    si.fMask = SIF_ALL;
    if (::GetScrollInfo(m_hWnd, SB_VERT, &si)) {
        const int limit = std::max(si.nMin, si.nMax - std::max(static_cast<int>(si.nPage) - 1, 0));
        const int pos = delta > 0 ? std::max(si.nPos, si.nMin) : std::min(si.nPos, limit);
        ::SetScrollPos(m_hWnd, SB_VERT, pos, FALSE);
    }
    ::RedrawWindow(m_hWnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
}

LRESULT CContactListBox::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_RBUTTONDOWN:
        OnRButtonDown(static_cast<UINT>(wParam), POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
        return 0;
    case WM_LBUTTONDBLCLK:
        // The list's answer to a double click is the notification to the parent: a disabled item's is
        // swallowed here, before it is sent.
        if (OnLButtonDblClk(POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)}))
            return 0;
        break;
    case WM_MOUSEWHEEL: {
        OnMouseWheel(GET_WHEEL_DELTA_WPARAM(wParam));
        const LRESULT result = Default();
        Invalidate();
        return result;
    }
    case WM_GETOBJECT:
        if (const LRESULT r = m_accessible.OnGetObject(m_hWnd, wParam, lParam, *this); r != 0)
            return r;
        break;
    case WM_DPICHANGED:
        OnDpiChanged(DpiFromChangedMessage(wParam));
        return 0;
    case WM_DPICHANGED_AFTERPARENT:
        OnDpiChanged(DpiAfterParent(m_hWnd, wParam));
        break;
    // The context-menu key and Shift+F10 ask the parent for the menu (WM_CONTEXTMENU at -1, -1) once they
    // are let go; they go no further, so that F10's release cannot take the window into menu mode and
    // close that menu again at once.
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
        if (wParam == VK_APPS || (wParam == VK_F10 && ::GetKeyState(VK_SHIFT) < 0)) {
            m_nContextKey = static_cast<UINT>(wParam);
            return 0;
        }
        break;
    case WM_KEYUP:
    case WM_SYSKEYUP:
        if (m_nContextKey != 0 && wParam == m_nContextKey) {
            m_nContextKey = 0;
            if (const HWND parent = ::GetParent(m_hWnd))
                ::SendMessageW(parent, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(m_hWnd), -1);
            return 0;
        }
        break;
    case WM_CONTEXTMENU:
        return 0; // asked for above, from the keys; a right click has its own message
    case LB_DELETESTRING:
        FreeRecord(static_cast<int>(wParam));
        break;
    case LB_RESETCONTENT:
        FreeAllRecords();
        break;
    case LB_SETITEMDATA:
        // The item data belongs to the records: a caller may neither replace one behind their back nor
        // give another item a record's address.
        if (RecordOf(static_cast<int>(wParam)) != nullptr || m_records.contains(static_cast<LPARAM>(lParam)))
            return LB_ERR;
        break;
    default:
        break;
    }
    return CWindow::HandleMessage(msg, wParam, lParam);
}

bool CContactListBox::OnReflectedMessage(UINT msg, WPARAM, LPARAM lParam, LRESULT& result) {
    if (msg != WM_DRAWITEM)
        return false;
    const auto* dis = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
    if (dis == nullptr || dis->CtlType != ODT_LISTBOX)
        return false;
    DrawItem(*dis);
    result = TRUE;
    return true;
}

long CContactListBox::AccChildCount() {
    return std::max(GetCount(), 0);
}

long CContactListBox::AccRole(long child) {
    return child == CHILDID_SELF ? ROLE_SYSTEM_LIST : ROLE_SYSTEM_LISTITEM;
}

std::wstring CContactListBox::AccName(long child) {
    return child == CHILDID_SELF ? GetText() : GetItemText(static_cast<int>(child - 1));
}

std::wstring CContactListBox::AccDescription(long child) {
    // The icon is the only sign of presence on the screen: say what it shows.
    if (child == CHILDID_SELF)
        return {};
    switch (GetItemImage(static_cast<int>(child - 1))) {
    case kImageOnline:
        return LoadResString(IDS_CHATLIST_ONLINE);
    case kImageOffline:
        return LoadResString(IDS_CHATLIST_OFFLINE);
    default:
        return {};
    }
}

long CContactListBox::AccState(long child) {
    if (child == CHILDID_SELF)
        return STATE_SYSTEM_FOCUSABLE;
    const int index = static_cast<int>(child - 1);
    long state = STATE_SYSTEM_SELECTABLE | STATE_SYSTEM_FOCUSABLE;
    if (!IsItemEnabled(index))
        state |= STATE_SYSTEM_UNAVAILABLE;
    if (index == GetCurSel())
        state |= STATE_SYSTEM_SELECTED;
    if (::GetFocus() == m_hWnd && index == static_cast<int>(SendMessage(LB_GETCARETINDEX)))
        state |= STATE_SYSTEM_FOCUSED;
    RECT item{};
    const RECT client = GetClientRect();
    if (SendMessage(LB_GETITEMRECT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item)) == LB_ERR ||
        item.bottom <= client.top || item.top >= client.bottom)
        state |= STATE_SYSTEM_INVISIBLE | STATE_SYSTEM_OFFSCREEN;
    return state;
}

bool CContactListBox::AccLocation(long child, RECT& rc) {
    if (child == CHILDID_SELF)
        return false;
    RECT item{};
    if (SendMessage(LB_GETITEMRECT, static_cast<WPARAM>(child - 1), reinterpret_cast<LPARAM>(&item)) == LB_ERR)
        return false;
    rc = ClientToScreenRect(m_hWnd, item);
    return true;
}

long CContactListBox::AccHitTest(POINT pt) {
    bool bOnItem = false;
    const int index = ItemFromPoint(pt, bOnItem);
    return bOnItem && index >= 0 ? index + 1 : CHILDID_SELF;
}

long CContactListBox::AccFocusChild() {
    const auto caret = static_cast<int>(SendMessage(LB_GETCARETINDEX));
    return caret >= 0 ? caret + 1 : CHILDID_SELF;
}

long CContactListBox::AccSelectedChild() {
    const int selected = GetCurSel();
    return selected >= 0 ? selected + 1 : CHILDID_SELF;
}

void CContactListBox::OnDestroy() {
    FreeAllRecords();
    CWindow::OnDestroy();
}

} // namespace dravel::win
