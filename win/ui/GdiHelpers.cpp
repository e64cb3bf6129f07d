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

void SysColourLine(HDC hdc, int sysColour, std::initializer_list<POINT> points) {
    if (points.size() == 0)
        return;
    CPenHandle pen(::CreatePen(PS_SOLID, 1, ::GetSysColor(sysColour)));
    CSelectObjectGuard select(hdc, pen.Get());
    auto it = points.begin();
    ::MoveToEx(hdc, it->x, it->y, nullptr);
    for (++it; it != points.end(); ++it)
        ::LineTo(hdc, it->x, it->y);
}

int MeasureWrappedText(HDC hdc, const std::wstring& text, int width, UINT extraFlags) {
    RECT rc{0, 0, std::max(width, 1), 0};
    ::DrawTextW(hdc, text.c_str(), static_cast<int>(text.size()), &rc,
                DT_WORDBREAK | DT_EXPANDTABS | DT_NOPREFIX | extraFlags | DT_CALCRECT);
    return rc.bottom - rc.top;
}

} // namespace dravel::win
