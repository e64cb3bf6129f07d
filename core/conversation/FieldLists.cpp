#include "conversation/FieldLists.h"

#include <algorithm>

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
