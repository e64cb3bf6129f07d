// The page's external object as a script engine sees it: names to ids, calls with VARIANT arguments in
// the platform's last-first order, and the answers for calls that do not fit.

#include "win/portal/ScriptExternal.h"
#include "win/portal/CustomControlSite.h"
#include "tests/core/support/RecordingScriptHost.h"

#include "support/ComRefCount.h"

#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <vector>

using namespace dravel;
using namespace dravel::win;
using dravel::win::test::ComRefCount;

namespace {

const std::string kKorean949 = "\xC7\xD1\xB1\xDB"; // "한글"
const wchar_t kKoreanWide[] = L"\uD55C\uAE00";
// What a script engine asks for when it hopes for more than IDispatch.
constexpr GUID kIidDispatchEx = {0xA6EF9860, 0xC720, 0x11D0, {0x93, 0x37, 0x00, 0xA0, 0xC9, 0x0D, 0xCA, 0xA9}};

using FakeHost = dravel::testing::RecordingScriptHost;

// VARIANT arguments owned by the test, handed over last-first.
class Args {
public:
    ~Args() {
        for (VARIANT& v : m_vars)
            ::VariantClear(&v);
    }
    Args& Text(const wchar_t* s) {
        VARIANT v;
        ::VariantInit(&v);
        v.vt = VT_BSTR;
        v.bstrVal = ::SysAllocString(s);
        return Push(v);
    }
    Args& I4(LONG n) {
        VARIANT v;
        ::VariantInit(&v);
        v.vt = VT_I4;
        v.lVal = n;
        return Push(v);
    }
    Args& Of(VARIANT v) { return Push(v); }

    DISPPARAMS* Params() {
        m_lastFirst.assign(m_vars.rbegin(), m_vars.rend());
        m_params.rgvarg = m_lastFirst.empty() ? nullptr : m_lastFirst.data();
        m_params.cArgs = static_cast<UINT>(m_lastFirst.size());
        m_params.rgdispidNamedArgs = nullptr;
        m_params.cNamedArgs = 0;
        return &m_params;
    }

private:
    Args& Push(VARIANT v) {
        m_vars.push_back(v);
        return *this;
    }
    std::vector<VARIANT> m_vars;
    std::vector<VARIANT> m_lastFirst; // shallow copies: the strings stay owned by m_vars
    DISPPARAMS m_params{};
};

VARIANT Make(VARTYPE vt) {
    VARIANT v;
    ::VariantInit(&v);
    v.vt = vt;
    return v;
}

class ScriptExternalTest : public ::testing::Test {
protected:
    FakeHost host;
    CScriptExternal external{host, "h"}; // pop-ups open only on host "h"

    HRESULT Call(DISPID id, Args& args, VARIANT* result = nullptr, WORD flags = DISPATCH_METHOD,
                 UINT* argErr = nullptr) {
        return external.Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, args.Params(), result, nullptr, argErr);
    }
    HRESULT IdOf(const wchar_t* name, DISPID& id) {
        LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
        return external.GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
    }
};

TEST_F(ScriptExternalTest, NamesGetTheirIds) {
    const wchar_t* known[] = {L"CB_IsOurCustomBrowser",       L"CB_Close",        L"CB_CustomFunction",
                              L"CB_CustomFunctionWithParams", L"CB_OpenWindow",   L"CB_ShowModalDialog",
                              L"CB_ShowModelessDialog",       L"CB_OpenDlgLogin", L"CB_CloseWindow"};
    for (int i = 0; i < 9; ++i) {
        DISPID id = 0;
        EXPECT_EQ(IdOf(known[i], id), S_OK) << i;
        EXPECT_EQ(id, i + 1);
    }
    DISPID id = 0;
    EXPECT_EQ(IdOf(L"cb_close", id), DISP_E_UNKNOWNNAME);
    EXPECT_EQ(id, -1);
    EXPECT_EQ(IdOf(kKoreanWide, id), DISP_E_UNKNOWNNAME);
    // A name with a character code page 949 lacks must not turn into one of ours.
    EXPECT_EQ(IdOf(L"CB_Clos\u0E01", id), DISP_E_UNKNOWNNAME);

    // Several names at once: each gets its answer; one unknown name makes the call report it.
    LPOLESTR mixed[] = {const_cast<LPOLESTR>(L"CB_OpenWindow"), const_cast<LPOLESTR>(L"CB_CLOSE"), nullptr,
                        const_cast<LPOLESTR>(L"CB_CloseWindow")};
    DISPID ids[4] = {0, 0, 0, 0};
    EXPECT_EQ(external.GetIDsOfNames(IID_NULL, mixed, 4, 0, ids), DISP_E_UNKNOWNNAME);
    EXPECT_EQ(ids[0], 5);
    EXPECT_EQ(ids[1], -1);
    EXPECT_EQ(ids[2], -1);
    EXPECT_EQ(ids[3], 9);
    EXPECT_EQ(external.GetIDsOfNames(IID_NULL, mixed, 1, 0, ids), S_OK);
    EXPECT_EQ(external.GetIDsOfNames(IID_NULL, nullptr, 1, 0, ids), E_POINTER);
    EXPECT_EQ(external.GetIDsOfNames(IID_NULL, mixed, 1, 0, nullptr), E_POINTER);
    EXPECT_TRUE(host.calls.empty());
}

