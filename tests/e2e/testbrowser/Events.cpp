// The control's navigation events: its connection point for DWebBrowserEvents2 and the events as the
// engine raises them, each argument of the type and in the place the real control uses.
#include "tests/e2e/testbrowser/TestBrowser.h"

#include "tests/e2e/testbrowser/ComAnswers.h"

#include <exdispid.h>
#include <olectl.h>

#include <new>

namespace {

// A frame inside the page: what the engine names as pDisp when a frame, not the page, navigates. It
// answers nothing by name; its identity is all a host may compare.
class CFrameObject final : public IDispatch {
public:
    CFrameObject() noexcept { ModuleAddRef(); }
    CFrameObject(const CFrameObject&) = delete;
    CFrameObject& operator=(const CFrameObject&) = delete;

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
        if (ppv == nullptr)
            return E_POINTER;
        *ppv = nullptr;
        if (!IsEqualIID(riid, IID_IUnknown) && !IsEqualIID(riid, IID_IDispatch))
            return E_NOINTERFACE;
        *ppv = static_cast<IDispatch*>(this);
        AddRef();
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return static_cast<ULONG>(::InterlockedIncrement(&m_nRefs)); }
    STDMETHODIMP_(ULONG) Release() override {
        const LONG refs = ::InterlockedDecrement(&m_nRefs);
        if (refs == 0)
            delete this;
        return static_cast<ULONG>(refs);
    }
    STDMETHODIMP GetTypeInfoCount(UINT* pctinfo) override { return Answer(pctinfo, 0u); }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo** ppTInfo) override { return NotOffered<ITypeInfo*>(ppTInfo); }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT cNames, LCID, DISPID* rgDispId) override {
        if (rgDispId != nullptr) {
            for (UINT i = 0; i < cNames; ++i)
                rgDispId[i] = DISPID_UNKNOWN;
        }
        return DISP_E_UNKNOWNNAME;
    }
    STDMETHODIMP Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override {
        return DISP_E_MEMBERNOTFOUND;
    }

private:
    ~CFrameObject() { ModuleRelease(); }
    LONG m_nRefs = 1;
};

// A VARIANT that frees what it holds.
struct CVariant {
    VARIANT v;
    CVariant() noexcept { ::VariantInit(&v); }
    CVariant(const CVariant&) = delete;
    CVariant& operator=(const CVariant&) = delete;
    ~CVariant() { ::VariantClear(&v); }
};

void SetText(CVariant& var, const std::wstring& text) {
    ::VariantClear(&var.v);
    BSTR bstr = ::SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    if (bstr == nullptr)
        throw std::bad_alloc();
    var.v.vt = VT_BSTR;
    var.v.bstrVal = bstr;
}

// The argument slots of an event; what they point to belongs to the caller.
void ByRef(VARIANT& arg, CVariant& target) noexcept {
    ::VariantInit(&arg);
    arg.vt = VT_BYREF | VT_VARIANT;
    arg.pvarVal = &target.v;
}

void ByRef(VARIANT& arg, VARIANT_BOOL* target) noexcept {
    ::VariantInit(&arg);
    arg.vt = VT_BYREF | VT_BOOL;
    arg.pboolVal = target;
}

void Dispatch(VARIANT& arg, IDispatch* pDisp) noexcept {
    ::VariantInit(&arg);
    arg.vt = VT_DISPATCH;
    arg.pdispVal = pDisp;
}

} // namespace

CBrowserEventsPoint::~CBrowserEventsPoint() {
    for (auto& sink : m_vecSinks)
        ReleaseAndClear(sink.second);
}

STDMETHODIMP CBrowserEventsPoint::QueryInterface(REFIID riid, void** ppv) {
    if (ppv == nullptr)
        return E_POINTER;
    *ppv = nullptr;
    if (!IsEqualIID(riid, IID_IUnknown) && !IsEqualIID(riid, IID_IConnectionPoint))
        return E_NOINTERFACE;
    *ppv = static_cast<IConnectionPoint*>(this);
    AddRef();
    return S_OK;
}

// A host holding the point holds the control.
STDMETHODIMP_(ULONG) CBrowserEventsPoint::AddRef() {
    return static_cast<IWebBrowser2&>(m_owner).AddRef();
}
STDMETHODIMP_(ULONG) CBrowserEventsPoint::Release() {
    return static_cast<IWebBrowser2&>(m_owner).Release();
}

STDMETHODIMP CBrowserEventsPoint::GetConnectionInterface(IID* pIID) {
    return Answer(pIID, DIID_DWebBrowserEvents2);
}

STDMETHODIMP CBrowserEventsPoint::GetConnectionPointContainer(IConnectionPointContainer** ppCPC) {
    if (ppCPC == nullptr)
        return E_POINTER;
    *ppCPC = &m_owner;
    m_owner.AddRef();
    return S_OK;
}

STDMETHODIMP CBrowserEventsPoint::Advise(IUnknown* pUnkSink, DWORD* pdwCookie) {
    if (pdwCookie == nullptr)
        return E_POINTER;
    *pdwCookie = 0;
    if (pUnkSink == nullptr)
        return E_POINTER;
    IDispatch* pSink = nullptr;
    if (FAILED(pUnkSink->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&pSink))) || pSink == nullptr)
        return CONNECT_E_CANNOTCONNECT;
    return Guarded([&] {
        try {
            m_vecSinks.emplace_back(m_nNextCookie, pSink);
        } catch (...) {
            pSink->Release();
            throw;
        }
        *pdwCookie = m_nNextCookie++;
        return S_OK;
    });
}

