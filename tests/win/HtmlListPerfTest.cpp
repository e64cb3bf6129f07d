// Timings of the list under the window system, each against plain DrawText of the same texts in the
// same run: adding 2,000 items the way a conversation does, and repainting a view of a long list.

#include "win/base/Text.h"
#include "win/ui/HTMLListCtrl.h"

#include "support/ListParent.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <string>

using namespace dravel::win;
using namespace dravel::win::test;

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::duration d) {
    return std::chrono::duration<double>(d).count();
}

std::string ConversationItem(int i) {
    static const std::string name = WideToCp949(L"홍길동");
    static const std::string words = WideToCp949(L"안녕하세요 오늘 주문 확인 부탁드립니다");
    return "<font color=#0000ff>" + name + "<p><b>" + words + "</b> item " + std::to_string(i) +
           " with a few more words to wrap<p>2026-12-08 PM 03:12:45</font>";
}

// Plain DrawText of the same bytes (as a conversation item's text would be without markup).
double PlainDrawSeconds(HDC hdc, int count, int width) {
    const auto start = Clock::now();
    for (int i = 0; i < count; ++i) {
        const std::wstring text = Cp949ToWide(ConversationItem(i));
        RECT rc{0, 0, width, 400};
        ::DrawTextW(hdc, text.c_str(), static_cast<int>(text.size()), &rc, DT_CALCRECT | DT_WORDBREAK);
        ::DrawTextW(hdc, text.c_str(), static_cast<int>(text.size()), &rc, DT_WORDBREAK);
    }
    return Seconds(Clock::now() - start);
}

void PumpMessages() {
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
}

TEST(HtmlListTiming, AddingTwoThousandItemsLikeAConversationTakesUnderASecond) {
    CListParent parent(400, 400);
    ::ShowWindow(parent.Hwnd(), SW_SHOWNOACTIVATE);
    const DWORD style = WS_CHILD | WS_VISIBLE | WS_BORDER | WS_VSCROLL | WS_TABSTOP;
    HTMLListCtrl list;
    ASSERT_TRUE(list.Create(parent.Hwnd(), RECT{5, 5, 380, 350}, 2000, style));
    list.SetStyle(dravel::HLS_IMAGES);
    PumpMessages();
    // As a conversation loads its history: add, check, scroll to the end and ask for a repaint; the
    // window paints when the loop gives it the chance.
    const auto start = Clock::now();
    for (int i = 0; i < 2000; ++i) {
        const int index = list.AddItem(ConversationItem(i), i % 2, dravel::HLT_HTML);
        list.SetCheck(index, i % 2 == 0 ? 1 : 0);
        list.ScrollToEnd();
    }
    ::UpdateWindow(list.GetHwnd());
    PumpMessages();
    const double listSeconds = Seconds(Clock::now() - start);

    // The same with a paint after every item, as when messages arrive one by one.
    HTMLListCtrl live;
    ASSERT_TRUE(live.Create(parent.Hwnd(), RECT{5, 5, 380, 350}, 2001, style));
    const auto liveStart = Clock::now();
    for (int i = 0; i < 200; ++i) {
        const int index = live.AddItem(ConversationItem(i), i % 2, dravel::HLT_HTML);
        live.SetCheck(index, 0);
        live.ScrollToEnd();
        ::UpdateWindow(live.GetHwnd());
    }
    const double liveSeconds = Seconds(Clock::now() - liveStart) / 200;

    CWindowDc dc(list.GetHwnd());
    LOGFONTW lf{};
    lf.lfHeight = -12;
    wcscpy_s(lf.lfFaceName, L"\uB3CB\uC6C0");
    CFontHandle font(::CreateFontIndirectW(&lf));
    CSelectObjectGuard select(dc.Get(), font.Get());
    const double plainSeconds = PlainDrawSeconds(dc.Get(), 2000, 320);
    std::printf("add 2000 items: %.3f s; plain DrawText (measure and draw) of the same texts: %.3f s; ratio %.2f\n",
                listSeconds, plainSeconds, listSeconds / plainSeconds);
    std::printf("one item added and painted at once: %.2f ms\n", liveSeconds * 1e3);
    EXPECT_LT(listSeconds, 1.0);
    EXPECT_EQ(list.GetCount(), 2000);
    // The view is where its scroll bar says, and that is past the start.
    EXPECT_EQ(list.GetItemRect(0).top, -::GetScrollPos(list.GetHwnd(), SB_VERT));
    EXPECT_GT(::GetScrollPos(list.GetHwnd(), SB_VERT), 0);
}

