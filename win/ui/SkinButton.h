#pragma once

// An owner-drawn push button: flat (highlighted while the mouse is over it) or classic raised, with an
// icon or masked bitmap left of, above or right of its caption, six state colours, a tooltip, and on a
// click a check-box toggle, a drop-down menu or a web address opened with "open".
//
// Attach it to a button of a dialog template in the dialog's OnInitDialog:
//     m_btnClose.AttachDlgItem(m_hWnd, IDC_CLOSE);
//     m_btnClose.SetButtonIcons(IDI_CLOSE_ACTIVE, IDI_CLOSE_IDLE);
//     m_btnClose.SetStateColour(BK_ACTIVE, RGB(255, 255, 255));
//     m_btnClose.SetTipText(IDS_CHATLIST_CLOSE_TIP);
// The parent must be a CWindow (every dialog of the program is): it hands the button its drawing and
// click notifications (CWindow::OnReflectedMessage). The parent still receives the click.
//
// Derived classes change the look through PaintBackground and PaintBorder, which see the state of the
// drawing pass through IsPressed, IsFocused, IsDisabled, IsHovered.
//
// Screen readers see a push button (a check button in check-box mode) named by its caption, or by its
// tooltip when it has no caption; its default action clicks it as BM_CLICK does.

#include "win/base/Handles.h"
#include "win/base/Window.h"
#include "win/ui/Accessible.h"

#include "core/ui/DpiScale.h"
#include "core/ui/SkinButtonRules.h"

#include <optional>
#include <string>
#include <string_view>

namespace dravel::win {

class CSkinButton : public CWindow, private CAccessibleSource {
public:
    CSkinButton() noexcept;
    ~CSkinButton() override;

    // Takes over an existing button: its type becomes owner-drawn; a check-box type makes the button
    // toggle, a default push button makes it the default.
    bool Attach(HWND button);
    bool AttachDlgItem(HWND parent, int id);
    // Creates a push button child of parent and attaches to it.
    bool Create(HWND parent, int id, const wchar_t* caption, const RECT& rc,
                DWORD style = WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON);

    // Icons of the program's resources; idleId 0 uses the active icon in both states. 1 if the active
    // icon cannot be loaded (then the button has no image).
    int SetButtonIcons(UINT activeId, UINT idleId = 0);
    // The dpi the images are loaded at: the button's window's, then the one of the last WM_DPICHANGED.
    int GetDpi() const noexcept { return m_nDpi; }
    // The size of the active image in pixels (0 x 0 without one).
    SIZE GetImageSize() const noexcept { return SIZE{m_images[0].cx, m_images[0].cy}; }
    // Bitmaps of the program's resources, drawn with every pixel of their transparent colour left out.
    // 1 (and no images) if one cannot be loaded.
    int SetButtonBitmaps(UINT activeId, COLORREF activeTransparent, UINT idleId = 0, COLORREF idleTransparent = 0);

    // kButtonOk, or kButtonInvalidIndex for an index outside BK_ACTIVE..FG_FOCUSED.
    int SetStateColour(int index, COLORREF colour, bool bRepaint = true);
    int GetStateColour(int index, COLORREF* colour) const;
    void ResetColours(bool bRepaint = true);

    void SetFlatStyle(bool bFlat, bool bRepaint = true);
    // kButtonOk, or kButtonInvalidAlign for anything but ALIGN_IMAGE_LEFT, _TOP, _RIGHT.
    int SetImagePosition(int align, bool bRepaint = true);
    void EnableBorder(bool bEnable, bool bRepaint = true);
    void EnableFlatFocus(bool bEnable, bool bRepaint = true);
    // Highlight under the mouse also while another application is active.
    void SetHoverAlways(bool bAlways) noexcept { m_bAlwaysTrack = bAlways; }

    // Check-box mode only.
    void SetCheck(bool bChecked, bool bRepaint = true);
    bool GetCheck() const noexcept { return m_bCheckBox && m_bChecked; }

    // A cursor resource shown over the button; 0 removes it. 1 if it cannot be loaded.
    int SetHoverCursor(UINT cursorId, bool bRepaint = true);
    // Opened with "open" on a click (when there is no menu); empty for none. At most 259 characters.
    void SetLinkAddress(std::wstring_view url);
    const std::wstring& GetLinkAddress() const noexcept { return m_strUrl; }
    // The first sub-menu of a menu resource drops down below the button on a click; its commands go to
    // owner (null: the parent). 0 removes it; 1 if it cannot be loaded.
    int SetMenu(UINT menuId, HWND owner, bool bRepaint = true);

