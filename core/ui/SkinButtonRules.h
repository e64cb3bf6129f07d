#pragma once

// The decisions of the skinned button: which colour, frame and image a drawing pass uses for the
// button's state, where the image and the caption go, how hover tracking reacts, and the range check
// of its colour setter. win/ui/SkinButton draws what these say.

#include "core/ui/AnchorLayout.h" // LayoutRect

#include <array>
#include <cstdint>

namespace dravel {

// Indexes of the six state colours.
enum SkinButtonColourIndex : int {
    BK_ACTIVE = 0, // background while hovered or pressed
    FG_ACTIVE = 1, // caption while hovered or pressed
    BK_IDLE = 2,
    FG_IDLE = 3,
    BK_FOCUSED = 4, // background while focused (and neither hovered nor pressed)
    FG_FOCUSED = 5,
    BTNST_MAX_COLORS = 6,
};

// Placement of the image against the caption.
enum SkinButtonImageAlign : int {
    ALIGN_IMAGE_LEFT = 0,
    ALIGN_IMAGE_TOP = 1,
    ALIGN_IMAGE_RIGHT = 2,
};

// Results of the button's setters.
inline constexpr int kButtonOk = 0;
inline constexpr int kButtonLoadFailed = 1;
inline constexpr int kButtonInvalidIndex = 3;

// Colours are 0x00BBGGRR.
class CSkinButtonColours {
public:
    CSkinButtonColours(std::uint32_t face, std::uint32_t text) { Reset(face, text); }

    // Every background the face colour, every foreground the text colour.
    void Reset(std::uint32_t face, std::uint32_t text);
    // kButtonOk, or kButtonInvalidIndex (nothing changes) for an index outside 0..5.
    int Set(int index, std::uint32_t colour);
    // Only for indexes known to be valid.
    std::uint32_t operator[](int index) const { return m_colours[static_cast<size_t>(index)]; }

private:
    std::array<std::uint32_t, BTNST_MAX_COLORS> m_colours{};
};

// What attaching to an existing button window makes of its style (the low four type bits).
struct ButtonAttachment {
    bool bDefault = false;
    std::uint32_t nNewStyle = 0; // the style with the owner-drawn type
};
ButtonAttachment AttachButtonStyle(std::uint32_t style);
// The style after a request to make the button default or not: the owner-drawn type stays.
std::uint32_t RestyleOwnerDrawn(std::uint32_t requested);
bool IsDefaultPushStyle(std::uint32_t requested);

// The state a drawing pass works with.
struct SkinButtonState {
    bool bFlat = true;
    bool bHover = false;
    bool bSelected = false; // the window system's selected state
    bool bFocused = false;
    bool bDisabled = false;
    bool bCheckBox = false;
    bool bChecked = false;
    bool bMenuShown = false;
    bool bDefault = false;
    bool bDrawBorder = true;
    bool bDrawFlatFocus = false;
};

// Pressed: selected; in check-box mode also checked; outside it also while the menu is shown.
bool IsDrawnPressed(const SkinButtonState& s);
// The background colour index of the plain look.
int BackgroundColourIndex(bool bHover, bool bPressed, bool bFocused);
// Caption colours: FG_ACTIVE on BK_ACTIVE when hovered or pressed, else FG_IDLE on BK_IDLE.
struct CaptionColours {
    int nText;
    int nBack;
};
CaptionColours CaptionColourIndexes(bool bHover, bool bPressed);

enum class ButtonFrame {
    None,
    ShadowRect, // pressed classic look: one-pixel frame in the button-shadow colour
    Border,     // the PaintBorder hook (a raised or sunken 3-D rectangle by default)
    RaisedEdge, // classic look at rest: four lines of highlight, light, dark shadow and shadow
};
ButtonFrame DecideFrame(bool bFlat, bool bPressed, bool bHover, bool bDrawBorder);

// Active image when pressed, when hovered outside check-box mode, or when there is no idle image.
bool UseActiveImage(bool bPressed, bool bHover, bool bCheckBox, bool bHasIdleImage);
// Image and caption move by (1, 1) while pressed, outside check-box mode.
bool ShiftsWhenPressed(bool bPressed, bool bCheckBox);

// Gap between image, caption and edges.
inline constexpr int kImageMargin = 3;

struct ButtonContentLayout {
    LayoutRect image; // where the image goes (its size is the image's)
    LayoutRect text;  // the area the caption is centred in
};
// rc: the item rectangle. The image sits beside, above or right of the caption by align; without a
// caption it is centred. The margins and the pressed shift scale with dpi; the image's size is its own.
ButtonContentLayout PlaceButtonContent(int align, const LayoutRect& rc, int imageWidth, int imageHeight, bool bHasText,
                                       bool bShift, int dpi = 96);
// A measured caption of textWidth x textHeight centred in its area.
LayoutRect CentreCaption(const LayoutRect& area, int textWidth, int textHeight);

// Hover tracking on a mouse move.
enum class HoverAction { None, Start, Cancel };
// bUnderCursor: the window at the cursor is this button; bAppActive: the application has an active
// window. A hovered button under the cursor stays hovered.
HoverAction DecideHoverOnMove(bool bFlat, bool bHover, bool bLeftDown, bool bUnderCursor, bool bAlwaysTrack,
                              bool bAppActive);

// The visual-style state of a push button (part 1): 4 disabled, 3 pressed, 2 hot, 5 default, 1 normal.
int ThemedPushButtonState(bool bDisabled, bool bPressed, bool bHover, bool bDefault);

} // namespace dravel
