#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace dravel {

// The server sends stored histories and user lists as "|"-separated fields read in groups of three.
// A field may be enclosed in double quotes, with a double quote inside written twice.

// One stored message: marker ">" is the local user's own message, any other marker the peer's.
struct CHistoryEntry {
    std::string strMarker;
    std::string strText;
    std::string strTime;

    bool IsOwn() const { return strMarker == ">"; }
    bool operator==(const CHistoryEntry&) const = default;
};

// Fields of a history reply. Every "|" ends a field, quoted or not. A field that a "|" ends has its
// doubled quotes made single and then loses one enclosing pair; the last field (after the last "|") is
// taken as it stands.
std::vector<std::string> SplitHistoryFields(std::string_view text);

// The complete groups of three fields; a trailing group of one or two fields is dropped.
std::vector<CHistoryEntry> SplitHistory(std::string_view text);

// The newest entries of a history and how many older complete entries were left out.
struct CHistoryTail {
    std::vector<CHistoryEntry> entries;
    size_t nOmitted = 0;
};

// The last nMaxEntries entries that SplitHistory would give, and the count of the earlier ones. Takes
// time linear in the text and memory for the kept entries only, however many fields the server sent.
CHistoryTail SplitHistoryNewest(std::string_view text, size_t nMaxEntries);

// Fields of a collected user list. Unlike the history, a quote that opens before the next "|" keeps
// that field going to its closing quote (a quote not doubled), so a quoted name may hold "|" and any
// number of "" pairs; the field then ends at the first "|" after the closing quote. Without a closing
// quote the field ends at the next "|". Fields are unquoted as in the history, except that a last
// field without any "|" in it is taken as it stands.
std::vector<std::string> SplitCollectedFields(std::string_view text);

} // namespace dravel
