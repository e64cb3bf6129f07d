#pragma once

// An owner-drawn flat push button: highlighted while the mouse is over it, with an icon left of its
// caption (or centred without one), six state colours and a tooltip.
//
// Attach it to a button of a dialog template in the dialog's OnInitDialog:
//     m_btnClose.AttachDlgItem(m_hWnd, IDC_CLOSE);
//     m_btnClose.SetButtonIcons(IDI_CLOSE_ACTIVE, IDI_CLOSE_IDLE);
//     m_btnClose.SetStateColour(BK_ACTIVE, RGB(255, 255, 255));
//     m_btnClose.SetTipText(LoadResString(IDS_CHATLIST_CLOSE_TIP));
// The parent must be a CWindow (every dialog of the program is): it hands the button its drawing
// (CWindow::OnReflectedMessage). The parent still receives the click.
//
// Derived classes change the look through PaintBackground and PaintBorder, which see the state of the
// drawing pass through IsPressed, IsFocused, IsDisabled, IsHovered and IsDefault.
//
// Screen readers see a push button named by its caption, or by its tooltip when it has no caption; its
// default action clicks it as BM_CLICK does.

#include "win/base/Handles.h"
#include "win/base/Window.h"
#include "win/ui/Accessible.h"

#include "core/ui/DpiScale.h"
#include "core/ui/SkinButtonRules.h"

#include <string>
#include <string_view>

namespace dravel::win {

class CSkinButton : public CWindow, private CAccessibleSource {
public:
    CSkinButton() noexcept;
    ~CSkinButton() override;

    // Takes over a button of a dialog: its type becomes owner-drawn; a default push button makes it the
    // default. False when there is no such button or it has an object already.
    bool AttachDlgItem(HWND parent, int id);

    // Icons of the program's resources, loaded at the button's dpi; idleId 0 uses the active icon in both
    // states. kButtonLoadFailed if the active icon cannot be loaded (then the button has no image).
    int SetButtonIcons(UINT activeId, UINT idleId = 0);

    // kButtonOk, or kButtonInvalidIndex (nothing changes) for an index outside BK_ACTIVE..FG_FOCUSED.
    int SetStateColour(int index, COLORREF colour, bool bRepaint = true);

    // The tooltip is made on first use, with the button's client area as its one tool.
    void SetTipText(std::wstring_view text, bool bActivate = true);

protected:
    // Fills rc: BK_ACTIVE when hovered or pressed, else BK_FOCUSED when focused, else BK_IDLE.
    virtual void PaintBackground(HDC hdc, const RECT& rc);
    // A 3-D rectangle, raised when hovered and sunken when pressed.
    virtual void PaintBorder(HDC hdc, const RECT& rc);

    // State of the drawing pass in progress (or the last one).
    bool IsPressed() const noexcept { return m_bPressed; }
    bool IsFocused() const noexcept { return m_bFocused; }
    bool IsDisabled() const noexcept { return m_bDisabled; }
    bool IsHovered() const noexcept { return m_bHover; }
    bool IsDefault() const noexcept { return m_bDefault; }

    LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;
    bool OnReflectedMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
    void OnMouseMove(UINT keys, POINT pt) override;

private:
    struct Image {
        CIconHandle icon;
        int cx = 0;
        int cy = 0;
        bool IsSet() const noexcept { return static_cast<bool>(icon); }
    };

    bool Attach(HWND button);
    void DrawItem(HDC hdc, const RECT& rcItem, UINT itemState);
    // Draws the button in its current state into hdc (client coordinates), as a paint would.
    void DrawInto(HDC hdc);
    void DrawImage(HDC hdc, const Image& image, const LayoutRect& at) const;
    void DrawCaption(HDC hdc, const std::wstring& caption, LayoutRect area, bool bShift, bool bHover);
    void CancelHover();
    void FreeImages() noexcept;
    // The icons again at the new dpi, from the resources they came from.
    void OnDpiChanged(int dpi);
    void Repaint(bool bRepaint) const;
    void EnableTip(bool bEnable);
    void RelayToTooltip(UINT msg, WPARAM wParam, LPARAM lParam);

    // CAccessibleSource (SkinButtonAccessible.cpp)
    long AccRole(long child) override;
    std::wstring AccName(long child) override;
    std::wstring AccDescription(long child) override;
    std::wstring AccKeyboardShortcut(long child) override;
    long AccState(long child) override;
    std::wstring AccDefaultAction(long child) override;
    bool AccDoDefaultAction(long child) override;

    bool m_bHover = false;
    bool m_bPressed = false;
    bool m_bFocused = false;
    bool m_bDisabled = false;
    bool m_bDefault = false;
    CSkinButtonColours m_colours;
    CWindowHandle m_tooltip;
    bool m_bTooltipHasTool = false;
    Image m_images[2]; // active, idle
    // Where the icons came from, to load them again at another dpi.
    UINT m_nImageIds[2] = {0, 0};
    int m_nDpi = dravel::kDefaultDpi;
    std::wstring m_strTipText;
    CAccessibleServer m_accessible;
};

} // namespace dravel::win