TEST_F(ScriptExternalTest, CallsReachTheHostWithTheirArguments) {
    Args open;
    open.Text((std::wstring(L"http://h/sm/a.asp?q=") + kKoreanWide).c_str()).I4(-10).I4(20);
    VARIANT width = Make(VT_R8); // script engines pass computed integers as doubles
    width.dblVal = 300.0;
    VARIANT height = Make(VT_I2);
    height.iVal = 400;
    open.Of(width).Of(height).Text(L"not used");
    EXPECT_EQ(Call(5, open), S_OK);
    ASSERT_EQ(host.windows.size(), 1u);
    EXPECT_EQ(host.windows[0].strUrl, "http://h/sm/a.asp?q=" + kKorean949);
    EXPECT_EQ(host.windows[0].nLeft, -10);
    EXPECT_EQ(host.windows[0].nTop, 20);
    EXPECT_EQ(host.windows[0].nWidth, 300);
    EXPECT_EQ(host.windows[0].nHeight, 400);

    Args modal;
    LONG byRef = 7;
    VARIANT ref = Make(VT_I4 | VT_BYREF);
    ref.plVal = &byRef;
    modal.Text(L"/sm/u.asp").I4(1).Of(ref).I4(3).I4(4);
    EXPECT_EQ(Call(6, modal), S_OK);
    ASSERT_EQ(host.windows.size(), 2u);
    EXPECT_EQ(host.windows[1].nTop, 7);
    EXPECT_EQ(host.windows[1].strUrl, "http://h/sm/u.asp"); // a path opens on the portal

    Args params;
    params.Text(kKoreanWide).I4(42);
    EXPECT_EQ(Call(4, params), S_OK);
    EXPECT_EQ(host.strText, kKorean949);
    EXPECT_EQ(host.nNumber, 42);

    Args none;
    for (DISPID id : {2, 3, 7, 8, 9})
        EXPECT_EQ(Call(id, none), S_OK);
    EXPECT_EQ(external.Invoke(7, IID_NULL, 0, DISPATCH_METHOD, nullptr, nullptr, nullptr, nullptr), S_OK);
    const std::vector<std::string> expected = {"OpenPortalPopup", "ShowPortalWindow",  "CustomFunctionWithParams",
                                               "IdleLogout",      "CustomFunction",    "ShowChatList",
                                               "ReLogin",         "CloseActiveWindow", "ShowChatList"};
    EXPECT_EQ(host.calls, expected);
}

TEST_F(ScriptExternalTest, ResultsAreBooleanTrue) {
    Args none;
    VARIANT result = Make(VT_EMPTY);
    EXPECT_EQ(Call(1, none, &result), S_OK);
    EXPECT_EQ(result.vt, VT_BOOL);
    EXPECT_EQ(result.boolVal, VARIANT_TRUE);
    EXPECT_EQ(host.calls, std::vector<std::string>{"IsCustomBrowser"});

    // Reading any function as a property gives true and does nothing.
    for (DISPID id = 1; id <= 9; ++id) {
        result = Make(VT_EMPTY);
        EXPECT_EQ(Call(id, none, &result, DISPATCH_PROPERTYGET), S_OK);
        EXPECT_EQ(result.vt, VT_BOOL) << id;
        EXPECT_EQ(result.boolVal, VARIANT_TRUE) << id;
    }
    EXPECT_EQ(host.calls.size(), 1u);

    // A plain method call has no value; ids that are none of ours answer S_OK and do nothing.
    result = Make(VT_EMPTY);
    EXPECT_EQ(Call(2, none, &result), S_OK);
    EXPECT_EQ(result.vt, VT_EMPTY);
    for (DISPID id : {0, 10, -1, DISPID_VALUE, 0x7FFFFFFF}) {
        EXPECT_EQ(Call(id, none, &result, DISPATCH_METHOD | DISPATCH_PROPERTYGET), S_OK);
        EXPECT_EQ(result.vt, VT_EMPTY);
    }
    EXPECT_EQ(host.calls.size(), 2u);
}

