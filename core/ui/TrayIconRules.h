#pragma once

// Decisions of the tray dialog: which tray callbacks it acts on, when a minimise request hides the window
// into the tray, and how much of a tooltip fits the icon record.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace dravel {

// The one icon a tray dialog owns.
inline constexpr std::uintptr_t kTrayIconId = 1;
// Room for the tooltip in the icon record, without its terminating NUL.
inline constexpr std::size_t kTrayTooltipMaxBytes = 63;

// Mouse messages as the tray callback reports them (the window system's numbers).
inline constexpr std::uint32_t kTrayMouseMove = 0x0200;
inline constexpr std::uint32_t kTrayLeftDown = 0x0201;
inline constexpr std::uint32_t kTrayLeftDoubleClick = 0x0203;
inline constexpr std::uint32_t kTrayRightDown = 0x0204;
inline constexpr std::uint32_t kTrayRightDoubleClick = 0x0206;
inline constexpr std::uint32_t kTrayContextMenu = 0x007B;

enum class TrayOperation { None, LeftPress, LeftDoubleClick, RightPress, RightDoubleClick, PointerMove };

// The operation for a tray callback (first parameter: icon id, second: mouse message); None for another
// icon's callbacks and for messages the dialog does not handle.
TrayOperation MapTrayCallback(std::uintptr_t iconId, std::uintptr_t mouseMessage) noexcept;

// True if a system command is a minimise request that goes into the tray instead.
bool IsMinimiseToTray(bool bMinimiseToTray, std::uintptr_t sysCommand) noexcept;

// The tooltip as the icon record holds it: at most its first 63 bytes of code page 949 text, never ending in
// the first half of a double-byte character (which would show as a broken character).
std::string TruncateTrayTooltip(std::string_view text949);

} // namespace dravel
