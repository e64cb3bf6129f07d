#include "core/session/LoginRules.h"

#include "tests/core/support/Korean.h"

#include <gtest/gtest.h>

#include <string>

using namespace dravel;

TEST(LoginRules, RememberedIdComesBackWholeUpToSixtyThreeBytes) {
    const std::string id63(63, 'a');
    EXPECT_EQ(RememberedLoginId(id63), id63);
    EXPECT_EQ(RememberedLoginId(id63 + std::string(1, '\0')), id63); // stored with its end mark
    EXPECT_EQ(RememberedLoginId(std::string(64, 'a')), std::nullopt);
    EXPECT_EQ(RememberedLoginId(std::string("ki\0m", 4)), std::nullopt);
    EXPECT_EQ(RememberedLoginId(std::string(1, '\0')), std::nullopt);
    EXPECT_EQ(RememberedLoginId(test::kNameKimCheolsu), test::kNameKimCheolsu);
    EXPECT_FALSE(LoginInputComplete("kim", ""));
    EXPECT_FALSE(LoginInputComplete("", "pw"));
}
