#include "core/ui/SkinButtonRules.h"

#include <gtest/gtest.h>

using namespace dravel;

TEST(SkinButtonRules, StateColoursAreRangeChecked) {
    CSkinButtonColours c(0xC0C0C0, 0x000000);
    EXPECT_EQ(c[BK_ACTIVE], 0xC0C0C0u);
    EXPECT_EQ(c[FG_FOCUSED], 0u);
    EXPECT_EQ(c.Set(6, 0x123456), kButtonInvalidIndex);
    EXPECT_EQ(c.Set(-1, 0x123456), kButtonInvalidIndex);
    for (int i = 0; i < BTNST_MAX_COLORS; ++i) // nothing changed
        EXPECT_NE(c[i], 0x123456u);
    EXPECT_EQ(c.Set(BK_IDLE, 0x00FF00), kButtonOk);
    EXPECT_EQ(c[BK_IDLE], 0x00FF00u);
    c.Reset(1, 2);
    EXPECT_EQ(c[BK_IDLE], 1u);
    EXPECT_EQ(c[FG_IDLE], 2u);
}

TEST(SkinButtonRules, AttachingReadsTheButtonType) {
    auto a = AttachButtonStyle(0x50010000); // push button
    EXPECT_FALSE(a.bDefault);
    EXPECT_EQ(a.nNewStyle, 0x5001000Bu);
    a = AttachButtonStyle(0x50010001); // default push button
    EXPECT_TRUE(a.bDefault);
    // Declared owner-drawn in its template: stays owner-drawn.
    a = AttachButtonStyle(0x5001000B);
    EXPECT_EQ(a.nNewStyle, 0x5001000Bu);

    EXPECT_EQ(RestyleOwnerDrawn(0x50010001), 0x5001000Bu);
    EXPECT_TRUE(IsDefaultPushStyle(1));
    EXPECT_FALSE(IsDefaultPushStyle(0));
}

TEST(SkinButtonRules, PressedStateAndColours) {
    SkinButtonState s;
    EXPECT_FALSE(IsDrawnPressed(s));
    s.bMenuShown = true;
    EXPECT_TRUE(IsDrawnPressed(s)); // while the drop-down menu is open
    s.bCheckBox = true;
    EXPECT_FALSE(IsDrawnPressed(s)); // check boxes ignore the menu and follow their check
    s.bChecked = true;
    EXPECT_TRUE(IsDrawnPressed(s));

    EXPECT_EQ(BackgroundColourIndex(true, false, true), BK_ACTIVE);
    EXPECT_EQ(BackgroundColourIndex(false, true, false), BK_ACTIVE);
    EXPECT_EQ(BackgroundColourIndex(false, false, true), BK_FOCUSED);
    EXPECT_EQ(BackgroundColourIndex(false, false, false), BK_IDLE);
    // The caption of a focused idle button keeps the idle colours.
    EXPECT_EQ(CaptionColourIndexes(false, false).nText, FG_IDLE);
    EXPECT_EQ(CaptionColourIndexes(true, false).nBack, BK_ACTIVE);
}

TEST(SkinButtonRules, ActiveOrIdleImage) {
    EXPECT_TRUE(UseActiveImage(false, true, false, true));
    EXPECT_FALSE(UseActiveImage(false, true, true, true)); // hovered check box keeps its idle image
    EXPECT_TRUE(UseActiveImage(true, false, true, true));
    EXPECT_FALSE(UseActiveImage(false, false, false, true));
    EXPECT_TRUE(UseActiveImage(false, false, false, false)); // only one image
}

TEST(SkinButtonRules, ImageBesideTheCaption) {
    const LayoutRect rc{0, 0, 100, 40};
    auto l = PlaceButtonContent(ALIGN_IMAGE_LEFT, rc, 32, 32, true, false);
    EXPECT_EQ(l.image, (LayoutRect{3, 4, 35, 36}));
    EXPECT_EQ(l.text.left, 38);
    EXPECT_EQ(l.text.right, 100);
    l = PlaceButtonContent(ALIGN_IMAGE_LEFT, rc, 32, 32, false, false);
    EXPECT_EQ(l.image, (LayoutRect{34, 4, 66, 36}));

    const LayoutRect tall{0, 0, 60, 80};
    l = PlaceButtonContent(ALIGN_IMAGE_TOP, tall, 32, 32, true, false);
    EXPECT_EQ(l.image, (LayoutRect{14, 3, 46, 35}));
    EXPECT_EQ(l.text.top, 35);
    l = PlaceButtonContent(ALIGN_IMAGE_TOP, tall, 32, 32, false, false);
    EXPECT_EQ(l.image.top, 24);

    l = PlaceButtonContent(ALIGN_IMAGE_RIGHT, rc, 32, 32, true, false);
    EXPECT_EQ(l.image, (LayoutRect{65, 4, 97, 36}));
    EXPECT_EQ(l.text.left, 3);
    EXPECT_EQ(l.text.right, 65);
    l = PlaceButtonContent(ALIGN_IMAGE_RIGHT, rc, 32, 32, false, false);
    EXPECT_EQ(l.image, (LayoutRect{34, 4, 66, 36}));

    // At 200 % the margins and the pressed shift double around the 64-pixel image.
    const LayoutRect big{0, 0, 200, 80};
    l = PlaceButtonContent(ALIGN_IMAGE_LEFT, big, 64, 64, true, true, 192);
    EXPECT_EQ(l.image, (LayoutRect{6 + 2, 8 + 2, 70 + 2, 72 + 2}));
    EXPECT_EQ(l.text.left, 76);
    l = PlaceButtonContent(ALIGN_IMAGE_RIGHT, big, 64, 64, true, false, 144);
    EXPECT_EQ(l.image.left, 200 - 64 - 5); // 4.5 rounds up

    // Pressed: one pixel right and down; the caption area does not move here.
    l = PlaceButtonContent(ALIGN_IMAGE_LEFT, {10, 20, 110, 60}, 16, 16, true, true);
    EXPECT_EQ(l.image, (LayoutRect{14, 33, 30, 49}));
    EXPECT_EQ(l.text.left, 32);
    // An image larger than the button is centred around the middle.
    EXPECT_EQ(PlaceButtonContent(ALIGN_IMAGE_LEFT, {0, 0, 20, 20}, 32, 32, false, false).image,
              (LayoutRect{-6, -6, 26, 26}));

    EXPECT_EQ(CentreCaption({38, 0, 100, 40}, 30, 14), (LayoutRect{54, 13, 84, 27}));
}

TEST(SkinButtonRules, HoverTracking) {
    using H = HoverAction;
    EXPECT_EQ(DecideHoverOnMove(true, false, false, true, false, true), H::Start);
    EXPECT_EQ(DecideHoverOnMove(true, true, false, true, false, true), H::None); // stays lit, no flicker
    EXPECT_EQ(DecideHoverOnMove(true, true, false, false, false, true), H::Cancel);
    EXPECT_EQ(DecideHoverOnMove(false, false, false, true, true, true), H::None); // classic look
    EXPECT_EQ(DecideHoverOnMove(true, false, true, true, false, true), H::None);  // dragged in
    EXPECT_EQ(DecideHoverOnMove(true, true, true, false, false, true), H::Cancel);
    // Another application active: no highlight unless always tracking.
    EXPECT_EQ(DecideHoverOnMove(true, false, false, true, false, false), H::None);
    EXPECT_EQ(DecideHoverOnMove(true, false, false, true, true, false), H::Start);
    EXPECT_EQ(DecideHoverOnMove(true, true, false, true, false, false), H::Cancel);
}
