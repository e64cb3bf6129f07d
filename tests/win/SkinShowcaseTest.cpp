// Windows put on screen for review, not checked here: a skinned dialog with a colour key over a
// striped backdrop, and a row of skinned buttons in every state the program shows. run_showcase_screenshots.py runs
// this (disabled by default) test, photographs the display when told "ready" and answers "done".

#include "win/ui/SkinButton.h"
#include "win/ui/SkinDialog.h"
#include "win/ui/ThemedSkinButton.h"

#include "win/res/resource.h"

#include "support/DialogTemplate.h"
#include "support/Pixels.h"
#include "support/Screen.h"
#include "support/Wait.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

using namespace dravel;
using namespace dravel::win;
using namespace dravel::win::test;

namespace {

std::wstring ShowcaseDir() {
    const wchar_t* dir = _wgetenv(L"DRAVELON_SHOWCASE_DIR");
    return dir != nullptr ? dir : L"";
}

HBITMAP Stripes() {
    const HDC screen = ::GetDC(nullptr);
    const HBITMAP bitmap = ::CreateCompatibleBitmap(screen, 40, 40);
    const HDC mem = ::CreateCompatibleDC(screen);
    ::ReleaseDC(nullptr, screen);
    const HGDIOBJ old = ::SelectObject(mem, bitmap);
    for (int i = 0; i < 4; ++i) {
        const RECT rc{0, i * 10, 40, i * 10 + 10};
        const HBRUSH brush = ::CreateSolidBrush(i % 2 ? RGB(250, 200, 60) : RGB(60, 90, 200));
        ::FillRect(mem, &rc, brush);
        ::DeleteObject(brush);
    }
    ::SelectObject(mem, old);
    ::DeleteDC(mem);
    return bitmap;
}

TEST(SkinShowcase, DISABLED_ShowForScreenshots) {
    const std::wstring dir = ShowcaseDir();
    if (dir.empty())
        GTEST_SKIP() << "DRAVELON_SHOWCASE_DIR not set";

    // 1: the login skin, fitted and keyed on pure green, over a striped backdrop: the rounded corners
    // must show the stripes.
    CTemplate backTmpl(WS_POPUP, L"Backdrop", 100, 100);
    CSkinDialog backdrop(backTmpl.Get());
    ASSERT_TRUE(backdrop.Create());
    backdrop.SetBitmap(Stripes());
    backdrop.SetBackgroundMode(kSkinTile);
    ::SetWindowPos(backdrop.GetHwnd(), HWND_TOP, 0, 0, 460, 380, SWP_SHOWWINDOW);

    CTemplate skinTmpl(WS_POPUP, L"Skin", 100, 100);
    CSkinDialog skin(skinTmpl.Get());
    ASSERT_TRUE(skin.Create());
    ::SetWindowPos(skin.GetHwnd(), HWND_TOP, 100, 50, 10, 10, SWP_SHOWWINDOW);
    ASSERT_TRUE(skin.SetBitmap(static_cast<UINT>(IDB_LOGIN_SKIN)));
    skin.SetBackgroundMode(kSkinFitWindow);
    ASSERT_TRUE(skin.SetColourKey(RGB(0, 255, 0)));
    ::SetWindowPos(skin.GetHwnd(), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW);
    ASSERT_TRUE(AwaitPicture(dir, 1));
    skin.DestroyWindow();
    backdrop.DestroyWindow();

    // 2: a row of buttons, one per state, each with its name below.
    CTemplate rowTmpl(WS_POPUP | WS_BORDER, L"Buttons", 100, 100);
    CDialog row(rowTmpl.Get());
    ASSERT_TRUE(row.Create());
    ::SetWindowPos(row.GetHwnd(), HWND_TOP, 0, 0, 1020, 150, SWP_SHOWWINDOW);
    ::SetForegroundWindow(row.GetHwnd());
    struct Item {
        const wchar_t* label;
        std::unique_ptr<CSkinButton> button;
    };
    std::vector<Item> items;
    auto add = [&](const wchar_t* label, const wchar_t* caption, DWORD style, bool bThemed = false) -> CSkinButton& {
        const int i = static_cast<int>(items.size());
        auto button = bThemed ? std::unique_ptr<CSkinButton>(new CThemedSkinButton) : std::make_unique<CSkinButton>();
        const RECT rc{6 + i * 84, 10, 84 + i * 84, 70};
        const HWND hwnd = ::CreateWindowExW(0, L"BUTTON", caption, WS_CHILD | WS_VISIBLE | WS_TABSTOP | style, rc.left,
                                            rc.top, rc.right - rc.left, rc.bottom - rc.top, row.GetHwnd(),
                                            reinterpret_cast<HMENU>(static_cast<INT_PTR>(100 + i)), nullptr, nullptr);
        ::SendMessageW(hwnd, WM_SETFONT, ::SendMessageW(row.GetHwnd(), WM_GETFONT, 0, 0), FALSE);
        EXPECT_TRUE(button->AttachDlgItem(row.GetHwnd(), 100 + i));
        button->SetStateColour(BK_ACTIVE, RGB(255, 255, 255));
        button->SetStateColour(FG_ACTIVE, RGB(0, 80, 200));
        const HWND text = ::CreateWindowExW(0, L"STATIC", label, WS_CHILD | WS_VISIBLE | SS_CENTER, rc.left - 3, 80, 84,
                                            60, row.GetHwnd(), nullptr, nullptr, nullptr);
        ::SendMessageW(text, WM_SETFONT, ::SendMessageW(row.GetHwnd(), WM_GETFONT, 0, 0), FALSE);
        items.push_back({label, std::move(button)});
        return *items.back().button;
    };
    add(L"idle", L"Send", BS_PUSHBUTTON).SetButtonIcons(IDI_CLOSE_ACTIVE, IDI_CLOSE_IDLE);
    CSkinButton& hovered = add(L"hovered", L"Send", BS_PUSHBUTTON);
    hovered.SetButtonIcons(IDI_CLOSE_ACTIVE, IDI_CLOSE_IDLE);
    CSkinButton& pressed = add(L"pressed", L"Send", BS_PUSHBUTTON);
    pressed.SetButtonIcons(IDI_CLOSE_ACTIVE, IDI_CLOSE_IDLE);
    CSkinButton& focused = add(L"focused", L"Send", BS_PUSHBUTTON);
    focused.SetStateColour(BK_FOCUSED, RGB(220, 235, 250));
    CSkinButton& disabled = add(L"disabled", L"Send", BS_PUSHBUTTON);
    disabled.SetButtonIcons(IDI_ATTACH);
    add(L"default", L"Default", BS_DEFPUSHBUTTON);
    CSkinButton& iconOnly = add(L"icon only", L"", BS_PUSHBUTTON);
    iconOnly.SetButtonIcons(IDI_ATTACH);
    iconOnly.SetTipText(L"tip");
    CVisualStyle style;
    auto& themed = static_cast<CThemedSkinButton&>(add(L"themed", L"Themed", BS_PUSHBUTTON, true));
    themed.SetVisualStyle(&style);

    ::EnableWindow(disabled.GetHwnd(), FALSE);
    pressed.SendMessage(BM_SETSTATE, TRUE);
    ::SetFocus(focused.GetHwnd());
    const RECT rc = hovered.GetWindowRect();
    ::SetCursorPos((rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2);
    PumpFor(100);
    hovered.SendMessage(WM_MOUSEMOVE, 0, MAKELPARAM(5, 5));
    // Hovered: lit with BK_ACTIVE beside its icon and caption.
    CPixels lit(78, 60);
    PrintClient(hovered.GetHwnd(), lit);
    EXPECT_EQ(lit.At(2, 2), RGB(255, 255, 255));
    ASSERT_TRUE(AwaitPicture(dir, 2));
}

} // namespace
