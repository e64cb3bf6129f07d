#include "core/ui/AnchorLayout.h"
#include "core/ui/DpiScale.h"

#include <gtest/gtest.h>

using namespace dravel;

TEST(AnchorLayout, BottomRightOnlyKeepsTheSizeAndFollowsTheCorner) {
    // x 200..280 in a 300-pixel client, anchored bottom right only: 300..380 at 400 pixels.
    const auto e = MakeAnchorEntry({200, 150, 280, 180}, 300, 200, kAnchorBottomRight, kAnchorNone);
    EXPECT_EQ(e.bottomRight, kAnchorBottomRight);
    EXPECT_EQ(AnchoredRect(e, 400, 200), (LayoutRect{300, 150, 380, 180}));
    EXPECT_EQ(AnchoredRect(e, 400, 260), (LayoutRect{300, 210, 380, 240}));
    // Back at the opening size it is where it started.
    EXPECT_EQ(AnchoredRect(e, 300, 200), (LayoutRect{200, 150, 280, 180}));
}

TEST(AnchorLayout, BothCornersGrowByTheClientsGrowth) {
    const LayoutRect list{10, 40, 290, 170};
    const auto e = MakeAnchorEntry(list, 300, 200, kAnchorTopLeft, kAnchorBottomRight);
    for (int grow : {1, 37, 500}) {
        const LayoutRect r = AnchoredRect(e, 300 + grow, 200 + 2 * grow);
        EXPECT_EQ(r.left, 10);
        EXPECT_EQ(r.top, 40);
        EXPECT_EQ(r.Width(), list.Width() + grow);
        EXPECT_EQ(r.Height(), list.Height() + 2 * grow);
    }
    // Shrinking below the opening size shrinks the control the same way.
    EXPECT_EQ(AnchoredRect(e, 250, 150), (LayoutRect{10, 40, 240, 120}));
}

TEST(AnchorLayout, PercentagesTruncateAfterTheProduct) {
    // 50% of 301 is 150 (not 150.5 rounded), and the offset is taken the same way.
    const auto e = MakeAnchorEntry({160, 0, 170, 10}, 301, 100, kAnchorTopCentre, kAnchorNone);
    EXPECT_EQ(e.topLeftOffset, (LayoutOffset{10, 0}));
    EXPECT_EQ(AnchoredRect(e, 303, 100).left, 161);
    EXPECT_EQ(AnchorPixel(333, 33), 109); // 10989 / 100
    EXPECT_EQ(AnchorPixel(99, 50), 49);
    // Wild anchors from a caller do not overflow.
    EXPECT_EQ(AnchorPixel(30000, 2000000000), 2147483647);
}

TEST(AnchorLayout, ADpiChangeScalesTheDistancesSoControlsKeepTheirPlaceInTheScaledClient) {
    // A list with a 10-pixel margin and a button 20 pixels off the bottom-right corner, at 96 dpi.
    const auto list = MakeAnchorEntry({10, 40, 290, 170}, 300, 200, kAnchorTopLeft, kAnchorBottomRight);
    const auto button = MakeAnchorEntry({200, 170, 280, 190}, 300, 200, kAnchorBottomRight, kAnchorNone);
    // At 192 dpi the client doubles, and so does every rectangle.
    EXPECT_EQ(AnchoredRect(RescaleAnchorEntry(list, 96, 192), 600, 400), (LayoutRect{20, 80, 580, 340}));
    EXPECT_EQ(AnchoredRect(RescaleAnchorEntry(button, 96, 192), 600, 400), (LayoutRect{400, 340, 560, 380}));
    // 96 -> 144 -> 96 comes back to the very pixels (straight, not through rounded logical units).
    const auto there = RescaleAnchorEntry(button, 96, 144);
    EXPECT_EQ(AnchoredRect(there, 450, 300), (LayoutRect{300, 255, 420, 285}));
    EXPECT_EQ(AnchoredRect(RescaleAnchorEntry(there, 144, 96), 300, 200), (LayoutRect{200, 170, 280, 190}));
    EXPECT_EQ(RescaleForDpi(7, 96, 144), 11); // 10.5 rounds away from zero
    EXPECT_EQ(RescaleForDpi(-7, 96, 144), -11);
    EXPECT_EQ(RescaleForDpi(11, 144, 96), 7);
    // An unchanged or broken dpi changes nothing.
    EXPECT_EQ(AnchoredRect(RescaleAnchorEntry(list, 120, 120), 300, 200), AnchoredRect(list, 300, 200));
    EXPECT_EQ(AnchoredRect(RescaleAnchorEntry(list, 0, 96), 300, 200), AnchoredRect(list, 300, 200));
}

