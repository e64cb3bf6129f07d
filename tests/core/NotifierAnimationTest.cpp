#include "core/ui/NotifierAnimation.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

using namespace dravel;

namespace {

// A window stand-in with a fake clock: window timers fire periodically at their delay until stopped, like
// the platform's, and every call the animation makes is recorded with its time.
class FakeNotifierWindow : public NotifierSurface {
public:
    struct Placement {
        std::uint64_t at;
        int x, y, cx, cy;
    };
    struct Timer {
        std::uint32_t delay;
        std::uint64_t due;
    };

    NotifierScreen screen{{0, 0, 1280, 760}, 1280, 800}; // taskbar at the bottom, 40 pixels
    std::uint64_t now = 0;
    std::map<std::uint32_t, Timer> timers;
    std::vector<Placement> placements;
    std::map<std::uint32_t, std::vector<std::uint64_t>> timerStarts;
    std::map<std::uint32_t, std::uint32_t> lastDelays; // the delay each timer was last started with
    int nShown = 0, nTopmost = 0, nConcealed = 0, nRepaints = 0;
    bool bVisible = false;
    CNotifierAnimation* pAnimation = nullptr;

    NotifierScreen ReadScreen() override { return screen; }
    void StartTimer(std::uint32_t id, std::uint32_t delayMs) override {
        timers[id] = {delayMs, now + delayMs};
        timerStarts[id].push_back(now);
        lastDelays[id] = delayMs;
    }
    void StopTimer(std::uint32_t id) override { timers.erase(id); }
    void ShowInactive() override {
        ++nShown;
        bVisible = true;
    }
    void Place(int x, int y, int cx, int cy) override {
        EXPECT_TRUE(bVisible) << "a hidden notifier was moved";
        placements.push_back({now, x, y, cx, cy});
    }
    void BringToTopmost() override { ++nTopmost; }
    void Conceal() override {
        ++nConcealed;
        bVisible = false;
    }
    void Repaint() override { ++nRepaints; }

    // Fires the earliest due timer; false if none runs or it is due after the limit.
    bool FireNext(std::uint64_t limit) {
        auto next = timers.end();
        for (auto it = timers.begin(); it != timers.end(); ++it)
            if (next == timers.end() || it->second.due < next->second.due)
                next = it;
        if (next == timers.end() || next->second.due > limit)
            return false;
        const std::uint32_t id = next->first;
        now = next->second.due;
        next->second.due += next->second.delay == 0 ? 1 : next->second.delay;
        pAnimation->OnTimer(id);
        return true;
    }
    // Runs the clock until the condition holds; fails the test if it does not within the time given.
    template <class Pred> void RunUntil(Pred done, std::uint64_t forMs = 60000) {
        const std::uint64_t limit = now + forMs;
        while (!done())
            if (!FireNext(limit)) {
                ADD_FAILURE() << "condition not reached by " << limit << " ms";
                return;
            }
    }
    void RunFor(std::uint64_t ms) {
        const std::uint64_t limit = now + ms;
        while (FireNext(limit)) {
        }
        now = limit;
    }
    NotifierPoint LastPosition() const { return {placements.back().x, placements.back().y}; }

    // The first step of the slide-out: the move from the first placement to the second.
    NotifierPoint FirstStep() const {
        return {placements.at(1).x - placements.at(0).x, placements.at(1).y - placements.at(0).y};
    }
    int StepLength() const { return std::abs(FirstStep().x) + std::abs(FirstStep().y); }
    // Where the slide-out started: one step back from the first placement.
    NotifierPoint Start() const { return {placements.at(0).x - FirstStep().x, placements.at(0).y - FirstStep().y}; }
    // The edge the pop-up slides out of, read off the direction of its first step.
    TaskbarEdge Edge() const {
        const NotifierPoint step = FirstStep();
        if (step.x != 0)
            return step.x > 0 ? TaskbarEdge::Left : TaskbarEdge::Right;
        return step.y > 0 ? TaskbarEdge::Top : TaskbarEdge::Bottom;
    }
};

// The number of steps Show cuts a slide of this skin into, read off the appear timer of a slide shown over
// 100 s: long enough that every step count up to 300 gets a step delay of its own.
int SlideSteps(int width, int height, int step = kNotifierStep) {
    FakeNotifierWindow window;
    CNotifierAnimation animation{window};
    animation.SetSkinSize(width, height);
    animation.SetStep(step);
    animation.Show(100000, kNotifierStayUntilClicked, 0);
    return static_cast<int>(100000 / window.lastDelays.at(kNotifierTimerAppear));
}

class NotifierAnimationTest : public ::testing::Test {
protected:
    NotifierAnimationTest() { window.pAnimation = &animation; }

