#include "win/base/Window.h"

#include "win/base/Debug.h"

#include <algorithm>

namespace dravel::win {

namespace {

// Window properties: the bound object, and the original procedure of a subclassed window (kept on the
// window too, so that a window we could not unhook cleanly still reaches its original procedure).
ATOM ThisAtom() {
    static const ATOM atom = ::GlobalAddAtomW(L"DravelOn.CWindow.This");
    return atom;
}

ATOM SuperAtom() {
    static const ATOM atom = ::GlobalAddAtomW(L"DravelOn.CWindow.Super");
    return atom;
}

thread_local CWindow* t_pPendingCreate = nullptr;

// Signed client coordinates (windowsx.h is not used: its SubclassWindow macro would clash).
POINT PointFromLParam(LPARAM lParam) {
    return POINT{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
}

} // namespace

std::wstring WindowText(HWND hwnd) {
    const int n = ::GetWindowTextLengthW(hwnd);
    if (n <= 0)
        return {};
    std::wstring text(static_cast<size_t>(n) + 1, L'\0');
    const int got = ::GetWindowTextW(hwnd, text.data(), n + 1);
    text.resize(static_cast<size_t>(std::clamp(got, 0, n)));
    return text;
}

CWindow::~CWindow() {
    if (m_hWnd == nullptr)
        return;
    const HWND hwnd = m_hWnd;
    const bool bOwns = m_bOwnsWindow;
    // Unbind first: handlers of a half-destroyed object must not run.
    Unbind();
    if (bOwns)
        ::DestroyWindow(hwnd);
}

bool CWindow::RegisterWindowClass(const wchar_t* className, UINT style, HBRUSH background, HCURSOR cursor, HICON icon,
                                  HICON smallIcon) {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.style = style;
    wc.hCursor = cursor != nullptr ? cursor : ::LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = background;
    wc.hIcon = icon;
    wc.hIconSm = smallIcon;
    wc.lpszClassName = className;
    return RegisterWindowClass(wc);
}

bool CWindow::RegisterWindowClass(WNDCLASSEXW wc) {
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = &CWindow::WindowProc;
    if (wc.hInstance == nullptr)
        wc.hInstance = ::GetModuleHandleW(nullptr);
    if (::RegisterClassExW(&wc) != 0)
        return true;
    return ::GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

HWND CWindow::Create(const wchar_t* className, const wchar_t* title, DWORD style, int x, int y, int cx, int cy,
                     HWND parent, HMENU menuOrId, DWORD exStyle) {
    if (m_hWnd != nullptr)
        return nullptr;
    SetPendingCreate(this);
    const HWND hwnd = ::CreateWindowExW(exStyle, className, title, style, x, y, cx, cy, parent, menuOrId,
                                        ::GetModuleHandleW(nullptr), this);
    SetPendingCreate(nullptr);
    if (hwnd == nullptr) {
        // Creation failed after binding (OnCreate said no): the window is gone.
        if (m_hWnd != nullptr)
            Unbind();
        return nullptr;
    }
    m_bOwnsWindow = true;
    return hwnd;
}

bool CWindow::Subclass(HWND hwnd) {
    if (m_hWnd != nullptr || hwnd == nullptr || FromHandle(hwnd) != nullptr)
        return false;
    if (!Bind(hwnd, true))
        return false;
    m_bOwnsWindow = false;
    return true;
}

bool CWindow::DestroyWindow() {
    if (m_hWnd == nullptr)
        return false;
    return ::DestroyWindow(m_hWnd) != FALSE;
}

bool CWindow::SetText(std::wstring_view text) const {
    const std::wstring copy(text);
    return ::SetWindowTextW(m_hWnd, copy.c_str()) != FALSE;
}

RECT CWindow::GetClientRect() const {
    RECT rc{};
    ::GetClientRect(m_hWnd, &rc);
    return rc;
}

RECT CWindow::GetWindowRect() const {
    RECT rc{};
    ::GetWindowRect(m_hWnd, &rc);
    return rc;
}

void CWindow::CenterWindow(HWND relativeTo) const {
    if (m_hWnd == nullptr)
        return;
    const bool bChild = (::GetWindowLongW(m_hWnd, GWL_STYLE) & WS_CHILD) != 0;
    HWND center = relativeTo;
    if (center == nullptr)
        center = bChild ? ::GetParent(m_hWnd) : ::GetWindow(m_hWnd, GW_OWNER);
    if (center != nullptr && !bChild && (!::IsWindowVisible(center) || ::IsIconic(center)))
        center = nullptr;

    RECT rcWindow = GetWindowRect();
    RECT rcArea{};
    RECT rcCenter{};
    if (bChild) {
        HWND parent = ::GetParent(m_hWnd);
        ::GetClientRect(parent, &rcArea);
        if (center != nullptr && center != parent) {
            ::GetWindowRect(center, &rcCenter);
            ::MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&rcCenter), 2);
        } else {
            rcCenter = rcArea;
        }
        ::MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&rcWindow), 2);
    } else {
        const HMONITOR monitor = ::MonitorFromWindow(center != nullptr ? center : m_hWnd, MONITOR_DEFAULTTONEAREST);
        MONITORINFO mi{};
        mi.cbSize = sizeof(mi);
        ::GetMonitorInfoW(monitor, &mi);
        rcArea = mi.rcWork;
        if (center != nullptr)
            ::GetWindowRect(center, &rcCenter);
        else
            rcCenter = rcArea;
    }

    const int cx = rcWindow.right - rcWindow.left;
    const int cy = rcWindow.bottom - rcWindow.top;
    int x = (rcCenter.left + rcCenter.right) / 2 - cx / 2;
    int y = (rcCenter.top + rcCenter.bottom) / 2 - cy / 2;
    // Inside the area; a window larger than the area keeps its top-left corner in it.
    x = std::max(static_cast<int>(rcArea.left), std::min(x, static_cast<int>(rcArea.right) - cx));
    y = std::max(static_cast<int>(rcArea.top), std::min(y, static_cast<int>(rcArea.bottom) - cy));
    ::SetWindowPos(m_hWnd, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

LRESULT CWindow::DefaultProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    if (m_pfnSuper != nullptr)
        return ::CallWindowProcW(m_pfnSuper, m_hWnd, msg, wParam, lParam);
    return ::DefWindowProcW(m_hWnd, msg, wParam, lParam);
}

