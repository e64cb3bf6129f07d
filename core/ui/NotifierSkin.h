#pragma once

// How the notifier's skin becomes its window shape, and how its font styles are read.

#include <cstdint>
#include <optional>
#include <vector>

#include "core/ui/NotifierAnimation.h"

namespace dravel {

// Reads a skin's pixels as 24-bit colours.
class SkinPixelReader {
public:
    virtual ~SkinPixelReader() = default;
    // Fills pixels with width x height colours (0x00BBGGRR, red in the low byte), top row first, left to
    // right; false if the pixels cannot be read.
    virtual bool ReadPixels(int width, int height, std::vector<std::uint32_t>& pixels) const = 0;
};

// A colour component of -1 means "no transparent colour": the window keeps the region it has.
bool IsTransparentColourGiven(int red, int green, int blue) noexcept;

// The window shape cut from a skin: the skin's rectangle without every pixel of exactly the transparent
// colour. The pixels are read with the width rounded down to a multiple of 4, so the rightmost 1 to 3 columns
// of a skin of another width are not part of the window. The result is a list of non-overlapping rectangles
// (runs of window pixels, with equal runs of neighbouring rows joined); an empty list is an empty shape.
// nullopt if the pixels cannot be read: the window then gets no region at all (its full rectangle).
std::optional<std::vector<NotifierRect>> BuildSkinRegion(const SkinPixelReader& reader, int width, int height, int red,
                                                         int green, int blue);

struct NotifierFontStyle {
    int weight = 400;
    bool bItalic = false;
    bool bUnderline = false;
    bool operator==(const NotifierFontStyle&) const = default;
};

// Style bits of the notifier's fonts: 1 bold, 2 italic, 4 underline.
NotifierFontStyle NotifierFontFromStyle(int style) noexcept;

} // namespace dravel
