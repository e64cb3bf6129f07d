// The control object: its automation interfaces (navigation and the browser's properties), the class
// factory and the module's exports. Its embedding in the host is in InPlace.cpp, its commands in
// PageCommands.cpp.
#include "tests/e2e/testbrowser/TestBrowser.h"

#include "tests/e2e/testbrowser/ComAnswers.h"

#include <new>
#include <utility>

namespace {

HINSTANCE g_hInstance = nullptr;
LONG g_nModuleRefs = 0;

HRESULT AnswerText(BSTR* p, const std::wstring& text) noexcept {
    if (p == nullptr)
        return E_POINTER;
    *p = ::SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    return *p != nullptr ? S_OK : E_OUTOFMEMORY;
}

} // namespace

HINSTANCE ModuleInstance() noexcept {
    return g_hInstance;
}

void ModuleAddRef() noexcept {
    ::InterlockedIncrement(&g_nModuleRefs);
}

void ModuleRelease() noexcept {
    ::InterlockedDecrement(&g_nModuleRefs);
}

CTestBrowser::CTestBrowser() noexcept {
    ModuleAddRef();
    wchar_t value[4] = {};
    m_bNoEvents = ::GetEnvironmentVariableW(L"DRAVELON_TEST_BROWSER_NO_EVENTS", value, 4) == 1 && value[0] == L'1';
}

CTestBrowser::~CTestBrowser() {
    InPlaceDeactivate();
    ReleaseAndClear(m_pClientSite);
    ReleaseAndClear(m_pFrame);
    ModuleRelease();
}

STDMETHODIMP CTestBrowser::QueryInterface(REFIID riid, void** ppv) {
    if (ppv == nullptr)
        return E_POINTER;
    *ppv = nullptr;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDispatch) || IsEqualIID(riid, IID_IWebBrowser) ||
        IsEqualIID(riid, IID_IWebBrowserApp) || IsEqualIID(riid, IID_IWebBrowser2))
        *ppv = static_cast<IWebBrowser2*>(this);
    else if (IsEqualIID(riid, IID_IOleObject))
        *ppv = static_cast<IOleObject*>(this);
    else if (IsEqualIID(riid, IID_IOleWindow) || IsEqualIID(riid, IID_IOleInPlaceObject))
        *ppv = static_cast<IOleInPlaceObject*>(this);
    else if (IsEqualIID(riid, IID_IOleInPlaceActiveObject))
        *ppv = static_cast<IOleInPlaceActiveObject*>(this);
    else if (IsEqualIID(riid, IID_IConnectionPointContainer) && !m_bNoEvents)
        *ppv = static_cast<IConnectionPointContainer*>(this);
    else
        return E_NOINTERFACE;
    AddRef();
    return S_OK;
}

STDMETHODIMP_(ULONG) CTestBrowser::AddRef() {
    return static_cast<ULONG>(::InterlockedIncrement(&m_nRefs));
}

STDMETHODIMP_(ULONG) CTestBrowser::Release() {
    const LONG refs = ::InterlockedDecrement(&m_nRefs);
    if (refs == 0)
        delete this;
    return static_cast<ULONG>(refs);
}

STDMETHODIMP CTestBrowser::GetTypeInfoCount(UINT* pctinfo) {
    return Answer(pctinfo, 0u);
}
STDMETHODIMP CTestBrowser::GetTypeInfo(UINT, LCID, ITypeInfo** ppTInfo) {
    return NotOffered<ITypeInfo*>(ppTInfo);
}
STDMETHODIMP CTestBrowser::GetIDsOfNames(REFIID, LPOLESTR*, UINT cNames, LCID, DISPID* rgDispId) {
    if (rgDispId != nullptr) {
        for (UINT i = 0; i < cNames; ++i)
            rgDispId[i] = DISPID_UNKNOWN;
    }
    return DISP_E_UNKNOWNNAME;
}
STDMETHODIMP CTestBrowser::Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) {
    return DISP_E_MEMBERNOTFOUND;
}

STDMETHODIMP CTestBrowser::GoBack() {
    return E_FAIL; // no history
}
STDMETHODIMP CTestBrowser::GoForward() {
    return E_FAIL;
}
STDMETHODIMP CTestBrowser::GoHome() {
    return E_NOTIMPL;
}
STDMETHODIMP CTestBrowser::GoSearch() {
    return E_NOTIMPL;
}

