// The chat list window's user list under the window system: right clicks, the item records' lives, item
// data set by other programs, what screen readers hear, item heights, long IDs and drawing.

#include "win/chat/ContactListBox.h"
#include "win/chat/ChatListDlg.h"

#include "win/base/Text.h"

#include "win/res/resource.h"

#include "ChatListFixture.h"
#include "support/Accessible.h"
#include "support/Korean.h"
#include "support/Pixels.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

using namespace dravel;
using namespace dravel::win;
using namespace dravel::win::test;

namespace {

TEST_F(ChatListTest, RightClickSelectsTheNearestItemAndReportsIt) {
    TakeRightClickReport();
    ::SendMessageW(ListHwnd(), WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(10, 10));
    auto report = TakeRightClickReport(); // an empty list still reports, with no selection
    ASSERT_TRUE(report);
    EXPECT_EQ(static_cast<int>(report->second), LB_ERR);

    m_dlg.Records().LoadCollectedList("a|1|A|b|1|B|c|1|C");
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

TEST_F(ChatListTest, RecordsLiveExactlyAsLongAsTheirItems) {
    m_dlg.Records().LoadCollectedList("a|1|A|b|1|B|c|1|C");
    EXPECT_EQ(RecordedItems(), 3);
    List().DeleteItem(1);
    EXPECT_EQ(RecordedItems(), 2);
    EXPECT_EQ(List().GetItemID(1), "c");
    // Item data cannot be swapped under a record.
    EXPECT_EQ(::SendMessageW(ListHwnd(), LB_SETITEMDATA, 0, 1234), LB_ERR);
    m_dlg.Records().ResetList();
    EXPECT_EQ(RecordedItems(), 0);
    EXPECT_EQ(List().GetCount(), 0);
    // Destroying with items left: the list's own container frees their records with it.
    m_dlg.Records().LoadCollectedList("a|1|A|b|1|B");
    List().DeleteItem(7); // no such item: nothing freed
    EXPECT_EQ(RecordedItems(), 2);
    EXPECT_EQ(List().GetItemID(0), "a");
}

// Another program adds an item and plants a value of its choice, or a record's address, as its data:
// the list draws and reads that item by its text alone and frees nothing of its own when it goes.
TEST_F(ChatListTest, ItemDataFromAnotherProgramIsNeverTakenForARecord) {
    m_dlg.Records().LoadCollectedList("kim|1|" + Kr(L"김민수"));
    const LRESULT ownData = ::SendMessageW(ListHwnd(), LB_GETITEMDATA, 0, 0);
    for (const LPARAM planted : {LPARAM{0x41414141}, LPARAM{1}, ownData}) {
        const auto foreign = static_cast<WPARAM>(::SendMessageW(ListHwnd(), LB_ADDSTRING, 0,
                                                                reinterpret_cast<LPARAM>(L"planted")));
        ::SendMessageW(ListHwnd(), LB_SETITEMDATA, foreign, planted);
        ::InvalidateRect(ListHwnd(), nullptr, TRUE);
        ::UpdateWindow(ListHwnd());
        EXPECT_EQ(List().GetItemID(static_cast<int>(foreign)), std::nullopt) << planted;
        EXPECT_EQ(List().GetItemText(static_cast<int>(foreign)), L"planted");
        List().DeleteItem(static_cast<int>(foreign));
        EXPECT_EQ(RecordedItems(), 1) << planted;
        EXPECT_EQ(List().GetItemID(0), "kim");
    }
}

TEST_F(ChatListTest, ScreenReadersHearEachUserWithPresenceAndAvailability) {
    CComScope com;
    m_dlg.Records().LoadCollectedList("kim|1|" + Kr(L"김민수") + "|lee|0|Lee|park|1|Park");
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
    m_dlg.Records().SetUserState("Lee", true);
    EXPECT_EQ(AccText(&IAccessible::get_accDescription, acc.Get(), 2), L"온라인");
    List().DeleteItem(2);
    HRESULT hr = S_OK;
    AccName(acc.Get(), 3, &hr);
    EXPECT_EQ(hr, E_INVALIDARG);

    // The close button is a push button named by its caption.
    CComPtr<IAccessible> close = AccObjectOf(::GetDlgItem(m_dlg.GetHwnd(), IDCANCEL));
    ASSERT_TRUE(close);
    EXPECT_EQ(AccRole(close.Get(), CHILDID_SELF), ROLE_SYSTEM_PUSHBUTTON);
    EXPECT_EQ(AccName(close.Get(), CHILDID_SELF), L"나가기");
}

TEST_F(ChatListTest, ItemHeightFollowsIconAndWrappedText) {
    m_dlg.Records().LoadCollectedList("a|1|Kim");
    EXPECT_EQ(::SendMessageW(ListHwnd(), LB_GETITEMHEIGHT, 0, 0), 40);
    std::wstring longName;
    for (int i = 0; i < 12; ++i)
        longName += L"가나다라 마바사 ";
    m_dlg.Records().LoadCollectedList("b|1|" + WideToCp949(longName));
    EXPECT_GT(::SendMessageW(ListHwnd(), LB_GETITEMHEIGHT, 1, 0), 40);
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
    // Style 2 stays: a selected item is highlighted behind its one line of text only, not across its row.
    m_dlg.Records().LoadCollectedList("a|1|Kim");
    CPixels pixels(200, 40, RGB(1, 2, 3));
    DRAWITEMSTRUCT dis{ODT_LISTBOX, IDC_USER_LIST,       0, ODA_DRAWENTIRE, ODS_SELECTED, ListHwnd(),
                       pixels.Dc(), RECT{0, 0, 200, 40}, 0};
    ::SendMessageW(m_dlg.GetHwnd(), WM_DRAWITEM, IDC_USER_LIST, reinterpret_cast<LPARAM>(&dis));
    const COLORREF highlight = ::GetSysColor(COLOR_HIGHLIGHT);
    EXPECT_GT(pixels.Count(RECT{40, 0, 200, 40}, highlight), 0);
    EXPECT_EQ(pixels.Count(RECT{0, 0, 200, 3}, highlight), 0);
}

TEST_F(ChatListTest, DisabledItemIsDrawnGrayWithoutFocus) {
    m_dlg.Records().LoadCollectedList("a|1|WWWWWWWW|b|1|WWWWWWWW");
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
