#include "core/ui/DpiScale.h"

#include <gtest/gtest.h>

using namespace dravel;

TEST(DpiScale, LengthsAndFontsScaleWithMulDivRounding) {
    // 96 dpi gives every length back unchanged, negative ones too.
    for (int v : {-13, -1, 0, 1, 2, 12, 97, 200, 100000})
        EXPECT_EQ(ScaleForDpi(v, 96), v);
    EXPECT_EQ(ScaleForDpi(97, 144), 146);
    EXPECT_EQ(ScaleForDpi(-97, 144), -146);
    EXPECT_EQ(ScaleForDpi(15, 144), 23); // 22.5
    EXPECT_EQ(ScaleForDpi(15, 120), 19); // 18.75
    EXPECT_EQ(ScaleForDpi(16, 192), 32);
    EXPECT_EQ(UnscaleForDpi(146, 144), 97);
    EXPECT_EQ(UnscaleForDpi(400, 192), 200);
    // Implausible reports count as 96 dpi; huge lengths saturate instead of overflowing.
    EXPECT_EQ(ScaleForDpi(97, 0), 97);
    EXPECT_EQ(ScaleForDpi(97, -144), 97);
    EXPECT_EQ(ScaleForDpi(97, 100000), 97);
    EXPECT_EQ(ScaleForDpi(2000000000, 192), 2147483647);
    EXPECT_EQ(ScaleForDpi(-2000000000, 192), -2147483647 - 1);

    // Points: 9 pt is 12 pixels at 96 dpi, 18 at 144, 24 at 192; tenths of a point the same way.
    EXPECT_EQ(PointsToPixels(9, 96), 12);
    EXPECT_EQ(PointsToPixels(9, 144), 18);
    EXPECT_EQ(PointsToPixels(9, 192), 24);
    EXPECT_EQ(PointsToPixels(9, 120), 15);
    EXPECT_EQ(TenthPointsToPixels(90, 96), 12);
    EXPECT_EQ(TenthPointsToPixels(95, 96), 13); // 12.67
    EXPECT_EQ(TenthPointsToPixels(95, 144), 19);

    // Artwork: the nearest drawn size, ties to the larger; its resource id.
    EXPECT_EQ(ArtScalePercent(96), 100);
    EXPECT_EQ(ArtScalePercent(119), 100);
    EXPECT_EQ(ArtScalePercent(120), 150);
    EXPECT_EQ(ArtScalePercent(144), 150);
    EXPECT_EQ(ArtScalePercent(168), 200);
    EXPECT_EQ(ArtScalePercent(192), 200);
    EXPECT_EQ(ArtScalePercent(288), 200);
    EXPECT_EQ(ArtScalePercent(0), 100);
    EXPECT_EQ(SizedArtId(156, 100), 156);
    EXPECT_EQ(SizedArtId(156, 150), 1156);
    EXPECT_EQ(SizedArtId(156, 200), 2156);
}
