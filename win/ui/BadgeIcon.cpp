#include "win/ui/BadgeIcon.h"

#include "win/ui/GdiHelpers.h"
#include "core/ui/BadgeLayout.h"

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

namespace dravel::win {

namespace {

constexpr COLORREF kBadgeRed = RGB(220, 40, 40);
constexpr COLORREF kQuietGrey = RGB(112, 112, 112);
constexpr COLORREF kWhite = RGB(255, 255, 255);
// The signs are drawn at four times the size over a colour they never use, then averaged down: smooth edges.
constexpr int kFine = 4;
constexpr DWORD kEmpty = 0x00FF00FF;

// A top-down 32-bit DIB section selected into a memory DC; its pixels are 0x00RRGGBB as GDI leaves them.
struct CDib {
    explicit CDib(int side) : side(side) {
        BITMAPINFO bi{};
        bi.bmiHeader = {sizeof(BITMAPINFOHEADER), side, -side, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
        void* p = nullptr;
        bitmap.Reset(::CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &p, nullptr, 0));
        dc.Reset(::CreateCompatibleDC(nullptr));
        if (bitmap && dc) {
            bits = static_cast<DWORD*>(p);
            selection.emplace(dc.Get(), bitmap.Get());
        }
    }
    void Fill(DWORD value) { std::fill(bits, bits + side * side, value); }
    int side;
    CBitmapHandle bitmap;
    CDcHandle dc;
    std::optional<CSelectObjectGuard> selection;
    DWORD* bits = nullptr;
};

int Channel(DWORD px, int shift) {
    return static_cast<int>((px >> shift) & 0xFF);
}

// The base's pixels with straight alpha (0xAARRGGBB): drawn once on black and once on white, the difference
// of the two is what shows through, which holds for icons with an alpha channel and with a mask alike.
std::vector<DWORD> BasePixels(HICON base, int side) {
    std::vector<DWORD> out(static_cast<size_t>(side) * side, 0);
    CDib black(side), white(side);
    if (base == nullptr || !black.bits || !white.bits)
        return out;
    black.Fill(0);
    white.Fill(0x00FFFFFF);
    ::GdiFlush();
    ::DrawIconEx(black.dc.Get(), 0, 0, base, side, side, 0, nullptr, DI_NORMAL);
    ::DrawIconEx(white.dc.Get(), 0, 0, base, side, side, 0, nullptr, DI_NORMAL);
    ::GdiFlush();
    for (size_t i = 0; i < out.size(); ++i) {
        int through = 0;
        for (int s : {0, 8, 16})
            through += Channel(white.bits[i], s) - Channel(black.bits[i], s);
        const int a = std::clamp(255 - through / 3, 0, 255);
        DWORD px = static_cast<DWORD>(a) << 24;
        for (int s : {0, 8, 16})
            if (a > 0)
                px |= static_cast<DWORD>(std::min(255, Channel(black.bits[i], s) * 255 / a)) << s;
        out[i] = px;
    }
    return out;
}

RECT Fine(const LayoutRect& r) {
    return {r.left * kFine, r.top * kFine, r.right * kFine, r.bottom * kFine};
}

void Shape(HDC dc, const RECT& rc, COLORREF colour, int corner) {
    ::SelectObject(dc, ::GetStockObject(DC_BRUSH));
    ::SelectObject(dc, ::GetStockObject(DC_PEN));
    ::SetDCBrushColor(dc, colour);
    ::SetDCPenColor(dc, colour);
    ::RoundRect(dc, rc.left, rc.top, rc.right, rc.bottom, corner, corner);
}

// The signs at kFine times the size, on kEmpty.
void DrawSigns(CDib& fine, const CountBadge& badge, bool bQuiet) {
    const HDC dc = fine.dc.Get();
    fine.Fill(kEmpty);
    if (!badge.text.empty()) {
        const RECT pill = Fine(badge.pill);
        Shape(dc, pill, kBadgeRed, pill.bottom - pill.top);
        const CFontHandle font(::CreateFontW(-badge.fontHeight * kFine, 0, 0, 0, FW_BOLD, FALSE, FALSE, FALSE,
                                             DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                                             NONANTIALIASED_QUALITY, DEFAULT_PITCH, L"Tahoma"));
        const CSelectObjectGuard selected(dc, font.Get());
        ::SetTextColor(dc, kWhite);
        ::SetBkMode(dc, TRANSPARENT);
        const std::wstring text(badge.text.begin(), badge.text.end());
        RECT rc = pill;
        ::DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &rc,
                    DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX | DT_NOCLIP);
    }
    if (bQuiet) {
        const QuietSign sign = LayOutQuietSign(fine.side / kFine);
        const RECT circle = Fine(sign.circle);
        Shape(dc, circle, kQuietGrey, circle.right - circle.left);
        FillSolid(dc, Fine(sign.bar), kWhite);
    }
    ::GdiFlush();
}

// The pixels (straight alpha) as an icon, with a mask that is clear where they are.
CIconHandle ToIcon(const std::vector<DWORD>& pixels, int side) {
    CDib colour(side);
    if (!colour.bits)
        return {};
    std::copy(pixels.begin(), pixels.end(), colour.bits);
    const int stride = (side + 15) / 16 * 2;
    std::vector<BYTE> mask(static_cast<size_t>(stride) * side, 0);
    for (int y = 0; y < side; ++y)
        for (int x = 0; x < side; ++x)
            if ((pixels[static_cast<size_t>(y) * side + x] >> 24) == 0)
                mask[static_cast<size_t>(y) * stride + x / 8] |= static_cast<BYTE>(0x80 >> (x % 8));
    const CBitmapHandle maskBitmap(::CreateBitmap(side, side, 1, 1, mask.data()));
    colour.selection.reset(); // an icon is not made from a bitmap selected into a DC
    ICONINFO info{TRUE, 0, 0, maskBitmap.Get(), colour.bitmap.Get()};
    return CIconHandle(::CreateIconIndirect(&info));
}

CIconHandle Compose(HICON base, int side, const CountBadge& badge, bool bQuiet) {
    if (side <= 0 || side > 256)
        return {};
    std::vector<DWORD> pixels = BasePixels(base, side);
    CDib fine(side * kFine);
    if (!fine.bits)
        return {};
    DrawSigns(fine, badge, bQuiet);
    // Each pixel: the signs' share of its fine pixels over the base ("over" with straight alpha).
    for (int y = 0; y < side; ++y) {
        for (int x = 0; x < side; ++x) {
            int n = 0, sum[3] = {};
            for (int fy = 0; fy < kFine; ++fy) {
                for (int fx = 0; fx < kFine; ++fx) {
                    const DWORD px = fine.bits[(y * kFine + fy) * fine.side + x * kFine + fx] & 0x00FFFFFF;
                    if (px == kEmpty)
                        continue;
                    ++n;
                    for (int c = 0; c < 3; ++c)
                        sum[c] += Channel(px, c * 8);
                }
            }
            if (n == 0)
                continue;
            DWORD& out = pixels[static_cast<size_t>(y) * side + x];
            const int la = n * 255 / (kFine * kFine);
            const int ba = Channel(out, 24) * (255 - la) / 255;
            const int a = la + ba;
            DWORD px = static_cast<DWORD>(a) << 24;
            for (int c = 0; c < 3; ++c)
                px |= static_cast<DWORD>((sum[c] / n * la + Channel(out, c * 8) * ba) / a) << (c * 8);
            out = px;
        }
    }
    return ToIcon(pixels, side);
}

} // namespace

CIconHandle MakeAttentionIcon(HICON base, int size, int nCount, bool bQuiet) {
    return Compose(base, size, LayOutCountBadge(size, nCount), bQuiet);
}

CIconHandle MakeCountOverlay(int nCount, int size) {
    if (nCount <= 0)
        return {};
    return Compose(nullptr, size, LayOutCountBadge(size, nCount, true), false);
}

} // namespace dravel::win
