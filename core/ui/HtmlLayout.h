#pragma once

// The HTML subset renderer: b/strong, i/em, u, sub, sup, br, p and font color=, laid out one word at
// a time on 949 bytes. Used to measure and draw conversation items. GUI thread only: the colour
// stack is shared by all calls.

#include "core/ui/TextSurface.h"

#include <string>
#include <string_view>
#include <vector>

namespace dravel {

// Token values of NextHtmlToken: the tag's code, plus kHtmlClosing for "</...>".
inline constexpr int kHtmlEnd = -1;
inline constexpr int kHtmlText = 0;
inline constexpr int kHtmlBold = 1;
inline constexpr int kHtmlBreak = 2;
inline constexpr int kHtmlFont = 3;
inline constexpr int kHtmlItalic = 4;
inline constexpr int kHtmlParagraph = 5;
inline constexpr int kHtmlSubscript = 6;
inline constexpr int kHtmlSuperscript = 7;
inline constexpr int kHtmlUnderline = 8;
inline constexpr int kHtmlClosing = 0x100;

// The C library's single-byte blank test; bytes from 0x80 up never are.
bool IsHtmlBlank(unsigned char c);

// Reads one token. cursor/remaining are advanced past leading blanks and left on the token's first
// byte; length receives the token's size (the caller advances by it). pendingBlank, when given,
// tracks whether a blank precedes the next word.
int NextHtmlToken(const char*& cursor, int& remaining, int& length, int* pendingBlank);

// Six characters RR GG BB after an optional quote and '#'; text holds `available` readable bytes
// (none when 0 or less), and characters beyond count as 0.
TextColor ParseHtmlColor(const char* text, int available);

// The colour stack of eight entries. Push saves the current text colour (while there is room) and
// applies the new one; Pop reapplies the saved one, or the bottom entry when the stack is empty.
// Reset empties the stack and makes the given colour its bottom entry, so that a stray "</font>"
// brings back the colour its own call started with.
bool PushTextColor(TextSurface& surface, TextColor color);
bool PopTextColor(TextSurface& surface);
void ResetTextColorStack(TextColor bottom);

// Text to be shown as text: & < > " written as the references that words decode when drawn. Any
// byte string goes in; 949 trail bytes are never one of the four.
std::string EscapeHtmlText(std::string_view text);
// The inverse for those four references; any other '&' stays as it is.
std::string UnescapeHtmlText(std::string_view html);

// Character height of the font of a style derived from a base height (sub/superscript: 70 %), and
// its weight.
int StyledFontHeight(int baseHeight, unsigned style);
int StyledFontWeight(unsigned style);

// Draws or measures text (length < 0: NUL-terminated) with the platform's format flags; returns the
// offset of the last line's top from the start. With kDtCalcRect the extent is written into rect.
// Without rect, drawing starts at the surface's current position. Words show &lt; &gt; &amp; &quot;
// as the characters they stand for.
int HtmlDrawText(TextSurface* surface, const char* text, int length, TextRect* rect, unsigned format);

// The renderer's link colour, and the markup that shows escaped text as a link: underlined in that
// colour. Only the program writes markup, so the n-th "<u>" of an item is its n-th link.
inline constexpr TextColor kHtmlLinkColor = MakeTextColor(0x06, 0x45, 0xAD);
std::string HtmlLinkMarkup(std::string_view escapedText);

// A word drawn underlined and where it lies (with the underlined blank before it): nRun numbers the
// text's opening "<u>" tags from 0, the latest one before the word.
struct HtmlUnderlinedWord {
    int nRun = -1;
    TextRect box;
};
// Lays the text out as HtmlDrawText would into rect with format, drawing nothing, and reports every
// underlined word.
std::vector<HtmlUnderlinedWord> HtmlUnderlinedWords(TextSurface& surface, std::string_view text, const TextRect& rect,
                                                    unsigned format);

} // namespace dravel
