#include "win/portal/NavigationSink.h"

#include "win/base/Text.h"
#include "win/ui/DefaultBrowser.h"
#include "core/portal/PageOrigin.h"
#include "core/portal/PortalMenu.h"

#include <exdisp.h>
#include <exdispid.h>

#include <new>

namespace dravel::win {

namespace {

// An argument as the event gives it: by value or through a reference to a VARIANT.
const VARIANT* Deref(const VARIANT& v) {
    if (v.vt == (VT_BYREF | VT_VARIANT) && v.pvarVal != nullptr)
        return v.pvarVal;
    return &v;
}

// The text of a BSTR argument; false for anything else.
bool ReadText(const VARIANT& v, std::wstring& text) {
    const VARIANT* p = Deref(v);
    if (p->vt == VT_BSTR) {
        text.assign(p->bstrVal != nullptr ? p->bstrVal : L"", p->bstrVal != nullptr ? ::SysStringLen(p->bstrVal) : 0);
        return true;
    }
    if (p->vt == (VT_BYREF | VT_BSTR) && p->pbstrVal != nullptr) {
        const BSTR b = *p->pbstrVal;
        text.assign(b != nullptr ? b : L"", b != nullptr ? ::SysStringLen(b) : 0);
        return true;
    }
    return false;
}

void SetCancel(VARIANT& v, bool bCancel) {
    if (v.vt == (VT_BYREF | VT_BOOL) && v.pboolVal != nullptr)
        *v.pboolVal = bCancel ? VARIANT_TRUE : VARIANT_FALSE;
}

// Every cancel flag the event carries is set before anything is read: an event that turns out short, or
// whose judging fails, goes nowhere. (Cancel is the only by-reference boolean of these events.)
void CancelFirst(DISPPARAMS& params) {
    for (UINT i = 0; i < params.cArgs; ++i)
        SetCancel(params.rgvarg[i], true);
}

// The engine's address as the rule reads it. An address that code page 949 cannot carry exactly is
// given as empty text (which nothing allows): the rule must judge what would really be opened.
std::string RuleText(const std::wstring& url) {
    return WideToCp949Exact(url).value_or(std::string());
}

ScreenRect WorkAreaOf(HWND hwnd) {
    MONITORINFO info{};
    info.cbSize = sizeof(info);
    const HMONITOR monitor = ::MonitorFromWindow(hwnd, MONITOR_DEFAULTTOPRIMARY);
    if (monitor == nullptr || !::GetMonitorInfoW(monitor, &info))
        return {0, 0, ::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN)};
    return {info.rcWork.left, info.rcWork.top, info.rcWork.right, info.rcWork.bottom};
}

// Whether pDisp is the control itself (its own page) rather than one of its frames.
bool IsSameObject(IUnknown* pControl, IDispatch* pDisp) {
    if (pControl == nullptr || pDisp == nullptr)
        return false;
    IUnknown* identity = nullptr;
    if (FAILED(pDisp->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&identity))) || identity == nullptr)
        return false;
    const bool bSame = identity == pControl;
    identity->Release();
    return bSame;
}

} // namespace

CNavigationSink::CNavigationSink(std::string portalHost, ScriptHost* pHost, HWND hwndOwner,
                                 UserGesture* pGesture) noexcept
    : m_strPortalHost(std::move(portalHost)), m_pHost(pHost), m_hwndOwner(hwndOwner), m_pGesture(pGesture) {}

CNavigationSink::~CNavigationSink() {
    Disconnect();
}

