#pragma once

// The visual-style library ("UxTheme.dll"), loaded when the object is made and released with it.
// Every call looks its function up by name, so the program runs where the library or a function is
// missing; each answers what a missing library means (no theme, failure, not themed). The calls are
// virtual so that a test can stand in for the library.

#include "win/base/Handles.h"

namespace dravel::win {

using ThemeHandle = HANDLE; // the library's theme handle

class CVisualStyle {
public:
    CVisualStyle() noexcept;
    virtual ~CVisualStyle() = default;

    CVisualStyle(const CVisualStyle&) = delete;
    CVisualStyle& operator=(const CVisualStyle&) = delete;

    virtual ThemeHandle OpenThemeData(HWND hwnd, const wchar_t* classList);
    virtual HRESULT CloseThemeData(ThemeHandle theme);
    virtual HRESULT DrawThemeBackground(ThemeHandle theme, HDC hdc, int part, int state, const RECT* rect,
                                        const RECT* clip);
    virtual HRESULT DrawThemeText(ThemeHandle theme, HDC hdc, int part, int state, const wchar_t* text, int count,
                                  DWORD flags, DWORD flags2, const RECT* rect);
    virtual bool IsAppThemed();
    virtual bool IsThemeActive();

private:
    // The named function of the library, or null.
    template <class Fn> Fn Find(const char* name) const;

    CModuleHandle m_module;
};

} // namespace dravel::win
