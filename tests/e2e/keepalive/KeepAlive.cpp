// A hidden window that keeps Wine's desktop and service processes up while a harness runs.
// Started by scripts/wine-harness.sh; ends when the harness stops the prefix's wineserver.
#include <windows.h>

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR commandLine, int) {
    WNDCLASSW wc{};
    wc.lpfnWndProc = DefWindowProcW;
    wc.hInstance = instance;
    wc.lpszClassName = L"DravelOnE2EKeepAlive";
    RegisterClassW(&wc);
    // Creating a top-level window is what brings the desktop process up; it is never shown.
    HWND hwnd = CreateWindowExW(WS_EX_TOOLWINDOW, wc.lpszClassName, L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                                instance, nullptr);
    if (!hwnd)
        return 1;
    // The harness waits for this file before it runs its command.
    if (commandLine && *commandLine) {
        HANDLE ready = CreateFileW(commandLine, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        if (ready != INVALID_HANDLE_VALUE)
            CloseHandle(ready);
    }
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0)
        DispatchMessageW(&msg);
    return 0;
}
