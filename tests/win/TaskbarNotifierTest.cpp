// The pop-up notifier as a real window: its slide, its click message and its skin-shaped region.

#include "win/ui/TaskbarNotifier.h"
#include "win/base/Text.h"
#include "win/base/Window.h"
#include "win/res/resource.h"
#include "win/ui/Dpi.h"
#include "core/ui/NotifierAnimation.h"

#include "support/Accessible.h"
#include "support/Popup.h"
#include "support/Rects.h"
#include "support/Screen.h"
#include "support/Wait.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

using namespace dravel;
using namespace dravel::win;
using namespace dravel::win::test;

namespace {

// The owner: records the click messages it receives, with the click data read at once as the owner must.
class COwnerWindow : public CWindow {
public:
    struct Click {
        WPARAM instance;
        LPARAM data;
        std::string text;
    };
    std::vector<Click> clicks;

    bool Create() {
        RegisterWindowClass(L"NotifierTestOwner");
        return CWindow::Create(L"NotifierTestOwner", L"owner", WS_OVERLAPPEDWINDOW, 10, 10, 200, 100) != nullptr;
    }

protected:
    LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) override {
        if (msg == kNotifierClickMessage) {
            clicks.push_back({wParam, lParam, reinterpret_cast<const char*>(lParam)});
            return 0;
        }
        return CWindow::HandleMessage(msg, wParam, lParam);
    }
};

// Records every position the window takes while it is shown with a size.
class CRecordingNotifier : public CTaskbarNotifier {
public:
    std::vector<POINT> positions;

protected:
    LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) override {
        if (msg == WM_WINDOWPOSCHANGED) {
            const auto* pos = reinterpret_cast<const WINDOWPOS*>(lParam);
            if (pos->cx > 0 && (pos->flags & SWP_NOMOVE) == 0 &&
                (positions.empty() || positions.back().x != pos->x || positions.back().y != pos->y))
                positions.push_back({pos->x, pos->y});
        }
        return CTaskbarNotifier::HandleMessage(msg, wParam, lParam);
    }
};

NotifierScreen ReadScreen() {
    RECT work{};
    ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    return {.work = {work.left, work.top, work.right, work.bottom},
            .screenWidth = ::GetSystemMetrics(SM_CXSCREEN),
            .screenHeight = ::GetSystemMetrics(SM_CYSCREEN)};
}

// A skin pixel's colour, read from the bitmap resource itself.
COLORREF SkinPixel(UINT bitmapId, int x, int y) {
    const auto bitmap = static_cast<HBITMAP>(
        ::LoadImageW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(bitmapId), IMAGE_BITMAP, 0, 0, 0));
    HDC dc = ::CreateCompatibleDC(nullptr);
    HGDIOBJ old = ::SelectObject(dc, bitmap);
    const COLORREF colour = ::GetPixel(dc, x, y);
    ::SelectObject(dc, old);
    ::DeleteDC(dc);
    ::DeleteObject(bitmap);
    return colour;
}

// Whether the notifier has served its paint and the screen shows the skin's pixel (x, y) where the window is.
bool SkinOnScreen(const CTaskbarNotifier& notifier, int x, int y) {
    RECT rc{};
    ::GetWindowRect(notifier.GetHwnd(), &rc);
    return NothingToPaint(notifier.GetHwnd()) &&
           ScreenPixel(rc.left + x, rc.top + y) == SkinPixel(IDB_POPUP_MESSAGE, x, y);
}

// The message pop-up's skin at 100 %.
constexpr SIZE kSkinSize{200, 97};

// The window's size: the skin at the dpi the pop-up draws at.
SIZE WindowSize(const CTaskbarNotifier& notifier) {
    const RECT rc = ScreenRectOf(notifier.GetHwnd());
    return {rc.right - rc.left, rc.bottom - rc.top};
}

