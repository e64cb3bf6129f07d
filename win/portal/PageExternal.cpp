#include "win/portal/PageExternal.h"

#include "win/base/Text.h"
#include "win/portal/CustomControlSite.h"
#include "win/portal/ScriptExternal.h"
#include "core/portal/PageOrigin.h"

#include <new>

namespace dravel::win {

CPageExternal::CPageExternal(CScriptExternal& shared, CCustomControlSite& site) noexcept
    : m_shared(shared), m_site(site) {
    m_shared.AddRef();
    m_site.AddRef();
}

CPageExternal::~CPageExternal() {
    m_site.Release();
    m_shared.Release();
}

STDMETHODIMP CPageExternal::QueryInterface(REFIID riid, void** ppv) {
    if (ppv == nullptr)
        return E_POINTER;
    if (IsEqualIID(riid, IID_IDispatch) || IsEqualIID(riid, IID_IUnknown)) {
        *ppv = static_cast<IDispatch*>(this);
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

bool CPageExternal::CallerIsPortal() const {
    // Asked at each call: the same browser may have gone on to another page since the last one.
    return IsPortalPage(WideToCp949(m_site.PageUrl()), m_shared.PortalHostName());
}

STDMETHODIMP CPageExternal::Invoke(DISPID dispIdMember, REFIID riid, LCID lcid, WORD wFlags, DISPPARAMS* pDispParams,
                                   VARIANT* pVarResult, EXCEPINFO* pExcepInfo, UINT* puArgErr) {
    try {
        if (!CallerIsPortal())
            return E_ACCESSDENIED;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (...) {
        return E_UNEXPECTED;
    }
    return m_shared.Invoke(dispIdMember, riid, lcid, wFlags, pDispParams, pVarResult, pExcepInfo, puArgErr);
}

} // namespace dravel::win
