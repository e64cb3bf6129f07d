// The program's icon with its count badge and quiet sign, drawn as the shell draws it, and the taskbar
// button's overlay.

#include "win/ui/BadgeIcon.h"
#include "win/ui/TaskbarButton.h"

#include "win/res/resource.h"
#include "core/ui/BadgeLayout.h"

#include "support/Pixels.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>

using namespace dravel;
using namespace dravel::win;
using namespace dravel::win::test;

namespace {

std::unique_ptr<CPixels> Drawn(HICON icon, int size) {
    auto pixels = std::make_unique<CPixels>(size, size, RGB(255, 255, 255));
    ::DrawIconEx(pixels->Dc(), 0, 0, icon, size, size, 0, nullptr, DI_NORMAL);
    return pixels;
}

RECT ToRect(const LayoutRect& r, int grow = 0) {
    return {r.left - grow, r.top - grow, r.right + grow, r.bottom + grow};
}
int Area(const RECT& rc) {
    return (rc.right - rc.left) * (rc.bottom - rc.top);
}

// Pixels of rc, outside skip1 and skip2, that differ between a and b by more than rounding.
int Changed(const CPixels& a, const CPixels& b, const RECT& rc, const RECT& skip1 = {}, const RECT& skip2 = {}) {
    auto same = [](COLORREF p, COLORREF q) {
        return std::abs(GetRValue(p) - GetRValue(q)) <= 4 && std::abs(GetGValue(p) - GetGValue(q)) <= 4 &&
               std::abs(GetBValue(p) - GetBValue(q)) <= 4;
    };
    int n = 0;
    for (LONG y = rc.top; y < rc.bottom; ++y)
        for (LONG x = rc.left; x < rc.right; ++x)
            n += !::PtInRect(&skip1, {x, y}) && !::PtInRect(&skip2, {x, y}) && !same(a.At(x, y), b.At(x, y));
    return n;
}

TEST(AttentionIcon, BadgeSignAndOverlayShowOnlyWithTheirState) {
    for (int size : {16, 32}) {
        const CIconHandle base(static_cast<HICON>(
            ::LoadImageW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDR_MAINFRAME), IMAGE_ICON, size, size, 0)));
        ASSERT_TRUE(base);
        const auto plain = Drawn(base.Get(), size);
        const RECT sign = ToRect(LayOutQuietSign(size).circle);
        for (int count : {0, 1, 100}) {
            for (bool bQuiet : {false, true}) {
                SCOPED_TRACE(testing::Message() << size << " px, count " << count << (bQuiet ? ", quiet" : ""));
                const CIconHandle icon = MakeAttentionIcon(base.Get(), size, count, bQuiet);
                ASSERT_TRUE(icon);
                const auto shown = Drawn(icon.Get(), size);
                const RECT pill = ToRect(LayOutCountBadge(size, count).pill);
                EXPECT_GE(shown->CountIf(pill, IsReddish) * 2, Area(pill));
                EXPECT_GE(Changed(*shown, *plain, sign) * 2, bQuiet ? Area(sign) : 0);
                // Everything else, the base's transparent corners among it, is the base as it was.
                const RECT all{0, 0, size, size};
                EXPECT_EQ(Changed(*shown, *plain, all,
                                  count > 0 ? ToRect(LayOutCountBadge(size, count).pill, 1) : RECT{},
                                  bQuiet ? ToRect(LayOutQuietSign(size).circle, 1) : RECT{}),
                          0);
            }
        }
        // The overlay: the badge alone, round (its corners clear), and nothing without a count.
        const CIconHandle overlay = MakeCountOverlay(7, size);
        ASSERT_TRUE(overlay);
        const auto badge = Drawn(overlay.Get(), size);
        EXPECT_TRUE(IsReddish(badge->At(size / 2, size / 5)));
        EXPECT_EQ(badge->At(0, 0), RGB(255, 255, 255));
        EXPECT_FALSE(MakeCountOverlay(0, size));
    }
}

// Wine's taskbar list takes the overlay and shows nothing; where there is none the calls fail quietly.
TEST(TaskbarButton, OverlayIsSetAndClearedOrRefusedQuietly) {
    EXPECT_EQ(CTaskbarButton::CreatedMessage(), ::RegisterWindowMessageW(L"TaskbarButtonCreated"));
    ::CoInitialize(nullptr);
    const CWindowHandle window(::CreateWindowExW(0, L"STATIC", L"Badge", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 200,
                                                 100, nullptr, nullptr, nullptr, nullptr));
    CTaskbarButton button;
    const CIconHandle overlay = MakeCountOverlay(3, 16);
    const bool bShown = button.SetOverlay(window.Get(), overlay.Get(), L"3 unread messages");
    EXPECT_EQ(button.SetOverlay(window.Get(), nullptr, L""), bShown);
    button.OnButtonCreated();
    EXPECT_EQ(button.SetOverlay(window.Get(), overlay.Get(), L"3 unread messages"), bShown);
    EXPECT_FALSE(button.SetOverlay(nullptr, overlay.Get(), L"no window"));
    ::CoUninitialize();
}

} // namespace