// Draws the notifier into a bitmap of its skin's size and returns the pixels.
std::vector<COLORREF> Render(const CTaskbarNotifier& notifier, SIZE skin = kSkinSize) {
    const int cx = skin.cx;
    const int cy = skin.cy;
    HDC screen = ::GetDC(nullptr);
    HDC dc = ::CreateCompatibleDC(screen);
    HBITMAP bitmap = ::CreateCompatibleBitmap(screen, cx, cy);
    HGDIOBJ old = ::SelectObject(dc, bitmap);
    notifier.Draw(dc);
    std::vector<COLORREF> pixels;
    for (int y = 0; y < cy; ++y)
        for (int x = 0; x < cx; ++x)
            pixels.push_back(::GetPixel(dc, x, y));
    ::SelectObject(dc, old);
    ::DeleteObject(bitmap);
    ::DeleteDC(dc);
    ::ReleaseDC(nullptr, screen);
    return pixels;
}

// Whether the notifier draws some of its text in exactly this colour: a pixel off the bare skin's.
bool TextDrawnIn(const CTaskbarNotifier& notifier, const std::vector<COLORREF>& bareSkin, COLORREF colour) {
    const std::vector<COLORREF> drawn = Render(notifier);
    for (size_t i = 0; i < drawn.size(); ++i)
        if (drawn[i] == colour && bareSkin[i] != colour)
            return true;
    return false;
}

class TaskbarNotifierTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(owner.Create());
        ::ShowWindow(owner.GetHwnd(), SW_SHOWNOACTIVATE);
    }

    // Sets the notifier up as the main window does for a message pop-up.
    void Prepare(CTaskbarNotifier& notifier, int instance) {
        ASSERT_TRUE(notifier.Create(owner.GetHwnd(), instance));
        ASSERT_TRUE(notifier.LoadSkin(IDB_POPUP_MESSAGE, -1, -1, -1));
        ASSERT_TRUE(notifier.SetFonts(L"돋움", 90, 0, 4));
        notifier.SetTextColours(RGB(0, 0, 0), RGB(0, 0, 200));
        notifier.SetTextArea(RECT{40, 10, notifier.GetLogicalSkinWidth() - 10, notifier.GetLogicalSkinHeight() - 25});
        notifier.m_strClickData = WideToCp949(L"홍길동;hong");
    }

    COwnerWindow owner;
};

