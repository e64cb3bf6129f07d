// Server texts that are split into fields: stored histories, collected user lists, and the item HTML
// that a history turns into. Checks the bounds every consumer relies on.
#include "core/conversation/ChatList.h"
#include "core/conversation/Conversation.h"
#include "core/conversation/FieldLists.h"
#include "core/conversation/FileNames.h"
#include "core/conversation/ReceivedFile.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

namespace {

class NullView : public dravel::HistoryView {
public:
    size_t nItems = 0;
    size_t nBytes = 0;
    int AddItem(const std::string& html, dravel::HistorySide) override {
        const int index = static_cast<int>(nItems++);
        nBytes += html.size();
        // Whatever the history held, a click on its item asks for a key that fits the item.
        std::optional<dravel::CFileRequest> r = dravel::FileRequestFromItem(html);
        if (r && (r->strKey.empty() || r->strKey.size() > html.size() + 13))
            abort();
        return index;
    }
    void SetItem(int, const std::string&) override {}
    void ShowEnd() override {}
    void FocusMessageEdit() override {}
    void EnableSending() override {}
};

class NullLog : public dravel::ConversationLog {
public:
    bool IsOpen() const override { return true; }
    void WriteLine(std::string_view line) override {
        if (line.empty() || line.back() != '\n')
            abort();
    }
};

size_t Count(std::string_view s, char c) {
    size_t n = 0;
    for (char x : s)
        n += x == c;
    return n;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view text(reinterpret_cast<const char*>(data), size);
    const size_t bars = Count(text, '|');

    std::vector<std::string> fields = dravel::SplitHistoryFields(text);
    size_t total = 0;
    for (const std::string& f : fields)
        total += f.size();
    if (fields.size() > bars + 1 || total > size)
        abort();
    std::vector<dravel::CHistoryEntry> entries = dravel::SplitHistory(text);
    if (entries.size() != fields.size() / 3)
        abort();

    std::vector<std::string> collected = dravel::SplitCollectedFields(text);
    total = 0;
    for (const std::string& f : collected)
        total += f.size();
    if (collected.size() > bars + 1 || total > size)
        abort();
    if (dravel::SplitCollectedList(text).size() != collected.size() / 3)
        abort();

    NullView view;
    NullLog log;
    dravel::CConversation conv(view, log, {"unsent", "%s omitted", "waiting"});
    conv.SetPeer("peer", "id");
    conv.NoteHistoryRequest();
    conv.LoadHistory(text, {});
    // The same reply again, as after a reconnect, lines up with what the first one showed.
    conv.NoteHistoryRequest();
    conv.LoadHistory(text, {});
    if (view.nItems != entries.size())
        abort();

    std::optional<std::string> name = dravel::ReceivedFileName(text);
    if (name && (!dravel::IsPlainFileName(*name) || name->size() >= size))
        abort();
    // What a download is saved as, and its backup, are plain names that fit beside the folder.
    const size_t folder = size % dravel::kMaxPathChars;
    const auto existing = [](const std::string&) { return dravel::ExistingEntry::File; };
    const dravel::CReceivePlan plan = dravel::PlanReceivedFile(true, folder, text, existing, {});
    for (const std::string& saved : {plan.strName, plan.strBackupName}) {
        if (!saved.empty() && (!dravel::IsPlainFileName(saved) ||
                               dravel::ShortenFileName(saved, dravel::kMaxPathChars - folder - 1) != saved))
            abort();
    }
    return 0;
}
