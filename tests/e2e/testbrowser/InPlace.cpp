// The control's embedding: IOleObject, IOleInPlaceObject and IOleInPlaceActiveObject, its in-place
// activation and its window.
#include "tests/e2e/testbrowser/TestBrowser.h"

#include "tests/e2e/testbrowser/ComAnswers.h"

namespace {

bool g_bClassRegistered = false;

bool RegisterWindowClass(WNDPROC proc) noexcept {
    if (g_bClassRegistered)
        return true;
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = proc;
    wc.hInstance = ModuleInstance();
    wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    wc.lpszClassName = kTestBrowserClass;
    if (::RegisterClassExW(&wc) == 0 && ::GetLastError() != ERROR_CLASS_ALREADY_EXISTS)
        return false;
    g_bClassRegistered = true;
    return true;
}

} // namespace

bool WindowClassRegistered() noexcept {
    return g_bClassRegistered;
}

STDMETHODIMP CTestBrowser::SetClientSite(IOleClientSite* pClientSite) {
    if (pClientSite != nullptr)
        pClientSite->AddRef();
    ReleaseAndClear(m_pClientSite);
    m_pClientSite = pClientSite;
    return S_OK;
}

STDMETHODIMP CTestBrowser::GetClientSite(IOleClientSite** ppClientSite) {
    if (ppClientSite == nullptr)
        return E_POINTER;
    *ppClientSite = m_pClientSite;
    if (m_pClientSite != nullptr)
        m_pClientSite->AddRef();
    return S_OK;
}

STDMETHODIMP CTestBrowser::SetHostNames(LPCOLESTR, LPCOLESTR) {
    return S_OK;
}

STDMETHODIMP CTestBrowser::Close(DWORD) {
    InPlaceDeactivate();
    return S_OK;
}

STDMETHODIMP CTestBrowser::SetMoniker(DWORD, IMoniker*) {
    return E_NOTIMPL;
}
STDMETHODIMP CTestBrowser::GetMoniker(DWORD, DWORD, IMoniker** ppmk) {
    return NotOffered<IMoniker*>(ppmk);
}
STDMETHODIMP CTestBrowser::InitFromData(IDataObject*, BOOL, DWORD) {
    return E_NOTIMPL;
}
STDMETHODIMP CTestBrowser::GetClipboardData(DWORD, IDataObject** ppDataObject) {
    return NotOffered<IDataObject*>(ppDataObject);
}

STDMETHODIMP CTestBrowser::DoVerb(LONG iVerb, LPMSG, IOleClientSite* pActiveSite, LONG, HWND hwndParent,
                                  LPCRECT lprcPosRect) {
    switch (iVerb) {
    case OLEIVERB_PRIMARY:
    case OLEIVERB_SHOW:
    case OLEIVERB_OPEN:
    case OLEIVERB_UIACTIVATE:
    case OLEIVERB_INPLACEACTIVATE:
        return Guarded([&] {
            return ActivateInPlace(pActiveSite != nullptr ? pActiveSite : m_pClientSite, hwndParent, lprcPosRect);
        });
    case OLEIVERB_HIDE:
        if (m_hwnd != nullptr)
            ::ShowWindow(m_hwnd, SW_HIDE);
        return S_OK;
    default:
        return OLEOBJ_S_INVALIDVERB;
    }
}

