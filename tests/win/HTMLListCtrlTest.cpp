// The list control as a window: bubbles, check images and selection in pixels, notifications through
// WM_NOTIFY, wheel and keys, items handed to another window on request, and a screenshot of a typical
// conversation for review.

#include "win/ui/HTMLListCtrl.h"
#include "win/base/Text.h"
#include "win/res/resource.h"
#include "win/ui/Dpi.h"

#include "support/Accessible.h"
#include "support/ListParent.h"
#include "support/Pixels.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

using namespace dravel::win;
using dravel::HLS_CHECKBOXES;
using dravel::HLS_IMAGES;
using dravel::HLT_HTML;
using dravel::HLT_PATH;
using dravel::HLT_TEXT;
using namespace dravel::win::test;

namespace {

constexpr DWORD kListStyle = WS_CHILD | WS_VISIBLE | WS_BORDER | WS_VSCROLL | WS_TABSTOP;
constexpr COLORREF kChecked = RGB(255, 247, 178);
constexpr COLORREF kSelection = RGB(127, 202, 254);
constexpr COLORREF kWhite = RGB(255, 255, 255);

struct ListWindow : ::testing::Test {
    ListWindow() { EXPECT_TRUE(list.Create(parent.Hwnd(), RECT{5, 5, 380, 350}, 2000, kListStyle)); }

    RECT Client() const {
        RECT rc{};
        ::GetClientRect(list.GetHwnd(), &rc);
        return rc;
    }
    // Paints the whole client area into the canvas (and so lays the items out).
    void Paint(CPixels& canvas) {
        canvas.Clear(RGB(0, 0, 0));
        list.PaintTo(canvas.Dc(), Client());
    }
    void Click(int x, int y) { list.SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y)); }

    CListParent parent{400, 400};
    HTMLListCtrl list;
};

TEST_F(ListWindow, CheckedBubblesAreLightYellowAndTheSelectionHasItsColour) {
    CPixels canvas(400, 400, kWhite);
    list.AddItem("<b>first</b> item", 0, HLT_HTML);
    list.SetCheck(0, 1);
    list.AddItem("second", 1, HLT_TEXT);
    Paint(canvas);
    const RECT r0 = list.GetItemRect(0);
    const RECT r1 = list.GetItemRect(1);
    ASSERT_GT(r0.bottom, r0.top + 20);
    EXPECT_EQ(r1.top, r0.bottom);
    EXPECT_EQ(canvas.At(r0.right - 60, r0.top + 13), kChecked);
    EXPECT_EQ(canvas.At(r1.left + 100, r1.top + 13), kWhite);
    // Above the bubble and beside it the item stays white; the outline is drawn in black.
    EXPECT_EQ(canvas.At(r0.left + 100, r0.top + 5), kWhite);
    EXPECT_EQ(canvas.At(r0.right - 20, r0.top + 20), kWhite);
    EXPECT_EQ(canvas.At(r0.left + 100, r0.top + 12), RGB(0, 0, 0));

    Click(r1.left + 100, r1.top + 20);
    EXPECT_EQ(list.GetSelected(), 1);
    Paint(canvas);
    EXPECT_EQ(canvas.At(r1.left + 100, r1.top + 13), kSelection);
    // The text is drawn on the bubble's colour, not on white.
    const RECT text{r1.left + 79, r1.top + 15, r1.right - 15, r1.bottom - 3};
    EXPECT_EQ(canvas.CountIf(text, [](COLORREF c) { return c == kWhite; }), 0);

    Click(r1.left + 100, r1.bottom + 30); // below the last item
    EXPECT_EQ(list.GetSelected(), -1);
    Paint(canvas);
    EXPECT_EQ(canvas.At(r1.left + 100, r1.top + 13), kWhite);
}

