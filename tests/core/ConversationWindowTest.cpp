#include "core/conversation/ConversationWindow.h"

#include <gtest/gtest.h>

#include <optional>

using namespace dravel;

TEST(ConversationWindow, HistoryListStopsAboveTheEditAndInsideTheWindow) {
    EXPECT_EQ(HistoryListPlace(std::nullopt, 1000), (TextRect{5, 5, 380, 350}));
    EXPECT_EQ(HistoryListPlace(400, 1000), (TextRect{5, 5, 380, 350}));
    EXPECT_EQ(HistoryListPlace(354, 385), (TextRect{5, 5, 380, 350}));
    EXPECT_EQ(HistoryListPlace(300, 300), (TextRect{5, 5, 295, 296}));
    // At 150 % the place, the gap and the margin scale (the edit's top and the client are in pixels already).
    EXPECT_EQ(HistoryListPlace(std::nullopt, 2000, 144), (TextRect{8, 8, 570, 525}));
    EXPECT_EQ(HistoryListPlace(500, 500, 192), (TextRect{10, 10, 490, 492}));
}

TEST(ConversationWindow, UploadStampIsTheMinuteOfTheOffer) {
    EXPECT_EQ(UploadStamp("20200102150405"), "202001021504");
    EXPECT_EQ(UploadStamp("2020"), "2020");
    EXPECT_EQ(UploadStamp(""), "");
}
