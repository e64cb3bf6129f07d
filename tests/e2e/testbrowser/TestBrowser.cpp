#include "TestBrowser.h"

#include <new>
#include <utility>

namespace {

HINSTANCE g_hInstance = nullptr;
LONG g_nModuleRefs = 0;
bool g_bClassRegistered = false;

// What the host's own error handling would see from a control that ran out of memory.
template <typename Fn> HRESULT Guarded(Fn fn) noexcept {
    try {
        return fn();
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (...) {
        return E_UNEXPECTED;
    }
}

template <typename T> void ReleaseAndClear(T*& p) noexcept {
    if (p != nullptr) {
        T* old = p;
        p = nullptr;
        old->Release();
    }
}

// Out-parameters of what we do not offer are cleared, so a host that reads them anyway reads nothing.
template <typename T> HRESULT NotOffered(T* p, T value = T{}) noexcept {
    if (p != nullptr)
        *p = value;
    return E_NOTIMPL;
}

template <typename T> HRESULT Answer(T* p, T value) noexcept {
    if (p == nullptr)
        return E_POINTER;
    *p = value;
    return S_OK;
}

HRESULT AnswerText(BSTR* p, const std::wstring& text) noexcept {
    if (p == nullptr)
        return E_POINTER;
    *p = ::SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    return *p != nullptr ? S_OK : E_OUTOFMEMORY;
}

bool RegisterWindowClass(WNDPROC proc) noexcept {
    if (g_bClassRegistered)
        return true;
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = proc;
    wc.hInstance = g_hInstance;
    wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    wc.lpszClassName = kTestBrowserClass;
    if (::RegisterClassExW(&wc) == 0 && ::GetLastError() != ERROR_CLASS_ALREADY_EXISTS)
        return false;
    g_bClassRegistered = true;
    return true;
}

} // namespace

void ModuleAddRef() noexcept {
    ::InterlockedIncrement(&g_nModuleRefs);
}

void ModuleRelease() noexcept {
    ::InterlockedDecrement(&g_nModuleRefs);
}

CTestBrowser::CTestBrowser() noexcept {
    ModuleAddRef();
}

CTestBrowser::~CTestBrowser() {
    InPlaceDeactivate();
    ReleaseAndClear(m_pClientSite);
    ModuleRelease();
}

// ---- IUnknown ----

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

// ---- IDispatch ----

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

// ---- IWebBrowser ----

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
    return NotOffered<IDispatch*>(ppDisp); // pages run on command; there is no document object
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

// ---- IWebBrowserApp: the parts of a browser application window, which a control has not ----

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

// ---- IWebBrowser2 ----

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

// ---- IOleObject ----

STDMETHODIMP CTestBrowser::SetClientSite(IOleClientSite* pClientSite) {
    if (pClientSite != nullptr)
        pClientSite->AddRef();
    ReleaseAndClear(m_pClientSite);
    m_pClientSite = pClientSite;
    return S_OK;
}

STDMETHODIMP CTestBrowser::GetClientSite(IOleClientSite** ppClientSite) {
    if (ppClientSite == nullptr)
        return E_POINTER;
    *ppClientSite = m_pClientSite;
    if (m_pClientSite != nullptr)
        m_pClientSite->AddRef();
    return S_OK;
}

STDMETHODIMP CTestBrowser::SetHostNames(LPCOLESTR, LPCOLESTR) {
    return S_OK;
}

STDMETHODIMP CTestBrowser::Close(DWORD) {
    InPlaceDeactivate();
    return S_OK;
}

STDMETHODIMP CTestBrowser::SetMoniker(DWORD, IMoniker*) {
    return E_NOTIMPL;
}
STDMETHODIMP CTestBrowser::GetMoniker(DWORD, DWORD, IMoniker** ppmk) {
    return NotOffered<IMoniker*>(ppmk);
}
STDMETHODIMP CTestBrowser::InitFromData(IDataObject*, BOOL, DWORD) {
    return E_NOTIMPL;
}
STDMETHODIMP CTestBrowser::GetClipboardData(DWORD, IDataObject** ppDataObject) {
    return NotOffered<IDataObject*>(ppDataObject);
}

STDMETHODIMP CTestBrowser::DoVerb(LONG iVerb, LPMSG, IOleClientSite* pActiveSite, LONG, HWND hwndParent,
                                  LPCRECT lprcPosRect) {
    switch (iVerb) {
    case OLEIVERB_PRIMARY:
    case OLEIVERB_SHOW:
    case OLEIVERB_OPEN:
    case OLEIVERB_UIACTIVATE:
    case OLEIVERB_INPLACEACTIVATE:
        return Guarded([&] {
            return ActivateInPlace(pActiveSite != nullptr ? pActiveSite : m_pClientSite, hwndParent, lprcPosRect);
        });
    case OLEIVERB_HIDE:
        if (m_hwnd != nullptr)
            ::ShowWindow(m_hwnd, SW_HIDE);
        return S_OK;
    default:
        return OLEOBJ_S_INVALIDVERB;
    }
}

STDMETHODIMP CTestBrowser::EnumVerbs(IEnumOLEVERB** ppEnumOleVerb) {
    if (ppEnumOleVerb != nullptr)
        *ppEnumOleVerb = nullptr;
    return OLE_S_USEREG;
}
STDMETHODIMP CTestBrowser::Update() {
    return S_OK;
}
STDMETHODIMP CTestBrowser::IsUpToDate() {
    return S_OK;
}
STDMETHODIMP CTestBrowser::GetUserClassID(CLSID* pClsid) {
    return Answer(pClsid, CLSID_WebBrowser);
}
STDMETHODIMP CTestBrowser::GetUserType(DWORD, LPOLESTR* pszUserType) {
    if (pszUserType != nullptr)
        *pszUserType = nullptr;
    return OLE_S_USEREG;
}
STDMETHODIMP CTestBrowser::SetExtent(DWORD dwDrawAspect, SIZEL* psizel) {
    if (dwDrawAspect != DVASPECT_CONTENT)
        return DV_E_DVASPECT;
    if (psizel == nullptr)
        return E_POINTER;
    m_sizeExtent = *psizel;
    return S_OK;
}
STDMETHODIMP CTestBrowser::GetExtent(DWORD dwDrawAspect, SIZEL* psizel) {
    if (dwDrawAspect != DVASPECT_CONTENT)
        return DV_E_DVASPECT;
    return Answer(psizel, m_sizeExtent);
}
STDMETHODIMP CTestBrowser::Advise(IAdviseSink*, DWORD* pdwConnection) {
    if (pdwConnection != nullptr)
        *pdwConnection = 0;
    return OLE_E_ADVISENOTSUPPORTED;
}
STDMETHODIMP CTestBrowser::Unadvise(DWORD) {
    return OLE_E_NOCONNECTION;
}
STDMETHODIMP CTestBrowser::EnumAdvise(IEnumSTATDATA** ppenumAdvise) {
    if (ppenumAdvise != nullptr)
        *ppenumAdvise = nullptr;
    return OLE_E_ADVISENOTSUPPORTED;
}
STDMETHODIMP CTestBrowser::GetMiscStatus(DWORD, DWORD* pdwStatus) {
    return Answer(pdwStatus,
                  static_cast<DWORD>(OLEMISC_SETCLIENTSITEFIRST | OLEMISC_ACTIVATEWHENVISIBLE | OLEMISC_INSIDEOUT |
                                     OLEMISC_CANTLINKINSIDE | OLEMISC_RECOMPOSEONRESIZE));
}
STDMETHODIMP CTestBrowser::SetColorScheme(LOGPALETTE*) {
    return E_NOTIMPL;
}

// ---- IOleWindow, IOleInPlaceObject ----

STDMETHODIMP CTestBrowser::GetWindow(HWND* phwnd) {
    if (phwnd == nullptr)
        return E_POINTER;
    *phwnd = m_hwnd;
    return m_hwnd != nullptr ? S_OK : E_FAIL;
}
STDMETHODIMP CTestBrowser::ContextSensitiveHelp(BOOL) {
    return E_NOTIMPL;
}

STDMETHODIMP CTestBrowser::InPlaceDeactivate() {
    if (m_hwnd != nullptr) {
        const HWND hwnd = m_hwnd;
        m_hwnd = nullptr;
        ::DestroyWindow(hwnd);
    }
    if (m_pInPlaceSite != nullptr) {
        IOleInPlaceSite* pSite = m_pInPlaceSite;
        m_pInPlaceSite = nullptr;
        pSite->OnInPlaceDeactivate();
        pSite->Release();
    }
    return S_OK;
}

STDMETHODIMP CTestBrowser::UIDeactivate() {
    return S_OK;
}

STDMETHODIMP CTestBrowser::SetObjectRects(LPCRECT lprcPosRect, LPCRECT) {
    if (lprcPosRect == nullptr)
        return E_POINTER;
    if (m_hwnd != nullptr)
        ::MoveWindow(m_hwnd, lprcPosRect->left, lprcPosRect->top, lprcPosRect->right - lprcPosRect->left,
                     lprcPosRect->bottom - lprcPosRect->top, TRUE);
    return S_OK;
}

STDMETHODIMP CTestBrowser::ReactivateAndUndo() {
    return E_NOTIMPL;
}

// ---- IOleInPlaceActiveObject ----

STDMETHODIMP CTestBrowser::OnFrameWindowActivate(BOOL) {
    return S_OK;
}
STDMETHODIMP CTestBrowser::OnDocWindowActivate(BOOL) {
    return S_OK;
}
STDMETHODIMP CTestBrowser::ResizeBorder(LPCRECT, IOleInPlaceUIWindow*, BOOL) {
    return S_OK;
}
STDMETHODIMP CTestBrowser::EnableModeless(BOOL) {
    return S_OK;
}

// ---- in-place activation and the window ----

// As the real control does: the site must agree, names the parent window and gives the place unless
// the verb did.
HRESULT CTestBrowser::ActivateInPlace(IOleClientSite* pSite, HWND hwndParent, LPCRECT lprcPosRect) {
    if (m_hwnd != nullptr) {
        ::ShowWindow(m_hwnd, SW_SHOWNA);
        if (lprcPosRect != nullptr)
            SetObjectRects(lprcPosRect, lprcPosRect);
        return S_OK;
    }
    if (pSite == nullptr)
        return E_INVALIDARG;
    IOleInPlaceSite* pInPlaceSite = nullptr;
    if (FAILED(pSite->QueryInterface(IID_IOleInPlaceSite, reinterpret_cast<void**>(&pInPlaceSite))) ||
        pInPlaceSite == nullptr)
        return E_NOINTERFACE;
    if (pInPlaceSite->CanInPlaceActivate() != S_OK) {
        pInPlaceSite->Release();
        return OLEOBJ_S_CANNOT_DOVERB_NOW;
    }
    pInPlaceSite->OnInPlaceActivate();
    m_pInPlaceSite = pInPlaceSite;

    HWND hwndSite = nullptr;
    if (FAILED(pInPlaceSite->GetWindow(&hwndSite)) || hwndSite == nullptr)
        hwndSite = hwndParent;
    RECT pos{}, clip{};
    IOleInPlaceFrame* pFrame = nullptr;
    IOleInPlaceUIWindow* pDoc = nullptr;
    OLEINPLACEFRAMEINFO frameInfo{};
    frameInfo.cb = sizeof frameInfo;
    const bool bContext = SUCCEEDED(pInPlaceSite->GetWindowContext(&pFrame, &pDoc, &pos, &clip, &frameInfo));
    ReleaseAndClear(pFrame);
    ReleaseAndClear(pDoc);
    if (lprcPosRect != nullptr)
        pos = *lprcPosRect;
    else if (!bContext)
        ::SetRectEmpty(&pos);

    if (hwndSite == nullptr || !::IsWindow(hwndSite) || !RegisterWindowClass(&CTestBrowser::WindowProc)) {
        InPlaceDeactivate();
        return E_FAIL;
    }
    const HWND hwnd = ::CreateWindowExW(
        0, kTestBrowserClass, m_strUrl.c_str(), WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN, pos.left,
        pos.top, pos.right - pos.left, pos.bottom - pos.top, hwndSite, nullptr, g_hInstance, this);
    if (hwnd == nullptr) {
        InPlaceDeactivate();
        return E_FAIL;
    }
    return S_OK;
}

void CTestBrowser::GoTo(std::wstring url) {
    m_strUrl = std::move(url);
    m_bNavigated = true;
    if (m_hwnd != nullptr) {
        ::SetWindowTextW(m_hwnd, m_strUrl.c_str());
        ::InvalidateRect(m_hwnd, nullptr, TRUE);
    }
}

LRESULT CALLBACK CTestBrowser::WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_NCCREATE) {
        auto* creator = static_cast<CTestBrowser*>(reinterpret_cast<const CREATESTRUCTW*>(lParam)->lpCreateParams);
        ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(creator));
        creator->m_hwnd = hwnd;
    }
    auto* self = reinterpret_cast<CTestBrowser*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (self == nullptr || self->m_hwnd != hwnd)
        return ::DefWindowProcW(hwnd, msg, wParam, lParam);
    try {
        return self->HandleMessage(msg, wParam, lParam);
    } catch (...) {
        return 0; // the host's window goes on; the command that failed says so through its answer
    }
}

