#pragma once

// A borderless, skin-shaped pop-up that slides out of the taskbar's edge of the screen, shows a few lines
// of text, waits and slides back. A click posts kNotifierClickMessage to the owner (first parameter: the
// instance number, second: a pointer to the click data's characters) and hides the pop-up at once; the
// pointer stays valid until the click data is changed or the notifier destroyed. The animation's
// decisions live in CNotifierAnimation; this class only carries them out on a real window. Each Show
// raises the system alert event; screen readers see an alert named by the text.

#include "win/base/Handles.h"
#include "win/base/Messages.h"
#include "win/base/Window.h"
#include "win/ui/Accessible.h"
#include "core/ui/DpiScale.h"
#include "core/ui/NotifierAnimation.h"

#include <string>
#include <string_view>

namespace dravel::win {

inline constexpr wchar_t kNotifierClassName[] = L"DravelOnTaskbarNotifier";
// Text drawing: centred, wrapped at word boundaries, with an ellipsis where a line does not fit; an "&" is
// drawn as typed (a peer's name is no menu label).
inline constexpr UINT kNotifierTextFormat = DT_CENTER | DT_VCENTER | DT_WORDBREAK | DT_END_ELLIPSIS | DT_NOPREFIX;
// Text colours until SetTextColours: a greyish blue, and a dark blue under the mouse.
inline constexpr COLORREF kNotifierDefaultNormalText = RGB(133, 146, 181);
inline constexpr COLORREF kNotifierDefaultHoverText = RGB(10, 36, 106);

class CTaskbarNotifier : public CWindow, private dravel::NotifierSurface, private CAccessibleSource {
public:
    CTaskbarNotifier() noexcept;
    ~CTaskbarNotifier() override;

    // A 0 x 0 pop-up window at (0, 0) owned by the owner's window.
    bool Create(HWND owner, int instance);

    // Loads the skin from the program's resources; the previous skin is dropped first, also on failure.
    // Unless a colour component is -1, the window takes the skin's shape without the pixels of that colour.
    bool LoadSkin(UINT bitmapId, int red, int green, int blue, HINSTANCE module = nullptr);
    // Loads the skin from a bitmap file; on failure the previous skin stays.
    bool LoadSkin(const std::wstring& fileName, int red, int green, int blue);

    // Style bits: 1 bold, 2 italic, 4 underline. False (fonts unchanged) if the font cannot be made.
    bool SetFonts(std::wstring_view faceName, int pointSizeTenths, int normalStyle, int hoverStyle);
    void SetTextColours(COLORREF normal, COLORREF hover);
    // In logical pixels (those of the skin at 100 %), like every length given to the notifier.
    void SetTextArea(const RECT& rect) noexcept;

    // Shows the text (code page 949 or UTF-16); stayMs kNotifierStayUntilClicked (-1) waits until clicked.
    // The last parameter is not used.
    void Show(std::string_view text949, DWORD showMs, DWORD stayMs, DWORD hideMs, int unused = 0);
    void Show(const std::wstring& text, DWORD showMs, DWORD stayMs, DWORD hideMs, int unused = 0);
    void Hide();

    // Code page 949 text the owner sets before Show and gets back with the click message.
    std::string m_strClickData;

    // The skin's size at 100 %, in which the text area is given.
    int GetLogicalSkinWidth() const noexcept { return m_nLogicalSkinWidth; }
    int GetLogicalSkinHeight() const noexcept { return m_nLogicalSkinHeight; }
    // In pixels at the window's dpi.
    const RECT& GetTextArea() const noexcept { return m_rcText; }
    HFONT GetTextFont() const noexcept { return m_bHovering ? m_fontHover.Get() : m_fontNormal.Get(); }

    // Draws what the window shows (skin and text) into a DC of the window's size.
    void Draw(HDC hdc) const;
    // The text as drawn with the DC's current font: whole, or cut to the lines that fit the text rectangle
    // with an ellipsis at the end.
    std::wstring FitTextToArea(HDC hdc) const;

protected:
    LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;
    void OnTimer(UINT_PTR id) override;
    void OnPaint() override;
    bool OnEraseBkgnd(HDC hdc) override;
    void OnMouseMove(UINT keys, POINT pt) override;
    void OnLButtonUp(UINT keys, POINT pt) override;

private:
    bool TakeSkin(CBitmapHandle bitmap, int red, int green, int blue);
    bool MakeFonts();
    // WM_DPICHANGED: skin, region, text area, fonts and step at the new dpi.
    void OnDpiChanged(int dpi);

    // NotifierSurface
    dravel::NotifierScreen ReadScreen() override;
    void StartTimer(std::uint32_t id, std::uint32_t delayMs) override;
    void StopTimer(std::uint32_t id) override;
    void ShowInactive() override;
    void Place(int x, int y, int width, int height) override;
    void BringToTopmost() override;
    void Conceal() override;
    void Repaint() override;

    // CAccessibleSource
    long AccRole(long) override { return ROLE_SYSTEM_ALERT; }
    std::wstring AccName(long) override { return m_strText; }
    long AccState(long) override { return STATE_SYSTEM_READONLY; }

    HWND m_hOwner = nullptr; // receives the clicks, not owned
    CFontHandle m_fontNormal;
    CFontHandle m_fontHover;
    COLORREF m_crNormalText = kNotifierDefaultNormalText;
    COLORREF m_crHoverText = kNotifierDefaultHoverText;
    HCURSOR m_hHandCursor = nullptr; // shared system cursor, not owned
    CBitmapHandle m_skin;
    RECT m_rcText{};
    RECT m_rcTextLogical{};
    int m_nDpi = dravel::kDefaultDpi;
    int m_nLogicalSkinWidth = 0;
    int m_nLogicalSkinHeight = 0;
    // Where the skin came from, to draw it again at another dpi.
    UINT m_nSkinId = 0;
    HINSTANCE m_hSkinModule = nullptr;
    std::wstring m_strSkinFile;
    int m_nKey[3] = {-1, -1, -1};
    std::wstring m_strFontFace;
    int m_nFontTenths = 0;
    int m_nNormalStyle = 0;
    int m_nHoverStyle = 0;
    std::wstring m_strText;
    bool m_bHovering = false;
    dravel::CNotifierAnimation m_animation;
    CAccessibleServer m_accessible;
};

} // namespace dravel::win
