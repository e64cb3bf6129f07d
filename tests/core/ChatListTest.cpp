#include "core/conversation/ChatList.h"

#include "tests/core/support/Bytes.h"
#include "tests/core/support/Korean.h"

#include <gtest/gtest.h>

using namespace dravel;
using dravel::test::Bytes;
using dravel::test::kCharGa;
using dravel::test::kWordEveryone;
using dravel::test::kWordFriends;

TEST(ChatList, TabsChooseViewAndMenu) {
    EXPECT_EQ(ViewOfTab(0), std::optional<std::string_view>(kWordFriends));
    EXPECT_EQ(ViewOfTab(1), std::optional<std::string_view>(kWordEveryone));
    EXPECT_FALSE(ViewOfTab(-1));
    EXPECT_FALSE(ViewOfTab(2));
    EXPECT_EQ(FriendMenuOfTab(0)->nMenuId, 162);
    EXPECT_EQ(FriendMenuOfTab(0)->nCommand, 32778);
    EXPECT_EQ(FriendMenuOfTab(1)->nMenuId, 163);
    EXPECT_EQ(FriendMenuOfTab(1)->nCommand, 32779);
    EXPECT_FALSE(FriendMenuOfTab(2));
}

TEST(ChatList, ItemHeights) {
    // One short line next to a 32 x 32 icon.
    EXPECT_EQ(ContactItemHeight(13, true, 32), 40);
    EXPECT_EQ(ContactItemHeight(13, false, 0), 17);
    // A wrapped name taller than the icon sets the height.
    EXPECT_EQ(ContactItemHeight(52, true, 32), 56);
    // At 200 % a 64-pixel icon with doubled padding, and a 26-pixel line of text.
    EXPECT_EQ(ContactItemHeight(26, true, 64, 192), 80);
    EXPECT_EQ(ContactItemHeight(26, false, 0, 144), 32);
}

TEST(ChatList, ItemIdsAreBounded) {
    EXPECT_EQ(BoundItemId("kim"), "kim");
    EXPECT_EQ(BoundItemId(std::string(49, 'a')), std::string(49, 'a'));
    EXPECT_EQ(BoundItemId(std::string(80, 'a')), std::string(49, 'a'));
    // 24 two-byte characters are 48 bytes; the 25th would cross the bound.
    std::string ids;
    for (int i = 0; i < 30; ++i)
        ids += kCharGa;
    EXPECT_EQ(BoundItemId(ids).size(), 48u);
    EXPECT_EQ(BoundItemId("x" + ids).size(), 49u);
    // 0x80 and 0xFF are single bytes: the 49th byte is kept.
    EXPECT_EQ(BoundItemId(std::string(48, 'a') + Bytes({0x80, 0x41})).size(), 49u);
    EXPECT_EQ(BoundItemId(std::string(48, 'a') + Bytes({0xFF, 0x41})).size(), 49u);
}
