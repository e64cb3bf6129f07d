// The site's customisation of hosted pages, called as the browser would call it: the two interfaces it
// hands out, our message box for a page's alert, the portal menu for a right click, the host flags, the
// key filter and the page's external object.

#include "win/portal/CustomControlSite.h"
#include "win/portal/ControlSiteManager.h"
#include "win/portal/ScriptExternal.h"
#include "win/res/resource.h"

#include <urlmon.h>
#include <wininet.h>

#include "support/ComRefCount.h"
#include "support/Wait.h"

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

using namespace dravel;
using namespace dravel::win;
using namespace dravel::win::test;

namespace {

std::map<HWND, std::vector<UINT>> g_commands;

LRESULT CALLBACK RecordingProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_COMMAND)
        g_commands[hwnd].push_back(LOWORD(wParam));
    return ::DefWindowProcW(hwnd, msg, wParam, lParam);
}

// A top-level window that records the commands it gets.
class CTestWindow {
public:
    explicit CTestWindow(const wchar_t* title) {
        WNDCLASSW wc{};
        wc.lpfnWndProc = &RecordingProc;
        wc.hInstance = ::GetModuleHandleW(nullptr);
        wc.lpszClassName = L"SiteTestWindow";
        ::RegisterClassW(&wc);
        m_hwnd = ::CreateWindowExW(0, wc.lpszClassName, title, WS_OVERLAPPEDWINDOW | WS_VISIBLE, 60, 60, 300, 200,
                                   nullptr, nullptr, wc.hInstance, nullptr);
    }
    ~CTestWindow() {
        g_commands.erase(m_hwnd);
        if (::IsWindow(m_hwnd))
            ::DestroyWindow(m_hwnd);
    }
    HWND Get() const { return m_hwnd; }

private:
    HWND m_hwnd = nullptr;
};

class NullHost : public ScriptHost {
public:
    bool IsCustomBrowser() override { return true; }
    void IdleLogout() override {}
    void CustomFunction() override {}
    void CustomFunctionWithParams(const std::string&, int32_t) override {}
    void OpenPortalPopup(const PortalPopupRequest&) override {}
    void ShowPortalWindow(const PortalPopupRequest&) override {}
    void ShowChatList() override {}
    void ReLogin() override {}
    void CloseActiveWindow() override {}
};

// Holds a counted site for the test.
class SiteRef {
public:
    SiteRef(HWND parent, CScriptExternal* external = nullptr, CCustomControlSite::MenuOwnerFn owner = {})
        : m_p(new CCustomControlSite(parent, RECT{0, 0, 100, 100}, external, std::move(owner))) {}
    ~SiteRef() { m_p->Release(); }
    CCustomControlSite* operator->() const { return m_p; }
    CCustomControlSite* Get() const { return m_p; }

    template <typename T> T* Query(const GUID& iid) const {
        void* p = nullptr;
        if (FAILED(m_p->QueryInterface(iid, &p)))
            return nullptr;
        return static_cast<T*>(p);
    }

private:
    CCustomControlSite* m_p;
};

// The engine's certificate question, asked through the site's services, is always answered with a
// refusal; the site offers no other service.
TEST(CustomControlSiteTest, CertificateProblemsAreRefused) {
    constexpr IID kIidHttpSecurity = {0x79EAC9D7, 0xBAFA, 0x11CE, {0x8C, 0x82, 0x00, 0xAA, 0x00, 0x4B, 0xA9, 0x0B}};
    CTestWindow parent(L"site");
    SiteRef site(parent.Get());
    auto* services = site.Query<IServiceProvider>(IID_IServiceProvider);
    ASSERT_NE(services, nullptr);
    IHttpSecurity* security = nullptr;
    ASSERT_EQ(services->QueryService(kIidHttpSecurity, kIidHttpSecurity, reinterpret_cast<void**>(&security)), S_OK);
    ASSERT_NE(security, nullptr);
    for (const DWORD problem : {ERROR_INTERNET_INVALID_CA, ERROR_INTERNET_SEC_CERT_CN_INVALID,
                                ERROR_INTERNET_SEC_CERT_DATE_INVALID, ERROR_INTERNET_SEC_CERT_REVOKED})
        EXPECT_EQ(security->OnSecurityProblem(problem), E_ABORT) << problem;
    HWND hwnd = nullptr;
    EXPECT_EQ(security->GetWindow(kIidHttpSecurity, &hwnd), S_OK);
    EXPECT_EQ(hwnd, parent.Get());
    security->Release();
    void* other = reinterpret_cast<void*>(1);
    EXPECT_EQ(services->QueryService(IID_IOleCommandTarget, IID_IOleCommandTarget, &other), E_NOINTERFACE);
    EXPECT_EQ(other, nullptr);
    services->Release();
}

