#include "core/ui/TrayIconRules.h"

#include "tests/core/support/Bytes.h"

#include <gtest/gtest.h>

#include <string>

using namespace dravel;

namespace {

TEST(TrayCallback, MouseMessagesOfTheOwnIconMapToOperations) {
    EXPECT_EQ(MapTrayCallback(1, 0x0201), TrayOperation::LeftPress);
    EXPECT_EQ(MapTrayCallback(1, 0x0203), TrayOperation::LeftDoubleClick);
    EXPECT_EQ(MapTrayCallback(1, 0x0204), TrayOperation::RightPress);
    EXPECT_EQ(MapTrayCallback(1, 0x007B), TrayOperation::RightPress);
    EXPECT_EQ(MapTrayCallback(1, 0x0206), TrayOperation::RightDoubleClick);
    EXPECT_EQ(MapTrayCallback(1, 0x0200), TrayOperation::PointerMove);
    // Button releases, the middle button and balloon notices are not handled.
    for (std::uintptr_t msg : {0x0202u, 0x0205u, 0x0207u, 0x0402u, 0u})
        EXPECT_EQ(MapTrayCallback(1, msg), TrayOperation::None) << msg;
}

TEST(TrayCallback, OtherIconsAreIgnored) {
    for (std::uintptr_t id : {0u, 2u, 0x10001u})
        for (std::uintptr_t msg : {0x0201u, 0x0203u, 0x0204u})
            EXPECT_EQ(MapTrayCallback(id, msg), TrayOperation::None);
}

TEST(TrayMinimise, OnlyMinimiseRequestsGoToTheTray) {
    EXPECT_TRUE(IsMinimiseToTray(true, 0xF020));
    EXPECT_TRUE(IsMinimiseToTray(true, 0xF022)); // the low bits carry how it was asked
    EXPECT_FALSE(IsMinimiseToTray(false, 0xF020));
    EXPECT_FALSE(IsMinimiseToTray(true, 0xF030)); // maximise
    EXPECT_FALSE(IsMinimiseToTray(true, 0xF120)); // restore
    EXPECT_FALSE(IsMinimiseToTray(true, 0x0010)); // an item the program added
}

TEST(TrayTooltip, KeepsAtMostTheFirst63Bytes) {
    const std::string longText(80, 'x');
    EXPECT_EQ(TruncateTrayTooltip(longText), std::string(63, 'x'));
    EXPECT_EQ(TruncateTrayTooltip("Dravel On"), "Dravel On");
    EXPECT_EQ(TruncateTrayTooltip(std::string(63, 'y')), std::string(63, 'y'));
    EXPECT_EQ(TruncateTrayTooltip(""), "");
}

TEST(TrayTooltip, NeverEndsInHalfACharacter) {
    const std::string note = test::Bytes({0xC2, 0xCA}); // a two-byte character
    // 62 ASCII bytes and then a two-byte character: it does not fit, and its lead byte is not kept alone.
    EXPECT_EQ(TruncateTrayTooltip(std::string(62, 'a') + note + "b"), std::string(62, 'a'));
    // 61 and a two-byte character fit exactly.
    EXPECT_EQ(TruncateTrayTooltip(std::string(61, 'a') + note + "b"), std::string(61, 'a') + note);
    // All Korean: 31 whole characters, 62 bytes.
    std::string korean;
    for (int i = 0; i < 40; ++i)
        korean += note;
    EXPECT_EQ(TruncateTrayTooltip(korean), korean.substr(0, 62));
}

} // namespace
