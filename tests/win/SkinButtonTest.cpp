// Skinned and themed buttons under the window system: state colours, hover, pressed, focused and
// disabled looks, clicks, attaching to template buttons, icons at every dpi, tooltips, screen readers
// and the themed fallback. Every button is attached to a template-like button, as the program does.

#include "win/ui/SkinButton.h"
#include "win/base/Dialog.h"
#include "win/base/Text.h"
#include "win/ui/Dpi.h"
#include "win/ui/GdiHelpers.h"
#include "win/ui/ThemedSkinButton.h"

#include "win/res/resource.h"

#include "support/Accessible.h"
#include "support/DialogTemplate.h"
#include "support/Pixels.h"
#include "support/Wait.h"

#include <commctrl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

using namespace dravel;
using namespace dravel::win;
using namespace dravel::win::test;

namespace {

constexpr COLORREF kActive = RGB(220, 30, 30);
constexpr COLORREF kIdle = RGB(30, 30, 160);
constexpr COLORREF kFocused = RGB(30, 160, 30);

class CParentDlg : public CDialog {
public:
    using CDialog::CDialog;
    std::vector<int> m_clicks;

protected:
    bool OnCommand(int id, int code, HWND hwndCtl) override {
        if (code == BN_CLICKED && hwndCtl != nullptr)
            m_clicks.push_back(id);
        return CDialog::OnCommand(id, code, hwndCtl);
    }
};

// Counts the drawing passes that reach the background.
class CProbeButton : public CSkinButton {
public:
    int m_nBackgrounds = 0;

protected:
    void PaintBackground(HDC hdc, const RECT& rc) override {
        ++m_nBackgrounds;
        CSkinButton::PaintBackground(hdc, rc);
    }
};

// A visual-style library that says what it is told and records the drawing it is asked for.
class CFakeStyle : public CVisualStyle {
public:
    bool m_bThemed = false;
    std::vector<int> m_states;

    ThemeHandle OpenThemeData(HWND, const wchar_t* cls) override {
        return std::wstring(cls) == L"BUTTON" ? reinterpret_cast<ThemeHandle>(this) : nullptr;
    }
    HRESULT CloseThemeData(ThemeHandle) override { return S_OK; }
    HRESULT DrawThemeBackground(ThemeHandle, HDC hdc, int part, int state, const RECT* rc, const RECT*) override {
        m_states.push_back(part * 10 + state);
        FillSolid(hdc, *rc, RGB(1, 200, 200));
        return S_OK;
    }
    bool IsAppThemed() override { return m_bThemed; }
    bool IsThemeActive() override { return m_bThemed; }
};

struct ButtonFixture : ::testing::Test {
    CTemplate tmpl{WS_POPUP | WS_BORDER, L"Buttons", 200, 100};
    CParentDlg dlg{tmpl.Get()};

    void SetUp() override {
        ASSERT_TRUE(dlg.Create());
        ::SetWindowPos(dlg.GetHwnd(), HWND_TOP, 100, 100, 400, 200, SWP_SHOWWINDOW);
        ::SetForegroundWindow(dlg.GetHwnd());
        ::SetActiveWindow(dlg.GetHwnd());
        ASSERT_TRUE(PumpUntil([&] { return NothingToPaint(dlg.GetHwnd()); })) << "the dialog was not painted";
    }

    // A child button as a dialog template makes it, with the dialog's font, then attached.
    void Make(CSkinButton& b, int id, const wchar_t* caption, DWORD style = BS_PUSHBUTTON, int cx = 80, int cy = 40,
              int x = 10) {
        const HWND button =
            ::CreateWindowExW(0, L"BUTTON", caption, WS_CHILD | WS_VISIBLE | WS_TABSTOP | style, x, 10, cx, cy,
                              dlg.GetHwnd(), reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), nullptr, nullptr);
        ASSERT_NE(button, nullptr);
        ::SendMessageW(button, WM_SETFONT, ::SendMessageW(dlg.GetHwnd(), WM_GETFONT, 0, 0), FALSE);
        ASSERT_TRUE(b.AttachDlgItem(dlg.GetHwnd(), id));
        b.SetStateColour(BK_ACTIVE, kActive);
        b.SetStateColour(BK_IDLE, kIdle);
        b.SetStateColour(BK_FOCUSED, kFocused);
        ::SetFocus(dlg.GetHwnd()); // no focus rectangle or focus colour unless a test asks
    }