TEST(CustomControlSiteTest, TheEngineRunsHardenedForTheWholeProcess) {
    HardenBrowserEngine();
    for (const INTERNETFEATURELIST feature :
         {FEATURE_LOCALMACHINE_LOCKDOWN, FEATURE_ZONE_ELEVATION, FEATURE_MIME_SNIFFING, FEATURE_MIME_HANDLING,
          FEATURE_RESTRICT_ACTIVEXINSTALL, FEATURE_DISABLE_MK_PROTOCOL})
        EXPECT_EQ(::CoInternetIsFeatureEnabled(feature, GET_FEATURE_FROM_PROCESS), S_OK) << feature;
}

TEST(CustomControlSiteTest, HandsOutBothInterfacesWithOneIdentity) {
    CTestWindow parent(L"site");
    SiteRef site(parent.Get());
    IUnknown* identity = site.Query<IUnknown>(IID_IUnknown);
    ASSERT_NE(identity, nullptr);
    auto* showUi = site.Query<IDocHostShowUI>(kIidDocHostShowUI);
    auto* handler = site.Query<IDocHostUIHandler>(kIidDocHostUIHandler);
    ASSERT_NE(showUi, nullptr);
    ASSERT_NE(handler, nullptr);
    EXPECT_NE(static_cast<void*>(showUi), static_cast<void*>(handler));

    // From either interface back to the site's identity and to each other; one count for all.
    void* p = nullptr;
    EXPECT_EQ(handler->QueryInterface(IID_IUnknown, &p), S_OK);
    EXPECT_EQ(p, identity);
    static_cast<IUnknown*>(p)->Release();
    EXPECT_EQ(showUi->QueryInterface(kIidDocHostUIHandler, &p), S_OK);
    EXPECT_EQ(p, handler);
    static_cast<IUnknown*>(p)->Release();
    EXPECT_EQ(handler->QueryInterface(IID_IOleInPlaceSite, &p), S_OK);
    static_cast<IUnknown*>(p)->Release();
    // The creator's reference and the three held here.
    EXPECT_EQ(handler->AddRef(), 5u);
    EXPECT_EQ(site->Release(), 4u);
    showUi->Release();
    handler->Release();
    EXPECT_EQ(identity->Release(), 1u);

    // The two EnableModeless answer differently: the frame's is a real one, the handler's is not ours.
    auto* frame = site.Query<IOleInPlaceFrame>(IID_IOleInPlaceFrame);
    handler = site.Query<IDocHostUIHandler>(kIidDocHostUIHandler);
    EXPECT_EQ(frame->EnableModeless(TRUE), S_OK);
    EXPECT_EQ(handler->EnableModeless(TRUE), E_NOTIMPL);
    frame->Release();
    handler->Release();
}

