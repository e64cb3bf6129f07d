// The tray icon in each state it shows, put on screen for review at the display's scaling, not checked here:
// on a dark and a light taskbar, at its own size and enlarged three times, and the taskbar button's overlay.
// run_showcase_screenshots.py runs this (disabled by default) test and photographs the window when told "ready".

#include "win/ui/BadgeIcon.h"
#include "win/ui/Dpi.h"

#include "win/res/resource.h"

#include "support/Pixels.h"
#include "support/Screen.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

using namespace dravel;
using namespace dravel::win;
using namespace dravel::win::test;

namespace {

const CPixels* g_picture = nullptr;

LRESULT CALLBACK ShowPicture(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg != WM_PAINT || g_picture == nullptr)
        return ::DefWindowProcW(hwnd, msg, wParam, lParam);
    CPaintDc dc(hwnd);
    ::BitBlt(dc.Get(), 0, 0, g_picture->Width(), g_picture->Height(), g_picture->Dc(), 0, 0, SRCCOPY);
    return 0;
}

CIconHandle LoadIconAt(int size) {
    return CIconHandle(static_cast<HICON>(
        ::LoadImageW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDR_MAINFRAME), IMAGE_ICON, size, size, 0)));
}

// The icon at its size on a dark and on a light strip, each beside its pixels three times larger.
void DrawColumn(HDC dc, int x, int y, int s, HICON icon, int iconSize) {
    const COLORREF strips[] = {RGB(32, 32, 36), RGB(238, 238, 238)};
    for (COLORREF strip : strips) {
        CPixels cell(2 * s, 2 * s, strip);
        ::DrawIconEx(cell.Dc(), (2 * s - iconSize) / 2, (2 * s - iconSize) / 2, icon, iconSize, iconSize, 0, nullptr,
                     DI_NORMAL);
        ::BitBlt(dc, x, y + 2 * s, 2 * s, 2 * s, cell.Dc(), 0, 0, SRCCOPY);
        ::SetStretchBltMode(dc, COLORONCOLOR);
        ::StretchBlt(dc, x + 3 * s, y, 6 * s, 6 * s, cell.Dc(), 0, 0, 2 * s, 2 * s, SRCCOPY);
        y += 7 * s;
    }
}

TEST(TrayBadgeShowcase, DISABLED_ShowForScreenshots) {
    const wchar_t* dirEnv = _wgetenv(L"DRAVELON_SHOWCASE_DIR");
    ASSERT_NE(dirEnv, nullptr);
    const int dpi = ScreenDpi();
    const int s = ScaleForDpi(16, dpi); // the tray's icons
    const int column = 10 * s;
    struct State {
        const wchar_t* label;
        int count;
        bool bQuiet;
    } states[] = {{L"no messages", 0, false},  {L"3 unread", 3, false},      {L"42 unread", 42, false},
                  {L"120 unread", 120, false}, {L"do not disturb", 0, true}, {L"quiet, 5 unread", 5, true}};
    CPixels picture(column * 7, 16 * s, RGB(255, 255, 255));
    const CFontHandle font = CreatePointFont(L"Tahoma", 90, dpi);
    const CSelectObjectGuard selected(picture.Dc(), font.Get());
    ::SetBkMode(picture.Dc(), TRANSPARENT);
    const CIconHandle base = LoadIconAt(s);
    ASSERT_TRUE(base);
    int x = s / 2;
    auto label = [&](const wchar_t* text) {
        RECT rc{x, s / 4, x + column - s / 2, 2 * s};
        ::DrawTextW(picture.Dc(), text, -1, &rc, DT_SINGLELINE | DT_NOPREFIX);
    };
    for (const State& state : states) {
        label(state.label);
        const CIconHandle icon = MakeAttentionIcon(base.Get(), s, state.count, state.bQuiet);
        ASSERT_TRUE(icon);
        DrawColumn(picture.Dc(), x, 2 * s, s, icon.Get(), s);
        x += column;
    }
    // The taskbar button: the program's large icon with the count's overlay in its lower right corner.
    label(L"taskbar, 3");
    const CIconHandle large = LoadIconAt(2 * s);
    const CIconHandle overlay = MakeCountOverlay(3, s);
    ASSERT_TRUE(large && overlay);
    CPixels button(2 * s, 2 * s, RGB(60, 60, 66));
    ::DrawIconEx(button.Dc(), 0, 0, large.Get(), 2 * s, 2 * s, 0, nullptr, DI_NORMAL);
    ::DrawIconEx(button.Dc(), s, s, overlay.Get(), s, s, 0, nullptr, DI_NORMAL);
    ::BitBlt(picture.Dc(), x, 4 * s, 2 * s, 2 * s, button.Dc(), 0, 0, SRCCOPY);
    ::StretchBlt(picture.Dc(), x + 3 * s, 2 * s, 6 * s, 6 * s, button.Dc(), 0, 0, 2 * s, 2 * s, SRCCOPY);

    WNDCLASSW wc{};
    wc.lpfnWndProc = ShowPicture;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.lpszClassName = L"TrayBadgeShowcase";
    ::RegisterClassW(&wc);
    g_picture = &picture;
    const CWindowHandle window(::CreateWindowExW(WS_EX_TOPMOST, wc.lpszClassName, L"", WS_POPUP | WS_VISIBLE, 0, 0,
                                                 picture.Width(), picture.Height(), nullptr, nullptr, wc.hInstance,
                                                 nullptr));
    ASSERT_TRUE(window);
    EXPECT_TRUE(AwaitPicture(dirEnv, 1, window.Get()));
    g_picture = nullptr;
}

} // namespace
