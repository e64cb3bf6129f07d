// Decodes arbitrary bytes into records and dispatches each one to a main window made of the real window
// table and pop-up board, with clicks and conversation requests mixed in. Checks that the table never
// passes 100 slots, that a pop-up slot is never handed out twice, and that the busy mask always matches
// the notifiers alive.
#include "core/protocol/Codec.h"
#include "core/protocol/TextConverter.h"
#include "core/session/Session.h"

#include <array>
#include <bitset>
#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

using namespace dravel;

class Conversation : public ConversationTarget {
public:
    bool bOpened = true;
    bool bVisible = false;
    bool IsOpened() const override { return bOpened; }
    bool IsVisible() const override { return bVisible; }
    void Raise() override { bVisible = true; }
    void AppendIncoming(const std::string&, const std::string&, std::time_t, bool) override {}
    void AppendOutgoing(const std::string&, const std::string&, std::time_t, bool) override {}
    void AppendNotice(const std::string&, std::time_t) override {}
    bool LoadHistory(const std::string&, const std::string&, std::time_t) override { return true; }
    bool ExpectsFileReply(int32_t, const std::string& text) const override { return !text.empty(); }
    void StartFileSend(const std::string&, const std::string&, std::time_t, const std::string&) override {}
    void ShowDuplicateFile(const std::string&, const std::string&, std::time_t, const std::string&) override {}
    void StartFileReceive(const std::string&, const std::string&, std::time_t) override {}
};

class FakeChatList : public ChatListTarget {
public:
    void SetUserState(const std::string&, bool) override {}
    void AddListEntry(const std::string&, int32_t, const std::string&) override {}
    void EndListEntries(const std::string&, int32_t, const std::string&) override {}
    void LoadCollectedList(const std::string&) override {}
    void ResetList() override {}
};

class Main : public DispatchTarget, public PopupHost, public WindowTableHost, public Clock {
public:
    CWindowTable table;
    CPopupBoard popups{*this, *this, PopupTexts{"Dravel On", "%s\n\n%s", "%s %s", "%s", "%s", "%s", "%s"}};
    std::array<Conversation, kMaxWindowSlots> conversations;
    FakeChatList chatList;
    std::bitset<kPopupSlots> alive;
    uint32_t nTick = 0;
    bool bEnded = false;
    std::string strName;

    // DispatchTarget
    void ReplySignIn() override {}
    std::string DisplayName() const override { return strName; }
    void SetIdentity(const std::string& name, int32_t) override { strName = name; }
    void UpdateTitle() override {}
    bool OnLoginGranted() override { return true; }
    void ShowPopup(PopupKind kind, const std::string& first, const std::string& second) override {
        popups.Show(kind, first, second);
    }
    void ShowServerNotice(const std::string&) override {}
    ConversationTarget* FindConversation(std::string_view key) override {
        int n = table.FindConversation(key);
        return n < 0 ? nullptr : &conversations[static_cast<size_t>(n)];
    }
    ChatListTarget* ChatList() override { return nTick & 1 ? &chatList : nullptr; }
    void RequestSessionEnd() override { bEnded = true; }
    std::time_t Now() override { return 0; }

    // PopupHost
    void StopSound() override {}
    void PlaySound() override {}
    bool ShowSlotPopup(const PopupRequest& r) override {
        if (r.nInstance < 0 || r.nInstance >= kPopupSlots || alive.test(static_cast<size_t>(r.nInstance)))
            abort();
        alive.set(static_cast<size_t>(r.nInstance));
        return true;
    }
    void ShowSharedPopup(const PopupRequest&) override {}
    void DeleteSlotPopup(int n) override { alive.reset(static_cast<size_t>(n)); }
    void OpenConversation(const std::string& key, const std::string& peerId) override {
        table.OpenConversation(key, peerId, *this);
    }

    // WindowTableHost
    void ShowConversation(int n) override { conversations[static_cast<size_t>(n)].bVisible = true; }
    bool CreateConversation(int n, const std::string&, const std::string&) override {
        if (n < 0 || n >= kMaxWindowSlots)
            abort();
        return true;
    }
    void StartConversation(int, const std::string&) override {}
    bool CreatePortalPopup(int n, const PortalPopupRequest&) override {
        if (n < 0 || n >= kMaxWindowSlots)
            abort();
        return true;
    }

    // Clock
    uint32_t TickCount() override { return nTick; }

    void Check() const {
        if (table.SlotCount() < 0 || table.SlotCount() > kMaxWindowSlots)
            abort();
        if (alive.to_ulong() != popups.BusyMask())
            abort();
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1)
        return 0;
    static const AsciiTextConverter converter;
    CRecordReader reader(converter);
    Main m;
    m.popups.MarkLogin();
    const size_t step = 1 + data[0] % 64;
    std::string_view stream(reinterpret_cast<const char*>(data + 1), size - 1);
    CComData r;
    for (size_t pos = 0; pos < stream.size() && !m.bEnded; pos += step) {
        reader.Feed(stream.substr(pos, step));
        while (!m.bEnded && reader.Next(r) == DecodeStatus::Complete) {
            // The unused fields steer the surroundings: time passing, window states, clicks, requests.
            m.nTick += static_cast<uint32_t>(r.m_nReserved) & 0xFFF;
            const uint32_t port = static_cast<uint32_t>(r.m_nPort);
            if (port & 1)
                m.table.OpenConversation(r.m_strName, r.m_strId, m);
            if (port & 2)
                m.table.OpenPortalPopup({r.m_strHost, 0, 0, 1, 1}, m);
            int n = m.table.FindConversation(r.m_strName);
            if (n >= 0) {
                m.conversations[static_cast<size_t>(n)].bVisible = (port & 4) != 0;
                m.conversations[static_cast<size_t>(n)].bOpened = (port & 8) != 0;
            }
            DispatchRecord(r, m);
            if (port & 16)
                m.popups.OnClick(static_cast<int>((port >> 8) % 20) - 2, r.m_strHost);
            m.Check();
        }
    }
    return 0;
}
