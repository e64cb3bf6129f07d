// The chat list window and its user list under the window system: loading both list forms, presence
// changes, right clicks and double clicks, the friend menus and requests, the item records' lives and the
// copy of an item to another window.

#include "win/chat/ChatListDlg.h"

#include "win/base/Text.h"
#include "win/ui/ListItemCopy.h"

#include "core/conversation/ChatList.h"

#include "win/res/resource.h"

#include "support/Accessible.h"
#include "support/Korean.h"
#include "support/ListCopyReceiver.h"
#include "support/Pixels.h"
#include "support/Wait.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <utility>
#include <vector>

using namespace dravel;
using namespace dravel::win;
using namespace dravel::win::test;

namespace {

class CFakeOwner : public ChatListOwner {
public:
    bool m_bConnected = true;
    std::vector<std::string> m_collects;
    std::vector<std::string> m_deleted;
    std::vector<std::string> m_appended;
    std::vector<std::pair<std::string, std::string>> m_opened;

    bool HasConnection() const override { return m_bConnected; }
    void SendChatListCollect(std::string_view view) override { m_collects.emplace_back(view); }
    void SendDeleteFriend(std::string_view id) override { m_deleted.emplace_back(id); }
    void SendAppendFriend(std::string_view id) override { m_appended.emplace_back(id); }
    void OpenConversationForUser(const std::string& name, const std::string& id) override {
        m_opened.emplace_back(name, id);
    }
};

// Records which menu would have been shown instead of tracking it.
class CTestChatListDlg : public CChatListDlg {
public:
    using CChatListDlg::CChatListDlg;
    std::vector<UINT> m_menuCommands; // the commands of each menu shown, in order

protected:
    void TrackFriendMenu(HMENU popup, POINT) override {
        for (int i = 0; i < ::GetMenuItemCount(popup); ++i)
            m_menuCommands.push_back(::GetMenuItemID(popup, i));
    }
};

class ChatListTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_dlg.Create());
        // The window's start-up messages have run.
        ASSERT_TRUE(PumpUntil([] {
            MSG msg;
            return !::PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE);
        }));
    }
    void TearDown() override { m_dlg.DestroyWindow(); }

    CContactListBox& List() { return m_dlg.UserList(); }
    HWND ListHwnd() { return List().GetHwnd(); }
    bool TabsEnabled() { return ::IsWindowEnabled(m_dlg.Tabs()) != FALSE; }
    POINT ItemCentre(int index) {
        RECT rc{};
        ::SendMessageW(ListHwnd(), LB_GETITEMRECT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&rc));
        return {(rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2};
    }
    // As a click on the tab would: the control notifies the window.
    void SwitchTab(int tab) { m_dlg.SelectTab(tab); }
    void Command(int id) { ::SendMessageW(m_dlg.GetHwnd(), WM_COMMAND, MAKEWPARAM(id, 0), 0); }
    // The right-click report waiting in the queue, removed from it: wParam, lParam; none if absent.
    std::optional<std::pair<WPARAM, LPARAM>> TakeRightClickReport() {
        MSG msg;
        if (!::PeekMessageW(&msg, m_dlg.GetHwnd(), kContactListRightClick, kContactListRightClick, PM_REMOVE))
            return std::nullopt;
        return std::make_pair(msg.wParam, msg.lParam);
    }

    // The items that carry a record, each its own: the item data the list box hands out.
    int RecordedItems() {
        std::set<LRESULT> records;
        for (int i = 0; i < List().GetCount(); ++i) {
            const LRESULT data = ::SendMessageW(ListHwnd(), LB_GETITEMDATA, static_cast<WPARAM>(i), 0);
            if (data != 0 && data != LB_ERR && List().GetItemID(i))
                records.insert(data);
        }
        return static_cast<int>(records.size());
    }

    CFakeOwner m_owner;
    CTestChatListDlg m_dlg{m_owner};
};