TEST_F(ListWindow, ACheckBoxClickSendsPressCheckSelectToTheParent) {
    CPixels canvas(400, 400, kWhite);
    list.SetStyle(HLS_CHECKBOXES);
    list.AddItem("one", 0, HLT_TEXT);
    list.AddItem("two", 1, HLT_TEXT);
    list.SetItemData(1, 42);
    Paint(canvas);
    const RECT r1 = list.GetItemRect(1);
    const int boxTop = r1.top + (r1.bottom - r1.top) / 2 - 8;
    // Check image 0 (the empty box) has a coloured frame; after the click image 1 has its green tick.
    const RECT box{r1.left + 3, boxTop, r1.left + 19, boxTop + 16};
    const auto isFrame = [](COLORREF c) { return c == RGB(15, 94, 110); };
    const auto isTick = [](COLORREF c) { return c == RGB(22, 128, 62); };
    EXPECT_GT(canvas.CountIf(box, isFrame), 20);
    EXPECT_EQ(canvas.CountIf(box, isTick), 0);

    Click(r1.left + 8, boxTop + 7);
    EXPECT_EQ(parent.Codes(), (std::vector<UINT>{dravel::HLN_PRESS, dravel::HLN_CHECK, dravel::HLN_SELECT}));
    ASSERT_EQ(parent.notes.size(), 3u);
    EXPECT_EQ(parent.notes[1].index, 1);
    EXPECT_EQ(parent.notes[1].checked, 1);
    EXPECT_EQ(parent.notes[1].data, 42);
    EXPECT_EQ(parent.notes[2].text, "two");
    EXPECT_EQ(parent.notes[2].from, list.GetHwnd());
    EXPECT_EQ(parent.notes[2].id, 2000u);
    EXPECT_EQ(list.GetCheck(1), 1);
    Paint(canvas);
    EXPECT_GT(canvas.CountIf(box, isTick), 10);
    EXPECT_EQ(canvas.At(r1.left + 100, r1.top + 13), kSelection);

    parent.notes.clear();
    list.SendMessage(WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(100, 20));
    list.SendMessage(WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(100, 20));
    EXPECT_EQ(parent.Codes(), (std::vector<UINT>{dravel::HLN_RCLICK, dravel::HLN_DBLCLK}));
    EXPECT_EQ(list.SendMessage(WM_GETDLGCODE), static_cast<LRESULT>(DLGC_WANTARROWS | DLGC_WANTCHARS));
}

// At twice the dpi a row holds the same text in a font twice as tall with twice the margins: its height
// about doubles, the check image is the 32-pixel one, and back at 96 dpi every pixel is as before.
TEST_F(ListWindow, ADpiChangeScalesRowsFontsAndCheckImages) {
    ASSERT_EQ(list.GetDpi(), 96) << "the test display is not at 100 %";
    ::SetWindowPos(list.GetHwnd(), nullptr, 0, 0, 380, 390, SWP_NOZORDER | SWP_NOACTIVATE);
    CPixels canvas(400, 400, kWhite);
    list.SetStyle(HLS_CHECKBOXES);
    list.AddItem("<b>one</b> line", 0, HLT_HTML);
    list.AddItem("two", 1, HLT_TEXT);
    Paint(canvas);
    const RECT r0 = list.GetItemRect(0);
    const RECT r1 = list.GetItemRect(1);
    std::vector<COLORREF> before;
    for (int y = 0; y < 400; ++y)
        for (int x = 0; x < 400; ++x)
            before.push_back(canvas.At(x, y));

    auto changeDpi = [&](int dpi) {
        RECT suggested{0, 0, 10, 10};
        list.SendMessage(WM_DPICHANGED, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(&suggested));
    };
    changeDpi(192);
    EXPECT_EQ(list.GetDpi(), 192);
    // A child keeps its place: the suggested rectangle is for top-level windows.
    RECT window{};
    ::GetClientRect(list.GetHwnd(), &window);
    EXPECT_GT(window.right, 300);
    Paint(canvas);
    const RECT big0 = list.GetItemRect(0);
    const RECT big1 = list.GetItemRect(1);
    // The margins double exactly; a font twice as tall is not always exactly twice the line height.
    EXPECT_NEAR(big0.bottom - big0.top, 2 * (r0.bottom - r0.top), 4);
    EXPECT_NEAR(big1.bottom - big1.top, 2 * (r1.bottom - r1.top), 4);
    // The 32 x 32 check image: its frame spans twice the rows of the 16 x 16 one.
    const int boxTop = big1.top + (big1.bottom - big1.top) / 2 - 16;
    const auto isFrame = [](COLORREF c) { return c == RGB(15, 94, 110); };
    EXPECT_GT(canvas.CountIf(RECT{big1.left + 6, boxTop + 26, big1.left + 38, boxTop + 30}, isFrame), 20);
    // ... and a click on it ticks it.
    Click(big1.left + 16, boxTop + 14);
    EXPECT_EQ(list.GetCheck(1), 1);
    list.SetCheck(1, 0);

    changeDpi(96);
    Click(100, 385); // below the items: nothing selected, as before
    Paint(canvas);
    EXPECT_EQ(list.GetItemRect(1).bottom, r1.bottom);
    size_t differing = 0;
    for (int y = 0; y < 400; ++y)
        for (int x = 0; x < 400; ++x)
            differing += canvas.At(x, y) != before[static_cast<size_t>(y) * 400 + static_cast<size_t>(x)];
    EXPECT_EQ(differing, 0u);
}

