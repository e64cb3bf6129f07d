// The tray dialog with the program's main window template, icon and tray menu.

#include "win/ui/TrayIconDialog.h"
#include "win/res/resource.h"

#include "support/Screen.h"
#include "support/Wait.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace dravel::win;
using namespace dravel::win::test;

namespace {

class CTestTrayDialog : public CTrayIconDialog {
public:
    CTestTrayDialog() : CTrayIconDialog(IDD_MAIN) {}
    std::vector<int> commands;

protected:
    BOOL OnInitDialog() override {
        SetTrayIcon(IDR_MAINFRAME);
        SetTrayTooltip("Dravel On");
        SetTrayMenu(IDR_TRAY_MENU);
        return CTrayIconDialog::OnInitDialog();
    }
    bool OnCommand(int id, int code, HWND hwndCtl) override {
        if (id >= ID_TRAY_EXIT && id <= ID_TRAY_PROPERTIES) {
            commands.push_back(id);
            return true;
        }
        return CTrayIconDialog::OnCommand(id, code, hwndCtl);
    }
};

// Whether the notification area knows the dialog's icon: modifying an icon that is not there fails.
bool IconExists(const CTrayIconDialog& dialog) {
    NOTIFYICONDATAW nid = dialog.GetTrayRecord();
    return ::Shell_NotifyIconW(NIM_MODIFY, &nid) != FALSE;
}

void TrayCallback(const CTrayIconDialog& dialog, WPARAM iconId, UINT mouseMessage) {
    ::SendMessageW(dialog.GetHwnd(), kTrayCallbackMessage, iconId, mouseMessage);
}

class TrayIconDialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dialog.Create());
        ::ShowWindow(dialog.GetHwnd(), SW_SHOW);
        ASSERT_TRUE(PumpUntil([&] { return NothingToPaint(dialog.GetHwnd()); })) << "the dialog was not painted";
    }

    CTestTrayDialog dialog;
};

TEST_F(TrayIconDialogTest, MinimiseHidesIntoTheTrayAndADoubleClickRestores) {
    const NOTIFYICONDATAW& record = dialog.GetTrayRecord();
    EXPECT_EQ(record.hWnd, dialog.GetHwnd());
    EXPECT_EQ(record.uID, 1u);
    EXPECT_EQ(record.uCallbackMessage, static_cast<UINT>(WM_USER + 3));
    EXPECT_EQ(record.uFlags, static_cast<UINT>(NIF_MESSAGE | NIF_ICON | NIF_TIP));
    EXPECT_STREQ(record.szTip, L"Dravel On");
    EXPECT_FALSE(dialog.IsTrayIconShown());

    ::SendMessageW(dialog.GetHwnd(), WM_SYSCOMMAND, SC_MINIMIZE, 0);
    EXPECT_FALSE(::IsWindowVisible(dialog.GetHwnd()));
    EXPECT_FALSE(::IsIconic(dialog.GetHwnd()));
    EXPECT_TRUE(dialog.IsTrayIconShown());
    EXPECT_TRUE(IconExists(dialog));

    // Callbacks of another icon are ignored.
    TrayCallback(dialog, 2, WM_LBUTTONDBLCLK);
    EXPECT_FALSE(::IsWindowVisible(dialog.GetHwnd()));
    EXPECT_TRUE(dialog.IsTrayIconShown());

    TrayCallback(dialog, 1, WM_LBUTTONDBLCLK);
    EXPECT_TRUE(::IsWindowVisible(dialog.GetHwnd()));
    EXPECT_FALSE(dialog.IsTrayIconShown());
    EXPECT_FALSE(IconExists(dialog));

    // A minimise request while the icon is shown adds nothing and does not hide the window again.
    EXPECT_TRUE(dialog.ShowTrayIcon());
    ::SendMessageW(dialog.GetHwnd(), WM_SYSCOMMAND, SC_MINIMIZE, 0);
    EXPECT_TRUE(::IsWindowVisible(dialog.GetHwnd()));
    EXPECT_TRUE(dialog.IsTrayIconShown());
    EXPECT_TRUE(dialog.HideTrayIcon());
    EXPECT_FALSE(dialog.HideTrayIcon());
}

TEST_F(TrayIconDialogTest, WithoutMinimiseToTrayTheWindowMinimisesAndDoubleClicksDoNothing) {
    dialog.SetMinimiseToTray(false);
    ::SendMessageW(dialog.GetHwnd(), WM_SYSCOMMAND, SC_MINIMIZE, 0);
    EXPECT_TRUE(::IsIconic(dialog.GetHwnd()));
    EXPECT_FALSE(dialog.IsTrayIconShown());

    ASSERT_TRUE(dialog.ShowTrayIcon());
    TrayCallback(dialog, 1, WM_LBUTTONDBLCLK);
    EXPECT_TRUE(dialog.IsTrayIconShown());
    EXPECT_TRUE(IconExists(dialog));
}

