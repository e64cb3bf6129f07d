#include "devserver/Text.h"
#include "devserver/Control.h"

#include "core/conversation/FieldLists.h"

#include <gtest/gtest.h>

using namespace dravel;
using namespace dravel::devserver;

namespace {

std::string ReplaceAll(std::string text, std::string_view from, std::string_view to) {
    for (size_t pos = text.find(from); pos != std::string::npos; pos = text.find(from, pos + to.size()))
        text.replace(pos, from.size(), to);
    return text;
}

} // namespace

// Histories and lists are read back with the client's own splitting.
TEST(Text, HistoryTextReadsBackAsTheClientSplitsIt) {
    std::time_t t = StampToTime("20240102000506");
    std::vector<HistoryEntry> entries = {
        {true, "plain", t},
        {false, "say \"hi\" to \"them\"", t + 12 * 3600},
        {true, "a|b", t},
        {false, K("안녕하세요") + " |", t},
    };
    std::vector<std::string> f = SplitHistoryFields(BuildHistoryText(entries));
    ASSERT_EQ(f.size(), 12u);
    EXPECT_EQ(f[0], ">");
    EXPECT_EQ(f[1], "plain");
    EXPECT_EQ(f[2], "2024-01-02 AM 12:05:06"); // midnight is 12 AM on the 12-hour clock
    EXPECT_EQ(f[3], "<");
    EXPECT_EQ(f[4], "say \"hi\" to \"them\"");
    EXPECT_EQ(f[5], "2024-01-02 PM 12:05:06");
    // A bar would end the field whatever the quotes: it becomes the full-width bar.
    EXPECT_EQ(f[7], "a\xA3\xFC"
                    "b");
    EXPECT_EQ(f[10], K("안녕하세요") + " \xA3\xFC");
    EXPECT_EQ(BuildHistoryText({}), "");
}

TEST(Text, CollectedListReadsBackAsTheClientSplitsIt) {
    std::vector<ListEntry> entries = {
        {"kim", "Kim Minsu", true},
        {"park", "Park|Jr", false},
        {"q", "say \"x\"", true},
        {"lee", K("이영희"), false},
    };
    std::vector<std::string> f = SplitCollectedFields(BuildCollectedList(entries));
    ASSERT_EQ(f.size(), 12u);
    EXPECT_EQ((std::vector<std::string>(f.begin(), f.begin() + 3)),
              (std::vector<std::string>{"kim", "1", "Kim Minsu"}));
    EXPECT_EQ(f[4], "0");
    EXPECT_EQ(f[5], "Park|Jr");
    EXPECT_EQ(f[8], "say \xA3\xA2x\xA3\xA2"); // full-width quotes
    EXPECT_EQ(f[11], K("이영희"));
    std::vector<std::string> empty = SplitCollectedFields(BuildCollectedList({{"x", "", true}, {"y", "Y", false}}));
    EXPECT_EQ(empty, (std::vector<std::string>{"x", "1", "", "y", "0", "Y"}));
}

// Only a lead byte 0x81..0xFE with a trail byte of code page 949 makes a character; any other high byte
// stands alone, so a bar or quote after it is still escaped and no later field shifts.
TEST(Text, HighBytesAndQuotesKeepEveryLaterField) {
    const std::string texts[] = {
        "\x80|",     "\xB0\"",        "a\xFE",      "\x80",   "\xFF",  "\xFF\"|\xFF\"", "\xC2|\xC2\"", "\x81\xFF|",
        "\x81\x7A|", K("안녕") + "|", "\"",         "\"\"\"", "\"x\"", "\x80\"\"",      "|",           "\xA3\xFC\"|",
        "",          "\"\x80\"",      "\x80\"\x80",
    };
    std::time_t t = StampToTime("20240102000506");
    for (const std::string& text : texts) {
        SCOPED_TRACE(testing::PrintToString(text));
        std::vector<CHistoryEntry> history = SplitHistory(BuildHistoryText({{true, text, t}, {false, "after", t}}));
        ASSERT_EQ(history.size(), 2u);
        EXPECT_TRUE(history[0].IsOwn());
        EXPECT_EQ(history[0].strText, ReplaceAll(text, "|", "\xA3\xFC"));
        EXPECT_EQ((std::vector<std::string>{history[1].strMarker, history[1].strText, history[1].strTime}),
                  (std::vector<std::string>{"<", "after", "2024-01-02 AM 12:05:06"}));

        std::string name = ReplaceAll(text, "\"", "\xA3\xA2");
        EXPECT_EQ(SplitCollectedFields(BuildCollectedList({{text, text, true}, {"next", "after", false}})),
                  (std::vector<std::string>{name, "1", name, "next", "0", "after"}));
    }
}

