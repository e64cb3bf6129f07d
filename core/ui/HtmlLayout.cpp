#include "core/ui/HtmlLayout.h"

#include "core/protocol/KoreanTexts.h"

#include <algorithm>
#include <cstring>
#include <string>

namespace dravel {

namespace {

struct TagRow {
    const char* name;
    int code;
    bool bAttributes;
    bool bBlock;
};

// Looked up from the last row to the first, so that "br" is tried before "b".
constexpr TagRow kTags[] = {
    {"", kHtmlText, false, false},           {"b", kHtmlBold, false, false},      {"br", kHtmlBreak, false, true},
    {"em", kHtmlItalic, false, false},       {"font", kHtmlFont, true, false},    {"i", kHtmlItalic, false, false},
    {"p", kHtmlParagraph, false, true},      {"strong", kHtmlBold, false, false}, {"sub", kHtmlSubscript, false, false},
    {"sup", kHtmlSuperscript, false, false}, {"u", kHtmlUnderline, false, false},
};
constexpr int kTagRows = static_cast<int>(std::size(kTags));

char Lower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

// Case-insensitive comparison of the first n bytes of text (available bytes readable) with an ASCII
// word; running out of text is a mismatch.
bool StartsWithNoCase(const char* text, int available, const char* word, int n) {
    if (available < n)
        return false;
    for (int i = 0; i < n; ++i) {
        if (Lower(text[i]) != word[i])
            return false;
    }
    return true;
}

int HexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return 0;
}

struct ColorStack {
    TextColor colors[8] = {};
    int top = 0;
};

ColorStack& TheColorStack() {
    static ColorStack stack;
    return stack;
}

constexpr int kColorStackSize = 8;

struct CharReference {
    std::string_view name;
    char c;
};

constexpr CharReference kReferences[] = {{"&lt;", '<'}, {"&gt;", '>'}, {"&amp;", '&'}, {"&quot;", '"'}};

// Appends html with the four references decoded. '&' is never the trail byte of a 949 character,
// so a byte scan cannot start a reference inside one.
void AppendUnescaped(std::string& out, std::string_view html) {
    size_t pos = 0;
    for (;;) {
        const size_t amp = html.find('&', pos);
        if (amp == std::string_view::npos)
            break;
        out.append(html.substr(pos, amp - pos));
        pos = amp + 1;
        char c = '&';
        for (const CharReference& ref : kReferences) {
            if (html.substr(amp, ref.name.size()) == ref.name) {
                c = ref.c;
                pos = amp + ref.name.size();
                break;
            }
        }
        out.push_back(c);
    }
    out.append(html.substr(pos));
}

} // namespace

std::string EscapeHtmlText(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        default:
            out.push_back(c);
            break;
        }
    }
    return out;
}

std::string UnescapeHtmlText(std::string_view html) {
    std::string out;
    out.reserve(html.size());
    AppendUnescaped(out, html);
    return out;
}

bool IsHtmlBlank(unsigned char c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}

