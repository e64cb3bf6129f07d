#include "core/ui/BadgeLayout.h"

#include <gtest/gtest.h>

#include <cstdlib>

using namespace dravel;

namespace {

// Within a sixteenth of the side of sixteenths of it.
bool AboutSixteenths(int length, int side, int sixteenths) {
    return std::abs(length * 16 - side * sixteenths) <= 16;
}

TEST(CountBadge, TextAndPlaceForEverySizeTheTrayUses) {
    const struct {
        int count;
        const char* text;
    } counts[] = {{0, ""}, {1, "1"}, {9, "9"}, {10, "10"}, {99, "99"}, {100, "99+"}, {5000, "99+"}, {-3, ""}};
    for (int side : {16, 20, 24, 32, 48}) {
        const QuietSign quiet = LayOutQuietSign(side);
        for (const auto& c : counts) {
            for (bool bWhole : {false, true}) {
                SCOPED_TRACE(testing::Message() << side << " px, " << c.count << (bWhole ? ", alone" : ""));
                const CountBadge badge = LayOutCountBadge(side, c.count, bWhole);
                EXPECT_EQ(badge.text, c.text);
                const LayoutRect& p = badge.pill;
                const int len = static_cast<int>(badge.text.size());
                if (len == 0)
                    continue;
                // Lower right, 9/16 of the side high (alone: all of it); round for one digit, wider for more.
                EXPECT_EQ(p.right, side);
                EXPECT_EQ(p.bottom, side);
                EXPECT_TRUE(bWhole ? p.Height() == side : AboutSixteenths(p.Height(), side, 9) && p.Height() >= 7);
                EXPECT_TRUE(len == 1 ? p.Width() == p.Height() : p.Width() > p.Height() || p.Width() == side);
                EXPECT_LE(p.Width(), side);
                // Bold digits (about 0.55 of their height wide) fit the pill; the quiet sign leaves it clear.
                EXPECT_GE(badge.fontHeight, 5);
                EXPECT_LT(badge.fontHeight, p.Height());
                EXPECT_LE(badge.fontHeight * 55 * len, (p.Width() - 2) * 100);
                EXPECT_TRUE(bWhole || quiet.circle.bottom <= p.top);
            }
        }
        // The sign: round, 7/16 of the side, in the upper left, its bar across the middle.
        const LayoutRect &circle = quiet.circle, &bar = quiet.bar;
        EXPECT_EQ(circle, (LayoutRect{0, 0, circle.right, circle.right}));
        EXPECT_TRUE(AboutSixteenths(circle.Width(), side, 7));
        EXPECT_TRUE(bar.left > 0 && bar.right < circle.right && bar.Height() >= 1);
        EXPECT_LE(std::abs((bar.top + bar.bottom) - circle.bottom), 1);
    }
}

} // namespace
