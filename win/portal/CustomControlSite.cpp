#include "win/portal/CustomControlSite.h"

#include "win/base/Handles.h"
#include "win/base/MessageBox.h"
#include "win/base/Text.h"
#include "win/base/Window.h"
#include "win/portal/PageExternal.h"
#include "win/portal/ScriptExternal.h"
#include "win/res/resource.h"
#include "core/portal/ScriptFunctions.h"

#include <exdisp.h>

#include <cstddef>
#include <cwchar>
#include <new>

namespace dravel::win {

CCustomControlSite::CCustomControlSite(HWND hwndParent, const RECT& rect, CScriptExternal* pExternal,
                                       MenuOwnerFn menuOwner) noexcept
    : m_hwndParent(hwndParent), m_rect(rect), m_pExternal(pExternal), m_menuOwner(std::move(menuOwner)) {
    if (m_pExternal != nullptr)
        m_pExternal->AddRef();
}

CCustomControlSite::~CCustomControlSite() {
    if (m_pExternal != nullptr)
        m_pExternal->Release();
}

STDMETHODIMP CCustomControlSite::QueryInterface(REFIID riid, void** ppv) {
    if (ppv == nullptr)
        return E_POINTER;
    *ppv = nullptr;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IOleClientSite))
        *ppv = static_cast<IOleClientSite*>(this);
    else if (IsEqualIID(riid, IID_IOleWindow) || IsEqualIID(riid, IID_IOleInPlaceSite))
        *ppv = static_cast<IOleInPlaceSite*>(this);
    else if (IsEqualIID(riid, IID_IOleInPlaceUIWindow) || IsEqualIID(riid, IID_IOleInPlaceFrame))
        *ppv = static_cast<IOleInPlaceFrame*>(this);
    else if (IsEqualIID(riid, kIidDocHostShowUI))
        *ppv = static_cast<IDocHostShowUI*>(&m_xDocHostShowUI);
    else if (IsEqualIID(riid, kIidDocHostUIHandler))
        *ppv = static_cast<IDocHostUIHandler*>(&m_xDocHostUIHandler);
    else if (IsEqualIID(riid, IID_IServiceProvider))
        *ppv = static_cast<IServiceProvider*>(this);
    else
        return E_NOINTERFACE;
    AddRef();
    return S_OK;
}

STDMETHODIMP_(ULONG) CCustomControlSite::AddRef() {
    return static_cast<ULONG>(::InterlockedIncrement(&m_nRefs));
}

STDMETHODIMP_(ULONG) CCustomControlSite::Release() {
    const LONG refs = ::InterlockedDecrement(&m_nRefs);
    if (refs == 0)
        delete this;
    return static_cast<ULONG>(refs);
}

// The page is never saved and lives in no compound document: no moniker, no container.
STDMETHODIMP CCustomControlSite::SaveObject() {
    return E_NOTIMPL;
}
STDMETHODIMP CCustomControlSite::GetMoniker(DWORD, DWORD, IMoniker** ppmk) {
    if (ppmk != nullptr)
        *ppmk = nullptr;
    return E_NOTIMPL;
}
STDMETHODIMP CCustomControlSite::GetContainer(IOleContainer** ppContainer) {
    if (ppContainer != nullptr)
        *ppContainer = nullptr;
    return E_NOINTERFACE;
}
STDMETHODIMP CCustomControlSite::ShowObject() {
    return S_OK;
}
STDMETHODIMP CCustomControlSite::OnShowWindow(BOOL) {
    return S_OK;
}
STDMETHODIMP CCustomControlSite::RequestNewObjectLayout() {
    return E_NOTIMPL;
}

STDMETHODIMP CCustomControlSite::GetWindow(HWND* phwnd) {
    if (phwnd == nullptr)
        return E_POINTER;
    *phwnd = m_hwndParent;
    return m_hwndParent != nullptr ? S_OK : E_FAIL;
}
STDMETHODIMP CCustomControlSite::ContextSensitiveHelp(BOOL) {
    return E_NOTIMPL;
}