TEST_F(TaskbarNotifierTest, SlidesUpAlongTheComputedPathAndStaysUntilClicked) {
    CRecordingNotifier notifier;
    Prepare(notifier, 3);
    EXPECT_EQ(notifier.GetLogicalSkinWidth(), 200);
    EXPECT_EQ(notifier.GetLogicalSkinHeight(), 97);

    const NotifierScreen screen = ReadScreen();
    const TaskbarEdge edge = ChooseTaskbarEdge(screen);
    ASSERT_EQ(edge, TaskbarEdge::Bottom) << "the test display has no taskbar";
    const NotifierPoint start = NotifierStartPosition(edge, screen.work, 200, 97, 3);
    EXPECT_EQ(start.x, screen.work.right - 200);
    EXPECT_EQ(start.y, screen.work.bottom - 3 * 97);

    const std::vector<COLORREF> bareSkin = Render(notifier);
    notifier.Show(WideToCp949(L"홍길동 로 부터 새로운 쪽지가 도착했습니다."), 200, kNotifierStayUntilClicked, 500, 10);
    ASSERT_TRUE(PumpUntil([&] { return StandsOnTop(notifier.GetHwnd()); }));

    // 49 steps of 2 pixels straight up from the start, then no further.
    ASSERT_EQ(notifier.positions.size(), 49u);
    for (size_t i = 0; i < notifier.positions.size(); ++i) {
        EXPECT_EQ(notifier.positions[i].x, start.x) << "step " << i;
        EXPECT_EQ(notifier.positions[i].y, start.y - 2 * static_cast<int>(i + 1)) << "step " << i;
    }
    RECT rc{};
    ::GetWindowRect(notifier.GetHwnd(), &rc);
    EXPECT_EQ(rc.left, start.x);
    EXPECT_EQ(rc.top, start.y - 98);
    EXPECT_EQ(rc.right - rc.left, 200);
    EXPECT_EQ(rc.bottom - rc.top, 97);
    EXPECT_TRUE(::IsWindowVisible(notifier.GetHwnd()));
    EXPECT_NE(::GetWindowLongW(notifier.GetHwnd(), GWL_EXSTYLE) & WS_EX_TOPMOST, 0);
    EXPECT_NE(::GetForegroundWindow(), notifier.GetHwnd());

    // The skin is on the screen where the window is.
    EXPECT_TRUE(PumpUntil([&] { return SkinOnScreen(notifier, 10, 60); }));
    EXPECT_EQ(ScreenPixel(rc.left + 10, rc.top + 60), SkinPixel(IDB_POPUP_MESSAGE, 10, 60));
    EXPECT_TRUE(SaveScreenPng(L"notifier.png"));

    // Hovering changes colour and font, not the position; leaving changes them back.
    ::SendMessageW(notifier.GetHwnd(), WM_MOUSEHOVER, 0, MAKELPARAM(60, 30));
    EXPECT_TRUE(TextDrawnIn(notifier, bareSkin, RGB(0, 0, 200)));
    EXPECT_FALSE(TextDrawnIn(notifier, bareSkin, RGB(0, 0, 0)));
    LOGFONTW hover{};
    ::GetObjectW(notifier.GetTextFont(), sizeof(hover), &hover);
    EXPECT_TRUE(hover.lfUnderline);
    EXPECT_EQ(hover.lfWeight, 400);
    EXPECT_TRUE(PumpUntil([&] { return NothingToPaint(notifier.GetHwnd()); })) << "the hover look was not painted";
    EXPECT_TRUE(SaveScreenPng(L"notifier_hover.png"));
    ::SendMessageW(notifier.GetHwnd(), WM_MOUSELEAVE, 0, 0);
    EXPECT_FALSE(TextDrawnIn(notifier, bareSkin, RGB(0, 0, 200)));
    EXPECT_TRUE(TextDrawnIn(notifier, bareSkin, RGB(0, 0, 0)));

    // A stay time of -1 waits for the click: the wait is the check.
    PumpFor(700);
    EXPECT_TRUE(StandsOnTop(notifier.GetHwnd()));
    EXPECT_EQ(notifier.positions.size(), 49u);

    ::SendMessageW(notifier.GetHwnd(), WM_LBUTTONUP, 0, MAKELPARAM(60, 30));
    EXPECT_FALSE(::IsWindowVisible(notifier.GetHwnd()));
    EXPECT_FALSE(::IsWindowVisible(notifier.GetHwnd()));
    ASSERT_TRUE(PumpUntil([&] { return !owner.clicks.empty(); }));
    ASSERT_EQ(owner.clicks.size(), 1u);
    EXPECT_EQ(owner.clicks[0].instance, 3u);
    EXPECT_EQ(owner.clicks[0].data, reinterpret_cast<LPARAM>(notifier.m_strClickData.c_str()));
    EXPECT_EQ(owner.clicks[0].text, WideToCp949(L"홍길동;hong"));
    ::GetWindowRect(notifier.GetHwnd(), &rc);
    EXPECT_EQ(rc.right - rc.left, 0);
    EXPECT_EQ(rc.bottom - rc.top, 0);
}

