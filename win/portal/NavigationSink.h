#pragma once
// Keeps a hosted browser on the portal. Listens to the control's navigation events and, before the page,
// a frame or a new window goes anywhere, asks the core's rule (DecideNavigation) what may happen: the
// portal's pages load; a new window on the portal opens as one of the client's portal pop-ups; another
// site opens in the user's default browser, once for each click or key of the user's in the page
// (UserGesture); everything else is cancelled. The engine never makes a window of its own. Where a page
// or frame ends up after redirects (NavigateComplete2) goes through the same rule, and a page that would
// have been refused is replaced by an empty one. An event that does not carry what the rule needs is
// cancelled.

#include "core/portal/PageOrigin.h"
#include "core/portal/ScriptFunctions.h"

#include <windows.h>

#include <oaidl.h>
#include <ocidl.h>

#include <string>

namespace dravel::win {

class CNavigationSink final : public IDispatch {
public:
    // Starts with one reference, the creator's. pHost opens the portal's new windows (may be null: they
    // are then refused too); hwndOwner's monitor places them. pGesture (may be null: no page opens
    // another site) is the user's gestures in this page; it must outlive the connection.
    CNavigationSink(std::string portalHost, ScriptHost* pHost, HWND hwndOwner, UserGesture* pGesture) noexcept;
    CNavigationSink(const CNavigationSink&) = delete;
    CNavigationSink& operator=(const CNavigationSink&) = delete;

    // Connects to pControl's navigation events; pControl's identity tells its own page from its frames.
    // False when the control offers no such events (then nothing is filtered: say so to the caller).
    bool Connect(IUnknown* pControl);
    // Disconnects; every event that still comes is cancelled. Safe to call more than once.
    void Disconnect() noexcept;

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;
    STDMETHODIMP GetTypeInfoCount(UINT* pctinfo) override;
    STDMETHODIMP GetTypeInfo(UINT iTInfo, LCID lcid, ITypeInfo** ppTInfo) override;
    STDMETHODIMP GetIDsOfNames(REFIID riid, LPOLESTR* rgszNames, UINT cNames, LCID lcid, DISPID* rgDispId) override;
    STDMETHODIMP Invoke(DISPID dispIdMember, REFIID riid, LCID lcid, WORD wFlags, DISPPARAMS* pDispParams,
                        VARIANT* pVarResult, EXCEPINFO* pExcepInfo, UINT* puArgErr) override;

private:
    ~CNavigationSink();
    void Unadvise() noexcept;
    void OnBeforeNavigate(DISPPARAMS& params);
    void OnNewWindow(DISPPARAMS& params);
    void OnNavigated(DISPPARAMS& params);
    bool IsOwnPage(const VARIANT& disp) const;
    // Whether the user's gesture lets a page open another site now, and uses it up when bTake.
    bool UserGestured(bool bTake);

    LONG m_nRefs = 1;
    std::string m_strPortalHost;
    ScriptHost* m_pHost;
    HWND m_hwndOwner;
    UserGesture* m_pGesture;
    // The control's identity, not counted (the control outlives the connection); null once disconnected.
    IUnknown* m_pControl = nullptr;
    IConnectionPoint* m_pPoint = nullptr;
    DWORD m_nCookie = 0;
};

} // namespace dravel::win