TEST(CustomControlSiteTest, HostInfoAndTheFixedAnswers) {
    CTestWindow parent(L"site");
    SiteRef site(parent.Get());
    auto* handler = site.Query<IDocHostUIHandler>(kIidDocHostUIHandler);
    ASSERT_NE(handler, nullptr);

    OLECHAR css[] = L"body{}";
    DOCHOSTUIINFO info{};
    info.cbSize = sizeof(info);
    info.dwFlags = 0xFFFF0000u;
    info.dwDoubleClick = 7;
    info.pchHostCss = css;
    EXPECT_EQ(handler->GetHostInfo(&info), S_OK);
    EXPECT_EQ(info.dwFlags, static_cast<DWORD>(DOCHOSTUIFLAG_NO3DBORDER));
    EXPECT_EQ(info.dwDoubleClick, static_cast<DWORD>(DOCHOSTUIDBLCLK_DEFAULT));
    EXPECT_EQ(info.pchHostCss, css);
    EXPECT_EQ(info.pchHostNS, nullptr);
    EXPECT_EQ(handler->GetHostInfo(nullptr), E_POINTER);
    DOCHOSTUIINFO tiny{};
    tiny.cbSize = sizeof(ULONG) + sizeof(DWORD);
    EXPECT_EQ(handler->GetHostInfo(&tiny), E_INVALIDARG);
    EXPECT_EQ(tiny.dwFlags, 0u);

    EXPECT_EQ(handler->ShowUI(0, nullptr, nullptr, nullptr, nullptr), S_OK);
    EXPECT_EQ(handler->HideUI(), S_OK);
    EXPECT_EQ(handler->UpdateUI(), S_OK);
    EXPECT_EQ(handler->OnDocWindowActivate(TRUE), E_NOTIMPL);
    EXPECT_EQ(handler->OnFrameWindowActivate(TRUE), E_NOTIMPL);
    EXPECT_EQ(handler->ResizeBorder(nullptr, nullptr, FALSE), E_NOTIMPL);
    LPOLESTR key = css;
    EXPECT_EQ(handler->GetOptionKeyPath(&key, 0), E_NOTIMPL);
    EXPECT_EQ(key, nullptr);
    IDropTarget* drop = reinterpret_cast<IDropTarget*>(1);
    EXPECT_EQ(handler->GetDropTarget(nullptr, &drop), E_NOTIMPL);
    EXPECT_EQ(drop, nullptr);
    LPWSTR url = css;
    EXPECT_EQ(handler->TranslateUrl(0, css, &url), E_NOTIMPL);
    EXPECT_EQ(url, nullptr);
    IDataObject* data = reinterpret_cast<IDataObject*>(1);
    EXPECT_EQ(handler->FilterDataObject(nullptr, &data), E_NOTIMPL);
    EXPECT_EQ(data, nullptr);

    auto* showUi = site.Query<IDocHostShowUI>(kIidDocHostShowUI);
    EXPECT_EQ(showUi->ShowHelp(parent.Get(), nullptr, 0, 0, POINT{}, nullptr), S_OK);
    showUi->Release();
    handler->Release();
}

// Counts every operation a call reaches.
class CountingHost : public NullHost {
public:
    bool IsCustomBrowser() override { return ++nCalls, true; }
    void IdleLogout() override { ++nCalls; }
    void CustomFunction() override { ++nCalls; }
    void CustomFunctionWithParams(const std::string&, int32_t) override { ++nCalls; }
    void OpenPortalPopup(const PortalPopupRequest&) override { ++nCalls; }
    void ShowPortalWindow(const PortalPopupRequest&) override { ++nCalls; }
    void ShowChatList() override { ++nCalls; }
    void ReLogin() override { ++nCalls; }
    void CloseActiveWindow() override { ++nCalls; }
    int nCalls = 0;
};

