// The resizable dialog under the window system: anchored controls after real size changes, the
// minimum tracking size, the size grip's hit test and drawing.

#include "win/ui/AnchorLayoutDlg.h"

#include "support/DialogTemplate.h"
#include "support/Pixels.h"
#include "support/Rects.h"
#include "support/Wait.h"

#include <gtest/gtest.h>

#include <functional>

using namespace dravel;
using namespace dravel::win;
using namespace dravel::win::test;

namespace {

// Counts the moves a control is asked to make.
class CMoveCounter : public CWindow {
public:
    int m_nMoves = 0;

protected:
    LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) override {
        if (msg == WM_WINDOWPOSCHANGING) {
            const auto& pos = *reinterpret_cast<const WINDOWPOS*>(lParam);
            if ((pos.flags & (SWP_NOMOVE | SWP_NOSIZE)) != (SWP_NOMOVE | SWP_NOSIZE))
                ++m_nMoves;
        }
        return CWindow::HandleMessage(msg, wParam, lParam);
    }
};

// Counts paints of a control that happen at once (inside the call that caused them).
class CPaintCounter : public CWindow {
public:
    int m_nPaints = 0;

protected:
    LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) override {
        if (msg == WM_PAINT)
            ++m_nPaints;
        return CWindow::HandleMessage(msg, wParam, lParam);
    }
};

class CLayoutDlg : public CAnchorLayoutDlg {
public:
    using CAnchorLayoutDlg::CAnchorLayoutDlg;
    using CAnchorLayoutDlg::PaintGrip;

    HWND m_hButton = nullptr;
    HWND m_hList = nullptr;
    HWND m_hLabel = nullptr;
    HWND m_hCentre = nullptr;
    HWND m_hGroup = nullptr;
    CMoveCounter m_labelMoves;
    CPaintCounter m_listPaints;

protected:
    BOOL OnInitDialog() override {
        // Opened with a client of 300 x 200.
        RECT rc{0, 0, 300, 200};
        ::AdjustWindowRectEx(&rc, static_cast<DWORD>(::GetWindowLongPtrW(m_hWnd, GWL_STYLE)), FALSE,
                             static_cast<DWORD>(::GetWindowLongPtrW(m_hWnd, GWL_EXSTYLE)));
        ::SetWindowPos(m_hWnd, nullptr, 50, 50, rc.right - rc.left, rc.bottom - rc.top, SWP_NOZORDER);
        const BOOL result = CAnchorLayoutDlg::OnInitDialog();
        m_hButton = Child(L"BUTTON", BS_PUSHBUTTON, 200, 150, 80, 30);
        m_hList = Child(L"LISTBOX", WS_BORDER | WS_HSCROLL | LBS_NOINTEGRALHEIGHT, 10, 10, 280, 130);
        m_hLabel = Child(L"STATIC", SS_LEFT, 10, 150, 60, 20);
        m_hCentre = Child(L"STATIC", SS_CENTER, 140, 90, 20, 20);
        m_hGroup = Child(L"BUTTON", BS_GROUPBOX, 5, 5, 290, 140);
        AnchorControl(m_hButton, kAnchorBottomRight);
        AnchorControl(m_hList, kAnchorTopLeft, kAnchorBottomRight);
        AnchorControl(m_hLabel, kAnchorTopLeft);
        AnchorControl(m_hCentre, kAnchorCentre);
        AnchorControl(m_hGroup, kAnchorTopLeft, kAnchorBottomRight);
        m_labelMoves.Subclass(m_hLabel);
        m_listPaints.Subclass(m_hList);
        for (int i = 0; i < 20; ++i)
            ::SendMessageW(m_hList, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(L"a rather long line of the list"));
        ::SendMessageW(m_hList, LB_SETHORIZONTALEXTENT, 1000, 0);
        return result;
    }

private:
    HWND Child(const wchar_t* cls, DWORD style, int x, int y, int cx, int cy) {
        return ::CreateWindowExW(0, cls, L"x", WS_CHILD | WS_VISIBLE | style, x, y, cx, cy, m_hWnd, nullptr, nullptr,
                                 nullptr);
    }
};

struct LayoutFixture : ::testing::Test {
    CTemplate tmpl{WS_POPUP | WS_CAPTION | WS_THICKFRAME | WS_SYSMENU | WS_MAXIMIZEBOX, L"Layout", 100, 60};
    CLayoutDlg dlg{tmpl.Get()};
    SIZE opened{};

