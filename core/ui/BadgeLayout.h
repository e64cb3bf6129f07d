#pragma once

// Where the signs of waiting messages and of quiet go on a square icon: a count badge in the lower right
// corner (red, white digits) and a small round "do not disturb" sign in the upper left. Lengths are pixels of
// the icon; win/ui/BadgeIcon draws what these say.

#include "core/ui/AnchorLayout.h" // LayoutRect

#include <string>

namespace dravel {

// The digits a badge shows: "1".."99", "99+" for more; empty for none (zero or less).
std::string BadgeText(int count);

struct CountBadge {
    std::string text;   // empty: no badge
    LayoutRect pill;    // a circle for one digit, widened for two or three characters
    int fontHeight = 0; // character height of the digits
};

// The badge for count on an icon of side pixels: in the lower right corner, about 9/16 of the side high (7 px
// at least), or, bWhole, as high as the icon (the badge alone, as an overlay).
CountBadge LayOutCountBadge(int side, int count, bool bWhole = false);

struct QuietSign {
    LayoutRect circle; // upper left, clear of the badge
    LayoutRect bar;    // the white bar across its middle
};
QuietSign LayOutQuietSign(int side);

} // namespace dravel
