// How the session host keeps the portal page window and the browser pop-ups: it creates, places, shows
// again and retires them, here without a main window.

#include "win/portal/BrowserPopupDlg.h"
#include "win/portal/PortalDlg.h"
#include "win/res/resource.h"
#include "win/session/SessionHost.h"
#include "core/portal/PortalMenu.h"

#include "support/Rects.h"
#include "support/Wait.h"

#include <gtest/gtest.h>

#include <vector>

using namespace dravel;
using namespace dravel::win;
using namespace dravel::win::test;

namespace {

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
    void ShowConnectionState(const std::wstring&) override {}
    void SetMainWindow(HWND) override {}
    bool RequestRestart() override { return false; }
    void ShowRestartFailed(HWND) override {}
};

// This thread's top-level windows that pass the test.
template <typename Test> int ThreadWindows(Test test) {
    struct CSearch {
        Test& test;
        int nFound = 0;
        static BOOL CALLBACK Visit(HWND hwnd, LPARAM p) {
            auto* search = reinterpret_cast<CSearch*>(p);
            search->nFound += search->test(hwnd) ? 1 : 0;
            return TRUE;
        }
    } search{test};
    ::EnumThreadWindows(::GetCurrentThreadId(), &CSearch::Visit, reinterpret_cast<LPARAM>(&search));
    return search.nFound;
}

// The pop-up template's frame: a caption and no sizing border (the portal page window has one).
bool IsPopupFrame(HWND hwnd) {
    const LONG_PTR style = ::GetWindowLongPtrW(hwnd, GWL_STYLE);
    return (style & WS_CAPTION) == WS_CAPTION && (style & WS_THICKFRAME) == 0;
}

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
    EXPECT_EQ(ThreadWindows([](HWND hwnd) { return ::IsWindowVisible(hwnd) && IsPopupFrame(hwnd); }), 2);
    for (int n = 0; n < 2; ++n) {
        ASSERT_NE(m_main.PortalPopupWindow(n), nullptr) << n;
        EXPECT_TRUE(IsPopupFrame(m_main.PortalPopupWindow(n)->GetHwnd())) << n;
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
    EXPECT_EQ(ThreadWindows([](HWND hwnd) { return ::GetDlgItem(hwnd, IDC_LIST_TABS) != nullptr; }), 0)
        << "no chat list window";
}

} // namespace
