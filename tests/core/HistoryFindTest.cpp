#include "core/conversation/HistoryFind.h"

#include "tests/core/support/Korean.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace dravel;

TEST(HistoryFind, LatinLettersFoldTwoByteCharactersMatchExactlyAndWhole) {
    const std::string hangul = test::kWordHangul; // 한글
    // Syllables of the extended range have Latin trail bytes: 갂 is 81 41, 갵 is 81 61.
    const std::string extendedA = "\x81\x41", extendedLower = "\x81\x61";
    const struct {
        std::string text, needle;
        size_t at;
    } cases[] = {
        {"Order READY", "ready", 6},
        {"order ready", "ORDER", 0},
        {"abc", "", std::string::npos},
        {"ab", "abc", std::string::npos},
        {"x" + hangul + "y", hangul, 1},
        {"x" + hangul + "y", hangul + "Y", 1},
        // A trail byte that reads as "A" is not the letter, and folds neither.
        {extendedA, "A", std::string::npos},
        {extendedA + "a", "a", 2},
        {extendedA, extendedLower, std::string::npos},
        {"\xB0\xB0\xB3\xA1", "\xB0\xB3", std::string::npos}, // 같끝 holds the bytes of 개 from a trail byte on
        {"\xB0\xB0\xB0\xB3", "\xB0\xB3", 2},                 // 같개
    };
    for (const auto& c : cases)
        EXPECT_EQ(FindText949(c.text, c.needle), c.at) << c.text << " / " << c.needle;
}

TEST(HistoryFind, ItemsAreSearchedFromTheSelectionRoundTheEnds) {
    const std::vector<std::string> items = {"apple", "banana", "Apple pie", "cherry", "apple"};
    const auto textOf = [&](int i) { return items[static_cast<size_t>(i)]; };
    const struct {
        int from;
        bool bForward;
        std::string needle;
        int expected;
    } cases[] = {
        {-1, true, "apple", 0},  {0, true, "apple", 2},   {2, true, "apple", 4},    {4, true, "apple", 0},
        {-1, false, "apple", 4}, {0, false, "apple", 4},  {2, false, "APPLE", 0},   {3, true, "cherry", 3},
        {1, true, "kiwi", -1},   {99, true, "banana", 1}, {99, false, "cherry", 3}, {-1, true, "", -1},
    };
    for (const auto& c : cases)
        EXPECT_EQ(FindHistoryItem(static_cast<int>(items.size()), c.from, c.bForward, c.needle, textOf), c.expected)
            << c.from << (c.bForward ? " forward " : " back ") << c.needle;
    EXPECT_EQ(FindHistoryItem(0, -1, true, "a", textOf), -1);
}
