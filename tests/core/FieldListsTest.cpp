#include "core/conversation/ChatList.h"
#include "core/conversation/FieldLists.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

using namespace dravel;

using Fields = std::vector<std::string>;

TEST(HistorySplit, GroupsOfThreeMakeEntries) {
    EXPECT_TRUE(SplitHistory("").empty());
    EXPECT_TRUE(SplitHistoryFields("").empty());

    std::vector<CHistoryEntry> five = SplitHistory(">|hi|2020-01-02 PM 03:04:05|<|yo");
    ASSERT_EQ(five.size(), 1u);
    EXPECT_EQ(five[0], (CHistoryEntry{">", "hi", "2020-01-02 PM 03:04:05"}));
    EXPECT_TRUE(five[0].IsOwn());

    std::vector<CHistoryEntry> two = SplitHistory(">|a|t1|x|b|t2|");
    ASSERT_EQ(two.size(), 2u);
    EXPECT_EQ(two[1], (CHistoryEntry{"x", "b", "t2"}));
    EXPECT_FALSE(two[1].IsOwn());
    // A trailing bar adds no empty field; the incomplete group after it is dropped.
    EXPECT_EQ(SplitHistoryFields("a|b|"), (Fields{"a", "b"}));
    EXPECT_EQ(SplitHistory(">|a|t1|<|").size(), 1u);
    // Empty fields between bars are kept.
    EXPECT_EQ(SplitHistoryFields("||x"), (Fields{"", "", "x"}));
    EXPECT_EQ(SplitHistory("||x"), (std::vector<CHistoryEntry>{{"", "", "x"}}));
}

TEST(HistorySplit, QuotedFieldsBeforeABarAreUnquoted) {
    EXPECT_EQ(SplitHistoryFields("\"a \"\"b\"\" c\"|z"), (Fields{"a \"b\" c", "z"}));
    // The last field stays as it came.
    EXPECT_EQ(SplitHistoryFields("z|\"a \"\"b\"\" c\""), (Fields{"z", "\"a \"\"b\"\" c\""}));
    // A bar inside quotes still ends the field.
    EXPECT_EQ(SplitHistoryFields("\"a|b\"|c"), (Fields{"\"a", "b\"", "c"}));
    // A lone quote before a bar is an empty field; a quote on one side only is kept.
    EXPECT_EQ(SplitHistoryFields("\"|\"x|y\"|e"), (Fields{"", "\"x", "y\"", "e"}));
    // Doubled quotes are made single before the enclosing pair is looked for.
    EXPECT_EQ(SplitHistoryFields("\"\"|\"\"\"\"|q"), (Fields{"", "", "q"}));
}

TEST(HistorySplit, NewestEntriesAreTheFullSplitsTailWithTheRestCounted) {
    std::vector<std::string> texts = {"",
                                      "|",
                                      "||",
                                      "||x",
                                      ">|hi|2020-01-02 PM 03:04:05|<|yo",
                                      ">|a|t1|x|b|t2|",
                                      ">|a|t1|<|",
                                      ">|a|t1|<|b|\"t2\"\"\"",
                                      "\"a|b\"|c|d|\"e \"\"f\"\" g\"|\"\"|\"|x|\"y\"|z",
                                      "<|\xBE\xC8\xB3\xE7|t|>|\"\xC7\xCF|\xBC\xBC\"|t2"};
    // Every short mix of bars, quotes and text, and random ones up to 100,000 bytes.
    const char alphabet[] = {'|', '"', 'a', '>'};
    for (int n = 0; n < 4 * 4 * 4 * 4 * 4 * 4; ++n) {
        std::string t;
        for (int k = n; k > 0; k /= 4)
            t.push_back(alphabet[k % 4]);
        texts.push_back(t);
    }
    std::mt19937 random(11);
    for (int i = 0; i < 300; ++i) {
        std::string t(i == 0 ? 100000 : random() % 200, 'a');
        for (char& c : t)
            c = alphabet[random() % 4];
        texts.push_back(t);
    }
    for (const std::string& text : texts) {
        const std::vector<CHistoryEntry> all = SplitHistory(text);
        for (size_t nMax : {size_t{0}, size_t{1}, size_t{2}, size_t{5}, size_t{40}, SIZE_MAX}) {
            const CHistoryTail tail = SplitHistoryNewest(text, nMax);
            const size_t nKept = std::min(nMax, all.size());
            ASSERT_EQ(tail.entries, std::vector<CHistoryEntry>(all.end() - static_cast<ptrdiff_t>(nKept), all.end()))
                << text << " / " << nMax;
            ASSERT_EQ(tail.nOmitted, all.size() - nKept) << text << " / " << nMax;
        }
    }
}