TEST_F(ListWindow, WheelAndKeysScrollTheList) {
    for (int i = 0; i < 20; ++i)
        list.AddItem("item " + std::to_string(i), i % 2, HLT_TEXT, 60);
    list.SendMessage(WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(-360)), 0);
    EXPECT_EQ(::GetScrollPos(list.GetHwnd(), SB_VERT), 40);
    list.SendMessage(WM_KEYDOWN, VK_DOWN, 0);
    EXPECT_EQ(list.GetSelected(), 19);
    const RECT client = Client();
    EXPECT_EQ(::GetScrollPos(list.GetHwnd(), SB_VERT), 20 * 60 - client.bottom);
    EXPECT_EQ(parent.notes.back().index, 19);
    list.SendMessage(WM_VSCROLL, SB_LINEUP, 0);
    EXPECT_EQ(::GetScrollPos(list.GetHwnd(), SB_VERT), 20 * 60 - client.bottom - 50);
    CPixels canvas(400, 400, kWhite);
    Paint(canvas);
    EXPECT_EQ(list.GetItemRect(19).bottom, client.bottom + 50);
}

TEST_F(ListWindow, ScreenReadersGetEachItemAsAListItemReadAsPlainText) {
    CComScope com;
    ::ShowWindow(parent.Hwnd(), SW_SHOW);
    list.AddItem(
        WideToCp949(L"<font color=#0000ff>김철수<p><b>안녕 &amp; <i>반가워</i></b><p>2026-12-09 오후 01:02:03</font>"),
        0, HLT_HTML);
    for (int i = 1; i <= 10; ++i)
        list.AddItem("item " + std::to_string(i), 1, HLT_TEXT, 60);
    CComPtr<IAccessible> acc = AccObjectOf(list.GetHwnd());
    ASSERT_TRUE(acc);
    long count = 0;
    EXPECT_EQ(acc->get_accChildCount(&count), S_OK);
    EXPECT_EQ(count, 11);
    EXPECT_EQ(AccRole(acc.Get(), CHILDID_SELF), ROLE_SYSTEM_LIST);
    EXPECT_EQ(AccRole(acc.Get(), 1), ROLE_SYSTEM_LISTITEM);
    EXPECT_EQ(AccName(acc.Get(), 1), L"김철수\n안녕 & 반가워\n2026-12-09 오후 01:02:03");
    EXPECT_EQ(AccName(acc.Get(), 2), L"item 1");
    // The first items are in view, the last is below the client area; locations are where they are
    // drawn, in screen coordinates.
    const long selectable = STATE_SYSTEM_SELECTABLE | STATE_SYSTEM_FOCUSABLE;
    EXPECT_EQ(AccState(acc.Get(), 2), selectable);
    EXPECT_EQ(AccState(acc.Get(), 11), selectable | STATE_SYSTEM_INVISIBLE | STATE_SYSTEM_OFFSCREEN);
    CPixels canvas(400, 400, kWhite);
    Paint(canvas);
    RECT item1 = list.GetItemRect(1);
    ::MapWindowPoints(list.GetHwnd(), nullptr, reinterpret_cast<POINT*>(&item1), 2);
    const RECT located = AccLocation(acc.Get(), 2);
    EXPECT_TRUE(::EqualRect(&located, &item1));
    VARIANT hit;
    ::VariantInit(&hit);
    EXPECT_EQ(acc->accHitTest(item1.left + 50, item1.top + 10, &hit), S_OK);
    EXPECT_EQ(AccChildOf(hit), 2);

    // A click and a key move the selection: clients hear where it went.
    CAccEventRecorder events(EVENT_OBJECT_FOCUS, EVENT_OBJECT_SELECTION);
    ASSERT_TRUE(events.IsHooked());
    Click(100, list.GetItemRect(1).top + 20);
    ASSERT_EQ(list.GetSelected(), 1);
    EXPECT_TRUE(events.Has(EVENT_OBJECT_SELECTION, list.GetHwnd(), 2));
    list.SendMessage(WM_KEYDOWN, VK_DOWN, 0);
    EXPECT_TRUE(events.Has(EVENT_OBJECT_SELECTION, list.GetHwnd(), 3));
    ASSERT_EQ(::GetFocus(), list.GetHwnd());
    EXPECT_TRUE(events.Has(EVENT_OBJECT_FOCUS, list.GetHwnd(), 3));
    EXPECT_EQ(AccState(acc.Get(), 3), selectable | STATE_SYSTEM_SELECTED | STATE_SYSTEM_FOCUSED);
    EXPECT_EQ(AccState(acc.Get(), 2), selectable);
    VARIANT focus;
    ::VariantInit(&focus);
    EXPECT_EQ(acc->get_accFocus(&focus), S_OK);
    EXPECT_EQ(AccChildOf(focus), 3);
    VARIANT selection;
    ::VariantInit(&selection);
    EXPECT_EQ(acc->get_accSelection(&selection), S_OK);
    EXPECT_EQ(AccChildOf(selection), 3);

    // What a client holds can go stale: removed items, wrong arguments, and at last the window itself.
    list.RemoveItem(10);
    HRESULT hr = S_OK;
    AccName(acc.Get(), 11, &hr);
    EXPECT_EQ(hr, E_INVALIDARG);
    AccName(acc.Get(), -1, &hr);
    EXPECT_EQ(hr, E_INVALIDARG);
    VARIANT text;
    text.vt = VT_BSTR;
    text.bstrVal = nullptr;
    VARIANT role;
    EXPECT_EQ(acc->get_accRole(text, &role), E_INVALIDARG);
    EXPECT_EQ(acc->get_accName(AccChild(1), nullptr), E_POINTER);
    EXPECT_EQ(acc->accLocation(nullptr, nullptr, nullptr, nullptr, AccChild(1)), E_POINTER);
    EXPECT_EQ(acc->accDoDefaultAction(AccChild(1)), DISP_E_MEMBERNOTFOUND);
    list.DestroyWindow();
    EXPECT_EQ(acc->get_accChildCount(&count), RPC_E_DISCONNECTED);
    AccName(acc.Get(), 1, &hr);
    EXPECT_EQ(hr, RPC_E_DISCONNECTED);
}

