#include "core/conversation/ReceivedFile.h"

#include "core/conversation/FileNames.h"

#include <optional>

namespace dravel {

CReceivePlan PlanReceivedFile(bool bFolderUsable, std::string_view offeredName,
                              const std::function<ExistingEntry(const std::string& name)>& lookUp,
                              const CLocalTime& now) {
    CReceivePlan plan;
    if (!bFolderUsable)
        return plan;
    const std::optional<std::string> name = ReceivedFileName(offeredName);
    if (!name) {
        plan.step = ReceiveStep::BadName;
        return plan;
    }
    plan.strName = *name;
    switch (lookUp(plan.strName)) {
    case ExistingEntry::None:
        plan.step = ReceiveStep::Download;
        break;
    case ExistingEntry::Folder:
        // Moving a folder aside is not ours to do, and downloading would write into its place.
        plan.step = ReceiveStep::CannotMove;
        break;
    case ExistingEntry::File:
        plan.step = ReceiveStep::MoveThenLoad;
        plan.strBackupName = BackupFileName(*name, now);
        break;
    }
    return plan;
}

AfterDownload AfterCompleteDownload(bool bOpenAsked, std::string_view name, bool bSystemSaysDangerous) {
    if (!bOpenAsked)
        return AfterDownload::Nothing;
    if (IsDangerousFileName(name) || bSystemSaysDangerous)
        return AfterDownload::ShowInFolder;
    return AfterDownload::Open;
}

} // namespace dravel
