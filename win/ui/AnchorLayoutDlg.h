#pragma once

// Dialog base for windows the user may resize. Controls registered with AnchorControl keep their
// distance to two anchor points (percent of the client area) as the window changes size; all of them
// move in one batch. The dialog draws a size grip in its lower right corner (not when maximised),
// makes that corner grab-able, and cannot be made smaller than it was when it opened.
//
// A derived dialog (its template needs a sizing frame) registers its controls after the base's
// initialisation:
//     BOOL CChatListDlg::OnInitDialog() {
//         CAnchorLayoutDlg::OnInitDialog();
//         AnchorControl(IDC_USER_LIST, kAnchorTopLeft, kAnchorBottomRight); // grows with the window
//         AnchorControl(IDOK, kAnchorBottomRight);                         // moves with the corner
//         ...
// Overrides of OnSize, OnPaint, OnNcHitTest, OnGetMinMaxInfo and OnDestroy call this class's version.

#include "win/base/Dialog.h"

#include "core/ui/AnchorLayout.h"

#include <vector>

namespace dravel::win {

class CAnchorLayoutDlg : public CDialog {
public:
    explicit CAnchorLayoutDlg(UINT templateId, HINSTANCE module = nullptr) noexcept;
    explicit CAnchorLayoutDlg(const DLGTEMPLATE* pTemplate) noexcept;

    // Registers a child control at its current place. Without a bottom-right anchor the control keeps
    // its size and follows the top-left one. Registering a control again replaces its entry. False if
    // control is not a child of this dialog.
    bool AnchorControl(HWND control, AnchorPoint topLeft, AnchorPoint bottomRight = kAnchorNone);
    bool AnchorControl(int id, AnchorPoint topLeft, AnchorPoint bottomRight = kAnchorNone);

    void ShowSizeGrip(bool bShow);
    // Whether the opening size is the smallest the user can make the window.
    void UseMinTrackSize(bool bUse) noexcept { m_bUseMinTrackSize = bUse; }
    size_t GetAnchoredCount() const noexcept { return m_entries.size(); }

    // Moves every registered control to its place for the current client size.
    void ArrangeControls();
    // The dpi the layout is in: the window's when it opened, then the one of the last WM_DPICHANGED.
    int GetDpi() const noexcept { return m_nDpi; }

protected:
    LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;
    // Fixes the minimum size and the grip square; derived dialogs call it first.
    BOOL OnInitDialog() override;
    void OnSize(UINT type, int cx, int cy) override;
    void OnPaint() override;
    UINT OnNcHitTest(POINT pt) override;
    void OnGetMinMaxInfo(MINMAXINFO& info) override;
    void OnDestroy() override;

    // Draws the grip into hdc if it is shown and the window is not maximised.
    void PaintGrip(HDC hdc) const;

    // WM_DPICHANGED: the anchors' distances, the grip and the smallest size scale to the new dpi, the
    // children hear of it (WM_DPICHANGED to each, which the program's own controls follow) and the window
    // takes the suggested rectangle (none: it keeps its size). Derived dialogs rebuild what they give their
    // controls (icons, image lists) first and then call this.
    virtual void OnDpiChanged(int dpi, const RECT* suggested);

private:
    struct Entry {
        HWND hwnd = nullptr;
        AnchorEntry anchors;
    };

    void UpdateGripSquare(bool bInvalidate);
    RECT ControlRect(HWND control) const;

    bool m_bShowGrip = true;
    bool m_bUseMinTrackSize = true;
    bool m_bInitialised = false;
    SIZE m_gripSize{};
    RECT m_rcGrip{};
    SIZE m_minTrackSize{};
    int m_nDpi = 96;
    std::vector<Entry> m_entries;
};

} // namespace dravel::win
