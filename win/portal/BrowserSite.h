#pragma once
// The container side of one hosted web browser control: the client site, the in-place site and the
// in-place frame the control asks for while it activates in place inside our window. A COM object
// with its own reference count: the control holds it until it is closed.
//
// Host customisation (context menu, message boxes, key filter, the script's external object) is
// answered here too once it exists: QueryInterface is the place to hand out IDocHostUIHandler and
// IDocHostShowUI.

#include <windows.h>

#include <ole2.h>
#include <oleidl.h>

namespace dravel::win {

class CBrowserSite final : public IOleClientSite, public IOleInPlaceSite, public IOleInPlaceFrame {
public:
    // Starts with one reference, the creator's.
    CBrowserSite(HWND hwndParent, const RECT& rect) noexcept;

    void SetRect(const RECT& rect) noexcept { m_rect = rect; }
    const RECT& Rect() const noexcept { return m_rect; }
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

private:
    ~CBrowserSite() = default;

    LONG m_nRefs = 1;
    HWND m_hwndParent;
    RECT m_rect;
};

} // namespace dravel::win
