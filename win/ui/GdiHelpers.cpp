#include "win/ui/GdiHelpers.h"

#include <algorithm>

namespace dravel::win {

void FillSolid(HDC hdc, const RECT& rc, COLORREF colour) {
    const COLORREF old = ::SetBkColor(hdc, colour);
    ::ExtTextOutW(hdc, 0, 0, ETO_OPAQUE, &rc, nullptr, 0, nullptr);
    ::SetBkColor(hdc, old);
}

COLORREF Lighter(COLORREF colour, int by) {
    auto up = [by](int c) { return c + by > 255 ? 255 : c + by; };
    return RGB(up(GetRValue(colour)), up(GetGValue(colour)), up(GetBValue(colour)));
}

int MeasureWrappedText(HDC hdc, const std::wstring& text, int width, UINT extraFlags) {
    RECT rc{0, 0, std::max(width, 1), 0};
    ::DrawTextW(hdc, text.c_str(), static_cast<int>(text.size()), &rc,
                DT_WORDBREAK | DT_EXPANDTABS | DT_NOPREFIX | extraFlags | DT_CALCRECT);
    return rc.bottom - rc.top;
}

} // namespace dravel::win
