#pragma once
// The container side of one hosted web browser control: the client site, the in-place site and the
// in-place frame the control asks for while it activates in place inside our window. A COM object
// with its own reference count: the control holds it until it is closed.
//
// It also customises the page: the browser's message boxes become ours (IDocHostShowUI), and its
// context menu, help, some keyboard shortcuts and the script's external object are ours too
// (IDocHostUIHandler). Both are nested objects that share the site's count and identity, since
// IDocHostUIHandler and IOleInPlaceFrame both have an EnableModeless that must answer differently.
// Asked through the site's services (IServiceProvider), it answers the engine's certificate question
// (IHttpSecurity) with a refusal: a page whose certificate does not check out is not shown, and the
// user is given nothing to click through.

#include <windows.h>

#include <mshtmhst.h>
#include <ole2.h>
#include <oleidl.h>
#include <servprov.h>
#include <urlmon.h>

#include <functional>
#include <string>

namespace dravel::win {

class CScriptExternal;

class CCustomControlSite final : public IOleClientSite,
                                 public IOleInPlaceSite,
                                 public IOleInPlaceFrame,
                                 public IServiceProvider {
public:
    // Finds the window that owns the portal menu at the moment it is shown.
    using MenuOwnerFn = std::function<HWND()>;

    // Starts with one reference, the creator's. pExternal is the script object behind page scripts'
    // window.external (held counted; may be null: pages then have none); pages get it through a
    // CPageExternal that checks which document is calling. The portal menu goes to menuOwner's window; without one
    // (no main window) to our own parent, which does nothing with its commands.
    CCustomControlSite(HWND hwndParent, const RECT& rect, CScriptExternal* pExternal = nullptr,
                       MenuOwnerFn menuOwner = {}) noexcept;

    void SetRect(const RECT& rect) noexcept { m_rect = rect; }
    // The control's window is gone: every later call answers without touching it.
    void Detach() noexcept { m_hwndParent = nullptr; }

    // IUnknown
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;

    // IOleClientSite
    STDMETHODIMP SaveObject() override;
    STDMETHODIMP GetMoniker(DWORD assign, DWORD which, IMoniker** ppmk) override;
    STDMETHODIMP GetContainer(IOleContainer** ppContainer) override;
    STDMETHODIMP ShowObject() override;
    STDMETHODIMP OnShowWindow(BOOL bShow) override;
    STDMETHODIMP RequestNewObjectLayout() override;

    // IOleWindow (shared by the in-place site and the frame)
    STDMETHODIMP GetWindow(HWND* phwnd) override;
    STDMETHODIMP ContextSensitiveHelp(BOOL bEnterMode) override;

    // IOleInPlaceSite
    STDMETHODIMP CanInPlaceActivate() override;
    STDMETHODIMP OnInPlaceActivate() override;
    STDMETHODIMP OnUIActivate() override;
    STDMETHODIMP GetWindowContext(IOleInPlaceFrame** ppFrame, IOleInPlaceUIWindow** ppDoc, LPRECT prcPos,
                                  LPRECT prcClip, LPOLEINPLACEFRAMEINFO pFrameInfo) override;
    STDMETHODIMP Scroll(SIZE extent) override;
    STDMETHODIMP OnUIDeactivate(BOOL bUndoable) override;
    STDMETHODIMP OnInPlaceDeactivate() override;
    STDMETHODIMP DiscardUndoState() override;
    STDMETHODIMP DeactivateAndUndo() override;
    STDMETHODIMP OnPosRectChange(LPCRECT prcPos) override;

    // IOleInPlaceUIWindow
    STDMETHODIMP GetBorder(LPRECT prcBorder) override;
    STDMETHODIMP RequestBorderSpace(LPCBORDERWIDTHS pWidths) override;
    STDMETHODIMP SetBorderSpace(LPCBORDERWIDTHS pWidths) override;
    STDMETHODIMP SetActiveObject(IOleInPlaceActiveObject* pActive, LPCOLESTR name) override;

    // IOleInPlaceFrame
    STDMETHODIMP InsertMenus(HMENU hmenuShared, LPOLEMENUGROUPWIDTHS pWidths) override;
    STDMETHODIMP SetMenu(HMENU hmenuShared, HOLEMENU holemenu, HWND hwndActiveObject) override;
    STDMETHODIMP RemoveMenus(HMENU hmenuShared) override;
    STDMETHODIMP SetStatusText(LPCOLESTR text) override;
    STDMETHODIMP EnableModeless(BOOL bEnable) override;
    STDMETHODIMP TranslateAccelerator(LPMSG pMsg, WORD id) override;

    // IServiceProvider: only the certificate question is ours.
    STDMETHODIMP QueryService(REFGUID guidService, REFIID riid, void** ppv) override;

    // The engine's question about a page's certificate (or its window for asking): always refused.
    class XHttpSecurity final : public IHttpSecurity {
    public:
        explicit XHttpSecurity(CCustomControlSite& outer) noexcept : m_outer(outer) {}
        STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
        STDMETHODIMP_(ULONG) AddRef() override { return m_outer.AddRef(); }
        STDMETHODIMP_(ULONG) Release() override { return m_outer.Release(); }
        STDMETHODIMP GetWindow(REFGUID rguidReason, HWND* phwnd) override;
        STDMETHODIMP OnSecurityProblem(DWORD dwProblem) override;

    private:
        CCustomControlSite& m_outer;
    };

    // The page's message boxes: ours, captioned "Dravel On" with the error icon; no help.
    class XDocHostShowUI final : public IDocHostShowUI {
    public:
        explicit XDocHostShowUI(CCustomControlSite& outer) noexcept : m_outer(outer) {}
        STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override { return m_outer.QueryInterface(riid, ppv); }
        STDMETHODIMP_(ULONG) AddRef() override { return m_outer.AddRef(); }
        STDMETHODIMP_(ULONG) Release() override { return m_outer.Release(); }
        STDMETHODIMP ShowMessage(HWND hwnd, LPOLESTR lpstrText, LPOLESTR lpstrCaption, DWORD dwType,
                                 LPOLESTR lpstrHelpFile, DWORD dwHelpContext, LRESULT* plResult) override;
        STDMETHODIMP ShowHelp(HWND hwnd, LPOLESTR pszHelpFile, UINT uCommand, DWORD dwData, POINT ptMouse,
                              IDispatch* pDispatchObjectHit) override;

    private:
        CCustomControlSite& m_outer;
    };

    // The page's context menu, border, key filter and external object.
    class XDocHostUIHandler final : public IDocHostUIHandler {
    public:
        explicit XDocHostUIHandler(CCustomControlSite& outer) noexcept : m_outer(outer) {}
        STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override { return m_outer.QueryInterface(riid, ppv); }
        STDMETHODIMP_(ULONG) AddRef() override { return m_outer.AddRef(); }
        STDMETHODIMP_(ULONG) Release() override { return m_outer.Release(); }
        STDMETHODIMP ShowContextMenu(DWORD dwID, POINT* ppt, IUnknown* pcmdtReserved,
                                     IDispatch* pdispReserved) override;
        STDMETHODIMP GetHostInfo(DOCHOSTUIINFO* pInfo) override;
        STDMETHODIMP ShowUI(DWORD dwID, IOleInPlaceActiveObject* pActiveObject, IOleCommandTarget* pCommandTarget,
                            IOleInPlaceFrame* pFrame, IOleInPlaceUIWindow* pDoc) override;
        STDMETHODIMP HideUI() override;
        STDMETHODIMP UpdateUI() override;
        STDMETHODIMP EnableModeless(BOOL fEnable) override;
        STDMETHODIMP OnDocWindowActivate(BOOL fActivate) override;
        STDMETHODIMP OnFrameWindowActivate(BOOL fActivate) override;
        STDMETHODIMP ResizeBorder(LPCRECT prcBorder, IOleInPlaceUIWindow* pUIWindow, BOOL fRameWindow) override;
        STDMETHODIMP TranslateAccelerator(LPMSG lpMsg, const GUID* pguidCmdGroup, DWORD nCmdID) override;
        STDMETHODIMP GetOptionKeyPath(LPOLESTR* pchKey, DWORD dw) override;
        STDMETHODIMP GetDropTarget(IDropTarget* pDropTarget, IDropTarget** ppDropTarget) override;
        STDMETHODIMP GetExternal(IDispatch** ppDispatch) override;
        STDMETHODIMP TranslateUrl(DWORD dwTranslate, LPWSTR pchURLIn, LPWSTR* ppchURLOut) override;
        STDMETHODIMP FilterDataObject(IDataObject* pDO, IDataObject** ppDORet) override;

    private:
        CCustomControlSite& m_outer;
    };

private:
    ~CCustomControlSite();

    LONG m_nRefs = 1;
    HWND m_hwndParent;
    RECT m_rect;
    CScriptExternal* m_pExternal;
    MenuOwnerFn m_menuOwner;
    XDocHostShowUI m_xDocHostShowUI{*this};
    XDocHostUIHandler m_xDocHostUIHandler{*this};
    XHttpSecurity m_xHttpSecurity{*this};
};

// The identities of the two customisation interfaces.
inline constexpr GUID kIidDocHostShowUI = {
    0xC4D244B0, 0xD43E, 0x11CF, {0x89, 0x3B, 0x00, 0xAA, 0x00, 0xBD, 0xCE, 0x1A}};
inline constexpr GUID kIidDocHostUIHandler = {
    0xBD3F23C0, 0xD43E, 0x11CF, {0x89, 0x3B, 0x00, 0xAA, 0x00, 0xBD, 0xCE, 0x1A}};

} // namespace dravel::win