TEST_F(ScriptExternalTest, CallsThatDoNotFitAreRefused) {
    UINT argErr = 99;
    VARIANT result = Make(VT_EMPTY);
    Args none;
    EXPECT_EQ(Call(5, none, &result, DISPATCH_METHOD | DISPATCH_PROPERTYGET), DISP_E_BADPARAMCOUNT);
    EXPECT_EQ(result.vt, VT_EMPTY);
    EXPECT_EQ(external.Invoke(4, IID_NULL, 0, DISPATCH_METHOD, nullptr, nullptr, nullptr, nullptr),
              DISP_E_BADPARAMCOUNT);
    Args few;
    few.Text(L"u").I4(1).I4(2).I4(3);
    EXPECT_EQ(Call(6, few), DISP_E_BADPARAMCOUNT);

    // A number where the text goes; text, a fraction, a boolean or a too-large number where a number goes.
    Args swapped;
    swapped.I4(1).I4(2);
    EXPECT_EQ(Call(4, swapped, nullptr, DISPATCH_METHOD, &argErr), DISP_E_TYPEMISMATCH);
    EXPECT_EQ(argErr, 1u);
    VARIANT fraction = Make(VT_R8);
    fraction.dblVal = 2.5;
    VARIANT flag = Make(VT_BOOL);
    flag.boolVal = VARIANT_TRUE;
    VARIANT big = Make(VT_R8);
    big.dblVal = 4294967296.0;
    VARIANT nan = Make(VT_R8);
    nan.dblVal = std::numeric_limits<double>::quiet_NaN();
    VARIANT nullRef = Make(VT_BYREF | VT_VARIANT);
    for (VARIANT bad : {fraction, flag, big, nan, Make(VT_EMPTY), Make(VT_NULL), nullRef}) {
        Args a;
        a.Text(L"u").Of(bad);
        argErr = 99;
        EXPECT_EQ(Call(4, a, nullptr, DISPATCH_METHOD, &argErr), DISP_E_TYPEMISMATCH) << bad.vt;
        EXPECT_EQ(argErr, 0u);
    }
    Args textNumber;
    textNumber.Text(L"u").Text(L"5");
    EXPECT_EQ(Call(4, textNumber), DISP_E_TYPEMISMATCH);

    // A window of negative size.
    Args negative;
    negative.Text(L"u").I4(0).I4(0).I4(-100).I4(10);
    EXPECT_EQ(Call(5, negative, nullptr, DISPATCH_METHOD, &argErr), E_INVALIDARG);
    EXPECT_EQ(argErr, 1u); // the width, fourth of five

    // A pop-up somewhere other than the portal.
    for (const wchar_t* address : {L"file:///C:/", L"\\\\server\\share", L"http://evil.example/", L"u"}) {
        Args away;
        away.Text(address).I4(0).I4(0).I4(100).I4(10);
        argErr = 99;
        EXPECT_EQ(Call(5, away, nullptr, DISPATCH_METHOD, &argErr), E_ACCESSDENIED);
        EXPECT_EQ(argErr, 4u); // the address, first of five
    }

    // Arguments array missing although a count is given.
    DISPPARAMS broken{nullptr, nullptr, 5, 0};
    EXPECT_EQ(external.Invoke(5, IID_NULL, 0, DISPATCH_METHOD, &broken, nullptr, nullptr, nullptr),
              DISP_E_BADPARAMCOUNT);
    EXPECT_TRUE(host.calls.empty());
}

TEST_F(ScriptExternalTest, NamedArgumentsAreSkipped) {
    // The named ones come first in the array, then the positional ones last-first.
    Args args;
    args.Text(L"u").I4(7).I4(123); // 123 stands in for a named argument
    DISPPARAMS* p = args.Params();
    DISPID named = DISPID_PROPERTYPUT;
    p->rgdispidNamedArgs = &named;
    p->cNamedArgs = 1;
    EXPECT_EQ(external.Invoke(4, IID_NULL, 0, DISPATCH_METHOD, p, nullptr, nullptr, nullptr), S_OK);
    EXPECT_EQ(host.strText, "u");
    EXPECT_EQ(host.nNumber, 7);
    p->cNamedArgs = 5; // more named than there are
    EXPECT_EQ(external.Invoke(4, IID_NULL, 0, DISPATCH_METHOD, p, nullptr, nullptr, nullptr), DISP_E_BADPARAMCOUNT);
}

