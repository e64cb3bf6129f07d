#pragma once

// Message boxes of the program: every box carries the application title as its caption.

#include <windows.h>

#include <string>
#include <string_view>

namespace dravel::win {

inline constexpr wchar_t kAppTitle[] = L"Dravel On";
// String-table entry of the application title.
inline constexpr UINT kAppTitleStringId = 57344;

// The caption for message boxes: string-table entry 57344 if the program has it, else kAppTitle.
std::wstring AppTitle();

// MessageBoxW with the application title as caption; returns what MessageBoxW returns.
int AppMessageBox(HWND owner, const std::wstring& text, UINT type = MB_OK);
// The same for code page 949 text (wire and log text).
int AppMessageBox(HWND owner, std::string_view text949, UINT type = MB_OK);

} // namespace dravel::win