TEST(CustomControlSiteTest, PagesGetTheScriptObjectThroughTheirOwnGate) {
    CountingHost host;
    CScriptExternal external(host, "127.0.0.1");
    {
        SiteRef site(nullptr, &external);
        EXPECT_EQ(ComRefCount(external), 1u); // the site holds it
        auto* handler = site.Query<IDocHostUIHandler>(kIidDocHostUIHandler);
        IDispatch* got = nullptr;
        EXPECT_EQ(handler->GetExternal(&got), S_OK);
        ASSERT_NE(got, nullptr);
        // Each page gets an object of its own, which holds the script object and the site, and answers
        // as one COM object.
        EXPECT_NE(got, static_cast<IDispatch*>(&external));
        EXPECT_EQ(ComRefCount(external), 2u);
        IUnknown* unknown = nullptr;
        ASSERT_EQ(got->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&unknown)), S_OK);
        EXPECT_EQ(unknown, static_cast<IUnknown*>(got));
        unknown->Release();

        // It knows the names; but a browser that shows no page is not the portal, so every function is
        // refused and nothing happens, whatever the arguments.
        DISPID id = 0;
        LPOLESTR name = const_cast<LPOLESTR>(L"CB_ShowModelessDialog");
        EXPECT_EQ(got->GetIDsOfNames(IID_NULL, &name, 1, 0, &id), S_OK);
        EXPECT_EQ(id, kScriptShowModelessDialog);
        for (DISPID fn = kFirstScriptFunction; fn <= kLastScriptFunction; ++fn) {
            DISPPARAMS none{};
            VARIANT result;
            ::VariantInit(&result);
            EXPECT_EQ(
                got->Invoke(fn, IID_NULL, 0, DISPATCH_METHOD | DISPATCH_PROPERTYGET, &none, &result, nullptr, nullptr),
                E_ACCESSDENIED)
                << fn;
            EXPECT_EQ(result.vt, VT_EMPTY);
        }
        EXPECT_EQ(host.nCalls, 0);
        // The shared object itself still answers its owner.
        DISPPARAMS none{};
        EXPECT_EQ(
            external.Invoke(kScriptShowModelessDialog, IID_NULL, 0, DISPATCH_METHOD, &none, nullptr, nullptr, nullptr),
            S_OK);
        EXPECT_EQ(host.nCalls, 1);

        // The page's object outlives the site's last other holder, and then lets go of both.
        EXPECT_EQ(handler->GetExternal(nullptr), E_POINTER);
        handler->Release();
        site->Detach();
        EXPECT_EQ(got->Invoke(kScriptClose, IID_NULL, 0, DISPATCH_METHOD, &none, nullptr, nullptr, nullptr),
                  E_ACCESSDENIED);
        got->Release();
        EXPECT_EQ(ComRefCount(external), 1u);
    }
    EXPECT_EQ(ComRefCount(external), 0u);
    EXPECT_EQ(host.nCalls, 1);

    // A site made without one gives the page none.
    SiteRef bare(nullptr);
    auto* handler = bare.Query<IDocHostUIHandler>(kIidDocHostUIHandler);
    IDispatch* got = reinterpret_cast<IDispatch*>(1);
    EXPECT_EQ(handler->GetExternal(&got), E_NOTIMPL);
    EXPECT_EQ(got, nullptr);
    handler->Release();

    // The installed manager makes sites that carry its script object.
    CControlSiteManager manager(&external, {});
    CControlSiteManager::Install(&manager);
    CCustomControlSite* made = CControlSiteManager::CreateSiteFor(nullptr, RECT{});
    CControlSiteManager::Install(nullptr);
    ASSERT_NE(made, nullptr);
    void* p = nullptr;
    ASSERT_EQ(made->QueryInterface(kIidDocHostUIHandler, &p), S_OK);
    EXPECT_EQ(static_cast<IDocHostUIHandler*>(p)->GetExternal(&got), S_OK);
    ASSERT_NE(got, nullptr);
    EXPECT_EQ(ComRefCount(external), 2u);
    got->Release();
    static_cast<IUnknown*>(p)->Release();
    made->Release();
    EXPECT_EQ(ComRefCount(external), 0u);
}

