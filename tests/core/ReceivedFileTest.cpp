#include "core/conversation/ReceivedFile.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

using namespace dravel;

namespace {

constexpr size_t kFolder = 20; // characters of the download folder's path

} // namespace

TEST(ReceivedFile, ExistingFileIsMovedAsideAndAFolderInTheWayStopsTheDownload) {
    const CLocalTime now{2024, 3, 9, 17, 5, 8};
    std::vector<std::string> asked;
    auto holds = [&](ExistingEntry entry) {
        return [&asked, entry](const std::string& name) {
            asked.push_back(name);
            return entry;
        };
    };
    CReceivePlan plan = PlanReceivedFile(true, kFolder, "..\\..\\a.txt.202001021504", holds(ExistingEntry::File), now);
    EXPECT_EQ(plan.step, ReceiveStep::MoveThenLoad);
    EXPECT_EQ(plan.strName, "a.txt");
    EXPECT_EQ(plan.strBackupName, "a-bak 240309170508.txt");
    plan = PlanReceivedFile(true, kFolder, "a.txt.202001021504", holds(ExistingEntry::None), now);
    EXPECT_EQ(plan.step, ReceiveStep::Download);
    EXPECT_EQ(plan.strName, "a.txt");
    EXPECT_EQ(plan.strBackupName, "");
    plan = PlanReceivedFile(true, kFolder, "a.txt.202001021504", holds(ExistingEntry::Folder), now);
    EXPECT_EQ(plan.step, ReceiveStep::CannotMove);
    EXPECT_EQ(asked, (std::vector<std::string>{"a.txt", "a.txt", "a.txt"}));

    // Without a usable folder, or with a name that is no file, the folder is not even looked at.
    asked.clear();
    EXPECT_EQ(PlanReceivedFile(false, kFolder, "a.txt.202001021504", holds(ExistingEntry::File), now).step,
              ReceiveStep::NoFolder);
    EXPECT_EQ(PlanReceivedFile(false, kFolder, "CON.202001021504", holds(ExistingEntry::File), now).step,
              ReceiveStep::NoFolder);
    for (const char* offered : {"CON.202001021504", "..\\...202001021504", "nostamp"})
        EXPECT_EQ(PlanReceivedFile(true, kFolder, offered, holds(ExistingEntry::None), now).step, ReceiveStep::BadName)
            << offered;
    EXPECT_TRUE(asked.empty());
}

TEST(ReceivedFile, NamesFitThePathLinkTypesAreKeptAsTextAndOnlyTypesThatMayBeOpenedAre) {
    const CLocalTime now{2024, 3, 9, 17, 5, 8};
    const size_t room = kMaxPathChars - kFolder - 1; // what the name may take beside the folder
    const std::string stem(300, 'n'), bak = "-bak 240309170508";
    // offered, a file already there, name, backup name, after a download the user asked to have opened
    const std::tuple<std::string, bool, std::string, std::string, AfterDownload> cases[] = {
        {"desktop.ini.1", true, "desktop.ini.txt", "desktop.ini" + bak + ".txt", AfterDownload::KeptAsText},
        {stem + ".lnk.1", false, stem.substr(0, room - 8) + ".lnk.txt", "", AfterDownload::KeptAsText},
        // The backup's time suffix takes its room from the stem.
        {stem + ".hwp.1", true, stem.substr(0, room - 4) + ".hwp", stem.substr(0, room - 21) + bak + ".hwp",
         AfterDownload::Open},
        {"remote.rdp.1", false, "remote.rdp", "", AfterDownload::ShowInFolder},
    };
    for (const auto& [offered, bExisting, name, backup, after] : cases) {
        const CReceivePlan plan = PlanReceivedFile(
            true, kFolder, offered,
            [&](const std::string&) { return bExisting ? ExistingEntry::File : ExistingEntry::None; }, now);
        EXPECT_EQ(std::tie(plan.strName, plan.strBackupName), std::tie(name, backup)) << offered;
        EXPECT_EQ(AfterCompleteDownload(true, plan, false), after) << offered;
        EXPECT_EQ(AfterCompleteDownload(false, plan, false), AfterDownload::Nothing) << offered;
        // The system's verdict can only hold an opening back.
        EXPECT_EQ(AfterCompleteDownload(true, plan, true),
                  after == AfterDownload::Open ? AfterDownload::ShowInFolder : after)
            << offered;
    }
    // No room left for the type beside the folder: no file.
    EXPECT_EQ(PlanReceivedFile(true, kMaxPathChars - 6, "a.url.1", {}, now).step, ReceiveStep::BadName);
}