    static std::unique_ptr<CPixels> Render(const CSkinButton& b) {
        const RECT rc = b.GetClientRect();
        auto px = std::make_unique<CPixels>(rc.right, rc.bottom);
        PrintClient(b.GetHwnd(), *px);
        return px;
    }

    // Hovered: the background of the middle is BK_ACTIVE (kActive) while the button is not pressed.
    static bool Lit(const CSkinButton& b) {
        const RECT rc = b.GetClientRect();
        return Render(b)->At(rc.right / 2, rc.bottom / 2) == kActive;
    }

    // The tooltip window the button made for itself, if any.
    static HWND TooltipOf(const CSkinButton& b) {
        HWND tip = nullptr;
        TOOLINFOW ti{};
        ti.cbSize = TTTOOLINFOW_V2_SIZE;
        ti.hwnd = b.GetHwnd();
        ti.uId = 1;
        while ((tip = ::FindWindowExW(nullptr, tip, TOOLTIPS_CLASSW, nullptr)) != nullptr &&
               !::SendMessageW(tip, TTM_GETTOOLINFOW, 0, reinterpret_cast<LPARAM>(&ti))) {
        }
        return tip;
    }

    static void Hover(CSkinButton& b) {
        RECT rc = b.GetWindowRect();
        const POINT centre{(rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2};
        ::SetCursorPos(centre.x, centre.y);
        EXPECT_TRUE(PumpUntil([&] {
            POINT at{};
            return ::GetCursorPos(&at) && at.x == centre.x && at.y == centre.y;
        })) << "the cursor did not reach the button";
        b.SendMessage(WM_MOUSEMOVE, 0, MAKELPARAM(5, 5));
    }
};

TEST_F(ButtonFixture, HoveredFlatButtonIsActiveAndLeavingRestoresIdle) {
    CSkinButton b;
    Make(b, 10, L"");
    EXPECT_EQ(Render(b)->At(40, 20), kIdle);
    Hover(b);
    ASSERT_TRUE(Lit(b));
    auto px = Render(b);
    EXPECT_EQ(px->At(40, 20), kActive);
    EXPECT_EQ(px->At(0, 0), ::GetSysColor(COLOR_BTNHIGHLIGHT)); // the flat look's raised frame
    EXPECT_EQ(px->At(79, 39), ::GetSysColor(COLOR_BTNSHADOW));
    // Further moves over the button keep it lit.
    b.SendMessage(WM_MOUSEMOVE, 0, MAKELPARAM(6, 6));
    EXPECT_TRUE(Lit(b));
    b.SendMessage(WM_MOUSELEAVE);
    EXPECT_FALSE(Lit(b));
    EXPECT_EQ(Render(b)->At(40, 20), kIdle);
    EXPECT_EQ(Render(b)->At(0, 0), kIdle); // no frame at rest

    // Disabling also ends the highlight.
    Hover(b);
    ASSERT_TRUE(Lit(b));
    ::EnableWindow(b.GetHwnd(), FALSE);
    EXPECT_FALSE(Lit(b));
}

// Another thread's window in the foreground stands for another application being active: this
// thread then has no active window.
struct ForeignForeground {
    HANDLE hThread = nullptr;
    HANDLE hReady = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    DWORD nThreadId = 0;

