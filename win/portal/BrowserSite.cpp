#include "portal/BrowserSite.h"

namespace dravel::win {

CBrowserSite::CBrowserSite(HWND hwndParent, const RECT& rect) noexcept : m_hwndParent(hwndParent), m_rect(rect) {}

STDMETHODIMP CBrowserSite::QueryInterface(REFIID riid, void** ppv) {
    if (ppv == nullptr)
        return E_POINTER;
    *ppv = nullptr;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IOleClientSite))
        *ppv = static_cast<IOleClientSite*>(this);
    else if (IsEqualIID(riid, IID_IOleWindow) || IsEqualIID(riid, IID_IOleInPlaceSite))
        *ppv = static_cast<IOleInPlaceSite*>(this);
    else if (IsEqualIID(riid, IID_IOleInPlaceUIWindow) || IsEqualIID(riid, IID_IOleInPlaceFrame))
        *ppv = static_cast<IOleInPlaceFrame*>(this);
    else
        return E_NOINTERFACE;
    AddRef();
    return S_OK;
}

STDMETHODIMP_(ULONG) CBrowserSite::AddRef() {
    return static_cast<ULONG>(::InterlockedIncrement(&m_nRefs));
}

STDMETHODIMP_(ULONG) CBrowserSite::Release() {
    const LONG refs = ::InterlockedDecrement(&m_nRefs);
    if (refs == 0)
        delete this;
    return static_cast<ULONG>(refs);
}

// The page is never saved and lives in no compound document: no moniker, no container.
STDMETHODIMP CBrowserSite::SaveObject() {
    return E_NOTIMPL;
}
STDMETHODIMP CBrowserSite::GetMoniker(DWORD, DWORD, IMoniker** ppmk) {
    if (ppmk != nullptr)
        *ppmk = nullptr;
    return E_NOTIMPL;
}
STDMETHODIMP CBrowserSite::GetContainer(IOleContainer** ppContainer) {
    if (ppContainer != nullptr)
        *ppContainer = nullptr;
    return E_NOINTERFACE;
}
STDMETHODIMP CBrowserSite::ShowObject() {
    return S_OK;
}
STDMETHODIMP CBrowserSite::OnShowWindow(BOOL) {
    return S_OK;
}
STDMETHODIMP CBrowserSite::RequestNewObjectLayout() {
    return E_NOTIMPL;
}

STDMETHODIMP CBrowserSite::GetWindow(HWND* phwnd) {
    if (phwnd == nullptr)
        return E_POINTER;
    *phwnd = m_hwndParent;
    return m_hwndParent != nullptr ? S_OK : E_FAIL;
}
STDMETHODIMP CBrowserSite::ContextSensitiveHelp(BOOL) {
    return E_NOTIMPL;
}

STDMETHODIMP CBrowserSite::CanInPlaceActivate() {
    return m_hwndParent != nullptr ? S_OK : S_FALSE;
}
STDMETHODIMP CBrowserSite::OnInPlaceActivate() {
    return S_OK;
}
STDMETHODIMP CBrowserSite::OnUIActivate() {
    return S_OK;
}

STDMETHODIMP CBrowserSite::GetWindowContext(IOleInPlaceFrame** ppFrame, IOleInPlaceUIWindow** ppDoc, LPRECT prcPos,
                                            LPRECT prcClip, LPOLEINPLACEFRAMEINFO pFrameInfo) {
    if (ppFrame == nullptr || ppDoc == nullptr || prcPos == nullptr || prcClip == nullptr || pFrameInfo == nullptr)
        return E_POINTER;
    // The frame is this object too; there is no separate document window.
    *ppFrame = static_cast<IOleInPlaceFrame*>(this);
    AddRef();
    *ppDoc = nullptr;
    *prcPos = m_rect;
    *prcClip = m_rect;
    // The caller fills cb with the size it knows.
    pFrameInfo->fMDIApp = FALSE;
    pFrameInfo->hwndFrame = m_hwndParent;
    pFrameInfo->haccel = nullptr;
    pFrameInfo->cAccelEntries = 0;
    return S_OK;
}

STDMETHODIMP CBrowserSite::Scroll(SIZE) {
    return E_NOTIMPL;
}
STDMETHODIMP CBrowserSite::OnUIDeactivate(BOOL) {
    return S_OK;
}
STDMETHODIMP CBrowserSite::OnInPlaceDeactivate() {
    return S_OK;
}
STDMETHODIMP CBrowserSite::DiscardUndoState() {
    return E_NOTIMPL;
}
STDMETHODIMP CBrowserSite::DeactivateAndUndo() {
    return E_NOTIMPL;
}
// The host decides the control's place (CBrowserHost::Move); a control asking for another keeps ours.
STDMETHODIMP CBrowserSite::OnPosRectChange(LPCRECT) {
    return S_OK;
}

// No toolbars or menus are merged into our windows.
STDMETHODIMP CBrowserSite::GetBorder(LPRECT) {
    return INPLACE_E_NOTOOLSPACE;
}
STDMETHODIMP CBrowserSite::RequestBorderSpace(LPCBORDERWIDTHS) {
    return INPLACE_E_NOTOOLSPACE;
}
STDMETHODIMP CBrowserSite::SetBorderSpace(LPCBORDERWIDTHS) {
    return OLE_E_INVALIDRECT;
}
STDMETHODIMP CBrowserSite::SetActiveObject(IOleInPlaceActiveObject*, LPCOLESTR) {
    return S_OK;
}
STDMETHODIMP CBrowserSite::InsertMenus(HMENU, LPOLEMENUGROUPWIDTHS) {
    return E_NOTIMPL;
}
STDMETHODIMP CBrowserSite::SetMenu(HMENU, HOLEMENU, HWND) {
    return S_OK;
}
STDMETHODIMP CBrowserSite::RemoveMenus(HMENU) {
    return E_NOTIMPL;
}
STDMETHODIMP CBrowserSite::SetStatusText(LPCOLESTR) {
    return S_OK;
}
STDMETHODIMP CBrowserSite::EnableModeless(BOOL) {
    return S_OK;
}
STDMETHODIMP CBrowserSite::TranslateAccelerator(LPMSG, WORD) {
    return S_FALSE;
}

} // namespace dravel::win
