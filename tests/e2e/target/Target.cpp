// A small dialog for proving the UI driver: an edit, buttons that raise message boxes, a result line.
// Usage: e2e_target.exe [caption]
#include <windows.h>

#include <string>

#include "Target.h"

namespace {

std::wstring ItemText(HWND dialog, int id) {
    std::wstring text(static_cast<size_t>(GetWindowTextLengthW(GetDlgItem(dialog, id))) + 1, L'\0');
    text.resize(static_cast<size_t>(GetDlgItemTextW(dialog, id, text.data(), static_cast<int>(text.size()))));
    return text;
}

void ShowResult(HWND dialog, int answer) {
    SetDlgItemTextW(dialog, IDC_RESULT, (L"결과: " + std::to_wstring(answer)).c_str());
}

INT_PTR CALLBACK TargetProc(HWND dialog, UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_INITDIALOG:
        if (lParam && *reinterpret_cast<const wchar_t*>(lParam))
            SetWindowTextW(dialog, reinterpret_cast<const wchar_t*>(lParam));
        return TRUE;
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDC_SHOW: // owned box with the edit's text
            ShowResult(dialog, MessageBoxW(dialog, (L"입력한 글:\n" + ItemText(dialog, IDC_TEXT)).c_str(), L"대상 알림",
                                           MB_OKCANCEL | MB_ICONINFORMATION));
            return TRUE;
        case IDC_ASK: // box without owner, as the client raises its warnings
            ShowResult(dialog, MessageBoxW(nullptr, L"계속할까요?", L"질문", MB_YESNO | MB_ICONQUESTION));
            return TRUE;
        case IDC_LOCKED:
            ShowResult(dialog, -1);
            return TRUE;
        case IDCANCEL:
            EndDialog(dialog, IDCANCEL);
            return TRUE;
        }
        break;
    }
    return FALSE;
}

} // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR commandLine, int) {
    // Wine quotes an argument that holds blanks.
    std::wstring caption = commandLine ? commandLine : L"";
    if (caption.size() >= 2 && caption.front() == L'"' && caption.back() == L'"')
        caption = caption.substr(1, caption.size() - 2);
    return static_cast<int>(DialogBoxParamW(instance, MAKEINTRESOURCEW(IDD_TARGET), nullptr, TargetProc,
                                            reinterpret_cast<LPARAM>(caption.c_str())));
}