// Holds keys down as the keyboard would (the physical state the filter reads) and as this thread sees
// them (Ctrl's shift state), and lets them go again.
class HeldKeys {
public:
    HeldKeys(std::initializer_list<BYTE> keys) : m_keys(keys) {
        Send(false);
        BYTE state[256] = {};
        for (BYTE vk : m_keys)
            state[vk] = 0x80;
        ::SetKeyboardState(state);
    }
    ~HeldKeys() {
        Send(true);
        BYTE state[256] = {};
        ::SetKeyboardState(state);
        // The releases have gone through the input queue before the next case holds its keys.
        EXPECT_TRUE(PumpUntil([this] {
            for (BYTE vk : m_keys)
                if (::GetAsyncKeyState(vk) & 0x8000)
                    return false;
            return true;
        }));
    }

private:
    void Send(bool bUp) {
        std::vector<INPUT> inputs;
        for (BYTE vk : m_keys) {
            INPUT in{};
            in.type = INPUT_KEYBOARD;
            in.ki.wVk = vk;
            in.ki.dwFlags = bUp ? KEYEVENTF_KEYUP : 0;
            inputs.push_back(in);
        }
        if (!inputs.empty())
            ::SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
    }
    std::vector<BYTE> m_keys;
};

TEST(CustomControlSiteTest, KeyFilterReadsTheHeldKeys) {
    SiteRef site(nullptr);
    auto* handler = site.Query<IDocHostUIHandler>(kIidDocHostUIHandler);
    auto translate = [&](UINT message, WPARAM vk) {
        MSG msg{};
        msg.message = message;
        msg.wParam = vk;
        return handler->TranslateAccelerator(&msg, nullptr, 0);
    };

    struct Case {
        std::initializer_list<BYTE> held;
        WPARAM vk;
        HRESULT expected;
    };
    const Case cases[] = {
        {{VK_F5}, VK_F5, S_OK},         {{VK_CONTROL, 'O'}, 'O', S_OK},
        {{VK_CONTROL, 'P'}, 'P', S_OK}, {{VK_CONTROL, 'N'}, 'N', S_OK},
        {{}, VK_ESCAPE, S_OK},          {{}, VK_F5, S_OK}, // let go before its message was handled
        {{'O'}, 'O', S_FALSE},          {{VK_CONTROL, 'A'}, 'A', S_FALSE},
        {{VK_CONTROL}, 'C', S_FALSE},   {{}, 'A', S_FALSE},
        {{}, VK_RETURN, S_FALSE},
    };
    for (const Case& c : cases) {
        HeldKeys held(c.held);
        EXPECT_EQ(translate(WM_KEYDOWN, c.vk), c.expected) << "key " << c.vk;
    }
    // Only key-down messages count.
    {
        HeldKeys held({VK_F5});
        EXPECT_EQ(translate(WM_KEYUP, VK_F5), S_FALSE);
        EXPECT_EQ(translate(WM_CHAR, VK_ESCAPE), S_FALSE);
    }
    EXPECT_EQ(translate(WM_KEYUP, VK_ESCAPE), S_FALSE);
    EXPECT_EQ(handler->TranslateAccelerator(nullptr, nullptr, 0), S_FALSE);
    handler->Release();
}

// What the timer found of the message box.
struct BoxSeen {
    bool bFound = false;
    HWND owner = nullptr;
    std::vector<std::wstring> texts;
    bool bErrorIcon = false;
};
BoxSeen g_box;

