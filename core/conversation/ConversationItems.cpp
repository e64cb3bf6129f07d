#include "core/conversation/ConversationItems.h"

#include "core/conversation/TextRules.h"
#include "core/portal/PageOrigin.h"
#include "core/ui/HtmlLayout.h"

#include <initializer_list>

namespace dravel {

namespace {

std::string Join(std::initializer_list<std::string_view> parts) {
    size_t size = 0;
    for (std::string_view p : parts)
        size += p.size();
    std::string out;
    out.reserve(size);
    for (std::string_view p : parts)
        out.append(p);
    return out;
}

// Names, texts and times come from the server or a peer: they are drawn as text, never as markup.
std::string T(std::string_view text) {
    return EscapeHtmlText(text);
}

// A log line is one line whatever the text holds: control bytes (never part of a two-byte character)
// become blanks.
std::string OneLine(std::string_view text) {
    std::string out(text);
    for (char& c : out) {
        const auto b = static_cast<unsigned char>(c);
        if (b < 0x20 || b == 0x7F)
            c = ' ';
    }
    return out;
}

bool IsAsciiAlnum(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
    if (text.size() < prefix.size())
        return false;
    for (size_t i = 0; i < prefix.size(); ++i) {
        const char c = text[i];
        if ((c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c) != prefix[i])
            return false;
    }
    return true;
}

// Where an address that starts at the text's first byte ends.
size_t AddressEnd(std::string_view text) {
    size_t end = 0;
    while (end < text.size()) {
        const auto b = static_cast<unsigned char>(text[end]);
        if (b <= 0x20 || b >= 0x7F || b == '"' || b == '\'' || b == '<' || b == '>')
            break;
        ++end;
    }
    while (end > 0 && std::string_view(".,;:!?)").find(text[end - 1]) != std::string_view::npos)
        --end;
    return end;
}

} // namespace

std::vector<CTextRange> FindWebAddresses(std::string_view text) {
    std::vector<CTextRange> found;
    bool bAfterAlnum = false;
    for (size_t i = 0; i < text.size();) {
        const std::string_view rest = text.substr(i);
        if (!bAfterAlnum && (StartsWithNoCase(rest, "http://") || StartsWithNoCase(rest, "https://"))) {
            const size_t length = AddressEnd(rest);
            if (IsOutsideAddressSafe(rest.substr(0, length))) {
                found.push_back({i, length});
                i += length;
                continue;
            }
        }
        // Double-byte characters are stepped over whole, as the wrapping does: a trail byte may look
        // like a letter.
        bAfterAlnum = IsAsciiAlnum(text[i]);
        i += static_cast<unsigned char>(text[i]) >= 0x80 ? 2 : 1;
    }
    return found;
}

CMessageBody MessageBody(std::string_view text) {
    // Wrapping only puts blanks in: the text's bytes stay in order, so the walk below finds each address
    // in the wrapped text, with the blanks wrapping put into it.
    const std::string wrapped = WrapText(text);
    CMessageBody body;
    size_t i = 0; // in text
    size_t j = 0; // in wrapped
    const auto advanceTo = [&](size_t to) {
        while (i < to && j < wrapped.size()) {
            if (wrapped[j] == text[i])
                ++i;
            ++j;
        }
    };
    size_t shown = 0;
    for (const CTextRange& link : FindWebAddresses(text)) {
        advanceTo(link.nStart);
        while (j < wrapped.size() && wrapped[j] != text[link.nStart])
            ++j;
        body.strHtml += T(std::string_view(wrapped).substr(shown, j - shown));
        shown = j;
        advanceTo(link.nStart + link.nLength);
        body.strHtml += HtmlLinkMarkup(T(std::string_view(wrapped).substr(shown, j - shown)));
        shown = j;
        body.links.emplace_back(text.substr(link.nStart, link.nLength));
    }
    body.strHtml += T(std::string_view(wrapped).substr(shown));
    return body;
}

std::string IncomingMessageItem(std::string_view sender, const CMessageBody& body, std::string_view time) {
    return Join({"<font color=#0000ff>", T(sender), "<p><b>", body.strHtml, "</b><p>", T(time), "</font>"});
}

std::string IncomingFileItem(std::string_view sender, std::string_view fileText, std::string_view time) {
    return Join({"<font color=#0000ff>", T(sender), "<p></font><font color=#ff0000><b>", T(fileText),
                 "</b><p></font><font color=#0000ff>", T(time), "</font>"});
}

std::string OwnMessageItem(const CMessageBody& body, std::string_view time) {
    return Join({"<strong>", body.strHtml, "</strong><p>", T(time)});
}

std::string UnsentMessageItem(const CMessageBody& body, std::string_view time, std::string_view unsentText) {
    return Join({"<strong>", body.strHtml, "</strong><p>", T(time), "<br><font color=#ff0000>", unsentText, "</font>"});
}

std::string OwnFileItem(std::string_view displayName, std::string_view time) {
    return Join({"<font color=#ff000f><b>", T(displayName), "</b></font><p>", T(time)});
}

std::string SentFileItem(std::string_view displayName, std::string_view time) {
    return Join({"<font color=#ff000f><b>Send_", T(displayName), "</b></font><p>", T(time)});
}

std::string NoticeItem(std::string_view wrappedText) {
    return Join({"<font color=#ff0000>", T(wrappedText), "</font>"});
}

std::string LogLine(LogKind kind, std::string_view time, std::string_view text) {
    const char mark[] = {static_cast<char>(kind), ' ', '\0'};
    return Join({mark, OneLine(time), " ", OneLine(text), "\n"});
}

std::string SentFileLogLine(std::string_view time, std::string_view fullPath) {
    return Join({"S ", OneLine(time), " Send_", OneLine(fullPath), "\n"});
}

} // namespace dravel