STDMETHODIMP CTestBrowser::Navigate(BSTR URL, VARIANT*, VARIANT*, VARIANT*, VARIANT*) {
    return Guarded([&] {
        GoTo(URL != nullptr ? std::wstring(URL, ::SysStringLen(URL)) : std::wstring());
        return S_OK;
    });
}

STDMETHODIMP CTestBrowser::Refresh() {
    return S_OK;
}
STDMETHODIMP CTestBrowser::Refresh2(VARIANT*) {
    return S_OK;
}
STDMETHODIMP CTestBrowser::Stop() {
    return S_OK;
}
STDMETHODIMP CTestBrowser::get_Application(IDispatch** ppDisp) {
    return NotOffered<IDispatch*>(ppDisp);
}
STDMETHODIMP CTestBrowser::get_Parent(IDispatch** ppDisp) {
    return NotOffered<IDispatch*>(ppDisp);
}
STDMETHODIMP CTestBrowser::get_Container(IDispatch** ppDisp) {
    return NotOffered<IDispatch*>(ppDisp);
}
STDMETHODIMP CTestBrowser::get_Document(IDispatch** ppDisp) {
    if (ppDisp == nullptr)
        return E_POINTER;
    return Guarded([&] {
        *ppDisp = NewPageDocument(m_strUrl, m_strFocusTag);
        return S_OK;
    });
}
STDMETHODIMP CTestBrowser::get_TopLevelContainer(VARIANT_BOOL* pBool) {
    return Answer(pBool, static_cast<VARIANT_BOOL>(VARIANT_FALSE));
}
STDMETHODIMP CTestBrowser::get_Type(BSTR* Type) {
    return NotOffered<BSTR>(Type);
}

// Place and size belong to the host (SetObjectRects); these only report them.
STDMETHODIMP CTestBrowser::get_Left(LONG* pl) {
    RECT rc{};
    if (m_hwnd != nullptr)
        ::GetWindowRect(m_hwnd, &rc);
    return Answer(pl, static_cast<LONG>(rc.left));
}
STDMETHODIMP CTestBrowser::put_Left(LONG) {
    return E_NOTIMPL;
}
STDMETHODIMP CTestBrowser::get_Top(LONG* pl) {
    RECT rc{};
    if (m_hwnd != nullptr)
        ::GetWindowRect(m_hwnd, &rc);
    return Answer(pl, static_cast<LONG>(rc.top));
}
STDMETHODIMP CTestBrowser::put_Top(LONG) {
    return E_NOTIMPL;
}
STDMETHODIMP CTestBrowser::get_Width(LONG* pl) {
    RECT rc{};
    if (m_hwnd != nullptr)
        ::GetWindowRect(m_hwnd, &rc);
    return Answer(pl, static_cast<LONG>(rc.right - rc.left));
}
STDMETHODIMP CTestBrowser::put_Width(LONG) {
    return E_NOTIMPL;
}
STDMETHODIMP CTestBrowser::get_Height(LONG* pl) {
    RECT rc{};
    if (m_hwnd != nullptr)
        ::GetWindowRect(m_hwnd, &rc);
    return Answer(pl, static_cast<LONG>(rc.bottom - rc.top));
}
STDMETHODIMP CTestBrowser::put_Height(LONG) {
    return E_NOTIMPL;
}
STDMETHODIMP CTestBrowser::get_LocationName(BSTR* LocationName) {
    return Guarded([&] { return AnswerText(LocationName, m_strUrl); });
}
STDMETHODIMP CTestBrowser::get_LocationURL(BSTR* LocationURL) {
    return Guarded([&] { return AnswerText(LocationURL, m_strUrl); });
}
STDMETHODIMP CTestBrowser::get_Busy(VARIANT_BOOL* pBool) {
    return Answer(pBool, static_cast<VARIANT_BOOL>(VARIANT_FALSE));
}

