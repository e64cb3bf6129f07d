#include "core/portal/PortalMenu.h"

#include <gtest/gtest.h>

#include <array>
#include <climits>
#include <string>

using namespace dravel;

namespace {

std::string PageFor(int nCommand) {
    const PortalCommand c = PortalCommandFor(nCommand);
    return c.action == PortalAction::Page ? std::string(c.path) : std::string();
}

TEST(PortalMenuTest, EachCommandOpensItsOwnPageAndChattingTheChatList) {
    // The labels and pages pair crosswise for the two boards: "Information" 32782 is the notice
    // board, "Notice" 32783 the customer-voice list.
    EXPECT_EQ(PageFor(32780), "/sm/order/list.asp");
    EXPECT_EQ(PageFor(32782), "/sm/board/notice/list.asp");
    EXPECT_EQ(PageFor(32783), "/sm/voc/list.asp");
    EXPECT_EQ(PageFor(32784), "/sm/board/qna/list.asp");
    EXPECT_EQ(PortalCommandFor(32781).action, PortalAction::ChatList);
    EXPECT_TRUE(PortalCommandFor(32781).path.empty());
    for (int n : {0, 32779, 32785, -32780, 0x10, 0x20})
        EXPECT_EQ(PortalCommandFor(n).action, PortalAction::None) << n;
}

TEST(PortalMenuTest, PageAddressIsTheServerHostOverHttp) {
    EXPECT_EQ(PortalPageUrl("127.0.0.1", "/sm/voc/list.asp"), "http://127.0.0.1/sm/voc/list.asp");
    EXPECT_EQ(PortalPageUrl("portal.example:8080", PortalCommandFor(32780).path),
              "http://portal.example:8080/sm/order/list.asp");
    // Host bytes are not reinterpreted (a 949 name stays as it is).
    EXPECT_EQ(PortalPageUrl("\xC7\xD1", "/x"), "http://\xC7\xD1/x");
}

TEST(PortalMenuTest, PortalWindowCoversTheWorkAreaWhereverTheTaskbarStands) {
    // Taskbar at the bottom, top, left and right of a 1280 x 800 screen.
    struct Case {
        ScreenRect area;
        int32_t l, t, w, h;
    } cases[] = {
        {{0, 0, 1280, 770}, 0, 0, 1280, 770},
        {{0, 30, 1280, 800}, 0, 30, 1280, 770},
        {{60, 0, 1280, 800}, 60, 0, 1220, 800},
        {{0, 0, 1220, 800}, 0, 0, 1220, 800},
        // A work area on a monitor left of the primary one.
        {{-1920, -100, -200, 980}, -1920, -100, 1720, 1080},
    };
    for (const Case& c : cases) {
        const PortalPopupRequest r = PortalWindowRequestFor("http://h/p", c.area);
        EXPECT_EQ(r.strUrl, "http://h/p");
        EXPECT_EQ(r.nLeft, c.l);
        EXPECT_EQ(r.nTop, c.t);
        EXPECT_EQ(r.nWidth, c.w);
        EXPECT_EQ(r.nHeight, c.h);
    }
    // An inverted or absurd rectangle gives no negative and no overflowing size.
    const PortalPopupRequest inverted = PortalWindowRequestFor("", {100, 100, 0, 0});
    EXPECT_EQ(inverted.nWidth, 0);
    EXPECT_EQ(inverted.nHeight, 0);
    const PortalPopupRequest wide = PortalWindowRequestFor("", {INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX});
    EXPECT_EQ(wide.nWidth, kMaxWindowExtent);
    EXPECT_EQ(wide.nHeight, kMaxWindowExtent);
}

TEST(PortalMenuTest, ScriptPlacementKeepsOrdinaryValuesAndBoundsTheRest) {
    PortalPopupRequest ordinary{"http://h/a", -40, 10, 640, 480};
    PortalPopupRequest r = SanePlacement(ordinary);
    EXPECT_EQ(r.strUrl, "http://h/a");
    EXPECT_EQ(r.nLeft, -40);
    EXPECT_EQ(r.nTop, 10);
    EXPECT_EQ(r.nWidth, 640);
    EXPECT_EQ(r.nHeight, 480);

    r = SanePlacement({"", INT32_MIN, INT32_MAX, -5, INT32_MAX});
    EXPECT_EQ(r.nLeft, -kMaxWindowExtent);
    EXPECT_EQ(r.nTop, kMaxWindowExtent);
    EXPECT_EQ(r.nWidth, 0);
    EXPECT_EQ(r.nHeight, kMaxWindowExtent);
    // Right and bottom edges can be computed without overflow.
    EXPECT_LE(int64_t{r.nTop} + r.nHeight, int64_t{INT32_MAX});
}

TEST(PortalMenuTest, APortalWindowWithoutAPlaceTakesTheMiddleOfTheWorkArea) {
    // Three quarters of the work area each way.
    const PortalPopupRequest r = PortalNewWindowRequestFor("http://127.0.0.1/x", {100, 0, 900, 600});
    EXPECT_EQ((std::array{r.nLeft, r.nTop, r.nWidth, r.nHeight}), (std::array{200, 75, 600, 450}));
    EXPECT_EQ(PortalNewWindowRequestFor("u", {0, 0, -5, -5}).nWidth, 0);
}

} // namespace