TEST_F(ChatListTest, OpensOnTheFriendsViewWithTwoTabsAndTheCloseButton) {
    ASSERT_EQ(m_owner.m_collects.size(), 1u);
    EXPECT_EQ(m_owner.m_collects[0], kFriendsView);
    EXPECT_EQ(::SendMessageW(m_dlg.Tabs(), TCM_GETITEMCOUNT, 0, 0), 2);
    EXPECT_EQ(m_dlg.CurrentTab(), 0);
    EXPECT_EQ(m_dlg.GetText(), L"대화 목록");
    EXPECT_EQ(m_dlg.CloseButton().GetText(), L"나가기");
    EXPECT_NE(m_dlg.CloseButton().GetTooltip(), nullptr);
    EXPECT_NE(List().GetImageList(), nullptr);
    EXPECT_EQ(::ImageList_GetImageCount(List().GetImageList()), 6);
}

TEST_F(ChatListTest, CollectedListKeepsOrderImagesIdsAndQuotedNames) {
    const std::string text = "kim|1|" + Kr(L"김민수") + "|lee|0|Lee|park|1|\"Park|Jr\"|cho|0|\"a\"\"b\"|tail|1";
    m_dlg.LoadCollectedList(text);
    ASSERT_EQ(List().GetCount(), 4);
    EXPECT_EQ(List().GetItemText(0), L"김민수");
    EXPECT_EQ(List().GetItemImage(0), 0);
    EXPECT_EQ(List().GetItemID(0), "kim");
    EXPECT_EQ(List().GetItemText(1), L"Lee");
    EXPECT_EQ(List().GetItemImage(1), 1);
    EXPECT_EQ(List().GetItemText(2), L"Park|Jr");
    EXPECT_EQ(List().GetItemText(3), L"a\"b");
    EXPECT_EQ(List().GetItemID(3), "cho");
    EXPECT_TRUE(TabsEnabled());
}

TEST_F(ChatListTest, EntrySeriesDisablesTheTabsUntilItsEnd) {
    m_dlg.AddListEntry(Kr(L"이영희"), 1, "lee");
    EXPECT_FALSE(TabsEnabled());
    m_dlg.AddListEntry("Kim", 0, "kim");
    EXPECT_FALSE(TabsEnabled());
    m_dlg.EndListEntries("ignored", 1, "ignored");
    EXPECT_TRUE(TabsEnabled());
    ASSERT_EQ(List().GetCount(), 2);
    EXPECT_EQ(List().GetItemText(0), L"이영희");
    EXPECT_EQ(List().GetItemImage(0), 0);
    EXPECT_EQ(List().GetItemImage(1), 1);
    EXPECT_EQ(List().GetItemID(1), "kim");
}

TEST_F(ChatListTest, UserStateReachesEveryItemOfTheNameOnly) {
    m_dlg.LoadCollectedList("a|0|" + Kr(L"홍길동") + "|b|1|Other|c|0|" + Kr(L"홍길동"));
    m_dlg.SetUserState(Kr(L"홍길동"), true);
    EXPECT_EQ(List().GetItemImage(0), 0);
    EXPECT_EQ(List().GetItemImage(2), 0);
    EXPECT_EQ(List().GetItemImage(1), 0); // untouched: it was on line
    m_dlg.SetUserState("Other", false);
    EXPECT_EQ(List().GetItemImage(1), 1);
    EXPECT_EQ(List().GetItemImage(0), 0);
    m_dlg.SetUserState(Kr(L"홍길"), false); // a prefix is another name
    EXPECT_EQ(List().GetItemImage(0), 0);
}