STDMETHODIMP CTestBrowser::EnumVerbs(IEnumOLEVERB** ppEnumOleVerb) {
    if (ppEnumOleVerb != nullptr)
        *ppEnumOleVerb = nullptr;
    return OLE_S_USEREG;
}
STDMETHODIMP CTestBrowser::Update() {
    return S_OK;
}
STDMETHODIMP CTestBrowser::IsUpToDate() {
    return S_OK;
}
STDMETHODIMP CTestBrowser::GetUserClassID(CLSID* pClsid) {
    return Answer(pClsid, CLSID_WebBrowser);
}
STDMETHODIMP CTestBrowser::GetUserType(DWORD, LPOLESTR* pszUserType) {
    if (pszUserType != nullptr)
        *pszUserType = nullptr;
    return OLE_S_USEREG;
}
STDMETHODIMP CTestBrowser::SetExtent(DWORD dwDrawAspect, SIZEL* psizel) {
    if (dwDrawAspect != DVASPECT_CONTENT)
        return DV_E_DVASPECT;
    if (psizel == nullptr)
        return E_POINTER;
    m_sizeExtent = *psizel;
    return S_OK;
}
STDMETHODIMP CTestBrowser::GetExtent(DWORD dwDrawAspect, SIZEL* psizel) {
    if (dwDrawAspect != DVASPECT_CONTENT)
        return DV_E_DVASPECT;
    return Answer(psizel, m_sizeExtent);
}
STDMETHODIMP CTestBrowser::Advise(IAdviseSink*, DWORD* pdwConnection) {
    if (pdwConnection != nullptr)
        *pdwConnection = 0;
    return OLE_E_ADVISENOTSUPPORTED;
}
STDMETHODIMP CTestBrowser::Unadvise(DWORD) {
    return OLE_E_NOCONNECTION;
}
STDMETHODIMP CTestBrowser::EnumAdvise(IEnumSTATDATA** ppenumAdvise) {
    if (ppenumAdvise != nullptr)
        *ppenumAdvise = nullptr;
    return OLE_E_ADVISENOTSUPPORTED;
}
STDMETHODIMP CTestBrowser::GetMiscStatus(DWORD, DWORD* pdwStatus) {
    return Answer(pdwStatus,
                  static_cast<DWORD>(OLEMISC_SETCLIENTSITEFIRST | OLEMISC_ACTIVATEWHENVISIBLE | OLEMISC_INSIDEOUT |
                                     OLEMISC_CANTLINKINSIDE | OLEMISC_RECOMPOSEONRESIZE));
}
STDMETHODIMP CTestBrowser::SetColorScheme(LOGPALETTE*) {
    return E_NOTIMPL;
}

STDMETHODIMP CTestBrowser::GetWindow(HWND* phwnd) {
    if (phwnd == nullptr)
        return E_POINTER;
    *phwnd = m_hwnd;
    return m_hwnd != nullptr ? S_OK : E_FAIL;
}
STDMETHODIMP CTestBrowser::ContextSensitiveHelp(BOOL) {
    return E_NOTIMPL;
}

STDMETHODIMP CTestBrowser::InPlaceDeactivate() {
    if (m_hwnd != nullptr) {
        const HWND hwnd = m_hwnd;
        m_hwnd = nullptr;
        ::DestroyWindow(hwnd);
    }
    if (m_pInPlaceSite != nullptr) {
        IOleInPlaceSite* pSite = m_pInPlaceSite;
        m_pInPlaceSite = nullptr;
        pSite->OnInPlaceDeactivate();
        pSite->Release();
    }
    return S_OK;
}

STDMETHODIMP CTestBrowser::UIDeactivate() {
    return S_OK;
}

STDMETHODIMP CTestBrowser::SetObjectRects(LPCRECT lprcPosRect, LPCRECT) {
    if (lprcPosRect == nullptr)
        return E_POINTER;
    if (m_hwnd != nullptr)
        ::MoveWindow(m_hwnd, lprcPosRect->left, lprcPosRect->top, lprcPosRect->right - lprcPosRect->left,
                     lprcPosRect->bottom - lprcPosRect->top, TRUE);
    return S_OK;
}

STDMETHODIMP CTestBrowser::ReactivateAndUndo() {
    return E_NOTIMPL;
}

STDMETHODIMP CTestBrowser::OnFrameWindowActivate(BOOL) {
    return S_OK;
}
STDMETHODIMP CTestBrowser::OnDocWindowActivate(BOOL) {
    return S_OK;
}
STDMETHODIMP CTestBrowser::ResizeBorder(LPCRECT, IOleInPlaceUIWindow*, BOOL) {
    return S_OK;
}
STDMETHODIMP CTestBrowser::EnableModeless(BOOL) {
    return S_OK;
}