    void SetUp() override {
        ASSERT_TRUE(dlg.Create());
        dlg.ShowWindow(SW_SHOWNA);
        ASSERT_TRUE(PumpUntil([&] { return NothingToPaint(dlg.GetHwnd()); })) << "the dialog was not painted";
        const RECT rc = dlg.GetWindowRect();
        opened = SIZE{rc.right - rc.left, rc.bottom - rc.top};
        ASSERT_EQ(dlg.GetClientRect().right, 300);
    }
    // Grows the window so that its client is cx x cy.
    void ResizeClient(int cx, int cy) {
        const RECT client = dlg.GetClientRect();
        ::SetWindowPos(dlg.GetHwnd(), nullptr, 0, 0, opened.cx + cx - client.right + (client.right - 300),
                       opened.cy + cy - client.bottom + (client.bottom - 200),
                       SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
        ASSERT_EQ(dlg.GetClientRect().right, cx);
        ASSERT_EQ(dlg.GetClientRect().bottom, cy);
    }
};

TEST_F(LayoutFixture, ControlsKeepTheirDistanceToTheirAnchors) {
    ResizeClient(400, 260);
    const RECT button = ChildRect(dlg.m_hButton);
    EXPECT_EQ(button.left, 300);
    EXPECT_EQ(button.right, 380);
    EXPECT_EQ(button.top, 210);
    EXPECT_EQ(button.bottom, 240);
    const RECT list = ChildRect(dlg.m_hList);
    EXPECT_EQ(list.left, 10);
    EXPECT_EQ(list.right - list.left, 280 + 100);
    EXPECT_EQ(list.bottom - list.top, 130 + 60);
    const RECT centre = ChildRect(dlg.m_hCentre);
    EXPECT_EQ(centre.left, 190);
    EXPECT_EQ(centre.top, 120);
    // The top-left label's rectangle never changes: it is never asked to move.
    EXPECT_EQ(dlg.m_labelMoves.m_nMoves, 0);
    EXPECT_EQ(ChildRect(dlg.m_hLabel).left, 10);

    ResizeClient(300, 200); // back: everything where it started
    EXPECT_EQ(ChildRect(dlg.m_hButton).left, 200);
    EXPECT_EQ(ChildRect(dlg.m_hList).right, 290);
}

TEST_F(LayoutFixture, ScrolledListIsRepaintedAtOnceWhenWideningPassesItsScrollPosition) {
    const auto painted = [&] { return NothingToPaint(dlg.GetHwnd()); };
    // Not scrolled: widening leaves the list to the ordinary paint.
    dlg.m_listPaints.m_nPaints = 0;
    ResizeClient(340, 200);
    EXPECT_EQ(dlg.m_listPaints.m_nPaints, 0);
    ResizeClient(300, 200);
    ASSERT_TRUE(PumpUntil(painted));
    // Scrolled to the far right: the wider list can no longer scroll that far, so it is redrawn at once.
    ::SendMessageW(dlg.m_hList, WM_HSCROLL, SB_RIGHT, 0);
    ASSERT_TRUE(PumpUntil(painted));
    ASSERT_GT(::GetScrollPos(dlg.m_hList, SB_HORZ), 600);
    dlg.m_listPaints.m_nPaints = 0;
    ResizeClient(400, 200);
    EXPECT_GT(dlg.m_listPaints.m_nPaints, 0);
}

TEST_F(LayoutFixture, RegistrationRules) {
    EXPECT_NE(::GetWindowLongPtrW(dlg.m_hGroup, GWL_STYLE) & WS_CLIPSIBLINGS, 0);
    EXPECT_EQ(::GetWindowLongPtrW(dlg.m_hButton, GWL_STYLE) & WS_CLIPSIBLINGS, 0);
    EXPECT_EQ(dlg.GetAnchoredCount(), 5u);
    // Again for the same control: replaced, not added (two entries would fight over it).
    EXPECT_TRUE(dlg.AnchorControl(dlg.m_hButton, kAnchorTopLeft));
    EXPECT_EQ(dlg.GetAnchoredCount(), 5u);
    ResizeClient(400, 260);
    EXPECT_EQ(ChildRect(dlg.m_hButton).left, 200);
    // Not a child of the dialog: refused.
    EXPECT_FALSE(dlg.AnchorControl(::GetDesktopWindow(), kAnchorTopLeft));
    EXPECT_FALSE(dlg.AnchorControl(12345, kAnchorTopLeft));
    dlg.DestroyWindow();
    EXPECT_EQ(dlg.GetAnchoredCount(), 0u);
}

// A move to a display of twice the dpi: the window takes the rectangle the system suggests (twice its size),
// the controls keep twice their distances to their anchors, the smallest size doubles; back at 96 dpi every
// control is where it was.
TEST_F(LayoutFixture, ADpiChangeScalesTheLayoutAndTheSmallestSize) {
    ASSERT_EQ(dlg.GetDpi(), 96) << "the test display is not at 100 %";
    const RECT before = dlg.GetWindowRect();
    auto changeDpi = [&](int dpi, int cx, int cy) {
        RECT suggested{before.left, before.top, before.left + cx, before.top + cy};
        dlg.SendMessage(WM_DPICHANGED, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(&suggested));
    };
    changeDpi(192, 2 * opened.cx, 2 * opened.cy);
    EXPECT_EQ(dlg.GetDpi(), 192);
    RECT rc = dlg.GetWindowRect();
    EXPECT_EQ(rc.right - rc.left, 2 * opened.cx);
    EXPECT_EQ(rc.bottom - rc.top, 2 * opened.cy);
    const RECT client = dlg.GetClientRect();
    const RECT button = ChildRect(dlg.m_hButton);
    EXPECT_EQ(button.right, client.right - 40);
    EXPECT_EQ(button.bottom, client.bottom - 40);
    EXPECT_EQ(button.right - button.left, 160);
    EXPECT_EQ(button.bottom - button.top, 60);
    const RECT list = ChildRect(dlg.m_hList);
    EXPECT_EQ(list.left, 20);
    EXPECT_EQ(list.top, 20);
    EXPECT_EQ(list.right, client.right - 20);
    EXPECT_EQ(ChildRect(dlg.m_hLabel).left, 20);
    MINMAXINFO info{};
    dlg.SendMessage(WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&info));
    EXPECT_EQ(info.ptMinTrackSize.x, 2 * opened.cx);
    EXPECT_EQ(info.ptMinTrackSize.y, 2 * opened.cy);