TEST_F(ChatListTest, RightClickSelectsTheNearestItemAndReportsIt) {
    TakeRightClickReport();
    ::SendMessageW(ListHwnd(), WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(10, 10));
    auto report = TakeRightClickReport(); // an empty list still reports, with no selection
    ASSERT_TRUE(report);
    EXPECT_EQ(static_cast<int>(report->second), LB_ERR);

    m_dlg.LoadCollectedList("a|1|A|b|1|B|c|1|C");
    const RECT rc = List().GetClientRect();
    ::SendMessageW(ListHwnd(), WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(20, rc.bottom - 3));
    EXPECT_EQ(List().GetCurSel(), 2);
    report = TakeRightClickReport();
    ASSERT_TRUE(report);
    EXPECT_EQ(report->first, static_cast<WPARAM>(MK_RBUTTON));
    EXPECT_EQ(report->second, 2);

    const POINT first = ItemCentre(0);
    ::SendMessageW(ListHwnd(), WM_RBUTTONDOWN, MK_RBUTTON | MK_SHIFT, MAKELPARAM(first.x, first.y));
    EXPECT_EQ(List().GetCurSel(), 0);
    report = TakeRightClickReport();
    ASSERT_TRUE(report);
    EXPECT_EQ(report->first, static_cast<WPARAM>(MK_RBUTTON | MK_SHIFT));
    EXPECT_EQ(report->second, 0);
}

TEST_F(ChatListTest, EachTabOffersOnlyItsFriendCommand) {
    m_dlg.LoadCollectedList("a|1|A|e|1||z|0|Z");
    ::SendMessageW(ListHwnd(), LB_SETCURSEL, 0, 0);
    ::SendMessageW(m_dlg.GetHwnd(), kContactListRightClick, MK_RBUTTON, 0);
    ASSERT_EQ(m_dlg.m_menuCommands, std::vector<UINT>{ID_FRIEND_DELETE});

    SwitchTab(1);
    m_dlg.LoadCollectedList("a|1|A|e|1||z|0|Z");
    m_dlg.m_menuCommands.clear();
    ::SendMessageW(ListHwnd(), LB_SETCURSEL, 0, 0);
    ::SendMessageW(m_dlg.GetHwnd(), kContactListRightClick, MK_RBUTTON, 0);
    EXPECT_EQ(m_dlg.m_menuCommands, std::vector<UINT>{ID_FRIEND_ADD});

    // No menu for an item without a name, nor without a selection.
    m_dlg.m_menuCommands.clear();
    ::SendMessageW(ListHwnd(), LB_SETCURSEL, 1, 0);
    ::SendMessageW(m_dlg.GetHwnd(), kContactListRightClick, MK_RBUTTON, 1);
    ::SendMessageW(ListHwnd(), LB_SETCURSEL, static_cast<WPARAM>(-1), 0);
    ::SendMessageW(m_dlg.GetHwnd(), kContactListRightClick, MK_RBUTTON, LB_ERR);
    EXPECT_TRUE(m_dlg.m_menuCommands.empty());
}

TEST_F(ChatListTest, FriendCommandsSendTheLoginIdAndTakeTheUserOut) {
    m_dlg.LoadCollectedList("kim|1|" + Kr(L"김민수") + "|lee|0|Lee");
    ::SendMessageW(ListHwnd(), LB_SETCURSEL, 1, 0);
    Command(ID_FRIEND_DELETE);
    EXPECT_EQ(m_owner.m_deleted, std::vector<std::string>{"lee"});
    ASSERT_EQ(List().GetCount(), 1);
    ::SendMessageW(ListHwnd(), LB_SETCURSEL, 0, 0);
    Command(ID_FRIEND_ADD);
    EXPECT_EQ(m_owner.m_appended, std::vector<std::string>{"kim"});
    EXPECT_EQ(List().GetCount(), 0);
    Command(ID_FRIEND_ADD); // nothing selected
    EXPECT_EQ(m_owner.m_appended.size(), 1u);
}

TEST_F(ChatListTest, WithoutConnectionTabsAndFriendCommandsDoNothing) {
    m_owner.m_bConnected = false;
    m_dlg.LoadCollectedList("kim|1|Kim");
    ::SendMessageW(ListHwnd(), LB_SETCURSEL, 0, 0);
    Command(ID_FRIEND_DELETE);
    SwitchTab(1);
    EXPECT_EQ(List().GetCount(), 1);
    EXPECT_TRUE(m_owner.m_deleted.empty());
    EXPECT_EQ(m_owner.m_collects.size(), 1u); // only the opening request
}

