#include "win/ui/TaskbarNotifier.h"

#include "win/base/Text.h"
#include "win/ui/Dpi.h"
#include "win/ui/OffscreenBuffer.h"
#include "core/ui/NotifierSkin.h"

#include <algorithm>
#include <cstdlib>
#include <utility>
#include <vector>

namespace dravel::win {

namespace {

// The hover colour shows as soon as the mouse rests on the pop-up.
constexpr DWORD kHoverDelayMs = 1;

// Reads a bitmap's pixels through a 24-bit, top-down DIB.
class CBitmapPixelReader final : public dravel::SkinPixelReader {
public:
    explicit CBitmapPixelReader(HBITMAP bitmap) noexcept : m_hBitmap(bitmap) {}

    bool ReadPixels(int width, int height, std::vector<std::uint32_t>& pixels) const override {
        BITMAP bm{};
        if (::GetObjectW(m_hBitmap, sizeof(bm), &bm) != sizeof(bm) || width > bm.bmWidth || height > bm.bmHeight)
            return false;
        // The whole bitmap is read (GetDIBits wants its real width); only the columns asked for are kept.
        const int fullWidth = bm.bmWidth;
        const size_t stride = (static_cast<size_t>(fullWidth) * 3 + 3) & ~static_cast<size_t>(3);
        std::vector<BYTE> bits(stride * static_cast<size_t>(height));
        BITMAPINFO bi{};
        bi.bmiHeader.biSize = sizeof(bi.bmiHeader);
        bi.bmiHeader.biWidth = fullWidth;
        bi.bmiHeader.biHeight = -height; // top row first
        bi.bmiHeader.biPlanes = 1;
        bi.bmiHeader.biBitCount = 24;
        bi.bmiHeader.biCompression = BI_RGB;
        // Rows are counted from the bottom of the bitmap: the top rows are the last ones.
        const UINT firstRow = static_cast<UINT>(bm.bmHeight - height);
        CWindowDc screen(nullptr);
        if (!screen || ::GetDIBits(screen.Get(), m_hBitmap, firstRow, static_cast<UINT>(height), bits.data(), &bi,
                                   DIB_RGB_COLORS) != height)
            return false;
        pixels.resize(static_cast<size_t>(width) * static_cast<size_t>(height));
        for (int y = 0; y < height; ++y) {
            const BYTE* row = bits.data() + static_cast<size_t>(y) * stride;
            for (int x = 0; x < width; ++x) {
                const BYTE* px = row + static_cast<size_t>(x) * 3; // blue, green, red
                pixels[static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)] =
                    static_cast<std::uint32_t>(px[2]) | static_cast<std::uint32_t>(px[1]) << 8 |
                    static_cast<std::uint32_t>(px[0]) << 16;
            }
        }
        return true;
    }

private:
    HBITMAP m_hBitmap; // the notifier's skin, not owned
};

// A region from non-overlapping rectangles; an empty list gives an empty region.
CRgnHandle RegionFromRects(const std::vector<dravel::NotifierRect>& rects) {
    if (rects.empty())
        return CRgnHandle(::CreateRectRgn(0, 0, 0, 0));
    std::vector<BYTE> data(sizeof(RGNDATAHEADER) + rects.size() * sizeof(RECT));
    auto* header = reinterpret_cast<RGNDATAHEADER*>(data.data());
    header->dwSize = sizeof(RGNDATAHEADER);
    header->iType = RDH_RECTANGLES;
    header->nCount = static_cast<DWORD>(rects.size());
    header->nRgnSize = static_cast<DWORD>(rects.size() * sizeof(RECT));
    RECT bounds{rects[0].left, rects[0].top, rects[0].right, rects[0].bottom};
    auto* out = reinterpret_cast<RECT*>(data.data() + sizeof(RGNDATAHEADER));
    for (size_t i = 0; i < rects.size(); ++i) {
        out[i] = RECT{rects[i].left, rects[i].top, rects[i].right, rects[i].bottom};
        bounds.left = std::min(bounds.left, out[i].left);
        bounds.top = std::min(bounds.top, out[i].top);
        bounds.right = std::max(bounds.right, out[i].right);
        bounds.bottom = std::max(bounds.bottom, out[i].bottom);
    }
    header->rcBound = bounds;
    return CRgnHandle(
        ::ExtCreateRegion(nullptr, static_cast<DWORD>(data.size()), reinterpret_cast<RGNDATA*>(data.data())));
}

} // namespace