TEST(HtmlListPath, LongPathsAreCompactedWithAnEllipsis) {
    CPixels canvas(10, 10, kWhite);
    const std::string path = "C:\\Documents and Settings\\user\\My Documents\\Received files\\report.txt";
    const std::wstring shown = CompactPathText(canvas.Dc(), path, 160);
    EXPECT_NE(shown.find(L"..."), std::wstring::npos);
    EXPECT_LT(shown.size(), path.size());
    EXPECT_EQ(CompactPathText(canvas.Dc(), "C:\\a.txt", 300), L"C:\\a.txt");
    // Longer than the path buffer: cut before it, never inside a double-byte character.
    std::string longPath = "C:\\";
    for (int i = 0; i < 200; ++i)
        longPath += "\xB0\xA1";
    EXPECT_EQ(CompactPathText(canvas.Dc(), longPath, 0), Cp949ToWide(longPath));
    const std::wstring cut = CompactPathText(canvas.Dc(), longPath, 100);
    EXPECT_LE(cut.size(), 259u);
}

// A conversation as the conversation window shows it, saved as html_list.png for review.
TEST_F(ListWindow, ScreenshotOfAConversation) {
    CImageListHandle images(ImageList_Create(16, 16, ILC_COLOR32 | ILC_MASK, 2, 0));
    for (int id : {IDI_USER_ONLINE, IDI_USER_SELF}) {
        CIconHandle icon(
            static_cast<HICON>(::LoadImageW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(id), IMAGE_ICON, 16, 16, 0)));
        ImageList_AddIcon(images.Get(), icon.Get());
    }
    list.SetImageList(images.Get());
    list.SetStyle(HLS_IMAGES | HLS_CHECKBOXES);
    auto k = [](const wchar_t* text) { return WideToCp949(text); };
    list.AddItem("<font color=#0000ff>" + k(L"홍길동") + "<p><b>" + k(L"안녕하세요") + "</b> Hello, <u>" +
                     k(L"오늘 회의는") + " 3 pm</u> " + k(L"입니다.") + "<p>2026-12-08 " + k(L"오후") +
                     " 03:12:45</font>",
                 0, HLT_HTML);
    list.AddItem("<strong>" + k(L"나") + "</strong><p>OK, <i>" + k(L"알겠습니다") +
                     "</i>! H<sub>2</sub>O x<sup>2</sup> " + "<font color=#ff0000>" + k(L"빨간 글씨") +
                     "</font><p>2026/12/08 " + k(L"오후") + " 03:13:02",
                 1, HLT_HTML);
    list.SetCheck(1, 1);
    list.AddItem("C:\\Documents and Settings\\user\\My Documents\\" + k(L"받은 파일") + "\\quarterly report 2026.xls",
                 0, HLT_PATH);
    list.AddItem(k(L"파일 전송이 완료되었습니다. ") + "A plain text item wraps at blanks like DrawText does.", 1,
                 HLT_TEXT);
    list.SetCheck(3, 1);
    const RECT client = Client();
    CPixels canvas(client.right, client.bottom, kWhite);
    Paint(canvas);
    Click(200, list.GetItemRect(2).top + 25);
    Paint(canvas);
    const RECT r2 = list.GetItemRect(2);
    EXPECT_EQ(canvas.At(r2.right - 60, r2.top + 13), kSelection);
    // The icon sits at (x + 5, top + 15) right after the check box.
    const RECT icon{r2.left + 24, r2.top + 15, r2.left + 40, r2.top + 31};
    EXPECT_GT(canvas.CountIf(icon, [](COLORREF c) { return c != kWhite && c != kSelection; }), 20);
    // Beside the test program, in the build tree.
    wchar_t exe[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, exe, MAX_PATH);
    std::wstring folder(exe);
    folder.resize(folder.find_last_of(L"\\/") + 1);
    EXPECT_TRUE(canvas.SavePng(WideToCp949(folder) + "html_list.png"));
    list.SetImageList(nullptr);
}

} // namespace
