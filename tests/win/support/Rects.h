#pragma once

// Window rectangles as the tests compare them: on the screen, in the client area, in the parent's client
// coordinates, and written out for a failure message.

#include <windows.h>

#include <string>

namespace dravel::win::test {

inline RECT ScreenRectOf(HWND hwnd) {
    RECT rc{};
    ::GetWindowRect(hwnd, &rc);
    return rc;
}

inline RECT ClientRectOf(HWND hwnd) {
    RECT rc{};
    ::GetClientRect(hwnd, &rc);
    return rc;
}

// The child's rectangle in its parent's client coordinates.
inline RECT ChildRect(HWND child) {
    RECT rc = ScreenRectOf(child);
    ::MapWindowPoints(nullptr, ::GetParent(child), reinterpret_cast<POINT*>(&rc), 2);
    return rc;
}

inline bool SameRect(const RECT& a, const RECT& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

inline std::string Describe(const RECT& rc) {
    return std::to_string(rc.left) + "," + std::to_string(rc.top) + "," + std::to_string(rc.right) + "," +
           std::to_string(rc.bottom);
}

} // namespace dravel::win::test