TEST_F(TaskbarNotifierTest, ClickDuringTheSlideInHidesAtOnce) {
    CRecordingNotifier notifier;
    Prepare(notifier, 9);
    const NotifierScreen screen = ReadScreen();
    // Slowly, so that the click surely comes while it is still rising.
    CComScope com;
    CAccEventRecorder events(EVENT_SYSTEM_ALERT, EVENT_SYSTEM_ALERT);
    notifier.Show(std::string("slow"), 2000, kNotifierStayUntilClicked, 500);
    // Screen readers are told at once, and read the alert by its text.
    EXPECT_TRUE(events.Has(EVENT_SYSTEM_ALERT, notifier.GetHwnd(), CHILDID_SELF));
    CComPtr<IAccessible> acc = AccObjectOf(notifier.GetHwnd());
    ASSERT_TRUE(acc);
    EXPECT_EQ(AccRole(acc.Get(), CHILDID_SELF), ROLE_SYSTEM_ALERT);
    EXPECT_EQ(AccName(acc.Get(), CHILDID_SELF), L"slow");
    EXPECT_EQ(AccState(acc.Get(), CHILDID_SELF), STATE_SYSTEM_READONLY);
    ASSERT_TRUE(PumpUntil([&] { return notifier.positions.size() >= 3; }));
    EXPECT_TRUE(IsRising(notifier.GetHwnd()));
    // Instance 9: second column, one skin height up.
    EXPECT_EQ(notifier.positions[0].x, screen.work.right - 2 * 200);
    EXPECT_EQ(notifier.positions[0].y, screen.work.bottom - 97 - 2);

    ::SendMessageW(notifier.GetHwnd(), WM_LBUTTONUP, 0, MAKELPARAM(100, 5));
    EXPECT_FALSE(::IsWindowVisible(notifier.GetHwnd()));
    ASSERT_TRUE(PumpUntil([&] { return !owner.clicks.empty(); }));
    EXPECT_EQ(owner.clicks[0].instance, 9u);
    const size_t positions = notifier.positions.size();
    PumpFor(300); // the wait is the check: no step of the slide comes after the click
    EXPECT_EQ(notifier.positions.size(), positions);
    EXPECT_FALSE(::IsWindowVisible(notifier.GetHwnd()));
    EXPECT_EQ(AccState(acc.Get(), CHILDID_SELF), STATE_SYSTEM_READONLY | STATE_SYSTEM_INVISIBLE);
}

TEST_F(TaskbarNotifierTest, RegionLeavesOutThePixelsOfTheTransparentColour) {
    CTaskbarNotifier notifier;
    Prepare(notifier, 0);
    // Without a transparent colour the window is a plain rectangle.
    HRGN region = ::CreateRectRgn(0, 0, 0, 0);
    EXPECT_EQ(::GetWindowRgn(notifier.GetHwnd(), region), ERROR);

    // The background of the skin's text area, and the stripe on its left, differ in colour.
    const COLORREF key = SkinPixel(IDB_POPUP_MESSAGE, 120, 50);
    const COLORREF stripe = SkinPixel(IDB_POPUP_MESSAGE, 10, 50);
    ASSERT_NE(key, stripe);
    ASSERT_TRUE(notifier.LoadSkin(IDB_POPUP_MESSAGE, GetRValue(key), GetGValue(key), GetBValue(key)));
    ASSERT_NE(::GetWindowRgn(notifier.GetHwnd(), region), ERROR);
    EXPECT_FALSE(::PtInRegion(region, 120, 50));
    EXPECT_TRUE(::PtInRegion(region, 10, 50));
    EXPECT_TRUE(::PtInRegion(region, 0, 0));

    // -1 in a component keeps the region the window has.
    ASSERT_TRUE(notifier.LoadSkin(IDB_POPUP_MESSAGE, 255, -1, 255));
    HRGN kept = ::CreateRectRgn(0, 0, 0, 0);
    ASSERT_NE(::GetWindowRgn(notifier.GetHwnd(), kept), ERROR);
    EXPECT_TRUE(::EqualRgn(region, kept));

    // Shown, the hole lets the screen through and belongs to whatever lies below.
    notifier.Show(std::string(), 100, kNotifierStayUntilClicked, 100);
    ASSERT_TRUE(PumpUntil([&] { return StandsOnTop(notifier.GetHwnd()); }));
    EXPECT_TRUE(PumpUntil([&] { return SkinOnScreen(notifier, 10, 50); }));
    RECT rc{};
    ::GetWindowRect(notifier.GetHwnd(), &rc);
    EXPECT_NE(::WindowFromPoint(POINT{rc.left + 120, rc.top + 50}), notifier.GetHwnd());
    EXPECT_EQ(::WindowFromPoint(POINT{rc.left + 10, rc.top + 50}), notifier.GetHwnd());
    EXPECT_NE(ScreenPixel(rc.left + 120, rc.top + 50), key);
    EXPECT_EQ(ScreenPixel(rc.left + 10, rc.top + 50), stripe);
    EXPECT_TRUE(SaveScreenPng(L"notifier_region.png"));

    ::DeleteObject(kept);
    ::DeleteObject(region);
}

