#include "Pixels.h"

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <vector>

namespace dravel::win::test {

namespace {

// The tests' own fill, so that pixels they compare do not depend on the drawing code under test.
void Fill(HDC dc, const RECT& rc, COLORREF colour) {
    const COLORREF old = ::SetBkColor(dc, colour);
    ::ExtTextOutW(dc, 0, 0, ETO_OPAQUE, &rc, nullptr, 0, nullptr);
    ::SetBkColor(dc, old);
}

std::uint32_t Crc32(const std::uint8_t* data, size_t size, std::uint32_t crc = 0) {
    crc = ~crc;
    for (size_t i = 0; i < size; ++i) {
        crc ^= data[i];
        for (int k = 0; k < 8; ++k)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

} // namespace

CPixels::CPixels(int cx, int cy, COLORREF fill) : m_cx(cx), m_cy(cy) {
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof(bi.bmiHeader);
    bi.bmiHeader.biWidth = cx;
    bi.bmiHeader.biHeight = -cy;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    bi.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    m_dc.Reset(::CreateCompatibleDC(nullptr));
    m_bitmap.Reset(::CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits, nullptr, 0));
    m_bits = static_cast<const DWORD*>(bits);
    m_selection.emplace(m_dc.Get(), m_bitmap.Get());
    Clear(fill);
}

void CPixels::Clear(COLORREF colour) {
    Fill(m_dc.Get(), RECT{0, 0, m_cx, m_cy}, colour);
    ::GdiFlush();
}

COLORREF CPixels::At(int x, int y) const {
    ::GdiFlush();
    if (m_bits == nullptr || x < 0 || y < 0 || x >= m_cx || y >= m_cy)
        return CLR_INVALID;
    const DWORD v = m_bits[static_cast<size_t>(y) * m_cx + x];
    return RGB((v >> 16) & 0xFF, (v >> 8) & 0xFF, v & 0xFF);
}

bool CPixels::Same(const CPixels& other) const {
    if (m_cx != other.m_cx || m_cy != other.m_cy)
        return false;
    for (int y = 0; y < m_cy; ++y) {
        for (int x = 0; x < m_cx; ++x) {
            if (At(x, y) != other.At(x, y)) {
                std::printf("first difference at (%d, %d): %06lx, %06lx\n", x, y, At(x, y), other.At(x, y));
                return false;
            }
        }
    }
    return true;
}

int CPixels::CountColoured(const RECT& rc, COLORREF except) const {
    int n = 0;
    for (int y = rc.top; y < rc.bottom; ++y) {
        for (int x = rc.left; x < rc.right; ++x) {
            const COLORREF c = At(x, y);
            if (c != except && !(GetRValue(c) == GetGValue(c) && GetGValue(c) == GetBValue(c)))
                ++n;
        }
    }
    return n;
}

int CPixels::Count(const RECT& rc, COLORREF colour) const {
    int n = 0;
    for (int y = rc.top; y < rc.bottom; ++y)
        for (int x = rc.left; x < rc.right; ++x)
            n += At(x, y) == colour ? 1 : 0;
    return n;
}

bool CPixels::SaveBmp(const std::wstring& path) const {
    ::GdiFlush();
    BITMAPFILEHEADER fh{};
    BITMAPINFOHEADER ih{};
    ih.biSize = sizeof(ih);
    ih.biWidth = m_cx;
    ih.biHeight = -m_cy;
    ih.biPlanes = 1;
    ih.biBitCount = 32;
    const DWORD size = static_cast<DWORD>(m_cx) * m_cy * 4;
    fh.bfType = 0x4D42;
    fh.bfOffBits = sizeof(fh) + sizeof(ih);
    fh.bfSize = fh.bfOffBits + size;
    const HANDLE file = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    bool ok = ::WriteFile(file, &fh, sizeof(fh), &written, nullptr) &&
              ::WriteFile(file, &ih, sizeof(ih), &written, nullptr) &&
              ::WriteFile(file, m_bits, size, &written, nullptr);
    ::CloseHandle(file);
    return ok;
}

void PrintClient(HWND hwnd, CPixels& pixels) {
    ::SendMessageW(hwnd, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(pixels.Dc()), PRF_CLIENT | PRF_ERASEBKGND);
    ::GdiFlush();
}

HBITMAP MakeMarkedBitmap(int cx, int cy, COLORREF fill, COLORREF mark) {
    dravel::win::CWindowDc screen(nullptr);
    dravel::win::CBitmapHandle bitmap(::CreateCompatibleBitmap(screen.Get(), cx, cy));
    const dravel::win::CDcHandle mem(::CreateCompatibleDC(screen.Get()));
    screen.Reset();
    {
        const dravel::win::CSelectObjectGuard select(mem.Get(), bitmap.Get());
        Fill(mem.Get(), RECT{0, 0, cx, cy}, fill);
        Fill(mem.Get(), RECT{0, 0, 4, 4}, mark);
    }
    return bitmap.Detach();
}

bool CPixels::SavePng(const std::filesystem::path& path) const {
    ::GdiFlush();
    std::vector<std::uint8_t> raw;
    for (int y = 0; y < m_cy; ++y) {
        raw.push_back(0);
        for (int x = 0; x < m_cx; ++x) {
            const COLORREF c = At(x, y);
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
    const auto w = static_cast<std::uint32_t>(m_cx), h = static_cast<std::uint32_t>(m_cy);
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
