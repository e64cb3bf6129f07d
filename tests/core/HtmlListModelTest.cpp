// The list model over a fake host whose measuring surface has known metrics (see FakeTextSurface.h).

#include "core/ui/HtmlListModel.h"
#include "tests/core/support/FakeTextSurface.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

using namespace dravel;
using dravel::test::CFakeTextSurface;

namespace {

class CFakeHost : public HtmlListHost {
public:
    void Notify(HtmlListNotify& n) override {
        notes.push_back(n);
        if (onNotify)
            onNotify(n);
    }
    void SetScrollBar(int total, int page, int position, bool) override {
        barTotal = total;
        barPage = page;
        barPos = position;
    }
    void Repaint(const TextRect* rect, bool bNow) override {
        ++repaints;
        if (bNow)
            ++immediateRepaints;
        if (rect != nullptr)
            itemRepaints.push_back(*rect);
    }
    std::unique_ptr<TextSurface> CreateMeasureSurface() override {
        auto s = std::make_unique<CRecordingSurface>(*this);
        return s;
    }
    bool HasImages() override { return imageWidth > 0; }
    int ImageWidth(int) override { return imageWidth; }

    std::vector<unsigned> Codes() const {
        std::vector<unsigned> codes;
        for (const auto& n : notes)
            codes.push_back(n.hdr.code);
        return codes;
    }

    // A fake surface that reports the boxes it measured to the host.
    class CRecordingSurface : public CFakeTextSurface {
    public:
        explicit CRecordingSurface(CFakeHost& host) : m_host(host) {}
        ~CRecordingSurface() override {
            m_host.measures += static_cast<int>(measured.size());
            if (!measured.empty())
                m_host.lastBox = measured.back().box;
        }

    private:
        CFakeHost& m_host;
    };

