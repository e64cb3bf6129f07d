#include "core/app/HandOffBuffer.h"

#include "tests/core/support/Korean.h"

#include <gtest/gtest.h>

#include <array>
#include <string>

using namespace dravel;

namespace {

using Buffer = std::array<char, kHandOffBufferSize>;

Buffer Filled(char c) {
    Buffer b;
    b.fill(c);
    return b;
}

bool RestIsZero(const Buffer& b, size_t from) {
    for (size_t i = from; i < b.size(); ++i)
        if (b[i] != '\0')
            return false;
    return true;
}

} // namespace

TEST(HandOffBuffer, WrittenTextReadsBackAndTheRestIsZero) {
    Buffer b = Filled('#');
    ASSERT_TRUE(WriteHandOffText(b, "\"C:\\DravelOn\\DravelOn.exe\" /ID:kim"));
    EXPECT_EQ(ReadHandOffText(b), "\"C:\\DravelOn\\DravelOn.exe\" /ID:kim");
    EXPECT_TRUE(RestIsZero(b, 34));
}

// A later, shorter hand-off must not leave the tail of the previous one behind its end mark.
TEST(HandOffBuffer, ShorterTextReplacesALongerOneCompletely) {
    Buffer b{};
    ASSERT_TRUE(WriteHandOffText(b, std::string(200, 'a')));
    ASSERT_TRUE(WriteHandOffText(b, "x.exe"));
    EXPECT_EQ(ReadHandOffText(b), "x.exe");
    EXPECT_TRUE(RestIsZero(b, 5));
}

TEST(HandOffBuffer, TwoHundredFiftyFiveCharactersFitTwoHundredFiftySixDoNot) {
    Buffer b{};
    EXPECT_TRUE(WriteHandOffText(b, std::string(255, 'p')));
    EXPECT_EQ(ReadHandOffText(b), std::string(255, 'p'));
    EXPECT_EQ(b[255], '\0');

    Buffer before = Filled('z');
    Buffer after = before;
    EXPECT_FALSE(WriteHandOffText(after, std::string(256, 'q')));
    EXPECT_FALSE(WriteHandOffText(after, std::string(300, 'q')));
    EXPECT_EQ(after, before);
}

TEST(HandOffBuffer, TextWithAnEmbeddedNulIsRefused) {
    Buffer b{};
    EXPECT_FALSE(WriteHandOffText(b, std::string("a\0b", 3)));
    EXPECT_TRUE(RestIsZero(b, 0));
    EXPECT_TRUE(WriteHandOffText(b, ""));
    EXPECT_EQ(ReadHandOffText(b), "");
}

// Another process of the log-on may fill the whole buffer without an end mark, or with 949 text.
TEST(HandOffBuffer, ReadingIsBoundedAndKeepsBytesAsTheyAre) {
    EXPECT_EQ(ReadHandOffText(Filled('\x7f')), std::string(255, '\x7f'));
    EXPECT_EQ(ReadHandOffText(Buffer{}), "");
    Buffer b{};
    ASSERT_TRUE(WriteHandOffText(b, test::kWordNote + " /PW:x"));
    EXPECT_EQ(ReadHandOffText(b), test::kWordNote + " /PW:x");
}