// Full repaints of the client area into the window, as WM_PAINT does.
double RepaintSeconds(HTMLListCtrl& list, int rounds) {
    RECT client{};
    ::GetClientRect(list.GetHwnd(), &client);
    CWindowDc dc(list.GetHwnd());
    const auto start = Clock::now();
    for (int i = 0; i < rounds; ++i)
        list.PaintTo(dc.Get(), client);
    return Seconds(Clock::now() - start) / rounds;
}

// Moves the view to the middle of the list through its scroll bar: the box set there, then released.
bool ScrollToMiddle(const HTMLListCtrl& list) {
    SCROLLINFO si{};
    si.cbSize = sizeof(si);
    si.fMask = SIF_RANGE | SIF_PAGE;
    ::GetScrollInfo(list.GetHwnd(), SB_VERT, &si);
    si.fMask = SIF_POS;
    si.nPos = (si.nMax - static_cast<int>(si.nPage) + 1) / 2;
    ::SetScrollInfo(list.GetHwnd(), SB_VERT, &si, FALSE);
    ::SendMessageW(list.GetHwnd(), WM_VSCROLL, MAKEWPARAM(SB_THUMBPOSITION, 0), 0);
    return ::GetScrollPos(list.GetHwnd(), SB_VERT) > 0;
}

TEST(HtmlListTiming, ARepaintDoesNotGrowWithTheItemsOutsideTheView) {
    CListParent parent(400, 400);
    ::ShowWindow(parent.Hwnd(), SW_SHOWNOACTIVATE);
    HTMLListCtrl small;
    HTMLListCtrl large;
    const DWORD style = WS_CHILD | WS_VISIBLE | WS_BORDER | WS_VSCROLL;
    ASSERT_TRUE(small.Create(parent.Hwnd(), RECT{5, 5, 380, 350}, 2001, style));
    ASSERT_TRUE(large.Create(parent.Hwnd(), RECT{5, 5, 380, 350}, 2002, style));
    for (int i = 0; i < 100; ++i)
        small.AddItem(ConversationItem(i), i % 2, dravel::HLT_HTML);
    for (int i = 0; i < 10000; ++i)
        large.AddItem(ConversationItem(i), i % 2, dravel::HLT_HTML);
    ASSERT_TRUE(ScrollToMiddle(small));
    ASSERT_TRUE(ScrollToMiddle(large));
    RepaintSeconds(small, 3); // warm the font caches
    const double smallSeconds = RepaintSeconds(small, 20);
    const double largeSeconds = RepaintSeconds(large, 20);

    LOGFONTW lf{};
    lf.lfHeight = -12;
    wcscpy_s(lf.lfFaceName, L"\uB3CB\uC6C0");
    CFontHandle font(::CreateFontIndirectW(&lf));
    CWindowDc plainDc(large.GetHwnd());
    CSelectObjectGuard select(plainDc.Get(), font.Get());
    int visible = 0;
    RECT client{};
    ::GetClientRect(large.GetHwnd(), &client);
    for (int i = 0; i < large.GetCount(); ++i) {
        const RECT r = large.GetItemRect(i);
        visible += (r.bottom > client.top && r.top < client.bottom) ? 1 : 0;
    }
    double plainSeconds = 0;
    for (int round = 0; round < 20; ++round)
        plainSeconds += PlainDrawSeconds(plainDc.Get(), visible, 320);
    plainSeconds /= 20;
    std::printf("repaint: 100 items %.2f ms, 10000 items %.2f ms (%d visible), plain DrawText of the visible texts "
                "%.2f ms, ratio %.2f\n",
                smallSeconds * 1e3, largeSeconds * 1e3, visible, plainSeconds * 1e3, largeSeconds / plainSeconds);
    EXPECT_GT(visible, 0);
    // Walking 10,000 stored rectangles costs little next to drawing: allow noise, not growth.
    EXPECT_LT(largeSeconds, smallSeconds * 3 + 0.002);
}

} // namespace
