#include "core/text/Cp949.h"

#include "tests/core/support/Bytes.h"

#include <gtest/gtest.h>

namespace dravel {
namespace {

using test::Bytes;

// Where the program's copies of the rule used to differ: 0x80 and 0xFF, and a lead byte at the end.
TEST(Cp949, LeadBytesAndCharacterLengths) {
    struct Row {
        std::string text;
        size_t nAt;
        bool bLead;
        size_t nLength;
        bool bPair;
    };
    const Row rows[] = {
        {Bytes({0x80, 0xA1}), 0, false, 1, false}, {Bytes({0x81, 0x41}), 0, true, 2, true},
        {Bytes({0xFE, 0xFE}), 0, true, 2, true},   {Bytes({0xFF, 0xA1}), 0, false, 1, false},
        {Bytes({0x7F, 0xA1}), 0, false, 1, false}, {Bytes({0xB0, 0xA1}), 0, true, 2, true},
        {Bytes({0xB0, 0x7C}), 0, true, 2, false}, // "|" is no trail byte
        {Bytes({0xB0, 0x80}), 0, true, 2, false},  {Bytes({0xB0, 0xFF}), 0, true, 2, false},
        {"a" + Bytes({0xB0}), 1, true, 1, false}, // a lead byte at the end stands alone
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(test::Hex(r.text) + " at " + std::to_string(r.nAt));
        EXPECT_EQ(IsCp949LeadByte(r.text[r.nAt]), r.bLead);
        EXPECT_EQ(Cp949CharLength(r.text, r.nAt), r.nLength);
        EXPECT_EQ(IsCp949Pair(r.text, r.nAt), r.bPair);
    }
    EXPECT_TRUE(IsAsciiByte('\x7F'));
    EXPECT_FALSE(IsAsciiByte('\x80'));

    // A cut never leaves half a character; 0x80 and 0xFF count one byte each.
    const std::string ga = Bytes({0xB0, 0xA1});
    EXPECT_EQ(Cp949FitLength("ab" + ga, 3), 2u);
    EXPECT_EQ(Cp949FitLength("ab" + ga, 4), 4u);
    EXPECT_EQ(Cp949FitLength(Bytes({0x80, 0xFF, 0x80}), 2), 2u);
    EXPECT_EQ(Cp949FitLength("ab" + Bytes({0xB0}), 3), 3u);
    EXPECT_EQ(Cp949FitLength("ab", 10), 2u);
}

} // namespace
} // namespace dravel
