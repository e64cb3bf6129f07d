#include "core/ui/BadgeLayout.h"

#include <algorithm>

namespace dravel {

std::string BadgeText(int count) {
    if (count <= 0)
        return {};
    return count > 99 ? "99+" : std::to_string(count);
}

CountBadge LayOutCountBadge(int side, int count, bool bWhole) {
    CountBadge badge{BadgeText(count), {}, 0};
    if (badge.text.empty() || side <= 0)
        return badge;
    const int len = static_cast<int>(badge.text.size());
    const int height = bWhole ? side : std::min(side, std::max(7, (side * 9 + 8) / 16));
    // Each further character adds a little under half the height; never wider than the icon.
    const int width = std::min(side, height + (len - 1) * height * 5 / 12);
    badge.pill = {side - width, side - height, side, side};
    // Digits of a bold face are about 0.55 of their height wide; keep a margin of about a sixth round them.
    const int margin = std::max(1, height / 6);
    badge.fontHeight = std::max(5, std::min(height - 2 * margin, (width - 2) * 100 / (55 * len)));
    return badge;
}

QuietSign LayOutQuietSign(int side) {
    const int height = std::min(side, std::max(7, (side * 9 + 8) / 16));
    const int d = std::max(3, side - height); // what the corner badge leaves: about 7/16
    const int inset = std::max(1, d / 5);
    const int thick = std::max(1, (d + 2) / 5);
    const int top = (d - thick) / 2;
    return {{0, 0, d, d}, {inset, top, d - inset, top + thick}};
}

} // namespace dravel