TEST(AnchorLayout, ControlWithoutAnyAnchorStaysPut) {
    const auto e = MakeAnchorEntry({20, 30, 60, 50}, 300, 200, kAnchorNone, kAnchorNone);
    EXPECT_EQ(AnchoredRect(e, 900, 700), (LayoutRect{20, 30, 60, 50}));
}

TEST(AnchorLayout, CentreAnchorMovesByHalfTheGrowth) {
    const auto e = MakeAnchorEntry({140, 90, 160, 110}, 300, 200, kAnchorCentre, kAnchorNone);
    EXPECT_EQ(AnchoredRect(e, 400, 300), (LayoutRect{190, 140, 210, 160}));
}

TEST(AnchorLayout, RegistrationTraitsFromClassAndStyle) {
    EXPECT_TRUE(ClassifyAnchoredControl("Button", 0x50000007).bAddClipSiblings); // group box
    EXPECT_FALSE(ClassifyAnchoredControl("Button", 0x50000000).bAddClipSiblings);
    EXPECT_FALSE(ClassifyAnchoredControl("Button", 0x5000000B).bAddClipSiblings);
    EXPECT_TRUE(ClassifyAnchoredControl("ListBox", 0).bHScrollFix);
    EXPECT_FALSE(ClassifyAnchoredControl("ComboLBox", 0).bHScrollFix);
    // Static: left, centre, right text and centred images repaint; icons, frames... do not.
    for (unsigned s : {0u, 1u, 2u, 0x20Eu, 0x203u})
        EXPECT_TRUE(ClassifyAnchoredControl("static", s).bRepaint) << s;
    for (unsigned s : {3u, 4u, 0xEu, 0x12u})
        EXPECT_FALSE(ClassifyAnchoredControl("Static", s).bRepaint) << s;
    EXPECT_FALSE(ClassifyAnchoredControl("Edit", 0).bRepaint);
}

TEST(AnchorLayout, RearrangementDecisions) {
    EXPECT_FALSE(ShouldRearrange(false, kSizeRestored));
    EXPECT_TRUE(ShouldRearrange(true, kSizeRestored));
    EXPECT_TRUE(ShouldRearrange(true, kSizeMinimized));
    EXPECT_TRUE(ShouldRearrange(true, kSizeMaximized));
    EXPECT_FALSE(ShouldRearrange(true, kSizeMaxShow));
    EXPECT_FALSE(ShouldRearrange(true, kSizeMaxHide));

    const LayoutRect r{10, 10, 50, 30};
    EXPECT_FALSE(DecideAnchoredMove(r, r).bMoves);
    auto m = DecideAnchoredMove(r, {20, 10, 60, 30});
    EXPECT_TRUE(m.bMoves && m.bKeepSize && !m.bKeepPosition);
    m = DecideAnchoredMove(r, {10, 10, 70, 30});
    EXPECT_TRUE(m.bMoves && m.bKeepPosition && !m.bKeepSize);
    m = DecideAnchoredMove(r, {0, 0, 70, 30});
    EXPECT_TRUE(m.bMoves && !m.bKeepPosition && !m.bKeepSize);
}

TEST(AnchorLayout, ListBoxScrollFix) {
    EXPECT_TRUE(HScrollFixNeedsRepaint(100, 90, 20));   // the limit falls below the position
    EXPECT_FALSE(HScrollFixNeedsRepaint(100, 80, 20));  // exactly at the position
    EXPECT_FALSE(HScrollFixNeedsRepaint(0, 10, 20));    // no horizontal scrolling
    EXPECT_FALSE(HScrollFixNeedsRepaint(100, 90, -20)); // narrower
}

TEST(AnchorLayout, GripSquareAndHitTest) {
    const auto g = GripSquare(300, 200, 16, 17);
    EXPECT_EQ(g, (LayoutRect{284, 183, 300, 200}));
    EXPECT_TRUE(IsOnGrip(true, g, 299, 199));
    EXPECT_TRUE(IsOnGrip(true, g, 284, 183));
    EXPECT_FALSE(IsOnGrip(true, g, 300, 199));
    EXPECT_FALSE(IsOnGrip(true, g, 283, 190));
    EXPECT_FALSE(IsOnGrip(false, g, 290, 190));
    // A client smaller than the grip: points left of or above the client never count.
    const auto tiny = GripSquare(8, 8, 16, 17);
    EXPECT_FALSE(IsOnGrip(true, tiny, -3, 4));
    EXPECT_TRUE(IsOnGrip(true, tiny, 3, 4));
}
