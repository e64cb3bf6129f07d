#pragma once

// The arithmetic of the resizable dialog: controls registered with two anchor points (percent of the
// client area) keep their pixel distance to those points when the client area changes size. The
// dialog (win/ui/AnchorLayoutDlg) asks the window system for sizes and moves controls; it decides
// nothing itself.

#include <cstdint>
#include <string_view>

namespace dravel {

// A point of the client area in percent of its width and height.
struct AnchorPoint {
    int x = -1;
    int y = -1;
    bool IsNone() const { return x == -1 && y == -1; }
    friend bool operator==(const AnchorPoint&, const AnchorPoint&) = default;
};

inline constexpr AnchorPoint kAnchorNone{-1, -1};
inline constexpr AnchorPoint kAnchorTopLeft{0, 0};
inline constexpr AnchorPoint kAnchorTopCentre{50, 0};
inline constexpr AnchorPoint kAnchorTopRight{100, 0};
inline constexpr AnchorPoint kAnchorMiddleLeft{0, 50};
inline constexpr AnchorPoint kAnchorCentre{50, 50};
inline constexpr AnchorPoint kAnchorMiddleRight{100, 50};
inline constexpr AnchorPoint kAnchorBottomLeft{0, 100};
inline constexpr AnchorPoint kAnchorBottomCentre{50, 100};
inline constexpr AnchorPoint kAnchorBottomRight{100, 100};

struct LayoutRect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
    int Width() const { return right - left; }
    int Height() const { return bottom - top; }
    friend bool operator==(const LayoutRect&, const LayoutRect&) = default;
};

struct LayoutOffset {
    int x = 0;
    int y = 0;
    friend bool operator==(const LayoutOffset&, const LayoutOffset&) = default;
};

// One registered control's anchors and offsets; the window keeps its handle beside it.
struct AnchorEntry {
    bool bHScrollFix = false; // list boxes: see HScrollFixNeedsRepaint
    bool bRepaint = false;    // repaint the control after each rearrangement
    AnchorPoint topLeft;
    LayoutOffset topLeftOffset;
    AnchorPoint bottomRight;
    LayoutOffset bottomRightOffset;
};

// Pixel position of a percentage of an extent: the product first, then the division, truncating.
int AnchorPixel(int extent, int percent);

// The entry for a control at rc (client coordinates) in a client of clientWidth x clientHeight. With
// no bottom-right anchor the top-left one serves for both, so the control keeps its size and moves
// with that point. A control without any anchor keeps its place (it is treated as anchored top left).
AnchorEntry MakeAnchorEntry(const LayoutRect& rc, int clientWidth, int clientHeight, AnchorPoint topLeft,
                            AnchorPoint bottomRight);

// Where the control of an entry belongs in a client of clientWidth x clientHeight.
LayoutRect AnchoredRect(const AnchorEntry& entry, int clientWidth, int clientHeight);

// The window moved to a display of another dpi: distances to the anchors, in pixels, scale from oldDpi to
// newDpi (the anchors, in percent, stay), so the control keeps its place in a client scaled alike.
AnchorEntry RescaleAnchorEntry(const AnchorEntry& entry, int oldDpi, int newDpi);

// What registration does to a control, from its window class and style.
struct AnchoredControlTraits {
    bool bAddClipSiblings = false; // group boxes, so that they do not paint over the controls inside
    bool bHScrollFix = false;      // list boxes
    bool bRepaint = false;         // static texts and centred images
};
// className as the window system reports it, any case.
AnchoredControlTraits ClassifyAnchoredControl(std::string_view className, std::uint32_t style);

// Size-change kinds of the window system (wParam of the size message).
inline constexpr unsigned kSizeRestored = 0;
inline constexpr unsigned kSizeMinimized = 1;
inline constexpr unsigned kSizeMaximized = 2;
inline constexpr unsigned kSizeMaxShow = 3; // another window was restored
inline constexpr unsigned kSizeMaxHide = 4; // another window was maximised
// Whether a size change rearranges the controls: once initialised, for every kind except the two that
// report on other windows.
bool ShouldRearrange(bool bInitialised, unsigned sizeKind);

// A list box whose width changed by growth repaints when its horizontal scroll limit (above 0) would
// fall below its current scroll position; otherwise stale columns are left behind.
bool HScrollFixNeedsRepaint(int scrollLimit, int scrollPos, int growth);

// How a control's move is queued: position and size are left alone where they do not change.
struct AnchoredMove {
    bool bMoves = false; // false: the rectangle is unchanged, nothing is queued
    bool bKeepPosition = false;
    bool bKeepSize = false;
};
AnchoredMove DecideAnchoredMove(const LayoutRect& current, const LayoutRect& target);

// The size grip's square: the lower right corner of the client area.
LayoutRect GripSquare(int clientWidth, int clientHeight, int gripWidth, int gripHeight);
// Whether a client point grabs the grip (the window then answers "bottom-right sizing border").
bool IsOnGrip(bool bShowGrip, const LayoutRect& grip, int x, int y);

} // namespace dravel