CTaskbarNotifier::CTaskbarNotifier() noexcept : m_animation(static_cast<dravel::NotifierSurface&>(*this)) {}

CTaskbarNotifier::~CTaskbarNotifier() {
    // The window goes first: its last messages must not reach an animation that is being destroyed.
    if (m_hWnd != nullptr)
        DestroyWindow();
}

bool CTaskbarNotifier::Create(HWND owner, int instance) {
    if (!RegisterWindowClass(kNotifierClassName, CS_HREDRAW | CS_VREDRAW,
                             reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_WINDOW + 1)),
                             ::LoadCursorW(nullptr, IDC_ARROW)))
        return false;
    m_hOwner = owner;
    m_animation.SetInstance(instance);
    m_hHandCursor = ::LoadCursorW(nullptr, IDC_HAND);
    if (CWindow::Create(kNotifierClassName, L"", WS_POPUP, 0, 0, 0, 0, owner) == nullptr)
        return false;
    m_nDpi = WindowDpi(m_hWnd);
    m_animation.SetStep(dravel::NotifierStepForDpi(m_nDpi));
    return true;
}

bool CTaskbarNotifier::LoadSkin(UINT bitmapId, int red, int green, int blue, HINSTANCE module) {
    m_skin.Reset();
    m_nSkinId = 0;
    m_strSkinFile.clear();
    const HINSTANCE from = module != nullptr ? module : ::GetModuleHandleW(nullptr);
    CBitmapHandle bitmap = LoadBitmapForDpi(from, bitmapId, m_nDpi);
    if (!bitmap) {
        m_animation.SetSkinSize(0, 0);
        m_nLogicalSkinWidth = m_nLogicalSkinHeight = 0;
        return false;
    }
    m_nSkinId = bitmapId;
    m_hSkinModule = from;
    return TakeSkin(std::move(bitmap), red, green, blue);
}

bool CTaskbarNotifier::LoadSkin(const std::wstring& fileName, int red, int green, int blue) {
    CBitmapHandle bitmap(static_cast<HBITMAP>(
        ::LoadImageW(nullptr, fileName.c_str(), IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE | LR_CREATEDIBSECTION)));
    if (!bitmap)
        return false;
    if (m_nDpi != dravel::kDefaultDpi) {
        BITMAP bm{};
        ::GetObjectW(bitmap.Get(), sizeof(bm), &bm);
        if (CBitmapHandle scaled = StretchBitmapSmooth(bitmap.Get(), dravel::ScaleForDpi(bm.bmWidth, m_nDpi),
                                                       dravel::ScaleForDpi(std::abs(bm.bmHeight), m_nDpi)))
            bitmap = std::move(scaled);
    }
    m_nSkinId = 0;
    m_strSkinFile = fileName;
    return TakeSkin(std::move(bitmap), red, green, blue);
}

