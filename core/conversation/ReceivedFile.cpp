#include "core/conversation/ReceivedFile.h"

#include "core/conversation/FileNames.h"

#include <optional>

namespace dravel {

CReceivePlan PlanReceivedFile(bool bFolderUsable, size_t nFolderChars, std::string_view offeredName,
                              const std::function<ExistingEntry(const std::string& name)>& lookUp,
                              const CLocalTime& now) {
    CReceivePlan plan;
    if (!bFolderUsable)
        return plan;
    plan.step = ReceiveStep::BadName;
    std::optional<std::string> name = ReceivedFileName(offeredName);
    if (!name || nFolderChars + 1 >= kMaxPathChars)
        return plan;
    static constexpr std::string_view kTextType = ".txt";
    const size_t nMaxChars = kMaxPathChars - nFolderChars - 1;
    plan.bKeptAsText = IsLinkFileType(*name);
    if (plan.bKeptAsText) {
        name = nMaxChars > kTextType.size() ? ShortenFileName(*name, nMaxChars - kTextType.size()) : std::nullopt;
        if (name)
            *name += kTextType;
    } else {
        name = ShortenFileName(*name, nMaxChars);
    }
    if (!name)
        return plan;
    plan.strName = *name;
    switch (lookUp(plan.strName)) {
    case ExistingEntry::None:
        plan.step = ReceiveStep::Download;
        break;
    case ExistingEntry::Folder:
        // Moving a folder aside is not ours to do, and downloading would write into its place.
        plan.step = ReceiveStep::CannotMove;
        break;
    case ExistingEntry::File: {
        // The backup name is as long as the name plus the time suffix: its stem gives way for it.
        const size_t nSuffixChars = BackupFileName("", now).size();
        const std::optional<std::string> room =
            nMaxChars > nSuffixChars ? ShortenFileName(*name, nMaxChars - nSuffixChars) : std::nullopt;
        plan.step = room ? ReceiveStep::MoveThenLoad : ReceiveStep::CannotMove;
        if (room)
            plan.strBackupName = BackupFileName(*room, now);
        break;
    }
    }
    return plan;
}

AfterDownload AfterCompleteDownload(bool bOpenAsked, const CReceivePlan& plan, bool bSystemSaysDangerous) {
    if (!bOpenAsked)
        return AfterDownload::Nothing;
    if (plan.bKeptAsText)
        return AfterDownload::KeptAsText;
    if (!IsOpenableFileType(plan.strName) || bSystemSaysDangerous)
        return AfterDownload::ShowInFolder;
    return AfterDownload::Open;
}

} // namespace dravel