    ForeignForeground() {
        hThread = ::CreateThread(nullptr, 0, &Run, this, 0, &nThreadId);
        ::WaitForSingleObject(hReady, 5000);
    }
    ~ForeignForeground() {
        ::PostThreadMessageW(nThreadId, WM_QUIT, 0, 0);
        ::WaitForSingleObject(hThread, 5000);
        ::CloseHandle(hThread);
        ::CloseHandle(hReady);
    }
    static DWORD WINAPI Run(void* p) {
        auto* self = static_cast<ForeignForeground*>(p);
        const HWND hwnd = ::CreateWindowExW(0, L"STATIC", L"other", WS_POPUP | WS_VISIBLE, 700, 500, 100, 50, nullptr,
                                            nullptr, nullptr, nullptr);
        ::SetForegroundWindow(hwnd);
        ::SetActiveWindow(hwnd);
        MSG msg;
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
            ::DispatchMessageW(&msg);
        ::SetEvent(self->hReady);
        while (::GetMessageW(&msg, nullptr, 0, 0) > 0)
            ::DispatchMessageW(&msg);
        ::DestroyWindow(hwnd);
        return 0;
    }
};

TEST_F(ButtonFixture, NoHighlightWhileAnotherApplicationIsActiveUntilOursIsAgain) {
    CSkinButton b;
    Make(b, 10, L"");
    {
        ForeignForeground other;
        // Some window systems keep the test window active: then the wait times out and the test is skipped.
        PumpUntil([] { return ::GetActiveWindow() == nullptr; }, 1000);
        if (::GetActiveWindow() != nullptr)
            GTEST_SKIP() << "this window system kept the test window active";
        Hover(b);
        EXPECT_FALSE(Lit(b));
        EXPECT_EQ(Render(b)->At(40, 20), kIdle);
    }
    ::SetForegroundWindow(dlg.GetHwnd());
    ::SetActiveWindow(dlg.GetHwnd());
    ASSERT_TRUE(PumpUntil([&] { return ::GetActiveWindow() == dlg.GetHwnd(); }));
    Hover(b);
    EXPECT_TRUE(Lit(b));
    EXPECT_EQ(Render(b)->At(40, 20), kActive);
}

TEST_F(ButtonFixture, FocusedOrDefaultButtonKeepsTheFlatLookWithoutExtraFrames) {
    CSkinButton b;
    Make(b, 10, L"", BS_DEFPUSHBUTTON);
    ::SetFocus(b.GetHwnd());
    auto px = Render(b);
    EXPECT_EQ(px->At(40, 20), kFocused);
    EXPECT_EQ(px->At(0, 0), kFocused); // no black default frame
    EXPECT_EQ(px->At(3, 3), kFocused); // no focus rectangle
    EXPECT_EQ(px->At(78, 38), kFocused);
    // Hovered it is lit with its raised frame like any other.
    Hover(b);
    EXPECT_TRUE(Lit(b));
    px = Render(b);
    EXPECT_EQ(px->At(0, 0), ::GetSysColor(COLOR_BTNHIGHLIGHT));
    EXPECT_EQ(px->At(79, 39), ::GetSysColor(COLOR_BTNSHADOW));
}

TEST_F(ButtonFixture, DisabledButtonGreysItsIconAndEmbossesItsCaption) {
    CSkinButton icon;
    Make(icon, 10, L"", BS_PUSHBUTTON, 60, 40);
    ASSERT_EQ(icon.SetButtonIcons(IDI_CLOSE_ACTIVE), kButtonOk);
    const RECT iconArea{14, 4, 46, 36};
    EXPECT_GT(Render(icon)->CountColoured(iconArea, kIdle), 100);
    ::EnableWindow(icon.GetHwnd(), FALSE);
    auto px = Render(icon);
    EXPECT_EQ(px->CountColoured(iconArea, kIdle), 0);
    EXPECT_GT(px->Count(iconArea, ::GetSysColor(COLOR_BTNSHADOW)), 20);

    CSkinButton text;
    Make(text, 11, L"Send", BS_PUSHBUTTON, 80, 40, 100);
    text.SetStateColour(FG_IDLE, RGB(250, 250, 0));
    const RECT all{0, 0, 80, 40};
    px = Render(text);
    EXPECT_GT(px->Count(all, RGB(250, 250, 0)), 10);
    EXPECT_EQ(px->Count(all, ::GetSysColor(COLOR_BTNSHADOW)), 0);
    ::EnableWindow(text.GetHwnd(), FALSE);
    px = Render(text);
    EXPECT_EQ(px->Count(all, RGB(250, 250, 0)), 0);
    EXPECT_GT(px->Count(all, ::GetSysColor(COLOR_BTNSHADOW)), 10);
    EXPECT_GT(px->Count(all, ::GetSysColor(COLOR_BTNHIGHLIGHT)), 10);
}

TEST_F(ButtonFixture, SettersCheckTheirRanges) {
    CSkinButton b;
    Make(b, 10, L"");
    EXPECT_EQ(b.SetStateColour(6, RGB(1, 1, 1)), kButtonInvalidIndex);
    EXPECT_EQ(b.SetStateColour(-1, RGB(1, 1, 1)), kButtonInvalidIndex);
    // Nothing changed: each state still draws its own colour.
    EXPECT_EQ(Render(b)->At(40, 20), kIdle);
    ::SetFocus(b.GetHwnd());
    EXPECT_EQ(Render(b)->At(40, 20), kFocused);
    ::SetFocus(dlg.GetHwnd());
    Hover(b);
    EXPECT_EQ(Render(b)->At(40, 20), kActive);
    EXPECT_EQ(b.SetButtonIcons(9999), kButtonLoadFailed);
    // A button whose colours were never set draws the button face.
    CSkinButton plain;
    const HWND button = ::CreateWindowExW(0, L"BUTTON", L"", WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON, 100, 10, 80, 40,
                                          dlg.GetHwnd(), reinterpret_cast<HMENU>(11), nullptr, nullptr);
    ASSERT_NE(button, nullptr);
    ASSERT_TRUE(plain.AttachDlgItem(dlg.GetHwnd(), 11));
    EXPECT_EQ(Render(plain)->At(40, 20), ::GetSysColor(COLOR_BTNFACE));
}

TEST_F(ButtonFixture, PushedButtonDrawsPressedAndItsClickReachesTheParent) {
    CProbeButton b;
    Make(b, 12, L"");
    EXPECT_EQ(::GetWindowLongPtrW(b.GetHwnd(), GWL_STYLE) & BS_TYPEMASK, BS_OWNERDRAW);
    b.SendMessage(BM_SETSTATE, TRUE);
    auto px = Render(b);
    EXPECT_EQ(px->At(40, 20), kActive);
    EXPECT_EQ(px->At(0, 0), ::GetSysColor(COLOR_BTNSHADOW)); // sunken
    b.SendMessage(BM_SETSTATE, FALSE);
    EXPECT_EQ(Render(b)->At(40, 20), kIdle);
    b.SendMessage(BM_CLICK);
    EXPECT_EQ(dlg.m_clicks, std::vector<int>{12});
    EXPECT_EQ(Render(b)->At(40, 20), kFocused); // the click gave it the focus, and it is not held pressed
    b.SendMessage(BM_CLICK);
    EXPECT_EQ(dlg.m_clicks, (std::vector<int>{12, 12}));
}

TEST_F(ButtonFixture, EachClickReachesTheParentOnceAndOpensNothing) {
    CProbeButton go;
    CProbeButton stop;
    Make(go, 14, L"Go");
    Make(stop, 24, L"Stop", BS_PUSHBUTTON, 80, 40, 100);
    const auto topLevel = [] {
        int n = 0;
        ::EnumThreadWindows(
            ::GetCurrentThreadId(),
            [](HWND hwnd, LPARAM p) -> BOOL {
                *reinterpret_cast<int*>(p) += ::IsWindowVisible(hwnd) ? 1 : 0;
                return TRUE;
            },
            reinterpret_cast<LPARAM>(&n));
        return n;
    };
    const int before = topLevel();
    go.SendMessage(BM_CLICK);
    stop.SendMessage(BM_CLICK);
    go.SendMessage(BM_CLICK);
    EXPECT_EQ(dlg.m_clicks, (std::vector<int>{14, 24, 14})); // the parent gets each click
    EXPECT_EQ(topLevel(), before);                           // no menu or window of the button's own
}

TEST_F(ButtonFixture, MousePressDrawsPressedWithTheImageShiftedUntilRelease) {
    CProbeButton b;
    Make(b, 15, L"", BS_PUSHBUTTON, 60, 40);
    ASSERT_EQ(b.SetButtonIcons(IDI_CLOSE_ACTIVE, IDI_CLOSE_IDLE), kButtonOk);
    const auto idle = Render(b);
    b.SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    auto pressed = Render(b);
    EXPECT_EQ(pressed->At(2, 2), kActive); // pressed while held
    EXPECT_FALSE(pressed->Same(*idle));
    b.SendMessage(WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
    EXPECT_EQ(dlg.m_clicks, std::vector<int>{15});
    EXPECT_EQ(Render(b)->At(2, 2), kFocused); // released again (and focused by the click)
}

TEST_F(ButtonFixture, AttachedTemplateButtonFollowsTheDefaultStyle) {
    CTemplate t(WS_POPUP, L"Attach", 100, 40);
    t.AddItem(IDOK, 0x0080, L"OK", BS_DEFPUSHBUTTON | WS_TABSTOP, 5, 5, 40, 14);
    t.AddItem(IDCANCEL, 0x0080, L"Cancel", BS_PUSHBUTTON | WS_TABSTOP, 50, 5, 40, 14);
    CDialog d(t.Get());
    ASSERT_TRUE(d.Create(dlg.GetHwnd()));
    CComScope com;
    CSkinButton ok;
    ASSERT_TRUE(ok.AttachDlgItem(d.GetHwnd(), IDOK));
    CComPtr<IAccessible> acc = AccObjectOf(ok.GetHwnd());
    ASSERT_TRUE(acc);
    EXPECT_EQ(AccState(acc.Get(), CHILDID_SELF) & STATE_SYSTEM_DEFAULT, STATE_SYSTEM_DEFAULT);
    EXPECT_EQ(AccRole(acc.Get(), CHILDID_SELF), ROLE_SYSTEM_PUSHBUTTON); // a push button, not a check box
    EXPECT_EQ(::GetWindowLongPtrW(ok.GetHwnd(), GWL_STYLE) & BS_TYPEMASK, BS_OWNERDRAW);
    EXPECT_NE(ok.SendMessage(WM_GETDLGCODE) & DLGC_DEFPUSHBUTTON, 0);
    // The dialog manager moves the default to another button: still owner-drawn.
    ok.SendMessage(BM_SETSTYLE, BS_PUSHBUTTON, TRUE);
    EXPECT_EQ(AccState(acc.Get(), CHILDID_SELF) & STATE_SYSTEM_DEFAULT, 0);
    EXPECT_EQ(::GetWindowLongPtrW(ok.GetHwnd(), GWL_STYLE) & BS_TYPEMASK, BS_OWNERDRAW);
    const LRESULT code = ok.SendMessage(WM_GETDLGCODE);
    EXPECT_NE(code & DLGC_UNDEFPUSHBUTTON, 0);
    EXPECT_EQ(code & DLGC_DEFPUSHBUTTON, 0);
    // A second object cannot take the same window.
    CSkinButton again;
    EXPECT_FALSE(again.AttachDlgItem(d.GetHwnd(), IDOK));
    d.DestroyWindow();
}

TEST_F(ButtonFixture, ParentHandsTheButtonItsDrawingAndStillGetsClicks) {
    CProbeButton b;
    Make(b, 16, L"Draw");
    ASSERT_TRUE(PumpUntil([&] { return NothingToPaint(b.GetHwnd()); }));
    const int before = b.m_nBackgrounds;
    b.Invalidate();
    ::UpdateWindow(b.GetHwnd());
    EXPECT_GT(b.m_nBackgrounds, before);
    dlg.m_clicks.clear();
    b.SendMessage(BM_CLICK);
    EXPECT_EQ(dlg.m_clicks, std::vector<int>{16});
    // Owner drawing is reflected only to bound children: an ordinary button is left to the parent.
    const HWND plain = ::CreateWindowExW(0, L"BUTTON", L"x", WS_CHILD | WS_VISIBLE | BS_OWNERDRAW, 200, 10, 40, 20,
                                         dlg.GetHwnd(), reinterpret_cast<HMENU>(17), nullptr, nullptr);
    ::UpdateWindow(plain);
    ::DestroyWindow(plain);
}

TEST_F(ButtonFixture, IconImagesLeaveTheirTransparentPartsOut) {
    CSkinButton b;
    Make(b, 18, L"", BS_PUSHBUTTON, 160, 40);
    ASSERT_EQ(b.SetButtonIcons(IDI_USER_ONLINE), kButtonOk);
    auto px = Render(b);
    const RECT all{0, 0, 160, 40};
    EXPECT_GT(px->Count(all, kIdle), 160 * 40 - 32 * 32 + 100); // the icon's transparent parts show the background
    EXPECT_LT(px->Count(all, kIdle), 160 * 40 - 300);           // and the icon is drawn
}

// A new dpi loads the icons again at their scaled size: the icon file's 64-pixel image, with its transparent
// parts left out, in both states; back at 96 dpi the pixels are as before.
TEST_F(ButtonFixture, ADpiChangeLoadsTheImagesAtTheirScaledSize) {
    // The extent of what is drawn over the idle background.
    const auto extent = [](const CPixels& px, const RECT& rc) {
        RECT box{rc.right, rc.bottom, rc.left, rc.top};
        for (int y = rc.top; y < rc.bottom; ++y)
            for (int x = rc.left; x < rc.right; ++x)
                if (px.At(x, y) != kIdle && px.At(x, y) != kActive)
                    box = RECT{std::min<LONG>(box.left, x), std::min<LONG>(box.top, y),
                               std::max<LONG>(box.right, x + 1), std::max<LONG>(box.bottom, y + 1)};
        return SIZE{std::max<LONG>(box.right - box.left, 0), std::max<LONG>(box.bottom - box.top, 0)};
    };
    CSkinButton icon;
    Make(icon, 30, L"", BS_PUSHBUTTON, 100, 80);
    ASSERT_EQ(icon.SetButtonIcons(IDI_CLOSE_ACTIVE, IDI_CLOSE_IDLE), kButtonOk);
    ASSERT_EQ(WindowDpi(icon.GetHwnd()), 96) << "the test display is not at 100 %";
    const auto before = Render(icon);
    const RECT all{0, 0, 100, 80};
    const SIZE at96 = extent(*before, all);
    EXPECT_GT(at96.cx, 16); // the 32-pixel image
    EXPECT_LE(at96.cx, 32);
    const int idleBefore = before->CountColoured(all, kIdle);

    auto changeDpi = [](CSkinButton& b, int dpi) {
        RECT suggested{0, 0, 1, 1};
        b.SendMessage(WM_DPICHANGED, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(&suggested));
    };
    changeDpi(icon, 192);
    // A child keeps its place and size: the dialog lays it out.
    EXPECT_EQ(icon.GetClientRect().right, 100);
    // The image covers four times the area, centred: the middle 64 x 64 holds the icon.
    auto px = Render(icon);
    const SIZE at192 = extent(*px, all);
    EXPECT_NEAR(at192.cx, 2 * at96.cx, 2);
    EXPECT_NEAR(at192.cy, 2 * at96.cy, 2);
    EXPECT_GT(px->CountColoured(RECT{18, 8, 82, 72}, kIdle), 3 * idleBefore);
    EXPECT_EQ(px->CountColoured(RECT{0, 0, 100, 6}, kIdle), 0);
    changeDpi(icon, 96);
    px = Render(icon);
    EXPECT_EQ(extent(*px, all).cx, at96.cx);
    EXPECT_EQ(px->CountColoured(all, kIdle), idleBefore);

    // The active image, shown under the mouse, follows as well, its transparent parts still left out.
    CSkinButton single;
    Make(single, 31, L"", BS_PUSHBUTTON, 100, 80, 120);
    ASSERT_EQ(single.SetButtonIcons(IDI_USER_ONLINE), kButtonOk);
    const SIZE single96 = extent(*Render(single), all);
    changeDpi(single, 192);
    Hover(single);
    px = Render(single);
    const RECT inside{1, 1, 99, 79}; // within the hovered button's frame
    EXPECT_NEAR(extent(*px, inside).cx, 2 * single96.cx, 2);
    EXPECT_GT(px->Count(RECT{18, 8, 82, 72}, kActive), 0);
}

TEST_F(ButtonFixture, TooltipHasOneToolWhoseTextFollows) {
    CSkinButton b;
    Make(b, 19, L"");
    EXPECT_EQ(TooltipOf(b), nullptr);
    b.SetTipText(L"\uB2EB\uAE30"); // "닫기"
    const HWND tip = TooltipOf(b);
    ASSERT_NE(tip, nullptr);
    b.SetTipText(L"second");
    EXPECT_EQ(TooltipOf(b), tip);
    EXPECT_EQ(::SendMessageW(tip, TTM_GETTOOLCOUNT, 0, 0), 1);
    wchar_t text[80] = {};
    TOOLINFOW ti{};
    ti.cbSize = TTTOOLINFOW_V2_SIZE;
    ti.hwnd = b.GetHwnd();
    ti.uId = 1;
    ti.lpszText = text;
    ::SendMessageW(tip, TTM_GETTEXTW, 80, reinterpret_cast<LPARAM>(&ti));
    EXPECT_STREQ(text, L"second");
    // As the program sets it: a text of the string table.
    b.SetTipText(LoadResString(IDS_CHATLIST_CLOSE_TIP));
    text[0] = 0;
    ::SendMessageW(tip, TTM_GETTEXTW, 80, reinterpret_cast<LPARAM>(&ti));
    EXPECT_EQ(std::wstring(text), LoadResString(IDS_CHATLIST_CLOSE_TIP));
    EXPECT_FALSE(std::wstring(text).empty());
    b.DestroyWindow();
    EXPECT_FALSE(::IsWindow(tip));
}

TEST_F(ButtonFixture, ScreenReadersHearTheCaptionOrTheTipAndPressTheButton) {
    CComScope com;
    CSkinButton send;
    CSkinButton image;
    CThemedSkinButton leave;
    Make(send, 21, L"전송(&S)");
    send.SetTipText(L"메시지 보내기");
    Make(image, 22, L"", BS_PUSHBUTTON, 40, 40, 100);
    image.SetTipText(L"파일 보내기");
    Make(leave, 23, L"나가기", BS_DEFPUSHBUTTON, 80, 40, 150);

    CComPtr<IAccessible> acc = AccObjectOf(send.GetHwnd());
    ASSERT_TRUE(acc);
    EXPECT_EQ(AccRole(acc.Get(), CHILDID_SELF), ROLE_SYSTEM_PUSHBUTTON);
    EXPECT_EQ(AccName(acc.Get(), CHILDID_SELF), L"전송(S)");
    EXPECT_EQ(AccText(&IAccessible::get_accDescription, acc.Get(), CHILDID_SELF), L"메시지 보내기");
    EXPECT_EQ(AccText(&IAccessible::get_accKeyboardShortcut, acc.Get(), CHILDID_SELF), L"Alt+S");
    EXPECT_EQ(AccText(&IAccessible::get_accDefaultAction, acc.Get(), CHILDID_SELF), L"Press");
    EXPECT_EQ(AccState(acc.Get(), CHILDID_SELF), STATE_SYSTEM_FOCUSABLE);
    const RECT window = send.GetWindowRect();
    const RECT located = AccLocation(acc.Get(), CHILDID_SELF);
    EXPECT_TRUE(::EqualRect(&located, &window));
    // A button has no children.
    long count = -1;
    EXPECT_EQ(acc->get_accChildCount(&count), S_OK);
    EXPECT_EQ(count, 0);
    EXPECT_EQ(acc->accDoDefaultAction(AccChild(1)), E_INVALIDARG);

    CComPtr<IAccessible> imageAcc = AccObjectOf(image.GetHwnd());
    ASSERT_TRUE(imageAcc);
    EXPECT_EQ(AccName(imageAcc.Get(), CHILDID_SELF), L"파일 보내기");
    HRESULT hr = S_OK;
    AccText(&IAccessible::get_accDescription, imageAcc.Get(), CHILDID_SELF, &hr);
    EXPECT_EQ(hr, S_FALSE);
    CComPtr<IAccessible> leaveAcc;
    ASSERT_EQ(::AccessibleObjectFromWindow(leave.GetHwnd(), OBJID_CLIENT, __uuidof(IAccessible), leaveAcc.PutVoid()),
              S_OK);
    EXPECT_EQ(AccName(leaveAcc.Get(), CHILDID_SELF), L"나가기");
    EXPECT_EQ(AccState(leaveAcc.Get(), CHILDID_SELF), STATE_SYSTEM_FOCUSABLE | STATE_SYSTEM_DEFAULT);

    // The default action clicks as BM_CLICK would: the parent hears of it. A disabled button refuses.
    EXPECT_EQ(acc->accDoDefaultAction(AccChild(CHILDID_SELF)), S_OK);
    EXPECT_TRUE(PumpUntil([&] { return dlg.m_clicks == std::vector<int>{21}; }));
    ::EnableWindow(send.GetHwnd(), FALSE);
    EXPECT_EQ(AccState(acc.Get(), CHILDID_SELF), STATE_SYSTEM_FOCUSABLE | STATE_SYSTEM_UNAVAILABLE);
    EXPECT_EQ(acc->accDoDefaultAction(AccChild(CHILDID_SELF)), E_FAIL);
    send.DestroyWindow();
    EXPECT_EQ(acc->accDoDefaultAction(AccChild(CHILDID_SELF)), RPC_E_DISCONNECTED);
    EXPECT_EQ(dlg.m_clicks, std::vector<int>{21});
}

TEST_F(ButtonFixture, ThemedButtonWithoutVisualStylesDrawsLikeAPlainOne) {
    CSkinButton plain;
    Make(plain, 20, L"Attach");
    plain.SetButtonIcons(IDI_ATTACH);
    CFakeStyle off;
    CVisualStyle real;
    for (CVisualStyle* style : {static_cast<CVisualStyle*>(&off), &real, static_cast<CVisualStyle*>(nullptr)}) {
        if (style == &real && real.IsAppThemed())
            continue; // a themed desktop: nothing to compare
        CThemedSkinButton themed;
        Make(themed, 21, L"Attach", BS_PUSHBUTTON, 80, 40, 200);
        themed.SetButtonIcons(IDI_ATTACH);
        themed.SetVisualStyle(style);
        EXPECT_TRUE(Render(themed)->Same(*Render(plain)));
        Hover(themed);
        const auto hoveredThemed = Render(themed);
        Hover(plain);
        EXPECT_TRUE(hoveredThemed->Same(*Render(plain)));
        plain.SendMessage(WM_MOUSELEAVE);
        themed.DestroyWindow();
    }
}

TEST_F(ButtonFixture, ThemedButtonDrawsThePushButtonStateOfItsLook) {
    CFakeStyle on;
    on.m_bThemed = true;
    CThemedSkinButton b;
    Make(b, 22, L"", BS_DEFPUSHBUTTON);
    b.SetVisualStyle(&on);
    auto px = Render(b);
    EXPECT_EQ(px->At(40, 20), RGB(1, 200, 200));
    EXPECT_EQ(px->At(0, 0), RGB(1, 200, 200)); // no frame of our own
    auto stateOf = [&] {
        on.m_states.clear();
        Render(b);
        return on.m_states.empty() ? -1 : on.m_states.back();
    };
    EXPECT_EQ(stateOf(), 15); // part 1, default
    Hover(b);
    EXPECT_EQ(stateOf(), 12);
    b.SendMessage(BM_SETSTATE, TRUE);
    EXPECT_EQ(stateOf(), 13);
    b.SendMessage(BM_SETSTATE, FALSE);
    ::EnableWindow(b.GetHwnd(), FALSE);
    EXPECT_EQ(stateOf(), 14);
    ::EnableWindow(b.GetHwnd(), TRUE);
    b.SendMessage(BM_SETSTYLE, BS_PUSHBUTTON, FALSE);
    EXPECT_EQ(stateOf(), 11);
}

} // namespace
