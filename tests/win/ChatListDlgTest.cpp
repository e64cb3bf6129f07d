// The chat list window under the window system: loading both list forms, presence changes, the friend
// menus and requests, tabs, double clicks and a change of dpi.

#include "win/chat/ChatListDlg.h"

#include "win/base/Text.h"

#include "core/conversation/ChatList.h"

#include "win/res/resource.h"

#include "ChatListFixture.h"
#include "support/Korean.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

using namespace dravel;
using namespace dravel::win;
using namespace dravel::win::test;

namespace {

TEST_F(ChatListTest, OpensOnTheFriendsViewWithTwoTabsAndTheCloseButton) {
    ASSERT_EQ(m_owner.m_collects.size(), 1u);
    EXPECT_EQ(m_owner.m_collects[0], kFriendsView);
    EXPECT_EQ(::SendMessageW(Tabs(), TCM_GETITEMCOUNT, 0, 0), 2);
    EXPECT_EQ(m_dlg.CurrentTab(), 0);
    EXPECT_EQ(m_dlg.GetText(), L"대화 목록");
    const HWND close = ::GetDlgItem(m_dlg.GetHwnd(), IDCANCEL);
    wchar_t caption[32] = {};
    ::GetWindowTextW(close, caption, 32);
    EXPECT_STREQ(caption, L"나가기");
    HWND tip = nullptr; // the tooltip that has the close button as its tool
    TOOLINFOW ti{};
    ti.cbSize = TTTOOLINFOW_V2_SIZE;
    ti.hwnd = close;
    ti.uId = 1;
    while ((tip = ::FindWindowExW(nullptr, tip, TOOLTIPS_CLASSW, nullptr)) != nullptr &&
           !::SendMessageW(tip, TTM_GETTOOLINFOW, 0, reinterpret_cast<LPARAM>(&ti))) {
    }
    EXPECT_NE(tip, nullptr);
    EXPECT_NE(List().GetImageList(), nullptr);
    EXPECT_EQ(::ImageList_GetImageCount(List().GetImageList()), 6);
}

TEST_F(ChatListTest, CollectedListKeepsOrderImagesIdsAndQuotedNames) {
    const std::string text = "kim|1|" + Kr(L"김민수") + "|lee|0|Lee|park|1|\"Park|Jr\"|cho|0|\"a\"\"b\"|tail|1";
    m_dlg.Records().LoadCollectedList(text);
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
    m_dlg.Records().AddListEntry(Kr(L"이영희"), 1, "lee");
    EXPECT_FALSE(TabsEnabled());
    m_dlg.Records().AddListEntry("Kim", 0, "kim");
    EXPECT_FALSE(TabsEnabled());
    m_dlg.Records().EndListEntries("ignored", 1, "ignored");
    EXPECT_TRUE(TabsEnabled());
    ASSERT_EQ(List().GetCount(), 2);
    EXPECT_EQ(List().GetItemText(0), L"이영희");
    EXPECT_EQ(List().GetItemImage(0), 0);
    EXPECT_EQ(List().GetItemImage(1), 1);
    EXPECT_EQ(List().GetItemID(1), "kim");
}

TEST_F(ChatListTest, UserStateReachesEveryItemOfTheNameOnly) {
    m_dlg.Records().LoadCollectedList("a|0|" + Kr(L"홍길동") + "|b|1|Other|c|0|" + Kr(L"홍길동"));
    m_dlg.Records().SetUserState(Kr(L"홍길동"), true);
    EXPECT_EQ(List().GetItemImage(0), 0);
    EXPECT_EQ(List().GetItemImage(2), 0);
    EXPECT_EQ(List().GetItemImage(1), 0); // untouched: it was on line
    m_dlg.Records().SetUserState("Other", false);
    EXPECT_EQ(List().GetItemImage(1), 1);
    EXPECT_EQ(List().GetItemImage(0), 0);
    m_dlg.Records().SetUserState(Kr(L"홍길"), false); // a prefix is another name
    EXPECT_EQ(List().GetItemImage(0), 0);
}

TEST_F(ChatListTest, EachTabOffersOnlyItsFriendCommand) {
    m_dlg.Records().LoadCollectedList("a|1|A|e|1||z|0|Z");
    ::SendMessageW(ListHwnd(), LB_SETCURSEL, 0, 0);
    ::SendMessageW(m_dlg.GetHwnd(), kContactListRightClick, MK_RBUTTON, 0);
    ASSERT_EQ(m_dlg.m_menuCommands, (std::vector<UINT>{ID_FRIEND_DELETE, ID_ATTENTION_MUTE}));

    SwitchTab(1);
    m_dlg.Records().LoadCollectedList("a|1|A|e|1||z|0|Z");
    m_dlg.m_menuCommands.clear();
    ::SendMessageW(ListHwnd(), LB_SETCURSEL, 0, 0);
    ::SendMessageW(m_dlg.GetHwnd(), kContactListRightClick, MK_RBUTTON, 0);
    EXPECT_EQ(m_dlg.m_menuCommands, (std::vector<UINT>{ID_FRIEND_ADD, ID_ATTENTION_MUTE}));

    // No menu for an item without a name, nor without a selection.
    m_dlg.m_menuCommands.clear();
    ::SendMessageW(ListHwnd(), LB_SETCURSEL, 1, 0);
    ::SendMessageW(m_dlg.GetHwnd(), kContactListRightClick, MK_RBUTTON, 1);
    ::SendMessageW(ListHwnd(), LB_SETCURSEL, static_cast<WPARAM>(-1), 0);
    ::SendMessageW(m_dlg.GetHwnd(), kContactListRightClick, MK_RBUTTON, LB_ERR);
    EXPECT_TRUE(m_dlg.m_menuCommands.empty());
}

TEST_F(ChatListTest, FriendCommandsSendTheLoginIdAndTakeTheUserOut) {
    m_dlg.Records().LoadCollectedList("kim|1|" + Kr(L"김민수") + "|lee|0|Lee");
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

// "알림 끄기" mutes the selected user and shows as checked the next time; again, it unmutes.
TEST_F(ChatListTest, MuteTogglesTheSelectedUserAndTheMenuShowsIt) {
    m_dlg.Records().LoadCollectedList("kim|1|Kim|lee|0|Lee");
    ::SendMessageW(ListHwnd(), LB_SETCURSEL, 1, 0);
    for (const bool bMutedAfter : {true, false}) {
        Command(ID_ATTENTION_MUTE);
        EXPECT_EQ(m_owner.m_muted, bMutedAfter ? std::set<std::string>{"lee"} : std::set<std::string>{});
        ::SendMessageW(m_dlg.GetHwnd(), kContactListRightClick, MK_RBUTTON, 1);
        EXPECT_EQ(m_dlg.m_muteChecked.back(), bMutedAfter);
    }
}

TEST_F(ChatListTest, WithoutConnectionTabsAndFriendCommandsDoNothing) {
    m_owner.m_bConnected = false;
    m_dlg.Records().LoadCollectedList("kim|1|Kim");
    ::SendMessageW(ListHwnd(), LB_SETCURSEL, 0, 0);
    Command(ID_FRIEND_DELETE);
    SwitchTab(1);
    EXPECT_EQ(List().GetCount(), 1);
    EXPECT_TRUE(m_owner.m_deleted.empty());
    EXPECT_EQ(m_owner.m_collects.size(), 1u); // only the opening request
}

TEST_F(ChatListTest, TabChangeEmptiesTheListAndAsksForTheView) {
    m_dlg.Records().LoadCollectedList("kim|1|Kim");
    SwitchTab(1);
    EXPECT_EQ(List().GetCount(), 0);
    ASSERT_EQ(m_owner.m_collects.size(), 2u);
    EXPECT_EQ(m_owner.m_collects[1], kEveryoneView);
    SwitchTab(0);
    EXPECT_EQ(m_owner.m_collects.back(), kFriendsView);
}

TEST_F(ChatListTest, DoubleClickOpensTheConversationUnlessTheItemIsDisabled) {
    m_dlg.Records().LoadCollectedList("kim|1|" + Kr(L"김민수") + "|lee|0|Lee");
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

// A move to a display of twice the dpi: the user icons are 64 pixels, their padding doubles and every item
// is measured again; the window takes the suggested rectangle. Back at 96 dpi every item is as before.
TEST_F(ChatListTest, ADpiChangeDoublesTheIconsAndTheItemsAroundThem) {
    m_dlg.Records().LoadCollectedList("a|1|Kim|b|0|Lee");
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
    EXPECT_EQ(::SendMessageW(ListHwnd(), LB_GETITEMHEIGHT, 0, 0), 2 * 40);
    EXPECT_EQ(::SendMessageW(ListHwnd(), LB_GETITEMHEIGHT, 1, 0), 2 * 40);
    EXPECT_EQ(m_dlg.GetWindowRect().right - m_dlg.GetWindowRect().left, 2 * (before.right - before.left));

    changeDpi(96, 1);
    ASSERT_TRUE(::ImageList_GetIconSize(List().GetImageList(), &cx, &cy));
    EXPECT_EQ(cx, 32);
    EXPECT_EQ(::SendMessageW(ListHwnd(), LB_GETITEMHEIGHT, 1, 0), 40);
}

} // namespace