STDMETHODIMP CCustomControlSite::CanInPlaceActivate() {
    return m_hwndParent != nullptr ? S_OK : S_FALSE;
}
STDMETHODIMP CCustomControlSite::OnInPlaceActivate() {
    return S_OK;
}
STDMETHODIMP CCustomControlSite::OnUIActivate() {
    return S_OK;
}

STDMETHODIMP CCustomControlSite::GetWindowContext(IOleInPlaceFrame** ppFrame, IOleInPlaceUIWindow** ppDoc,
                                                  LPRECT prcPos, LPRECT prcClip, LPOLEINPLACEFRAMEINFO pFrameInfo) {
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

STDMETHODIMP CCustomControlSite::Scroll(SIZE) {
    return E_NOTIMPL;
}
STDMETHODIMP CCustomControlSite::OnUIDeactivate(BOOL) {
    return S_OK;
}
STDMETHODIMP CCustomControlSite::OnInPlaceDeactivate() {
    return S_OK;
}
STDMETHODIMP CCustomControlSite::DiscardUndoState() {
    return E_NOTIMPL;
}
STDMETHODIMP CCustomControlSite::DeactivateAndUndo() {
    return E_NOTIMPL;
}
// The host decides the control's place (CBrowserHost::Move); a control asking for another keeps ours.
STDMETHODIMP CCustomControlSite::OnPosRectChange(LPCRECT) {
    return S_OK;
}

// No toolbars or menus are merged into our windows.
STDMETHODIMP CCustomControlSite::GetBorder(LPRECT) {
    return INPLACE_E_NOTOOLSPACE;
}
STDMETHODIMP CCustomControlSite::RequestBorderSpace(LPCBORDERWIDTHS) {
    return INPLACE_E_NOTOOLSPACE;
}
STDMETHODIMP CCustomControlSite::SetBorderSpace(LPCBORDERWIDTHS) {
    return OLE_E_INVALIDRECT;
}
STDMETHODIMP CCustomControlSite::SetActiveObject(IOleInPlaceActiveObject*, LPCOLESTR) {
    return S_OK;
}
STDMETHODIMP CCustomControlSite::InsertMenus(HMENU, LPOLEMENUGROUPWIDTHS) {
    return E_NOTIMPL;
}
STDMETHODIMP CCustomControlSite::SetMenu(HMENU, HOLEMENU, HWND) {
    return S_OK;
}
STDMETHODIMP CCustomControlSite::RemoveMenus(HMENU) {
    return E_NOTIMPL;
}
STDMETHODIMP CCustomControlSite::SetStatusText(LPCOLESTR) {
    return S_OK;
}
STDMETHODIMP CCustomControlSite::EnableModeless(BOOL) {
    return S_OK;
}
STDMETHODIMP CCustomControlSite::TranslateAccelerator(LPMSG, WORD) {
    return S_FALSE;
}

namespace {

// {79EAC9D5-BAFA-11CE-8C82-00AA004BA90B} and {79EAC9D7-...}: urlmon's, not in MinGW's import libraries.
constexpr IID kIidWindowForBindingUI = {0x79EAC9D5, 0xBAFA, 0x11CE, {0x8C, 0x82, 0x00, 0xAA, 0x00, 0x4B, 0xA9, 0x0B}};
constexpr IID kIidHttpSecurity = {0x79EAC9D7, 0xBAFA, 0x11CE, {0x8C, 0x82, 0x00, 0xAA, 0x00, 0x4B, 0xA9, 0x0B}};

} // namespace

STDMETHODIMP CCustomControlSite::QueryService(REFGUID guidService, REFIID riid, void** ppv) {
    if (ppv == nullptr)
        return E_POINTER;
    *ppv = nullptr;
    if (!IsEqualGUID(guidService, kIidHttpSecurity) && !IsEqualGUID(guidService, kIidWindowForBindingUI))
        return E_NOINTERFACE;
    return m_xHttpSecurity.QueryInterface(riid, ppv);
}

STDMETHODIMP CCustomControlSite::XHttpSecurity::QueryInterface(REFIID riid, void** ppv) {
    if (ppv == nullptr)
        return E_POINTER;
    if (IsEqualIID(riid, kIidHttpSecurity) || IsEqualIID(riid, kIidWindowForBindingUI)) {
        *ppv = static_cast<IHttpSecurity*>(this);
        AddRef();
        return S_OK;
    }
    return m_outer.QueryInterface(riid, ppv);
}

STDMETHODIMP CCustomControlSite::XHttpSecurity::GetWindow(REFGUID, HWND* phwnd) {
    if (phwnd == nullptr)
        return E_POINTER;
    *phwnd = m_outer.m_hwndParent;
    return S_OK;
}

// Whatever the problem (an unknown authority, a wrong name, an expired certificate), the load stops.
STDMETHODIMP CCustomControlSite::XHttpSecurity::OnSecurityProblem(DWORD) {
    return E_ABORT;
}

// The page's own caption and box type are ignored: every alert reads as ours. The page's text goes
// through code page 949 like all the program's text. plResult is left alone.
STDMETHODIMP CCustomControlSite::XDocHostShowUI::ShowMessage(HWND hwnd, LPOLESTR lpstrText, LPOLESTR, DWORD, LPOLESTR,
                                                             DWORD, LRESULT*) {
    const CWindow::CHandlerScope scope; // the page's box runs a modal loop under the browser
    try {
        std::wstring text;
        if (lpstrText != nullptr)
            text = Cp949ToWide(WideToCp949(std::wstring_view(lpstrText, std::wcslen(lpstrText))));
        AppMessageBox(hwnd != nullptr && ::IsWindow(hwnd) ? hwnd : nullptr, text, MB_ICONERROR | MB_OK);
    } catch (...) {
        // Out of memory for the text: the page's box is still not shown.
    }
    return S_OK;
}

STDMETHODIMP CCustomControlSite::XDocHostShowUI::ShowHelp(HWND, LPOLESTR, UINT, DWORD, POINT, IDispatch*) {
    return S_OK;
}

// The portal menu instead of the browser's; its commands go to the owner window as WM_COMMAND.
STDMETHODIMP CCustomControlSite::XDocHostUIHandler::ShowContextMenu(DWORD, POINT* ppt, IUnknown*, IDispatch*) {
    const CWindow::CHandlerScope scope; // the menu runs a modal loop under the browser
    const CMenuHandle menu(::LoadMenuW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDR_PORTAL_MENU)));
    if (!menu)
        return S_OK;
    HWND owner = nullptr;
    if (m_outer.m_menuOwner)
        owner = m_outer.m_menuOwner();
    if (owner == nullptr || !::IsWindow(owner))
        owner = m_outer.m_hwndParent;
    POINT pt{};
    if (ppt != nullptr)
        pt = *ppt;
    else
        ::GetCursorPos(&pt);
    HMENU hPopup = ::GetSubMenu(menu.Get(), 0);
    if (hPopup != nullptr && owner != nullptr && ::IsWindow(owner))
        ::TrackPopupMenu(hPopup, TPM_RIGHTBUTTON, pt.x, pt.y, 0, owner, nullptr);
    return S_OK;
}

