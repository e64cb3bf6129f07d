#pragma once

// Draws or measures text of the HTML subset (b, strong, i, em, u, sub, sup, br, p, font color=) on a
// device context, like DrawText: same rectangle and format flags (DT_WORDBREAK, DT_SINGLELINE and
// DT_CALCRECT are acted on; DT_CENTER, DT_RIGHT and DT_TABSTOP are ignored). Returns the offset of
// the last line's top from the start. The text is 949 bytes; length < 0 means NUL-terminated. The
// context's font, colours and other state are the same afterwards. GUI thread only.

#include <windows.h>

namespace dravel::win {

int HtmlDrawText(HDC hdc, const char* text, int length, RECT* rect, UINT format);

} // namespace dravel::win