    void SetTipText(std::wstring_view text, bool bActivate = true);
    // A string-table entry; an empty or missing entry is ignored.
    void SetTipText(UINT stringId, bool bActivate = true);
    void EnableTip(bool bEnable);
    HWND GetTooltip() const noexcept { return m_tooltip.Get(); }

    // The background becomes a snapshot of the parent behind the button, taken at the next drawing.
    void SetParentBackdrop(bool bRepaint = true);

    bool IsHovered() const noexcept { return m_bHover; }
    bool IsCheckBox() const noexcept { return m_bCheckBox; }
    bool IsDefault() const noexcept { return m_bDefault; }

    // Draws the button in its current state into hdc (client coordinates), as a paint would.
    void DrawInto(HDC hdc);

protected:
    // Fills rc: BK_ACTIVE when hovered or pressed, else BK_FOCUSED when focused, else BK_IDLE.
    virtual void PaintBackground(HDC hdc, const RECT& rc);
    // A 3-D rectangle, raised at rest and sunken when pressed.
    virtual void PaintBorder(HDC hdc, const RECT& rc);
    // Opens the link address; true if the shell accepted it.
    virtual bool OpenLinkAddress(const std::wstring& url);

    // State of the drawing pass in progress (or the last one).
    bool IsPressed() const noexcept { return m_bPressed; }
    bool IsFocused() const noexcept { return m_bFocused; }
    bool IsDisabled() const noexcept { return m_bDisabled; }
    COLORREF StateColour(int index) const { return m_colours[index]; }

    LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;
    bool OnReflectedMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
    void OnMouseMove(UINT keys, POINT pt) override;

private:
    struct Image {
        CIconHandle icon;
        CBitmapHandle bitmap;
        CBitmapHandle mask; // 1 where the bitmap is transparent
        int cx = 0;
        int cy = 0;
        COLORREF transparent = 0;
        bool IsSet() const noexcept { return static_cast<bool>(icon) || static_cast<bool>(bitmap); }
    };

    void DrawItem(HDC hdc, const RECT& rcItem, UINT itemState);
    void DrawImage(HDC hdc, const Image& image, const LayoutRect& at) const;
    void DrawCaption(HDC hdc, const std::wstring& caption, LayoutRect area, bool bShift, bool bHover);
    void DrawRaisedEdge(HDC hdc, const RECT& rc) const;
    void OnClicked();
    void CancelHover();
    void FreeImages() noexcept;
    bool LoadMaskedBitmap(UINT id, COLORREF transparent, Image& image) const;
    // The images again at the new dpi, from the resources they came from.
    void OnDpiChanged(int dpi);
    void DropBackdrop() noexcept;
    void CopyBackdrop(HDC hdc, const RECT& rc);
    void Repaint(bool bRepaint) const;
    void RelayToTooltip(UINT msg, WPARAM wParam, LPARAM lParam);

    // CAccessibleSource (SkinButtonAccessible.cpp)
    long AccRole(long child) override;
    std::wstring AccName(long child) override;
    std::wstring AccDescription(long child) override;
    std::wstring AccKeyboardShortcut(long child) override;
    long AccState(long child) override;
    std::wstring AccDefaultAction(long child) override;
    bool AccDoDefaultAction(long child) override;

    bool m_bFlat = true;
    bool m_bHover = false;
    bool m_bTransparentBackground = false;
    bool m_bPressed = false;
    bool m_bFocused = false;
    bool m_bDisabled = false;
    bool m_bDefault = false;
    bool m_bCheckBox = false;
    int m_nAlign = ALIGN_IMAGE_LEFT;
    bool m_bDrawBorder = true;
    bool m_bDrawFlatFocus = false;
    CSkinButtonColours m_colours;
    CMenuHandle m_menu;
    HWND m_hMenuOwner = nullptr;
    bool m_bMenuShown = false;
    CCursorHandle m_cursor;
    CWindowHandle m_tooltip;
    bool m_bTooltipHasTool = false;
    CBitmapHandle m_backdropBitmap;
    CDcHandle m_backdropDc;
    // The bitmap stays selected into the backdrop context while both live.
    std::optional<CSelectObjectGuard> m_backdropSelection;
    bool m_bAlwaysTrack = false;
    bool m_bChecked = false;
    unsigned m_nAttachedType = kButtonTypeNone;
    std::wstring m_strUrl;
    Image m_images[2]; // active, idle
    // Where the images came from, to load them again at another dpi: icon ids, or bitmap ids and colours.
    UINT m_nImageIds[2] = {0, 0};
    COLORREF m_crImageTransparent[2] = {0, 0};
    bool m_bBitmapImages = false;
    int m_nDpi = dravel::kDefaultDpi;
    std::wstring m_strTipText;
    CAccessibleServer m_accessible;
};

} // namespace dravel::win
