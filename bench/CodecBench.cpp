// Record codec throughput, reported as records per second and as a ratio to memcpy of the same bytes
// measured in the same run.
#include "core/protocol/Codec.h"
#include "core/protocol/TextConverter.h"
#include "bench/support/RatioReporter.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

using namespace dravel;

namespace {

constexpr int kRecords = 1000000;

// A typical chat record of exactly 60 bytes on the wire.
CComData Record60(int i) {
    CComData r;
    r.m_strId = "user01";
    r.m_strPassword = "pass99";
    r.m_strName = "\xB1\xE8\xC3\xB6\xBC\xF6"; // 김철수
    r.m_strTarget = "lee01";
    r.m_nStatus = 1;
    r.m_strText = "hello there " + std::to_string(100 + i % 900);
    r.m_nCommand = COM_PRIVATE_MESSAGE;
    return r;
}

// Mixed sizes and commands: short control records, messages, an occasional long text.
CComData Mixed(int i) {
    CComData r = Record60(i);
    switch (i % 8) {
    case 0:
        r.m_strText = std::string(300, 'm');
        break;
    case 1:
        r.m_nCommand = COM_CONNECT_CHECK;
        r.m_strText = "Connect check";
        break;
    case 2:
        r.m_nCommand = COM_CHAT_LIST;
        r.m_strText = "\xC0\xCC\xBF\xB5\xC8\xF1";
        r.m_nStatus = 0;
        break;
    case 3:
        r.m_strText = std::string(40, 'k');
        r.m_strHost = "192.168.0.10";
        r.m_nPort = 8201;
        break;
    default:
        break;
    }
    return r;
}

std::string Stream(CComData (*make)(int)) {
    std::string s;
    for (int i = 0; i < kRecords; ++i)
        EncodeRecord(s, make(i));
    return s;
}

const std::string& Stream60() {
    static const std::string s = Stream(Record60);
    if (s.size() != 60u * kRecords)
        std::fprintf(stderr, "60-byte records are %zu bytes\n", s.size() / kRecords);
    return s;
}
const std::string& StreamMixed() {
    static const std::string s = Stream(Mixed);
    return s;
}

void Memcpy(benchmark::State& state, const std::string& src) {
    std::string dst(src.size(), '\0');
    for (auto _ : state) {
        std::memcpy(dst.data(), src.data(), src.size());
        benchmark::DoNotOptimize(dst.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kRecords);
}

void Decode(benchmark::State& state, const std::string& src) {
    const AsciiTextConverter converter;
    CComData r;
    for (auto _ : state) {
        CRecordReader reader(converter);
        size_t n = 0;
        // As from the socket: 64 KiB reads.
        for (size_t pos = 0; pos < src.size(); pos += 65536) {
            reader.Feed(std::string_view(src).substr(pos, 65536));
            while (reader.Next(r) == DecodeStatus::Complete)
                ++n;
        }
        if (n != kRecords)
            state.SkipWithError("record count");
        benchmark::DoNotOptimize(r);
    }
    state.SetItemsProcessed(state.iterations() * kRecords);
}

void Encode(benchmark::State& state, CComData (*make)(int)) {
    std::vector<CComData> records;
    for (int i = 0; i < kRecords; ++i)
        records.push_back(make(i));
    std::string out;
    for (const CComData& r : records)
        EncodeRecord(out, r);
    for (auto _ : state) {
        out.clear();
        for (const CComData& r : records)
            EncodeRecord(out, r);
        benchmark::DoNotOptimize(out.data());
    }
    state.SetItemsProcessed(state.iterations() * kRecords);
}

void BM_Memcpy60(benchmark::State& s) {
    Memcpy(s, Stream60());
}
void BM_Decode60(benchmark::State& s) {
    Decode(s, Stream60());
}
void BM_Encode60(benchmark::State& s) {
    Encode(s, Record60);
}
void BM_MemcpyMixed(benchmark::State& s) {
    Memcpy(s, StreamMixed());
}
void BM_DecodeMixed(benchmark::State& s) {
    Decode(s, StreamMixed());
}
void BM_EncodeMixed(benchmark::State& s) {
    Encode(s, Mixed);
}

BENCHMARK(BM_Memcpy60)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Decode60)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Encode60)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MemcpyMixed)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DecodeMixed)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EncodeMixed)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    dravel::bench::RatioReporter<benchmark::ConsoleReporter> reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    auto rate = [&](const std::string& name) { return reporter.Counter(name, "items_per_second"); };
    std::vector<dravel::bench::RatioRow> rows;
    for (const char* kind : {"60", "Mixed"}) {
        for (const char* op : {"Decode", "Encode"})
            rows.push_back({std::string(op) + " " + kind + "-byte mix", rate(std::string("BM_") + op + kind),
                            rate(std::string("BM_Memcpy") + kind)});
    }
    dravel::bench::PrintRatioTable("Records per second against memcpy of the same bytes", "records/s",
                                   "ratio to memcpy", rows);
    benchmark::Shutdown();
    return 0;
}
