// What the development server writes, the client must read back: histories and collected user lists
// of arbitrary entries, built by the server and split by the client, give back the same entries. The
// only changes are the documented ones: a bar in a history text becomes the full-width bar, a quote in
// a list field the full-width quote.
#include "core/conversation/ChatList.h"
#include "core/conversation/FieldLists.h"
#include "devserver/Text.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

void Check(bool bHolds, const char* what) {
    if (!bHolds) {
        std::fprintf(stderr, "quoting round trip broken: %s\n", what);
        std::abort();
    }
}

std::string ReplaceAll(std::string_view text, char from, std::string_view to) {
    std::string out;
    for (char c : text) {
        if (c == from)
            out.append(to);
        else
            out.push_back(c);
    }
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace dravel::devserver;
    FuzzedDataProvider input(data, size);
    std::vector<HistoryEntry> history;
    std::vector<ListEntry> list;
    while (input.remaining_bytes() > 0 && history.size() < 64) {
        HistoryEntry h;
        h.bOwn = input.ConsumeBool();
        h.time = input.ConsumeIntegralInRange<std::time_t>(0, 4102444799); // up to the end of 2099
        h.strText = input.ConsumeRandomLengthString(256);
        history.push_back(h);
        ListEntry l;
        l.bOnline = input.ConsumeBool();
        l.strId = input.ConsumeRandomLengthString(64);
        l.strName = h.strText;
        list.push_back(l);
    }

    const std::vector<dravel::CHistoryEntry> read = dravel::SplitHistory(BuildHistoryText(history));
    Check(read.size() == history.size(), "history entries");
    for (size_t i = 0; i < read.size(); ++i) {
        Check(read[i].IsOwn() == history[i].bOwn && (read[i].IsOwn() || read[i].strMarker == "<"), "history marker");
        Check(read[i].strText == ReplaceAll(history[i].strText, '|', "\xA3\xFC"), "history text");
        Check(read[i].strTime == HistoryTime(history[i].time), "history time");
    }

    const std::string text = BuildCollectedList(list);
    const std::vector<std::string> fields = dravel::SplitCollectedFields(text);
    Check(fields.size() == 3 * list.size(), "list fields");
    const std::vector<dravel::CChatUser> users = dravel::SplitCollectedList(text);
    Check(users.size() == list.size(), "list users");
    for (size_t i = 0; i < users.size(); ++i) {
        Check(fields[3 * i + 1] == (list[i].bOnline ? "1" : "0"), "list state");
        Check(users[i] == dravel::CChatUser{ReplaceAll(list[i].strId, '"', "\xA3\xA2"),
                                            ReplaceAll(list[i].strName, '"', "\xA3\xA2"), list[i].bOnline},
              "list user");
    }
    return 0;
}