// As the real control does: the site must agree, names the parent window and gives the place unless
// the verb did.
HRESULT CTestBrowser::ActivateInPlace(IOleClientSite* pSite, HWND hwndParent, LPCRECT lprcPosRect) {
    if (m_hwnd != nullptr) {
        ::ShowWindow(m_hwnd, SW_SHOWNA);
        if (lprcPosRect != nullptr)
            SetObjectRects(lprcPosRect, lprcPosRect);
        return S_OK;
    }
    if (pSite == nullptr)
        return E_INVALIDARG;
    IOleInPlaceSite* pInPlaceSite = nullptr;
    if (FAILED(pSite->QueryInterface(IID_IOleInPlaceSite, reinterpret_cast<void**>(&pInPlaceSite))) ||
        pInPlaceSite == nullptr)
        return E_NOINTERFACE;
    if (pInPlaceSite->CanInPlaceActivate() != S_OK) {
        pInPlaceSite->Release();
        return OLEOBJ_S_CANNOT_DOVERB_NOW;
    }
    pInPlaceSite->OnInPlaceActivate();
    m_pInPlaceSite = pInPlaceSite;

    HWND hwndSite = nullptr;
    if (FAILED(pInPlaceSite->GetWindow(&hwndSite)) || hwndSite == nullptr)
        hwndSite = hwndParent;
    RECT pos{}, clip{};
    IOleInPlaceFrame* pFrame = nullptr;
    IOleInPlaceUIWindow* pDoc = nullptr;
    OLEINPLACEFRAMEINFO frameInfo{};
    frameInfo.cb = sizeof frameInfo;
    const bool bContext = SUCCEEDED(pInPlaceSite->GetWindowContext(&pFrame, &pDoc, &pos, &clip, &frameInfo));
    ReleaseAndClear(pFrame);
    ReleaseAndClear(pDoc);
    if (lprcPosRect != nullptr)
        pos = *lprcPosRect;
    else if (!bContext)
        ::SetRectEmpty(&pos);

    if (hwndSite == nullptr || !::IsWindow(hwndSite) || !RegisterWindowClass(&CTestBrowser::WindowProc)) {
        InPlaceDeactivate();
        return E_FAIL;
    }
    const HWND hwnd = ::CreateWindowExW(
        0, kTestBrowserClass, m_strUrl.c_str(), WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN, pos.left,
        pos.top, pos.right - pos.left, pos.bottom - pos.top, hwndSite, nullptr, ModuleInstance(), this);
    if (hwnd == nullptr) {
        InPlaceDeactivate();
        return E_FAIL;
    }
    return S_OK;
}

LRESULT CALLBACK CTestBrowser::WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_NCCREATE) {
        auto* creator = static_cast<CTestBrowser*>(reinterpret_cast<const CREATESTRUCTW*>(lParam)->lpCreateParams);
        ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(creator));
        creator->m_hwnd = hwnd;
    }
    auto* self = reinterpret_cast<CTestBrowser*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (self == nullptr || self->m_hwnd != hwnd)
        return ::DefWindowProcW(hwnd, msg, wParam, lParam);
    try {
        return self->HandleMessage(msg, wParam, lParam);
    } catch (...) {
        return 0; // the host's window goes on; the command that failed says so through its answer
    }
}

LRESULT CTestBrowser::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_PAINT:
        OnPaint();
        return 0;
    case WM_COPYDATA:
        return OnCopyData(reinterpret_cast<HWND>(wParam), reinterpret_cast<const COPYDATASTRUCT*>(lParam));
    case kRunPostedMessage:
        OnRunPosted();
        return 0;
    case WM_KEYDOWN:
        // A key the container let through to the page.
        NoteKey(static_cast<unsigned>(wParam), L"reached");
        return 0;
    case WM_LBUTTONUP:
        // A click was delivered, as VK_LBUTTON.
        NoteKey(VK_LBUTTON, L"reached");
        return 0;
    case WM_NCDESTROY: {
        // Destroyed by the parent going away rather than by us: nothing may reach the object after this.
        const HWND hwnd = m_hwnd;
        ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
        m_hwnd = nullptr;
        return ::DefWindowProcW(hwnd, msg, wParam, lParam);
    }
    default:
        return ::DefWindowProcW(m_hwnd, msg, wParam, lParam);
    }
}

// The address, so that a screenshot shows which page a window holds.
void CTestBrowser::OnPaint() {
    PAINTSTRUCT ps;
    const HDC dc = ::BeginPaint(m_hwnd, &ps);
    if (dc == nullptr)
        return;
    RECT rc{};
    ::GetClientRect(m_hwnd, &rc);
    ::FillRect(dc, &rc, reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1));
    ::FrameRect(dc, &rc, static_cast<HBRUSH>(::GetStockObject(GRAY_BRUSH)));
    ::InflateRect(&rc, -6, -6);
    const std::wstring text = L"test browser: " + m_strUrl;
    const HGDIOBJ oldFont = ::SelectObject(dc, ::GetStockObject(DEFAULT_GUI_FONT));
    ::SetBkMode(dc, TRANSPARENT);
    ::SetTextColor(dc, ::GetSysColor(COLOR_WINDOWTEXT));
    ::DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &rc, DT_LEFT | DT_TOP | DT_WORDBREAK | DT_NOPREFIX);
    ::SelectObject(dc, oldFont);
    ::EndPaint(m_hwnd, &ps);
}
