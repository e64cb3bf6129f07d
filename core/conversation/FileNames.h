#pragma once

#include "core/conversation/TextRules.h"

#include <optional>
#include <string>
#include <string_view>

namespace dravel {

// The server keeps a file under its name plus ".yyyyMMddHHmm" of the time it was offered.
std::string FileKey(std::string_view name, const CLocalTime& t);

// What a click on a file item asks the server for.
struct CFileRequest {
    std::string strKey;
    bool bIncoming = false; // a file the peer offered; false for one the local user sent
};

// Reads a file item's HTML back into the file key: the name after "File_" (peer's offer) or "Send_" (own
// upload) up to "</b>" (bNameWrapped: an upload made here, whose name was wrapped for display and is
// unwrapped again; a name from the history was never wrapped and is taken as it stands), trailing blanks removed, and the item's closing time string with its 12-hour
// clock turned into 24-hour time. Only the bold name of a file item counts, so a message that merely
// mentions "File_" asks for nothing. Anything else, or a damaged time, gives no request.
std::optional<CFileRequest> FileRequestFromItem(std::string_view itemHtml, bool bNameWrapped = false);

// The documents-folder name for an offered file: the offer minus its stamp suffix (the last "." and
// what follows), cut to a single ordinary file name: no folders, drive or stream part, no trailing dots
// or blanks, characters that cannot appear in a name made "_". Refuses (no value) an offer without a
// stamp suffix, one that leaves nothing, and device names such as CON, NUL, COM1 or COM with a superscript
// digit, which would not be files at all.
std::optional<std::string> ReceivedFileName(std::string_view offeredName);

// Name the existing file of the same name is moved to before a download: "a.txt" becomes
// "a-bak yyMMddHHmmss.txt" with the local time; a name without "." just gets the suffix.
std::string BackupFileName(std::string_view name, const CLocalTime& now);

// The types a received file may be opened as once it is downloaded: documents, spreadsheets,
// presentations, the Korean word processor's files, PDF, text, CSV, images and archives. Every other
// type is only saved. Case and trailing dots or blanks do not matter.
bool IsOpenableFileType(std::string_view name);

// Files whose icon or target Explorer follows as soon as it shows them (shortcuts, desktop.ini and other
// .ini files, search and library descriptions, themes): shown from a path the sender chose, they hand
// the user's network credentials to whoever named it. A received one is kept as text.
bool IsLinkFileType(std::string_view name);

// The name cut to at most nMaxChars characters (a path's length counts characters, a double-byte one
// as one) by shortening its stem, never inside a character, keeping its type (the last "." and what
// follows). No value when even the type alone would not fit or the cut leaves no plain name.
std::optional<std::string> ShortenFileName(std::string_view name, size_t nMaxChars);

// True for one name part that the file system takes as an ordinary name in the same folder: not empty,
// no separators, drive or stream marks, wildcards or control bytes, no trailing dot or blank, no "." or
// "..", no device name.
bool IsPlainFileName(std::string_view name);

} // namespace dravel
