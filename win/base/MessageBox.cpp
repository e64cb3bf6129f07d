#include "win/base/MessageBox.h"

#include "win/base/Text.h"
#include "win/res/resource.h"

namespace dravel::win {

std::wstring AppTitle() {
    return LoadResString(IDS_APP_TITLE);
}

int AppMessageBox(HWND owner, const std::wstring& text, UINT type) {
    const std::wstring caption = AppTitle();
    return ::MessageBoxW(owner, text.c_str(), caption.c_str(), type);
}

int AppMessageBox(HWND owner, std::string_view text949, UINT type) {
    return AppMessageBox(owner, Cp949ToWide(text949), type);
}

} // namespace dravel::win
