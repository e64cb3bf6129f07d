#include "win/ui/ThemedSkinButton.h"

namespace dravel::win {

namespace {

constexpr int kPushButtonPart = 1; // BP_PUSHBUTTON

// A theme opened for one drawing, closed with it.
class CThemeData {
public:
    CThemeData(CVisualStyle& style, HWND hwnd, const wchar_t* classList)
        : m_style(style), m_theme(style.OpenThemeData(hwnd, classList)) {}
    ~CThemeData() {
        if (m_theme != nullptr)
            m_style.CloseThemeData(m_theme);
    }
    CThemeData(const CThemeData&) = delete;
    CThemeData& operator=(const CThemeData&) = delete;

    ThemeHandle Get() const noexcept { return m_theme; }

private:
    CVisualStyle& m_style;
    ThemeHandle m_theme;
};

} // namespace

bool CThemedSkinButton::IsThemed() const {
    return m_pStyle != nullptr && m_pStyle->IsAppThemed();
}

void CThemedSkinButton::PaintBackground(HDC hdc, const RECT& rc) {
    if (IsThemed()) {
        const CThemeData theme(*m_pStyle, m_hWnd, L"BUTTON");
        if (theme.Get() != nullptr) {
            const int state = ThemedPushButtonState(IsDisabled(), IsPressed(), IsHovered(), IsDefault());
            m_pStyle->DrawThemeBackground(theme.Get(), hdc, kPushButtonPart, state, &rc, nullptr);
            return;
        }
    }
    CSkinButton::PaintBackground(hdc, rc);
}

void CThemedSkinButton::PaintBorder(HDC hdc, const RECT& rc) {
    if (!IsThemed())
        CSkinButton::PaintBorder(hdc, rc);
}

} // namespace dravel::win
