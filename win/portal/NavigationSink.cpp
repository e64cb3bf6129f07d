#include "win/portal/NavigationSink.h"

#include "win/base/Text.h"
#include "core/portal/PageOrigin.h"
#include "core/portal/PortalMenu.h"

#include <exdisp.h>
#include <exdispid.h>
#include <shellapi.h>

#include <new>

namespace dravel::win {

namespace {

// The engine's new-window flags that say the user asked: a click or key press, or "open in new window".
constexpr LONG kNewWindowUserInitiated = 0x2;
constexpr LONG kNewWindowUserRequested = 0x80;

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

LONG ReadFlags(const VARIANT& v) {
    const VARIANT* p = Deref(v);
    switch (p->vt) {
    case VT_I4:
    case VT_UI4:
    case VT_INT:
    case VT_UINT:
        return p->lVal;
    default:
        return 0;
    }
}

void SetCancel(VARIANT& v, bool bCancel) {
    if (v.vt == (VT_BYREF | VT_BOOL) && v.pboolVal != nullptr)
        *v.pboolVal = bCancel ? VARIANT_TRUE : VARIANT_FALSE;
}

// The engine's address as the rule reads it. An address that code page 949 cannot carry exactly is
// given as empty text (which nothing allows): the rule must judge what would really be opened.
std::string RuleText(const std::wstring& url) {
    std::string text = WideToCp949(url);
    if (Cp949ToWide(text) != url)
        text.clear();
    return text;
}

void OpenInDefaultBrowser(const std::wstring& url) {
    SHELLEXECUTEINFOW sei{};
    sei.cbSize = sizeof(sei);
    sei.fMask = SEE_MASK_FLAG_NO_UI;
    sei.lpVerb = L"open";
    sei.lpFile = url.c_str();
    sei.nShow = SW_SHOWNORMAL;
    ::ShellExecuteExW(&sei);
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
                                 UserActivatedFn userActivated) noexcept
    : m_strPortalHost(std::move(portalHost)), m_pHost(pHost), m_hwndOwner(hwndOwner),
      m_userActivated(std::move(userActivated)) {}

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
    m_userActivated = nullptr;
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
        if (dispIdMember == DISPID_BEFORENAVIGATE2)
            OnBeforeNavigate(*pDispParams);
        else if (dispIdMember == DISPID_NEWWINDOW3)
            OnNewWindow(*pDispParams);
    } catch (...) {
        // Out of memory while judging: the event's Cancel was set first, so nothing happens.
    }
    Release();
    return S_OK;
}

// BeforeNavigate2(pDisp, URL, Flags, TargetFrameName, PostData, Headers, Cancel): the arguments come last
// first, so Cancel is element 0 and pDisp element 6.
void CNavigationSink::OnBeforeNavigate(DISPPARAMS& params) {
    if (params.cArgs < 7)
        return;
    VARIANT& cancel = params.rgvarg[0];
    SetCancel(cancel, true);
    std::wstring url;
    if (m_pControl == nullptr || !ReadText(params.rgvarg[5], url))
        return;
    const VARIANT* disp = Deref(params.rgvarg[6]);
    const bool bPage = disp->vt == VT_DISPATCH && IsSameObject(m_pControl, disp->pdispVal);
    const std::string text = RuleText(url);
    const bool bUser = m_userActivated && m_userActivated();
    switch (DecideNavigation({text, bPage ? NavigationKind::Page : NavigationKind::Frame, bUser}, m_strPortalHost)) {
    case NavigationDecision::Allow:
        SetCancel(cancel, false);
        break;
    case NavigationDecision::OpenInDefaultBrowser:
        OpenInDefaultBrowser(url);
        break;
    case NavigationDecision::OpenPortalWindow:
    case NavigationDecision::Refuse:
        break;
    }
}

// NewWindow3(ppDisp, Cancel, dwFlags, bstrUrlContext, bstrUrl): bstrUrl is element 0, Cancel element 3.
void CNavigationSink::OnNewWindow(DISPPARAMS& params) {
    if (params.cArgs < 5)
        return;
    // The engine never opens a window of its own: whatever is opened, we open.
    SetCancel(params.rgvarg[3], true);
    std::wstring url;
    if (m_pControl == nullptr || !ReadText(params.rgvarg[0], url))
        return;
    const LONG flags = ReadFlags(params.rgvarg[2]);
    const bool bUser = (flags & (kNewWindowUserInitiated | kNewWindowUserRequested)) != 0 ||
                       (m_userActivated && m_userActivated());
    const std::string text = RuleText(url);
    switch (DecideNavigation({text, NavigationKind::NewWindow, bUser}, m_strPortalHost)) {
    case NavigationDecision::OpenPortalWindow:
        if (m_pHost != nullptr)
            m_pHost->OpenPortalPopup(PortalNewWindowRequestFor(text, WorkAreaOf(m_hwndOwner)));
        break;
    case NavigationDecision::OpenInDefaultBrowser:
        OpenInDefaultBrowser(url);
        break;
    case NavigationDecision::Allow:
    case NavigationDecision::Refuse:
        break;
    }
}

} // namespace dravel::win
