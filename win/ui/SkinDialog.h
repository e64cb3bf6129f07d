#pragma once

// Dialog base that paints a bitmap as its background (once, tiled, centred, stretched, or with the
// window sized to the bitmap), lets the user drag the window by any point of its client area, and
// can make the window transparent, uniformly or by a colour key.
//
// A derived dialog typically calls, in its OnInitDialog:
//     SetBitmap(IDB_LOGIN_SKIN); SetBackgroundMode(kSkinFitWindow); SetColourKey(RGB(0, 255, 0));
// The transparency calls need the window to exist. Override OnEraseBkgnd, OnSize or OnLButtonDown only
// by calling this class's version.

#include "win/base/Dialog.h"
#include "win/base/Handles.h"

#include "core/ui/SkinBackground.h"

namespace dravel::win {

class CSkinDialog : public CDialog {
public:
    explicit CSkinDialog(UINT templateId, HINSTANCE module = nullptr) noexcept;
    explicit CSkinDialog(const DLGTEMPLATE* pTemplate) noexcept;
    ~CSkinDialog() override = default;

    // A bitmap resource of the program (or of the dialog's module), in its own colours.
    bool SetBitmap(UINT resourceId);
    // A .bmp file.
    bool SetBitmap(const wchar_t* fileName);
    // Takes ownership of bitmap and replaces the background. A null bitmap (a failed load) clears the
    // background and still answers true; a handle that is not a bitmap is deleted and answers false.
    bool SetBitmap(HBITMAP bitmap);

    // One of the SkinBackgroundMode values. kSkinFitWindow resizes the window to the bitmap now (only
    // here: a later SetBitmap does not resize).
    void SetBackgroundMode(int mode);

    void EnableClientDrag(bool bEnable) noexcept { m_bClientDrag = bEnable; }

    // 255 makes the window opaque again (no longer layered) and redraws it; anything else makes it
    // uniformly translucent. False when the system has no layered windows or the window is missing.
    bool SetWindowAlpha(BYTE alpha);
    // Pixels of exactly colour become transparent; bEnable false makes the window opaque again.
    bool SetColourKey(COLORREF colour, bool bEnable = true);

    // Paints the background into hdc for a client of the given size, as the erase does.
    void PaintBackground(HDC hdc, int clientWidth, int clientHeight) const;

protected:
    LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;
    bool OnEraseBkgnd(HDC hdc) override;
    void OnSize(UINT type, int cx, int cy) override;
    void OnLButtonDown(UINT keys, POINT pt) override;

    // Forgets the layered-window call, as on a system without it (tests).
    static void ForgetLayeredCall() noexcept;

private:
    using SetLayeredFn = BOOL(WINAPI*)(HWND, COLORREF, BYTE, DWORD);
    static void LookUpLayeredCall() noexcept;
    bool TakeBitmap(CBitmapHandle bitmap);
    void StopLayered();

    bool m_bClientDrag = true;
    CBitmapHandle m_background;
    int m_nBitmapWidth = 0;
    int m_nBitmapHeight = 0;
    // The resource the skin came from (0: a file or a caller's bitmap) and the dpi it was drawn for.
    UINT m_nSkinId = 0;
    int m_nSkinDpi = 96;
    int m_nBackgroundMode = kSkinNormal;

    static SetLayeredFn s_pfnSetLayered;
};

} // namespace dravel::win
