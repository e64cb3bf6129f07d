#include "Screen.h"

#include "Pixels.h"
#include "Wait.h"

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

namespace dravel::win::test {

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
    const CWindowDc screen(nullptr);
    const CDcHandle memory(::CreateCompatibleDC(screen.Get()));
    void* bits = nullptr;
    const CBitmapHandle dib(::CreateDIBSection(screen.Get(), &bi, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!memory || !dib || bits == nullptr)
        return {};
    {
        const CSelectObjectGuard select(memory.Get(), dib.Get());
        ::BitBlt(memory.Get(), 0, 0, cx, cy, screen.Get(), 0, 0, SRCCOPY);
        ::GdiFlush();
    }
    const auto* first = static_cast<const DWORD*>(bits);
    return std::vector<DWORD>(first, first + static_cast<size_t>(cx) * static_cast<size_t>(cy));
}

} // namespace

COLORREF ScreenPixel(int x, int y) {
    const CWindowDc screen(nullptr);
    return ::GetPixel(screen.Get(), x, y);
}

std::wstring ScreenshotPath(const wchar_t* name) {
    wchar_t exe[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, exe, MAX_PATH);
    std::wstring dir(exe);
    dir.resize(dir.find_last_of(L"\\/") + 1);
    dir += L"..\\screenshots";
    ::CreateDirectoryW(dir.c_str(), nullptr);
    return dir + L"\\" + name;
}

bool SaveScreenPng(const wchar_t* name) {
    const int cx = ::GetSystemMetrics(SM_CXSCREEN);
    const int cy = ::GetSystemMetrics(SM_CYSCREEN);
    const CPixels pixels(cx, cy);
    {
        const CWindowDc screen(nullptr);
        ::BitBlt(pixels.Dc(), 0, 0, cx, cy, screen.Get(), 0, 0, SRCCOPY);
    }
    return pixels.SavePng(std::filesystem::path(ScreenshotPath(name)));
}

bool AwaitPicture(const std::wstring& dir, int n, HWND hwnd) {
    const std::wstring ready = dir + L"\\ready-" + std::to_wstring(n);
    const std::wstring done = dir + L"\\done-" + std::to_wstring(n);
    if (hwnd != nullptr && !PumpUntil([&] { return NothingToPaint(hwnd); }))
        return false;
    // Settled: two looks at the screen 100 ms apart agree.
    std::vector<DWORD> last = ScreenPixels();
    DWORD lastAt = ::GetTickCount();
    const bool bSettled = PumpUntil([&] {
        if (::GetTickCount() - lastAt < 100)
            return false;
        std::vector<DWORD> now = ScreenPixels();
        lastAt = ::GetTickCount();
        const bool bSame = now == last;
        last = std::move(now);
        return bSame;
    });
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

} // namespace dravel::win::test