TEST_F(TaskbarNotifierTest, FailedSkinLoads) {
    CTaskbarNotifier notifier;
    Prepare(notifier, 0);
    // A missing file keeps the skin there is.
    EXPECT_FALSE(notifier.LoadSkin(std::wstring(L"Z:\\no\\such\\skin.bmp"), 255, 255, 255));
    EXPECT_EQ(notifier.GetLogicalSkinWidth(), 200);
    // A missing resource has dropped it already.
    EXPECT_FALSE(notifier.LoadSkin(9999, 255, 255, 255));
    EXPECT_EQ(notifier.GetLogicalSkinWidth(), 0);
    // Without a skin it still shows and ends its slide without dividing by zero.
    notifier.Show(std::string("x"), 10, 10, 10);
    EXPECT_TRUE(PumpUntil([&] { return ::IsWindowVisible(notifier.GetHwnd()) != FALSE; }));
    EXPECT_TRUE(PumpUntil([&] { return !::IsWindowVisible(notifier.GetHwnd()); }));
}

// The bounding box of the pixels where two renderings differ.
RECT Difference(const std::vector<COLORREF>& a, const std::vector<COLORREF>& b, int width) {
    RECT box{width, 1 << 20, -1, -1};
    for (size_t i = 0; i < a.size(); ++i) {
        if (a[i] == b[i])
            continue;
        const int x = static_cast<int>(i % static_cast<size_t>(width));
        const int y = static_cast<int>(i / static_cast<size_t>(width));
        box.left = std::min<LONG>(box.left, x);
        box.top = std::min<LONG>(box.top, y);
        box.right = std::max<LONG>(box.right, x + 1);
        box.bottom = std::max<LONG>(box.bottom, y + 1);
    }
    return box;
}

