#pragma once

// What happens to a download before and after it runs: where it may go, what becomes of a file of the
// same name already there, and whether the received file is opened.

#include "core/conversation/TextRules.h"

#include <functional>
#include <string>
#include <string_view>

namespace dravel {

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
};

// The plan for an offered name (ReceivedFileName gives the name in the folder); lookUp tells what the
// folder holds under that name and is asked only once the folder and the name are good.
CReceivePlan PlanReceivedFile(bool bFolderUsable, std::string_view offeredName,
                              const std::function<ExistingEntry(const std::string& name)>& lookUp,
                              const CLocalTime& now);

enum class AfterDownload { Nothing, Open, ShowInFolder };

// A complete download is opened only when the user asked for it, and a file the system would run is
// shown in its folder instead (bSystemSaysDangerous: the system's own verdict on the type, where it has one).
AfterDownload AfterCompleteDownload(bool bOpenAsked, std::string_view name, bool bSystemSaysDangerous);

} // namespace dravel
