#pragma once

// A skinned button that, while visual styles are on, draws its background and frame with the
// system's push-button look (the frame is part of that background). Without visual styles, or
// without a CVisualStyle, it draws exactly like CSkinButton.

#include "win/ui/SkinButton.h"
#include "win/ui/VisualStyle.h"

namespace dravel::win {

class CThemedSkinButton : public CSkinButton {
public:
    // The style is not owned; it must outlive the button's drawing. Null: never themed.
    void SetVisualStyle(CVisualStyle* pStyle) noexcept { m_pStyle = pStyle; }

protected:
    void PaintBackground(HDC hdc, const RECT& rc) override;
    void PaintBorder(HDC hdc, const RECT& rc) override;

private:
    bool IsThemed() const;

    CVisualStyle* m_pStyle = nullptr;
};

} // namespace dravel::win
