#include "core/conversation/TextRules.h"

#include "tests/core/support/Bytes.h"
#include "tests/core/support/Korean.h"

#include <gtest/gtest.h>

#include <string>

using namespace dravel;
using dravel::test::Bytes;

namespace {

// 가 in code page 949.
const std::string& kGa = dravel::test::kCharGa;

std::string Repeat(const std::string& s, int n) {
    std::string out;
    for (int i = 0; i < n; ++i)
        out += s;
    return out;
}

} // namespace

TEST(WrapText, LongRunsGetABlankAfterEvery26Bytes) {
    std::string word(60, 'x');
    std::string wrapped = WrapText(word);
    EXPECT_EQ(wrapped, std::string(26, 'x') + " " + std::string(26, 'x') + " " + std::string(8, 'x'));
    // Exactly 26 bytes ends in the inserted blank.
    EXPECT_EQ(WrapText(std::string(26, 'y')), std::string(26, 'y') + " ");
    EXPECT_EQ(WrapText(std::string(25, 'y')), std::string(25, 'y'));
}

TEST(WrapText, TwoByteCharactersStayWhole) {
    EXPECT_EQ(WrapText(Repeat(kGa, 13)), Repeat(kGa, 13) + " ");
    // 25 single bytes then a two-byte character: the run reaches 27 and the blank follows the pair.
    std::string text = std::string(25, 'a') + kGa + "b";
    EXPECT_EQ(WrapText(text), std::string(25, 'a') + kGa + " b");
    // The wrap pairs any high byte with the next, 0x80 and 0xFF too, unlike the code page.
    for (int high : {0x80, 0xFF})
        EXPECT_EQ(WrapText(std::string(25, 'a') + Bytes({high}) + "bc"), std::string(25, 'a') + Bytes({high}) + "b c");
    // A lead byte cut off at the end is kept as it is.
    EXPECT_EQ(WrapText("ab" + Bytes({0xB0})), "ab" + Bytes({0xB0}));
    std::string cut = std::string(25, 'c') + Bytes({0xB0});
    EXPECT_EQ(WrapText(cut), cut);
    EXPECT_EQ(UnwrapText(WrapText(cut)), cut);
}

TEST(WrapText, BlanksRestartTheRun) {
    std::string text = Repeat("abcdefghi ", 12);
    EXPECT_EQ(WrapText(text), text);
    // The blank itself counts: 25 more bytes after it make a run of 26.
    std::string after = " " + std::string(25, 'z');
    EXPECT_EQ(WrapText(after), after + " ");
    EXPECT_EQ(WrapText(""), "");
}

TEST(WrapText, LongTextsHaveNoFixedLimit) {
    std::string text(100000, 'q');
    std::string wrapped = WrapText(text);
    EXPECT_EQ(wrapped.size(), text.size() + text.size() / 26);
    EXPECT_EQ(UnwrapText(wrapped), text);
}

TEST(WrapText, UnwrapGivesBackTheText) {
    for (const std::string& text :
         {std::string(60, 'x'), Repeat(kGa, 40), std::string("quarterly_report_final_2020_v2.xlsx"),
          std::string("a b c"), std::string(25, 'a') + kGa + "tail", std::string(26, 'k')}) {
        EXPECT_EQ(UnwrapText(WrapText(text)), text) << text;
    }
}

TEST(TextRules, ColonAndBarAreForbidden) {
    EXPECT_TRUE(HasForbiddenChars("abc:def"));
    EXPECT_TRUE(HasForbiddenChars("a|b"));
    EXPECT_FALSE(HasForbiddenChars("abc"));
    EXPECT_FALSE(HasForbiddenChars(Repeat(kGa, 3) + "!?"));
}

TEST(TextRules, TimesAreFormattedInTwelveHourClock) {
    CLocalTime t{2020, 1, 2, 15, 4, 5};
    EXPECT_EQ(FormatItemTime(t, false), "2020-01-02 PM 03:04:05");
    EXPECT_EQ(FormatItemTime(t, true), "2020/01/02 PM 03:04:05");
    EXPECT_EQ(FormatItemTime({2020, 12, 31, 0, 30, 0}, false), "2020-12-31 AM 12:30:00");
    EXPECT_EQ(FormatItemTime({2020, 12, 31, 12, 0, 59}, false), "2020-12-31 PM 12:00:59");
    EXPECT_EQ(FormatItemTime({2020, 12, 31, 11, 59, 59}, true), "2020/12/31 AM 11:59:59");
}

TEST(TextRules, FileStampsAreFourteenDigitsOfAValidTime) {
    CLocalTime t;
    ASSERT_TRUE(ParseFileStamp("20200102150405", t));
    EXPECT_EQ(FormatItemTime(t, true), "2020/01/02 PM 03:04:05");
    CLocalTime before = t;
    for (const char* bad : {"", "2020010215040", "202001021504055", "2020010215040x", "20201302150405",
                            "20200100150405", "20200102250405", "-0200102150405"})
        EXPECT_FALSE(ParseFileStamp(bad, t)) << bad;
    EXPECT_EQ(FormatItemTime(t, true), FormatItemTime(before, true));
}

TEST(TextRules, TimedTextSplitsAtTheFirstBar) {
    CTimedText t = SplitTimedText("hello|2020-01-02 PM 03:04:05", "fallback");
    EXPECT_EQ(t.strText, "hello");
    EXPECT_EQ(t.strTime, "2020-01-02 PM 03:04:05");
    t = SplitTimedText("a|b|c", "fallback");
    EXPECT_EQ(t.strText, "a");
    EXPECT_EQ(t.strTime, "b|c");
    t = SplitTimedText("plain", "2020-01-02 AM 01:00:00");
    EXPECT_EQ(t.strText, "plain");
    EXPECT_EQ(t.strTime, "2020-01-02 AM 01:00:00");
    t = SplitTimedText("|", "x");
    EXPECT_EQ(t.strText, "");
    EXPECT_EQ(t.strTime, "");
}

TEST(TextRules, PathsAndReplacements) {
    EXPECT_EQ(LastPathComponent("C:\\docs\\a.txt"), "a.txt");
    EXPECT_EQ(LastPathComponent("dir/sub\\b"), "b");
    EXPECT_EQ(LastPathComponent("trail\\"), "");
    EXPECT_EQ(LastPathComponent("plain"), "plain");
    EXPECT_EQ(ReplaceAll("File_a File_b", "File_", "Send_"), "Send_a Send_b");
    EXPECT_EQ(ReplaceAll("File_File_", "File_", "Send_"), "Send_Send_");
    EXPECT_EQ(ReplaceAll("abc", "", "x"), "abc");
}
