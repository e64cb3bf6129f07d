#include "win/ui/ThemedSkinButton.h"

namespace dravel::win {

namespace {
constexpr int kPushButtonPart = 1;
}

bool CThemedSkinButton::IsThemed() const {
    return m_pStyle != nullptr && m_pStyle->IsAppThemed();
}

void CThemedSkinButton::PaintBackground(HDC hdc, const RECT& rc) {
    if (IsThemed()) {
        if (const ThemeHandle theme = m_pStyle->OpenThemeData(m_hWnd, L"BUTTON")) {
            const int state = ThemedPushButtonState(IsDisabled(), IsPressed(), IsHovered(), IsDefault());
            m_pStyle->DrawThemeBackground(theme, hdc, kPushButtonPart, state, &rc, nullptr);
            m_pStyle->CloseThemeData(theme);
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
