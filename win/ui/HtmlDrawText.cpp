#include "win/ui/HtmlDrawText.h"

#include "win/ui/GdiTextSurface.h"
#include "core/ui/HtmlLayout.h"

namespace dravel::win {

int HtmlDrawText(HDC hdc, const char* text, int length, RECT* rect, UINT format) {
    if (hdc == nullptr || text == nullptr)
        return 0;
    CGdiTextSurface surface(hdc);
    if (rect == nullptr)
        return dravel::HtmlDrawText(&surface, text, length, nullptr, format);
    dravel::TextRect box{rect->left, rect->top, rect->right, rect->bottom};
    const int result = dravel::HtmlDrawText(&surface, text, length, &box, format);
    if (format & DT_CALCRECT)
        *rect = RECT{box.left, box.top, box.right, box.bottom};
    return result;
}

} // namespace dravel::win
