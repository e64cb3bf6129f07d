#pragma once

// The external object one hosted browser gives its pages. The engine hands every document of the
// browser, its frames' too, the same object, so it judges each call by the document that makes it: the
// script engine names its caller (IDispatchEx::InvokeEx's service provider, asked for the calling
// document), and only a call from a document whose own address is one of the portal's pages
// (IsPortalPage), carried exactly in code page 949, reaches the program's script object. A call that
// names no document (plain IDispatch::Invoke) or any other one is refused with E_ACCESSDENIED and
// nothing happens; names are still answered.
//
// References: the object holds the script object only, so the browser -> page -> this chain has no
// cycle.

#include <windows.h>

#include <dispex.h>

#include <optional>
#include <string>

namespace dravel::win {

class CScriptExternal;

// The address of the document that makes a call, as its script engine's service provider names it
// (SID_SContainerDispatch, else the caller's window), read as the document's "URL"; nothing when the
// caller names none.
std::optional<std::wstring> CallerDocumentUrl(IServiceProvider* pCaller);

class CPageExternal final : public IDispatchEx {
public:
    // Starts with one reference, the creator's.
    explicit CPageExternal(CScriptExternal& shared) noexcept;
    CPageExternal(const CPageExternal&) = delete;
    CPageExternal& operator=(const CPageExternal&) = delete;

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;
    STDMETHODIMP GetTypeInfoCount(UINT* pctinfo) override;
    STDMETHODIMP GetTypeInfo(UINT iTInfo, LCID lcid, ITypeInfo** ppTInfo) override;
    STDMETHODIMP GetIDsOfNames(REFIID riid, LPOLESTR* rgszNames, UINT cNames, LCID lcid, DISPID* rgDispId) override;
    // No caller named: refused.
    STDMETHODIMP Invoke(DISPID dispIdMember, REFIID riid, LCID lcid, WORD wFlags, DISPPARAMS* pDispParams,
                        VARIANT* pVarResult, EXCEPINFO* pExcepInfo, UINT* puArgErr) override;

    STDMETHODIMP GetDispID(BSTR bstrName, DWORD grfdex, DISPID* pid) override;
    STDMETHODIMP InvokeEx(DISPID id, LCID lcid, WORD wFlags, DISPPARAMS* pdp, VARIANT* pvarRes, EXCEPINFO* pei,
                          IServiceProvider* pspCaller) override;
    STDMETHODIMP DeleteMemberByName(BSTR bstrName, DWORD grfdex) override;
    STDMETHODIMP DeleteMemberByDispID(DISPID id) override;
    STDMETHODIMP GetMemberProperties(DISPID id, DWORD grfdexFetch, DWORD* pgrfdex) override;
    STDMETHODIMP GetMemberName(DISPID id, BSTR* pbstrName) override;
    STDMETHODIMP GetNextDispID(DWORD grfdex, DISPID id, DISPID* pid) override;
    STDMETHODIMP GetNameSpaceParent(IUnknown** ppunk) override;

private:
    ~CPageExternal();
    bool CallerIsPortal(IServiceProvider* pCaller) const;

    LONG m_nRefs = 1;
    CScriptExternal& m_shared;
};

} // namespace dravel::win