    std::vector<HtmlListNotify> notes;
    std::function<void(HtmlListNotify&)> onNotify;
    int barTotal = -1;
    int barPage = -1;
    int barPos = -1;
    int repaints = 0;
    int immediateRepaints = 0;
    std::vector<TextRect> itemRepaints;
    int imageWidth = 0;
    int measures = 0;
    TextRect lastBox;
};

struct ListFixture : ::testing::Test {
    ListFixture() {
        model.SetControlId(2000);
        model.SetClientSize(375, 345);
    }
    // Lays the items out as a paint would, with the client area 0..375.
    void Paint() {
        model.PaintItems(0, 375, [](const TextRect&, HtmlListItem&, bool) {});
    }
    CFakeHost host;
    CHtmlListModel model{host};
};

TEST_F(ListFixture, MeasuresInTheBubbleBoxAndAddsTwenty) {
    // 60 bytes of 6 px in a box of 375 - 5 - 50 = 320 px: two lines of 12.
    const std::string text(60, 'x');
    EXPECT_EQ(model.AddItem(text, 0, HLT_TEXT, 0), 0);
    EXPECT_EQ(host.lastBox.left, 0);
    EXPECT_EQ(host.lastBox.right, 320);
    EXPECT_EQ(host.lastBox.bottom, 345);
    EXPECT_EQ(model.FindItem(0)->nHeight, 2 * 12 + 20);
    EXPECT_EQ(model.FindItem(0)->nFixedHeight, 0);

    // Right side, check boxes and a 16 px image: left 50, right 375 - 24 - 26 - 15.
    host.imageWidth = 16;
    model.SetStyle(HLS_CHECKBOXES | HLS_IMAGES);
    model.AddItem("a", 1, HLT_TEXT, 0);
    EXPECT_EQ(host.lastBox.left, 50);
    EXPECT_EQ(host.lastBox.right, 375 - 24 - 26 - 15);

    // HTML goes through the renderer (line 15), paths on one line, unknown types measure 0.
    model.AddItem("a<br>b", 0, HLT_HTML, 0);
    EXPECT_EQ(model.FindItem(2)->nHeight, 2 * 15 + 20);
    model.AddItem(std::string(200, 'p'), 0, HLT_PATH, 0);
    EXPECT_EQ(model.FindItem(3)->nHeight, 12 + 20);
    model.AddItem("x", 0, 9, 0);
    EXPECT_EQ(model.FindItem(4)->nHeight, 0);
    EXPECT_EQ(host.barTotal, model.FindItem(0)->nHeight + model.FindItem(1)->nHeight + 50 + 32);
}

TEST_F(ListFixture, AddingSetsTheScrollRangeButNotThePosition) {
    model.AddItem("a", 0, HLT_TEXT, 300);
    EXPECT_EQ(host.barTotal, 300);
    EXPECT_EQ(host.barPage, 345);
    model.AddItem("b", 0, HLT_TEXT, 300);
    EXPECT_EQ(host.barTotal, 600);
    EXPECT_EQ(model.GetScrollPos(), 0);
    EXPECT_EQ(model.GetScrollLimit(), 600 - 345 + 1);
    EXPECT_EQ(host.repaints, 0);
    EXPECT_EQ(host.measures, 0);
    EXPECT_EQ(model.FindItem(1)->nFixedHeight, 1);
    model.AddItem("c", 0, HLT_TEXT, -50);
    EXPECT_EQ(host.barTotal, 600);
}

TEST_F(ListFixture, ResizeRemeasuresOnlyMeasuredItems) {
    model.AddItem(std::string(60, 'x'), 0, HLT_TEXT, 0); // two lines at 375
    model.AddItem("fixed", 0, HLT_TEXT, 99);
    model.AddItem(std::string(60, 'x'), 1, HLT_TEXT, 0);
    const int before = model.FindItem(0)->nHeight;
    model.OnSize(200, 100); // box 145: three lines
    EXPECT_EQ(before, 44);
    EXPECT_EQ(model.FindItem(0)->nHeight, 3 * 12 + 20);
    EXPECT_EQ(model.FindItem(1)->nHeight, 99);
    EXPECT_EQ(host.barTotal, 56 + 99 + model.FindItem(2)->nHeight);
    EXPECT_EQ(host.barPage, 100);
    // Re-measuring with new text clears the fixed height.
    model.SetItemText(1, std::string(60, 'y'), true);
    EXPECT_EQ(model.FindItem(1)->nFixedHeight, 0);
    EXPECT_EQ(model.FindItem(1)->nHeight, 56);
    model.SetItemText(0, "short", false);
    EXPECT_EQ(model.FindItem(0)->nHeight, 56);
}

TEST_F(ListFixture, PaintStoresRectanglesFromTheScrollPosition) {
    for (int i = 0; i < 10; ++i)
        model.AddItem("t", i % 2, HLT_TEXT, 100);
    model.OnVScroll(kScrollThumbTrack, 250);
    std::vector<int> selectedFlags;
    model.OnKeyDown(kKeyDown); // selects the last item, scrolls it into view
    EXPECT_EQ(model.GetScrollPos(), 1000 - 345);
    model.OnVScroll(kScrollThumbPosition, 250);
    model.PaintItems(0, 375, [&](const TextRect& r, HtmlListItem& item, bool bSelected) {
        EXPECT_EQ(r.top, item.nIndex * 100 - 250);
        selectedFlags.push_back(bSelected ? 1 : 0);
    });
    EXPECT_EQ(model.GetItemRect(3), (TextRect{0, 50, 375, 150}));
    EXPECT_EQ(selectedFlags, (std::vector<int>{0, 0, 0, 0, 0, 0, 0, 0, 0, 1}));
    EXPECT_TRUE(model.GetItemRect(10).IsEmpty());
    EXPECT_TRUE(IsItemInPaintArea({0, 50, 375, 150}, {0, 149, 375, 150}));
    EXPECT_FALSE(IsItemInPaintArea({0, 50, 375, 150}, {0, 150, 375, 300}));
    EXPECT_FALSE(IsItemInPaintArea({0, 50, 375, 150}, {0, 0, 375, 50}));
}

TEST_F(ListFixture, UpAndDownFromNoSelectionAndAtTheEnds) {
    model.OnKeyDown(kKeyUp);
    EXPECT_TRUE(host.notes.empty());
    EXPECT_EQ(model.GetSelected(), -1);
    for (int i = 0; i < 3; ++i)
        model.AddItem("t" + std::to_string(i), 0, HLT_TEXT, 50);
    model.OnKeyDown(kKeyDown);
    EXPECT_EQ(model.GetSelected(), 2);
    model.OnKeyDown(kKeyDown);
    EXPECT_EQ(model.GetSelected(), 2);
    model.OnKeyDown(kKeyUp);
    EXPECT_EQ(model.GetSelected(), 1);
    ASSERT_EQ(host.notes.size(), 3u);
    EXPECT_EQ(host.notes.back().hdr.code, HLN_SELECT);
    EXPECT_EQ(host.notes.back().nIndex, 1);
    EXPECT_EQ(host.notes.back().strText, "t1");
    EXPECT_EQ(host.notes.back().hdr.idFrom, 2000u);
    // Enter uses the selected item; without a selection it does nothing.
    model.OnKeyDown(kKeyReturn);
    ASSERT_EQ(host.notes.size(), 4u);
    EXPECT_EQ(host.notes.back().hdr.code, HLN_ACTIVATE);
    EXPECT_EQ(host.notes.back().strText, "t1");

    CFakeHost other;
    CHtmlListModel fresh(other);
    fresh.AddItem("a", 0, HLT_TEXT, 10);
    fresh.AddItem("b", 0, HLT_TEXT, 10);
    fresh.OnKeyDown(kKeyReturn);
    EXPECT_TRUE(other.notes.empty());
    fresh.OnKeyDown(kKeyUp);
    EXPECT_EQ(fresh.GetSelected(), 0);
    fresh.OnKeyDown(kKeyUp);
    EXPECT_EQ(fresh.GetSelected(), 0);
}

TEST_F(ListFixture, ClicksNotifyInOrder) {
    model.SetStyle(HLS_CHECKBOXES);
    model.AddItem("first", 0, HLT_TEXT, 40);
    model.AddItem("second", 1, HLT_TEXT, 40);
    model.SetItemData(1, 77);
    Paint();
    // The check box of item 1: (3, 40 + 20 - 8) to (18, 67).
    model.OnLButtonDown(3, 52);
    EXPECT_EQ(host.Codes(), (std::vector<unsigned>{HLN_PRESS, HLN_CHECK, HLN_SELECT}));
    EXPECT_EQ(host.notes[0].nIndex, -1);
    EXPECT_EQ(host.notes[1].nIndex, 1);
    EXPECT_EQ(host.notes[1].nChecked, 1);
    EXPECT_EQ(host.notes[1].nData, 77);
    EXPECT_EQ(host.notes[2].nChecked, 1);
    EXPECT_EQ(model.GetSelected(), 1);
    EXPECT_EQ(model.GetCheck(1), 1);

    // Just outside the box: no toggle.
    host.notes.clear();
    model.OnLButtonDown(18, 52);
    EXPECT_EQ(host.Codes(), (std::vector<unsigned>{HLN_PRESS, HLN_SELECT}));
    EXPECT_EQ(model.GetCheck(1), 1);

    // Below the last item: press, then select with nothing, and the selection is gone.
    host.notes.clear();
    model.OnLButtonDown(100, 81);
    EXPECT_EQ(host.Codes(), (std::vector<unsigned>{HLN_PRESS, HLN_SELECT}));
    EXPECT_EQ(host.notes[1].nIndex, -1);
    EXPECT_EQ(host.notes[1].strText, "");
    EXPECT_EQ(model.GetSelected(), -1);

    host.notes.clear();
    model.OnRButtonDown();
    model.OnLButtonDblClk();
    EXPECT_EQ(host.Codes(), (std::vector<unsigned>{HLN_RCLICK, HLN_DBLCLK}));
    EXPECT_EQ(host.notes[0].nIndex, -1);
}

TEST_F(ListFixture, SpaceTogglesTheSelectedItemOnlyWithCheckBoxes) {
    model.AddItem("a", 0, HLT_TEXT, 40);
    model.OnKeyDown(kKeyDown);
    host.notes.clear();
    model.OnKeyDown(kKeySpace);
    EXPECT_TRUE(host.notes.empty());
    model.SetStyle(HLS_CHECKBOXES);
    model.OnKeyDown(kKeySpace);
    ASSERT_EQ(host.Codes(), (std::vector<unsigned>{HLN_CHECK}));
    EXPECT_EQ(host.notes[0].nChecked, 1);
    EXPECT_EQ(model.GetCheck(0), 1);
}

TEST_F(ListFixture, ARemovalInTheParentsHandlerDoesNotLeaveADanglingItem) {
    model.SetStyle(HLS_CHECKBOXES);
    model.AddItem("a", 0, HLT_TEXT, 40);
    Paint();
    host.onNotify = [&](HtmlListNotify& n) {
        if (n.hdr.code == HLN_CHECK)
            model.RemoveItem(0);
    };
    model.OnLButtonDown(5, 15);
    EXPECT_EQ(host.Codes(), (std::vector<unsigned>{HLN_PRESS, HLN_CHECK, HLN_SELECT}));
    EXPECT_EQ(host.notes[2].nIndex, -1);
    EXPECT_EQ(model.GetSelected(), -1);
}

TEST_F(ListFixture, RemovalRenumbersAndKeepsIndicesEqualToPositions) {
    for (int i = 0; i < 4; ++i)
        model.AddItem("t" + std::to_string(i), 0, HLT_TEXT, 10 * (i + 1));
    model.OnKeyDown(kKeyDown); // selects 3
    EXPECT_FALSE(model.RemoveItem(7));
    EXPECT_TRUE(model.RemoveItem(1));
    EXPECT_EQ(model.GetCount(), 3);
    EXPECT_EQ(host.barTotal, 10 + 30 + 40);
    EXPECT_EQ(model.GetItemText(1), "t2");
    EXPECT_EQ(model.GetItemText(2), "t3");
    EXPECT_EQ(model.FindItem(2)->nIndex, 2);
    EXPECT_EQ(model.GetItemText(3), "");
    EXPECT_EQ(model.GetSelected(), 2); // still on "t3"
    EXPECT_TRUE(model.RemoveItem(2));
    EXPECT_EQ(model.GetSelected(), -1);
    // Unknown indices read empty values and change nothing.
    EXPECT_EQ(model.GetItemData(9), 0);
    EXPECT_EQ(model.GetCheck(-1), 0);
    EXPECT_EQ(model.GetItemSide(5), 0);
    model.SetCheck(9, 1);
    model.SetItemText(9, "x", true);
    EXPECT_EQ(model.GetCount(), 2);
}

TEST_F(ListFixture, ScrollingStepsAndLimits) {
    for (int i = 0; i < 10; ++i)
        model.AddItem("t", 0, HLT_TEXT, 100); // total 1000, page 345, limit 656
    model.OnMouseWheel(-360);
    EXPECT_EQ(model.GetScrollPos(), 40);
    EXPECT_EQ(host.barPos, 40);
    EXPECT_EQ(host.immediateRepaints, 1);
    model.OnMouseWheel(120);
    model.OnMouseWheel(120);
    EXPECT_EQ(model.GetScrollPos(), 0);
    model.OnVScroll(kScrollLineDown, 0);
    model.OnVScroll(kScrollPageDown, 0);
    EXPECT_EQ(model.GetScrollPos(), 100);
    model.OnVScroll(kScrollThumbTrack, 630);
    model.OnVScroll(kScrollLineDown, 0);
    EXPECT_EQ(model.GetScrollPos(), 656);
    const int repaints = host.repaints;
    model.OnVScroll(kScrollLineDown, 0);
    model.OnMouseWheel(-120);
    model.OnVScroll(8, 0); // end scroll: nothing
    EXPECT_EQ(host.repaints, repaints);
    model.OnVScroll(kScrollPageUp, 0);
    EXPECT_EQ(model.GetScrollPos(), 606);
    model.OnVScroll(kScrollThumbPosition, 5000);
    EXPECT_EQ(model.GetScrollPos(), 656);
    // A position set on the scroll bar from outside is taken over, within the range.
    model.SyncScrollPos(-5);
    EXPECT_EQ(model.GetScrollPos(), 0);
    model.ScrollToEnd();
    EXPECT_EQ(model.GetScrollPos(), 656);
    EXPECT_EQ(host.barPos, 656);
    // Removing items pulls the position back into the range.
    for (int i = 0; i < 8; ++i)
        model.RemoveItem(0);
    EXPECT_EQ(model.GetScrollPos(), 0);
}

TEST_F(ListFixture, ScrollIntoViewMovesOnlyAsFarAsNeeded) {
    for (int i = 0; i < 10; ++i)
        model.AddItem("t", 0, HLT_TEXT, 100);
    model.ScrollIntoView(5); // 500..600 below the view 0..345
    EXPECT_EQ(model.GetScrollPos(), 600 - 345);
    model.ScrollIntoView(4); // 400..500 inside 255..600
    EXPECT_EQ(model.GetScrollPos(), 255);
    model.ScrollIntoView(1);
    EXPECT_EQ(model.GetScrollPos(), 100);
    model.ScrollIntoView(42);
    EXPECT_EQ(model.GetScrollPos(), 100);
}

TEST_F(ListFixture, AtTwiceTheDpiMarginsAndSpacingDoubleAroundTheMeasuredText) {
    // 192 dpi, client 750 wide: the bubble's box is 750 - 10 - 100 = 640, the same 60 bytes take two lines
    // (the fake font does not grow, the host's real one would), and the space around them doubles.
    model.SetClientSize(750, 690);
    model.SetDpi(192);
    model.AddItem(std::string(60, 'x'), 0, HLT_TEXT, 0);
    EXPECT_EQ(host.lastBox.right, 640);
    EXPECT_EQ(model.FindItem(0)->nHeight, 12 + 40);
    model.AddItem("a", 1, HLT_TEXT, 0);
    EXPECT_EQ(host.lastBox.left, 100);
    EXPECT_EQ(host.lastBox.right, 750 - 10 - 30);
    // A fixed height is the caller's, in pixels already.
    model.AddItem("b", 0, HLT_TEXT, 33);
    EXPECT_EQ(model.FindItem(2)->nHeight, 33);
    // Back to 96 dpi: every measured item is measured again.
    const int before = host.measures;
    model.SetDpi(0); // a broken report counts as 96
    EXPECT_EQ(model.GetDpi(), 96);
    EXPECT_EQ(host.measures, before + 2);
    EXPECT_EQ(model.FindItem(0)->nHeight, 12 + 20);

    HtmlListItem item;
    item.nHeight = 120;
    item.nSide = 1;
    const HtmlItemGeometry g =
        ComputeHtmlItemGeometry({0, 200, 750, 320}, item, false, HLS_IMAGES | HLS_CHECKBOXES, true, 32, 192);
    EXPECT_EQ(g.fill, (TextRect{158, 224, 750, 320}));
    EXPECT_EQ(g.checkAt, (TextPoint{6, 244}));
    EXPECT_EQ(g.imageAt, (TextPoint{48, 230}));
    EXPECT_EQ(g.textBox, (TextRect{52 + 42 + 100, 230, 720, 320}));
    EXPECT_EQ(g.outline[0][7], (TextPoint{744, 298})); // the tail's tip
}

TEST(HtmlItemGeometry, BubblesTextBoxesAndCheckImages) {
    HtmlListItem item;
    item.nHeight = 60;
    item.nSide = 1;
    const TextRect r{0, 100, 375, 160};
    HtmlItemGeometry g = ComputeHtmlItemGeometry(r, item, false, HLS_IMAGES | HLS_CHECKBOXES, true, 16);
    EXPECT_EQ(g.fill, (TextRect{79, 112, 375, 160}));
    EXPECT_EQ(g.fillColor, kHtmlListWhite);
    EXPECT_EQ(g.checkAt, (TextPoint{3, 122}));
    EXPECT_EQ(g.imageAt, (TextPoint{24, 115}));
    EXPECT_EQ(g.textBox, (TextRect{26 + 21 + 50, 115, 360, 160}));
    ASSERT_EQ(g.outline.size(), 3u);
    EXPECT_EQ(g.outline[0].front(), g.outline[0].back()); // a closed bubble
    EXPECT_EQ(g.outline[0][7], (TextPoint{372, 149}));    // the tail's tip

    item.nSide = 0;
    item.nChecked = 1;
    item.nFixedHeight = 1;
    g = ComputeHtmlItemGeometry(r, item, false, 0, true, 16);
    EXPECT_EQ(g.fill, (TextRect{0, 112, 327, 160}));
    EXPECT_EQ(g.fillColor, kHtmlListCheckedColor);
    EXPECT_FALSE(g.bImage || g.bCheckBox);
    EXPECT_EQ(g.textBox, (TextRect{5, 100, 325, 160}));
    ASSERT_EQ(g.outline.size(), 2u);
    EXPECT_EQ(g.outline[0][3], (TextPoint{-5, 108}));

    g = ComputeHtmlItemGeometry(r, item, true, HLS_CHECKBOXES, false, 0);
    EXPECT_EQ(g.fillColor, kHtmlListSelectionColor);
    EXPECT_EQ(g.nCheckImage, 1);
    item.nType = 7;
    EXPECT_TRUE(ComputeHtmlItemGeometry(r, item, false, 0, false, 0).outline.empty());
}

} // namespace
