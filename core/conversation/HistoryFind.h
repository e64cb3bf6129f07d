#pragma once

// Finding words in a conversation's history, as its find bar does: over each item's plain text (what a
// screen reader reads), in code page 949 bytes. Latin letters match in either case; two-byte characters
// match only themselves, and a match starts only where a character starts, never on a trail byte.

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

namespace dravel {

// Where needle first occurs in text, or npos; an empty needle occurs nowhere.
size_t FindText949(std::string_view text, std::string_view needle);

// The next of count items whose text (textOf(position)) holds needle, going forward or back from the
// item at from, which is looked at last (past either end the search goes round); from outside the
// items starts at the first, or going back at the last. -1 when no item holds it.
int FindHistoryItem(int count, int from, bool bForward, std::string_view needle,
                    const std::function<std::string(int)>& textOf);

} // namespace dravel