STDMETHODIMP CCustomControlSite::XDocHostUIHandler::GetHostInfo(DOCHOSTUIINFO* pInfo) {
    if (pInfo == nullptr)
        return E_POINTER;
    // A caller that knows a smaller structure than the two members we set gets nothing written.
    if (pInfo->cbSize < offsetof(DOCHOSTUIINFO, dwDoubleClick) + sizeof(pInfo->dwDoubleClick))
        return E_INVALIDARG;
    pInfo->dwFlags = DOCHOSTUIFLAG_NO3DBORDER;
    pInfo->dwDoubleClick = DOCHOSTUIDBLCLK_DEFAULT;
    return S_OK;
}

STDMETHODIMP CCustomControlSite::XDocHostUIHandler::ShowUI(DWORD, IOleInPlaceActiveObject*, IOleCommandTarget*,
                                                           IOleInPlaceFrame*, IOleInPlaceUIWindow*) {
    return S_OK;
}
STDMETHODIMP CCustomControlSite::XDocHostUIHandler::HideUI() {
    return S_OK;
}
STDMETHODIMP CCustomControlSite::XDocHostUIHandler::UpdateUI() {
    return S_OK;
}
STDMETHODIMP CCustomControlSite::XDocHostUIHandler::EnableModeless(BOOL) {
    return E_NOTIMPL;
}
STDMETHODIMP CCustomControlSite::XDocHostUIHandler::OnDocWindowActivate(BOOL) {
    return E_NOTIMPL;
}
STDMETHODIMP CCustomControlSite::XDocHostUIHandler::OnFrameWindowActivate(BOOL) {
    return E_NOTIMPL;
}
STDMETHODIMP CCustomControlSite::XDocHostUIHandler::ResizeBorder(LPCRECT, IOleInPlaceUIWindow*, BOOL) {
    return E_NOTIMPL;
}

