#include "core/conversation/FieldLists.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace dravel {

namespace {

// Doubled quotes made single, then one enclosing pair removed.
std::string UnquoteField(std::string_view raw) {
    if (raw.find('"') == std::string_view::npos)
        return std::string(raw);
    std::string field;
    field.reserve(raw.size());
    for (size_t i = 0; i < raw.size(); ++i) {
        field.push_back(raw[i]);
        if (raw[i] == '"' && i + 1 < raw.size() && raw[i + 1] == '"')
            ++i;
    }
    if (!field.empty() && field.front() == '"' && field.back() == '"')
        field = field.size() >= 2 ? field.substr(1, field.size() - 2) : std::string();
    return field;
}

// Index of the quote that closes a field opened at open, stepping over "" pairs; npos when none.
size_t ClosingQuote(std::string_view text, size_t open) {
    for (size_t i = open + 1; i < text.size(); ++i) {
        if (text[i] != '"')
            continue;
        if (i + 1 < text.size() && text[i + 1] == '"') {
            ++i;
            continue;
        }
        return i;
    }
    return std::string_view::npos;
}

// Bars in text, eight bytes at a time: a dense run of bars costs no more than a sparse one.
size_t CountBars(std::string_view text) {
    constexpr uint64_t kOnes = 0x0101010101010101u;
    constexpr uint64_t kLow7 = kOnes * 0x7F;
    constexpr uint64_t kLowBytes = 0x00FF00FF00FF00FFu;
    const char* p = text.data();
    size_t nLeft = text.size();
    size_t nBars = 0;
    while (nLeft >= 8) {
        // One counter byte per lane; 255 words at most, so that no lane overflows.
        uint64_t lanes = 0;
        for (size_t nWords = std::min<size_t>(nLeft / 8, 255); nWords > 0; --nWords) {
            uint64_t w;
            std::memcpy(&w, p, 8);
            w ^= kOnes * '|';
            // High bit of each byte set where the byte is not zero, that is not a bar.
            const uint64_t nonZero = ((w & kLow7) + kLow7) | w;
            lanes += (~nonZero >> 7) & kOnes;
            p += 8;
            nLeft -= 8;
        }
        const uint64_t pairs = (lanes & kLowBytes) + ((lanes >> 8) & kLowBytes);
        nBars += static_cast<size_t>((pairs * 0x0001000100010001u) >> 48);
    }
    return nBars + static_cast<size_t>(std::count(p, p + nLeft, '|'));
}

} // namespace

std::vector<std::string> SplitHistoryFields(std::string_view text) {
    std::vector<std::string> fields;
    fields.reserve(static_cast<size_t>(std::count(text.begin(), text.end(), '|')) + 1);
    size_t pos = 0;
    while (pos < text.size()) {
        size_t bar = text.find('|', pos);
        if (bar == std::string_view::npos)
            break;
        fields.push_back(UnquoteField(text.substr(pos, bar - pos)));
        pos = bar + 1;
    }
    if (pos < text.size())
        fields.emplace_back(text.substr(pos));
    return fields;
}

std::vector<CHistoryEntry> SplitHistory(std::string_view text) {
    std::vector<std::string> fields = SplitHistoryFields(text);
    std::vector<CHistoryEntry> entries;
    entries.reserve(fields.size() / 3);
    for (size_t i = 2; i < fields.size(); i += 3)
        entries.push_back({std::move(fields[i - 2]), std::move(fields[i - 1]), std::move(fields[i])});
    return entries;
}

CHistoryTail SplitHistoryNewest(std::string_view text, size_t nMaxEntries) {
    CHistoryTail tail;
    if (text.empty())
        return tail;
    // Every bar ends a field; text after the last bar is one more.
    const size_t nBars = CountBars(text);
    const size_t nFields = nBars + (text.back() != '|' ? 1 : 0);
    const size_t nEntries = nFields / 3;
    const size_t nKept = std::min(nEntries, nMaxEntries);
    tail.nOmitted = nEntries - nKept;
    if (nKept == 0)
        return tail;

    // The first kept field follows bar number 3 * nOmitted; find it from the end, so that only the
    // kept stretch (and at most two dropped fields) is walked again.
    const size_t nFirst = 3 * tail.nOmitted;
    size_t pos = 0;
    if (nFirst > 0) {
        size_t bar = text.size();
        for (size_t n = nBars - nFirst + 1; n > 0; --n)
            bar = text.rfind('|', bar - 1);
        pos = bar + 1;
    }
    auto nextField = [&] {
        const size_t bar = text.find('|', pos);
        if (bar == std::string_view::npos) {
            std::string last(text.substr(pos));
            pos = text.size();
            return last;
        }
        std::string field = UnquoteField(text.substr(pos, bar - pos));
        pos = bar + 1;
        return field;
    };
    tail.entries.reserve(nKept);
    for (size_t i = 0; i < nKept; ++i) {
        CHistoryEntry entry;
        entry.strMarker = nextField();
        entry.strText = nextField();
        entry.strTime = nextField();
        tail.entries.push_back(std::move(entry));
    }
    return tail;
}

std::vector<std::string> SplitCollectedFields(std::string_view text) {
    std::vector<std::string> fields;
    size_t pos = 0;
    while (pos < text.size()) {
        std::string_view rest = text.substr(pos);
        size_t end = rest.find('|');
        if (end == std::string_view::npos) {
            fields.emplace_back(rest);
            break;
        }
        // Only a quote before the bar counts; looking further would make long lists quadratic.
        size_t quote = rest.substr(0, end).find('"');
        if (quote != std::string_view::npos) {
            size_t close = ClosingQuote(rest, quote);
            // Whatever follows the closing quote up to the next bar still belongs to this field.
            if (close != std::string_view::npos)
                end = std::min(rest.find('|', close + 1), rest.size());
        }
        fields.push_back(UnquoteField(rest.substr(0, end)));
        pos += end + 1;
    }
    return fields;
}

} // namespace dravel
