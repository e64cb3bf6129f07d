#include "core/conversation/ConversationItems.h"

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

} // namespace

std::string IncomingMessageItem(std::string_view sender, std::string_view wrappedText, std::string_view time) {
    return Join({"<font color=#0000ff>", T(sender), "<p><b>", T(wrappedText), "</b><p>", T(time), "</font>"});
}

std::string IncomingFileItem(std::string_view sender, std::string_view fileText, std::string_view time) {
    return Join({"<font color=#0000ff>", T(sender), "<p></font><font color=#ff0000><b>", T(fileText),
                 "</b><p></font><font color=#0000ff>", T(time), "</font>"});
}

std::string OwnMessageItem(std::string_view wrappedText, std::string_view time) {
    return Join({"<strong>", T(wrappedText), "</strong><p>", T(time)});
}

std::string UnsentMessageItem(std::string_view wrappedText, std::string_view time, std::string_view unsentText) {
    return Join(
        {"<strong>", T(wrappedText), "</strong><p>", T(time), "<br><font color=#ff0000>", unsentText, "</font>"});
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
