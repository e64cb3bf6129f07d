// Splitting a stored history of 2,000 entries, and loading it into a conversation (items and log lines
// composed, nothing drawn), reported as time per history and as a ratio to memchr finding every bar of
// the same bytes in the same run. Also the newest 5,000 entries of two 16 MiB replies, one of bars only
// (16 M empty fields) and one of ordinary messages, against memchr over the same bytes.
#include "core/conversation/ChatList.h"
#include "core/conversation/Conversation.h"
#include "core/conversation/FieldLists.h"
#include "bench/support/RatioReporter.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

using namespace dravel;

namespace {

constexpr int kEntries = 2000;
constexpr size_t kLargeBytes = 16u << 20;
constexpr size_t kNewest = 5000;

// A history as the server sends it: own and peer messages of mixed length, Korean text, some quoted
// fields with doubled quotes, a few file items. Entries are added until both limits are reached.
std::string MakeHistory(int nMinEntries, size_t nMinBytes) {
    const std::string korean = "\xBE\xC8\xB3\xE7\xC7\xCF\xBC\xBC\xBF\xE4"; // 안녕하세요
    std::string s;
    for (int i = 0; i < nMinEntries || s.size() < nMinBytes; ++i) {
        s += i % 2 ? ">" : "<";
        s += "|";
        switch (i % 5) {
        case 0:
            s += "order " + std::to_string(i) + " is ready";
            break;
        case 1:
            s += korean + " " + korean + " " + std::to_string(i);
            break;
        case 2:
            s += "\"he said \"\"ok\"\" at " + std::to_string(i) + "\"";
            break;
        case 3:
            s += std::string(60 + i % 40, 'x');
            break;
        default:
            s += "File_stock_" + std::to_string(i) + ".xlsx";
            break;
        }
        char time[32];
        std::snprintf(time, sizeof time, "|2020-01-%02d PM %02d:%02d:%02d|", 1 + i % 28, 1 + i % 12, i % 60,
                      (i * 7) % 60);
        s += time;
    }
    return s;
}

const std::string& History() {
    static const std::string text = MakeHistory(kEntries, 0);
    return text;
}

const std::string& LargeHistory() {
    static const std::string text = MakeHistory(0, kLargeBytes);
    return text;
}

const std::string& Bars() {
    static const std::string text(kLargeBytes, '|');
    return text;
}

const std::string& UserList() {
    static const std::string text = [] {
        std::string s;
        for (int i = 0; i < kEntries; ++i)
            s += "user" + std::to_string(i) + "|" + std::to_string(i % 2) + "|" +
                 (i % 7 ? "Name " + std::to_string(i) : "\"Name|" + std::to_string(i) + "\"") + "|";
        return s;
    }();
    return text;
}

class NullView : public HistoryView {
public:
    size_t nBytes = 0;
    int nItems = 0;
    int AddItem(const std::string& html, HistorySide) override {
        nBytes += html.size();
        return nItems++;
    }
    void SetItem(int, const std::string&) override {}
    void ShowEnd() override {}
    void FocusMessageEdit() override {}
    void EnableSending() override {}
};

class NullLog : public ConversationLog {
public:
    size_t nBytes = 0;
    bool IsOpen() const override { return true; }
    void WriteLine(std::string_view line) override { nBytes += line.size(); }
};

void Memchr(benchmark::State& state, const std::string& text) {
    for (auto _ : state) {
        size_t bars = 0;
        const char* p = text.data();
        const char* end = p + text.size();
        while ((p = static_cast<const char*>(std::memchr(p, '|', static_cast<size_t>(end - p)))) != nullptr) {
            ++bars;
            ++p;
        }
        benchmark::DoNotOptimize(bars);
    }
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(text.size()));
}

void BM_MemchrHistory(benchmark::State& s) {
    Memchr(s, History());
}
void BM_MemchrUsers(benchmark::State& s) {
    Memchr(s, UserList());
}
void BM_MemchrLargeHistory(benchmark::State& s) {
    Memchr(s, LargeHistory());
}
void BM_MemchrBars(benchmark::State& s) {
    Memchr(s, Bars());
}

void Newest(benchmark::State& state, const std::string& text) {
    // The full split would hold 16 M strings; the tests prove the count against it on smaller texts.
    const size_t nTotal = SplitHistoryNewest(text, 0).nOmitted;
    for (auto _ : state) {
        CHistoryTail tail = SplitHistoryNewest(text, kNewest);
        if (tail.entries.size() != kNewest || tail.nOmitted != nTotal - kNewest)
            state.SkipWithError("entry count");
        benchmark::DoNotOptimize(tail.entries.data());
    }
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(text.size()));
}

void BM_NewestLargeHistory(benchmark::State& s) {
    Newest(s, LargeHistory());
}
void BM_NewestBars(benchmark::State& s) {
    Newest(s, Bars());
}

void BM_SplitHistory(benchmark::State& state) {
    for (auto _ : state) {
        std::vector<CHistoryEntry> entries = SplitHistory(History());
        if (entries.size() != kEntries)
            state.SkipWithError("entry count");
        benchmark::DoNotOptimize(entries.data());
    }
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(History().size()));
}

void BM_LoadHistory(benchmark::State& state) {
    for (auto _ : state) {
        NullView view;
        NullLog log;
        CConversation conv(view, log, {"unsent", "%s omitted", "waiting"});
        conv.SetPeer("peer", "peer01");
        conv.NoteHistoryRequest();
        conv.LoadHistory(History(), {});
        if (view.nItems != kEntries)
            state.SkipWithError("item count");
        benchmark::DoNotOptimize(view.nBytes + log.nBytes);
    }
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(History().size()));
}

void BM_SplitUsers(benchmark::State& state) {
    for (auto _ : state) {
        std::vector<CChatUser> users = SplitCollectedList(UserList());
        if (users.size() != kEntries)
            state.SkipWithError("user count");
        benchmark::DoNotOptimize(users.data());
    }
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(UserList().size()));
}

BENCHMARK(BM_MemchrHistory)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_SplitHistory)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_LoadHistory)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_MemchrUsers)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_SplitUsers)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_MemchrLargeHistory)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_NewestLargeHistory)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_MemchrBars)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_NewestBars)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    // CPU time, not wall time: the machine may be shared.
    dravel::bench::RatioReporter<benchmark::ConsoleReporter> reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    std::printf("\n%zu-byte history of %d entries, %zu-byte list of %d users; newest %zu entries of a %zu-byte "
                "history and of %zu bars\n",
                History().size(), kEntries, UserList().size(), kEntries, kNewest, LargeHistory().size(), Bars().size());
    struct Row {
        const char* label;
        const char* name;
        const char* base;
    } rows[] = {{"split history", "BM_SplitHistory", "BM_MemchrHistory"},
                {"load history (items, log lines)", "BM_LoadHistory", "BM_MemchrHistory"},
                {"split user list", "BM_SplitUsers", "BM_MemchrUsers"},
                {"newest of 16 MiB history", "BM_NewestLargeHistory", "BM_MemchrLargeHistory"},
                {"newest of 16 MiB of bars", "BM_NewestBars", "BM_MemchrBars"}};
    std::vector<dravel::bench::RatioRow> table;
    for (const Row& r : rows)
        table.push_back({r.label, reporter.CpuTime(r.name), reporter.CpuTime(r.base)});
    dravel::bench::PrintRatioTable("CPU time per text against memchr over the same bytes", "us/text", "x memchr time",
                                   table);
    benchmark::Shutdown();
    return 0;
}
