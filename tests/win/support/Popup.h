#pragma once

// The pop-up notifier's phase as its window shows it.

#include <windows.h>

namespace dravel::win::test {

// Fully out and waiting: the end of the slide puts the shown window on top of the others.
inline bool StandsOnTop(HWND popup) {
    return ::IsWindowVisible(popup) && (::GetWindowLongW(popup, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0;
}

// Still sliding out: shown, not yet on top.
inline bool IsRising(HWND popup) {
    return ::IsWindowVisible(popup) && !StandsOnTop(popup);
}

} // namespace dravel::win::test
