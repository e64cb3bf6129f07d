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
// upload) up to "</b>", trailing blanks removed, and the item's closing time string with its 12-hour
// clock turned into 24-hour time. Only the bold name of a file item counts, so a message that merely
// mentions "File_" asks for nothing. Anything else, or a damaged time, gives no request.
std::optional<CFileRequest> FileRequestFromItem(std::string_view itemHtml);

// The documents-folder name for an offered file: the offer minus its stamp suffix (the last "." and
// what follows), cut to a single ordinary file name: no folders, drive or stream part, no trailing dots
// or blanks, characters that cannot appear in a name made "_". Refuses (no value) an offer without a
// stamp suffix, one that leaves nothing, and device names such as CON, NUL or COM1, which would not be
// files at all.
std::optional<std::string> ReceivedFileName(std::string_view offeredName);

// Name the existing file of the same name is moved to before a download: "a.txt" becomes
// "a-bak yyMMddHHmmss.txt" with the local time; a name without "." just gets the suffix.
std::string BackupFileName(std::string_view name, const CLocalTime& now);

// A file that Windows would run, install or follow rather than show when it is opened (programs,
// scripts, shortcuts, installers, registry files, help and web documents that can run script). A
// received file of such a type is never opened by the program. Case and trailing dots or blanks do not
// matter.
bool IsDangerousFileName(std::string_view name);

// True for one name part that the file system takes as an ordinary name in the same folder: not empty,
// no separators, drive or stream marks, wildcards or control bytes, no trailing dot or blank, no "." or
// "..", no device name.
bool IsPlainFileName(std::string_view name);

} // namespace dravel
