#include "core/conversation/ReceivedFile.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace dravel;

TEST(ReceivedFile, ExistingFileIsMovedAsideAndAFolderInTheWayStopsTheDownload) {
    const CLocalTime now{2024, 3, 9, 17, 5, 8};
    std::vector<std::string> asked;
    auto holds = [&](ExistingEntry entry) {
        return [&asked, entry](const std::string& name) {
            asked.push_back(name);
            return entry;
        };
    };
    CReceivePlan plan = PlanReceivedFile(true, "..\\..\\a.txt.202001021504", holds(ExistingEntry::File), now);
    EXPECT_EQ(plan.step, ReceiveStep::MoveThenLoad);
    EXPECT_EQ(plan.strName, "a.txt");
    EXPECT_EQ(plan.strBackupName, "a-bak 240309170508.txt");
    plan = PlanReceivedFile(true, "a.txt.202001021504", holds(ExistingEntry::None), now);
    EXPECT_EQ(plan.step, ReceiveStep::Download);
    EXPECT_EQ(plan.strName, "a.txt");
    EXPECT_EQ(plan.strBackupName, "");
    plan = PlanReceivedFile(true, "a.txt.202001021504", holds(ExistingEntry::Folder), now);
    EXPECT_EQ(plan.step, ReceiveStep::CannotMove);
    EXPECT_EQ(asked, (std::vector<std::string>{"a.txt", "a.txt", "a.txt"}));

    // Without a usable folder, or with a name that is no file, the folder is not even looked at.
    asked.clear();
    EXPECT_EQ(PlanReceivedFile(false, "a.txt.202001021504", holds(ExistingEntry::File), now).step,
              ReceiveStep::NoFolder);
    EXPECT_EQ(PlanReceivedFile(false, "CON.202001021504", holds(ExistingEntry::File), now).step, ReceiveStep::NoFolder);
    for (const char* offered : {"CON.202001021504", "..\\...202001021504", "nostamp"})
        EXPECT_EQ(PlanReceivedFile(true, offered, holds(ExistingEntry::None), now).step, ReceiveStep::BadName)
            << offered;
    EXPECT_TRUE(asked.empty());
}

TEST(ReceivedFile, OnlyAnAskedForHarmlessFileIsOpened) {
    EXPECT_EQ(AfterCompleteDownload(false, "a.txt", false), AfterDownload::Nothing);
    EXPECT_EQ(AfterCompleteDownload(false, "setup.exe", true), AfterDownload::Nothing);
    EXPECT_EQ(AfterCompleteDownload(true, "a.txt", false), AfterDownload::Open);
    EXPECT_EQ(AfterCompleteDownload(true, "setup.EXE. ", false), AfterDownload::ShowInFolder);
    EXPECT_EQ(AfterCompleteDownload(true, "a.weird", true), AfterDownload::ShowInFolder);
}
