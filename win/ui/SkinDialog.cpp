#include "win/ui/SkinDialog.h"

#include "win/ui/Dpi.h"

namespace dravel::win {

CSkinDialog::SetLayeredFn CSkinDialog::s_pfnSetLayered = nullptr;

namespace {

// Above this many copies a tiled background is filled with a pattern brush instead of single blits
// (a tiny bitmap over a large window would otherwise take seconds per erase).
constexpr long long kMaxTileBlits = 4096;

} // namespace

CSkinDialog::CSkinDialog(UINT templateId, HINSTANCE module) noexcept : CDialog(templateId, module) {
    LookUpLayeredCall();
}

CSkinDialog::CSkinDialog(const DLGTEMPLATE* pTemplate) noexcept : CDialog(pTemplate) {
    LookUpLayeredCall();
}

void CSkinDialog::LookUpLayeredCall() noexcept {
    // Looked up by name: the program also starts on systems whose user32 has no layered windows.
    const HMODULE user32 = ::GetModuleHandleW(L"USER32.DLL");
    s_pfnSetLayered = user32 != nullptr ? reinterpret_cast<SetLayeredFn>(reinterpret_cast<void*>(
                                              ::GetProcAddress(user32, "SetLayeredWindowAttributes")))
                                        : nullptr;
}

void CSkinDialog::ForgetLayeredCall() noexcept {
    s_pfnSetLayered = nullptr;
}

bool CSkinDialog::SetBitmap(UINT resourceId) {
    // The skin drawn for the window's dpi (or the screen's, before there is a window).
    const int dpi = IsWindow() ? WindowDpi(m_hWnd) : ScreenDpi();
    CBitmapHandle bitmap = LoadBitmapForDpi(::GetModuleHandleW(nullptr), resourceId, dpi);
    const bool bTaken = TakeBitmap(std::move(bitmap));
    m_nSkinId = bTaken ? resourceId : 0;
    m_nSkinDpi = dpi;
    return bTaken;
}

bool CSkinDialog::SetBitmap(const wchar_t* fileName) {
    CBitmapHandle bitmap;
    if (fileName != nullptr && *fileName != L'\0')
        bitmap.Reset(static_cast<HBITMAP>(
            ::LoadImageW(nullptr, fileName, IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE | LR_CREATEDIBSECTION)));
    return TakeBitmap(std::move(bitmap));
}

bool CSkinDialog::SetBitmap(HBITMAP bitmap) {
    return TakeBitmap(CBitmapHandle(bitmap));
}

bool CSkinDialog::TakeBitmap(CBitmapHandle bitmap) {
    m_nSkinId = 0;
    m_background.Reset();
    m_nBitmapWidth = m_nBitmapHeight = 0;
    if (bitmap) {
        BITMAP bm{};
        if (::GetObjectW(bitmap.Get(), sizeof(bm), &bm) != sizeof(bm) || bm.bmWidth <= 0 || bm.bmHeight == 0)
            return false; // deleted with bitmap
        m_nBitmapWidth = bm.bmWidth;
        m_nBitmapHeight = bm.bmHeight < 0 ? -bm.bmHeight : bm.bmHeight;
        m_background = std::move(bitmap);
    }
    if (IsWindow())
        ::RedrawWindow(m_hWnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE);
    return true;
}

void CSkinDialog::SetBackgroundMode(int mode) {
    m_nBackgroundMode = mode;
    if (mode == kSkinFitWindow && m_background && IsWindow())
        ::SetWindowPos(m_hWnd, HWND_TOP, 0, 0, m_nBitmapWidth, m_nBitmapHeight, SWP_NOMOVE);
}

void CSkinDialog::StopLayered() {
    const LONG_PTR ex = ::GetWindowLongPtrW(m_hWnd, GWL_EXSTYLE);
    ::SetWindowLongPtrW(m_hWnd, GWL_EXSTYLE, ex & ~static_cast<LONG_PTR>(WS_EX_LAYERED));
    ::RedrawWindow(m_hWnd, nullptr, nullptr, RDW_ERASE | RDW_INVALIDATE | RDW_FRAME | RDW_ALLCHILDREN);
}

bool CSkinDialog::SetWindowAlpha(BYTE alpha) {
    if (s_pfnSetLayered == nullptr || !IsWindow())
        return false;
    if (alpha == 255) {
        StopLayered();
        return true;
    }
    const LONG_PTR ex = ::GetWindowLongPtrW(m_hWnd, GWL_EXSTYLE);
    ::SetWindowLongPtrW(m_hWnd, GWL_EXSTYLE, ex | WS_EX_LAYERED);
    return s_pfnSetLayered(m_hWnd, 0, alpha, LWA_ALPHA) != FALSE;
}

bool CSkinDialog::SetColourKey(COLORREF colour, bool bEnable) {
    if (s_pfnSetLayered == nullptr || !IsWindow())
        return false;
    if (!bEnable) {
        StopLayered();
        return true;
    }
    const LONG_PTR ex = ::GetWindowLongPtrW(m_hWnd, GWL_EXSTYLE);
    ::SetWindowLongPtrW(m_hWnd, GWL_EXSTYLE, ex | WS_EX_LAYERED);
    return s_pfnSetLayered(m_hWnd, colour, 0, LWA_COLORKEY) != FALSE;
}

void CSkinDialog::PaintBackground(HDC hdc, int clientWidth, int clientHeight) const {
    if (!m_background || hdc == nullptr)
        return;
    const SkinBackgroundPlacement p =
        PlaceSkinBackground(m_nBackgroundMode, m_nBitmapWidth, m_nBitmapHeight, clientWidth, clientHeight);
    if (p.Copies() == 0)
        return;
    if (p.Copies() > kMaxTileBlits) {
        // Same picture as the blits: the brush pattern starts at the client's origin.
        CBrushHandle brush(::CreatePatternBrush(m_background.Get()));
        if (brush) {
            POINT old{};
            ::SetBrushOrgEx(hdc, 0, 0, &old);
            const RECT rc{0, 0, clientWidth, clientHeight};
            ::FillRect(hdc, &rc, brush.Get());
            ::SetBrushOrgEx(hdc, old.x, old.y, nullptr);
            return;
        }
    }
    CDcHandle mem(::CreateCompatibleDC(hdc));
    if (!mem)
        return;
    CSelectObjectGuard select(mem.Get(), m_background.Get());
    if (p.bStretch) {
        const int oldMode = ::SetStretchBltMode(hdc, COLORONCOLOR);
        ::StretchBlt(hdc, 0, 0, p.cx, p.cy, mem.Get(), 0, 0, m_nBitmapWidth, m_nBitmapHeight, SRCCOPY);
        ::SetStretchBltMode(hdc, oldMode);
        return;
    }
    for (int row = 0; row < p.nRows; ++row) {
        for (int col = 0; col < p.nColumns; ++col)
            ::BitBlt(hdc, p.x + col * p.cx, p.y + row * p.cy, p.cx, p.cy, mem.Get(), 0, 0, SRCCOPY);
    }
}

LRESULT CSkinDialog::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_DPICHANGED) {
        // A skin from the resources is drawn again at the new size; the window then fits it, or takes the
        // suggested rectangle.
        const int dpi = DpiFromChangedMessage(wParam);
        if (m_nSkinId != 0 && dpi != m_nSkinDpi) {
            const UINT id = m_nSkinId;
            if (CBitmapHandle bitmap = LoadBitmapForDpi(::GetModuleHandleW(nullptr), id, dpi);
                TakeBitmap(std::move(bitmap))) {
                m_nSkinId = id;
                m_nSkinDpi = dpi;
            }
        }
        if (m_nBackgroundMode == kSkinFitWindow && m_background)
            SetBackgroundMode(kSkinFitWindow);
        else
            MoveToSuggestedRect(m_hWnd, lParam);
        return 0;
    }
    if (msg == WM_PRINTCLIENT) {
        // Printing into a memory DC (PrintWindow, WM_PRINT) paints the skin as a real erase would.
        if ((lParam & PRF_ERASEBKGND) != 0)
            SendMessage(WM_ERASEBKGND, wParam);
        return Default();
    }
    return CDialog::HandleMessage(msg, wParam, lParam);
}

bool CSkinDialog::OnEraseBkgnd(HDC hdc) {
    const bool bErased = CDialog::OnEraseBkgnd(hdc);
    if (m_background) {
        const RECT rc = GetClientRect();
        PaintBackground(hdc, rc.right - rc.left, rc.bottom - rc.top);
    }
    return bErased;
}

void CSkinDialog::OnSize(UINT type, int cx, int cy) {
    CDialog::OnSize(type, cx, cy);
    if (m_background)
        ::RedrawWindow(m_hWnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE);
}

void CSkinDialog::OnLButtonDown(UINT keys, POINT pt) {
    if (m_bClientDrag) {
        // The system starts moving the window as if the caption had been pressed.
        POINT screen = pt;
        ::ClientToScreen(m_hWnd, &screen);
        PostMessage(WM_NCLBUTTONDOWN, HTCAPTION, MAKELPARAM(screen.x, screen.y));
    }
    CDialog::OnLButtonDown(keys, pt);
}

} // namespace dravel::win