bool CTaskbarNotifier::TakeSkin(CBitmapHandle bitmap, int red, int green, int blue) {
    m_skin = std::move(bitmap);
    m_nKey[0] = red;
    m_nKey[1] = green;
    m_nKey[2] = blue;
    BITMAP bm{};
    ::GetObjectW(m_skin.Get(), sizeof(bm), &bm);
    m_animation.SetSkinSize(bm.bmWidth, bm.bmHeight);
    m_nLogicalSkinWidth = dravel::UnscaleForDpi(bm.bmWidth, m_nDpi);
    m_nLogicalSkinHeight = dravel::UnscaleForDpi(bm.bmHeight, m_nDpi);
    m_rcText = RECT{0, 0, bm.bmWidth, bm.bmHeight};
    m_rcTextLogical = RECT{0, 0, m_nLogicalSkinWidth, m_nLogicalSkinHeight};
    if (!dravel::IsTransparentColourGiven(red, green, blue) || m_hWnd == nullptr)
        return true;

    const CBitmapPixelReader reader(m_skin.Get());
    const auto rects = dravel::BuildSkinRegion(reader, bm.bmWidth, bm.bmHeight, red, green, blue);
    CRgnHandle region = rects ? RegionFromRects(*rects) : CRgnHandle();
    // The window owns the region once it has taken it.
    if (::SetWindowRgn(m_hWnd, region.Get(), TRUE) != 0)
        region.Detach();
    return true;
}

bool CTaskbarNotifier::SetFonts(std::wstring_view faceName, int pointSizeTenths, int normalStyle, int hoverStyle) {
    const std::wstring oldFace = std::exchange(m_strFontFace, std::wstring(faceName.substr(0, LF_FACESIZE - 1)));
    const int oldTenths = std::exchange(m_nFontTenths, pointSizeTenths);
    const int oldNormal = std::exchange(m_nNormalStyle, normalStyle);
    const int oldHover = std::exchange(m_nHoverStyle, hoverStyle);
    if (MakeFonts())
        return true;
    m_strFontFace = oldFace;
    m_nFontTenths = oldTenths;
    m_nNormalStyle = oldNormal;
    m_nHoverStyle = oldHover;
    return false;
}

bool CTaskbarNotifier::MakeFonts() {
    // A point font at the window's dpi.
    auto make = [this](int style) {
        const dravel::NotifierFontStyle s = dravel::NotifierFontFromStyle(style);
        return CreatePointFont(m_strFontFace, m_nFontTenths, m_nDpi, s.weight, s.bItalic, s.bUnderline);
    };
    CFontHandle normal = make(m_nNormalStyle);
    CFontHandle hover = make(m_nHoverStyle);
    if (!normal || !hover)
        return false;
    m_fontNormal = std::move(normal);
    m_fontHover = std::move(hover);
    Repaint();
    return true;
}

void CTaskbarNotifier::SetTextArea(const RECT& rect) noexcept {
    m_rcTextLogical = rect;
    const dravel::NotifierRect scaled =
        dravel::ScaleNotifierRect({rect.left, rect.top, rect.right, rect.bottom}, m_nDpi);
    m_rcText = RECT{scaled.left, scaled.top, scaled.right, scaled.bottom};
}

void CTaskbarNotifier::OnDpiChanged(int dpi) {
    if (dpi == m_nDpi)
        return;
    m_nDpi = dpi;
    m_animation.SetStep(dravel::NotifierStepForDpi(dpi));
    const RECT textArea = m_rcTextLogical;
    bool bSkin = false;
    if (m_nSkinId != 0)
        bSkin = LoadSkin(m_nSkinId, m_nKey[0], m_nKey[1], m_nKey[2], m_hSkinModule);
    else if (!m_strSkinFile.empty())
        bSkin = LoadSkin(std::wstring(m_strSkinFile), m_nKey[0], m_nKey[1], m_nKey[2]);
    if (bSkin)
        SetTextArea(textArea);
    if (!m_strFontFace.empty())
        MakeFonts();
    // The pop-up's size is its skin's: it keeps to its place above the taskbar rather than to the rectangle
    // the system suggests.
    m_animation.Relayout();
    Repaint();
}

void CTaskbarNotifier::SetTextColours(COLORREF normal, COLORREF hover) {
    m_crNormalText = normal;
    m_crHoverText = hover;
    Repaint();
}