// IWebBrowserApp: the parts of a browser application window, which a control has not.
STDMETHODIMP CTestBrowser::Quit() {
    return E_NOTIMPL;
}
STDMETHODIMP CTestBrowser::ClientToWindow(int*, int*) {
    return E_NOTIMPL;
}
STDMETHODIMP CTestBrowser::PutProperty(BSTR, VARIANT) {
    return E_NOTIMPL;
}
STDMETHODIMP CTestBrowser::GetProperty(BSTR, VARIANT* pvtValue) {
    if (pvtValue != nullptr)
        ::VariantInit(pvtValue);
    return E_NOTIMPL;
}
STDMETHODIMP CTestBrowser::get_Name(BSTR* Name) {
    return Guarded([&] { return AnswerText(Name, L"Dravel On test browser"); });
}
STDMETHODIMP CTestBrowser::get_HWND(SHANDLE_PTR* pHWND) {
    return NotOffered<SHANDLE_PTR>(pHWND);
}
STDMETHODIMP CTestBrowser::get_FullName(BSTR* FullName) {
    return NotOffered<BSTR>(FullName);
}
STDMETHODIMP CTestBrowser::get_Path(BSTR* Path) {
    return NotOffered<BSTR>(Path);
}
STDMETHODIMP CTestBrowser::get_Visible(VARIANT_BOOL* pBool) {
    const bool bVisible = m_hwnd != nullptr && ::IsWindowVisible(m_hwnd);
    return Answer(pBool, static_cast<VARIANT_BOOL>(bVisible ? VARIANT_TRUE : VARIANT_FALSE));
}
STDMETHODIMP CTestBrowser::put_Visible(VARIANT_BOOL Value) {
    if (m_hwnd != nullptr)
        ::ShowWindow(m_hwnd, Value != VARIANT_FALSE ? SW_SHOWNA : SW_HIDE);
    return S_OK;
}
STDMETHODIMP CTestBrowser::get_StatusBar(VARIANT_BOOL* pBool) {
    return Answer(pBool, static_cast<VARIANT_BOOL>(VARIANT_FALSE));
}
STDMETHODIMP CTestBrowser::put_StatusBar(VARIANT_BOOL) {
    return S_OK;
}
STDMETHODIMP CTestBrowser::get_StatusText(BSTR* StatusText) {
    return NotOffered<BSTR>(StatusText);
}
STDMETHODIMP CTestBrowser::put_StatusText(BSTR) {
    return S_OK;
}
STDMETHODIMP CTestBrowser::get_ToolBar(int* Value) {
    return Answer(Value, 0);
}
STDMETHODIMP CTestBrowser::put_ToolBar(int) {
    return S_OK;
}
STDMETHODIMP CTestBrowser::get_MenuBar(VARIANT_BOOL* Value) {
    return Answer(Value, static_cast<VARIANT_BOOL>(VARIANT_FALSE));
}
STDMETHODIMP CTestBrowser::put_MenuBar(VARIANT_BOOL) {
    return S_OK;
}
STDMETHODIMP CTestBrowser::get_FullScreen(VARIANT_BOOL* pbFullScreen) {
    return Answer(pbFullScreen, static_cast<VARIANT_BOOL>(VARIANT_FALSE));
}
STDMETHODIMP CTestBrowser::put_FullScreen(VARIANT_BOOL) {
    return S_OK;
}

STDMETHODIMP CTestBrowser::Navigate2(VARIANT* URL, VARIANT*, VARIANT*, VARIANT*, VARIANT*) {
    if (URL == nullptr)
        return E_POINTER;
    const VARIANT* v = URL;
    if (v->vt == (VT_BYREF | VT_VARIANT) && v->pvarVal != nullptr)
        v = v->pvarVal;
    BSTR url = nullptr;
    if (v->vt == VT_BSTR)
        url = v->bstrVal;
    else if (v->vt == (VT_BYREF | VT_BSTR) && v->pbstrVal != nullptr)
        url = *v->pbstrVal;
    else
        return E_INVALIDARG;
    return Navigate(url, nullptr, nullptr, nullptr, nullptr);
}

