#include "core/ui/AnchorLayout.h"

#include "core/ui/DpiScale.h"

#include <cctype>
#include <limits>
#include <string>

namespace dravel {

namespace {

int Clamp(long long v) {
    if (v > std::numeric_limits<int>::max())
        return std::numeric_limits<int>::max();
    if (v < std::numeric_limits<int>::min())
        return std::numeric_limits<int>::min();
    return static_cast<int>(v);
}

std::string Upper(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return out;
}

constexpr std::uint32_t kButtonTypeMask = 0x0F;
constexpr std::uint32_t kGroupBox = 0x07;
constexpr std::uint32_t kStaticTypeMask = 0x1F;
constexpr std::uint32_t kStaticCentreImage = 0x200;

} // namespace

int AnchorPixel(int extent, int percent) {
    // 64-bit product: anchors from a caller are not range-checked, a wild one must not overflow.
    return Clamp(static_cast<long long>(extent) * percent / 100);
}

AnchorEntry MakeAnchorEntry(const LayoutRect& rc, int clientWidth, int clientHeight, AnchorPoint topLeft,
                            AnchorPoint bottomRight) {
    if (topLeft.IsNone())
        topLeft = kAnchorTopLeft;
    if (bottomRight.IsNone())
        bottomRight = topLeft;
    AnchorEntry e;
    e.topLeft = topLeft;
    e.bottomRight = bottomRight;
    e.topLeftOffset = {Clamp(static_cast<long long>(rc.left) - AnchorPixel(clientWidth, topLeft.x)),
                       Clamp(static_cast<long long>(rc.top) - AnchorPixel(clientHeight, topLeft.y))};
    e.bottomRightOffset = {Clamp(static_cast<long long>(rc.right) - AnchorPixel(clientWidth, bottomRight.x)),
                           Clamp(static_cast<long long>(rc.bottom) - AnchorPixel(clientHeight, bottomRight.y))};
    return e;
}

LayoutRect AnchoredRect(const AnchorEntry& e, int clientWidth, int clientHeight) {
    return LayoutRect{
        Clamp(static_cast<long long>(AnchorPixel(clientWidth, e.topLeft.x)) + e.topLeftOffset.x),
        Clamp(static_cast<long long>(AnchorPixel(clientHeight, e.topLeft.y)) + e.topLeftOffset.y),
        Clamp(static_cast<long long>(AnchorPixel(clientWidth, e.bottomRight.x)) + e.bottomRightOffset.x),
        Clamp(static_cast<long long>(AnchorPixel(clientHeight, e.bottomRight.y)) + e.bottomRightOffset.y),
    };
}

AnchoredControlTraits ClassifyAnchoredControl(std::string_view className, std::uint32_t style) {
    AnchoredControlTraits t;
    const std::string name = Upper(className);
    if (name == "BUTTON" && (style & kButtonTypeMask) == kGroupBox)
        t.bAddClipSiblings = true;
    if (name == "LISTBOX")
        t.bHScrollFix = true;
    if (name == "STATIC" && ((style & kStaticTypeMask) < 3 || (style & kStaticCentreImage) != 0))
        t.bRepaint = true;
    return t;
}

bool ShouldRearrange(bool bInitialised, unsigned sizeKind) {
    return bInitialised && sizeKind != kSizeMaxShow && sizeKind != kSizeMaxHide;
}

bool HScrollFixNeedsRepaint(int scrollLimit, int scrollPos, int growth) {
    return scrollLimit > 0 && static_cast<long long>(scrollLimit) - growth < scrollPos;
}

AnchoredMove DecideAnchoredMove(const LayoutRect& current, const LayoutRect& target) {
    AnchoredMove m;
    if (current == target)
        return m;
    m.bMoves = true;
    m.bKeepPosition = current.left == target.left && current.top == target.top;
    m.bKeepSize = current.Width() == target.Width() && current.Height() == target.Height();
    return m;
}

LayoutRect GripSquare(int clientWidth, int clientHeight, int gripWidth, int gripHeight) {
    return LayoutRect{clientWidth - gripWidth, clientHeight - gripHeight, clientWidth, clientHeight};
}

bool IsOnGrip(bool bShowGrip, const LayoutRect& grip, int x, int y) {
    return bShowGrip && x >= 0 && y >= 0 && x >= grip.left && x < grip.right && y >= grip.top && y < grip.bottom;
}

AnchorEntry RescaleAnchorEntry(const AnchorEntry& entry, int oldDpi, int newDpi) {
    AnchorEntry out = entry;
    out.topLeftOffset = {RescaleForDpi(entry.topLeftOffset.x, oldDpi, newDpi),
                         RescaleForDpi(entry.topLeftOffset.y, oldDpi, newDpi)};
    out.bottomRightOffset = {RescaleForDpi(entry.bottomRightOffset.x, oldDpi, newDpi),
                             RescaleForDpi(entry.bottomRightOffset.y, oldDpi, newDpi)};
    return out;
}

} // namespace dravel
