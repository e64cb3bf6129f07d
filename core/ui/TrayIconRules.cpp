#include "core/ui/TrayIconRules.h"

#include "core/text/Cp949.h"

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
    return std::string(text949.substr(0, Cp949FitLength(text949, kTrayTooltipMaxBytes)));
}

} // namespace dravel
