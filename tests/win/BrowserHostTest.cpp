// The web browser host: wherever an engine can or cannot be hosted, creating it neither fails the window
// nor raises a prompt, and releasing it is safe at any moment.

#include "win/portal/BrowserHost.h"
#include "win/portal/ControlSiteManager.h"
#include "win/portal/NavigationSink.h"
#include "win/portal/ScriptExternal.h"

#include "support/ComRefCount.h"
#include "support/Wait.h"

#include <exdispid.h>
#include <gtest/gtest.h>

#include <set>

using namespace dravel::win;
using namespace dravel::win::test;

namespace {

constexpr UINT kBrowserId = 1000;

// A plain top-level window to host the control, destroyed with the test.
class CTestParent {
public:
    CTestParent() {
        WNDCLASSW wc{};
        wc.lpfnWndProc = ::DefWindowProcW;
        wc.hInstance = ::GetModuleHandleW(nullptr);
        wc.lpszClassName = L"BrowserHostTestParent";
        ::RegisterClassW(&wc);
        m_hwnd = ::CreateWindowExW(0, wc.lpszClassName, L"host", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN | WS_VISIBLE, 40,
                                   40, 400, 300, nullptr, nullptr, wc.hInstance, nullptr);
    }
    ~CTestParent() {
        if (::IsWindow(m_hwnd))
            ::DestroyWindow(m_hwnd);
    }
    HWND Get() const { return m_hwnd; }

private:
    HWND m_hwnd = nullptr;
};

BOOL CALLBACK CollectVisible(HWND hwnd, LPARAM lParam) {
    if (::IsWindowVisible(hwnd))
        reinterpret_cast<std::set<HWND>*>(lParam)->insert(hwnd);
    return TRUE;
}

std::set<HWND> VisibleTopLevelWindows() {
    std::set<HWND> windows;
    ::EnumWindows(&CollectVisible, reinterpret_cast<LPARAM>(&windows));
    return windows;
}

std::wstring Describe(HWND hwnd) {
    wchar_t cls[128] = {};
    wchar_t title[128] = {};
    ::GetClassNameW(hwnd, cls, 128);
    ::GetWindowTextW(hwnd, title, 128);
    return std::wstring(cls) + L" '" + title + L"'";
}

TEST(BrowserHostTest, AHostWithoutControlIgnoresEveryCall) {
    CBrowserHost host;
    EXPECT_FALSE(host.IsCreated());
    EXPECT_EQ(host.Window(), nullptr);
    host.Navigate(L"http://127.0.0.1/");
    host.Move(RECT{0, 0, 10, 10});
    host.Destroy();
    host.Destroy();

    // No window, or a window that is gone: nothing to host in.
    const RECT rc{0, 0, 100, 100};
    EXPECT_FALSE(host.Create(nullptr, kBrowserId, rc));
    HWND gone = nullptr;
    {
        CTestParent parent;
        gone = parent.Get();
    }
    EXPECT_FALSE(host.Create(gone, kBrowserId, rc));
    EXPECT_FALSE(host.IsCreated());
    host.Navigate(L"about:blank");
    host.Move(rc);
}

TEST(BrowserHostTest, CreateRaisesNoPromptAndTheControlIsTheChildWithItsId) {
    CTestParent parent;
    ASSERT_NE(parent.Get(), nullptr);
    Drain();
    const std::set<HWND> before = VisibleTopLevelWindows();

    CBrowserHost host;
    const RECT rc{1, 1, 399, 299};
    const DWORD start = ::GetTickCount();
    const bool created = host.Create(parent.Get(), kBrowserId, rc);
    host.Navigate(L"about:blank");
    host.Navigate(L"http://127.0.0.1:1/user/proc.asp?user_id=kim&user_password=a%26b");
    EXPECT_LT(::GetTickCount() - start, 5000u);
    // The wait is the check: a prompt (an engine installer, an error box) has had time to show up.
    PumpFor(1500);
    for (HWND hwnd : VisibleTopLevelWindows())
        EXPECT_TRUE(before.count(hwnd) != 0) << "new window: " << testing::PrintToString(Describe(hwnd));
    EXPECT_TRUE(::IsWindow(parent.Get()));
    EXPECT_EQ(host.IsCreated(), created);

    if (!created) {
        EXPECT_EQ(host.Window(), nullptr);
        return;
    }
    const HWND control = host.Window();
    ASSERT_TRUE(::IsWindow(control));
    EXPECT_EQ(::GetParent(control), parent.Get());
    EXPECT_NE(::GetWindowLongPtrW(control, GWL_STYLE) & WS_CHILD, 0);
    EXPECT_EQ(::GetDlgItem(parent.Get(), static_cast<int>(kBrowserId)), control);

    RECT inParent{};
    auto placeOf = [&] {
        ::GetWindowRect(control, &inParent);
        ::MapWindowPoints(nullptr, parent.Get(), reinterpret_cast<POINT*>(&inParent), 2);
        return inParent;
    };
    placeOf();
    EXPECT_EQ(inParent.left, 1);
    EXPECT_EQ(inParent.top, 1);
    EXPECT_EQ(inParent.right - inParent.left, 398);
    host.Move(RECT{5, 6, 205, 106});
    placeOf();
    EXPECT_EQ(inParent.left, 5);
    EXPECT_EQ(inParent.top, 6);
    EXPECT_EQ(inParent.right - inParent.left, 200);
    EXPECT_EQ(inParent.bottom - inParent.top, 100);

    host.Destroy();
    EXPECT_FALSE(host.IsCreated());
    EXPECT_EQ(host.Window(), nullptr);
    EXPECT_FALSE(::IsWindow(control));
    EXPECT_EQ(::GetDlgItem(parent.Get(), static_cast<int>(kBrowserId)), nullptr);
    host.Destroy();
    host.Navigate(L"about:blank");
    host.Move(rc);

    // A host can be used again, and creating over a live control replaces it.
    ASSERT_TRUE(host.Create(parent.Get(), kBrowserId, rc));
    const HWND first = host.Window();
    ASSERT_TRUE(host.Create(parent.Get(), kBrowserId + 1, rc));
    EXPECT_FALSE(::IsWindow(first));
    EXPECT_EQ(::GetDlgItem(parent.Get(), static_cast<int>(kBrowserId + 1)), host.Window());
}

TEST(BrowserHostTest, TheParentMayGoFirst) {
    // A window torn down before its host released the control: releasing afterwards stays quiet.
    CBrowserHost host;
    {
        CTestParent parent;
        if (!host.Create(parent.Get(), kBrowserId, RECT{0, 0, 100, 100}))
            GTEST_SKIP() << "no browser control to host here";
        host.Navigate(L"about:blank");
    }
    Drain();
    host.Move(RECT{0, 0, 50, 50});
    host.Navigate(L"about:blank");
    host.Destroy();
    EXPECT_FALSE(host.IsCreated());
    host.Destroy();
}

class NoMainWindow : public dravel::ScriptHost {
public:
    bool IsCustomBrowser() override { return true; }
    void IdleLogout() override {}
    void CustomFunction() override {}
    void CustomFunctionWithParams(const std::string&, int32_t) override {}
    void OpenPortalPopup(const dravel::PortalPopupRequest&) override {}
    void ShowPortalWindow(const dravel::PortalPopupRequest&) override {}
    void ShowChatList() override {}
    void ReLogin() override {}
    void CloseActiveWindow() override {}
};

TEST(BrowserHostTest, TheControlGetsTheInstalledManagersSite) {
    NoMainWindow mainWindow;
    CScriptExternal external(mainWindow, "127.0.0.1");
    CControlSiteManager manager(&external, {});
    CControlSiteManager::Install(&manager);
    CTestParent parent;
    CBrowserHost host;
    const bool created = host.Create(parent.Get(), kBrowserId, RECT{0, 0, 200, 100});
    CControlSiteManager::Install(nullptr);
    if (!created)
        GTEST_SKIP() << "no browser control to host here";

    // What the control finds when it asks its client site for the page customisation.
    IDocHostUIHandler* handler = nullptr;
    ASSERT_EQ(host.ClientSite()->QueryInterface(kIidDocHostUIHandler, reinterpret_cast<void**>(&handler)), S_OK);
    IDispatch* pageExternal = nullptr;
    EXPECT_EQ(handler->GetExternal(&pageExternal), S_OK);
    EXPECT_NE(pageExternal, nullptr); // the page's own gate in front of the script object
    EXPECT_EQ(ComRefCount(external), 2u);
    if (pageExternal != nullptr)
        pageExternal->Release();
    handler->Release();
    IDocHostShowUI* showUi = nullptr;
    ASSERT_EQ(host.ClientSite()->QueryInterface(kIidDocHostShowUI, reinterpret_cast<void**>(&showUi)), S_OK);
    showUi->Release();

    // Releasing the control lets go of the site and so of the script object.
    host.Destroy();
    EXPECT_EQ(host.ClientSite(), nullptr);
    EXPECT_EQ(ComRefCount(external), 0u);
}

// Navigation events that do not carry what the rule reads (too few arguments, or a sink that is no longer
// connected to a control) go nowhere; the older new-window event never opens the engine's own window.
TEST(BrowserHostTest, EventsTheRuleCannotReadAreCancelled) {
    struct Case {
        DISPID id;
        UINT nArgs; // the cancel flag is element 0, the rest are empty
    };
    const Case cases[] = {{DISPID_BEFORENAVIGATE2, 1},
                          {DISPID_BEFORENAVIGATE2, 7},
                          {DISPID_NEWWINDOW2, 2},
                          {DISPID_NEWWINDOW3, 2},
                          {DISPID_NEWWINDOW3, 5}};
    auto* sink = new CNavigationSink("127.0.0.1", nullptr, nullptr, nullptr); // never connected
    for (const Case& c : cases) {
        VARIANT_BOOL bCancel = VARIANT_FALSE;
        VARIANT args[7];
        for (VARIANT& v : args)
            ::VariantInit(&v);
        args[0].vt = VT_BYREF | VT_BOOL;
        args[0].pboolVal = &bCancel;
        DISPPARAMS params{args, nullptr, c.nArgs, 0};
        EXPECT_EQ(sink->Invoke(c.id, IID_NULL, 0, DISPATCH_METHOD, &params, nullptr, nullptr, nullptr), S_OK);
        EXPECT_EQ(bCancel, VARIANT_TRUE) << c.id << " " << c.nArgs;
    }
    sink->Release();
}

} // namespace
