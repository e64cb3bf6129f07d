#include "core/conversation/ChatList.h"
#include "core/conversation/ChatListMenu.h"

#include "tests/core/support/Bytes.h"

#include <gtest/gtest.h>

using namespace dravel;
using dravel::test::Bytes;

TEST(ChatList, TabsChooseViewAndMenu) {
    EXPECT_EQ(ViewOfTab(0), std::optional<std::string_view>(Bytes({0xC4, 0xA3, 0xB1, 0xB8})));
    EXPECT_EQ(ViewOfTab(1), std::optional<std::string_view>(Bytes({0xC0, 0xFC, 0xC3, 0xBC})));
    EXPECT_FALSE(ViewOfTab(-1));
    EXPECT_FALSE(ViewOfTab(2));
    EXPECT_EQ(FriendMenuOfTab(0)->nMenuId, 162);
    EXPECT_EQ(FriendMenuOfTab(0)->nCommand, 32778);
    EXPECT_EQ(FriendMenuOfTab(1)->nMenuId, 163);
    EXPECT_EQ(FriendMenuOfTab(1)->nCommand, 32779);
    EXPECT_FALSE(FriendMenuOfTab(2));

    // The menu of a selected user: only for an item with a name and a login ID.
    EXPECT_EQ(FriendMenuForSelection(0, 3, true, true)->nCommand, 32778);
    EXPECT_EQ(FriendMenuForSelection(1, 0, true, true)->nCommand, 32779);
    EXPECT_FALSE(FriendMenuForSelection(0, -1, true, true));
    EXPECT_FALSE(FriendMenuForSelection(0, 0, false, true));
    EXPECT_FALSE(FriendMenuForSelection(1, 0, true, false));
    EXPECT_FALSE(FriendMenuForSelection(2, 0, true, true));
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
    std::string ga = Bytes({0xB0, 0xA1});
    std::string ids;
    for (int i = 0; i < 30; ++i)
        ids += ga;
    EXPECT_EQ(BoundItemId(ids).size(), 48u);
    EXPECT_EQ(BoundItemId("x" + ids).size(), 49u);
}