LRESULT CWindow::Default() {
    return DefaultProc(m_msgCurrent.message, m_msgCurrent.wParam, m_msgCurrent.lParam);
}

LRESULT CWindow::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_CREATE:
        return OnCreate(*reinterpret_cast<CREATESTRUCTW*>(lParam)) ? 0 : -1;
    case WM_DESTROY:
        OnDestroy();
        return 0;
    case WM_CLOSE:
        OnClose();
        return 0;
    case WM_COMMAND: {
        LRESULT reflected = 0;
        if (lParam != 0)
            ReflectToChild(reinterpret_cast<HWND>(lParam), msg, wParam, lParam, reflected);
        if (OnCommand(LOWORD(wParam), HIWORD(wParam), reinterpret_cast<HWND>(lParam)))
            return 0;
        return Default();
    }
    case WM_DRAWITEM: {
        const auto* dis = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
        LRESULT reflected = 0;
        if (dis != nullptr && dis->CtlType != ODT_MENU && ReflectToChild(dis->hwndItem, msg, wParam, lParam, reflected))
            return reflected;
        return Default();
    }
    case WM_CTLCOLORBTN: {
        LRESULT reflected = 0;
        if (ReflectToChild(reinterpret_cast<HWND>(lParam), msg, wParam, lParam, reflected))
            return reflected;
        return Default();
    }
    case WM_NOTIFY:
        return OnNotify(static_cast<int>(wParam), *reinterpret_cast<NMHDR*>(lParam));
    case WM_TIMER:
        OnTimer(static_cast<UINT_PTR>(wParam));
        return 0;
    case WM_SIZE:
        OnSize(static_cast<UINT>(wParam), LOWORD(lParam), HIWORD(lParam));
        return 0;
    case WM_PAINT:
        OnPaint();
        return 0;
    case WM_ERASEBKGND:
        return OnEraseBkgnd(reinterpret_cast<HDC>(wParam)) ? 1 : 0;
    case WM_SYSCOMMAND:
        OnSysCommand(static_cast<UINT>(wParam), lParam);
        return 0;
    case WM_MOUSEMOVE:
        OnMouseMove(static_cast<UINT>(wParam), PointFromLParam(lParam));
        return 0;
    case WM_LBUTTONDOWN:
        OnLButtonDown(static_cast<UINT>(wParam), PointFromLParam(lParam));
        return 0;
    case WM_LBUTTONUP:
        OnLButtonUp(static_cast<UINT>(wParam), PointFromLParam(lParam));
        return 0;
    case WM_GETMINMAXINFO:
        OnGetMinMaxInfo(*reinterpret_cast<MINMAXINFO*>(lParam));
        return 0;
    case WM_NCHITTEST:
        return static_cast<LRESULT>(OnNcHitTest(PointFromLParam(lParam)));
    default:
        return Default();
    }
}

