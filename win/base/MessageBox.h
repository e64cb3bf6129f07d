#pragma once

// Message boxes of the program: every box carries the program's title as its caption.

#include <windows.h>

#include <string>
#include <string_view>

namespace dravel::win {

// The program's title, string-table entry IDS_APP_TITLE: the caption of its boxes and its tray tip.
std::wstring AppTitle();

// MessageBoxW with the program's title as caption; returns what MessageBoxW returns.
int AppMessageBox(HWND owner, const std::wstring& text, UINT type = MB_OK);
// The same for code page 949 text (wire and log text).
int AppMessageBox(HWND owner, std::string_view text949, UINT type = MB_OK);

} // namespace dravel::win
