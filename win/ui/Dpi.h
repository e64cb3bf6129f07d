#pragma once

// Display scaling for the program's own drawing. The process is per-monitor aware (the manifest), so the
// system stretches nothing: every window scales its lengths, fonts and pictures to its own dpi
// (dravel::ScaleForDpi, dravel::PointsToPixels) and rebuilds them on WM_DPICHANGED.

#include "win/base/Handles.h"
#include "core/ui/DpiScale.h"

#include <string_view>

namespace dravel::win {

#ifndef WM_DPICHANGED
#define WM_DPICHANGED 0x02E0
#endif
#ifndef WM_DPICHANGED_BEFOREPARENT
#define WM_DPICHANGED_BEFOREPARENT 0x02E2
#endif
#ifndef WM_DPICHANGED_AFTERPARENT
#define WM_DPICHANGED_AFTERPARENT 0x02E3
#endif

// The dpi of the window's monitor: GetDpiForWindow where user32 has it (Windows 10 1607 and later), else the
// screen's LOGPIXELSY (older systems; Wine, which reads it from the registry at start-up).
int WindowDpi(HWND hwnd);
// The screen's LOGPIXELSY: the dpi of windows not yet created.
int ScreenDpi();

// WM_DPICHANGED: the new dpi (wParam), and moving the window to the rectangle the system suggests (lParam).
inline int DpiFromChangedMessage(WPARAM wParam) {
    return dravel::NormaliseDpi(HIWORD(wParam));
}
void MoveToSuggestedRect(HWND hwnd, LPARAM lParam);
// WM_DPICHANGED_AFTERPARENT: the system sends it with wParam 0 (the child asks its window); the program's
// dialogs pass the new dpi in wParam as WM_DPICHANGED does, for Wine, which sends children nothing.
inline int DpiAfterParent(HWND hwnd, WPARAM wParam) {
    return wParam != 0 ? DpiFromChangedMessage(wParam) : WindowDpi(hwnd);
}

// A font of face, size in tenths of a point at dpi, and weight.
CFontHandle CreatePointFont(std::wstring_view faceName, int tenthPoints, int dpi, int weight = FW_NORMAL,
                            bool bItalic = false, bool bUnderline = false);

// A copy of bitmap at width x height, filtered smoothly (HALFTONE); a 24-bit DIB section, or 32-bit with its
// alpha channel kept for a 32-bit source.
CBitmapHandle StretchBitmapSmooth(HBITMAP bitmap, int width, int height);

// The picture of resource id for dpi: at 96 dpi the resource itself; above, the one drawn at the nearest
// larger size (id + 1000 for 150 %, + 2000 for 200 %) when the module has it, brought to the exact scaled size
// of the 100 % picture with a smooth filter where the sizes differ.
CBitmapHandle LoadBitmapForDpi(HINSTANCE module, UINT id, int dpi, UINT flags = LR_CREATEDIBSECTION);

} // namespace dravel::win
