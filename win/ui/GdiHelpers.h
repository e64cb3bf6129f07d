#pragma once

// Small drawing helpers the program's windows share.

#include "win/base/Handles.h"

#include <string>

namespace dravel::win {

// Fills a rectangle with one colour (the background colour of the DC is kept).
void FillSolid(HDC hdc, const RECT& rc, COLORREF colour);
// The colour with each channel raised by the given amount, at most 255.
COLORREF Lighter(COLORREF colour, int by);
// Height of text word-wrapped (DT_WORDBREAK, DT_EXPANDTABS, DT_NOPREFIX and extraFlags) into width.
int MeasureWrappedText(HDC hdc, const std::wstring& text, int width, UINT extraFlags = 0);

} // namespace dravel::win
