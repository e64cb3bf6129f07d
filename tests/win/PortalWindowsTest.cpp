// The portal page window and the browser pop-ups under the window system: their templates and icons,
// the browser filling the client area, closing that only hides, and the keys.

#include "win/portal/BrowserPopupDlg.h"
#include "win/portal/PortalDlg.h"
#include "win/res/resource.h"

#include "support/Rects.h"
#include "support/Wait.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>

using namespace dravel;
using namespace dravel::win;
using namespace dravel::win::test;

namespace {

LONG_PTR Style(HWND hwnd) {
    return ::GetWindowLongPtrW(hwnd, GWL_STYLE);
}

// A key pressed while the window is the active one: the dialog manager reads it from the queue.
void PressKey(HWND hwnd, WPARAM vk) {
    ::PostMessageW(hwnd, WM_KEYDOWN, vk, 1);
    ::PostMessageW(hwnd, WM_KEYUP, vk, static_cast<LPARAM>(0xC0000001u));
    Drain();
}

template <typename Dlg> std::unique_ptr<Dlg> Open() {
    auto dlg = std::make_unique<Dlg>();
    EXPECT_TRUE(dlg->Create());
    return dlg;
}

TEST(PortalWindowsTest, TemplatesGiveCaptionFramesAndIconsAndTheWindowsStartHidden) {
    auto portal = Open<CPortalDlg>();
    auto popup = Open<CBrowserPopupDlg>();
    ASSERT_TRUE(portal->IsWindow());
    ASSERT_TRUE(popup->IsWindow());
    const HICON appIcon = ::LoadIconW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDR_MAINFRAME));
    ASSERT_NE(appIcon, nullptr);

    for (const CBrowserWindow* w :
         {static_cast<CBrowserWindow*>(portal.get()), static_cast<CBrowserWindow*>(popup.get())}) {
        const HWND hwnd = w->GetHwnd();
        EXPECT_EQ(w->GetText(), L"Dravel On");
        const LONG_PTR style = Style(hwnd);
        EXPECT_NE(style & WS_SYSMENU, 0);
        EXPECT_NE(style & WS_MINIMIZEBOX, 0);
        EXPECT_NE(style & WS_MAXIMIZEBOX, 0);
        EXPECT_NE(style & WS_CAPTION, 0);
        EXPECT_FALSE(::IsWindowVisible(hwnd)) << "shown only by whoever opens it";
        EXPECT_EQ(reinterpret_cast<HICON>(::SendMessageW(hwnd, WM_GETICON, ICON_BIG, 0)), appIcon);
        EXPECT_NE(::SendMessageW(hwnd, WM_GETICON, ICON_SMALL, 0), 0);
        EXPECT_TRUE(w->Url().empty());
    }
    EXPECT_NE(Style(portal->GetHwnd()) & WS_THICKFRAME, 0);
    EXPECT_EQ(Style(popup->GetHwnd()) & WS_THICKFRAME, 0);

    // 186 x 95 and 123 x 96 dialog units.
    RECT du{0, 0, 186, 95};
    ::MapDialogRect(portal->GetHwnd(), &du);
    EXPECT_EQ(ClientRectOf(portal->GetHwnd()).right, du.right);
    EXPECT_EQ(ClientRectOf(portal->GetHwnd()).bottom, du.bottom);
    du = RECT{0, 0, 123, 96};
    ::MapDialogRect(popup->GetHwnd(), &du);
    EXPECT_EQ(ClientRectOf(popup->GetHwnd()).right, du.right);
    EXPECT_EQ(ClientRectOf(popup->GetHwnd()).bottom, du.bottom);
}

