#pragma once

// Helpers of the notifier and tray dialog tests: a message pump that waits for a condition, and screenshots
// into the build tree.

#include "win/base/Handles.h"

#include <objidl.h> // gdiplus.h needs it, and the lean windows.h leaves it out

#include <gdiplus.h>

#include <functional>
#include <string>

namespace dravel::test {

// Runs the thread's messages until pred() holds or the time is up; returns pred(). Callers assert the
// result, so a condition that never comes fails the test at the time-out.
inline bool PumpUntil(const std::function<bool()>& pred, DWORD timeoutMs = 5000) {
    const DWORD start = ::GetTickCount();
    while (!pred()) {
        if (::GetTickCount() - start > timeoutMs)
            return false;
        MSG msg;
        for (int n = 0; n < 100 && ::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE); ++n) {
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
    }
    return true;
}

// Runs the thread's messages for a fixed time. Only for a check that nothing happens within that time.
inline void PumpFor(DWORD ms) {
    PumpUntil([] { return false; }, ms);
}

// Whether the window has no invalid part left, i.e. its last paint request has been served.
inline bool NothingToPaint(HWND hwnd) {
    return ::GetUpdateRect(hwnd, nullptr, FALSE) == FALSE;
}

// <folder of the test executable>\..\screenshots\<name>: the build tree's screenshot folder.
inline std::wstring ScreenshotPath(const wchar_t* name) {
    wchar_t exe[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, exe, MAX_PATH);
    std::wstring dir(exe);
    dir.resize(dir.find_last_of(L"\\/") + 1);
    dir += L"..\\screenshots";
    ::CreateDirectoryW(dir.c_str(), nullptr);
    return dir + L"\\" + name;
}

// Saves the whole screen as a PNG; false if it could not be written.
inline bool SaveScreenPng(const wchar_t* name) {
    const int cx = ::GetSystemMetrics(SM_CXSCREEN);
    const int cy = ::GetSystemMetrics(SM_CYSCREEN);
    const dravel::win::CWindowDc screen(nullptr);
    const dravel::win::CDcHandle memory(::CreateCompatibleDC(screen.Get()));
    const dravel::win::CBitmapHandle bitmap(::CreateCompatibleBitmap(screen.Get(), cx, cy));
    {
        const dravel::win::CSelectObjectGuard select(memory.Get(), bitmap.Get());
        ::BitBlt(memory.Get(), 0, 0, cx, cy, screen.Get(), 0, 0, SRCCOPY);
    }

    bool bSaved = false;
    Gdiplus::GdiplusStartupInput input;
    ULONG_PTR token = 0;
    if (Gdiplus::GdiplusStartup(&token, &input, nullptr) == Gdiplus::Ok) {
        Gdiplus::GpBitmap* image = nullptr;
        if (Gdiplus::DllExports::GdipCreateBitmapFromHBITMAP(bitmap.Get(), nullptr, &image) == Gdiplus::Ok) {
            // The PNG encoder's class id.
            const CLSID png = {0x557CF406, 0x1A04, 0x11D3, {0x9A, 0x73, 0x00, 0x00, 0xF8, 0x1E, 0xF3, 0x2E}};
            bSaved = Gdiplus::DllExports::GdipSaveImageToFile(image, ScreenshotPath(name).c_str(), &png, nullptr) ==
                     Gdiplus::Ok;
            Gdiplus::DllExports::GdipDisposeImage(image);
        }
        Gdiplus::GdiplusShutdown(token);
    }
    return bSaved;
}

// The colour of a screen pixel.
inline COLORREF ScreenPixel(int x, int y) {
    const dravel::win::CWindowDc screen(nullptr);
    return ::GetPixel(screen.Get(), x, y);
}

} // namespace dravel::test
