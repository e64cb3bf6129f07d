#include "core/ui/NotifierSkin.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

using namespace dravel;

namespace {

constexpr std::uint32_t kWhite = 0xFFFFFF;
constexpr std::uint32_t kTeal = 0x8A7816; // red 0x16, green 0x78, blue 0x8A

// A skin drawn as text rows: '.' is white, anything else teal. Records the width it was asked for.
class TextSkin : public SkinPixelReader {
public:
    TextSkin(std::vector<std::string> rows) : m_rows(std::move(rows)) {}
    bool bFail = false;
    mutable int nReadWidth = -1;

    bool ReadPixels(int width, int height, std::vector<std::uint32_t>& pixels) const override {
        nReadWidth = width;
        if (bFail)
            return false;
        pixels.clear();
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                pixels.push_back(m_rows[y][x] == '.' ? kWhite : kTeal);
        return true;
    }

private:
    std::vector<std::string> m_rows;
};

// How many rectangles of the region cover the pixel (0 outside, 1 inside, more would be an overlap).
int Coverage(const std::vector<NotifierRect>& rects, int x, int y) {
    int n = 0;
    for (const auto& r : rects)
        n += x >= r.left && x < r.right && y >= r.top && y < r.bottom;
    return n;
}

TEST(NotifierSkinRegion, LeavesOutExactlyTheTransparentPixels) {
    const std::vector<std::string> rows = {
        "..##..##", ".######.", ".######.", "########", "........", "#..##..#",
    };
    TextSkin skin(rows);
    const auto region = BuildSkinRegion(skin, 8, 6, 255, 255, 255);
    ASSERT_TRUE(region.has_value());
    for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 8; ++x)
            EXPECT_EQ(Coverage(*region, x, y), rows[y][x] == '.' ? 0 : 1) << "pixel " << x << "," << y;
    // The two equal rows make one band of rectangles.
    EXPECT_EQ(region->size(), 2u + 1u + 1u + 3u);
}

TEST(NotifierSkinRegion, ColumnsPastAMultipleOfFourAreNotPartOfTheWindow) {
    TextSkin skin({"#######", "#######"});
    const auto region = BuildSkinRegion(skin, 7, 2, 255, 255, 255);
    ASSERT_TRUE(region.has_value());
    EXPECT_EQ(skin.nReadWidth, 4);
    ASSERT_EQ(region->size(), 1u);
    EXPECT_EQ((*region)[0], (NotifierRect{0, 0, 4, 2}));
}

TEST(NotifierSkinRegion, OnlyAnExactColourMatchIsTransparent) {
    // Off-white pixels next to white stay part of the window; so does all of it when the key is off range.
    class NearWhite : public SkinPixelReader {
    public:
        bool ReadPixels(int width, int height, std::vector<std::uint32_t>& pixels) const override {
            pixels.assign(static_cast<size_t>(width) * height, kWhite);
            pixels[1] = 0xFFFFFE;             // red 254
            pixels[2] = 0xFEFFFF;             // blue 254
            pixels[3] = 0xFF000000u | kWhite; // a fourth byte is not colour
            return true;
        }
    } skin;
    const auto region = BuildSkinRegion(skin, 4, 1, 255, 255, 255);
    ASSERT_TRUE(region.has_value());
    EXPECT_EQ(Coverage(*region, 0, 0), 0);
    EXPECT_EQ(Coverage(*region, 1, 0), 1);
    EXPECT_EQ(Coverage(*region, 2, 0), 1);
    EXPECT_EQ(Coverage(*region, 3, 0), 0);

    const auto whole = BuildSkinRegion(skin, 4, 1, 256, 255, 255);
    ASSERT_TRUE(whole.has_value());
    ASSERT_EQ(whole->size(), 1u);
    EXPECT_EQ((*whole)[0], (NotifierRect{0, 0, 4, 1}));
}

TEST(NotifierSkinRegion, UnreadableOrFullyTransparentSkins) {
    TextSkin unreadable({"####"});
    unreadable.bFail = true;
    EXPECT_FALSE(BuildSkinRegion(unreadable, 4, 1, 255, 255, 255).has_value());

    TextSkin blank({"....", "...."});
    const auto empty = BuildSkinRegion(blank, 4, 2, 255, 255, 255);
    ASSERT_TRUE(empty.has_value());
    EXPECT_TRUE(empty->empty());

    // A skin narrower than 4 pixels has no readable columns: an empty shape, and nothing is read.
    TextSkin narrow({"###"});
    const auto none = BuildSkinRegion(narrow, 3, 1, 255, 255, 255);
    ASSERT_TRUE(none.has_value());
    EXPECT_TRUE(none->empty());
    EXPECT_EQ(narrow.nReadWidth, -1);
}

TEST(NotifierSkinRegion, MinusOneInAnyComponentMeansNoTransparentColour) {
    EXPECT_TRUE(IsTransparentColourGiven(255, 255, 255));
    EXPECT_TRUE(IsTransparentColourGiven(0, 0, 0));
    EXPECT_FALSE(IsTransparentColourGiven(-1, 255, 255));
    EXPECT_FALSE(IsTransparentColourGiven(255, -1, 255));
    EXPECT_FALSE(IsTransparentColourGiven(255, 255, -1));
}

TEST(NotifierFonts, StyleBitsGiveWeightSlantAndUnderline) {
    EXPECT_EQ(NotifierFontFromStyle(0), (NotifierFontStyle{400, false, false}));
    EXPECT_EQ(NotifierFontFromStyle(1), (NotifierFontStyle{700, false, false}));
    EXPECT_EQ(NotifierFontFromStyle(2), (NotifierFontStyle{400, true, false}));
    EXPECT_EQ(NotifierFontFromStyle(4), (NotifierFontStyle{400, false, true}));
    EXPECT_EQ(NotifierFontFromStyle(7), (NotifierFontStyle{700, true, true}));
}

} // namespace
