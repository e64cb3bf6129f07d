#include "win/portal/PageExternal.h"

#include "win/base/Text.h"
#include "win/portal/ScriptExternal.h"
#include "core/portal/PageOrigin.h"

#include <mshtml.h>

#include <new>

namespace dravel::win {

namespace {

// {A6EF9860-C720-11D0-9337-00A0C90DCAA9}: MinGW's import libraries do not carry it.
constexpr IID kIidDispatchEx = {0xA6EF9860, 0xC720, 0x11D0, {0x93, 0x37, 0x00, 0xA0, 0xC9, 0x0D, 0xCA, 0xA9}};
// {B722BE00-4E68-101B-A2BC-00AA00404770}
constexpr GUID kSidContainerDispatch = {0xB722BE00, 0x4E68, 0x101B, {0xA2, 0xBC, 0x00, 0xAA, 0x00, 0x40, 0x47, 0x70}};

template <typename T> class CHeld {
public:
    CHeld() = default;
    CHeld(const CHeld&) = delete;
    CHeld& operator=(const CHeld&) = delete;
    ~CHeld() {
        if (m_p != nullptr)
            m_p->Release();
    }
    T** Out() { return &m_p; }
    T* Get() const { return m_p; }

private:
    T* m_p = nullptr;
};

// A text property of a late-bound object, read by name.
std::optional<std::wstring> ReadTextProperty(IDispatch* pObject, const wchar_t* name) {
    DISPID id = DISPID_UNKNOWN;
    LPOLESTR names[1] = {const_cast<LPOLESTR>(name)};
    if (FAILED(pObject->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id)))
        return std::nullopt;
    DISPPARAMS none{};
    VARIANT value;
    ::VariantInit(&value);
    if (FAILED(pObject->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET, &none, &value, nullptr,
                               nullptr))) {
        ::VariantClear(&value);
        return std::nullopt;
    }
    std::optional<std::wstring> text;
    try {
        if (value.vt == VT_BSTR)
            text.emplace(value.bstrVal != nullptr ? value.bstrVal : L"",
                         value.bstrVal != nullptr ? ::SysStringLen(value.bstrVal) : 0);
    } catch (...) {
        ::VariantClear(&value);
        throw;
    }
    ::VariantClear(&value);
    return text;
}

} // namespace

std::optional<std::wstring> CallerDocumentUrl(IServiceProvider* pCaller) {
    if (pCaller == nullptr)
        return std::nullopt;
    CHeld<IDispatch> document;
    if (SUCCEEDED(
            pCaller->QueryService(kSidContainerDispatch, IID_IDispatch, reinterpret_cast<void**>(document.Out()))) &&
        document.Get() != nullptr)
        return ReadTextProperty(document.Get(), L"URL");
    CHeld<IHTMLWindow2> window;
    if (FAILED(pCaller->QueryService(IID_IHTMLWindow2, IID_IHTMLWindow2, reinterpret_cast<void**>(window.Out()))) ||
        window.Get() == nullptr)
        return std::nullopt;
    CHeld<IHTMLDocument2> windowDocument;
    if (FAILED(window.Get()->get_document(windowDocument.Out())) || windowDocument.Get() == nullptr)
        return std::nullopt;
    return ReadTextProperty(windowDocument.Get(), L"URL");
}

CPageExternal::CPageExternal(CScriptExternal& shared) noexcept : m_shared(shared) {
    m_shared.AddRef();
}

CPageExternal::~CPageExternal() {
    m_shared.Release();
}

STDMETHODIMP CPageExternal::QueryInterface(REFIID riid, void** ppv) {
    if (ppv == nullptr)
        return E_POINTER;
    if (IsEqualIID(riid, IID_IDispatch) || IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, kIidDispatchEx)) {
        *ppv = static_cast<IDispatchEx*>(this);
        AddRef();
        return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) CPageExternal::AddRef() {
    return static_cast<ULONG>(::InterlockedIncrement(&m_nRefs));
}

STDMETHODIMP_(ULONG) CPageExternal::Release() {
    const LONG refs = ::InterlockedDecrement(&m_nRefs);
    if (refs == 0)
        delete this;
    return static_cast<ULONG>(refs);
}

STDMETHODIMP CPageExternal::GetTypeInfoCount(UINT* pctinfo) {
    return m_shared.GetTypeInfoCount(pctinfo);
}

STDMETHODIMP CPageExternal::GetTypeInfo(UINT iTInfo, LCID lcid, ITypeInfo** ppTInfo) {
    return m_shared.GetTypeInfo(iTInfo, lcid, ppTInfo);
}

STDMETHODIMP CPageExternal::GetIDsOfNames(REFIID riid, LPOLESTR* rgszNames, UINT cNames, LCID lcid, DISPID* rgDispId) {
    return m_shared.GetIDsOfNames(riid, rgszNames, cNames, lcid, rgDispId);
}

STDMETHODIMP CPageExternal::Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) {
    return E_ACCESSDENIED;
}

bool CPageExternal::CallerIsPortal(IServiceProvider* pCaller) const {
    // Asked at each call: the same document may have gone on to another page since the last one.
    const std::optional<std::wstring> url = CallerDocumentUrl(pCaller);
    if (!url)
        return false;
    const std::optional<std::string> text = WideToCp949Exact(*url);
    return text.has_value() && IsPortalPage(*text, m_shared.PortalHostName());
}

STDMETHODIMP CPageExternal::GetDispID(BSTR bstrName, DWORD, DISPID* pid) {
    if (pid == nullptr)
        return E_POINTER;
    LPOLESTR names[1] = {bstrName != nullptr ? bstrName : const_cast<LPOLESTR>(L"")};
    return m_shared.GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, pid);
}

STDMETHODIMP CPageExternal::InvokeEx(DISPID id, LCID lcid, WORD wFlags, DISPPARAMS* pdp, VARIANT* pvarRes,
                                     EXCEPINFO* pei, IServiceProvider* pspCaller) {
    try {
        if (!CallerIsPortal(pspCaller))
            return E_ACCESSDENIED;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (...) {
        return E_UNEXPECTED;
    }
    UINT nArgErr = 0;
    return m_shared.Invoke(id, IID_NULL, lcid, wFlags, pdp, pvarRes, pei, &nArgErr);
}

// The object's members are fixed: none is deleted, listed or described.
STDMETHODIMP CPageExternal::DeleteMemberByName(BSTR, DWORD) {
    return S_FALSE;
}
STDMETHODIMP CPageExternal::DeleteMemberByDispID(DISPID) {
    return S_FALSE;
}
STDMETHODIMP CPageExternal::GetMemberProperties(DISPID, DWORD, DWORD* pgrfdex) {
    if (pgrfdex != nullptr)
        *pgrfdex = 0;
    return E_NOTIMPL;
}
STDMETHODIMP CPageExternal::GetMemberName(DISPID, BSTR* pbstrName) {
    if (pbstrName != nullptr)
        *pbstrName = nullptr;
    return E_NOTIMPL;
}
STDMETHODIMP CPageExternal::GetNextDispID(DWORD, DISPID, DISPID* pid) {
    if (pid != nullptr)
        *pid = DISPID_UNKNOWN;
    return S_FALSE;
}
STDMETHODIMP CPageExternal::GetNameSpaceParent(IUnknown** ppunk) {
    if (ppunk != nullptr)
        *ppunk = nullptr;
    return E_NOTIMPL;
}

} // namespace dravel::win