TEST_F(TaskbarNotifierTest, TextIsCentredDrawnAsTypedAndStaysInsideItsRectangle) {
    CTaskbarNotifier notifier;
    Prepare(notifier, 0);
    const RECT area = notifier.GetTextArea();
    const std::vector<COLORREF> skin = Render(notifier);

    notifier.Show(std::wstring(L"가"), 100, kNotifierStayUntilClicked, 100);
    const RECT word = Difference(skin, Render(notifier), 200);
    ASSERT_GT(word.right, word.left) << "no text drawn";
    // Centred horizontally, and from the top of the rectangle (wrapped text is not centred vertically).
    EXPECT_NEAR((word.left + word.right) / 2.0, (area.left + area.right) / 2.0, 2.0);
    EXPECT_LT(word.top, area.top + 6);
    // An "&" is drawn as typed, not taken for the mark of an underlined letter (alone it would vanish).
    notifier.Show(std::wstring(L"&"), 100, kNotifierStayUntilClicked, 100);
    const RECT amp = Difference(skin, Render(notifier), 200);
    EXPECT_GT(amp.right, amp.left) << "the ampersand was not drawn";

    // A text far too long for the rectangle is cut there, whatever it holds.
    std::wstring longText;
    for (int i = 0; i < 40; ++i)
        longText += L"새로운 쪽지가 도착했습니다 ";
    notifier.Show(longText, 100, kNotifierStayUntilClicked, 100);
    const RECT text = Difference(skin, Render(notifier), 200);
    EXPECT_GE(text.left, area.left);
    EXPECT_GE(text.top, area.top);
    EXPECT_LE(text.right, area.right);
    EXPECT_LE(text.bottom, area.bottom);
    EXPECT_GT(text.bottom - text.top, 30) << "several lines expected";
    // Cut after the last whole line that fits, with an ellipsis; a text that fits is drawn as it is.
    HDC dc = ::CreateCompatibleDC(nullptr);
    HGDIOBJ old = ::SelectObject(dc, notifier.GetTextFont());
    const std::wstring shown = notifier.FitTextToArea(dc);
    ASSERT_GT(shown.size(), 10u);
    EXPECT_LT(shown.size(), longText.size());
    EXPECT_EQ(shown.back(), L'\u2026');
    EXPECT_EQ(longText.compare(0, shown.size() - 1, shown, 0, shown.size() - 1), 0);
    RECT need{0, 0, area.right - area.left, 0};
    ::DrawTextW(dc, shown.c_str(), static_cast<int>(shown.size()), &need, kNotifierTextFormat | DT_CALCRECT);
    EXPECT_LE(need.bottom, area.bottom - area.top);
    notifier.Show(std::wstring(L"짧은 쪽지"), 100, kNotifierStayUntilClicked, 100);
    EXPECT_EQ(notifier.FitTextToArea(dc), L"짧은 쪽지");
    ::SelectObject(dc, old);
    ::DeleteDC(dc);
    notifier.Show(longText, 100, kNotifierStayUntilClicked, 100);
    ASSERT_TRUE(PumpUntil([&] { return StandsOnTop(notifier.GetHwnd()); }));
    EXPECT_TRUE(PumpUntil([&] { return SkinOnScreen(notifier, 10, 60); }));
    EXPECT_TRUE(SaveScreenPng(L"notifier_long_text.png"));
}

TEST_F(TaskbarNotifierTest, PointerOverTheWindowHoversWithoutSlowingTheSlide) {
    CRecordingNotifier notifier;
    Prepare(notifier, 0);
    const NotifierScreen screen = ReadScreen();
    const NotifierPoint start = NotifierStartPosition(TaskbarEdge::Bottom, screen.work, 200, 97, 0);
    const std::vector<COLORREF> bareSkin = Render(notifier);
    notifier.Show(std::string("hover"), 400, kNotifierStayUntilClicked, 500);
    ASSERT_TRUE(PumpUntil([&] { return notifier.positions.size() >= 30; }));
    // The pointer on the rising window: the move asks for a hover report, which comes at once.
    ::SetCursorPos(start.x + 100, start.y - 40);
    ::SendMessageW(notifier.GetHwnd(), WM_MOUSEMOVE, 0, MAKELPARAM(100, 20));
    EXPECT_TRUE(PumpUntil([&] { return TextDrawnIn(notifier, bareSkin, RGB(0, 0, 200)); }, 2000));
    const DWORD hovered = ::GetTickCount();
    ASSERT_TRUE(PumpUntil([&] { return StandsOnTop(notifier.GetHwnd()); }));
    // 19 more steps of about 8 ms: far less than a second.
    EXPECT_LT(::GetTickCount() - hovered, 1000u);
    EXPECT_EQ(notifier.positions.size(), 49u);
    EXPECT_EQ(::SendMessageW(notifier.GetHwnd(), WM_GETDLGCODE, 0, 0), static_cast<LRESULT>(DLGC_WANTALLKEYS));

    // Away from it, the leave report ends the hover.
    ::SetCursorPos(5, 5);
    ::SendMessageW(notifier.GetHwnd(), WM_MOUSEMOVE, 0, MAKELPARAM(100, 20));
    EXPECT_TRUE(PumpUntil([&] { return TextDrawnIn(notifier, bareSkin, RGB(0, 0, 0)); }, 2000));
}

} // namespace

