#pragma once

// After a reconnect a conversation asks the server for its history again. The reply holds what the
// window already shows and, after it, what was written while the connection was away; only the latter
// may be shown (and logged). Entries are told apart by side and text: the server's times are its own.

#include "core/conversation/FieldLists.h"

#include <span>
#include <string>
#include <vector>

namespace dravel {

struct HistoryKey {
    bool bOwn = false;
    std::string strText;
    bool operator==(const HistoryKey&) const = default;
};

// The entries of `history` (oldest first) that the window does not show yet, as indexes in order.
// `before` are the last entries the window showed when it asked, oldest first; `after` what it showed
// since (messages that arrived or went out while the reply was on its way, which the reply may hold too).
// The reply is lined up with `before` where the longest run of it ends, the latest such place when
// several runs are as long; a reply that holds none of `before` is all new.
std::vector<size_t> EntriesNotShown(const std::vector<CHistoryEntry>& history, std::span<const HistoryKey> before,
                                    std::span<const HistoryKey> after);

} // namespace dravel
