#include "win/ui/Dpi.h"

#include <algorithm>

namespace dravel::win {

int WindowDpi(HWND hwnd) {
    using Fn = UINT(WINAPI*)(HWND);
    // Looked up once; user32 stays loaded for the life of the process.
    static const Fn getDpiForWindow = [] {
        const HMODULE user32 = ::GetModuleHandleW(L"user32.dll");
        return user32 != nullptr
                   ? reinterpret_cast<Fn>(reinterpret_cast<void*>(::GetProcAddress(user32, "GetDpiForWindow")))
                   : nullptr;
    }();
    if (getDpiForWindow != nullptr && hwnd != nullptr) {
        if (const UINT dpi = getDpiForWindow(hwnd); dpi != 0)
            return dravel::NormaliseDpi(static_cast<int>(dpi));
    }
    if (hwnd != nullptr) {
        CWindowDc dc(hwnd);
        if (dc)
            return dravel::NormaliseDpi(::GetDeviceCaps(dc.Get(), LOGPIXELSY));
    }
    return ScreenDpi();
}

int ScreenDpi() {
    CWindowDc screen(nullptr);
    return dravel::NormaliseDpi(screen ? ::GetDeviceCaps(screen.Get(), LOGPIXELSY) : dravel::kDefaultDpi);
}

void MoveToSuggestedRect(HWND hwnd, LPARAM lParam) {
    const RECT* suggested = reinterpret_cast<const RECT*>(lParam);
    if (hwnd == nullptr || suggested == nullptr || suggested->right < suggested->left ||
        suggested->bottom < suggested->top)
        return;
    ::SetWindowPos(hwnd, nullptr, suggested->left, suggested->top, suggested->right - suggested->left,
                   suggested->bottom - suggested->top, SWP_NOZORDER | SWP_NOACTIVATE);
}

CFontHandle CreatePointFont(std::wstring_view faceName, int tenthPoints, int dpi, int weight, bool bItalic,
                            bool bUnderline) {
    LOGFONTW lf{};
    lf.lfHeight = -std::abs(dravel::TenthPointsToPixels(tenthPoints, dpi));
    lf.lfWeight = weight;
    lf.lfItalic = bItalic ? TRUE : FALSE;
    lf.lfUnderline = bUnderline ? TRUE : FALSE;
    lf.lfCharSet = DEFAULT_CHARSET;
    faceName.copy(lf.lfFaceName, std::min(faceName.size(), static_cast<size_t>(LF_FACESIZE - 1)));
    return CFontHandle(::CreateFontIndirectW(&lf));
}

CBitmapHandle StretchBitmapSmooth(HBITMAP bitmap, int width, int height) {
    BITMAP bm{};
    if (bitmap == nullptr || width <= 0 || height <= 0 || ::GetObjectW(bitmap, sizeof(bm), &bm) == 0 ||
        bm.bmWidth <= 0 || bm.bmHeight == 0)
        return {};
    const int sourceHeight = bm.bmHeight < 0 ? -bm.bmHeight : bm.bmHeight;
    const bool bAlpha = bm.bmBitsPixel == 32;
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof(bi.bmiHeader);
    bi.bmiHeader.biWidth = width;
    bi.bmiHeader.biHeight = height;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = static_cast<WORD>(bAlpha ? 32 : 24);
    bi.bmiHeader.biCompression = BI_RGB;
    CDcHandle src(::CreateCompatibleDC(nullptr));
    CDcHandle dst(::CreateCompatibleDC(nullptr));
    void* bits = nullptr;
    CBitmapHandle copy(::CreateDIBSection(dst.Get(), &bi, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!src || !dst || !copy)
        return {};
    CSelectObjectGuard from(src.Get(), bitmap);
    CSelectObjectGuard to(dst.Get(), copy.Get());
    if (bAlpha) {
        // HALFTONE drops the alpha channel; a blend with source alpha of a straight copy keeps it.
        const BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, 0};
        if (!::GdiAlphaBlend(dst.Get(), 0, 0, width, height, src.Get(), 0, 0, bm.bmWidth, sourceHeight, blend))
            return {};
    } else {
        const int oldMode = ::SetStretchBltMode(dst.Get(), HALFTONE);
        ::SetBrushOrgEx(dst.Get(), 0, 0, nullptr);
        const BOOL ok =
            ::StretchBlt(dst.Get(), 0, 0, width, height, src.Get(), 0, 0, bm.bmWidth, sourceHeight, SRCCOPY);
        ::SetStretchBltMode(dst.Get(), oldMode);
        if (!ok)
            return {};
    }
    ::GdiFlush();
    return copy;
}

CBitmapHandle LoadBitmapForDpi(HINSTANCE module, UINT id, int dpi, UINT flags) {
    const HINSTANCE from = module != nullptr ? module : ::GetModuleHandleW(nullptr);
    auto load = [&](UINT which) {
        return CBitmapHandle(
            static_cast<HBITMAP>(::LoadImageW(from, MAKEINTRESOURCEW(which), IMAGE_BITMAP, 0, 0, flags)));
    };
    CBitmapHandle base = load(id);
    dpi = dravel::NormaliseDpi(dpi);
    if (!base || dpi == dravel::kDefaultDpi)
        return base;
    BITMAP bm{};
    if (::GetObjectW(base.Get(), sizeof(bm), &bm) == 0)
        return base;
    const int width = dravel::ScaleForDpi(bm.bmWidth, dpi);
    const int height = dravel::ScaleForDpi(bm.bmHeight < 0 ? -bm.bmHeight : bm.bmHeight, dpi);
    // The drawn size at or above the scale, so that the filter shrinks rather than enlarges.
    for (const int percent : {150, 200}) {
        if (dravel::ScaleForDpi(100, dpi) > percent)
            continue;
        const int sizedId = dravel::SizedArtId(static_cast<int>(id), percent);
        if (sizedId > 0xFFFF)
            break;
        CBitmapHandle sized = load(static_cast<UINT>(sizedId));
        BITMAP sm{};
        if (!sized || ::GetObjectW(sized.Get(), sizeof(sm), &sm) == 0)
            continue;
        const int sizedHeight = sm.bmHeight < 0 ? -sm.bmHeight : sm.bmHeight;
        if (sm.bmWidth == width && sizedHeight == height)
            return sized;
        CBitmapHandle fitted = StretchBitmapSmooth(sized.Get(), width, height);
        if (fitted)
            return fitted;
    }
    CBitmapHandle stretched = StretchBitmapSmooth(base.Get(), width, height);
    return stretched ? std::move(stretched) : std::move(base);
}

} // namespace dravel::win