void CTaskbarNotifier::Show(std::string_view text949, DWORD showMs, DWORD stayMs, DWORD hideMs, int unused) {
    Show(Cp949ToWide(text949), showMs, stayMs, hideMs, unused);
}

void CTaskbarNotifier::Show(const std::wstring& text, DWORD showMs, DWORD stayMs, DWORD hideMs, int) {
    if (m_hWnd == nullptr)
        return;
    m_strText = text;
    m_animation.Show(showMs, stayMs, hideMs);
    if (::IsWindowVisible(m_hWnd))
        NotifyAccEvent(EVENT_SYSTEM_ALERT, m_hWnd, CHILDID_SELF);
}

void CTaskbarNotifier::Hide() {
    if (m_hWnd != nullptr)
        m_animation.Hide();
}

LRESULT CTaskbarNotifier::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_MOUSEHOVER:
        if (!m_bHovering) {
            m_bHovering = true;
            Repaint();
        }
        return 0;
    case WM_MOUSELEAVE:
        if (m_bHovering) {
            m_bHovering = false;
            Repaint();
        }
        return 0;
    case WM_SETCURSOR:
        if (LOWORD(lParam) == HTCLIENT && m_hHandCursor != nullptr) {
            ::SetCursor(m_hHandCursor);
            return TRUE;
        }
        break;
    case WM_GETDLGCODE:
        return DLGC_WANTALLKEYS;
    case WM_DPICHANGED:
        OnDpiChanged(DpiFromChangedMessage(wParam));
        return 0;
    case WM_GETOBJECT:
        if (const LRESULT r = m_accessible.OnGetObject(m_hWnd, wParam, lParam, *this); r != 0)
            return r;
        break;
    default:
        break;
    }
    return CWindow::HandleMessage(msg, wParam, lParam);
}

void CTaskbarNotifier::OnTimer(UINT_PTR id) {
    m_animation.OnTimer(static_cast<std::uint32_t>(id));
}

void CTaskbarNotifier::Draw(HDC hdc) const {
    const int width = m_animation.GetSkinWidth();
    const int height = m_animation.GetSkinHeight();
    if (m_skin) {
        CDcHandle memory(::CreateCompatibleDC(hdc));
        if (memory) {
            CSelectObjectGuard select(memory.Get(), m_skin.Get());
            ::BitBlt(hdc, 0, 0, width, height, memory.Get(), 0, 0, SRCCOPY);
        }
    } else {
        RECT rc{};
        ::GetClientRect(m_hWnd, &rc);
        ::FillRect(hdc, &rc, ::GetSysColorBrush(COLOR_WINDOW));
    }
    if (m_strText.empty())
        return;
    const int oldMode = ::SetBkMode(hdc, TRANSPARENT);
    const COLORREF oldColour = ::SetTextColor(hdc, m_bHovering ? m_crHoverText : m_crNormalText);
    const HFONT font = GetTextFont();
    CSelectObjectGuard selectFont(hdc,
                                  font != nullptr ? static_cast<HGDIOBJ>(font) : ::GetCurrentObject(hdc, OBJ_FONT));
    const std::wstring text = FitTextToArea(hdc);
    RECT rc = m_rcText;
    ::DrawTextW(hdc, text.c_str(), static_cast<int>(text.size()), &rc, kNotifierTextFormat);
    selectFont.Restore();
    ::SetTextColor(hdc, oldColour);
    ::SetBkMode(hdc, oldMode);
}

