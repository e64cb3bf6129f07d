// The skinned dialog under the window system: background placement in pixels, the fit mode's resize,
// layered transparency and dragging by the client area.

#include "win/ui/SkinDialog.h"
#include "win/ui/Dpi.h"

#include "win/res/resource.h"

#include "support/DialogTemplate.h"
#include "support/Pixels.h"
#include "support/Wait.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace dravel;
using namespace dravel::win;
using namespace dravel::win::test;

namespace {

constexpr COLORREF kFill = RGB(0, 0, 200);
constexpr COLORREF kMark = RGB(255, 0, 0);

class CTestSkinDialog : public CSkinDialog {
public:
    explicit CTestSkinDialog(const DLGTEMPLATE* t) : CSkinDialog(t) {}
    using CSkinDialog::ForgetLayeredCall;
};

struct SkinFixture : ::testing::Test {
    CTemplate tmpl{WS_POPUP, L"Skin", 100, 100};
    CTestSkinDialog dlg{tmpl.Get()};

    void SetUp() override {
        ASSERT_TRUE(dlg.Create());
        ::SetWindowPos(dlg.GetHwnd(), nullptr, 10, 10, 243, 270, SWP_NOZORDER | SWP_NOACTIVATE);
        dlg.ShowWindow(SW_SHOWNA);
        ASSERT_TRUE(PumpUntil([&] { return NothingToPaint(dlg.GetHwnd()); })) << "the dialog was not painted";
    }
    SIZE WindowSize() const {
        const RECT rc = dlg.GetWindowRect();
        return SIZE{rc.right - rc.left, rc.bottom - rc.top};
    }
    LONG_PTR ExStyle() const { return ::GetWindowLongPtrW(dlg.GetHwnd(), GWL_EXSTYLE); }
    // The part of a surface larger than any skin here that the background covers when drawn at its own
    // size (the normal and fit modes); 0 x 0 without a background.
    SIZE DrawnSize() const {
        constexpr int kSide = 600;
        CPixels px(kSide, kSide);
        dlg.PaintBackground(px.Dc(), kSide, kSide);
        const COLORREF untouched = px.At(kSide - 1, kSide - 1);
        SIZE size{0, 0};
        for (int y = 0; y < kSide; ++y)
            for (int x = 0; x < kSide; ++x)
                if (px.At(x, y) != untouched) {
                    size.cx = std::max<LONG>(size.cx, x + 1);
                    size.cy = std::max<LONG>(size.cy, y + 1);
                }
        return size;
    }
};

TEST_F(SkinFixture, TiledBackgroundDrawsThreeByThreeCopies) {
    ASSERT_TRUE(dlg.SetBitmap(MakeMarkedBitmap(100, 100, kFill, kMark)));
    dlg.SetBackgroundMode(kSkinTile);
    CPixels px(243, 270);
    PrintClient(dlg.GetHwnd(), px);
    int marks = 0;
    for (int y = 0; y < 270; y += 1)
        for (int x = 0; x < 243; x += 1)
            if (px.At(x, y) == kMark && (x % 100) == 0 && (y % 100) == 0)
                ++marks;
    EXPECT_EQ(marks, 9);
    EXPECT_EQ(px.Count({0, 0, 243, 270}, kMark), 9 * 16);
    // The partial copies at the right and bottom edges are drawn too.
    EXPECT_EQ(px.At(242, 269), kFill);
    EXPECT_EQ(px.At(150, 150), kFill);
}

TEST_F(SkinFixture, CentredStretchedAndNormalBackgrounds) {
    ASSERT_TRUE(dlg.SetBitmap(MakeMarkedBitmap(100, 100, kFill, kMark)));
    {
        dlg.SetBackgroundMode(kSkinCentre);
        CPixels px(243, 270, RGB(9, 9, 9));
        PrintClient(dlg.GetHwnd(), px);
        EXPECT_EQ(px.At(71, 85), kMark);                        // (243 - 100) / 2, (270 - 100) / 2
        EXPECT_EQ(px.At(70, 85), ::GetSysColor(COLOR_BTNFACE)); // the dialog's own erase around it
        EXPECT_EQ(px.Count({0, 0, 243, 270}, kMark), 16);
    }
    {
        dlg.SetBackgroundMode(kSkinStretch);
        CPixels px(243, 270);
        PrintClient(dlg.GetHwnd(), px);
        EXPECT_EQ(px.At(242, 269), kFill);
        EXPECT_EQ(px.At(0, 0), kMark);
        EXPECT_EQ(px.At(9, 10), kMark); // the 4-pixel mark is about 10 pixels now
        EXPECT_EQ(px.At(14, 14), kFill);
    }
    {
        dlg.SetBackgroundMode(kSkinNormal);
        CPixels px(243, 270);
        PrintClient(dlg.GetHwnd(), px);
        EXPECT_EQ(px.At(0, 0), kMark);
        EXPECT_EQ(px.At(99, 99), kFill);
        EXPECT_EQ(px.At(100, 100), ::GetSysColor(COLOR_BTNFACE));
    }
}

TEST_F(SkinFixture, OnlyTheFitModeCallResizesTheWindow) {
    dlg.SetBackgroundMode(kSkinFitWindow); // no bitmap yet: nothing to fit
    EXPECT_EQ(WindowSize().cx, 243);
    ASSERT_TRUE(dlg.SetBitmap(MakeMarkedBitmap(120, 90, kFill, kMark)));
    EXPECT_EQ(WindowSize().cx, 243); // a later bitmap does not resize either
    const RECT before = dlg.GetWindowRect();
    dlg.SetBackgroundMode(kSkinFitWindow);
    EXPECT_EQ(WindowSize().cx, 120);
    EXPECT_EQ(WindowSize().cy, 90);
    EXPECT_EQ(dlg.GetWindowRect().left, before.left); // not moved
}

TEST_F(SkinFixture, BitmapSourcesAndFailures) {
    EXPECT_TRUE(dlg.SetBitmap(static_cast<UINT>(IDB_LOGIN_SKIN)));
    EXPECT_EQ(DrawnSize().cx, 243);
    EXPECT_EQ(DrawnSize().cy, 270);
    // Not a bitmap: refused, and the old background is gone.
    EXPECT_FALSE(dlg.SetBitmap(reinterpret_cast<HBITMAP>(::CreateSolidBrush(kFill))));
    EXPECT_EQ(DrawnSize().cx, 0);
    // A load that failed (missing file or resource) just clears the background.
    EXPECT_TRUE(dlg.SetBitmap(L"Z:\\no\\such\\skin.bmp"));
    EXPECT_EQ(DrawnSize().cx, 0);
    EXPECT_TRUE(dlg.SetBitmap(static_cast<UINT>(9999)));
    EXPECT_EQ(DrawnSize().cx, 0);
    // The login skin's green corners are the colour key.
    ASSERT_TRUE(dlg.SetBitmap(static_cast<UINT>(IDB_LOGIN_SKIN)));
    CPixels px(243, 270);
    PrintClient(dlg.GetHwnd(), px);
    EXPECT_EQ(px.At(0, 0), RGB(0, 255, 0));
    EXPECT_NE(px.At(121, 200), RGB(0, 255, 0));

    // At 200 % the skin drawn for it, and a fitted window fits it again; back at 96 dpi as before.
    dlg.SetBackgroundMode(kSkinFitWindow);
    auto changeDpi = [&](int dpi) {
        RECT suggested{0, 0, 10, 10};
        dlg.SendMessage(WM_DPICHANGED, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(&suggested));
    };
    changeDpi(192);
    EXPECT_EQ(DrawnSize().cx, 486);
    EXPECT_EQ(DrawnSize().cy, 540);
    EXPECT_EQ(WindowSize().cx, 486);
    changeDpi(96);
    EXPECT_EQ(DrawnSize().cx, 243);
    EXPECT_EQ(WindowSize().cy, 270);
}

TEST_F(SkinFixture, ColourKeyAlphaAndOpaqueAgain) {
    // Never layered: 255 still answers true and leaves the window unlayered.
    EXPECT_TRUE(dlg.SetWindowAlpha(255));
    EXPECT_EQ(ExStyle() & WS_EX_LAYERED, 0);

    ASSERT_TRUE(dlg.SetColourKey(RGB(0, 255, 0)));
    ASSERT_NE(ExStyle() & WS_EX_LAYERED, 0);
    COLORREF key = 0;
    BYTE alpha = 0;
    DWORD flags = 0;
    ASSERT_TRUE(::GetLayeredWindowAttributes(dlg.GetHwnd(), &key, &alpha, &flags));
    EXPECT_EQ(key, RGB(0, 255, 0));
    EXPECT_EQ(flags, static_cast<DWORD>(LWA_COLORKEY));

    ASSERT_TRUE(dlg.SetWindowAlpha(128)); // the last call wins
    ASSERT_TRUE(::GetLayeredWindowAttributes(dlg.GetHwnd(), &key, &alpha, &flags));
    EXPECT_EQ(alpha, 128);
    EXPECT_EQ(flags, static_cast<DWORD>(LWA_ALPHA));

    EXPECT_TRUE(dlg.SetWindowAlpha(255));
    EXPECT_EQ(ExStyle() & WS_EX_LAYERED, 0);
    ASSERT_TRUE(dlg.SetColourKey(RGB(0, 255, 0)));
    EXPECT_TRUE(dlg.SetColourKey(RGB(0, 255, 0), false));
    EXPECT_EQ(ExStyle() & WS_EX_LAYERED, 0);
}

TEST_F(SkinFixture, WithoutLayeredWindowsTransparencyAnswersFalse) {
    CTestSkinDialog::ForgetLayeredCall();
    EXPECT_FALSE(dlg.SetColourKey(RGB(0, 255, 0)));
    EXPECT_FALSE(dlg.SetWindowAlpha(100));
    EXPECT_FALSE(dlg.SetWindowAlpha(255));
    EXPECT_EQ(ExStyle() & WS_EX_LAYERED, 0);
    // The next dialog looks the call up again.
    CTestSkinDialog other(tmpl.Get());
    ASSERT_TRUE(other.Create());
    EXPECT_TRUE(other.SetWindowAlpha(200));
}

TEST_F(SkinFixture, ClientPressStartsAMoveOnlyWhenDragIsOn) {
    MSG msg;
    while (::PeekMessageW(&msg, dlg.GetHwnd(), WM_NCLBUTTONDOWN, WM_NCLBUTTONDOWN, PM_REMOVE)) {
    }
    dlg.SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(30, 40));
    // Taken from the queue, not dispatched: dispatching would start the system's move loop.
    ASSERT_TRUE(::PeekMessageW(&msg, dlg.GetHwnd(), WM_NCLBUTTONDOWN, WM_NCLBUTTONDOWN, PM_REMOVE));
    EXPECT_EQ(msg.wParam, static_cast<WPARAM>(HTCAPTION));
    POINT screen{30, 40};
    ::ClientToScreen(dlg.GetHwnd(), &screen);
    EXPECT_EQ(static_cast<short>(LOWORD(msg.lParam)), screen.x);
    EXPECT_EQ(static_cast<short>(HIWORD(msg.lParam)), screen.y);

