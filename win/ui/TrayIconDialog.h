#pragma once

// A dialog that owns one icon in the notification area. A minimise request hides the window into the tray
// (the icon appears, the window goes), a double click on the icon brings it back, and a right click shows
// the tray menu's first sub-menu, whose commands come to this window as WM_COMMAND. The icon is removed when
// the window is destroyed. Derived dialogs set the icon, the tooltip and the menu, and may override the
// OnTray* operations.

#include "win/base/Dialog.h"
#include "win/base/Handles.h"
#include "win/base/Messages.h"

#include <shellapi.h>

#include <string_view>

namespace dravel::win {

class CTrayIconDialog : public CDialog {
public:
    explicit CTrayIconDialog(UINT templateId, HINSTANCE module = nullptr) noexcept;
    explicit CTrayIconDialog(const DLGTEMPLATE* pTemplate) noexcept;
    ~CTrayIconDialog() override;

    // The icon reaches the notification area with the next add or modify. The resource forms do nothing if
    // the icon cannot be loaded; the handle form does not take ownership.
    void SetTrayIcon(HICON icon) noexcept;
    void SetTrayIcon(UINT iconId, HINSTANCE module = nullptr) noexcept;
    void SetTrayIcon(const wchar_t* iconName, HINSTANCE module = nullptr) noexcept;
    // At most the first 63 bytes of the text as code page 949 (never half a character).
    void SetTrayTooltip(std::string_view text949);
    void SetTrayTooltip(std::wstring_view text);

    // True if the icon was added now (false if it was shown already or the add failed).
    bool ShowTrayIcon();
    // True if the icon was removed now.
    bool HideTrayIcon();
    // Sends the changed icon and tooltip to the notification area; false if the icon is not shown.
    bool UpdateTrayIcon();
    bool IsTrayIconShown() const noexcept { return m_bIconShown; }

    // The resource forms leave the previous menu in place if the menu cannot be loaded; the handle form takes
    // ownership of the menu.
    bool SetTrayMenu(UINT menuId, HINSTANCE module = nullptr);
    bool SetTrayMenu(const wchar_t* menuName, HINSTANCE module = nullptr);
    void SetTrayMenu(HMENU menu) noexcept;
    // Position, in the tray menu's first sub-menu, of the item shown as default (bold).
    void SetTrayMenuDefaultItem(UINT position) noexcept { m_nDefaultItem = position; }

    void SetMinimiseToTray(bool bMinimise) noexcept { m_bMinimiseToTray = bMinimise; }

    const NOTIFYICONDATAW& GetTrayRecord() const noexcept { return m_nid; }

protected:
    LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;

    // Called from the tray callback with the cursor position in screen coordinates.
    virtual void OnTrayLeftPress(POINT pt);
    virtual void OnTrayLeftDoubleClick(POINT pt);
    virtual void OnTrayRightPress(POINT pt);
    virtual void OnTrayRightDoubleClick(POINT pt);
    virtual void OnTrayPointerMove(POINT pt);

private:
    void InitRecord() noexcept;
    void OnTrayCallback(WPARAM iconId, LPARAM mouseMessage);

    bool m_bMinimiseToTray = true;
    bool m_bIconShown = false;
    NOTIFYICONDATAW m_nid{};
    CMenuHandle m_menu;
    UINT m_nDefaultItem = 0;
};

} // namespace dravel::win
