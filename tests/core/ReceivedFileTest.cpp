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

TEST(ReceivedFile, LinkTypesAreKeptAsTextAndNamesFitThePath) {
    const CLocalTime now{2024, 3, 9, 17, 5, 8};
    const size_t room = kMaxPathChars - kFolder - 1; // what the name may take beside the folder
    const std::string stem(300, 'n');
    // offered, a file already there, name, backup name
    const std::tuple<std::string, bool, std::string, std::string> cases[] = {
        {"desktop.ini.1", true, "desktop.ini.txt", "desktop.ini-bak 240309170508.txt"},
        {stem + ".lnk.1", false, stem.substr(0, room - 8) + ".lnk.txt", ""},
        // The backup's time suffix takes its room from the stem.
        {stem + ".hwp.1", true, stem.substr(0, room - 4) + ".hwp", stem.substr(0, room - 21) + "-bak 240309170508.hwp"},
    };
    for (const auto& [offered, bExisting, name, backup] : cases) {
        const CReceivePlan plan = PlanReceivedFile(
            true, kFolder, offered,
            [&](const std::string&) { return bExisting ? ExistingEntry::File : ExistingEntry::None; }, now);
        EXPECT_EQ(std::tie(plan.strName, plan.strBackupName), std::tie(name, backup)) << offered;
        EXPECT_EQ(plan.bKeptAsText, name.ends_with(".txt")) << offered;
    }
    // No room left for the type beside the folder: no file.
    EXPECT_EQ(PlanReceivedFile(true, kMaxPathChars - 6, "a.url.1", {}, now).step, ReceiveStep::BadName);
}

TEST(ReceivedFile, OnlyAnAskedForFileOfATypeThatMayBeOpenedIsOpened) {
    const auto after = [](bool bAsked, const char* offered, bool bSystemSaysDangerous) {
        const auto none = [](const std::string&) { return ExistingEntry::None; };
        return AfterCompleteDownload(bAsked, PlanReceivedFile(true, kFolder, offered, none, {}), bSystemSaysDangerous);
    };
    EXPECT_EQ(after(false, "a.txt.1", false), AfterDownload::Nothing);
    EXPECT_EQ(after(false, "site.url.1", false), AfterDownload::Nothing);
    EXPECT_EQ(after(true, "data.xlsx.1", false), AfterDownload::Open);
    EXPECT_EQ(after(true, "remote.rdp.1", false), AfterDownload::ShowInFolder);
    EXPECT_EQ(after(true, "a.pdf.1", true), AfterDownload::ShowInFolder);
    EXPECT_EQ(after(true, "site.url.1", false), AfterDownload::KeptAsText);
}
