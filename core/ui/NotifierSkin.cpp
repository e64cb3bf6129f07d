#include "core/ui/NotifierSkin.h"

#include <cstddef>
#include <utility>

namespace dravel {

bool IsTransparentColourGiven(int red, int green, int blue) noexcept {
    return red != -1 && green != -1 && blue != -1;
}

std::optional<std::vector<NotifierRect>> BuildSkinRegion(const SkinPixelReader& reader, int width, int height, int red,
                                                         int green, int blue) {
    const int readWidth = width < 0 ? 0 : width - width % 4;
    if (height < 0)
        height = 0;
    std::vector<std::uint32_t> pixels;
    if (readWidth > 0 && height > 0) {
        if (!reader.ReadPixels(readWidth, height, pixels) ||
            pixels.size() != static_cast<std::size_t>(readWidth) * static_cast<std::size_t>(height))
            return std::nullopt;
    }

    // A component outside 0..255 matches no pixel: the shape is then the whole rectangle.
    const bool bKeyValid = red >= 0 && red <= 255 && green >= 0 && green <= 255 && blue >= 0 && blue <= 255;
    const std::uint32_t key = static_cast<std::uint32_t>(red) | static_cast<std::uint32_t>(green) << 8 |
                              static_cast<std::uint32_t>(blue) << 16;

    std::vector<NotifierRect> rects;
    // Runs of the previous row, as indexes into rects, to join with equal runs of the next row.
    std::vector<std::size_t> previousRow;
    std::vector<std::size_t> currentRow;
    for (int y = 0; y < height; ++y) {
        currentRow.clear();
        std::vector<std::pair<int, int>> runs;
        const std::uint32_t* row = pixels.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(readWidth);
        for (int x = 0; x < readWidth;) {
            if (bKeyValid && (row[x] & 0xFFFFFFu) == key) {
                ++x;
                continue;
            }
            const int start = x;
            while (x < readWidth && !(bKeyValid && (row[x] & 0xFFFFFFu) == key))
                ++x;
            runs.emplace_back(start, x);
        }
        bool bSameAsPrevious = runs.size() == previousRow.size() && !runs.empty();
        for (std::size_t i = 0; bSameAsPrevious && i < runs.size(); ++i) {
            const NotifierRect& r = rects[previousRow[i]];
            bSameAsPrevious = r.left == runs[i].first && r.right == runs[i].second && r.bottom == y;
        }
        if (bSameAsPrevious) {
            for (std::size_t index : previousRow)
                rects[index].bottom = y + 1;
            continue;
        }
        for (const auto& [left, right] : runs) {
            currentRow.push_back(rects.size());
            rects.push_back({left, y, right, y + 1});
        }
        previousRow.swap(currentRow);
    }
    return rects;
}

NotifierFontStyle NotifierFontFromStyle(int style) noexcept {
    NotifierFontStyle font;
    font.weight = (style & 1) != 0 ? 700 : 400;
    font.bItalic = (style & 2) != 0;
    font.bUnderline = (style & 4) != 0;
    return font;
}

} // namespace dravel
