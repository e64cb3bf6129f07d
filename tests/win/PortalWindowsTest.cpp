// The portal page window and the browser pop-ups under the window system: their templates and icons,
// the browser filling the client area, closing that only hides, the keys, and how the main window
// creates, places, shows again and retires them.

#include "win/portal/BrowserPopupDlg.h"
#include "win/portal/PortalDlg.h"
#include "win/res/resource.h"
#include "win/session/SessionHost.h"
#include "core/portal/PortalMenu.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>

using namespace dravel;
using namespace dravel::win;

namespace {

// Runs the messages already queued for this thread, without waiting for more.
void Drain() {
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
}

// Runs this thread's messages until pred() holds; false if it still does not after timeoutMs.
bool PumpUntil(const std::function<bool()>& pred, DWORD timeoutMs = 5000) {
    const DWORD start = ::GetTickCount();
    for (;;) {
        Drain();
        if (pred())
            return true;
        if (::GetTickCount() - start > timeoutMs)
            return false;
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
}

LONG_PTR Style(HWND hwnd) {
    return ::GetWindowLongPtrW(hwnd, GWL_STYLE);
}

RECT ScreenRectOf(HWND hwnd) {
    RECT rc{};
    ::GetWindowRect(hwnd, &rc);
    return rc;
}

RECT ClientRectOf(HWND hwnd) {
    RECT rc{};
    ::GetClientRect(hwnd, &rc);
    return rc;
}

// The child's rectangle in its parent's client coordinates.
RECT ChildRect(HWND child) {
    RECT rc = ScreenRectOf(child);
    ::MapWindowPoints(nullptr, ::GetParent(child), reinterpret_cast<POINT*>(&rc), 2);
    return rc;
}

bool SameRect(const RECT& a, const RECT& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

std::string Describe(const RECT& rc) {
    return std::to_string(rc.left) + "," + std::to_string(rc.top) + "," + std::to_string(rc.right) + "," +
           std::to_string(rc.bottom);
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

// The session without a main window: the windows it makes have no owner here, which changes nothing
// else.
class NoMainWindow : public SessionWindow, public SessionApplication {
public:
    HWND Handle() const override { return nullptr; }
    HWND BoxOwner() const override { return nullptr; }
    void Navigate(const std::string&) override {}
    void ShowConnectingNotice(bool) override {}
    void UpdateTitle(const std::string&) override {}
    void SavePlacement() override {}
    void EndWindow(int) override {}
    void AddModelessWindows(std::vector<HWND>&) const override {}
    void SetMainWindow(HWND) override {}
    bool RequestRestart() override { return false; }
    void ShowRestartFailed(HWND) override {}
};

class MainPortalTest : public ::testing::Test {
protected:
    NoMainWindow m_window;
    CSessionHost m_main{m_window, m_window, SessionSettings{"127.0.0.1", "", L""}};

    static RECT RectOf(int l, int t, int w, int h) { return RECT{l, t, l + w, t + h}; }
};

TEST_F(MainPortalTest, PortalWindowIsMadeOnceAVisibleOneKeepsItsPageAndAHiddenOneIsPlacedAgain) {
    EXPECT_EQ(m_main.PortalWindow(), nullptr);
    m_main.ShowPortalWindow({"http://127.0.0.1/sm/order/list.asp", 20, 30, 640, 480});
    CPortalDlg* portal = m_main.PortalWindow();
    ASSERT_NE(portal, nullptr);
    const HWND hwnd = portal->GetHwnd();
    EXPECT_TRUE(PumpUntil([&] { return ::IsWindowVisible(hwnd); }));
    EXPECT_FALSE(::IsZoomed(hwnd));
    EXPECT_TRUE(SameRect(ScreenRectOf(hwnd), RectOf(20, 30, 640, 480))) << Describe(ScreenRectOf(hwnd));
    EXPECT_EQ(portal->Url(), L"http://127.0.0.1/sm/order/list.asp");

    // Showing: nothing changes.
    m_main.ShowPortalWindow({"http://127.0.0.1/sm/voc/list.asp", 0, 0, 300, 200});
    Drain();
    EXPECT_EQ(m_main.PortalWindow(), portal);
    EXPECT_EQ(portal->Url(), L"http://127.0.0.1/sm/order/list.asp");
    EXPECT_TRUE(SameRect(ScreenRectOf(hwnd), RectOf(20, 30, 640, 480)));

    // Closed by its close box (hidden), then asked for again: the new page at the new place.
    ::SendMessageW(hwnd, WM_CLOSE, 0, 0);
    EXPECT_TRUE(PumpUntil([&] { return !::IsWindowVisible(hwnd); }));
    ASSERT_TRUE(::IsWindow(hwnd));
    // A 949 address reaches the window as UTF-16.
    m_main.ShowPortalWindow({"http://127.0.0.1/sm/voc/list.asp?q=\xC7\xD1", 0, 0, 300, 200});
    EXPECT_TRUE(PumpUntil([&] { return ::IsWindowVisible(hwnd); }));
    EXPECT_EQ(m_main.PortalWindow(), portal);
    EXPECT_EQ(portal->Url(), L"http://127.0.0.1/sm/voc/list.asp?q=\uD55C");
    EXPECT_TRUE(SameRect(ScreenRectOf(hwnd), RectOf(0, 0, 300, 200))) << Describe(ScreenRectOf(hwnd));

    // Closed while maximised: it comes back restored, at the place asked for.
    portal->ShowWindow(SW_MAXIMIZE);
    ASSERT_TRUE(PumpUntil([&] { return ::IsZoomed(hwnd) != FALSE; }));
    ::SendMessageW(hwnd, WM_CLOSE, 0, 0);
    ASSERT_TRUE(PumpUntil([&] { return !::IsWindowVisible(hwnd); }));
    m_main.ShowPortalWindow({"http://127.0.0.1/sm/board/qna/list.asp", 50, 60, 400, 300});
    ASSERT_TRUE(PumpUntil([&] { return ::IsWindowVisible(hwnd); }));
    EXPECT_FALSE(::IsZoomed(hwnd));
    EXPECT_TRUE(SameRect(ScreenRectOf(hwnd), RectOf(50, 60, 400, 300))) << Describe(ScreenRectOf(hwnd));
}

TEST_F(MainPortalTest, PopupsTakeTheSharedSlotsAndShowWithoutActivatingAtTheirPlace) {
    // The window the user works in stays the active one.
    CPortalDlg other;
    ASSERT_TRUE(other.Create());
    other.ShowWindow(SW_SHOWNORMAL);
    ::SetForegroundWindow(other.GetHwnd());
    ASSERT_TRUE(PumpUntil([&] { return ::GetActiveWindow() == other.GetHwnd(); }));
    const HWND active = ::GetActiveWindow();
    ASSERT_EQ(active, other.GetHwnd());
    m_main.OpenPortalPopup({"http://127.0.0.1/a.asp", 10, 20, 300, 200});
    m_main.OpenPortalPopup({"http://127.0.0.1/b.asp", 40, 50, 320, 240});
    const auto shown = [&](int n) {
        return m_main.PortalPopupWindow(n) != nullptr && ::IsWindowVisible(m_main.PortalPopupWindow(n)->GetHwnd());
    };
    EXPECT_TRUE(PumpUntil([&] { return shown(0) && shown(1); }));
    EXPECT_EQ(m_main.WindowTable().SlotCount(), 2);
    for (int n = 0; n < 2; ++n) {
        ASSERT_NE(m_main.PortalPopupWindow(n), nullptr) << n;
        EXPECT_EQ(m_main.WindowTable().SlotUse(n), CWindowTable::Use::PortalPopup);
        EXPECT_TRUE(::IsWindowVisible(m_main.PortalPopupWindow(n)->GetHwnd()));
        EXPECT_EQ(m_main.ConversationWindow(n), nullptr);
    }
    EXPECT_EQ(::GetActiveWindow(), active);
    EXPECT_TRUE(SameRect(ScreenRectOf(m_main.PortalPopupWindow(1)->GetHwnd()), RectOf(40, 50, 320, 240)));
    EXPECT_EQ(m_main.PortalPopupWindow(1)->Url(), L"http://127.0.0.1/b.asp");
    EXPECT_EQ(m_main.PortalPopupWindow(2), nullptr);

    // A script's nonsense size opens a window all the same, with no negative or enormous size.
    m_main.OpenPortalPopup({"http://127.0.0.1/c.asp", -100000, 5, -50, 2000000000});
    Drain();
    ASSERT_NE(m_main.PortalPopupWindow(2), nullptr);
    const RECT rc = ScreenRectOf(m_main.PortalPopupWindow(2)->GetHwnd());
    EXPECT_GE(rc.right - rc.left, 0);
    EXPECT_LE(rc.bottom - rc.top, kMaxWindowExtent);
    EXPECT_GE(rc.left, -kMaxWindowExtent);
}

TEST_F(MainPortalTest, TeardownPutsThePortalWindowsAwayAndANewRequestMakesThemAfresh) {
    m_main.ShowPortalWindow({"http://127.0.0.1/sm/order/list.asp", 0, 0, 400, 300});
    m_main.OpenPortalPopup({"http://127.0.0.1/a.asp", 10, 20, 300, 200});
    ASSERT_TRUE(PumpUntil([&] {
        return m_main.PortalWindow() != nullptr && ::IsWindowVisible(m_main.PortalWindow()->GetHwnd()) &&
               m_main.PortalPopupWindow(0) != nullptr && ::IsWindowVisible(m_main.PortalPopupWindow(0)->GetHwnd());
    }));
    const HWND portal = m_main.PortalWindow()->GetHwnd();
    const HWND popup = m_main.PortalPopupWindow(0)->GetHwnd();
    ASSERT_TRUE(::IsWindowVisible(portal));
    ASSERT_TRUE(::IsWindowVisible(popup));

    m_main.DestroySessionWindows();
    const auto away = [](HWND hwnd) { return !(::IsWindow(hwnd) && ::IsWindowVisible(hwnd)); };
    EXPECT_TRUE(PumpUntil([&] { return away(portal) && away(popup); }));
    EXPECT_EQ(m_main.PortalWindow(), nullptr);
    EXPECT_EQ(m_main.PortalPopupWindow(0), nullptr);
    EXPECT_FALSE(::IsWindow(portal) && ::IsWindowVisible(portal));
    EXPECT_FALSE(::IsWindow(popup) && ::IsWindowVisible(popup));

    m_main.ShowPortalWindow({"http://127.0.0.1/sm/voc/list.asp", 0, 0, 400, 300});
    EXPECT_TRUE(PumpUntil(
        [&] { return m_main.PortalWindow() != nullptr && ::IsWindowVisible(m_main.PortalWindow()->GetHwnd()); }));
    ASSERT_NE(m_main.PortalWindow(), nullptr);
    EXPECT_TRUE(::IsWindowVisible(m_main.PortalWindow()->GetHwnd()));
    EXPECT_EQ(m_main.PortalWindow()->Url(), L"http://127.0.0.1/sm/voc/list.asp");
}

TEST_F(MainPortalTest, PortalMenuWithoutAMainWindowDoesNothing) {
    // No main window runs here.
    m_main.OnPortalCommand(ID_PORTAL_ORDER);
    m_main.OnPortalCommand(ID_PORTAL_CHATTING);
    m_main.OnPortalCommand(12345);
    Drain();
    EXPECT_EQ(m_main.PortalWindow(), nullptr);
    EXPECT_EQ(m_main.ChatListWindow(), nullptr);
}

} // namespace
