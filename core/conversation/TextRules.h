#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace dravel {

// Every text here is code page 949 bytes.

// A run of this many bytes without a blank gets a blank after it, so the bubble can break the line.
inline constexpr size_t kWrapRun = 26;

// Inserts a blank after every run of 26 bytes that holds no blank; a two-byte character is never cut.
// Here any byte with the high bit set starts a two-byte character.
// Works on any length: the output is sized from the input.
std::string WrapText(std::string_view text);

// Takes out exactly the blanks that WrapText put in (it walks the same runs), so a wrapped name can be
// read back. A blank the text already had right after a full run would be taken for an inserted one.
std::string UnwrapText(std::string_view wrapped);

// ":" and "|" cannot be sent: the server uses them as field separators.
bool HasForbiddenChars(std::string_view text);

// Local time, broken down; the program never needs more than seconds.
struct CLocalTime {
    int nYear = 1970;
    int nMonth = 1;
    int nDay = 1;
    int nHour = 0;
    int nMinute = 0;
    int nSecond = 0;
};

// "%Y-%m-%d %p %I:%M:%S" (received items, logs) or, with bSent, "%Y/%m/%d %p %I:%M:%S" (items the user
// sends). %p is AM or PM whatever the user's locale.
std::string FormatItemTime(const CLocalTime& t, bool bSent);

// A file stamp of 14 digits, yyyyMMddHHmmss in 24-hour time. Returns false for anything else.
bool ParseFileStamp(std::string_view stamp, CLocalTime& t);

// A text that carries its own time after the first "|" (history entries, "text|time"): the text before it
// and the time string after it. Without "|" the time string is the fallback, unchanged.
struct CTimedText {
    std::string strText;
    std::string strTime;
};
CTimedText SplitTimedText(std::string_view text, std::string_view fallbackTime);

// Texts beginning with this are file offers.
inline constexpr std::string_view kFilePrefix = "File_";
inline constexpr std::string_view kSentPrefix = "Send_";
bool IsFileText(std::string_view text);

// Every occurrence of what replaced by with.
std::string ReplaceAll(std::string_view text, std::string_view what, std::string_view with);

// The part of a path after its last folder separator ("\" or "/").
std::string_view LastPathComponent(std::string_view path);

} // namespace dravel