STDMETHODIMP CTestBrowser::QueryStatusWB(OLECMDID, OLECMDF* pcmdf) {
    return NotOffered<OLECMDF>(pcmdf);
}
STDMETHODIMP CTestBrowser::ExecWB(OLECMDID, OLECMDEXECOPT, VARIANT*, VARIANT*) {
    return E_NOTIMPL;
}
STDMETHODIMP CTestBrowser::ShowBrowserBar(VARIANT*, VARIANT*, VARIANT*) {
    return E_NOTIMPL;
}
STDMETHODIMP CTestBrowser::get_ReadyState(READYSTATE* plReadyState) {
    // A page "loads" the moment it is navigated to.
    return Answer(plReadyState, m_bNavigated ? READYSTATE_COMPLETE : READYSTATE_UNINITIALIZED);
}
STDMETHODIMP CTestBrowser::get_Offline(VARIANT_BOOL* pbOffline) {
    return Answer(pbOffline, static_cast<VARIANT_BOOL>(VARIANT_FALSE));
}
STDMETHODIMP CTestBrowser::put_Offline(VARIANT_BOOL) {
    return S_OK;
}
STDMETHODIMP CTestBrowser::get_Silent(VARIANT_BOOL* pbSilent) {
    return Answer(pbSilent, static_cast<VARIANT_BOOL>(VARIANT_FALSE));
}
STDMETHODIMP CTestBrowser::put_Silent(VARIANT_BOOL) {
    return S_OK;
}
STDMETHODIMP CTestBrowser::get_RegisterAsBrowser(VARIANT_BOOL* pbRegister) {
    return Answer(pbRegister, static_cast<VARIANT_BOOL>(VARIANT_FALSE));
}
STDMETHODIMP CTestBrowser::put_RegisterAsBrowser(VARIANT_BOOL) {
    return S_OK;
}
STDMETHODIMP CTestBrowser::get_RegisterAsDropTarget(VARIANT_BOOL* pbRegister) {
    return Answer(pbRegister, static_cast<VARIANT_BOOL>(VARIANT_FALSE));
}
STDMETHODIMP CTestBrowser::put_RegisterAsDropTarget(VARIANT_BOOL) {
    return S_OK;
}
STDMETHODIMP CTestBrowser::get_TheaterMode(VARIANT_BOOL* pbRegister) {
    return Answer(pbRegister, static_cast<VARIANT_BOOL>(VARIANT_FALSE));
}
STDMETHODIMP CTestBrowser::put_TheaterMode(VARIANT_BOOL) {
    return S_OK;
}
STDMETHODIMP CTestBrowser::get_AddressBar(VARIANT_BOOL* Value) {
    return Answer(Value, static_cast<VARIANT_BOOL>(VARIANT_FALSE));
}
STDMETHODIMP CTestBrowser::put_AddressBar(VARIANT_BOOL) {
    return S_OK;
}
STDMETHODIMP CTestBrowser::get_Resizable(VARIANT_BOOL* Value) {
    return Answer(Value, static_cast<VARIANT_BOOL>(VARIANT_FALSE));
}
STDMETHODIMP CTestBrowser::put_Resizable(VARIANT_BOOL) {
    return S_OK;
}

void CTestBrowser::GoTo(std::wstring url) {
    // The record is for a test that reads it now and then; one that never does keeps only the newest.
    if (m_vecNavigations.size() >= 1000)
        m_vecNavigations.clear();
    m_vecNavigations.push_back(url);
    m_strUrl = std::move(url);
    m_bNavigated = true;
    if (m_hwnd != nullptr) {
        ::SetWindowTextW(m_hwnd, m_strUrl.c_str());
        ::InvalidateRect(m_hwnd, nullptr, TRUE);
    }
}

namespace {

class CTestBrowserFactory final : public IClassFactory {
public:
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
        if (ppv == nullptr)
            return E_POINTER;
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IClassFactory)) {
            *ppv = static_cast<IClassFactory*>(this);
            AddRef();
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    // One static factory for the module's life.
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }

    STDMETHODIMP CreateInstance(IUnknown* pOuter, REFIID riid, void** ppv) override {
        if (ppv == nullptr)
            return E_POINTER;
        *ppv = nullptr;
        if (pOuter != nullptr)
            return CLASS_E_NOAGGREGATION;
        auto* browser = new (std::nothrow) CTestBrowser;
        if (browser == nullptr)
            return E_OUTOFMEMORY;
        const HRESULT hr = browser->QueryInterface(riid, ppv);
        browser->Release();
        return hr;
    }
    STDMETHODIMP LockServer(BOOL fLock) override {
        if (fLock)
            ModuleAddRef();
        else
            ModuleRelease();
        return S_OK;
    }
};

CTestBrowserFactory g_factory;

} // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE hInstance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        g_hInstance = hInstance;
        ::DisableThreadLibraryCalls(hInstance);
    }
    return TRUE;
}

// Served for the WebBrowser class itself (registered in its place) and for our own (its TreatAs).
extern "C" HRESULT STDAPICALLTYPE DllGetClassObject(REFCLSID rclsid, REFIID riid, void** ppv) {
    if (ppv == nullptr)
        return E_POINTER;
    *ppv = nullptr;
    if (!IsEqualCLSID(rclsid, CLSID_WebBrowser) && !IsEqualCLSID(rclsid, kClsidTestBrowser))
        return CLASS_E_CLASSNOTAVAILABLE;
    return g_factory.QueryInterface(riid, ppv);
}

// The window class's procedure lives in this module: once a window was made, it stays loaded.
extern "C" HRESULT STDAPICALLTYPE DllCanUnloadNow() {
    return g_nModuleRefs == 0 && !WindowClassRegistered() ? S_OK : S_FALSE;
}
