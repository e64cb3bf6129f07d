#pragma once

#include <string>
#include <string_view>

namespace dravel {

// What a screen reader should say for an item of the HTML subset: the words the renderer draws, without
// markup, character references decoded, one blank between words that are drawn apart, and one line
// break ("\n") where the renderer starts a new line or paragraph. A link (HtmlLinkMarkup) reads as its
// address, without the blanks that wrapping put into it. Leading and trailing breaks are dropped. Text
// stays 949 bytes.
std::string HtmlReadingText(std::string_view html);

} // namespace dravel