int NextHtmlToken(const char*& cursor, int& remaining, int& length, int* pendingBlank) {
    length = 0;
    int oldPending = 0;
    if (pendingBlank != nullptr) {
        oldPending = *pendingBlank;
        const bool bBlankHere = remaining > 0 && IsHtmlBlank(static_cast<unsigned char>(*cursor));
        *pendingBlank = (oldPending == 1 || bBlankHere) ? 1 : 0;
    }
    while (remaining > 0 && IsHtmlBlank(static_cast<unsigned char>(*cursor))) {
        ++cursor;
        --remaining;
    }
    if (remaining <= 0)
        return kHtmlEnd;

    const char* p = cursor;
    int len = 0;
    int row = 0;
    bool bClosing = false;
    if (p[0] == '<') {
        len = 1;
        if (len < remaining && p[len] == '/') {
            ++len;
            bClosing = true;
        }
        const int nameStart = len;
        while (len < remaining && !IsHtmlBlank(static_cast<unsigned char>(p[len])) && p[len] != '<' && p[len] != '>')
            ++len;
        // Only the table name's length is compared: "<bogus>" is bold, "<pre>" a paragraph.
        for (int r = kTagRows - 1; r >= 1; --r) {
            const int n = static_cast<int>(std::strlen(kTags[r].name));
            if (StartsWithNoCase(p + nameStart, remaining - nameStart, kTags[r].name, n)) {
                row = r;
                break;
            }
        }
        if (row != 0) {
            if (kTags[row].bAttributes && !bClosing) {
                while (len < remaining && p[len] != '>' && p[len] != '<')
                    ++len;
            } else if (len >= remaining || p[len] != '>') {
                row = 0;
            }
            if (pendingBlank != nullptr && kTags[row].bBlock)
                *pendingBlank = 0;
        }
        if (len < remaining && p[len] == '>')
            ++len;
        if (row != 0 && (kTags[row].bBlock || oldPending == 1)) {
            while (len < remaining && IsHtmlBlank(static_cast<unsigned char>(p[len])))
                ++len;
        }
    } else {
        while (len < remaining && !IsHtmlBlank(static_cast<unsigned char>(p[len])) && p[len] != '<')
            ++len;
    }
    length = len;
    remaining -= len;
    return kTags[row].code + (bClosing ? kHtmlClosing : 0);
}

TextColor ParseHtmlColor(const char* text, int available) {
    int pos = 0;
    auto at = [&](int i) -> char { return (text != nullptr && i < available) ? text[i] : '\0'; };
    if (at(pos) == '\'' || at(pos) == '"')
        ++pos;
    if (at(pos) == '#')
        ++pos;
    int value[3];
    for (int& v : value) {
        v = HexValue(at(pos)) * 16 + HexValue(at(pos + 1));
        pos += 2;
    }
    return MakeTextColor(value[0], value[1], value[2]);
}

bool PushTextColor(TextSurface& surface, TextColor color) {
    ColorStack& stack = TheColorStack();
    const bool bStored = stack.top < kColorStackSize;
    if (bStored)
        stack.colors[stack.top++] = surface.GetTextColor();
    surface.SetTextColor(color);
    return bStored;
}

bool PopTextColor(TextSurface& surface) {
    ColorStack& stack = TheColorStack();
    if (stack.top <= 0) {
        surface.SetTextColor(stack.colors[0]);
        return false;
    }
    surface.SetTextColor(stack.colors[--stack.top]);
    return true;
}

void ResetTextColorStack(TextColor bottom) {
    ColorStack& stack = TheColorStack();
    stack.top = 0;
    stack.colors[0] = bottom;
}

int StyledFontHeight(int baseHeight, unsigned style) {
    if (style & (kStyleSuperscript | kStyleSubscript))
        return baseHeight * 7 / 10;
    return baseHeight;
}

int StyledFontWeight(unsigned style) {
    return (style & kStyleBold) ? 700 : 400;
}

namespace {

// One call of the renderer: the walk over the tokens with the pen position.
class CHtmlRun {
public:
    CHtmlRun(TextSurface& surface, const char* text, int length, unsigned format,
             std::vector<HtmlUnderlinedWord>* underlined)
        : m_surface(surface), m_pText(text), m_nLength(length), m_nFormat(format), m_pUnderlined(underlined) {}

    int Run(int left, int top, int lineWidth);
    int Widest() const { return m_nWidest; }
    int LineHeight() const { return m_nLineHeight; }

private:
    void OnTag(int token, const char* start);
    void OnWord(const char* start, int length);

