#pragma once

// Waiting in the Win32 tests: on a condition while this thread's messages run, on a condition in a thread
// without windows, or on a window of this process. Every wait has the same time-out unless a caller
// knows of a slower step; a wait returns as soon as its condition holds, so the time-out only decides how
// long a failing test takes.

#include <windows.h>

#include <functional>

namespace dravel::win::test {

inline constexpr DWORD kWaitMs = 5000;

// Runs the messages already queued for this thread, without waiting for more.
inline void Drain() {
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
}

// Runs this thread's messages until pred() holds or the time is up; returns pred(). Callers assert the
// result, so a condition that never comes fails the test at the time-out.
inline bool PumpUntil(const std::function<bool()>& pred, DWORD timeoutMs = kWaitMs) {
    const DWORD start = ::GetTickCount();
    while (!pred()) {
        if (::GetTickCount() - start > timeoutMs)
            return false;
        MSG msg;
        // Bounded, so that a window that keeps asking to be painted cannot hold the test here.
        for (int n = 0; n < 100 && ::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE); ++n) {
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
    return true;
}

// Runs this thread's messages for a fixed time: only where that time is itself the check.
inline void PumpFor(DWORD ms) {
    PumpUntil([] { return false; }, ms);
}

// Waits for pred() in a thread that has no windows to serve (a driver or server thread).
inline bool WaitUntil(const std::function<bool()>& pred, DWORD timeoutMs = kWaitMs) {
    const ULONGLONG end = ::GetTickCount64() + timeoutMs;
    while (!pred()) {
        if (::GetTickCount64() >= end)
            return false;
        ::Sleep(20);
    }
    return true;
}

// A visible top-level window of this process with the given title, or null after the time-out.
inline HWND WaitForWindow(const wchar_t* title, DWORD timeoutMs = kWaitMs) {
    HWND window = nullptr;
    WaitUntil(
        [&] {
            HWND found = nullptr;
            while ((found = ::FindWindowExW(nullptr, found, nullptr, title)) != nullptr) {
                DWORD pid = 0;
                ::GetWindowThreadProcessId(found, &pid);
                if (pid == ::GetCurrentProcessId() && ::IsWindowVisible(found)) {
                    window = found;
                    return true;
                }
            }
            return false;
        },
        timeoutMs);
    return window;
}

// Whether the window and all its descendants have served their paint requests.
inline bool NothingToPaint(HWND hwnd) {
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

} // namespace dravel::win::test
