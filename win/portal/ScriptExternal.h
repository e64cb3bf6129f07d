#pragma once

// The object hosted portal pages reach as window.external: a late-bound IDispatch whose nine functions
// ("CB_...") act on the main window. Names, argument rules and effects are in core's ScriptFunctions;
// this class converts between the platform's names and VARIANTs and that.

#include "win/base/Text.h"
#include "core/portal/ScriptFunctions.h"

#include <windows.h>

#include <oaidl.h>

#include <functional>
#include <string>

namespace dravel::win {

// One argument as a script passes it. Text is a BSTR (a null BSTR is empty text), converted to code
// page 949. A number is any integer kind, or a floating-point value that holds an exact integer (script
// engines pass large or computed integers as doubles), within 32 bits. Anything else, other numbers
// included, is neither. A by-reference argument is read through its reference.
ScriptArg ScriptArgFromVariant(const VARIANT& v);

// The call's answer to the script engine: S_OK, DISP_E_BADPARAMCOUNT, DISP_E_TYPEMISMATCH,
// E_INVALIDARG for a negative window size, or E_ACCESSDENIED for what the page may not do.
HRESULT ScriptStatusToHResult(ScriptStatus status);

// The one object behind every page's external object. Pages never get it themselves: each hosted
// browser hands its pages a CPageExternal, which lets only the portal's own pages through to it.
class CScriptExternal final : public IDispatch {
public:
    // The host must outlive the object. The portal's pages come from portalHost (the program's server
    // host), and pop-ups open only there.
    CScriptExternal(ScriptHost& host, std::string portalHost) : m_host(host), m_strPortalHost(std::move(portalHost)) {}
    CScriptExternal(const CScriptExternal&) = delete;
    CScriptExternal& operator=(const CScriptExternal&) = delete;

    const std::string& PortalHostName() const noexcept { return m_strPortalHost; }
    ScriptHost& Host() const noexcept { return m_host; }

    // Answers IDispatch, and IUnknown as every COM object must (a caller comparing identities asks for
    // it); nothing else.
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
    // The count is kept for the callers' sake only: the owner deletes the object, never a Release.
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;

    STDMETHODIMP GetTypeInfoCount(UINT* pctinfo) override;
    STDMETHODIMP GetTypeInfo(UINT iTInfo, LCID lcid, ITypeInfo** ppTInfo) override;
    // Each name gets its id or -1; DISP_E_UNKNOWNNAME when any name was unknown.
    STDMETHODIMP GetIDsOfNames(REFIID riid, LPOLESTR* rgszNames, UINT cNames, LCID lcid, DISPID* rgDispId) override;
    // Positional arguments only (named ones are skipped). A call whose arguments do not fit does nothing
    // and answers as ScriptStatusToHResult says, with puArgErr naming the offending argument; ids that
    // are none of ours do nothing and answer S_OK. A value is boolean true (VARIANT_TRUE).
    STDMETHODIMP Invoke(DISPID dispIdMember, REFIID riid, LCID lcid, WORD wFlags, DISPPARAMS* pDispParams,
                        VARIANT* pVarResult, EXCEPINFO* pExcepInfo, UINT* puArgErr) override;

private:
    ScriptHost& m_host;
    std::string m_strPortalHost;
    LONG m_nRefs = 0;
};

// The script functions' host: forwards to whatever session `getWindow` finds at the moment of the call
// (the program's CSessionHost; a test's fake). Without one the calls do nothing, and the browser check
// still answers true: the page is in our browser whether or not a session is up.
template <typename TWindow> class CSessionScriptHost final : public ScriptHost {
public:
    explicit CSessionScriptHost(std::function<TWindow*()> getWindow) : m_getWindow(std::move(getWindow)) {}

    bool IsCustomBrowser() override {
        TWindow* w = m_getWindow();
        return w == nullptr || w->IsCustomBrowser();
    }
    void IdleLogout() override {
        if (TWindow* w = m_getWindow())
            w->IdleLogout();
    }
    void CustomFunction() override {
        if (TWindow* w = m_getWindow())
            w->CustomFunction();
    }
    void CustomFunctionWithParams(const std::string& text949, int32_t nNumber) override {
        if (TWindow* w = m_getWindow())
            w->CustomFunctionWithParams(Cp949ToWide(text949), static_cast<int>(nNumber));
    }
    void OpenPortalPopup(const PortalPopupRequest& request) override {
        if (TWindow* w = m_getWindow())
            w->OpenPortalPopup(request);
    }
    void ShowPortalWindow(const PortalPopupRequest& request) override {
        if (TWindow* w = m_getWindow())
            w->ShowPortalWindow(request);
    }
    void ShowChatList() override {
        if (TWindow* w = m_getWindow())
            w->ShowChatList();
    }
    void ReLogin() override {
        if (TWindow* w = m_getWindow())
            w->ReLogin();
    }
    void CloseActiveWindow() override {
        if (TWindow* w = m_getWindow())
            w->CloseActiveWindow();
    }

private:
    std::function<TWindow*()> m_getWindow;
};

} // namespace dravel::win
