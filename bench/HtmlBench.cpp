// Layout throughput of the HTML renderer and the list model over a surface of fixed metrics, as
// conversation items per second and as a ratio to a plain greedy word wrap of the same bytes (what
// any wrapping measure must at least do) measured in the same run.
#include "core/ui/HtmlLayout.h"
#include "core/ui/HtmlListModel.h"
#include "bench/support/RatioReporter.h"
#include "tests/core/support/FakeTextSurface.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

using namespace dravel;
using dravel::test::CFakeTextSurface;

namespace {

constexpr int kItems = 10000;
constexpr int kWidth = 320;

// Items as a conversation composes them: incoming with sender, wrapped text and time; own messages;
// now and then a file offer.
const std::vector<std::string>& Items() {
    static const std::vector<std::string> items = [] {
        const std::string name = "\xC8\xAB\xB1\xE6\xB5\xBF";                  // 홍길동
        const std::string hello = "\xBE\xC8\xB3\xE7\xC7\xCF\xBC\xBC\xBF\xE4"; // 안녕하세요
        std::vector<std::string> v;
        for (int i = 0; i < kItems; ++i) {
            const std::string text = hello + " order " + std::to_string(1000 + i) +
                                     " is ready for pick-up at the north gate, please confirm " + hello;
            switch (i % 4) {
            case 0:
            case 1:
                v.push_back("<font color=#0000ff>" + name + "<p><b>" + text + "</b><p>2026-12-08 PM 03:12:45</font>");
                break;
            case 2:
                v.push_back("<strong>" + text + "</strong><p>2026/12/08 PM 03:13:02");
                break;
            default:
                v.push_back("<font color=#0000ff>" + name + "<p></font><font color=#ff0000><b>File_report" +
                            std::to_string(i) + ".xls</b><p></font><font color=#0000ff>2026-12-08 PM 03:14:00</font>");
                break;
            }
        }
        return v;
    }();
    return items;
}

// Baseline: split at blanks and wrap greedily, one measure per word.
int PlainWrapHeight(TextSurface& s, const std::string& text) {
    int x = 0;
    int lines = 1;
    const int space = s.TextWidth(" ");
    size_t pos = 0;
    while (pos < text.size()) {
        while (pos < text.size() && text[pos] == ' ')
            ++pos;
        size_t end = pos;
        while (end < text.size() && text[end] != ' ')
            ++end;
        if (end == pos)
            break;
        const int w = s.TextWidth(std::string_view(text).substr(pos, end - pos));
        if (x > 0 && x + space + w > kWidth) {
            ++lines;
            x = w;
        } else {
            x += (x > 0 ? space : 0) + w;
        }
        pos = end;
    }
    return lines * 15;
}

void BM_PlainWrap(benchmark::State& state) {
    CFakeTextSurface surface;
    for (auto _ : state) {
        int total = 0;
        for (const std::string& item : Items())
            total += PlainWrapHeight(surface, item);
        benchmark::DoNotOptimize(total);
    }
    state.SetItemsProcessed(state.iterations() * kItems);
}

void BM_HtmlMeasure(benchmark::State& state) {
    CFakeTextSurface surface;
    for (auto _ : state) {
        int total = 0;
        for (const std::string& item : Items()) {
            TextRect rect{0, 0, kWidth, 400};
            HtmlDrawText(&surface, item.data(), static_cast<int>(item.size()), &rect,
                         kDtCalcRect | kDtExternalLeading | kDtWordBreak);
            total += rect.bottom;
        }
        benchmark::DoNotOptimize(total);
    }
    state.SetItemsProcessed(state.iterations() * kItems);
}

void BM_HtmlDraw(benchmark::State& state) {
    CFakeTextSurface surface;
    for (auto _ : state) {
        for (const std::string& item : Items()) {
            TextRect rect{0, 0, kWidth, 400};
            HtmlDrawText(&surface, item.data(), static_cast<int>(item.size()), &rect, kDtWordBreak);
        }
        surface.drawn.clear();
    }
    state.SetItemsProcessed(state.iterations() * kItems);
}

class CBenchHost : public HtmlListHost {
public:
    void Notify(HtmlListNotify&) override {}
    void SetScrollBar(int total, int, int, bool) override { nBarTotal = total; }
    int nBarTotal = 0;
    void Repaint(const TextRect*, bool) override {}
    std::unique_ptr<TextSurface> CreateMeasureSurface() override { return std::make_unique<CFakeTextSurface>(); }
    bool HasImages() override { return true; }
    int ImageWidth(int) override { return 16; }
};

// The list as a conversation fills it: add (measured), check, scroll to the end.
void BM_ListAdd(benchmark::State& state) {
    for (auto _ : state) {
        CBenchHost host;
        CHtmlListModel model(host);
        model.SetClientSize(371, 340);
        model.SetStyle(HLS_IMAGES);
        for (int i = 0; i < kItems; ++i) {
            const int index = model.AddItem(Items()[static_cast<size_t>(i)], i % 2, HLT_HTML, 0);
            model.SetCheck(index, i % 2 == 0);
            model.ScrollToEnd();
        }
        benchmark::DoNotOptimize(host.nBarTotal);
    }
    state.SetItemsProcessed(state.iterations() * kItems);
}

BENCHMARK(BM_PlainWrap)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_HtmlMeasure)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_HtmlDraw)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ListAdd)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    dravel::bench::RatioReporter<benchmark::ConsoleReporter> reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    // Time per item, so the ratio says how many plain wraps one item costs.
    auto microsPerItem = [&](const char* name) {
        const double rate = reporter.Counter(name, "items_per_second");
        return rate > 0 ? 1e6 / rate : 0.0;
    };
    std::vector<dravel::bench::RatioRow> rows;
    for (const char* name : {"BM_HtmlMeasure", "BM_HtmlDraw", "BM_ListAdd"})
        rows.push_back({name, microsPerItem(name), microsPerItem("BM_PlainWrap")});
    dravel::bench::PrintRatioTable("Time per conversation item against a plain greedy word wrap", "us/item",
                                   "time vs plain wrap", rows);
    benchmark::Shutdown();
    return 0;
}
