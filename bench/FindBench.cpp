// Finding a word in a conversation of 5,000 items, as the find bar does (each item's reading text,
// Latin letters in either case, whole characters only), against a plain byte search of the same
// words in the items' stored texts, in the same run. The word is in no item: every item is read.
#include "core/conversation/HistoryFind.h"
#include "core/ui/HtmlReadingText.h"
#include "bench/support/RatioReporter.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>
#include <vector>

using namespace dravel;

namespace {

constexpr int kItems = 5000;
const std::string kNeedle = "Invoice 4711";

// Items as a conversation shows them: sender, message and time, Korean and Latin words.
const std::vector<std::string>& Items() {
    static const std::vector<std::string> items = [] {
        const std::string korean = "\xBE\xC8\xB3\xE7\xC7\xCF\xBC\xBC\xBF\xE4"; // 안녕하세요
        std::vector<std::string> v;
        for (int i = 0; i < kItems; ++i) {
            const std::string text = i % 3 == 0   ? korean + " " + korean + " " + std::to_string(i)
                                     : i % 3 == 1 ? "order " + std::to_string(i) + " is ready &amp; packed"
                                                  : "invoice " + std::to_string(i) + " sent, " + korean;
            v.push_back("<font color=#0000ff>\xC0\xCC\xBF\xB5\xC8\xF1<p><b>" + text +
                        "</b><p>2020-01-02 PM 03:04:05</font>");
        }
        return v;
    }();
    return items;
}

void BM_PlainScan(benchmark::State& state) {
    for (auto _ : state) {
        int found = -1;
        for (int i = 0; i < kItems && found < 0; ++i)
            if (Items()[static_cast<size_t>(i)].find(kNeedle) != std::string::npos)
                found = i;
        benchmark::DoNotOptimize(found);
    }
}

void BM_FindHistoryItem(benchmark::State& state) {
    for (auto _ : state) {
        const int found = FindHistoryItem(kItems, kItems / 2, true, kNeedle,
                                          [](int i) { return HtmlReadingText(Items()[static_cast<size_t>(i)]); });
        if (found != -1)
            state.SkipWithError("the word is in no item");
        benchmark::DoNotOptimize(found);
    }
}

BENCHMARK(BM_PlainScan)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_FindHistoryItem)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    dravel::bench::RatioReporter<benchmark::ConsoleReporter> reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    std::printf("\n%d items, %zu bytes of the first\n", kItems, Items()[0].size());
    dravel::bench::PrintRatioTable(
        "CPU time per search of all items against a plain scan of their texts", "us/search", "x plain scan",
        {{"find bar search", reporter.CpuTime("BM_FindHistoryItem"), reporter.CpuTime("BM_PlainScan")}});
    benchmark::Shutdown();
    return 0;
}