bool CWindow::OnCreate(CREATESTRUCTW&) {
    return Default() != -1;
}
void CWindow::OnDestroy() {
    Default();
}
void CWindow::OnClose() {
    Default();
}
bool CWindow::OnCommand(int, int, HWND) {
    return false;
}
LRESULT CWindow::OnNotify(int, NMHDR&) {
    return Default();
}
void CWindow::OnTimer(UINT_PTR) {
    Default();
}
void CWindow::OnSize(UINT, int, int) {
    Default();
}
void CWindow::OnPaint() {
    Default();
}
bool CWindow::OnEraseBkgnd(HDC) {
    return Default() != 0;
}
void CWindow::OnSysCommand(UINT, LPARAM) {
    Default();
}
void CWindow::OnMouseMove(UINT, POINT) {
    Default();
}
void CWindow::OnLButtonDown(UINT, POINT) {
    Default();
}
void CWindow::OnLButtonUp(UINT, POINT) {
    Default();
}
void CWindow::OnGetMinMaxInfo(MINMAXINFO&) {
    Default();
}
UINT CWindow::OnNcHitTest(POINT) {
    return static_cast<UINT>(Default());
}
void CWindow::OnFinalMessage(HWND) {}

bool CWindow::OnReflectedMessage(UINT, WPARAM, LPARAM, LRESULT&) {
    return false;
}

bool CWindow::ReflectToChild(HWND child, UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    if (child == nullptr || child == m_hWnd || ::GetParent(child) != m_hWnd)
        return false;
    CWindow* control = FromHandle(child);
    return control != nullptr && control->OnReflectedMessage(msg, wParam, lParam, result);
}

bool CWindow::Bind(HWND hwnd, bool bSubclass) {
    if (!::SetPropW(hwnd, MAKEINTATOM(ThisAtom()), this))
        return false;
    m_hWnd = hwnd;
    m_pfnSuper = nullptr;
    if (bSubclass) {
        const auto prev = reinterpret_cast<WNDPROC>(
            ::SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&CWindow::WindowProc)));
        if (prev == nullptr) {
            ::RemovePropW(hwnd, MAKEINTATOM(ThisAtom()));
            m_hWnd = nullptr;
            return false;
        }
        m_pfnSuper = prev;
        ::SetPropW(hwnd, MAKEINTATOM(SuperAtom()), reinterpret_cast<HANDLE>(prev));
    }
    return true;
}