TEST_F(ScriptExternalTest, InterfacesAndCounting) {
    EXPECT_EQ(ComRefCount(external), 0u);
    void* p = nullptr;
    EXPECT_EQ(external.QueryInterface(IID_IDispatch, &p), S_OK);
    EXPECT_EQ(p, static_cast<IDispatch*>(&external));
    EXPECT_EQ(ComRefCount(external), 1u);
    void* unknown = nullptr;
    EXPECT_EQ(external.QueryInterface(IID_IUnknown, &unknown), S_OK);
    EXPECT_EQ(unknown, p);
    for (const IID& other : {kIidDispatchEx, kIidDocHostUIHandler, IID_IOleClientSite, IID_IClassFactory}) {
        void* q = &external;
        EXPECT_EQ(external.QueryInterface(other, &q), E_NOINTERFACE);
        EXPECT_EQ(q, nullptr);
    }
    EXPECT_EQ(external.QueryInterface(IID_IDispatch, nullptr), E_POINTER);
    EXPECT_EQ(external.AddRef(), 3u);
    EXPECT_EQ(external.Release(), 2u);
    EXPECT_EQ(external.Release(), 1u);
    EXPECT_EQ(external.Release(), 0u);
    // The object lives on whatever the count says (it is on this test's stack).
    EXPECT_EQ(external.Release(), 0u);
    EXPECT_EQ(ComRefCount(external), 0u);

    UINT count = 5;
    EXPECT_EQ(external.GetTypeInfoCount(&count), E_NOTIMPL);
    ITypeInfo* info = nullptr;
    EXPECT_EQ(external.GetTypeInfo(0, 0, &info), E_NOTIMPL);
}

// Stands in for the main window behind the program's host adapter.
struct FakeMainWindow {
    std::vector<std::wstring> calls;
    bool IsCustomBrowser() const { return true; }
    void IdleLogout() { calls.push_back(L"IdleLogout"); }
    void CustomFunction() { calls.push_back(L"CustomFunction"); }
    void CustomFunctionWithParams(const std::wstring& text, int n) {
        calls.push_back(text + L"|" + std::to_wstring(n));
    }
    void OpenPortalPopup(const PortalPopupRequest& r) { calls.push_back(L"popup " + std::to_wstring(r.nWidth)); }
    void ShowPortalWindow(const PortalPopupRequest& r) { calls.push_back(L"portal " + std::to_wstring(r.nHeight)); }
    void ShowChatList() { calls.push_back(L"ShowChatList"); }
    void ReLogin() { calls.push_back(L"ReLogin"); }
    void CloseActiveWindow() { calls.push_back(L"CloseActiveWindow"); }
};

TEST(MainWindowScriptHostTest, CallsGoToTheWindowOfTheMoment) {
    FakeMainWindow window;
    FakeMainWindow* current = nullptr;
    CSessionScriptHost<FakeMainWindow> adapter([&] { return current; });
    CScriptExternal external(adapter, "127.0.0.1");

    Args args;
    args.Text(kKoreanWide).I4(-3);
    VARIANT result;
    ::VariantInit(&result);
    // No main window: nothing happens, and the page still learns it is in our browser.
    EXPECT_EQ(external.Invoke(4, IID_NULL, 0, DISPATCH_METHOD, args.Params(), nullptr, nullptr, nullptr), S_OK);
    EXPECT_EQ(external.Invoke(1, IID_NULL, 0, DISPATCH_METHOD, nullptr, &result, nullptr, nullptr), S_OK);
    EXPECT_EQ(result.boolVal, VARIANT_TRUE);

    current = &window;
    EXPECT_EQ(external.Invoke(4, IID_NULL, 0, DISPATCH_METHOD, args.Params(), nullptr, nullptr, nullptr), S_OK);
    Args win;
    win.Text(L"/u").I4(1).I4(2).I4(30).I4(40);
    external.Invoke(5, IID_NULL, 0, DISPATCH_METHOD, win.Params(), nullptr, nullptr, nullptr);
    external.Invoke(6, IID_NULL, 0, DISPATCH_METHOD, win.Params(), nullptr, nullptr, nullptr);
    for (DISPID id : {2, 3, 7, 8, 9})
        external.Invoke(id, IID_NULL, 0, DISPATCH_METHOD, nullptr, nullptr, nullptr, nullptr);
    const std::vector<std::wstring> expected = {std::wstring(kKoreanWide) + L"|-3",
                                                L"popup 30",
                                                L"portal 40",
                                                L"IdleLogout",
                                                L"CustomFunction",
                                                L"ShowChatList",
                                                L"ReLogin",
                                                L"CloseActiveWindow"};
    EXPECT_EQ(window.calls, expected);
}

} // namespace