STDMETHODIMP CBrowserEventsPoint::Unadvise(DWORD dwCookie) {
    for (auto it = m_vecSinks.begin(); it != m_vecSinks.end(); ++it) {
        if (it->first == dwCookie) {
            IDispatch* pSink = it->second;
            m_vecSinks.erase(it);
            pSink->Release(); // last: the sink's release may come back to us
            return S_OK;
        }
    }
    return CONNECT_E_NOCONNECTION;
}

STDMETHODIMP CBrowserEventsPoint::EnumConnections(IEnumConnections** ppEnum) {
    return NotOffered<IEnumConnections*>(ppEnum);
}

void CBrowserEventsPoint::Raise(DISPID id, DISPPARAMS& params) {
    // A sink may unadvise, or close the window and release the control, while it handles the event.
    static_cast<IWebBrowser2&>(m_owner).AddRef();
    std::vector<IDispatch*> sinks;
    try {
        sinks.reserve(m_vecSinks.size());
        for (const auto& sink : m_vecSinks) {
            sink.second->AddRef();
            sinks.push_back(sink.second);
        }
    } catch (...) {
        for (IDispatch* pSink : sinks)
            pSink->Release();
        static_cast<IWebBrowser2&>(m_owner).Release();
        throw;
    }
    for (IDispatch* pSink : sinks) {
        pSink->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, nullptr, nullptr, nullptr);
        pSink->Release();
    }
    static_cast<IWebBrowser2&>(m_owner).Release();
}

STDMETHODIMP CTestBrowser::EnumConnectionPoints(IEnumConnectionPoints** ppEnum) {
    return NotOffered<IEnumConnectionPoints*>(ppEnum);
}

STDMETHODIMP CTestBrowser::FindConnectionPoint(REFIID riid, IConnectionPoint** ppCP) {
    if (ppCP == nullptr)
        return E_POINTER;
    *ppCP = nullptr;
    if (!IsEqualIID(riid, DIID_DWebBrowserEvents2))
        return CONNECT_E_NOCONNECTION;
    *ppCP = &m_events;
    m_events.AddRef();
    return S_OK;
}

IDispatch* CTestBrowser::FrameDispatch() {
    if (m_pFrame == nullptr) {
        m_pFrame = new CFrameObject;
    }
    return m_pFrame;
}

// BeforeNavigate2(pDisp, URL, Flags, TargetFrameName, PostData, Headers, Cancel); the arguments go
// last-first.
bool CTestBrowser::RaiseBeforeNavigate(IDispatch* pDisp, const std::wstring& url) {
    CVariant address, flags, target, post, headers;
    SetText(address, url);
    flags.v.vt = VT_I4;
    flags.v.lVal = 0;
    SetText(target, std::wstring());
    SetText(headers, std::wstring());
    VARIANT_BOOL bCancel = VARIANT_FALSE;
    VARIANT args[7];
    ByRef(args[0], &bCancel);
    ByRef(args[1], headers);
    ByRef(args[2], post);
    ByRef(args[3], target);
    ByRef(args[4], flags);
    ByRef(args[5], address);
    Dispatch(args[6], pDisp);
    DISPPARAMS params{args, nullptr, 7, 0};
    m_events.Raise(DISPID_BEFORENAVIGATE2, params);
    return bCancel != VARIANT_FALSE;
}

// NavigateComplete2(pDisp, URL), then DocumentComplete(pDisp, URL): the page is there and loaded.
void CTestBrowser::RaiseNavigated(IDispatch* pDisp, const std::wstring& url) {
    for (const DISPID id : {DISPID_NAVIGATECOMPLETE2, DISPID_DOCUMENTCOMPLETE}) {
        CVariant address;
        SetText(address, url);
        VARIANT args[2];
        ByRef(args[0], address);
        Dispatch(args[1], pDisp);
        DISPPARAMS params{args, nullptr, 2, 0};
        m_events.Raise(id, params);
    }
}

// NewWindow3(ppDisp, Cancel, dwFlags, bstrUrlContext, bstrUrl). A sink that hands back a browser for the
// new window gets it released: the page opens nothing here.
bool CTestBrowser::RaiseNewWindow(const std::wstring& url, DWORD dwFlags) {
    CVariant address, context;
    SetText(address, url);
    SetText(context, m_strUrl);
    IDispatch* pNewWindow = nullptr;
    VARIANT_BOOL bCancel = VARIANT_FALSE;
    VARIANT args[5];
    args[0] = address.v;
    args[1] = context.v;
    ::VariantInit(&args[2]);
    args[2].vt = VT_I4;
    args[2].lVal = static_cast<LONG>(dwFlags);
    ByRef(args[3], &bCancel);
    ::VariantInit(&args[4]);
    args[4].vt = VT_BYREF | VT_DISPATCH;
    args[4].ppdispVal = &pNewWindow;
    DISPPARAMS params{args, nullptr, 5, 0};
    m_events.Raise(DISPID_NEWWINDOW3, params);
    ReleaseAndClear(pNewWindow);
    return bCancel != VARIANT_FALSE;
}

// NewWindow2(ppDisp, Cancel), the event older hosts listen to.
bool CTestBrowser::RaiseNewWindow2() {
    IDispatch* pNewWindow = nullptr;
    VARIANT_BOOL bCancel = VARIANT_FALSE;
    VARIANT args[2];
    ByRef(args[0], &bCancel);
    ::VariantInit(&args[1]);
    args[1].vt = VT_BYREF | VT_DISPATCH;
    args[1].ppdispVal = &pNewWindow;
    DISPPARAMS params{args, nullptr, 2, 0};
    m_events.Raise(DISPID_NEWWINDOW2, params);
    ReleaseAndClear(pNewWindow);
    return bCancel != VARIANT_FALSE;
}
