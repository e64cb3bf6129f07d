#include "core/session/WindowTable.h"

namespace dravel {

namespace {
const std::string kEmpty;
}

CWindowTable::Use CWindowTable::SlotUse(int nSlot) const {
    if (nSlot < 0 || nSlot >= m_nSlotCount)
        return Use::Unused;
    return m_slots[static_cast<size_t>(nSlot)].use;
}

const std::string& CWindowTable::Key(int nSlot) const {
    if (SlotUse(nSlot) != Use::Conversation)
        return kEmpty;
    return m_slots[static_cast<size_t>(nSlot)].strKey;
}

const std::string& CWindowTable::PeerId(int nSlot) const {
    if (SlotUse(nSlot) != Use::Conversation)
        return kEmpty;
    return m_slots[static_cast<size_t>(nSlot)].strPeerId;
}

int CWindowTable::FindConversation(std::string_view key) const {
    for (int n = 0; n < m_nSlotCount; ++n) {
        const Slot& s = m_slots[static_cast<size_t>(n)];
        if (s.use == Use::Conversation && s.strKey == key)
            return n;
    }
    return -1;
}

SlotDecision CWindowTable::OpenConversation(std::string_view key, std::string_view peerId, WindowTableHost& host) {
    for (int n = m_nSlotCount - 1; n >= 0; --n) {
        const Slot& s = m_slots[static_cast<size_t>(n)];
        if (s.use == Use::Conversation && s.strKey == key) {
            host.ShowConversation(n);
            return {SlotResult::Shown, n};
        }
    }
    if (key.empty())
        return {};
    if (m_nSlotCount >= kMaxWindowSlots)
        return {SlotResult::Full, -1};
    const int n = m_nSlotCount;
    Slot& s = m_slots[static_cast<size_t>(n)];
    s.strKey = key;
    s.strPeerId = peerId;
    if (!host.CreateConversation(n, s.strKey, s.strPeerId)) {
        s = Slot{};
        return {};
    }
    s.use = Use::Conversation;
    // Counted before the log and history request, so that a record arriving meanwhile finds it.
    ++m_nSlotCount;
    host.StartConversation(n, s.strPeerId);
    return {SlotResult::Created, n};
}

SlotDecision CWindowTable::OpenPortalPopup(const PortalPopupRequest& request, WindowTableHost& host) {
    if (m_nSlotCount >= kMaxWindowSlots)
        return {SlotResult::Full, -1};
    const int n = m_nSlotCount;
    if (!host.CreatePortalPopup(n, request))
        return {};
    m_slots[static_cast<size_t>(n)].use = Use::PortalPopup;
    ++m_nSlotCount;
    return {SlotResult::Created, n};
}

SingleWindowAction DecideSingleWindow(bool bExists, bool bVisible) {
    if (!bExists)
        return SingleWindowAction::Create;
    return bVisible ? SingleWindowAction::Nothing : SingleWindowAction::ShowAgain;
}

} // namespace dravel