BOOL CALLBACK CollectChild(HWND child, LPARAM) {
    wchar_t cls[32] = {};
    ::GetClassNameW(child, cls, 32);
    if (lstrcmpiW(cls, L"Static") != 0)
        return TRUE;
    if ((::GetWindowLongW(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON) {
        const auto icon = reinterpret_cast<HICON>(::SendMessageW(child, STM_GETICON, 0, 0));
        g_box.bErrorIcon = g_box.bErrorIcon || icon == ::LoadIconW(nullptr, IDI_ERROR);
    } else {
        wchar_t text[256] = {};
        ::GetWindowTextW(child, text, 256);
        g_box.texts.push_back(text);
    }
    return TRUE;
}

void CALLBACK InspectBox(HWND, UINT, UINT_PTR id, DWORD) {
    const HWND box = ::FindWindowW(L"#32770", L"Dravel On");
    if (box == nullptr || !::IsWindowVisible(box))
        return;
    ::KillTimer(nullptr, id);
    g_box.bFound = true;
    g_box.owner = ::GetWindow(box, GW_OWNER);
    ::EnumChildWindows(box, &CollectChild, 0);
    ::PostMessageW(box, WM_COMMAND, IDOK, 0);
}

TEST(CustomControlSiteTest, AlertsBecomeOurErrorBox) {
    CTestWindow parent(L"page");
    SiteRef site(parent.Get());
    auto* showUi = site.Query<IDocHostShowUI>(kIidDocHostShowUI);
    ASSERT_NE(showUi, nullptr);

    g_box = BoxSeen{};
    // Korean survives; a character code page 949 lacks becomes "?".
    OLECHAR text[] = L"\uC8FC\uBB38 \uC644\uB8CC \u0E01!";
    OLECHAR caption[] = L"Microsoft Internet Explorer";
    LRESULT result = 12345;
    const UINT_PTR timer = ::SetTimer(nullptr, 0, 50, InspectBox);
    const DWORD started = ::GetTickCount();
    EXPECT_EQ(showUi->ShowMessage(parent.Get(), text, caption, MB_YESNO | MB_ICONQUESTION, nullptr, 0, &result), S_OK);
    ::KillTimer(nullptr, timer);
    EXPECT_LT(::GetTickCount() - started, 5000u);
    ASSERT_TRUE(g_box.bFound) << "no box captioned Dravel On";
    EXPECT_EQ(g_box.owner, parent.Get());
    EXPECT_TRUE(g_box.bErrorIcon);
    bool bText = false;
    for (const std::wstring& t : g_box.texts)
        bText = bText || t == L"\uC8FC\uBB38 \uC644\uB8CC ?!";
    EXPECT_TRUE(bText);
    EXPECT_EQ(result, 12345);

    // An owner that is gone and no text at all still give a box, not a failure.
    g_box = BoxSeen{};
    HWND gone = nullptr;
    {
        CTestWindow temp(L"gone");
        gone = temp.Get();
    }
    const UINT_PTR again = ::SetTimer(nullptr, 0, 50, InspectBox);
    EXPECT_EQ(showUi->ShowMessage(gone, nullptr, nullptr, 0, nullptr, 0, nullptr), S_OK);
    ::KillTimer(nullptr, again);
    EXPECT_TRUE(g_box.bFound);
    showUi->Release();
}

// What the timer found of the open menu.
struct MenuSeen {
    bool bOpen = false;
    std::vector<std::wstring> labels;
    std::vector<UINT> ids;
    RECT rect{};
    bool bChooseSecond = false;
};
MenuSeen g_menu;

void CALLBACK InspectMenu(HWND, UINT, UINT_PTR id, DWORD) {
    const HWND menuWindow = ::FindWindowW(L"#32768", nullptr);
    if (menuWindow == nullptr || !::IsWindowVisible(menuWindow))
        return;
    ::KillTimer(nullptr, id);
    g_menu.bOpen = true;
    ::GetWindowRect(menuWindow, &g_menu.rect);
    const auto menu = reinterpret_cast<HMENU>(::SendMessageW(menuWindow, MN_GETHMENU, 0, 0));
    for (int i = 0; menu != nullptr && i < ::GetMenuItemCount(menu); ++i) {
        wchar_t text[64] = {};
        ::GetMenuStringW(menu, static_cast<UINT>(i), text, 64, MF_BYPOSITION);
        g_menu.labels.push_back(text);
        g_menu.ids.push_back(::GetMenuItemID(menu, i));
    }
    if (g_menu.bChooseSecond) {
        ::PostMessageW(menuWindow, WM_KEYDOWN, VK_DOWN, 0);
        ::PostMessageW(menuWindow, WM_KEYDOWN, VK_DOWN, 0);
        ::PostMessageW(menuWindow, WM_KEYDOWN, VK_RETURN, 0);
    } else {
        ::PostMessageW(menuWindow, WM_KEYDOWN, VK_ESCAPE, 0);
    }
}

TEST(CustomControlSiteTest, RightClickShowsThePortalMenuToTheMainWindow) {
    CTestWindow parent(L"page");
    CTestWindow mainWindow(L"main");
    HWND owner = mainWindow.Get();
    SiteRef site(parent.Get(), nullptr, [&] { return owner; });
    auto* handler = site.Query<IDocHostUIHandler>(kIidDocHostUIHandler);
    ASSERT_NE(handler, nullptr);

    g_menu = MenuSeen{};
    g_menu.bChooseSecond = true;
    POINT pt{200, 150};
    UINT_PTR timer = ::SetTimer(nullptr, 0, 50, InspectMenu);
    const DWORD started = ::GetTickCount();
    EXPECT_EQ(handler->ShowContextMenu(CONTEXT_MENU_DEFAULT, &pt, nullptr, nullptr), S_OK);
    ::KillTimer(nullptr, timer);
    EXPECT_LT(::GetTickCount() - started, 5000u);
    ASSERT_TRUE(g_menu.bOpen) << "the portal menu did not open";
    EXPECT_EQ(g_menu.labels, (std::vector<std::wstring>{L"Order", L"Chatting", L"Information", L"Notice", L"QnA"}));
    EXPECT_EQ(g_menu.ids, (std::vector<UINT>{ID_PORTAL_ORDER, ID_PORTAL_CHATTING, ID_PORTAL_INFORMATION,
                                             ID_PORTAL_NOTICE, ID_PORTAL_QNA}));
    EXPECT_EQ(g_menu.rect.left, pt.x);
    EXPECT_EQ(g_menu.rect.top, pt.y);
    EXPECT_TRUE(PumpUntil([&] { return !g_commands[mainWindow.Get()].empty(); }));
    EXPECT_EQ(g_commands[mainWindow.Get()], std::vector<UINT>{ID_PORTAL_CHATTING});
    EXPECT_TRUE(g_commands[parent.Get()].empty());

    // Dismissed, it sends nothing. Without a main window the page's own window gets the menu.
    owner = nullptr;
    g_menu = MenuSeen{};
    timer = ::SetTimer(nullptr, 0, 50, InspectMenu);
    EXPECT_EQ(handler->ShowContextMenu(CONTEXT_MENU_TEXTSELECT, &pt, nullptr, nullptr), S_OK);
    ::KillTimer(nullptr, timer);
    EXPECT_TRUE(g_menu.bOpen);
    g_menu = MenuSeen{};
    g_menu.bChooseSecond = true;
    timer = ::SetTimer(nullptr, 0, 50, InspectMenu);
    EXPECT_EQ(handler->ShowContextMenu(CONTEXT_MENU_DEFAULT, &pt, nullptr, nullptr), S_OK);
    ::KillTimer(nullptr, timer);
    EXPECT_TRUE(PumpUntil([&] { return !g_commands[parent.Get()].empty(); }));
    EXPECT_EQ(g_commands[parent.Get()], std::vector<UINT>{ID_PORTAL_CHATTING});
    EXPECT_EQ(g_commands[mainWindow.Get()].size(), 1u);

    // With no window at all there is nothing to show the menu to; the browser's is still suppressed.
    SiteRef detached(nullptr);
    auto* lone = detached.Query<IDocHostUIHandler>(kIidDocHostUIHandler);
    EXPECT_EQ(lone->ShowContextMenu(CONTEXT_MENU_DEFAULT, nullptr, nullptr, nullptr), S_OK);
    lone->Release();
    handler->Release();
}

} // namespace
