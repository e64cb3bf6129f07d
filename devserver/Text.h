#pragma once

#include <cstdint>
#include <ctime>
#include <string>
#include <string_view>
#include <vector>

#include "core/protocol/TextConverter.h"

namespace dravel::devserver {

// UTF-16 texts from the wire, turned into code page 949 with the system's converter (iconv, or the
// code page functions of Windows).
class CSystemTextConverter final : public TextConverter {
public:
    std::string Utf16ToLocal(std::u16string_view units) const override;
};

// Wire texts are code page 949; the console, the control port, the transcript and the web pages are
// UTF-8. Bytes that do not convert become '?' (to 949) or U+FFFD (to UTF-8): never an exception.
std::string Utf8ToCp949(std::string_view utf8);
std::string Cp949ToUtf8(std::string_view cp949);
// Shorthand for the server's own Korean texts, written as UTF-8 in the source.
inline std::string K(std::string_view utf8) {
    return Utf8ToCp949(utf8);
}

// "%Y-%m-%d %p %I:%M:%S" in the C locale (AM/PM), local time: the form the client shows and parses.
std::string HistoryTime(std::time_t t);
// The 14-digit offer stamp: year, month, day, hour (24 h), minute, second, local time.
std::string Stamp14(std::time_t t);
// The local time a 14-digit stamp stands for; -1 when the stamp is not 14 digits.
std::time_t StampToTime(std::string_view stamp);

// One "|"-terminated history field in double quotes, inner quotes doubled. The client ends a history
// field at any bar, quoted or not, so a bar in the text becomes the full-width bar of code page 949.
void AppendHistoryField(std::string& out, std::string_view field);

// One "|"-terminated list field in double quotes. The client keeps bars inside quotes but looks for a
// doubled quote anywhere in the rest of the text, which would shift every later field: a quote in a
// name becomes the full-width quote of code page 949, and an empty field is left unquoted.
void AppendListField(std::string& out, std::string_view field);

struct HistoryEntry {
    bool bOwn = false; // sent by the user who asked
    std::string strText;
    std::time_t time = 0;
};
// The text of a history reply: marker (">" own, "<" the peer's), text, time string per entry.
std::string BuildHistoryText(const std::vector<HistoryEntry>& entries);

struct ListEntry {
    std::string strId;
    std::string strName;
    bool bOnline = false;
};
// The text of a collected user list: login ID, state (1 on line, 0 off line), display name per user.
std::string BuildCollectedList(const std::vector<ListEntry>& entries);

// "name: text" as the client sends a private message or a file offer: the part after the prefix.
// The prefix is the addressee's display name when it matches, otherwise everything up to the first ": ".
std::string StripNamePrefix(std::string_view text, std::string_view name);

// The file name of a client path (after the last backslash or slash).
std::string BaseName(std::string_view path);

// Escapes a byte string for a JSON string literal (UTF-8 expected; control bytes escaped).
std::string JsonEscape(std::string_view text);

} // namespace dravel::devserver