TEST_F(TrayIconDialogTest, TooltipKeepsItsFirst63BytesAndReachesTheIcon) {
    ASSERT_TRUE(dialog.ShowTrayIcon());
    dialog.SetTrayTooltip(std::string(80, 'x'));
    EXPECT_EQ(std::wstring(dialog.GetTrayRecord().szTip), std::wstring(63, L'x'));
    EXPECT_TRUE(dialog.UpdateTrayIcon());
    // Korean: 31 two-byte characters fit, the 32nd would need byte 64.
    dialog.SetTrayTooltip(std::wstring(40, L'\uCABD'));
    EXPECT_EQ(std::wstring(dialog.GetTrayRecord().szTip), std::wstring(31, L'\uCABD'));
}

TEST_F(TrayIconDialogTest, DestroyingTheWindowRemovesTheIcon) {
    ::SendMessageW(dialog.GetHwnd(), WM_SYSCOMMAND, SC_MINIMIZE, 0);
    ASSERT_TRUE(dialog.IsTrayIconShown());
    NOTIFYICONDATAW nid = dialog.GetTrayRecord();
    dialog.DestroyWindow();
    EXPECT_FALSE(dialog.IsTrayIconShown());
    EXPECT_FALSE(::Shell_NotifyIconW(NIM_MODIFY, &nid));
}

// What the timer saw of the tray menu while it was open.
struct MenuSeen {
    bool bOpen = false;
    UINT defaultItem = static_cast<UINT>(-1);
    UINT firstId = 0;
    std::wstring firstText;
    bool bFirstMarkedDefault = false;
    bool bScreenshot = false;
    wchar_t mnemonic = 0; // 0: close the menu without a choice
};
MenuSeen g_seen;

// Runs inside the menu's own message loop: reads the open menu, then closes it with a key.
void CALLBACK InspectMenu(HWND, UINT, UINT_PTR id, DWORD) {
    const HWND menuWindow = ::FindWindowW(L"#32768", nullptr);
    if (menuWindow == nullptr || !::IsWindowVisible(menuWindow))
        return;
    ::KillTimer(nullptr, id);
    const auto menu = reinterpret_cast<HMENU>(::SendMessageW(menuWindow, MN_GETHMENU, 0, 0));
    g_seen.bOpen = true;
    if (menu != nullptr) {
        g_seen.defaultItem = ::GetMenuDefaultItem(menu, TRUE, 0);
        g_seen.firstId = ::GetMenuItemID(menu, 0);
        wchar_t text[64] = {};
        ::GetMenuStringW(menu, 0, text, 64, MF_BYPOSITION);
        g_seen.firstText = text;
        MENUITEMINFOW info{};
        info.cbSize = sizeof(info);
        info.fMask = MIIM_STATE;
        ::GetMenuItemInfoW(menu, 0, TRUE, &info);
        g_seen.bFirstMarkedDefault = (info.fState & MFS_DEFAULT) != 0;
    }
    if (g_seen.bScreenshot)
        SaveScreenPng(L"tray_menu.png");
    if (g_seen.mnemonic != 0) {
        ::PostMessageW(menuWindow, WM_CHAR, g_seen.mnemonic, 0);
    } else {
        ::EndMenu();
    }
}

TEST_F(TrayIconDialogTest, RightClickShowsTheTrayMenuWithExitAsDefault) {
    ::SendMessageW(dialog.GetHwnd(), WM_SYSCOMMAND, SC_MINIMIZE, 0);
    ::SetCursorPos(900, 600);

    g_seen = MenuSeen{};
    g_seen.bScreenshot = true;
    const UINT_PTR timer = ::SetTimer(nullptr, 0, 100, InspectMenu);
    const DWORD started = ::GetTickCount();
    TrayCallback(dialog, 1, WM_RBUTTONDOWN); // returns when the menu closes
    ::KillTimer(nullptr, timer);
    EXPECT_LT(::GetTickCount() - started, 5000u);
    ASSERT_TRUE(g_seen.bOpen) << "the tray menu did not open";
    EXPECT_EQ(g_seen.defaultItem, 0u);
    EXPECT_TRUE(g_seen.bFirstMarkedDefault);
    EXPECT_EQ(g_seen.firstId, static_cast<UINT>(ID_TRAY_EXIT));
    EXPECT_EQ(g_seen.firstText, L"종료(&X)");
    PumpFor(50); // the wait is the check: a menu closed without a choice sends no command
    EXPECT_TRUE(dialog.commands.empty());

    // The context-menu request opens it too, and the chosen command comes to the dialog.
    g_seen = MenuSeen{};
    g_seen.mnemonic = L'x';
    const UINT_PTR again = ::SetTimer(nullptr, 0, 100, InspectMenu);
    TrayCallback(dialog, 1, WM_CONTEXTMENU);
    ::KillTimer(nullptr, again);
    ASSERT_TRUE(g_seen.bOpen);
    EXPECT_EQ(g_seen.defaultItem, 0u);
    ASSERT_TRUE(PumpUntil([&] { return !dialog.commands.empty(); }, 2000));
    EXPECT_EQ(dialog.commands, std::vector<int>{ID_TRAY_EXIT});

    // Another icon's right click opens nothing.
    g_seen = MenuSeen{};
    const UINT_PTR guard = ::SetTimer(nullptr, 0, 100, InspectMenu);
    TrayCallback(dialog, 2, WM_RBUTTONDOWN);
    ::KillTimer(nullptr, guard);
    EXPECT_FALSE(g_seen.bOpen);
}

} // namespace