std::wstring CTaskbarNotifier::FitTextToArea(HDC hdc) const {
    const int areaWidth = m_rcText.right - m_rcText.left;
    const int areaHeight = m_rcText.bottom - m_rcText.top;
    auto fits = [&](const std::wstring& candidate) {
        RECT rc{0, 0, areaWidth, 0};
        ::DrawTextW(hdc, candidate.c_str(), static_cast<int>(candidate.size()), &rc, kNotifierTextFormat | DT_CALCRECT);
        return rc.bottom - rc.top <= areaHeight;
    };
    if (areaWidth <= 0 || areaHeight <= 0 || fits(m_strText))
        return m_strText;
    // Wrapped lines are never shortened by the ellipsis flag, and the last line would be cut through the
    // middle: cut the text itself instead, to the longest start that fits with an ellipsis after it.
    auto candidate = [this](size_t length) {
        std::wstring prefix = m_strText.substr(0, length);
        if (!prefix.empty() && IS_HIGH_SURROGATE(prefix.back()))
            prefix.pop_back();
        while (!prefix.empty() && (prefix.back() == L' ' || prefix.back() == L'\n' || prefix.back() == L'\r'))
            prefix.pop_back();
        return prefix + L"\u2026";
    };
    size_t low = 0;                 // fits (an ellipsis alone is the last resort)
    size_t high = m_strText.size(); // does not fit
    while (high - low > 1) {
        const size_t middle = low + (high - low) / 2;
        if (fits(candidate(middle)))
            low = middle;
        else
            high = middle;
    }
    return candidate(low);
}

void CTaskbarNotifier::OnPaint() {
    CPaintDc paint(m_hWnd);
    if (paint.Get() == nullptr)
        return;
    RECT rc{};
    ::GetClientRect(m_hWnd, &rc);
    COffscreenBuffer buffer(paint.Get(), rc);
    Draw(buffer.Dc());
    buffer.Present();
}

bool CTaskbarNotifier::OnEraseBkgnd(HDC) {
    return true; // the paint covers every pixel
}

void CTaskbarNotifier::OnMouseMove(UINT, POINT) {
    TRACKMOUSEEVENT tme{
        .cbSize = sizeof(tme), .dwFlags = TME_HOVER | TME_LEAVE, .hwndTrack = m_hWnd, .dwHoverTime = kHoverDelayMs};
    ::TrackMouseEvent(&tme);
}

void CTaskbarNotifier::OnLButtonUp(UINT, POINT) {
    if (m_hOwner != nullptr)
        ::PostMessageW(m_hOwner, kNotifierClickMessage, static_cast<WPARAM>(m_animation.GetInstance()),
                       reinterpret_cast<LPARAM>(m_strClickData.c_str()));
    Hide();
}

dravel::NotifierScreen CTaskbarNotifier::ReadScreen() {
    dravel::NotifierScreen screen;
    RECT work{};
    if (!::SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0))
        work = RECT{0, 0, ::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN)};
    screen.work = {work.left, work.top, work.right, work.bottom};
    screen.screenWidth = ::GetSystemMetrics(SM_CXSCREEN);
    screen.screenHeight = ::GetSystemMetrics(SM_CYSCREEN);
    return screen;
}

void CTaskbarNotifier::StartTimer(std::uint32_t id, std::uint32_t delayMs) {
    // Longer delays would be cut to the platform's maximum anyway; say so explicitly.
    CWindow::SetTimer(id, std::min<std::uint32_t>(delayMs, USER_TIMER_MAXIMUM));
}

void CTaskbarNotifier::StopTimer(std::uint32_t id) {
    CWindow::KillTimer(id);
}

void CTaskbarNotifier::ShowInactive() {
    ::ShowWindow(m_hWnd, SW_SHOWNOACTIVATE);
}

void CTaskbarNotifier::Place(int x, int y, int width, int height) {
    ::SetWindowPos(m_hWnd, nullptr, x, y, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
}

void CTaskbarNotifier::BringToTopmost() {
    ::SetWindowPos(m_hWnd, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

void CTaskbarNotifier::Conceal() {
    ::SetWindowPos(m_hWnd, nullptr, 0, 0, 0, 0, SWP_NOZORDER | SWP_NOACTIVATE);
    ::ShowWindow(m_hWnd, SW_HIDE);
}

void CTaskbarNotifier::Repaint() {
    if (m_hWnd != nullptr)
        ::InvalidateRect(m_hWnd, nullptr, FALSE);
}

} // namespace dravel::win
