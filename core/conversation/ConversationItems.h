#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace dravel {

// The HTML of the history list's items and the conversation log's lines. Message texts are wrapped for
// display here (MessageBody), other texts by the callers; never for the log. Callers pick the time
// string. Names, texts and times are escaped here: only the program's own markup styles an item,
// whatever a peer typed. A log line is always one line: control bytes in its time or text are written
// as blanks.

// Where http and https addresses lie in a text, in order. An address starts with "http://" or
// "https://" (any case) that no ASCII letter or digit comes right before, runs up to the first blank,
// control byte, quote, '<', '>' or double-byte character, and leaves out the punctuation that ends a
// sentence around it (".,;:!?)"). Only what the default browser may be given counts
// (IsOutsideAddressSafe).
struct CTextRange {
    size_t nStart = 0;
    size_t nLength = 0;
    friend bool operator==(const CTextRange&, const CTextRange&) = default;
};
std::vector<CTextRange> FindWebAddresses(std::string_view text);

// A message text as an item shows it: wrapped, escaped, every web address in it a link
// (HtmlLinkMarkup). links holds the addresses as the text has them: the n-th is the item's n-th link.
struct CMessageBody {
    std::string strHtml;
    std::vector<std::string> links;
};
CMessageBody MessageBody(std::string_view text);

// A peer's message: sender, text and time in one blue block.
std::string IncomingMessageItem(std::string_view sender, const CMessageBody& body, std::string_view time);
// A peer's file offer: the sender, the offer text ("File_...") in red bold, the time.
std::string IncomingFileItem(std::string_view sender, std::string_view fileText, std::string_view time);
// The local user's own message, sent now or from the history.
std::string OwnMessageItem(const CMessageBody& body, std::string_view time);
// A message the user typed that did not go out: `unsentText` under it in red says so.
std::string UnsentMessageItem(const CMessageBody& body, std::string_view time, std::string_view unsentText);
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
