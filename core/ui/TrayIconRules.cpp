#include "core/ui/TrayIconRules.h"

namespace dravel {

TrayOperation MapTrayCallback(std::uintptr_t iconId, std::uintptr_t mouseMessage) noexcept {
    if (iconId != kTrayIconId)
        return TrayOperation::None;
    switch (mouseMessage) {
    case kTrayLeftDown:
        return TrayOperation::LeftPress;
    case kTrayLeftDoubleClick:
        return TrayOperation::LeftDoubleClick;
    case kTrayRightDown:
    case kTrayContextMenu:
        return TrayOperation::RightPress;
    case kTrayRightDoubleClick:
        return TrayOperation::RightDoubleClick;
    case kTrayMouseMove:
        return TrayOperation::PointerMove;
    default:
        return TrayOperation::None;
    }
}

bool IsMinimiseToTray(bool bMinimiseToTray, std::uintptr_t sysCommand) noexcept {
    constexpr std::uintptr_t kMinimise = 0xF020; // SC_MINIMIZE; the low four bits are the system's own
    return bMinimiseToTray && (sysCommand & 0xFFF0u) == kMinimise;
}

std::string TruncateTrayTooltip(std::string_view text949) {
    // Walk whole characters: a lead byte (0x81..0xFE) and its trail byte count as one.
    std::size_t end = 0;
    while (end < text949.size()) {
        const auto byte = static_cast<unsigned char>(text949[end]);
        const std::size_t length = (byte >= 0x81 && byte <= 0xFE && end + 1 < text949.size()) ? 2 : 1;
        if (end + length > kTrayTooltipMaxBytes)
            break;
        end += length;
    }
    return std::string(text949.substr(0, end));
}

} // namespace dravel