TEST(PortalWindowsTest, TheBrowserIsChildThousandAndFillsTheClientAreaAfterEverySize) {
    int nHosted = 0;
    for (bool bPortal : {true, false}) {
        std::unique_ptr<CBrowserWindow> w;
        if (bPortal)
            w = Open<CPortalDlg>();
        else
            w = Open<CBrowserPopupDlg>();
        ASSERT_TRUE(w->IsWindow());
        const HWND hwnd = w->GetHwnd();
        if (!w->Browser().IsCreated()) {
            // Without a browser engine the window works all the same; nothing more to see here.
            EXPECT_EQ(::GetDlgItem(hwnd, IDC_BROWSER), nullptr);
            continue;
        }
        ++nHosted;
        const HWND browser = ::GetDlgItem(hwnd, IDC_BROWSER);
        ASSERT_EQ(browser, w->Browser().Window());
        EXPECT_TRUE(SameRect(ChildRect(browser), ClientRectOf(hwnd)));

        w->SetUrl(L"about:blank");
        w->Place(30, 40, 500, 350);
        const auto fills = [&] { return SameRect(ChildRect(browser), ClientRectOf(hwnd)); };
        w->ShowWindow(SW_SHOWNOACTIVATE);
        EXPECT_TRUE(PumpUntil([&] { return ::IsWindowVisible(hwnd) && fills(); }))
            << Describe(ChildRect(browser)) << " in " << Describe(ClientRectOf(hwnd));
        w->Place(10, 10, 260, 190);
        EXPECT_TRUE(PumpUntil(fills));
        w->ShowWindow(SW_MAXIMIZE);
        EXPECT_TRUE(PumpUntil([&] { return ::IsZoomed(hwnd) && fills(); }));
        EXPECT_GT(ClientRectOf(hwnd).right, 260);
        w->ShowWindow(SW_HIDE);
        ASSERT_TRUE(PumpUntil([&] { return !::IsWindowVisible(hwnd); }));
        EXPECT_TRUE(::IsWindow(browser));
    }
    if (nHosted == 0)
        GTEST_SKIP() << "no browser control to host here";
}

TEST(PortalWindowsTest, CloseBoxAndEscapeOnlyHideEnterHidesOnlyAPopup) {
    auto portal = Open<CPortalDlg>();
    auto popup = Open<CBrowserPopupDlg>();
    for (CBrowserWindow* w : {static_cast<CBrowserWindow*>(portal.get()), static_cast<CBrowserWindow*>(popup.get())}) {
        const HWND hwnd = w->GetHwnd();
        w->ShowWindow(SW_SHOWNORMAL);
        ASSERT_TRUE(PumpUntil([&] { return ::IsWindowVisible(hwnd); }));
        ::SendMessageW(hwnd, WM_CLOSE, 0, 0);
        EXPECT_TRUE(PumpUntil([&] { return !::IsWindowVisible(hwnd); }));
        EXPECT_TRUE(::IsWindow(hwnd));

        w->ShowWindow(SW_SHOWNORMAL);
        ::SetForegroundWindow(hwnd);
        ::SetFocus(hwnd);
        ASSERT_TRUE(PumpUntil([&] { return ::IsWindowVisible(hwnd); }));
        PressKey(hwnd, VK_ESCAPE);
        EXPECT_TRUE(PumpUntil([&] { return !::IsWindowVisible(hwnd); })) << (w == portal.get() ? "portal" : "pop-up");
        EXPECT_TRUE(::IsWindow(hwnd));
    }

    // Enter: the portal window stays, the pop-up goes (hidden).
    for (CBrowserWindow* w : {static_cast<CBrowserWindow*>(portal.get()), static_cast<CBrowserWindow*>(popup.get())}) {
        w->ShowWindow(SW_SHOWNORMAL);
        ::SetForegroundWindow(w->GetHwnd());
        ::SetFocus(w->GetHwnd());
        ASSERT_TRUE(PumpUntil([&] { return ::IsWindowVisible(w->GetHwnd()); }));
        PressKey(w->GetHwnd(), VK_RETURN);
        // Also as the dialog manager turns it into a command, whichever way the key went.
        ::SendMessageW(w->GetHwnd(), WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
        Drain();
        EXPECT_TRUE(::IsWindow(w->GetHwnd()));
    }
    EXPECT_TRUE(::IsWindowVisible(portal->GetHwnd()));
    EXPECT_FALSE(::IsWindowVisible(popup->GetHwnd()));
}

} // namespace