TEST_F(ChatListTest, TabChangeEmptiesTheListAndAsksForTheView) {
    m_dlg.LoadCollectedList("kim|1|Kim");
    SwitchTab(1);
    EXPECT_EQ(List().GetCount(), 0);
    ASSERT_EQ(m_owner.m_collects.size(), 2u);
    EXPECT_EQ(m_owner.m_collects[1], kEveryoneView);
    SwitchTab(0);
    EXPECT_EQ(m_owner.m_collects.back(), kFriendsView);
}

TEST_F(ChatListTest, DoubleClickOpensTheConversationUnlessTheItemIsDisabled) {
    m_dlg.LoadCollectedList("kim|1|" + Kr(L"김민수") + "|lee|0|Lee");
    List().EnableItem(1, false);
    EXPECT_FALSE(List().IsItemEnabled(1));

    ::SendMessageW(ListHwnd(), LB_SETCURSEL, 1, 0);
    POINT pt = ItemCentre(1);
    ::SendMessageW(ListHwnd(), WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(pt.x, pt.y));
    EXPECT_TRUE(m_owner.m_opened.empty());

    ::SendMessageW(ListHwnd(), LB_SETCURSEL, 0, 0);
    pt = ItemCentre(0);
    ::SendMessageW(ListHwnd(), WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(pt.x, pt.y));
    ASSERT_EQ(m_owner.m_opened.size(), 1u);
    EXPECT_EQ(m_owner.m_opened[0].first, Kr(L"김민수"));
    EXPECT_EQ(m_owner.m_opened[0].second, "kim");

    // Below the last item the click is on no item: it goes on, and opens the selected user.
    ::SendMessageW(ListHwnd(), LB_SETCURSEL, 1, 0);
    const RECT rc = List().GetClientRect();
    ::SendMessageW(ListHwnd(), WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(10, rc.bottom - 3));
    EXPECT_EQ(m_owner.m_opened.size(), 2u);
}

TEST_F(ChatListTest, RecordsLiveExactlyAsLongAsTheirItems) {
    m_dlg.LoadCollectedList("a|1|A|b|1|B|c|1|C");
    EXPECT_EQ(RecordedItems(), 3);
    List().DeleteItem(1);
    EXPECT_EQ(RecordedItems(), 2);
    EXPECT_EQ(List().GetItemID(1), "c");
    // Item data cannot be swapped under a record.
    EXPECT_EQ(::SendMessageW(ListHwnd(), LB_SETITEMDATA, 0, 1234), LB_ERR);
    m_dlg.ResetList();
    EXPECT_EQ(RecordedItems(), 0);
    EXPECT_EQ(List().GetCount(), 0);
    // Destroying with items left: the list's own container frees their records with it.
    m_dlg.LoadCollectedList("a|1|A|b|1|B");
    List().DeleteItem(7); // no such item: nothing freed
    EXPECT_EQ(RecordedItems(), 2);
    EXPECT_EQ(List().GetItemID(0), "a");
}

TEST_F(ChatListTest, AnItemIsCopiedToAnotherWindowWithItsFields) {
    m_dlg.LoadCollectedList("kim|1|" + Kr(L"김민수") + "|" + Kr(L"이영") + "|0|Lee");
    List().EnableItem(1, false);
    CListCopyReceiver receiver;
    using Fields = std::vector<std::pair<std::wstring, std::wstring>>;
    EXPECT_EQ(receiver.Copy(ListHwnd(), 0),
              (Fields{{L"id", L"kim"}, {L"image", L"0"}, {L"enabled", L"1"}, {L"value", L"0"}}));
    EXPECT_EQ(receiver.Copy(ListHwnd(), 1),
              (Fields{{L"id", L"이영"}, {L"image", L"1"}, {L"enabled", L"0"}, {L"value", L"0"}}));
    // The list itself and items that are not there are the list box's own business.
    EXPECT_FALSE(receiver.Copy(ListHwnd(), -1));
    EXPECT_FALSE(receiver.Copy(ListHwnd(), 2));
    // A receiver that is no window gets nothing.
    EXPECT_FALSE(::SendMessageW(ListHwnd(), kListCopyItemMessage, 0, 0));
}