void CWindow::Unbind() {
    const HWND hwnd = m_hWnd;
    if (hwnd == nullptr)
        return;
    ::RemovePropW(hwnd, MAKEINTATOM(ThisAtom()));
    if (m_pfnSuper != nullptr) {
        // Only unhook if nobody subclassed on top of us; otherwise our procedure stays in the chain and
        // forwards through the window's Super property.
        if (::GetWindowLongPtrW(hwnd, GWLP_WNDPROC) == reinterpret_cast<LONG_PTR>(&CWindow::WindowProc)) {
            ::SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(m_pfnSuper));
            ::RemovePropW(hwnd, MAKEINTATOM(SuperAtom()));
        }
    }
    m_hWnd = nullptr;
    m_pfnSuper = nullptr;
    m_bOwnsWindow = false;
}

CWindow* CWindow::FromHandle(HWND hwnd) {
    return hwnd != nullptr ? static_cast<CWindow*>(::GetPropW(hwnd, MAKEINTATOM(ThisAtom()))) : nullptr;
}

void CWindow::SetPendingCreate(CWindow* pWindow) {
    t_pPendingCreate = pWindow;
}

bool CWindow::TakePendingCreate(CWindow* pWindow) {
    if (pWindow == nullptr || t_pPendingCreate != pWindow)
        return false;
    t_pPendingCreate = nullptr;
    return true;
}

namespace {
thread_local int t_nHandlerDepth = 0;
}

int CWindow::HandlerDepth() noexcept {
    return t_nHandlerDepth;
}

CWindow::CHandlerScope::CHandlerScope() noexcept {
    ++t_nHandlerDepth;
}

CWindow::CHandlerScope::~CHandlerScope() {
    --t_nHandlerDepth;
}

LRESULT CWindow::Dispatch(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, bool& bFailed) noexcept {
    const CHandlerScope scope;
    bFailed = false;
    const MSG saved = m_msgCurrent;
    m_msgCurrent = MSG{hwnd, msg, wParam, lParam, 0, {}};
    ++m_nDepth;
    LRESULT result = 0;
    try {
        result = HandleMessage(msg, wParam, lParam);
    } catch (...) {
        TraceCaughtException(L"window procedure");
        bFailed = true;
        switch (msg) {
        case WM_NCCREATE:
            result = FALSE;
            break;
        case WM_CREATE:
            result = -1;
            break;
        case WM_PAINT:
            ::ValidateRect(hwnd, nullptr);
            result = 0;
            break;
        default:
            result = 0;
            break;
        }
    }
    if (msg == WM_NCDESTROY && m_hWnd == hwnd) {
        Unbind();
        m_bFinalPending = true;
    }
    m_msgCurrent = saved;
    if (--m_nDepth == 0 && m_bFinalPending) {
        m_bFinalPending = false;
        // Last use of this object in this call: OnFinalMessage may delete it.
        try {
            OnFinalMessage(hwnd);
        } catch (...) {
            TraceCaughtException(L"OnFinalMessage");
        }
    }
    return result;
}

LRESULT CALLBACK CWindow::WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    CWindow* self = FromHandle(hwnd);
    if (self == nullptr && msg == WM_NCCREATE) {
        auto* cs = reinterpret_cast<CREATESTRUCTW*>(lParam);
        auto* candidate = static_cast<CWindow*>(cs->lpCreateParams);
        if (TakePendingCreate(candidate)) {
            if (!candidate->Bind(hwnd, false))
                return FALSE;
            self = candidate;
        }
    }
    if (self == nullptr) {
        const auto super = reinterpret_cast<WNDPROC>(::GetPropW(hwnd, MAKEINTATOM(SuperAtom())));
        if (super != nullptr) {
            if (msg == WM_NCDESTROY)
                ::RemovePropW(hwnd, MAKEINTATOM(SuperAtom()));
            return ::CallWindowProcW(super, hwnd, msg, wParam, lParam);
        }
        return ::DefWindowProcW(hwnd, msg, wParam, lParam);
    }
    bool bFailed = false;
    return self->Dispatch(hwnd, msg, wParam, lParam, bFailed);
}

} // namespace dravel::win
