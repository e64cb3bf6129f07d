#include "conversation/ConversationItems.h"

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

} // namespace

std::string IncomingMessageItem(std::string_view sender, std::string_view wrappedText, std::string_view time) {
    return Join({"<font color=#0000ff>", sender, "<p><b>", wrappedText, "</b><p>", time, "</font>"});
}

std::string IncomingFileItem(std::string_view sender, std::string_view fileText, std::string_view time) {
    return Join({"<font color=#0000ff>", sender, "<p></font><font color=#ff0000><b>", fileText,
                 "</b><p></font><font color=#0000ff>", time, "</font>"});
}

std::string OwnMessageItem(std::string_view wrappedText, std::string_view time) {
    return Join({"<strong>", wrappedText, "</strong><p>", time});
}

std::string OwnFileItem(std::string_view displayName, std::string_view time) {
    return Join({"<font color=#ff000f><b>", displayName, "</b></font><p>", time});
}

std::string SentFileItem(std::string_view displayName, std::string_view time) {
    return Join({"<font color=#ff000f><b>Send_", displayName, "</b></font><p>", time});
}

std::string NoticeItem(std::string_view wrappedText) {
    return Join({"<font color=#ff0000>", wrappedText, "</font>"});
}

std::string LogLine(LogKind kind, std::string_view time, std::string_view text) {
    const char mark[] = {static_cast<char>(kind), ' ', '\0'};
    return Join({mark, time, " ", text, "\n"});
}

std::string SentFileLogLine(std::string_view time, std::string_view fullPath) {
    return Join({"S ", time, " Send_", fullPath, "\n"});
}

} // namespace dravel
