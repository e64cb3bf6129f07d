#include "core/conversation/HistoryMerge.h"
#include "core/session/Reconnect.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace dravel;

namespace {

class SequenceRandom : public RandomSource {
public:
    std::vector<double> values;
    size_t next = 0;
    double Fraction() override { return values[next++ % values.size()]; }
};

} // namespace

TEST(RetrySchedule, FirstWaitIsRandomThenDoublesWithinAFifthUpToFiveMinutes) {
    struct Case {
        std::vector<double> fractions;
        std::vector<uint32_t> delays;
    };
    const Case cases[] = {
        {{0.0}, {2000, 3600, 6480, 11664}},
        {{0.5}, {6000, 12000, 24000, 48000, 96000, 192000, 300000, 300000}},
        {{0.999999, 1.0, 7.0}, {9999, 21997, 48393}},
        {{-3.0}, {2000, 3600}},
    };
    for (const Case& c : cases) {
        SequenceRandom random;
        random.values = c.fractions;
        CRetrySchedule schedule(random);
        std::vector<uint32_t> got;
        for (size_t i = 0; i < c.delays.size(); ++i)
            got.push_back(schedule.NextDelayMs());
        EXPECT_EQ(got, c.delays) << c.fractions[0];
    }
    SequenceRandom random;
    random.values = {0.5};
    CRetrySchedule schedule(random);
    schedule.NextDelayMs();
    schedule.NextDelayMs();
    schedule.Reset();
    EXPECT_EQ(schedule.NextDelayMs(), 6000u);
    EXPECT_EQ(SecondsUntil(1000, 7000), 6);
    EXPECT_EQ(SecondsUntil(1001, 7000), 6);
    EXPECT_EQ(SecondsUntil(7000, 7000), 0);
    EXPECT_EQ(SecondsUntil(9000, 7000), 0);
}

TEST(HistoryMerge, OnlyWhatTheWindowDoesNotShowYet) {
    const auto keys = [](std::string_view pattern) {
        // "<a >b": the peer's a, then the own b.
        std::vector<HistoryKey> out;
        for (size_t i = 0; i + 1 < pattern.size(); i += 3)
            out.push_back({pattern[i] == '>', std::string(1, pattern[i + 1])});
        return out;
    };
    const auto history = [&](std::string_view pattern) {
        std::vector<CHistoryEntry> out;
        for (const HistoryKey& k : keys(pattern))
            out.push_back({k.bOwn ? ">" : "<", k.strText, "t"});
        return out;
    };
    struct Case {
        const char* before;
        const char* after;
        const char* reply;
        std::vector<size_t> shown;
    };
    const Case cases[] = {
        {"", "", "<a >b", {0, 1}},                     // nothing shown yet
        {"<a >b", "", "<a >b", {}},                    // nothing new
        {"<a >b", "", "<a >b <c >d", {2, 3}},          // written meanwhile
        {"<x <a >b", "", "<a >b <c", {2}},             // the reply starts later than the window
        {"<a <k", "", "<a <k <b <k", {2, 3}},          // the longest run wins, not the latest single
        {"<k", "", "<k <b <k", {}},                    // as long as each other: the latest, never twice
        {"<a", "<c", "<a <c <d", {2}},                 // arrived while the reply was on its way
        {"<a", ">w", "<a <m >w", {1}},                 // the peer's meanwhile message, our sent one
        {"<a", "", "<z <y", {0, 1}},                   // nothing in common: all new
        {"<a", "", ">a", {0}},                         // the side counts
        {"<a >b", "<q", "", {}},                       // an empty reply
    };
    for (const Case& c : cases) {
        const std::vector<HistoryKey> before = keys(c.before), after = keys(c.after);
        EXPECT_EQ(EntriesNotShown(history(c.reply), before, after), c.shown)
            << c.before << " / " << c.after << " / " << c.reply;
    }
}