TEST_F(ChatListTest, ScreenReadersHearEachUserWithPresenceAndAvailability) {
    CComScope com;
    m_dlg.LoadCollectedList("kim|1|" + Kr(L"김민수") + "|lee|0|Lee|park|1|Park");
    List().EnableItem(1, false);
    ::SendMessageW(ListHwnd(), LB_SETCURSEL, 2, 0);
    // Through the system's entry point, as a screen reader asks.
    CComPtr<IAccessible> acc;
    ASSERT_EQ(::AccessibleObjectFromWindow(ListHwnd(), OBJID_CLIENT, __uuidof(IAccessible), acc.PutVoid()), S_OK);
    long count = 0;
    EXPECT_EQ(acc->get_accChildCount(&count), S_OK);
    EXPECT_EQ(count, 3);
    EXPECT_EQ(AccRole(acc.Get(), CHILDID_SELF), ROLE_SYSTEM_LIST);
    EXPECT_EQ(AccRole(acc.Get(), 1), ROLE_SYSTEM_LISTITEM);
    EXPECT_EQ(AccName(acc.Get(), 1), L"김민수");
    EXPECT_EQ(AccText(&IAccessible::get_accDescription, acc.Get(), 1), L"온라인");
    EXPECT_EQ(AccText(&IAccessible::get_accDescription, acc.Get(), 2), L"오프라인");
    const long selectable = STATE_SYSTEM_SELECTABLE | STATE_SYSTEM_FOCUSABLE;
    EXPECT_EQ(AccState(acc.Get(), 1), selectable);
    EXPECT_EQ(AccState(acc.Get(), 2), selectable | STATE_SYSTEM_UNAVAILABLE);
    EXPECT_EQ(AccState(acc.Get(), 3) & ~STATE_SYSTEM_FOCUSED, selectable | STATE_SYSTEM_SELECTED);
    VARIANT selection;
    ::VariantInit(&selection);
    EXPECT_EQ(acc->get_accSelection(&selection), S_OK);
    EXPECT_EQ(AccChildOf(selection), 3);
    RECT item{};
    ::SendMessageW(ListHwnd(), LB_GETITEMRECT, 1, reinterpret_cast<LPARAM>(&item));
    ::MapWindowPoints(ListHwnd(), nullptr, reinterpret_cast<POINT*>(&item), 2);
    const RECT located = AccLocation(acc.Get(), 2);
    EXPECT_TRUE(::EqualRect(&located, &item));
    VARIANT hit;
    ::VariantInit(&hit);
    EXPECT_EQ(acc->accHitTest(item.left + 5, item.top + 5, &hit), S_OK);
    EXPECT_EQ(AccChildOf(hit), 2);
    // A presence change is heard at the next read; a user who left is no child any more.
    m_dlg.SetUserState("Lee", true);
    EXPECT_EQ(AccText(&IAccessible::get_accDescription, acc.Get(), 2), L"온라인");
    List().DeleteItem(2);
    HRESULT hr = S_OK;
    AccName(acc.Get(), 3, &hr);
    EXPECT_EQ(hr, E_INVALIDARG);

    // The close button is a push button named by its caption.
    CComPtr<IAccessible> close = AccObjectOf(m_dlg.CloseButton().GetHwnd());
    ASSERT_TRUE(close);
    EXPECT_EQ(AccRole(close.Get(), CHILDID_SELF), ROLE_SYSTEM_PUSHBUTTON);
    EXPECT_EQ(AccName(close.Get(), CHILDID_SELF), L"나가기");
}

TEST_F(ChatListTest, ItemHeightFollowsIconAndWrappedText) {
    m_dlg.LoadCollectedList("a|1|Kim");
    EXPECT_EQ(List().GetItemHeight(0), 40);
    std::wstring longName;
    for (int i = 0; i < 12; ++i)
        longName += L"가나다라 마바사 ";
    m_dlg.LoadCollectedList("b|1|" + WideToCp949(longName));
    EXPECT_GT(List().GetItemHeight(1), 40);
}