    dlg.EnableClientDrag(false);
    dlg.SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(30, 40));
    EXPECT_FALSE(::PeekMessageW(&msg, dlg.GetHwnd(), WM_NCLBUTTONDOWN, WM_NCLBUTTONDOWN, PM_REMOVE));
    dlg.SendMessage(WM_LBUTTONUP, 0, MAKELPARAM(30, 40));
}

TEST_F(SkinFixture, ResizeInvalidatesTheWholeClientAndTilesTheNewSize) {
    ASSERT_TRUE(dlg.SetBitmap(MakeMarkedBitmap(100, 100, kFill, kMark)));
    dlg.SetBackgroundMode(kSkinTile);
    ASSERT_TRUE(PumpUntil([&] { return NothingToPaint(dlg.GetHwnd()); }));
    ::ValidateRect(dlg.GetHwnd(), nullptr);
    // Shrinking alone invalidates nothing in a dialog; the skin asks for the whole client again.
    ::SetWindowPos(dlg.GetHwnd(), nullptr, 0, 0, 320, 120, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    RECT update{};
    ASSERT_TRUE(::GetUpdateRect(dlg.GetHwnd(), &update, FALSE));
    EXPECT_EQ(update.left, 0);
    EXPECT_EQ(update.top, 0);
    EXPECT_EQ(update.right, 320);
    EXPECT_EQ(update.bottom, 120);
    CPixels px(320, 120);
    PrintClient(dlg.GetHwnd(), px);
    EXPECT_EQ(px.At(300, 100), kMark);
    EXPECT_EQ(px.Count({0, 0, 320, 120}, kMark), 8 * 16);
}

} // namespace
