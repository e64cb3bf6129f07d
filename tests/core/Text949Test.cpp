#include "core/session/Text949.h"

#include "tests/core/support/Bytes.h"

#include <gtest/gtest.h>

#include <string>

using namespace dravel;
using dravel::test::Bytes;

namespace {

TEST(Text949, FindMatchesOnlyWhereACharacterStarts) {
    const std::string order = Bytes({0xC1, 0xD6, 0xB9, 0xAE}); // 주문
    constexpr size_t npos = std::string_view::npos;
    const struct {
        std::string haystack;
        std::string needle;
        size_t nAt;
    } rows[] = {
        {Bytes({0xB0}) + order, order, npos}, // would start at the trail byte of B0 C1
        {"a" + order, order, 1},
        {Bytes({0xB0}) + "File_x", "File_", npos}, // B0 46 is one character
        {Bytes({0x80}) + "File_x", "File_", 1},    // 0x80 and 0xFF are single bytes
        {Bytes({0xFF}) + "File_x", "File_", 1},
        {"ab" + Bytes({0xB0}), Bytes({0xB0}), 2}, // a lead byte at the end stands alone
        {"abc", "", 0},
        {"", "x", npos},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(test::Hex(r.haystack));
        EXPECT_EQ(Find949(r.haystack, r.needle), r.nAt);
        EXPECT_EQ(Contains949(r.haystack, r.needle), r.nAt != npos);
    }
}

} // namespace
