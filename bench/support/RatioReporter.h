#pragma once

// How every benchmark reports: after the runs, a table of each measured figure beside its baseline's,
// measured in the same run, and their ratio. The table needs nothing but the C library, so the Win32
// benchmarks print it too; the reporter keeps the figures of Google Benchmark's runs for it.

#include <cstdio>
#include <map>
#include <string>
#include <vector>

namespace dravel::bench {

struct RatioRow {
    std::string strLabel;
    double value = 0;    // the figure, in the table's unit
    double baseline = 0; // the baseline's figure in the same unit; 0 when it did not run
};

inline double Ratio(double value, double baseline) {
    return baseline > 0 ? value / baseline : 0.0;
}

// One line per row: label, figure, baseline figure and figure / baseline.
inline void PrintRatioTable(const char* title, const char* unit, const char* ratioName,
                            const std::vector<RatioRow>& rows) {
    std::printf("\n%s\n%-36s %14s %14s %16s\n", title, "", unit, "baseline", ratioName);
    for (const RatioRow& r : rows)
        std::printf("%-36s %14.2f %14.2f %16.4f\n", r.strLabel.c_str(), r.value, r.baseline,
                    Ratio(r.value, r.baseline));
}

// Google Benchmark's console output (instantiate with benchmark::ConsoleReporter), keeping per
// benchmark its CPU time per iteration and its counters (items_per_second and the benchmark's own).
// With repetitions the mean stands for the benchmark.
template <class ConsoleReporter> class RatioReporter : public ConsoleReporter {
public:
    using Run = typename ConsoleReporter::Run;

    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            if (!run.aggregate_name.empty() && run.aggregate_name != "mean")
                continue;
            Figures& f = m_figures[run.run_name.function_name];
            f.cpuTime = run.GetAdjustedCPUTime();
            for (const auto& [name, counter] : run.counters)
                f.counters[name] = counter.value;
        }
        ConsoleReporter::ReportRuns(runs);
    }

    // CPU time per iteration in the benchmark's unit; 0 when it did not run.
    double CpuTime(const std::string& name) const {
        auto it = m_figures.find(name);
        return it == m_figures.end() ? 0.0 : it->second.cpuTime;
    }
    // A counter's value; 0 when the benchmark did not run or has no such counter.
    double Counter(const std::string& name, const std::string& counter) const {
        auto it = m_figures.find(name);
        if (it == m_figures.end())
            return 0.0;
        auto c = it->second.counters.find(counter);
        return c == it->second.counters.end() ? 0.0 : c->second;
    }

private:
    struct Figures {
        double cpuTime = 0;
        std::map<std::string, double> counters;
    };
    std::map<std::string, Figures> m_figures;
};

} // namespace dravel::bench
