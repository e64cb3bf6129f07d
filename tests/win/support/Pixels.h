#pragma once

// A 32-bit top-down memory bitmap selected into its own DC, for windows and renderers to draw into and
// tests to read pixels from; saved as a BMP or a PNG (stored deflate blocks) for review.

#include "win/base/Handles.h"

#include <algorithm>
#include <filesystem>
#include <optional>
#include <string>

namespace dravel::win::test {

class CPixels {
public:
    CPixels(int cx, int cy, COLORREF fill = RGB(1, 2, 3));
    ~CPixels() = default;
    CPixels(const CPixels&) = delete;
    CPixels& operator=(const CPixels&) = delete;

    HDC Dc() const { return m_dc.Get(); }
    int Width() const { return m_cx; }
    int Height() const { return m_cy; }
    void Clear(COLORREF colour);
    // The pixel as a COLORREF (red in the low byte); CLR_INVALID outside the bitmap.
    COLORREF At(int x, int y) const;
    bool Same(const CPixels& other) const;
    // Pixels of a rectangle that are not grey (red, green and blue differ) and not 'except'.
    int CountColoured(const RECT& rc, COLORREF except) const;
    int Count(const RECT& rc, COLORREF colour) const;
    // Pixels of the rectangle, clipped to the bitmap, that satisfy the test.
    template <class Test> int CountIf(const RECT& rc, Test test) const {
        int n = 0;
        for (LONG y = std::max(0L, rc.top); y < std::min<LONG>(m_cy, rc.bottom); ++y)
            for (LONG x = std::max(0L, rc.left); x < std::min<LONG>(m_cx, rc.right); ++x)
                n += test(At(x, y)) ? 1 : 0;
        return n;
    }
    bool SaveBmp(const std::wstring& path) const;
    bool SavePng(const std::filesystem::path& path) const;

private:
    dravel::win::CDcHandle m_dc;
    dravel::win::CBitmapHandle m_bitmap;
    std::optional<dravel::win::CSelectObjectGuard> m_selection;
    const DWORD* m_bits = nullptr;
    int m_cx;
    int m_cy;
};

inline bool IsReddish(COLORREF c) {
    return GetRValue(c) > 150 && GetGValue(c) < 110 && GetBValue(c) < 110;
}
inline bool IsDark(COLORREF c) {
    return GetRValue(c) < 110 && GetGValue(c) < 110 && GetBValue(c) < 110;
}

// WM_PRINTCLIENT with background erase, into pixels of the window's client size.
void PrintClient(HWND hwnd, CPixels& pixels);

// A 24-bit bitmap of cx x cy in one colour with a 'mark' square of 4 x 4 at its top-left corner.
HBITMAP MakeMarkedBitmap(int cx, int cy, COLORREF fill, COLORREF mark);

} // namespace dravel::win::test
