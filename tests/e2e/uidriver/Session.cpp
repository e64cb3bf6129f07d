// Verbs of the session's tests: where the keyboard focus of a program is.
#include "tests/e2e/uidriver/Driver.h"

// focus pid=N: the window that has the keyboard focus in the GUI thread of the program's first
// visible top-level window; "window" null when no window there has the focus.
JsonObject VerbFocus(const Args& args) {
    const DWORD pid = static_cast<DWORD>(args.Int(L"pid", 0));
    HWND top = nullptr;
    for (HWND hwnd : TopLevelWindows()) {
        if (WindowPid(hwnd) == pid && IsWindowVisible(hwnd)) {
            top = hwnd;
            break;
        }
    }
    if (!top)
        throw DriverError("no visible window of that process");
    GUITHREADINFO info{};
    info.cbSize = sizeof(info);
    if (!GetGUIThreadInfo(GetWindowThreadProcessId(top, nullptr), &info))
        throw DriverError("no thread information");
    JsonObject answer;
    if (!info.hwndFocus)
        return answer.Raw("window", "null");
    answer.Raw("window", WindowJson(info.hwndFocus));
    answer.Num("id", GetDlgCtrlID(info.hwndFocus));
    return answer;
}
