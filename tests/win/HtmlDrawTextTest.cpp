// The HTML renderer on a real device context: colours and weights reach the pixels, and the
// context comes back exactly as it was given.

#include "win/ui/HtmlDrawText.h"
#include "win/ui/GdiTextSurface.h"

#include "support/Pixels.h"

#include <gtest/gtest.h>

#include <string>

using namespace dravel::win;
using namespace dravel::win::test;

namespace {

CFontHandle MakeFont(int height, const wchar_t* face = L"\uB3CB\uC6C0") {
    LOGFONTW lf{};
    lf.lfHeight = height;
    lf.lfWeight = FW_NORMAL;
    wcscpy_s(lf.lfFaceName, face);
    return CFontHandle(::CreateFontIndirectW(&lf));
}

int Draw(HDC hdc, const std::string& text, RECT rect, UINT format = DT_WORDBREAK) {
    return HtmlDrawText(hdc, text.c_str(), -1, &rect, format);
}

RECT Measure(HDC hdc, const std::string& text, int width = 400) {
    RECT rc{0, 0, width, 100};
    HtmlDrawText(hdc, text.c_str(), -1, &rc, DT_CALCRECT | DT_WORDBREAK);
    return rc;
}

TEST(HtmlDrawTextGdi, AFontColourReachesThePixelsAndEndsWithItsTag) {
    CPixels canvas(300, 40, RGB(255, 255, 255));
    CFontHandle font = MakeFont(-20);
    CSelectObjectGuard select(canvas.Dc(), font.Get());
    const int split = Measure(canvas.Dc(), "<font color=#ff0000>WWW</font>").right;
    ASSERT_GT(split, 10);
    Draw(canvas.Dc(), "<font color=#ff0000>WWW</font>WWW", {0, 0, 300, 40});
    EXPECT_GT(canvas.CountIf({0, 0, split, 40}, test::IsReddish), 20);
    EXPECT_EQ(canvas.CountIf({split + 1, 0, 300, 40}, test::IsReddish), 0);
    EXPECT_GT(canvas.CountIf({split + 1, 0, 300, 40}, test::IsDark), 20);
}

TEST(HtmlDrawTextGdi, BoldIsWiderAndSmallTextIsShorter) {
    CPixels canvas(10, 10, RGB(255, 255, 255));
    // DejaVu's bold face has wider glyphs (the Korean substitute's bold keeps the same advances).
    CFontHandle font = MakeFont(-24, L"DejaVu Sans");
    CSelectObjectGuard select(canvas.Dc(), font.Get());
    const RECT plain = Measure(canvas.Dc(), "Wide words and more words");
    const RECT bold = Measure(canvas.Dc(), "<b>Wide words and more words</b>");
    EXPECT_GT(bold.right, plain.right);
    const RECT sub = Measure(canvas.Dc(), "<sub>Wide words and more words</sub>");
    EXPECT_LT(sub.right, plain.right);
    // Two lines of a 949 Korean text: the height of one line is the height of the glyph plus 3.
    SIZE glyph{};
    ::GetTextExtentPoint32W(canvas.Dc(), L"\uD0C0", 1, &glyph); // C5 79 in 949
    RECT two{0, 0, 400, 100};
    const int offset = HtmlDrawText(canvas.Dc(), "\xB0\xA1<br>\xB3\xAA", -1, &two, DT_CALCRECT);
    EXPECT_EQ(offset, glyph.cy + 3);
    EXPECT_EQ(two.bottom, 2 * (glyph.cy + 3));
}

TEST(HtmlDrawTextGdi, TheContextsFontColoursAndModeAreRestored) {
    CPixels canvas(200, 60, RGB(255, 255, 255));
    CFontHandle font = MakeFont(-12);
    CSelectObjectGuard select(canvas.Dc(), font.Get());
    const HDC dc = canvas.Dc();
    ::SetTextColor(dc, RGB(1, 2, 3));
    ::SetBkColor(dc, RGB(4, 5, 6));
    ::SetBkMode(dc, TRANSPARENT);
    ::MoveToEx(dc, 7, 8, nullptr);
    Draw(dc, "<b><i><u>a b</u></i></b> <sup>c</sup><sub>d</sub> <font color=#00ff00>e <font color=#ff0000>f",
         {0, 0, 200, 60});
    EXPECT_EQ(::GetCurrentObject(dc, OBJ_FONT), font.Get());
    EXPECT_EQ(::GetTextColor(dc), RGB(1, 2, 3));
    EXPECT_EQ(::GetBkColor(dc), RGB(4, 5, 6));
    EXPECT_EQ(::GetBkMode(dc), TRANSPARENT);
    POINT pt{};
    ::GetCurrentPositionEx(dc, &pt);
    EXPECT_EQ(pt.x, 7);
    EXPECT_EQ(pt.y, 8);
    // The derived fonts are gone: a fresh call creates and deletes as many again, so the process's
    // count of GDI objects does not creep up.
    const DWORD before = ::GetGuiResources(::GetCurrentProcess(), GR_GDIOBJECTS);
    for (int i = 0; i < 50; ++i)
        Draw(dc, "<b>a</b><i>b</i><u>c</u><sub>d</sub>", {0, 0, 200, 60});
    EXPECT_LE(::GetGuiResources(::GetCurrentProcess(), GR_GDIOBJECTS), before);
}

TEST(HtmlDrawTextGdi, StyledFontsKeepTheFaceAndScaleTheHeight) {
    CFontHandle base = MakeFont(-12);
    const CFontHandle small = CreateStyledFont(base.Get(), dravel::kStyleSubscript | dravel::kStyleBold);
    LOGFONTW lf{};
    ASSERT_NE(::GetObjectW(small.Get(), sizeof(lf), &lf), 0);
    EXPECT_EQ(lf.lfHeight, -8);
    EXPECT_EQ(lf.lfWeight, 700);
    EXPECT_EQ(std::wstring(lf.lfFaceName), L"\uB3CB\uC6C0");
    EXPECT_EQ(CreateStyledFont(nullptr, 1).Get(), nullptr);
    // No surface or no text: nothing happens.
    RECT rc{0, 0, 10, 10};
    EXPECT_EQ(HtmlDrawText(nullptr, "a<br>b", -1, &rc, 0), 0);
}

} // namespace
