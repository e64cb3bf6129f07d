#include "win/chat/ChatListDlg.h"

#include "win/base/Text.h"
#include "win/ui/GdiHelpers.h"

#include "core/conversation/ChatList.h"
#include "core/conversation/ChatListMenu.h"
#include "core/ui/DpiScale.h"

#include "win/res/resource.h"

#include <iterator>

namespace dravel::win {

namespace {

// Images 0 to 5 of the user icons; the chat list uses 0 (on line) and 1 (off line).
constexpr UINT kUserIconIds[] = {IDI_USER_ONLINE, IDI_USER_OFFLINE, IDI_USER_AWAY,
                                 IDI_CHAT_LIST,   IDI_ATTACH,       IDI_USER_BLOCKED};

constexpr int kUserIconSize = 32;
constexpr int kUserIconsInitial = 5;
constexpr int kUserIconsGrowBy = 1;
// The close button's hovered or pressed colour: the button face raised by this much in each channel.
constexpr int kActiveLighter = 0x1E;
constexpr UINT kTabNameIds[] = {IDS_CHATLIST_TAB_FRIENDS, IDS_CHATLIST_TAB_EVERYONE};

HICON LoadIconSized(UINT id, int size) {
    return static_cast<HICON>(
        ::LoadImageW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(id), IMAGE_ICON, size, size, LR_DEFAULTCOLOR));
}

int ImageOf(bool bOnline) {
    return bOnline ? kImageOnline : kImageOffline;
}

} // namespace

CChatListDlg::CChatListDlg(ChatListOwner& owner) noexcept : CAnchorLayoutDlg(IDD_CHAT_LIST), m_owner(owner) {}

CChatListDlg::~CChatListDlg() {
    // The list's window goes first: it still draws with the user icons until then.
    DestroyWindow();
}

BOOL CChatListDlg::OnInitDialog() {
    const BOOL result = CAnchorLayoutDlg::OnInitDialog();
    m_icon.Reset(LoadIconSized(IDI_CHAT_LIST, 0));
    if (m_icon) {
        SendMessage(WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_icon.Get()));
        SendMessage(WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_icon.Get()));
    }

    if (m_btnClose.AttachDlgItem(m_hWnd, IDCANCEL)) {
        m_btnClose.SetVisualStyle(&m_visualStyle);
        m_btnClose.SetButtonIcons(IDI_CLOSE_ACTIVE, IDI_CLOSE_IDLE);
        m_btnClose.SetStateColour(BK_ACTIVE, Lighter(::GetSysColor(COLOR_BTNFACE), kActiveLighter), true);
        m_btnClose.SetTipText(LoadResString(IDS_CHATLIST_CLOSE_TIP), true);
    }

    AnchorControl(IDCANCEL, AnchorPoint{100, 100}, kAnchorNone);
    AnchorControl(IDC_USER_LIST, AnchorPoint{0, 0}, AnchorPoint{100, 100});

    m_hTabs = GetDlgItem(IDC_LIST_TABS);
    for (int i = 0; i < static_cast<int>(std::size(kTabNameIds)); ++i) {
        std::wstring name = LoadResString(kTabNameIds[i]);
        TCITEMW item{};
        item.mask = TCIF_TEXT;
        item.pszText = name.data();
        ::SendMessageW(m_hTabs, TCM_INSERTITEMW, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&item));
    }

    m_list.AttachDlgItem(m_hWnd, IDC_USER_LIST);
    if (!m_userIcons)
        MakeUserIcons(GetDpi());
    m_list.SetImageList(m_userIcons.Get());

    if (m_owner.HasConnection())
        m_owner.SendChatListCollect(kFriendsView);
    return result;
}

void CChatListDlg::MakeUserIcons(int dpi) {
    const int size = ScaleForDpi(kUserIconSize, dpi);
    m_userIcons.Reset(::ImageList_Create(size, size, ILC_COLOR32 | ILC_MASK, kUserIconsInitial, kUserIconsGrowBy));
    for (UINT id : kUserIconIds) {
        if (!m_userIcons)
            break;
        CIconHandle icon(LoadIconSized(id, size));
        if (!icon || ::ImageList_AddIcon(m_userIcons.Get(), icon.Get()) < 0) {
            // A missing picture leaves its place empty rather than shifting the others.
            CBitmapHandle blank(::CreateBitmap(size, size, 1, 32, nullptr));
            ::ImageList_Add(m_userIcons.Get(), blank.Get(), nullptr);
        }
    }
}

