#include "Text.h"

#include <gtest/gtest.h>

using namespace dravel::devserver;

TEST(Text, Placeholder) { EXPECT_EQ(BaseName("C:\\a\\b.txt"), "b.txt"); }
