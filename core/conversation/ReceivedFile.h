#pragma once

// What happens to a download before and after it runs: where it may go, what becomes of a file of the
// same name already there, and whether the received file is opened.

#include "core/conversation/TextRules.h"

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

namespace dravel {

// The longest path the platform's file functions take: MAX_PATH less its terminating null.
inline constexpr size_t kMaxPathChars = 259;

// What the download folder holds under the received file's name.
enum class ExistingEntry { None, File, Folder };

enum class ReceiveStep {
    NoFolder,     // no documents folder, or it is the program's own folder: nothing is downloaded
    BadName,      // the offered name is no plain file name: nothing is downloaded
    CannotMove,   // a folder of that name is in the way: nothing is downloaded
    Download,     // nothing is in the way
    MoveThenLoad, // the existing file is moved to strBackupName first; if that fails, nothing is downloaded
};

struct CReceivePlan {
    ReceiveStep step = ReceiveStep::NoFolder;
    std::string strName;       // the file's name in the folder (Download, MoveThenLoad, CannotMove)
    std::string strBackupName; // MoveThenLoad only
    bool bKeptAsText = false;  // a link type (IsLinkFileType), saved under its name plus ".txt"
};

// The plan for an offered name (ReceivedFileName gives the name in the folder, a link type gets ".txt"
// appended); nFolderChars is the length of the folder's path without a trailing separator, and a name
// that would make the path longer than the platform takes, or its backup's, is shortened keeping its
// type. lookUp tells what the folder holds under that name and is asked only once the folder and the
// name are good.
CReceivePlan PlanReceivedFile(bool bFolderUsable, size_t nFolderChars, std::string_view offeredName,
                              const std::function<ExistingEntry(const std::string& name)>& lookUp,
                              const CLocalTime& now);

enum class AfterDownload {
    Nothing,
    Open,
    ShowInFolder, // selected in its folder, never run
    KeptAsText,   // neither opened nor shown: the user is told it was saved as text
};

// A complete download is opened only when the user asked for it, and only as one of the types that may
// be opened (IsOpenableFileType) that the system does not call dangerous (bSystemSaysDangerous, where it
// has a verdict); another type is shown in its folder instead, and a link type not even that.
AfterDownload AfterCompleteDownload(bool bOpenAsked, const CReceivePlan& plan, bool bSystemSaysDangerous);

} // namespace dravel