void CChatListDlg::OnDpiChanged(int dpi, const RECT* suggested) {
    if (dpi != GetDpi()) {
        // The list draws with the old icons until it has the new ones.
        CImageListHandle old = std::move(m_userIcons);
        MakeUserIcons(dpi);
        m_list.SetImageList(m_userIcons.Get());
    }
    CAnchorLayoutDlg::OnDpiChanged(dpi, suggested);
}

void CChatListDlg::OnDestroy() {
    m_hTabs = nullptr;
    CAnchorLayoutDlg::OnDestroy();
}

int CChatListDlg::CurrentTab() const {
    return m_hTabs != nullptr ? static_cast<int>(::SendMessageW(m_hTabs, TCM_GETCURFOCUS, 0, 0)) : -1;
}

void CChatListDlg::SelectTab(int tab) {
    if (m_hTabs == nullptr)
        return;
    // Moving the focus selects the tab and notifies this window, as a click would.
    ::SendMessageW(m_hTabs, TCM_SETCURFOCUS, static_cast<WPARAM>(tab), 0);
}

void CChatListDlg::EnableTabs(bool bEnable) {
    if (m_hTabs != nullptr)
        ::EnableWindow(m_hTabs, bEnable ? TRUE : FALSE);
}

void CChatListDlg::AddUser(const CChatUser& user) {
    const int index = m_list.AddItem(Cp949ToWide(user.strName), ImageOf(user.bOnline), user.strId);
    if (index >= 0 && m_reselectId && *m_reselectId == user.strId) {
        m_list.SendMessage(LB_SETCURSEL, static_cast<WPARAM>(index), 0);
        m_reselectId.reset();
    }
}

void CChatListDlg::Refresh() {
    m_reselectId = SelectedId();
    OnTabChange();
}

void CChatListDlg::SetLoading(bool bLoading) {
    EnableTabs(!bLoading);
    if (bLoading == m_bLoading)
        return;
    m_bLoading = bLoading;
    // A collected list arrives in one record: the wait cursor shows while it is read in.
    if (bLoading)
        m_hLoadingCursor = ::SetCursor(::LoadCursorW(nullptr, IDC_WAIT));
    else
        ::SetCursor(m_hLoadingCursor);
}

void CChatListDlg::SetUserOnline(std::string_view name, bool bOnline) {
    if (!IsWindow())
        return;
    const std::wstring wide = Cp949ToWide(name);
    for (int i = m_list.GetCount() - 1; i >= 0; --i) {
        if (m_list.GetItemText(i) == wide)
            m_list.SetItemImage(i, ImageOf(bOnline), true);
    }
}

void CChatListDlg::Clear() {
    if (!IsWindow())
        return;
    m_list.ResetContent();
    ::UpdateWindow(m_hWnd);
}

void CChatListDlg::OnTabChange() {
    if (!m_owner.HasConnection())
        return;
    const std::optional<std::string_view> view = ViewOfTab(CurrentTab());
    if (!view)
        return;
    Clear();
    m_owner.SendChatListCollect(*view);
}

void CChatListDlg::OnListDblClk() {
    const int sel = m_list.GetCurSel();
    if (sel < 0)
        return;
    const std::wstring text = m_list.GetItemText(sel);
    if (text.empty())
        return;
    m_owner.OpenConversationForUser(WideToCp949(text), m_list.GetItemID(sel).value_or(std::string()));
}

void CChatListDlg::BringToUser() {
    if (m_hWnd == nullptr)
        return;
    ShowWindow(SW_SHOWNORMAL);
    ::SetForegroundWindow(m_hWnd);
    SendMessage(WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(m_list.GetHwnd()), TRUE);
}

void CChatListDlg::OnOK() {
    if (::GetFocus() == m_list.GetHwnd() && m_list.GetCurSel() >= 0) {
        OnListDblClk();
        return;
    }
    CAnchorLayoutDlg::OnOK();
}

