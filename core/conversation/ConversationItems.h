#pragma once

#include <string>
#include <string_view>

namespace dravel {

// The HTML of the history list's items and the conversation log's lines. Callers wrap message texts for
// display (never for the log) and pick the time string. Names, texts and times are escaped here: only
// the program's own markup styles an item, whatever a peer typed. A log line is always one line: control
// bytes in its time or text are written as blanks.

// A peer's message: sender, wrapped text and time in one blue block.
std::string IncomingMessageItem(std::string_view sender, std::string_view wrappedText, std::string_view time);
// A peer's file offer: the sender, the offer text ("File_...") in red bold, the time.
std::string IncomingFileItem(std::string_view sender, std::string_view fileText, std::string_view time);
// The local user's own message, sent now or from the history.
std::string OwnMessageItem(std::string_view wrappedText, std::string_view time);
// A message the user typed that did not go out: `unsentText` under it in red says so.
std::string UnsentMessageItem(std::string_view wrappedText, std::string_view time, std::string_view unsentText);
// An own file from the history: displayName already carries "Send_".
std::string OwnFileItem(std::string_view displayName, std::string_view time);
// An upload that just finished: "Send_" is put before the name here.
std::string SentFileItem(std::string_view displayName, std::string_view time);
// A red notice from the server; never logged.
std::string NoticeItem(std::string_view wrappedText);

// One log line, ended by "\n" (the file writes it as CR LF).
enum class LogKind : char {
    Incoming = '>',     // a peer's message
    IncomingFile = 'F', // a peer's file offer, text as received
    Own = '.',          // a message of the local user
    OwnFile = 'S',      // a file of the local user
};
std::string LogLine(LogKind kind, std::string_view time, std::string_view text);
// "S <time> Send_<full path>": an upload that just finished.
std::string SentFileLogLine(std::string_view time, std::string_view fullPath);

} // namespace dravel
