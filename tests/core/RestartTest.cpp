#include "core/app/Restart.h"

#include "core/app/CommandLine.h"

#include <gtest/gtest.h>

#include <string>

using namespace dravel;

TEST(RestartCommandLine, QuotesOnlyAPathWithABlank) {
    EXPECT_EQ(BuildRestartCommandLine(L"C:\\DravelOn\\DravelOn.exe"), L"C:\\DravelOn\\DravelOn.exe --Restart");
    EXPECT_EQ(BuildRestartCommandLine(L"C:\\Dravel On\\DravelOn.exe"), L"\"C:\\Dravel On\\DravelOn.exe\" --Restart");
    EXPECT_EQ(BuildRestartCommandLine(L"C:\\a b c\\x y.exe"), L"\"C:\\a b c\\x y.exe\" --Restart");
}

// An encrypted process restarts encrypted, whatever made it so, and the new one reads the switch back.
TEST(RestartCommandLine, EncryptedProcessRestartsEncrypted) {
    const auto line = BuildRestartCommandLine(L"C:\\Dravel On\\DravelOn.exe", true);
    ASSERT_TRUE(line.has_value());
    EXPECT_EQ(*line, L"\"C:\\Dravel On\\DravelOn.exe\" --Restart /TLS");
    EXPECT_TRUE(HasEncryptedSwitch(*line));
    EXPECT_TRUE(IsRestartLaunch(*line));
    EXPECT_FALSE(HasEncryptedSwitch(*BuildRestartCommandLine(L"C:\\TLS\\DravelOn.exe")));
    // The switch counts against the buffer: a path that fits plain may not fit encrypted.
    const std::wstring path(kRestartCommandLineBuffer - 1 - 10, L'x');
    EXPECT_TRUE(BuildRestartCommandLine(path).has_value());
    EXPECT_EQ(BuildRestartCommandLine(path, true), std::nullopt);
}

TEST(RestartCommandLine, NoPathGivesNothingToStart) {
    EXPECT_EQ(BuildRestartCommandLine(L""), std::nullopt);
}

// 259 characters and the end mark fill the buffer exactly; one more is refused rather than cut.
TEST(RestartCommandLine, LongestPathThatFitsAndTheFirstThatDoesNot) {
    const size_t room = kRestartCommandLineBuffer - 1 - std::wstring(L" --Restart").size();
    const std::wstring fits = L"C:\\" + std::wstring(room - 3, L'x');
    auto line = BuildRestartCommandLine(fits);
    ASSERT_TRUE(line.has_value());
    EXPECT_EQ(line->size(), kRestartCommandLineBuffer - 1);
    EXPECT_EQ(BuildRestartCommandLine(fits + L"x"), std::nullopt);
    EXPECT_EQ(BuildRestartCommandLine(std::wstring(5000, L'x')), std::nullopt);
}

// The two quotes count: a path with a blank that would fit bare is refused once quoted.
TEST(RestartCommandLine, QuotesCountTowardsTheLimit) {
    const size_t room = kRestartCommandLineBuffer - 1 - std::wstring(L" --Restart").size();
    const std::wstring bare = L"C:\\" + std::wstring(room - 3, L'x');
    std::wstring blank = bare;
    blank[5] = L' ';
    EXPECT_TRUE(BuildRestartCommandLine(bare).has_value());
    EXPECT_EQ(BuildRestartCommandLine(blank), std::nullopt);
    EXPECT_TRUE(BuildRestartCommandLine(blank.substr(0, blank.size() - 2)).has_value());
}