void CChatListDlg::OnListContextMenu(std::optional<POINT> ptScreen) {
    const int sel = m_list.GetCurSel();
    const bool bHasName = sel >= 0 && !m_list.GetItemText(sel).empty();
    const bool bHasId = sel >= 0 && m_list.GetItemID(sel).has_value();
    const std::optional<CFriendMenu> menu = FriendMenuForSelection(CurrentTab(), sel, bHasName, bHasId);
    if (!menu)
        return;
    CMenuHandle loaded(::LoadMenuW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(menu->nMenuId)));
    const HMENU popup = loaded ? ::GetSubMenu(loaded.Get(), 0) : nullptr;
    if (popup == nullptr)
        return;
    if (const std::optional<std::string> id = SelectedId())
        ::CheckMenuItem(popup, ID_ATTENTION_MUTE, MF_BYCOMMAND | (m_owner.IsPeerMuted(*id) ? MF_CHECKED : MF_UNCHECKED));
    POINT pt{};
    if (ptScreen) {
        pt = *ptScreen;
    } else {
        RECT rc{};
        if (sel >= 0 && ::SendMessageW(m_list.GetHwnd(), LB_GETITEMRECT, static_cast<WPARAM>(sel),
                                       reinterpret_cast<LPARAM>(&rc)) != LB_ERR) {
            pt = {rc.left + (rc.bottom - rc.top), rc.bottom};
            ::ClientToScreen(m_list.GetHwnd(), &pt);
        } else {
            ::GetCursorPos(&pt);
        }
    }
    TrackFriendMenu(popup, pt);
}

void CChatListDlg::TrackFriendMenu(HMENU popup, POINT ptScreen) {
    ::TrackPopupMenu(popup, TPM_LEFTALIGN | TPM_RIGHTBUTTON, ptScreen.x, ptScreen.y, 0, m_hWnd, nullptr);
}

std::optional<std::string> CChatListDlg::SelectedId() const {
    const int sel = m_list.GetCurSel();
    if (sel < 0)
        return std::nullopt;
    return m_list.GetItemID(sel);
}

void CChatListDlg::OnDeleteFriend() {
    if (!m_owner.HasConnection())
        return;
    const int sel = m_list.GetCurSel();
    const std::optional<std::string> id = SelectedId();
    if (!id)
        return;
    m_owner.SendDeleteFriend(*id);
    m_list.DeleteItem(sel);
}

void CChatListDlg::OnAddFriend() {
    if (!m_owner.HasConnection())
        return;
    const int sel = m_list.GetCurSel();
    const std::optional<std::string> id = SelectedId();
    if (!id)
        return;
    m_owner.SendAppendFriend(*id);
    m_list.DeleteItem(sel);
}

bool CChatListDlg::OnCommand(int id, int code, HWND hwndCtl) {
    if (id == IDC_USER_LIST && code == LBN_DBLCLK) {
        OnListDblClk();
        return true;
    }
    if (hwndCtl == nullptr && id == ID_FRIEND_DELETE) {
        OnDeleteFriend();
        return true;
    }
    if (hwndCtl == nullptr && id == ID_FRIEND_ADD) {
        OnAddFriend();
        return true;
    }
    if (hwndCtl == nullptr && id == ID_ATTENTION_MUTE) {
        if (const std::optional<std::string> peer = SelectedId())
            m_owner.SetPeerMuted(*peer, !m_owner.IsPeerMuted(*peer));
        return true;
    }
    return CAnchorLayoutDlg::OnCommand(id, code, hwndCtl);
}

LRESULT CChatListDlg::OnNotify(int id, NMHDR& hdr) {
    if (id == IDC_LIST_TABS && hdr.code == TCN_SELCHANGE) {
        OnTabChange();
        return 0;
    }
    return CAnchorLayoutDlg::OnNotify(id, hdr);
}

LRESULT CChatListDlg::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_MEASUREITEM:
        if (m_list.MeasureItem(*reinterpret_cast<MEASUREITEMSTRUCT*>(lParam)))
            return TRUE;
        break;
    case kContactListRightClick: {
        POINT pt{};
        ::GetCursorPos(&pt);
        OnListContextMenu(pt);
        return 0;
    }
    case WM_CONTEXTMENU:
        // From the keyboard (the context-menu key, Shift+F10) the point is -1, -1; a right click on the list
        // has already come as kContactListRightClick.
        if (reinterpret_cast<HWND>(wParam) == m_list.GetHwnd() && lParam == -1) {
            OnListContextMenu();
            return 0;
        }
        break;
    default:
        break;
    }
    return CAnchorLayoutDlg::HandleMessage(msg, wParam, lParam);
}

} // namespace dravel::win
