#include "win/ui/DefaultBrowser.h"

#include <windows.h>

#include <shellapi.h>

namespace dravel::win {

void OpenInDefaultBrowser(const std::wstring& url) {
    SHELLEXECUTEINFOW sei{};
    sei.cbSize = sizeof(sei);
    sei.fMask = SEE_MASK_FLAG_NO_UI;
    sei.lpVerb = L"open";
    sei.lpFile = url.c_str();
    sei.nShow = SW_SHOWNORMAL;
    ::ShellExecuteExW(&sei);
}

} // namespace dravel::win