TEST(HistorySplit, SixteenMebibytesOfBarsAreCountedNotStored) {
    // 16 M empty fields: 5,592,405 entries and one field left over.
    std::string text(16u << 20, '|');
    CHistoryTail tail = SplitHistoryNewest(text, 5000);
    EXPECT_EQ(tail.nOmitted, (16u << 20) / 3 - 5000);
    ASSERT_EQ(tail.entries.size(), 5000u);
    EXPECT_EQ(tail.entries.front(), (CHistoryEntry{"", "", ""}));
    EXPECT_EQ(tail.entries.back(), (CHistoryEntry{"", "", ""}));

    // Ending in an unbarred last field that completes the last group, taken as it stands.
    const size_t nEmptyEntries = ((16u << 20) - 1) / 3;
    text.resize(3 * nEmptyEntries);
    text += ">|\"a\"\"b\"|\"t\"";
    tail = SplitHistoryNewest(text, 2);
    EXPECT_EQ(tail.nOmitted, nEmptyEntries + 1 - 2);
    ASSERT_EQ(tail.entries.size(), 2u);
    EXPECT_EQ(tail.entries[0], (CHistoryEntry{"", "", ""}));
    EXPECT_EQ(tail.entries[1], (CHistoryEntry{">", "a\"b", "\"t\""}));
}

TEST(CollectedList, UsersInGroupsOfThree) {
    std::vector<CChatUser> users = SplitCollectedList("kim|1|Kim Minsu|lee|0|Lee");
    ASSERT_EQ(users.size(), 2u);
    EXPECT_EQ(users[0], (CChatUser{"kim", "Kim Minsu", true}));
    EXPECT_EQ(users[1], (CChatUser{"lee", "Lee", false}));
    EXPECT_EQ(SplitCollectedList("kim|1|Kim|lee|0").size(), 1u);
    EXPECT_TRUE(SplitCollectedList("").empty());
    EXPECT_EQ(SplitCollectedList("a|2|A|"), (std::vector<CChatUser>{{"a", "A", true}}));
}

TEST(CollectedList, QuotedNamesMayHoldBars) {
    std::vector<CChatUser> users = SplitCollectedList("park|1|\"Park|Jr\"");
    ASSERT_EQ(users.size(), 1u);
    EXPECT_EQ(users[0].strName, "Park|Jr");

    EXPECT_EQ(SplitCollectedFields("\"a\"\"b\"|x"), (Fields{"a\"b", "x"}));
    EXPECT_EQ(SplitCollectedFields("x|\"a\"\"b\""), (Fields{"x", "\"a\"\"b\""}));
    // Several doubled quotes, and a later field's doubled quote does not stretch an earlier field.
    EXPECT_EQ(SplitCollectedFields("\"a\"|\"b\"\"c\"|x"), (Fields{"a", "b\"c", "x"}));
    EXPECT_EQ(SplitCollectedFields("\"1\"\"2\"\"3|4\"|x"), (Fields{"1\"2\"3|4", "x"}));
    // Without a closing quote the next bar ends the field.
    EXPECT_EQ(SplitCollectedFields("\"open|b|c"), (Fields{"\"open", "b", "c"}));
    // Text after the closing quote stays in the field rather than being dropped.
    EXPECT_EQ(SplitCollectedFields("\"ab\"c|d"), (Fields{"\"ab\"c", "d"}));
    // A quote further inside a field, before the bar, also opens a quoted stretch.
    EXPECT_EQ(SplitCollectedFields("ab\"c|d\"|e"), (Fields{"ab\"c|d\"", "e"}));
}

TEST(CollectedList, StatesReadLikeANumber) {
    for (const char* on : {"1", "2", "-1", " 7", "1abc", "+3", "99999999999999999999"})
        EXPECT_TRUE(IsOnlineState(on)) << on;
    for (const char* off : {"0", "", "abc", "00", "-0", " ", "x1"})
        EXPECT_FALSE(IsOnlineState(off)) << off;
}
