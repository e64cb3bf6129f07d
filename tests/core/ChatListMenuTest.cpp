#include "core/conversation/ChatListMenu.h"

#include <gtest/gtest.h>

using namespace dravel;

TEST(ChatListMenu, OnlyASelectedUserWithANameAndALoginIdHasAMenu) {
    EXPECT_EQ(FriendMenuForSelection(0, 3, true, true)->nCommand, 32778);
    EXPECT_EQ(FriendMenuForSelection(1, 0, true, true)->nCommand, 32779);
    EXPECT_FALSE(FriendMenuForSelection(0, -1, true, true));
    EXPECT_FALSE(FriendMenuForSelection(0, 0, false, true));
    EXPECT_FALSE(FriendMenuForSelection(1, 0, true, false));
    EXPECT_FALSE(FriendMenuForSelection(2, 0, true, true));
}
