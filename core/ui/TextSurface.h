#pragma once

// What the HTML renderer and the HTML list need from a drawing surface: measuring and drawing 949
// text in a font of a given style, the text colour, and the saving of the surface's state. The
// Win32 side adapts a device context; tests use a surface of known metrics.

#include <cstdint>
#include <string_view>

namespace dravel {

// 24-bit colour: red in the low byte, green in the middle, blue in the high byte.
using TextColor = std::uint32_t;

inline constexpr TextColor MakeTextColor(int red, int green, int blue) {
    return static_cast<TextColor>((red & 0xFF) | (green & 0xFF) << 8 | (blue & 0xFF) << 16);
}

struct TextRect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;

    int Width() const { return right - left; }
    int Height() const { return bottom - top; }
    bool IsEmpty() const { return right <= left || bottom <= top; }
    bool Contains(int x, int y) const { return x >= left && x < right && y >= top && y < bottom; }
    friend bool operator==(const TextRect&, const TextRect&) = default;
};

struct TextPoint {
    int x = 0;
    int y = 0;
    friend bool operator==(const TextPoint&, const TextPoint&) = default;
};

// Text format flags, with the values of the platform's text call.
inline constexpr unsigned kDtCenter = 0x1;
inline constexpr unsigned kDtRight = 0x2;
inline constexpr unsigned kDtVCenter = 0x4;
inline constexpr unsigned kDtBottom = 0x8;
inline constexpr unsigned kDtWordBreak = 0x10;
inline constexpr unsigned kDtSingleLine = 0x20;
inline constexpr unsigned kDtTabStop = 0x80;
inline constexpr unsigned kDtExternalLeading = 0x200;
inline constexpr unsigned kDtCalcRect = 0x400;
inline constexpr unsigned kDtNoPrefix = 0x800;

// Style bits of the HTML renderer; every combination names one font.
inline constexpr unsigned kStyleBold = 1;
inline constexpr unsigned kStyleItalic = 2;
inline constexpr unsigned kStyleUnderline = 4;
inline constexpr unsigned kStyleSuperscript = 8;
inline constexpr unsigned kStyleSubscript = 16;
inline constexpr unsigned kStyleCount = 32;

class TextSurface {
public:
    virtual ~TextSurface() = default;

    // SaveState remembers every attribute of the surface, the selected font being the base font of
    // the styles; RestoreState puts them all back and releases the fonts made for styles since.
    virtual void SaveState() = 0;
    virtual void RestoreState() = 0;
    // Selects the font of a style: 0 is the base font, the others are derived from it.
    virtual void SelectStyle(unsigned style) = 0;

    // Extent of the bytes in the selected font.
    virtual int TextWidth(std::string_view bytes) = 0;
    virtual int TextHeight(std::string_view bytes) = 0;
    // The platform's own text call: draws the bytes into box, or with kDtCalcRect only measures and
    // writes the extent into box. Returns the height of the text.
    virtual int DrawText(std::string_view bytes, TextRect& box, unsigned format) = 0;

    virtual TextColor GetTextColor() = 0;
    virtual void SetTextColor(TextColor color) = 0;

    // Where drawing starts when no rectangle is given, and the surface's width in pixels.
    virtual TextPoint CurrentPosition() = 0;
    virtual int HorizontalResolution() = 0;
};

} // namespace dravel
