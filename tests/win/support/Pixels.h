#pragma once

// A 32-bit top-down memory bitmap to draw into and read pixels from, and a minimal PNG writer
// (stored deflate blocks) for screenshots of what was drawn.

#include "win/base/Handles.h"
#include "win/ui/GdiHelpers.h"

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

namespace dravel::win::test {

class CCanvas {
public:
    CCanvas(int width, int height) : m_width(width), m_height(height), m_dc(::CreateCompatibleDC(nullptr)) {
        BITMAPINFO bi{};
        bi.bmiHeader.biSize = sizeof(bi.bmiHeader);
        bi.bmiHeader.biWidth = width;
        bi.bmiHeader.biHeight = -height;
        bi.bmiHeader.biPlanes = 1;
        bi.bmiHeader.biBitCount = 32;
        void* bits = nullptr;
        m_bitmap.Reset(::CreateDIBSection(m_dc.Get(), &bi, DIB_RGB_COLORS, &bits, nullptr, 0));
        m_bits = static_cast<std::uint32_t*>(bits);
        m_selection.emplace(m_dc.Get(), m_bitmap.Get());
        Clear(RGB(255, 255, 255));
    }
    CCanvas(const CCanvas&) = delete;
    CCanvas& operator=(const CCanvas&) = delete;

    HDC Dc() const { return m_dc.Get(); }
    int Width() const { return m_width; }
    int Height() const { return m_height; }

    void Clear(COLORREF color) { FillSolid(m_dc.Get(), RECT{0, 0, m_width, m_height}, color); }
    // The pixel as a COLORREF (red in the low byte).
    COLORREF Pixel(int x, int y) const {
        ::GdiFlush();
        const std::uint32_t v = m_bits[static_cast<size_t>(y) * static_cast<size_t>(m_width) + static_cast<size_t>(x)];
        return RGB((v >> 16) & 0xFF, (v >> 8) & 0xFF, v & 0xFF);
    }
    // Pixels in [left, right) x [top, bottom) that satisfy the test.
    template <class Test> int Count(const RECT& area, Test test) const {
        int n = 0;
        for (int y = std::max(0L, area.top); y < std::min<long>(m_height, area.bottom); ++y)
            for (int x = std::max(0L, area.left); x < std::min<long>(m_width, area.right); ++x)
                n += test(Pixel(x, y)) ? 1 : 0;
        return n;
    }
    bool SavePng(const std::string& path) const;

private:
    int m_width;
    int m_height;
    CDcHandle m_dc;
    CBitmapHandle m_bitmap;
    std::uint32_t* m_bits = nullptr;
    std::optional<CSelectObjectGuard> m_selection;
};

inline bool IsReddish(COLORREF c) {
    return GetRValue(c) > 150 && GetGValue(c) < 110 && GetBValue(c) < 110;
}
inline bool IsDark(COLORREF c) {
    return GetRValue(c) < 110 && GetGValue(c) < 110 && GetBValue(c) < 110;
}

inline std::uint32_t Crc32(const std::uint8_t* data, size_t size, std::uint32_t crc = 0) {
    crc = ~crc;
    for (size_t i = 0; i < size; ++i) {
        crc ^= data[i];
        for (int k = 0; k < 8; ++k)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

inline bool CCanvas::SavePng(const std::string& path) const {
    ::GdiFlush();
    std::vector<std::uint8_t> raw;
    for (int y = 0; y < m_height; ++y) {
        raw.push_back(0);
        for (int x = 0; x < m_width; ++x) {
            const COLORREF c = Pixel(x, y);
            raw.insert(raw.end(), {GetRValue(c), GetGValue(c), GetBValue(c)});
        }
    }
    std::vector<std::uint8_t> z{0x78, 0x01};
    std::uint32_t a = 1, b = 0;
    for (std::uint8_t v : raw) {
        a = (a + v) % 65521;
        b = (b + a) % 65521;
    }
    for (size_t pos = 0; pos < raw.size() || pos == 0;) {
        const size_t n = std::min<size_t>(65535, raw.size() - pos);
        const bool bLast = pos + n == raw.size();
        z.push_back(bLast ? 1 : 0);
        z.insert(z.end(), {static_cast<std::uint8_t>(n), static_cast<std::uint8_t>(n >> 8),
                           static_cast<std::uint8_t>(~n), static_cast<std::uint8_t>(~n >> 8)});
        z.insert(z.end(), raw.begin() + static_cast<long>(pos), raw.begin() + static_cast<long>(pos + n));
        pos += n;
        if (bLast)
            break;
    }
    const std::uint32_t adler = (b << 16) | a;
    z.insert(z.end(), {static_cast<std::uint8_t>(adler >> 24), static_cast<std::uint8_t>(adler >> 16),
                       static_cast<std::uint8_t>(adler >> 8), static_cast<std::uint8_t>(adler)});

    std::vector<std::uint8_t> png{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    auto chunk = [&](const char* type, const std::vector<std::uint8_t>& data) {
        const std::uint32_t n = static_cast<std::uint32_t>(data.size());
        png.insert(png.end(), {static_cast<std::uint8_t>(n >> 24), static_cast<std::uint8_t>(n >> 16),
                               static_cast<std::uint8_t>(n >> 8), static_cast<std::uint8_t>(n)});
        std::vector<std::uint8_t> body(type, type + 4);
        body.insert(body.end(), data.begin(), data.end());
        png.insert(png.end(), body.begin(), body.end());
        const std::uint32_t crc = Crc32(body.data(), body.size());
        png.insert(png.end(), {static_cast<std::uint8_t>(crc >> 24), static_cast<std::uint8_t>(crc >> 16),
                               static_cast<std::uint8_t>(crc >> 8), static_cast<std::uint8_t>(crc)});
    };
    const auto w = static_cast<std::uint32_t>(m_width), h = static_cast<std::uint32_t>(m_height);
    chunk("IHDR",
          {static_cast<std::uint8_t>(w >> 24), static_cast<std::uint8_t>(w >> 16), static_cast<std::uint8_t>(w >> 8),
           static_cast<std::uint8_t>(w), static_cast<std::uint8_t>(h >> 24), static_cast<std::uint8_t>(h >> 16),
           static_cast<std::uint8_t>(h >> 8), static_cast<std::uint8_t>(h), 8, 2, 0, 0, 0});
    chunk("IDAT", z);
    chunk("IEND", {});
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(png.data()), static_cast<std::streamsize>(png.size()));
    return static_cast<bool>(out);
}

} // namespace dravel::win::test
