#include "core/ui/SkinBackground.h"

#include <gtest/gtest.h>

using namespace dravel;

TEST(SkinBackground, TileCoversTheClientFromTheOrigin) {
    // 243 x 270 with a 100 x 100 bitmap: x = 0, 100, 200 and y = 0, 100, 200.
    const auto p = PlaceSkinBackground(kSkinTile, 100, 100, 243, 270);
    EXPECT_EQ(p.nColumns, 3);
    EXPECT_EQ(p.nRows, 3);
    EXPECT_EQ(p.x, 0);
    EXPECT_EQ(p.y, 0);
    EXPECT_EQ(p.cx, 100);
    EXPECT_FALSE(p.bStretch);
    // Exact multiples need no partial copy; one pixel more needs one.
    EXPECT_EQ(PlaceSkinBackground(kSkinTile, 100, 50, 200, 100).Copies(), 4);
    EXPECT_EQ(PlaceSkinBackground(kSkinTile, 100, 50, 201, 101).Copies(), 9);
    // A bitmap larger than the client is one copy.
    EXPECT_EQ(PlaceSkinBackground(kSkinTile, 500, 500, 243, 270).Copies(), 1);
}

TEST(SkinBackground, CentreRoundsHalvesTowardMinusInfinity) {
    auto p = PlaceSkinBackground(kSkinCentre, 100, 100, 243, 270);
    EXPECT_EQ(p.x, 71);
    EXPECT_EQ(p.y, 85);
    // Larger than the client: negative halves round down, not toward zero.
    p = PlaceSkinBackground(kSkinCentre, 100, 100, 75, 99);
    EXPECT_EQ(p.x, -13);
    EXPECT_EQ(p.y, -1);
    EXPECT_EQ(p.Copies(), 1);
}

TEST(SkinBackground, NormalFitAndStretch) {
    for (int mode : {kSkinNormal, kSkinFitWindow}) {
        const auto p = PlaceSkinBackground(mode, 243, 270, 400, 300);
        EXPECT_EQ(p.Copies(), 1);
        EXPECT_EQ(p.x, 0);
        EXPECT_EQ(p.cx, 243);
        EXPECT_EQ(p.cy, 270);
    }
    const auto s = PlaceSkinBackground(kSkinStretch, 100, 100, 243, 270);
    EXPECT_TRUE(s.bStretch);
    EXPECT_EQ(s.cx, 243);
    EXPECT_EQ(s.cy, 270);
}

TEST(SkinBackground, EmptySizesAndUnknownModesDrawNothing) {
    EXPECT_EQ(PlaceSkinBackground(kSkinTile, 0, 100, 243, 270).Copies(), 0); // would loop for ever
    EXPECT_EQ(PlaceSkinBackground(kSkinTile, 100, -5, 243, 270).Copies(), 0);
    EXPECT_EQ(PlaceSkinBackground(kSkinNormal, 100, 100, 0, 270).Copies(), 0);
    EXPECT_EQ(PlaceSkinBackground(5, 100, 100, 243, 270).Copies(), 0);
    EXPECT_EQ(PlaceSkinBackground(-1, 100, 100, 243, 270).Copies(), 0);
    // A one-pixel bitmap over a large client is still a finite grid.
    EXPECT_EQ(PlaceSkinBackground(kSkinTile, 1, 1, 1920, 1080).Copies(), 1920LL * 1080);
}
