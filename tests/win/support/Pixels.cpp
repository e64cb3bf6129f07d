#include "SkinTestUtil.h"

#include "win/ui/GdiHelpers.h"

#include <cstdio>
#include <utility>

namespace skintest {

bool PumpUntil(const std::function<bool()>& pred, DWORD timeoutMs) {
    const DWORD start = ::GetTickCount();
    while (!pred()) {
        if (::GetTickCount() - start > timeoutMs)
            return false;
        MSG msg;
        for (int n = 0; n < 100 && ::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE); ++n) {
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
    return true;
}

void Pump(DWORD ms) {
    PumpUntil([] { return false; }, ms);
}

bool NothingToPaint(HWND hwnd) {
    if (::GetUpdateRect(hwnd, nullptr, FALSE))
        return false;
    bool bClean = true;
    ::EnumChildWindows(
        hwnd,
        [](HWND child, LPARAM clean) -> BOOL {
            if (!::GetUpdateRect(child, nullptr, FALSE))
                return TRUE;
            *reinterpret_cast<bool*>(clean) = false;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&bClean));
    return bClean;
}

namespace {

// The whole screen's pixels, to tell whether anything is still being drawn.
std::vector<DWORD> ScreenPixels() {
    // One copy into a 32-bit DIB: a pixel at a time takes seconds on a large (200 %) screen.
    const int cx = ::GetSystemMetrics(SM_CXSCREEN);
    const int cy = ::GetSystemMetrics(SM_CYSCREEN);
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof(bi.bmiHeader);
    bi.bmiHeader.biWidth = cx;
    bi.bmiHeader.biHeight = -cy;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    bi.bmiHeader.biCompression = BI_RGB;
    const dravel::win::CWindowDc screen(nullptr);
    const dravel::win::CDcHandle memory(::CreateCompatibleDC(screen.Get()));
    void* bits = nullptr;
    const dravel::win::CBitmapHandle dib(::CreateDIBSection(screen.Get(), &bi, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!memory || !dib || bits == nullptr)
        return {};
    {
        const dravel::win::CSelectObjectGuard select(memory.Get(), dib.Get());
        ::BitBlt(memory.Get(), 0, 0, cx, cy, screen.Get(), 0, 0, SRCCOPY);
        ::GdiFlush();
    }
    const auto* first = static_cast<const DWORD*>(bits);
    return std::vector<DWORD>(first, first + static_cast<size_t>(cx) * static_cast<size_t>(cy));
}

} // namespace

CTemplate::CTemplate(DWORD style, const wchar_t* title, short cx, short cy) {
    Append(LOWORD(style));
    Append(HIWORD(style));
    Append(0);
    Append(0);
    m_nCountAt = m_words.size();
    Append(0);
    Append(0);
    Append(0);
    Append(static_cast<WORD>(cx));
    Append(static_cast<WORD>(cy));
    Append(0);
    Append(0);
    AppendText(title);
}

void CTemplate::AddItem(WORD id, WORD classAtom, const wchar_t* text, DWORD style, short x, short y, short cx,
                        short cy) {
    if (m_words.size() % 2 != 0)
        Append(0);
    style |= WS_CHILD | WS_VISIBLE;
    Append(LOWORD(style));
    Append(HIWORD(style));
    Append(0);
    Append(0);
    Append(static_cast<WORD>(x));
    Append(static_cast<WORD>(y));
    Append(static_cast<WORD>(cx));
    Append(static_cast<WORD>(cy));
    Append(id);
    Append(0xFFFF);
    Append(classAtom);
    AppendText(text);
    Append(0);
    ++m_words[m_nCountAt];
}

void CTemplate::AppendText(const wchar_t* text) {
    for (; *text != L'\0'; ++text)
        Append(static_cast<WORD>(*text));
    Append(0);
}

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
    dravel::win::FillSolid(m_dc.Get(), RECT{0, 0, cx, cy}, fill);
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
        dravel::win::FillSolid(mem.Get(), RECT{0, 0, cx, cy}, fill);
        dravel::win::FillSolid(mem.Get(), RECT{0, 0, 4, 4}, mark);
    }
    return bitmap.Detach();
}

bool AwaitPicture(const std::wstring& dir, int n, HWND hwnd) {
    const std::wstring ready = dir + L"\\ready-" + std::to_wstring(n);
    const std::wstring done = dir + L"\\done-" + std::to_wstring(n);
    if (hwnd != nullptr && !PumpUntil([&] { return NothingToPaint(hwnd); }, 5000))
        return false;
    // Settled: two looks at the screen 100 ms apart agree.
    std::vector<DWORD> last = ScreenPixels();
    DWORD lastAt = ::GetTickCount();
    const bool bSettled = PumpUntil(
        [&] {
            if (::GetTickCount() - lastAt < 100)
                return false;
            std::vector<DWORD> now = ScreenPixels();
            lastAt = ::GetTickCount();
            const bool bSame = now == last;
            last = std::move(now);
            return bSame;
        },
        5000);
    if (!bSettled)
        return false;
    std::string size;
    if (hwnd != nullptr) {
        RECT rc{};
        ::GetWindowRect(hwnd, &rc);
        size = std::to_string(rc.right - rc.left) + "x" + std::to_string(rc.bottom - rc.top);
        // A window away from the display's corner (a pop-up above the taskbar) says where it is.
        if (rc.left != 0 || rc.top != 0)
            size += "+" + std::to_string(rc.left) + "+" + std::to_string(rc.top);
    }
    const HANDLE f = ::CreateFileW(ready.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (f == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    ::WriteFile(f, size.data(), static_cast<DWORD>(size.size()), &written, nullptr);
    ::CloseHandle(f);
    return PumpUntil([&] { return ::GetFileAttributesW(done.c_str()) != INVALID_FILE_ATTRIBUTES; }, 30000);
}

} // namespace skintest