bool CNavigationSink::Connect(IUnknown* pControl) {
    Unadvise();
    if (pControl == nullptr)
        return false;
    IConnectionPointContainer* container = nullptr;
    if (FAILED(pControl->QueryInterface(IID_IConnectionPointContainer, reinterpret_cast<void**>(&container))) ||
        container == nullptr)
        return false;
    IConnectionPoint* point = nullptr;
    const HRESULT hr = container->FindConnectionPoint(DIID_DWebBrowserEvents2, &point);
    container->Release();
    if (FAILED(hr) || point == nullptr)
        return false;
    DWORD cookie = 0;
    if (FAILED(point->Advise(static_cast<IDispatch*>(this), &cookie))) {
        point->Release();
        return false;
    }
    IUnknown* identity = nullptr;
    if (FAILED(pControl->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&identity))) || identity == nullptr) {
        point->Unadvise(cookie);
        point->Release();
        return false;
    }
    identity->Release(); // kept uncounted: only compared
    m_pControl = identity;
    m_pPoint = point;
    m_nCookie = cookie;
    return true;
}

void CNavigationSink::Disconnect() noexcept {
    m_pHost = nullptr;
    m_pGesture = nullptr;
    Unadvise();
}

void CNavigationSink::Unadvise() noexcept {
    m_pControl = nullptr;
    if (m_pPoint != nullptr) {
        IConnectionPoint* point = m_pPoint;
        m_pPoint = nullptr;
        point->Unadvise(m_nCookie);
        point->Release();
    }
}

STDMETHODIMP CNavigationSink::QueryInterface(REFIID riid, void** ppv) {
    if (ppv == nullptr)
        return E_POINTER;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDispatch) ||
        IsEqualIID(riid, DIID_DWebBrowserEvents2)) {
        *ppv = static_cast<IDispatch*>(this);
        AddRef();
        return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) CNavigationSink::AddRef() {
    return static_cast<ULONG>(::InterlockedIncrement(&m_nRefs));
}

STDMETHODIMP_(ULONG) CNavigationSink::Release() {
    const LONG refs = ::InterlockedDecrement(&m_nRefs);
    if (refs == 0)
        delete this;
    return static_cast<ULONG>(refs);
}

STDMETHODIMP CNavigationSink::GetTypeInfoCount(UINT* pctinfo) {
    if (pctinfo == nullptr)
        return E_POINTER;
    *pctinfo = 0;
    return S_OK;
}

STDMETHODIMP CNavigationSink::GetTypeInfo(UINT, LCID, ITypeInfo** ppTInfo) {
    if (ppTInfo != nullptr)
        *ppTInfo = nullptr;
    return DISP_E_BADINDEX;
}

STDMETHODIMP CNavigationSink::GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) {
    return DISP_E_UNKNOWNNAME;
}

STDMETHODIMP CNavigationSink::Invoke(DISPID dispIdMember, REFIID, LCID, WORD, DISPPARAMS* pDispParams, VARIANT*,
                                     EXCEPINFO*, UINT*) {
    if (pDispParams == nullptr || (pDispParams->cArgs > 0 && pDispParams->rgvarg == nullptr))
        return S_OK;
    // Held for the call: what it opens may close the window that hosts the control.
    AddRef();
    try {
        switch (dispIdMember) {
        case DISPID_BEFORENAVIGATE2:
            OnBeforeNavigate(*pDispParams);
            break;
        case DISPID_NEWWINDOW2: // the older event asks for a window too: never one of the engine's
            CancelFirst(*pDispParams);
            break;
        case DISPID_NEWWINDOW3:
            OnNewWindow(*pDispParams);
            break;
        case DISPID_NAVIGATECOMPLETE2:
            OnNavigated(*pDispParams);
            break;
        default:
            break;
        }
    } catch (...) {
        // Out of memory while judging: the event's Cancel was set first, so nothing happens.
    }
    Release();
    return S_OK;
}

bool CNavigationSink::IsOwnPage(const VARIANT& disp) const {
    const VARIANT* p = Deref(disp);
    return p->vt == VT_DISPATCH && IsSameObject(m_pControl, p->pdispVal);
}

bool CNavigationSink::UserGestured(bool bTake) {
    if (m_pGesture == nullptr)
        return false;
    const uint64_t nNow = ::GetTickCount64();
    return bTake ? m_pGesture->Take(nNow) : m_pGesture->IsPending(nNow);
}