TEST(Text, PrefixesPathsAndStamps) {
    EXPECT_EQ(StripNamePrefix(K("이영희") + ": hello: world", K("이영희")), "hello: world");
    EXPECT_EQ(StripNamePrefix("Odd: Name: text", "Odd: Name"), "text"); // a name with ": " in it
    EXPECT_EQ(StripNamePrefix("Other: text", "Lee"), "text");           // the client's key differs
    EXPECT_EQ(StripNamePrefix("no prefix", "Lee"), "no prefix");
    EXPECT_EQ(BaseName("C:\\My Documents\\report.xls"), "report.xls");
    EXPECT_EQ(BaseName("report.xls"), "report.xls");
    EXPECT_EQ(BaseName("C:\\dir\\"), "");
    EXPECT_EQ(Stamp14(StampToTime("20241231235959")), "20241231235959");
    EXPECT_EQ(StampToTime("2024123123595"), -1);
    EXPECT_EQ(StampToTime("2024123123595x"), -1);
}

TEST(Text, CodePageConversionNeverFails) {
    EXPECT_EQ(K("쪽지"), "\xC2\xCA\xC1\xF6");
    EXPECT_EQ(Cp949ToUtf8("\xC2\xCA\xC1\xF6"), "쪽지");
    EXPECT_EQ(Utf8ToCp949("a\xFF"
                          "b"),
              "a?b");                                 // not UTF-8
    EXPECT_EQ(Cp949ToUtf8("a\xC2"), "a\xEF\xBF\xBD"); // a lead byte at the end
    EXPECT_EQ(Utf8ToCp949("\xF0\x9F\x98\x80"), "?");  // no 949 form: one mark, not four
    CSystemTextConverter converter;
    EXPECT_EQ(converter.Utf16ToLocal(u"\uCABD\uC9C0x"), K("쪽지") + "x");
}

TEST(Control, WordsValuesAndRecords) {
    EXPECT_EQ(SplitControlLine("send kim command=CLOSE\r\n"),
              (std::vector<std::string>{"send", "kim", "command=CLOSE"}));
    // With TABs, spaces belong to the values, and empty words count.
    EXPECT_EQ(SplitControlLine("send\tkim\ttext=a b\t\n"), (std::vector<std::string>{"send", "kim", "text=a b", ""}));
    EXPECT_EQ(DecodeControlValue("쪽지\\t\\x21\\\\\\n"), K("쪽지") + "\t!\\\n");
    EXPECT_EQ(DecodeControlValue("\\xC2\\xCA"), "\xC2\xCA"); // raw bytes pass unconverted
    EXPECT_EQ(DecodeControlValue("end\\"), "end\\");
    EXPECT_EQ(DecodeControlValue("\\x4"), "\\x4");

    std::string error;
    std::optional<CComData> r = ParseRecordWords(
        {"send", "kim", "command=COM_PRIVATE_MESSAGE", "status=-3", "name=박민수", "text=hi", "port=8201"}, 2, error);
    ASSERT_TRUE(r) << error;
    EXPECT_EQ(r->m_nCommand, COM_PRIVATE_MESSAGE);
    EXPECT_EQ(r->m_nStatus, -3);
    EXPECT_EQ(r->m_strName, K("박민수"));
    EXPECT_EQ(r->m_nPort, 8201);
    EXPECT_EQ(ParseCommand("PRIVATE_HISTORY"), COM_PRIVATE_HISTORY);
    EXPECT_EQ(ParseCommand("99"), 99);
    EXPECT_FALSE(ParseCommand(""));
    EXPECT_FALSE(ParseRecordWords({"text=x"}, 0, error)); // no command
    EXPECT_FALSE(ParseRecordWords({"command=CLOSE", "status=99999999999"}, 0, error));
    EXPECT_FALSE(ParseRecordWords({"command=CLOSE", "colour=red"}, 0, error));
    EXPECT_FALSE(ParseRecordWords({"command=CLOSE", "novalue"}, 0, error));
}
