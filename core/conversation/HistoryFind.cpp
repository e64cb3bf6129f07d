#include "core/conversation/HistoryFind.h"

#include "core/text/Cp949.h"

namespace dravel {

namespace {

char FoldLatin(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// Both walk character by character: a single byte of the needle equals a single byte of the text only,
// so the text's characters stay in step with the needle's.
bool MatchesAt(std::string_view text, size_t at, std::string_view needle) {
    for (size_t j = 0; j < needle.size();) {
        const size_t length = Cp949CharLength(needle, j);
        if (at + j + length > text.size())
            return false;
        if (length == 2 ? text.compare(at + j, 2, needle.substr(j, 2)) != 0
                        : FoldLatin(text[at + j]) != FoldLatin(needle[j]))
            return false;
        j += length;
    }
    return true;
}

} // namespace

size_t FindText949(std::string_view text, std::string_view needle) {
    if (needle.empty())
        return std::string_view::npos;
    for (size_t i = 0; i + needle.size() <= text.size(); i += Cp949CharLength(text, i)) {
        if (MatchesAt(text, i, needle))
            return i;
    }
    return std::string_view::npos;
}

int FindHistoryItem(int count, int from, bool bForward, std::string_view needle,
                    const std::function<std::string(int)>& textOf) {
    if (count <= 0 || needle.empty())
        return -1;
    if (from < 0 || from >= count)
        from = bForward ? -1 : count;
    for (int step = 1; step <= count; ++step) {
        const int position = ((bForward ? from + step : from - step) % count + count) % count;
        if (FindText949(textOf(position), needle) != std::string_view::npos)
            return position;
    }
    return -1;
}

} // namespace dravel