// BeforeNavigate2(pDisp, URL, Flags, TargetFrameName, PostData, Headers, Cancel): the arguments come last
// first, so Cancel is element 0 and pDisp element 6.
void CNavigationSink::OnBeforeNavigate(DISPPARAMS& params) {
    CancelFirst(params);
    std::wstring url;
    if (params.cArgs < 7 || m_pControl == nullptr || !ReadText(params.rgvarg[5], url))
        return;
    VARIANT& cancel = params.rgvarg[0];
    const bool bPage = IsOwnPage(params.rgvarg[6]);
    const std::string text = RuleText(url);
    switch (DecideNavigation({text, bPage ? NavigationKind::Page : NavigationKind::Frame, UserGestured(false)},
                             m_strPortalHost)) {
    case NavigationDecision::Allow:
        SetCancel(cancel, false);
        break;
    case NavigationDecision::OpenInDefaultBrowser:
        if (UserGestured(true))
            OpenInDefaultBrowser(url);
        break;
    case NavigationDecision::OpenPortalWindow:
    case NavigationDecision::Refuse:
        break;
    }
}

// NewWindow3(ppDisp, Cancel, dwFlags, bstrUrlContext, bstrUrl): bstrUrl is element 0. The engine's own
// flags do not count as the user's asking: only the user's clicks and keys seen in the page do.
void CNavigationSink::OnNewWindow(DISPPARAMS& params) {
    // The engine never opens a window of its own: whatever is opened, we open.
    CancelFirst(params);
    std::wstring url;
    if (params.cArgs < 5 || m_pControl == nullptr || !ReadText(params.rgvarg[0], url))
        return;
    const std::string text = RuleText(url);
    switch (DecideNavigation({text, NavigationKind::NewWindow, UserGestured(false)}, m_strPortalHost)) {
    case NavigationDecision::OpenPortalWindow:
        if (m_pHost != nullptr)
            m_pHost->OpenPortalPopup(PortalNewWindowRequestFor(text, WorkAreaOf(m_hwndOwner)));
        break;
    case NavigationDecision::OpenInDefaultBrowser:
        if (UserGestured(true))
            OpenInDefaultBrowser(url);
        break;
    case NavigationDecision::Allow:
    case NavigationDecision::Refuse:
        break;
    }
}

// NavigateComplete2(pDisp, URL): where the page or frame arrived, redirects followed. Judged as a
// navigation of the page alone would be; what is not allowed there is replaced by an empty page (a
// frame that cannot be sent anywhere stays, and its scripts are refused by the page's external object).
void CNavigationSink::OnNavigated(DISPPARAMS& params) {
    std::wstring url;
    if (params.cArgs < 2 || m_pControl == nullptr || !ReadText(params.rgvarg[0], url))
        return;
    const bool bPage = IsOwnPage(params.rgvarg[1]);
    const std::string text = RuleText(url);
    if (DecideNavigation({text, bPage ? NavigationKind::Page : NavigationKind::Frame, false}, m_strPortalHost) ==
        NavigationDecision::Allow)
        return;
    const VARIANT* disp = Deref(params.rgvarg[1]);
    IUnknown* target = bPage ? m_pControl : (disp->vt == VT_DISPATCH ? disp->pdispVal : nullptr);
    IWebBrowser2* browser = nullptr;
    if (target == nullptr || FAILED(target->QueryInterface(IID_IWebBrowser2, reinterpret_cast<void**>(&browser))) ||
        browser == nullptr)
        return;
    BSTR blank = ::SysAllocString(L"about:blank");
    if (blank != nullptr) {
        VARIANT empty;
        ::VariantInit(&empty);
        browser->Navigate(blank, &empty, &empty, &empty, &empty);
        ::SysFreeString(blank);
    }
    browser->Release();
}

} // namespace dravel::win