    TextSurface& m_surface;
    const char* m_pText;
    int m_nLength;
    unsigned m_nFormat;
    std::vector<HtmlUnderlinedWord>* m_pUnderlined;
    int m_nUnderlineRuns = 0;
    int m_nLeft = 0;
    int m_nTop = 0;
    int m_nLineWidth = 0;
    int m_nLineHeight = 0;
    int m_x = 0;
    int m_y = 0;
    int m_nWidest = 0;
    unsigned m_nStyle = 0;
    int m_nSelectedStyle = -1;
    int m_nSpaceWidth = 0;
    int m_nPendingBlank = 0;
    // A word with its references decoded, kept to spare an allocation per word.
    std::string m_strDecoded;
};

int CHtmlRun::Run(int left, int top, int lineWidth) {
    m_nLeft = left;
    m_nTop = top;
    m_nLineWidth = std::max(lineWidth, 0);
    m_nLineHeight = m_surface.TextHeight(kLineHeightSample) + 3;
    ResetTextColorStack(m_surface.GetTextColor());

    const char* cursor = m_pText;
    int remaining = m_nLength;
    for (;;) {
        int length = 0;
        const int token = NextHtmlToken(cursor, remaining, length, &m_nPendingBlank);
        if (token == kHtmlEnd)
            break;
        if (token == kHtmlText)
            OnWord(cursor, length);
        else
            OnTag(token, cursor);
        cursor += length;
    }
    return m_y;
}

void CHtmlRun::OnTag(int token, const char* start) {
    const bool bClosing = (token & kHtmlClosing) != 0;
    const bool bSingleLine = (m_nFormat & kDtSingleLine) != 0;
    unsigned bit = 0;
    switch (token & ~kHtmlClosing) {
    case kHtmlBold:
        bit = kStyleBold;
        break;
    case kHtmlItalic:
        bit = kStyleItalic;
        break;
    case kHtmlUnderline:
        bit = kStyleUnderline;
        break;
    case kHtmlSuperscript:
        bit = kStyleSuperscript;
        break;
    case kHtmlSubscript:
        bit = kStyleSubscript;
        break;
    case kHtmlBreak:
        if (!bClosing && !bSingleLine) {
            m_y += m_nLineHeight;
            m_x = 0;
        }
        return;
    case kHtmlParagraph:
        if (!bClosing && !bSingleLine) {
            // No gap before a paragraph that opens the text.
            if (start != m_pText)
                m_y += m_nLineHeight * 3 / 2;
            m_x = 0;
        }
        return;
    case kHtmlFont:
        if (bClosing) {
            PopTextColor(m_surface);
        } else {
            // The attribute test is positional: "color=" must start one byte after "<font", and
            // may even lie in the text after the tag.
            const int available = m_nLength - static_cast<int>(start - m_pText);
            if (StartsWithNoCase(start + std::min(available, 6), available - 6, "color=", 6)) {
                PushTextColor(m_surface, ParseHtmlColor(available > 12 ? start + 12 : nullptr, available - 12));
            }
        }
        return;
    default:
        return; // an unknown closing tag
    }
    if (bClosing) {
        m_nStyle &= ~bit;
    } else {
        m_nStyle |= bit;
        if (bit == kStyleUnderline)
            ++m_nUnderlineRuns;
    }
}

void CHtmlRun::OnWord(const char* start, int length) {
    if (static_cast<int>(m_nStyle) != m_nSelectedStyle) {
        m_surface.SelectStyle(m_nStyle);
        m_nSelectedStyle = static_cast<int>(m_nStyle);
        m_nSpaceWidth = m_surface.TextWidth(" ");
    }
    std::string_view word(start, static_cast<size_t>(length));
    if (word.find('&') != std::string_view::npos) {
        m_strDecoded.clear();
        AppendUnescaped(m_strDecoded, word);
        word = m_strDecoded;
    }
    const int w = m_surface.TextWidth(word);
    if (w > m_nLineWidth)
        m_nLineWidth = w;
    if (m_nPendingBlank == 1)
        m_x += m_nSpaceWidth;
    if (m_x + w > m_nLineWidth && m_nPendingBlank == 1) {
        if (m_nFormat & kDtWordBreak) {
            m_y += m_nLineHeight;
            m_x = 0;
        } else {
            m_nLineWidth = m_x + w;
        }
    }
    if (!(m_nFormat & kDtCalcRect)) {
        TextRect box{m_nLeft + m_x, m_nTop + m_y, m_nLeft + m_nLineWidth, m_nTop + m_y + m_nLineHeight};
        const unsigned format = m_nFormat | ((m_nStyle & kStyleSubscript) ? (kDtBottom | kDtSingleLine) : 0u);
        m_surface.DrawText(word, box, format);
        if (m_nPendingBlank == 1 && (m_nStyle & kStyleUnderline) && m_x >= m_nSpaceWidth) {
            // The underline runs on under the blank between two underlined words. Above the origin
            // the gap box is mirrored, as it always was.
            TextRect gap{m_nLeft + m_x - m_nSpaceWidth, m_nTop + m_y, m_nLeft + m_x, m_nTop + m_y + m_nLineHeight};
            if (m_nTop < 0) {
                gap.top = m_nTop - m_y;
                gap.bottom = m_nTop - m_y - m_nLineHeight;
            }
            m_surface.DrawText(" ", gap, m_nFormat);
        }
    }
    if (m_pUnderlined != nullptr && (m_nStyle & kStyleUnderline) && m_nUnderlineRuns > 0) {
        const int gap = (m_nPendingBlank == 1 && m_x >= m_nSpaceWidth) ? m_nSpaceWidth : 0;
        m_pUnderlined->push_back(
            {m_nUnderlineRuns - 1,
             {m_nLeft + m_x - gap, m_nTop + m_y, m_nLeft + m_x + w, m_nTop + m_y + m_nLineHeight}});
    }
    m_x += w;
    m_nWidest = std::max(m_nWidest, m_x);
    m_nPendingBlank = 0;
}

int RunHtml(TextSurface* surface, const char* text, int length, TextRect* rect, unsigned format,
            std::vector<HtmlUnderlinedWord>* underlined) {
    if (surface == nullptr || text == nullptr)
        return 0;
    if (length < 0)
        length = static_cast<int>(std::min<size_t>(std::strlen(text), 0x7FFFFFFF));
    format = (format & ~(kDtCenter | kDtRight | kDtTabStop)) | kDtNoPrefix;

    surface->SaveState();
    int left = 0;
    int top = 0;
    int lineWidth = 0;
    if (rect != nullptr) {
        left = rect->left;
        top = rect->top;
        lineWidth = rect->right - rect->left;
    } else {
        const TextPoint start = surface->CurrentPosition();
        left = start.x;
        top = start.y;
        lineWidth = surface->HorizontalResolution() - start.x;
    }
    CHtmlRun run(*surface, text, length, format, underlined);
    const int y = run.Run(left, top, lineWidth);
    surface->RestoreState();

    if ((format & kDtCalcRect) && rect != nullptr) {
        rect->right = rect->left + run.Widest();
        if (top < 0)
            rect->bottom = top - (y + run.LineHeight());
        else
            rect->bottom = top + y + run.LineHeight();
    }
    return y;
}

} // namespace

int HtmlDrawText(TextSurface* surface, const char* text, int length, TextRect* rect, unsigned format) {
    return RunHtml(surface, text, length, rect, format, nullptr);
}

std::string HtmlLinkMarkup(std::string_view escapedText) {
    constexpr char kDigits[] = "0123456789ABCDEF";
    std::string out = "<font color=#";
    for (int shift = 0; shift < 24; shift += 8) {
        const unsigned byte = (kHtmlLinkColor >> shift) & 0xFF;
        out += kDigits[byte >> 4];
        out += kDigits[byte & 0xF];
    }
    out += "><u>";
    out.append(escapedText);
    out += "</u></font>";
    return out;
}

std::vector<HtmlUnderlinedWord> HtmlUnderlinedWords(TextSurface& surface, std::string_view text, const TextRect& rect,
                                                    unsigned format) {
    std::vector<HtmlUnderlinedWord> words;
    TextRect box = rect;
    RunHtml(&surface, text.data(), static_cast<int>(std::min<size_t>(text.size(), 0x7FFFFFFF)), &box,
            format | kDtCalcRect, &words);
    return words;
}

} // namespace dravel
