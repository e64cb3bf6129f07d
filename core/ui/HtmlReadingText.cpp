#include "core/ui/HtmlReadingText.h"

#include "core/ui/HtmlLayout.h"

#include <algorithm>
#include <climits>

namespace dravel {

std::string HtmlReadingText(std::string_view html) {
    std::string out;
    // Nothing the renderer would reach lies beyond an int's length.
    const char* cursor = html.data();
    int remaining = static_cast<int>(std::min<size_t>(html.size(), INT_MAX));
    int pendingBlank = 0;
    bool bBreakPending = false;
    // Inside a link (the program's only underlined text) every blank is one the wrapping put in: an
    // address has none of its own.
    bool bInLink = false;
    bool bLinkStarted = false;
    for (;;) {
        int length = 0;
        const int token = NextHtmlToken(cursor, remaining, length, &pendingBlank);
        if (token == kHtmlEnd)
            break;
        if (token == kHtmlText) {
            if (!out.empty()) {
                if (bBreakPending)
                    out += '\n';
                else if (pendingBlank == 1 && !(bInLink && bLinkStarted))
                    out += ' ';
            }
            bBreakPending = false;
            bLinkStarted = bInLink;
            out += UnescapeHtmlText(std::string_view(cursor, static_cast<size_t>(length)));
            pendingBlank = 0;
        } else if (token == kHtmlBreak || token == kHtmlParagraph) {
            bBreakPending = true;
        } else if ((token & ~kHtmlClosing) == kHtmlUnderline) {
            bInLink = token == kHtmlUnderline;
            bLinkStarted = false;
        }
        cursor += length;
    }
    return out;
}

} // namespace dravel