    changeDpi(96, opened.cx, opened.cy);
    EXPECT_EQ(ChildRect(dlg.m_hButton).left, 200);
    EXPECT_EQ(ChildRect(dlg.m_hButton).top, 150);
    EXPECT_EQ(ChildRect(dlg.m_hList).right, 290);
    EXPECT_EQ(ChildRect(dlg.m_hCentre).left, 140);
    dlg.SendMessage(WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&info));
    EXPECT_EQ(info.ptMinTrackSize.x, opened.cx);
}

TEST_F(LayoutFixture, CannotBeMadeSmallerThanAtOpening) {
    MINMAXINFO info{};
    dlg.SendMessage(WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&info));
    EXPECT_EQ(info.ptMinTrackSize.x, opened.cx);
    EXPECT_EQ(info.ptMinTrackSize.y, opened.cy);
    ::SetWindowPos(dlg.GetHwnd(), nullptr, 0, 0, opened.cx - 100, opened.cy - 50, SWP_NOMOVE | SWP_NOZORDER);
    RECT rc = dlg.GetWindowRect();
    EXPECT_EQ(rc.right - rc.left, opened.cx);
    EXPECT_EQ(rc.bottom - rc.top, opened.cy);
    // Larger is fine, and without the minimum smaller is too.
    ::SetWindowPos(dlg.GetHwnd(), nullptr, 0, 0, opened.cx + 40, opened.cy, SWP_NOMOVE | SWP_NOZORDER);
    rc = dlg.GetWindowRect();
    EXPECT_EQ(rc.right - rc.left, opened.cx + 40);
    dlg.UseMinTrackSize(false);
    ::SetWindowPos(dlg.GetHwnd(), nullptr, 0, 0, opened.cx - 100, opened.cy - 50, SWP_NOMOVE | SWP_NOZORDER);
    rc = dlg.GetWindowRect();
    EXPECT_LT(rc.right - rc.left, opened.cx);
}

TEST_F(LayoutFixture, GripCornerHitTestsAsTheSizingCornerAndIsDrawnUnlessMaximised) {
    auto hitAt = [&](int x, int y) {
        POINT pt{x, y};
        ::ClientToScreen(dlg.GetHwnd(), &pt);
        return dlg.SendMessage(WM_NCHITTEST, 0, MAKELPARAM(pt.x, pt.y));
    };
    EXPECT_EQ(hitAt(298, 198), HTBOTTOMRIGHT);
    EXPECT_EQ(hitAt(150, 198), HTCLIENT);

    const int gx = ::GetSystemMetrics(SM_CXVSCROLL);
    const int gy = ::GetSystemMetrics(SM_CYHSCROLL);
    const RECT grip{300 - gx, 200 - gy, 300, 200};
    const COLORREF face = ::GetSysColor(COLOR_BTNFACE);
    {
        CPixels px(300, 200, face);
        dlg.PaintGrip(px.Dc());
        EXPECT_GT(px.Count(grip, ::GetSysColor(COLOR_BTNSHADOW)) + px.Count(grip, ::GetSysColor(COLOR_BTNHIGHLIGHT)),
                  5);
    }
    dlg.ShowSizeGrip(false);
    EXPECT_EQ(hitAt(298, 198), HTCLIENT);
    dlg.ShowSizeGrip(true);

    dlg.ShowWindow(SW_MAXIMIZE);
    ASSERT_TRUE(PumpUntil([&] { return NothingToPaint(dlg.GetHwnd()); }));
    ASSERT_TRUE(::IsZoomed(dlg.GetHwnd()));
    const RECT client = dlg.GetClientRect();
    CPixels px(client.right, client.bottom, face);
    dlg.PaintGrip(px.Dc());
    EXPECT_EQ(px.Count({0, 0, client.right, client.bottom}, face), client.right * client.bottom);
    // Maximised, the controls still follow the client.
    EXPECT_EQ(ChildRect(dlg.m_hButton).right, client.right - 20);
}

} // namespace
