#pragma once

// The text surface of the HTML renderer and list over a device context. Between SaveState and
// RestoreState it keeps the fonts of the 32 styles: slot 0 is the font selected at SaveState, the
// derived fonts are made on first use and deleted at RestoreState, after the context's own state
// (font, colours, everything) has been put back.

#include "win/base/Handles.h"
#include "core/ui/TextSurface.h"

#include <array>

namespace dravel::win {

// A font like base in every respect but weight, italic, underline and (for sub/superscript) height.
CFontHandle CreateStyledFont(HFONT base, unsigned style);

class CGdiTextSurface final : public dravel::TextSurface {
public:
    explicit CGdiTextSurface(HDC hdc) noexcept : m_hdc(hdc) {}
    ~CGdiTextSurface() override;

    CGdiTextSurface(const CGdiTextSurface&) = delete;
    CGdiTextSurface& operator=(const CGdiTextSurface&) = delete;

    HDC Dc() const noexcept { return m_hdc; }

    void SaveState() override;
    void RestoreState() override;
    void SelectStyle(unsigned style) override;
    int TextWidth(std::string_view bytes) override;
    int TextHeight(std::string_view bytes) override;
    int DrawText(std::string_view bytes, dravel::TextRect& box, unsigned format) override;
    dravel::TextColor GetTextColor() override;
    void SetTextColor(dravel::TextColor color) override;
    dravel::TextPoint CurrentPosition() override;
    int HorizontalResolution() override;

private:
    SIZE Extent(std::string_view bytes);
    void ReleaseFonts();

    HDC m_hdc; // the caller's, not owned
    int m_nSavedDc = 0;
    int m_nDepth = 0;
    HFONT m_hBaseFont = nullptr; // the context's own font, not owned
    std::array<CFontHandle, dravel::kStyleCount> m_fonts;
};

} // namespace dravel::win
