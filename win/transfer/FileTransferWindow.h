#pragma once

// How code outside the file transfer window tells it from other dialogs and closes it: every transfer
// window carries the property kTransferWindowProperty, holding its template id (IDD_FILE_TRANSFER),
// while it exists. Kept apart from FileTransferDlg.h so that callers need none of the transfer code.

#include <windows.h>

namespace dravel::win {

inline constexpr wchar_t kTransferWindowProperty[] = L"DravelOn.FileTransfer";

bool IsFileTransferWindow(HWND hwnd);
// Cancels a transfer window as its own cancel does: the worker stops, the window ends with IDCANCEL
// once the worker reports, a partial download is removed. Posted, so it runs in the window's own turn.
void CancelFileTransferWindow(HWND hwnd);

} // namespace dravel::win
