#include "win/ui/VisualStyle.h"

namespace dravel::win {

CVisualStyle::CVisualStyle() noexcept : m_module(::LoadLibraryW(L"UxTheme.dll")) {}

template <class Fn> Fn CVisualStyle::Find(const char* name) const {
    if (!m_module)
        return nullptr;
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(::GetProcAddress(m_module.Get(), name)));
}

ThemeHandle CVisualStyle::OpenThemeData(HWND hwnd, const wchar_t* classList) {
    using Fn = ThemeHandle(WINAPI*)(HWND, LPCWSTR);
    const auto fn = Find<Fn>("OpenThemeData");
    return fn != nullptr ? fn(hwnd, classList) : nullptr;
}

HRESULT CVisualStyle::CloseThemeData(ThemeHandle theme) {
    using Fn = HRESULT(WINAPI*)(ThemeHandle);
    const auto fn = Find<Fn>("CloseThemeData");
    return fn != nullptr ? fn(theme) : E_FAIL;
}

HRESULT CVisualStyle::DrawThemeBackground(ThemeHandle theme, HDC hdc, int part, int state, const RECT* rect,
                                          const RECT* clip) {
    using Fn = HRESULT(WINAPI*)(ThemeHandle, HDC, int, int, const RECT*, const RECT*);
    const auto fn = Find<Fn>("DrawThemeBackground");
    return fn != nullptr ? fn(theme, hdc, part, state, rect, clip) : E_FAIL;
}

HRESULT CVisualStyle::DrawThemeText(ThemeHandle theme, HDC hdc, int part, int state, const wchar_t* text, int count,
                                    DWORD flags, DWORD flags2, const RECT* rect) {
    using Fn = HRESULT(WINAPI*)(ThemeHandle, HDC, int, int, LPCWSTR, int, DWORD, DWORD, const RECT*);
    const auto fn = Find<Fn>("DrawThemeText");
    return fn != nullptr ? fn(theme, hdc, part, state, text, count, flags, flags2, rect) : E_FAIL;
}

bool CVisualStyle::IsAppThemed() {
    using Fn = BOOL(WINAPI*)();
    const auto fn = Find<Fn>("IsAppThemed");
    return fn != nullptr && fn() != FALSE;
}

bool CVisualStyle::IsThemeActive() {
    using Fn = BOOL(WINAPI*)();
    const auto fn = Find<Fn>("IsThemeActive");
    return fn != nullptr && fn() != FALSE;
}

} // namespace dravel::win
