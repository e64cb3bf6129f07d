#include "win/ui/GdiTextSurface.h"

#include "win/base/Text.h"
#include "core/ui/HtmlLayout.h"

#include <climits>

namespace dravel::win {

namespace {

RECT ToRect(const dravel::TextRect& r) {
    return RECT{r.left, r.top, r.right, r.bottom};
}

} // namespace

CFontHandle CreateStyledFont(HFONT base, unsigned style) {
    LOGFONTW lf{};
    if (base == nullptr || ::GetObjectW(base, sizeof(lf), &lf) == 0)
        return {};
    lf.lfWeight = dravel::StyledFontWeight(style);
    lf.lfItalic = (style & dravel::kStyleItalic) ? TRUE : FALSE;
    lf.lfUnderline = (style & dravel::kStyleUnderline) ? TRUE : FALSE;
    lf.lfHeight = dravel::StyledFontHeight(lf.lfHeight, style);
    return CFontHandle(::CreateFontIndirectW(&lf));
}

CGdiTextSurface::~CGdiTextSurface() {
    while (m_nDepth > 0)
        RestoreState();
}

void CGdiTextSurface::SaveState() {
    if (m_nDepth++ > 0)
        return; // the renderer is not re-entrant; an inner save shares the outer one
    m_nSavedDc = ::SaveDC(m_hdc);
    m_hBaseFont = static_cast<HFONT>(::GetCurrentObject(m_hdc, OBJ_FONT));
}

void CGdiTextSurface::RestoreState() {
    if (m_nDepth <= 0 || --m_nDepth > 0)
        return;
    if (m_nSavedDc != 0)
        ::RestoreDC(m_hdc, m_nSavedDc);
    else if (m_hBaseFont != nullptr)
        ::SelectObject(m_hdc, m_hBaseFont);
    m_nSavedDc = 0;
    // Only now, with the base font back in the context, can the derived fonts go.
    ReleaseFonts();
    m_hBaseFont = nullptr;
}

void CGdiTextSurface::ReleaseFonts() {
    for (CFontHandle& font : m_fonts)
        font.Reset();
}

void CGdiTextSurface::SelectStyle(unsigned style) {
    if (m_nDepth == 0 || style >= dravel::kStyleCount)
        return;
    HFONT font = m_hBaseFont;
    if (style != 0) {
        if (!m_fonts[style])
            m_fonts[style] = CreateStyledFont(m_hBaseFont, style);
        if (m_fonts[style])
            font = m_fonts[style].Get();
    }
    if (font != nullptr)
        ::SelectObject(m_hdc, font);
}

SIZE CGdiTextSurface::Extent(std::string_view bytes) {
    SIZE size{};
    const std::wstring wide = Cp949ToWide(bytes);
    if (!wide.empty() && wide.size() < INT_MAX)
        ::GetTextExtentPoint32W(m_hdc, wide.c_str(), static_cast<int>(wide.size()), &size);
    return size;
}

int CGdiTextSurface::TextWidth(std::string_view bytes) {
    return static_cast<int>(Extent(bytes).cx);
}

int CGdiTextSurface::TextHeight(std::string_view bytes) {
    return static_cast<int>(Extent(bytes).cy);
}

int CGdiTextSurface::DrawText(std::string_view bytes, dravel::TextRect& box, unsigned format) {
    std::wstring wide = Cp949ToWide(bytes);
    if (wide.size() >= INT_MAX)
        return 0;
    RECT rc = ToRect(box);
    // Measuring gives the text's own extent: Wine (unlike Windows) moves the bottom down by the
    // vertical centring offset, which would make a one-line item as high as the whole list.
    if (format & DT_CALCRECT)
        format &= ~static_cast<unsigned>(DT_VCENTER | DT_BOTTOM);
    const int height = ::DrawTextW(m_hdc, wide.data(), static_cast<int>(wide.size()), &rc, format);
    if (format & DT_CALCRECT)
        box = {rc.left, rc.top, rc.right, rc.bottom};
    return height;
}

dravel::TextColor CGdiTextSurface::GetTextColor() {
    return static_cast<dravel::TextColor>(::GetTextColor(m_hdc));
}

void CGdiTextSurface::SetTextColor(dravel::TextColor color) {
    ::SetTextColor(m_hdc, static_cast<COLORREF>(color));
}

dravel::TextPoint CGdiTextSurface::CurrentPosition() {
    POINT pt{};
    ::GetCurrentPositionEx(m_hdc, &pt);
    return {pt.x, pt.y};
}

int CGdiTextSurface::HorizontalResolution() {
    return ::GetDeviceCaps(m_hdc, HORZRES);
}

} // namespace dravel::win
