#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace dravel {

// Conversations and portal pop-ups together, per session.
inline constexpr int kMaxWindowSlots = 100;

// A window asked for with every slot taken shows a box that says so; the session goes on.

struct PortalPopupRequest {
    std::string strUrl;
    int32_t nLeft = 0, nTop = 0, nWidth = 0, nHeight = 0;
};

// The windows the main window makes for the table, each in the slot the table chose.
class WindowTableHost {
public:
    virtual ~WindowTableHost() = default;
    // Shows an existing conversation normally and brings it to the top.
    virtual void ShowConversation(int nSlot) = 0;
    // Creates the conversation window of the slot (template 139, owned by the main window) with its
    // key, peer ID and opened flag set, and shows it without activating it. False when it failed.
    virtual bool CreateConversation(int nSlot, const std::string& key, const std::string& peerId) = 0;
    // The new conversation opens its log, then asks the server for its history if a connection exists.
    virtual void StartConversation(int nSlot, const std::string& peerId) = 0;
    // Creates the portal pop-up of the slot (template 131), places it, sets its address and shows it
    // without activating it. False when it failed.
    virtual bool CreatePortalPopup(int nSlot, const PortalPopupRequest& request) = 0;
};

enum class SlotResult {
    Shown,   // an existing conversation was shown again
    Created, // a new window took the next slot
    Full,    // every slot is taken: show the box that says so
    Failed,  // nothing usable was asked for, or the window could not be made; no slot was used
};

struct SlotDecision {
    SlotResult result = SlotResult::Failed;
    int nSlot = -1;
};

// One slot counter shared by conversations and portal pop-ups. A slot, once taken, stays with its
// window for the rest of the session: a closed conversation is only hidden and comes back when reopened.
class CWindowTable {
public:
    enum class Use : uint8_t { Unused, Conversation, PortalPopup };

    int SlotCount() const { return m_nSlotCount; }
    Use SlotUse(int nSlot) const;
    // Key (the peer's display name) and peer ID of a conversation slot; empty for other slots.
    const std::string& Key(int nSlot) const;
    const std::string& PeerId(int nSlot) const;

    // First conversation slot, from 0 up, whose key equals `key` byte for byte; -1 if none.
    int FindConversation(std::string_view key) const;

    // Shows the conversation with `key` if it exists, otherwise creates it in the next slot.
    SlotDecision OpenConversation(std::string_view key, std::string_view peerId, WindowTableHost& host);

    // Creates a portal pop-up in the next slot.
    SlotDecision OpenPortalPopup(const PortalPopupRequest& request, WindowTableHost& host);

private:
    struct Slot {
        Use use = Use::Unused;
        std::string strKey;
        std::string strPeerId;
    };

    int m_nSlotCount = 0;
    std::array<Slot, kMaxWindowSlots> m_slots;
};

// The portal window (dialog 132) and the chat list (dialog 145) are made on first request and then
// only shown again; a portal window already showing keeps its page.
enum class SingleWindowAction {
    Create,    // construct, create, place (portal), show
    ShowAgain, // place and set the address again (portal), show
    Nothing,   // it is showing already
};
SingleWindowAction DecideSingleWindow(bool bExists, bool bVisible);

// The last portal-window request, remembered whatever the window then does with it.
struct PortalWindowRequest {
    std::string strUrl;
    int32_t nWidth = 0, nHeight = 0, nTop = 0, nLeft = 0;
};

} // namespace dravel
