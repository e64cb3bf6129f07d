#include "core/ui/SkinButtonRules.h"

#include "core/ui/DpiScale.h"

namespace dravel {

namespace {

constexpr std::uint32_t kTypeMask = 0x0F;
constexpr std::uint32_t kDefPushButton = 0x01;
constexpr std::uint32_t kOwnerDraw = 0x0B;

LayoutRect Offset(LayoutRect r, int dx, int dy) {
    return LayoutRect{r.left + dx, r.top + dy, r.right + dx, r.bottom + dy};
}

} // namespace

void CSkinButtonColours::Reset(std::uint32_t face, std::uint32_t text) {
    for (int i = 0; i < BTNST_MAX_COLORS; ++i)
        m_colours[static_cast<size_t>(i)] = (i % 2 == 0) ? face : text;
}

int CSkinButtonColours::Set(int index, std::uint32_t colour) {
    if (index < 0 || index >= BTNST_MAX_COLORS)
        return kButtonInvalidIndex;
    m_colours[static_cast<size_t>(index)] = colour;
    return kButtonOk;
}

ButtonAttachment AttachButtonStyle(std::uint32_t style) {
    ButtonAttachment a;
    a.bDefault = (style & kTypeMask) == kDefPushButton;
    a.nNewStyle = (style & ~kTypeMask) | kOwnerDraw;
    return a;
}

std::uint32_t RestyleOwnerDrawn(std::uint32_t requested) {
    return (requested & ~kTypeMask) | kOwnerDraw;
}

bool IsDefaultPushStyle(std::uint32_t requested) {
    return (requested & kTypeMask) == kDefPushButton;
}

bool IsDrawnPressed(const SkinButtonState& s) {
    if (s.bSelected)
        return true;
    if (s.bCheckBox)
        return s.bChecked;
    return s.bMenuShown;
}

int BackgroundColourIndex(bool bHover, bool bPressed, bool bFocused) {
    if (bHover || bPressed)
        return BK_ACTIVE;
    return bFocused ? BK_FOCUSED : BK_IDLE;
}

CaptionColours CaptionColourIndexes(bool bHover, bool bPressed) {
    if (bHover || bPressed)
        return {FG_ACTIVE, BK_ACTIVE};
    return {FG_IDLE, BK_IDLE};
}

ButtonFrame DecideFrame(bool bFlat, bool bPressed, bool bHover, bool bDrawBorder) {
    if (!bFlat)
        return bPressed ? ButtonFrame::ShadowRect : ButtonFrame::RaisedEdge;
    if (!bDrawBorder)
        return ButtonFrame::None;
    return (bPressed || bHover) ? ButtonFrame::Border : ButtonFrame::None;
}

bool UseActiveImage(bool bPressed, bool bHover, bool bCheckBox, bool bHasIdleImage) {
    return bPressed || (bHover && !bCheckBox) || !bHasIdleImage;
}

bool ShiftsWhenPressed(bool bPressed, bool bCheckBox) {
    return bPressed && !bCheckBox;
}

ButtonContentLayout PlaceButtonContent(int align, const LayoutRect& rc, int imageWidth, int imageHeight, bool bHasText,
                                       bool bShift, int dpi) {
    const int margin = ScaleForDpi(kImageMargin, dpi);
    ButtonContentLayout out;
    out.text = rc;
    const int w = rc.Width();
    const int h = rc.Height();
    int x = rc.left;
    int y = rc.top;
    switch (align) {
    case ALIGN_IMAGE_TOP:
        x = rc.left + (w - imageWidth) / 2;
        if (bHasText) {
            y = rc.top + margin;
            out.text.top = y + imageHeight;
        } else {
            y = rc.top + (h - imageHeight) / 2;
        }
        break;
    case ALIGN_IMAGE_RIGHT:
        if (bHasText) {
            out.text.left = rc.left + margin;
            out.text.right = rc.left + w - imageWidth - margin;
            x = rc.right - imageWidth - margin;
        } else {
            x = rc.left + (w - imageWidth) / 2;
        }
        // Also without a caption: an image-only button shows its image in the middle, not at the top.
        y = rc.top + (h - imageHeight) / 2;
        break;
    case ALIGN_IMAGE_LEFT:
    default:
        if (bHasText) {
            x = rc.left + margin;
            out.text.left = x + imageWidth + margin;
        } else {
            x = rc.left + (w - imageWidth) / 2;
        }
        y = rc.top + (h - imageHeight) / 2;
        break;
    }
    out.image = LayoutRect{x, y, x + imageWidth, y + imageHeight};
    if (bShift)
        out.image = Offset(out.image, ScaleForDpi(1, dpi), ScaleForDpi(1, dpi));
    return out;
}

LayoutRect CentreCaption(const LayoutRect& area, int textWidth, int textHeight) {
    const int x = area.left + (area.Width() - textWidth) / 2;
    const int y = area.top + (area.Height() - textHeight) / 2;
    return LayoutRect{x, y, x + textWidth, y + textHeight};
}

HoverAction DecideHoverOnMove(bool bFlat, bool bHover, bool bLeftDown, bool bUnderCursor, bool bAlwaysTrack,
                              bool bAppActive) {
    if (!bFlat || (bLeftDown && !bHover))
        return HoverAction::None;
    const bool bUnder = bUnderCursor && (bAlwaysTrack || bAppActive);
    if (bUnder)
        return bHover ? HoverAction::None : HoverAction::Start;
    return bHover ? HoverAction::Cancel : HoverAction::None;
}

int ThemedPushButtonState(bool bDisabled, bool bPressed, bool bHover, bool bDefault) {
    if (bDisabled)
        return 4;
    if (bPressed)
        return 3;
    if (bHover)
        return 2;
    return bDefault ? 5 : 1;
}

} // namespace dravel
