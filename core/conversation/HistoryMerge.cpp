#include "core/conversation/HistoryMerge.h"

namespace dravel {

namespace {
bool Same(const CHistoryEntry& entry, const HistoryKey& key) {
    return entry.IsOwn() == key.bOwn && entry.strText == key.strText;
}
} // namespace

std::vector<size_t> EntriesNotShown(const std::vector<CHistoryEntry>& history, std::span<const HistoryKey> before,
                                    std::span<const HistoryKey> after) {
    // Where the shown part of the reply ends: just after the longest run of `before`'s newest entries.
    size_t nStart = 0;
    size_t nBestRun = 0;
    if (!before.empty()) {
        for (size_t end = history.size(); end > 0; --end) {
            size_t run = 0;
            while (run < end && run < before.size() && Same(history[end - 1 - run], before[before.size() - 1 - run]))
                ++run;
            if (run > nBestRun) {
                nBestRun = run;
                nStart = end;
                if (run == before.size())
                    break; // nothing earlier can be longer, and the latest place wins ties
            }
        }
    }
    std::vector<size_t> out;
    size_t nAfter = 0;
    for (size_t i = nStart; i < history.size(); ++i) {
        size_t q = nAfter;
        while (q < after.size() && !Same(history[i], after[q]))
            ++q;
        if (q < after.size()) {
            nAfter = q + 1; // shown since the request: the reply holds it too
            continue;
        }
        out.push_back(i);
    }
    return out;
}

} // namespace dravel