    void SetUp() override { animation.SetSkinSize(200, 97); }

    bool IsState(NotifierState state) const { return animation.GetState() == state; }

    FakeNotifierWindow window;
    CNotifierAnimation animation{window, 0};
};

TEST(NotifierGeometry, EdgeFollowsTheTaskbar) {
    EXPECT_EQ(ChooseTaskbarEdge({{0, 0, 1280, 760}, 1280, 800}), TaskbarEdge::Bottom);
    EXPECT_EQ(ChooseTaskbarEdge({{0, 40, 1280, 800}, 1280, 800}), TaskbarEdge::Top);
    EXPECT_EQ(ChooseTaskbarEdge({{60, 0, 1280, 800}, 1280, 800}), TaskbarEdge::Left);
    EXPECT_EQ(ChooseTaskbarEdge({{0, 0, 1220, 800}, 1280, 800}), TaskbarEdge::Right);
    // No taskbar (or one that hides itself): bottom.
    EXPECT_EQ(ChooseTaskbarEdge({{0, 0, 1280, 800}, 1280, 800}), TaskbarEdge::Bottom);
    // A narrower work area wins over a lower one.
    EXPECT_EQ(ChooseTaskbarEdge({{0, 40, 1220, 800}, 1280, 800}), TaskbarEdge::Right);
}

TEST(NotifierGeometry, StartPositionsLieJustOutsideTheWorkAreaOnEachEdge) {
    const NotifierRect work{60, 40, 1220, 760};
    EXPECT_EQ(NotifierStartPosition(TaskbarEdge::Right, work, 200, 97, 0), (NotifierPoint{1220, 663}));
    EXPECT_EQ(NotifierStartPosition(TaskbarEdge::Left, work, 200, 97, 0), (NotifierPoint{-140, 663}));
    EXPECT_EQ(NotifierStartPosition(TaskbarEdge::Top, work, 200, 97, 0), (NotifierPoint{1020, -57}));
    EXPECT_EQ(NotifierStartPosition(TaskbarEdge::Bottom, work, 200, 97, 0), (NotifierPoint{1020, 760}));
    // Only the bottom edge stacks instances.
    for (TaskbarEdge edge : {TaskbarEdge::Right, TaskbarEdge::Left, TaskbarEdge::Top})
        EXPECT_EQ(NotifierStartPosition(edge, work, 200, 97, 9), NotifierStartPosition(edge, work, 200, 97, 0));
}

TEST(NotifierGeometry, BottomEdgeStacksSixteenInstancesInTwoColumns) {
    const NotifierRect work{0, 0, 1280, 760};
    EXPECT_EQ(NotifierStartPosition(TaskbarEdge::Bottom, work, 200, 97, 7), (NotifierPoint{1080, 760 - 7 * 97}));
    EXPECT_EQ(NotifierStartPosition(TaskbarEdge::Bottom, work, 200, 97, 8), (NotifierPoint{880, 760}));
    EXPECT_EQ(NotifierStartPosition(TaskbarEdge::Bottom, work, 200, 97, 9), (NotifierPoint{880, 663}));
    EXPECT_EQ(NotifierStartPosition(TaskbarEdge::Bottom, work, 200, 97, 15), (NotifierPoint{880, 760 - 7 * 97}));
    // A negative number must not put the pop-up below the screen.
    EXPECT_EQ(NotifierStartPosition(TaskbarEdge::Bottom, work, 200, 97, -3), (NotifierPoint{1080, 760}));
}

TEST(NotifierGeometry, StepCountFollowsTheSlidingDirection) {
    EXPECT_EQ(NotifierStepCount(TaskbarEdge::Bottom, 200, 97), 48);
    EXPECT_EQ(NotifierStepCount(TaskbarEdge::Top, 200, 97), 48);
    EXPECT_EQ(NotifierStepCount(TaskbarEdge::Right, 200, 97), 100);
    EXPECT_EQ(NotifierStepCount(TaskbarEdge::Left, 200, 97), 100);
    // Too small a skin (or none) still gives one step, never a division by zero.
    EXPECT_EQ(NotifierStepCount(TaskbarEdge::Bottom, 200, 1), 1);
    EXPECT_EQ(NotifierStepCount(TaskbarEdge::Right, 0, 0), 1);
}

TEST_F(NotifierAnimationTest, BottomEdgeSlidesUpNinetyEightPixelsAndStaysUntilClicked) {
    animation.Show(200, kNotifierStayUntilClicked, 500);
    EXPECT_EQ(SlideSteps(200, 97), 48);
    EXPECT_EQ(window.lastDelays.at(kNotifierTimerAppear), 4u);
    EXPECT_EQ(window.nShown, 1);
    // State 1 begins with the first tick, not with Show.
    EXPECT_TRUE(IsState(NotifierState::Hidden));

    window.RunUntil([&] { return IsState(NotifierState::Waiting); });
    ASSERT_EQ(window.placements.size(), 50u); // 49 steps of 2 pixels, then the last tick places it once more
    EXPECT_EQ(window.Start(), (NotifierPoint{1080, 760}));
    for (size_t i = 0; i < 49; ++i) {
        const auto& p = window.placements[i];
        EXPECT_EQ(p.at, 4 * (i + 1));
        EXPECT_EQ(p.x, 1080);
        EXPECT_EQ(p.y, 760 - 2 * static_cast<int>(i + 1));
        EXPECT_EQ(p.cx, 200);
        EXPECT_EQ(p.cy, 97);
    }
    EXPECT_EQ(window.LastPosition(), (NotifierPoint{1080, 760 - 98}));
    EXPECT_EQ(window.nTopmost, 1);

    // Ten days later it is still there, with no timer left running.
    EXPECT_TRUE(window.timers.empty());
    window.RunFor(10ull * 24 * 3600 * 1000);
    EXPECT_TRUE(IsState(NotifierState::Waiting));
    EXPECT_EQ(window.placements.size(), 50u);

    // Given a stay time now, it slides back at the hide step delay worked out when it was shown.
    animation.Show(200, 1000, 500);
    window.RunUntil([&] { return IsState(NotifierState::Disappearing); });
    EXPECT_EQ(window.lastDelays.at(kNotifierTimerDisappear), 10u);

    animation.Hide();
    EXPECT_TRUE(IsState(NotifierState::Hidden));
    EXPECT_EQ(window.nConcealed, 1);
}

// The pop-up at 100, 150 and 200 %: the skin, its text rectangle and the step scale together, the slide
// takes the same 48 steps and the same time, and it ends as high above the taskbar as the skin is tall
// (rounded up to the step), stacking in columns of the scaled width.
TEST(NotifierGeometry, ScaledPopUpKeepsItsStepsAndStacksAtItsScaledSize) {
    struct Case {
        int dpi, width, height, step, rise;
    };
    for (const Case c : {Case{96, 200, 97, 2, 98}, Case{120, 250, 121, 3, 123}, Case{144, 300, 146, 3, 147},
                         Case{192, 400, 194, 4, 196}}) {
        SCOPED_TRACE(c.dpi);
        // Odd sizes round half away from zero: 97 x 1.5 = 145.5 gives 146, 97 x 1.25 = 121.25 gives 121.
        const NotifierRect skin = ScaleNotifierRect({0, 0, 200, 97}, c.dpi);
        EXPECT_EQ(skin, (NotifierRect{0, 0, c.width, c.height}));
        EXPECT_EQ(NotifierStepForDpi(c.dpi), c.step);

        FakeNotifierWindow window;
        CNotifierAnimation animation{window, 9};
        window.pAnimation = &animation;
        animation.SetSkinSize(c.width, c.height);
        animation.SetStep(NotifierStepForDpi(c.dpi));
        animation.Show(200, kNotifierStayUntilClicked, 500);
        EXPECT_EQ(SlideSteps(c.width, c.height, NotifierStepForDpi(c.dpi)), c.dpi == 120 ? 40 : 48);
        window.RunUntil([&] { return animation.GetState() == NotifierState::Waiting; });
        EXPECT_EQ(window.Start(), (NotifierPoint{1280 - 2 * c.width, 760 - c.height}));
        EXPECT_EQ(window.LastPosition(), (NotifierPoint{1280 - 2 * c.width, 760 - c.height - c.rise}));
        EXPECT_EQ(window.placements.back().cx, c.width);
        EXPECT_EQ(window.placements.back().cy, c.height);
    }
    // A new dpi while waiting: the pop-up stands fully shown at its new size at once.
    {
        FakeNotifierWindow window;
        CNotifierAnimation animation{window, 1};
        window.pAnimation = &animation;
        animation.SetSkinSize(200, 97);
        animation.Show(200, kNotifierStayUntilClicked, 500);
        window.RunUntil([&] { return animation.GetState() == NotifierState::Waiting; });
        animation.SetSkinSize(400, 194);
        animation.SetStep(NotifierStepForDpi(192));
        animation.Relayout();
        // Its start followed the new size: on the bottom edge it stands one skin height above its start.
        const FakeNotifierWindow::Placement& shown = window.placements.back();
        EXPECT_EQ((NotifierPoint{shown.x, shown.y + shown.cy}), (NotifierPoint{1280 - 400, 760 - 194}));
        EXPECT_EQ(window.LastPosition(), (NotifierPoint{1280 - 400, 760 - 2 * 194}));
        EXPECT_EQ(window.placements.back().cx, 400);
        EXPECT_EQ(window.placements.back().cy, 194);
    }
    // A step below one pixel (a broken dpi report) is never a standstill.
    FakeNotifierWindow window;
    CNotifierAnimation still{window};
    window.pAnimation = &still;
    still.SetSkinSize(200, 97);
    still.SetStep(0);
    still.Show(200, kNotifierStayUntilClicked, 500);
    window.RunUntil([&] { return window.placements.size() == 2; });
    EXPECT_EQ(window.StepLength(), 1);
}

TEST_F(NotifierAnimationTest, InstanceNineRisesFromTheSecondColumn) {
    animation.SetInstance(9);
    animation.Show(200, kNotifierStayUntilClicked, 500);
    window.RunUntil([&] { return IsState(NotifierState::Waiting); });
    EXPECT_EQ(window.Start(), (NotifierPoint{1280 - 2 * 200, 760 - 97}));
    EXPECT_EQ(window.LastPosition(), (NotifierPoint{880, 663 - 98}));
}

struct EdgeCase {
    NotifierScreen screen;
    TaskbarEdge edge;
    NotifierPoint start;
    NotifierPoint shown; // where the slide-out ends
};

std::string EdgeName(const ::testing::TestParamInfo<EdgeCase>& param) {
    switch (param.param.edge) {
    case TaskbarEdge::Top:
        return "Top";
    case TaskbarEdge::Left:
        return "Left";
    case TaskbarEdge::Right:
        return "Right";
    default:
        return "Bottom";
    }
}

class NotifierEdgeTest : public NotifierAnimationTest, public ::testing::WithParamInterface<EdgeCase> {};

TEST_P(NotifierEdgeTest, SlidesOutWaitsAndSlidesBackToItsStart) {
    const EdgeCase& c = GetParam();
    window.screen = c.screen;
    animation.Show(300, 1000, 600);
    const bool bSideways = c.edge == TaskbarEdge::Left || c.edge == TaskbarEdge::Right;
    EXPECT_EQ(window.lastDelays.at(kNotifierTimerAppear), bSideways ? 3u : 6u);

    window.RunUntil([&] { return IsState(NotifierState::Waiting); });
    EXPECT_EQ(window.Edge(), c.edge);
    EXPECT_EQ(window.Start(), c.start);
    EXPECT_EQ(window.LastPosition(), c.shown);
    // Every step moves 2 pixels along the one axis.
    for (size_t i = 1; i < window.placements.size() - 1; ++i) {
        const auto& a = window.placements[i - 1];
        const auto& b = window.placements[i];
        EXPECT_EQ(std::abs(b.x - a.x) + std::abs(b.y - a.y), 2) << "step " << i;
    }

    // The stay time counts from the end of the slide.
    const std::uint64_t waitStart = window.now;
    const size_t shownPlacements = window.placements.size();
    window.RunUntil([&] { return IsState(NotifierState::Disappearing); });
    ASSERT_EQ(window.timerStarts[kNotifierTimerDisappear].size(), 1u);
    EXPECT_EQ(window.timerStarts[kNotifierTimerDisappear][0], waitStart + 1000);
    EXPECT_EQ(window.placements.size(), shownPlacements + 1);
    EXPECT_EQ(window.lastDelays.at(kNotifierTimerDisappear), bSideways ? 6u : 12u);

    window.RunUntil([&] { return IsState(NotifierState::Hidden); });
    EXPECT_EQ(window.nConcealed, 1);
    // The last placement before hiding is within one step of the start, on the screen's outside.
    const NotifierPoint last = window.LastPosition();
    EXPECT_LE(std::abs(last.x - c.start.x) + std::abs(last.y - c.start.y), 2);
    EXPECT_TRUE(window.timers.empty());
}

INSTANTIATE_TEST_SUITE_P(
    AllEdges, NotifierEdgeTest,
    ::testing::Values(EdgeCase{{{0, 0, 1280, 760}, 1280, 800}, TaskbarEdge::Bottom, {1080, 760}, {1080, 662}},
                      EdgeCase{{{0, 40, 1280, 800}, 1280, 800}, TaskbarEdge::Top, {1080, -57}, {1080, 41}},
                      EdgeCase{{{60, 0, 1280, 800}, 1280, 800}, TaskbarEdge::Left, {-140, 703}, {60, 703}},
                      EdgeCase{{{0, 0, 1220, 800}, 1280, 800}, TaskbarEdge::Right, {1220, 703}, {1020, 703}}),
    EdgeName);

TEST_F(NotifierAnimationTest, ShowWhileAppearingRepaintsAndLetsTheSlideGoOn) {
    animation.Show(200, 1000, 500);
    window.RunUntil([&] { return window.placements.size() == 10; });
    const int repaints = window.nRepaints;
    animation.Show(800, 1000, 500);
    EXPECT_EQ(window.nRepaints, repaints + 1);
    EXPECT_EQ(window.nShown, 1);
    EXPECT_EQ(window.lastDelays.at(kNotifierTimerAppear), 4u); // the running slide's timer, not restarted
    window.RunUntil([&] { return IsState(NotifierState::Waiting); });
    EXPECT_EQ(window.placements.size(), 50u);
    EXPECT_EQ(window.placements.back().at, 200u); // 50 ticks of 4 ms, undisturbed
}

TEST_F(NotifierAnimationTest, ShowWhileWaitingRestartsTheStayTime) {
    animation.Show(200, 1000, 500);
    window.RunUntil([&] { return IsState(NotifierState::Waiting); });
    window.RunFor(600);
    const std::uint64_t reshown = window.now;
    animation.Show(200, 1000, 500);
    EXPECT_TRUE(IsState(NotifierState::Waiting));
    window.RunUntil([&] { return IsState(NotifierState::Disappearing); });
    EXPECT_EQ(window.timerStarts[kNotifierTimerDisappear].back(), reshown + 1000);

    // And a stay time of -1 given while waiting stops the pending wait for good.
    animation.Hide();
    animation.Show(200, 1000, 500);
    window.RunUntil([&] { return IsState(NotifierState::Waiting); });
    animation.Show(200, kNotifierStayUntilClicked, 500);
    window.RunFor(100000);
    EXPECT_TRUE(IsState(NotifierState::Waiting));
}

TEST_F(NotifierAnimationTest, ShowWhileDisappearingComesStraightBackAndWaitsAgain) {
    animation.Show(200, 1000, 500);
    window.RunUntil([&] { return IsState(NotifierState::Disappearing); });
    window.RunUntil([&] { return window.LastPosition().y > 720; });

    const std::uint64_t reshown = window.now;
    animation.Show(200, 1000, 500);
    EXPECT_EQ(window.LastPosition(), (NotifierPoint{1080, 760 - 97}));
    EXPECT_EQ(window.placements.back().at, reshown);
    EXPECT_TRUE(IsState(NotifierState::Waiting));
    EXPECT_EQ(window.timers.count(kNotifierTimerDisappear), 0u);

    // It waits the full stay time again, then slides back from where it is now.
    window.RunUntil([&] { return IsState(NotifierState::Disappearing); });
    EXPECT_EQ(window.timerStarts[kNotifierTimerDisappear].back(), reshown + 1000);
    window.RunUntil([&] { return IsState(NotifierState::Hidden); });
    EXPECT_EQ(window.nShown, 1);
    EXPECT_EQ(window.nConcealed, 1);
}

TEST_F(NotifierAnimationTest, HideAfterComingBackStopsTheWaitForGood) {
    animation.Show(200, 1000, 500);
    window.RunUntil([&] { return IsState(NotifierState::Disappearing); });
    animation.Show(200, 1000, 500);
    animation.Hide();
    const size_t placements = window.placements.size();
    window.RunFor(100000);
    EXPECT_TRUE(IsState(NotifierState::Hidden));
    EXPECT_EQ(window.placements.size(), placements);
}

TEST_F(NotifierAnimationTest, HideBeforeTheFirstTickKeepsItHidden) {
    animation.Show(200, 1000, 500);
    animation.Hide();
    EXPECT_TRUE(window.timers.empty());
    window.RunFor(100000);
    EXPECT_TRUE(window.placements.empty());
    EXPECT_TRUE(IsState(NotifierState::Hidden));
}

TEST_F(NotifierAnimationTest, HideDuringTheSlideInStopsItAtOnce) {
    animation.Show(200, kNotifierStayUntilClicked, 500);
    window.RunUntil([&] { return window.placements.size() == 5; });
    animation.Hide();
    window.RunFor(100000);
    EXPECT_EQ(window.placements.size(), 5u);
    EXPECT_EQ(window.nTopmost, 0);

    // Shown again, it starts over from the start position.
    animation.Show(200, kNotifierStayUntilClicked, 500);
    window.RunUntil([&] { return window.placements.size() == 6; });
    EXPECT_EQ(window.LastPosition(), (NotifierPoint{1080, 758}));
}

TEST_F(NotifierAnimationTest, StaleTicksOfStoppedTimersAreIgnored) {
    animation.OnTimer(kNotifierTimerAppear);
    animation.OnTimer(kNotifierTimerDisappear);
    animation.OnTimer(7);
    EXPECT_TRUE(window.placements.empty());
    EXPECT_TRUE(IsState(NotifierState::Hidden));

    animation.Show(200, 1000, 500);
    window.RunUntil([&] { return IsState(NotifierState::Waiting); });
    const size_t placements = window.placements.size();
    animation.OnTimer(kNotifierTimerDisappear); // queued before the wait started
    EXPECT_EQ(window.placements.size(), placements);
    EXPECT_TRUE(IsState(NotifierState::Waiting));
}

TEST_F(NotifierAnimationTest, SkinlessNotifierEndsItsSlideAtTheFirstTick) {
    animation.SetSkinSize(0, 0);
    animation.Show(200, 100, 500);
    EXPECT_EQ(SlideSteps(0, 0), 1);
    EXPECT_EQ(window.lastDelays.at(kNotifierTimerAppear), 200u);
    window.RunUntil([&] { return IsState(NotifierState::Hidden) && window.nConcealed == 1; });
    EXPECT_EQ(window.now, 200u + 100u + 500u);
}

} // namespace