// Reload (F5), open, print and new window (Ctrl+O, P, N) and stop (Escape) never reach the page. The
// held keys are read as they are now, Ctrl as the thread sees it, and the message's own key counts as held;
// Escape only from the message.
STDMETHODIMP CCustomControlSite::XDocHostUIHandler::TranslateAccelerator(LPMSG lpMsg, const GUID*, DWORD) {
    if (lpMsg == nullptr)
        return S_FALSE;
    auto down = [](SHORT state) { return (static_cast<USHORT>(state) & 0x8000u) != 0; };
    KeyFilterInput in;
    in.bKeyDown = lpMsg->message == WM_KEYDOWN;
    in.nVirtualKey = static_cast<unsigned>(lpMsg->wParam);
    in.bF5Down = down(::GetAsyncKeyState(VK_F5));
    in.bCtrlDown = down(::GetKeyState(VK_CONTROL));
    in.bODown = down(::GetAsyncKeyState('O'));
    in.bPDown = down(::GetAsyncKeyState('P'));
    in.bNDown = down(::GetAsyncKeyState('N'));
    return IsFilteredKey(in) ? S_OK : S_FALSE;
}

STDMETHODIMP CCustomControlSite::XDocHostUIHandler::GetOptionKeyPath(LPOLESTR* pchKey, DWORD) {
    if (pchKey != nullptr)
        *pchKey = nullptr;
    return E_NOTIMPL;
}
STDMETHODIMP CCustomControlSite::XDocHostUIHandler::GetDropTarget(IDropTarget*, IDropTarget** ppDropTarget) {
    if (ppDropTarget != nullptr)
        *ppDropTarget = nullptr;
    return E_NOTIMPL;
}

STDMETHODIMP CCustomControlSite::XDocHostUIHandler::GetExternal(IDispatch** ppDispatch) {
    if (ppDispatch == nullptr)
        return E_POINTER;
    *ppDispatch = nullptr;
    if (m_outer.m_pExternal == nullptr)
        return E_NOTIMPL; // the page's window.external is then null
    // A new one each time: holding it here would close a reference cycle through the page.
    auto* page = new (std::nothrow) CPageExternal(*m_outer.m_pExternal);
    if (page == nullptr)
        return E_OUTOFMEMORY;
    *ppDispatch = page;
    return S_OK;
}

STDMETHODIMP CCustomControlSite::XDocHostUIHandler::TranslateUrl(DWORD, LPWSTR, LPWSTR* ppchURLOut) {
    if (ppchURLOut != nullptr)
        *ppchURLOut = nullptr;
    return E_NOTIMPL;
}
STDMETHODIMP CCustomControlSite::XDocHostUIHandler::FilterDataObject(IDataObject*, IDataObject** ppDORet) {
    if (ppDORet != nullptr)
        *ppDORet = nullptr;
    return E_NOTIMPL;
}

} // namespace dravel::win
