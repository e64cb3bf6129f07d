#pragma once

// The external object one hosted browser gives its pages: it asks the browser, at every call, which page
// is calling, and lets only the portal's own pages (IsPortalPage) through to the program's script object.
// Any other page, or a browser with no page (or gone), is refused with E_ACCESSDENIED and nothing
// happens; names are still answered.
//
// References: the object holds its site and the script object; the site holds neither it nor (counted)
// the browser, so the browser -> page -> this -> site chain has no cycle.

#include <windows.h>

#include <oaidl.h>

namespace dravel::win {

class CCustomControlSite;
class CScriptExternal;

class CPageExternal final : public IDispatch {
public:
    // Starts with one reference, the creator's.
    CPageExternal(CScriptExternal& shared, CCustomControlSite& site) noexcept;
    CPageExternal(const CPageExternal&) = delete;
    CPageExternal& operator=(const CPageExternal&) = delete;

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;
    STDMETHODIMP GetTypeInfoCount(UINT* pctinfo) override;
    STDMETHODIMP GetTypeInfo(UINT iTInfo, LCID lcid, ITypeInfo** ppTInfo) override;
    STDMETHODIMP GetIDsOfNames(REFIID riid, LPOLESTR* rgszNames, UINT cNames, LCID lcid, DISPID* rgDispId) override;
    STDMETHODIMP Invoke(DISPID dispIdMember, REFIID riid, LCID lcid, WORD wFlags, DISPPARAMS* pDispParams,
                        VARIANT* pVarResult, EXCEPINFO* pExcepInfo, UINT* puArgErr) override;

private:
    ~CPageExternal();
    bool CallerIsPortal() const;

    LONG m_nRefs = 1;
    CScriptExternal& m_shared;
    CCustomControlSite& m_site;
};

} // namespace dravel::win