// A move to a display of twice the dpi: the user icons are 64 pixels, their padding doubles and every item
// is measured again; the window takes the suggested rectangle. Back at 96 dpi every item is as before.
TEST_F(ChatListTest, ADpiChangeDoublesTheIconsAndTheItemsAroundThem) {
    m_dlg.LoadCollectedList("a|1|Kim|b|0|Lee");
    ASSERT_EQ(m_dlg.GetDpi(), 96) << "the test display is not at 100 %";
    const RECT before = m_dlg.GetWindowRect();
    auto changeDpi = [&](int dpi, int scale) {
        RECT suggested{before.left, before.top, before.left + scale * (before.right - before.left),
                       before.top + scale * (before.bottom - before.top)};
        m_dlg.SendMessage(WM_DPICHANGED, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(&suggested));
    };
    changeDpi(192, 2);
    int cx = 0;
    int cy = 0;
    ASSERT_TRUE(::ImageList_GetIconSize(List().GetImageList(), &cx, &cy));
    EXPECT_EQ(cx, 64);
    EXPECT_EQ(List().GetDpi(), 192);
    // One line of text beside a 64-pixel icon: the icon and its padding set the height.
    EXPECT_EQ(List().GetItemHeight(0), 2 * 40);
    EXPECT_EQ(List().GetItemHeight(1), 2 * 40);
    EXPECT_EQ(m_dlg.GetWindowRect().right - m_dlg.GetWindowRect().left, 2 * (before.right - before.left));

    changeDpi(96, 1);
    ASSERT_TRUE(::ImageList_GetIconSize(List().GetImageList(), &cx, &cy));
    EXPECT_EQ(cx, 32);
    EXPECT_EQ(List().GetItemHeight(1), 40);
}

TEST_F(ChatListTest, LongIdIsCutToTheField) {
    const std::string id(80, 'x');
    List().AddItem(L"Long", 0, id);
    EXPECT_EQ(List().GetItemID(0), std::string(49, 'x'));
    // A two-byte character that would straddle the end is left out whole.
    const std::string korean = std::string(48, 'y') + Kr(L"가");
    List().AddItem(L"Korean", 0, korean);
    EXPECT_EQ(List().GetItemID(1), std::string(48, 'y'));
}

TEST_F(ChatListTest, SelectionStyleAboveTwoIsRefused) {
    EXPECT_TRUE(List().SetSelectionStyle(2));
    EXPECT_FALSE(List().SetSelectionStyle(3));
    EXPECT_EQ(List().GetSelectionStyle(), 2);
}

TEST_F(ChatListTest, DisabledItemIsDrawnGrayWithoutFocus) {
    m_dlg.LoadCollectedList("a|1|WWWWWWWW|b|1|WWWWWWWW");
    List().EnableItem(0, false);
    CPixels pixels(200, 100, RGB(1, 2, 3));
    ::SetBkMode(pixels.Dc(), TRANSPARENT);
    for (int i = 0; i < 2; ++i) {
        DRAWITEMSTRUCT dis{ODT_LISTBOX,
                           IDC_USER_LIST,
                           static_cast<UINT>(i),
                           ODA_DRAWENTIRE,
                           ODS_FOCUS,
                           ListHwnd(),
                           pixels.Dc(),
                           RECT{0, i * 50, 200, i * 50 + 40},
                           0};
        ::SendMessageW(m_dlg.GetHwnd(), WM_DRAWITEM, IDC_USER_LIST, reinterpret_cast<LPARAM>(&dis));
    }
    const RECT textDisabled{40, 0, 200, 40};
    const RECT textEnabled{40, 50, 200, 90};
    EXPECT_GT(pixels.Count(textDisabled, ::GetSysColor(COLOR_GRAYTEXT)), 0);
    EXPECT_EQ(pixels.Count(textDisabled, ::GetSysColor(COLOR_WINDOWTEXT)), 0);
    EXPECT_GT(pixels.Count(textEnabled, ::GetSysColor(COLOR_WINDOWTEXT)), 0);
}

} // namespace