// A new dpi: everything the pop-up draws is rebuilt at that size, from the artwork drawn for it, and going
// back to 96 dpi gives the very pixels of before.
TEST_F(TaskbarNotifierTest, ADpiChangeRebuildsTheSkinTextAndFontsAtTheNewSize) {
    CTaskbarNotifier notifier;
    Prepare(notifier, 0);
    ASSERT_EQ(WindowDpi(notifier.GetHwnd()), 96) << "the test display is not at 100 %";
    notifier.Show(WideToCp949(L"홍길동 로 부터 새로운 쪽지가 도착했습니다."), 10, kNotifierStayUntilClicked, 10);
    ASSERT_TRUE(PumpUntil([&] { return StandsOnTop(notifier.GetHwnd()); }));
    const std::vector<COLORREF> before = Render(notifier);
    LOGFONTW font96{};
    ::GetObjectW(notifier.GetTextFont(), sizeof(font96), &font96);

    auto changeDpi = [&](int dpi) {
        RECT suggested{0, 0, 10, 10};
        ::SendMessageW(notifier.GetHwnd(), WM_DPICHANGED, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(&suggested));
    };
    changeDpi(192);
    const RECT resized = notifier.GetWindowRect();
    EXPECT_EQ(resized.right - resized.left, 400) << "the pop-up did not take the new dpi";
    EXPECT_EQ(WindowSize(notifier).cx, 400);
    EXPECT_EQ(WindowSize(notifier).cy, 194);
    EXPECT_EQ(notifier.GetLogicalSkinWidth(), 200);
    const RECT area = notifier.GetTextArea();
    EXPECT_EQ(area.left, 80);
    EXPECT_EQ(area.top, 20);
    EXPECT_EQ(area.right, 380);
    EXPECT_EQ(area.bottom, 144);
    LOGFONTW font192{};
    ::GetObjectW(notifier.GetTextFont(), sizeof(font192), &font192);
    EXPECT_EQ(font192.lfHeight, 2 * font96.lfHeight);
    // The waiting pop-up stands fully shown above the taskbar at its new size, not where the system suggested.
    RECT rc{};
    ::GetWindowRect(notifier.GetHwnd(), &rc);
    const NotifierScreen screen = ReadScreen();
    EXPECT_EQ(rc.right - rc.left, 400);
    EXPECT_EQ(rc.bottom - rc.top, 194);
    EXPECT_EQ(rc.right, screen.work.right);
    EXPECT_EQ(rc.bottom, screen.work.bottom);
    // The skin is the one drawn at 200 %, not the small one blown up: its corner pixels are the resource's.
    const std::vector<COLORREF> large = Render(notifier, SIZE{400, 194});
    for (const POINT p : {POINT{1, 1}, POINT{60, 90}, POINT{398, 192}})
        EXPECT_EQ(large[static_cast<size_t>(p.y) * 400 + static_cast<size_t>(p.x)],
                  SkinPixel(IDB_POPUP_MESSAGE_200, p.x, p.y))
            << p.x << "," << p.y;
    // A 150 % display (a second monitor) takes the art drawn for it.
    changeDpi(144);
    EXPECT_EQ(WindowSize(notifier).cx, 300);
    EXPECT_EQ(WindowSize(notifier).cy, 146);

    changeDpi(96);
    EXPECT_EQ(WindowSize(notifier).cx, 200);
    EXPECT_EQ(WindowSize(notifier).cy, 97);
    EXPECT_TRUE(Render(notifier) == before);
    // A broken report is 96 dpi: nothing changes.
    changeDpi(0);
    EXPECT_EQ(WindowSize(notifier).cx, 200);
}