LRESULT CTestBrowser::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_PAINT:
        OnPaint();
        return 0;
    case WM_COPYDATA:
        return OnCopyData(reinterpret_cast<HWND>(wParam), reinterpret_cast<const COPYDATASTRUCT*>(lParam));
    case kRunPostedMessage:
        OnRunPosted();
        return 0;
    case WM_KEYDOWN:
        // A key the container let through to the page.
        NoteKey(static_cast<unsigned>(wParam), L"reached");
        return 0;
    case WM_NCDESTROY: {
        // Destroyed by the parent going away rather than by us: nothing may reach the object after this.
        const HWND hwnd = m_hwnd;
        ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
        m_hwnd = nullptr;
        return ::DefWindowProcW(hwnd, msg, wParam, lParam);
    }
    default:
        return ::DefWindowProcW(m_hwnd, msg, wParam, lParam);
    }
}

// The address, so that a screenshot shows which page a window holds.
void CTestBrowser::OnPaint() {
    PAINTSTRUCT ps;
    const HDC dc = ::BeginPaint(m_hwnd, &ps);
    if (dc == nullptr)
        return;
    RECT rc{};
    ::GetClientRect(m_hwnd, &rc);
    ::FillRect(dc, &rc, reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1));
    ::FrameRect(dc, &rc, static_cast<HBRUSH>(::GetStockObject(GRAY_BRUSH)));
    ::InflateRect(&rc, -6, -6);
    const std::wstring text = L"test browser: " + m_strUrl;
    const HGDIOBJ oldFont = ::SelectObject(dc, ::GetStockObject(DEFAULT_GUI_FONT));
    ::SetBkMode(dc, TRANSPARENT);
    ::SetTextColor(dc, ::GetSysColor(COLOR_WINDOWTEXT));
    ::DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &rc, DT_LEFT | DT_TOP | DT_WORDBREAK | DT_NOPREFIX);
    ::SelectObject(dc, oldFont);
    ::EndPaint(m_hwnd, &ps);
}

// ---- the class factory and the module's exports ----

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
    return g_nModuleRefs == 0 && !g_bClassRegistered ? S_OK : S_FALSE;
}
