#include "core/session/Attention.h"

#include <algorithm>

namespace dravel {

bool IsSystemQuietState(int nState) {
    return nState == 2 || nState == 3 || nState == 4 || nState == 6 || nState == 7;
}

ArrivalSignals CAttention::OnPeerMessage(std::string_view key, std::string_view peerId, bool bWindowShown,
                                         bool bActive) {
    ArrivalSignals signals;
    signals.bAlert = MayAlert(peerId);
    if (bActive)
        return signals; // read as it comes
    auto found = m_unread.find(key);
    if (found == m_unread.end())
        found = m_unread.emplace(std::string(key), Entry{}).first;
    Entry& entry = found->second;
    entry.strPeerId.assign(peerId);
    ++entry.nCount;
    entry.nLastOrder = ++m_nOrder;
    if (IsQuiet() && !IsMuted(peerId)) {
        ++m_quiet.nMessages;
        m_quiet.strKey.assign(key);
        m_quiet.strPeerId.assign(peerId);
    }
    // A hidden window has nothing on the taskbar to flash: its pop-up and the tray tell.
    signals.bFlash = bWindowShown && signals.bAlert;
    return signals;
}

bool CAttention::MayAlert(std::string_view peerId) const {
    return !IsQuiet() && !IsMuted(peerId);
}

bool CAttention::OfferNote(PopupKind kind, std::string_view text) {
    if (!IsQuiet())
        return true;
    if (m_quiet.notes.size() >= kMaxHeldNotes)
        m_quiet.notes.erase(m_quiet.notes.begin());
    m_quiet.notes.emplace_back(kind, std::string(text));
    return false;
}

void CAttention::OnConversationActivated(std::string_view key) {
    if (const auto found = m_unread.find(key); found != m_unread.end())
        m_unread.erase(found);
}

int CAttention::CountOf(std::string_view key) const {
    const auto found = m_unread.find(key);
    return found != m_unread.end() ? found->second.nCount : 0;
}

int CAttention::Total() const {
    int total = 0;
    for (const auto& [key, entry] : m_unread)
        if (!IsMuted(entry.strPeerId))
            total += entry.nCount;
    return total;
}

std::vector<UnreadConversation> CAttention::Unread() const {
    std::vector<std::pair<uint64_t, UnreadConversation>> ordered;
    for (const auto& [key, entry] : m_unread)
        ordered.push_back({entry.nLastOrder, {key, entry.strPeerId, entry.nCount, IsMuted(entry.strPeerId)}});
    std::sort(ordered.begin(), ordered.end(), [](const auto& a, const auto& b) { return a.first > b.first; });
    std::vector<UnreadConversation> out;
    for (auto& [order, conversation] : ordered)
        out.push_back(std::move(conversation));
    return out;
}

bool CAttention::IsMuted(std::string_view peerId) const {
    return !peerId.empty() && m_muted.contains(peerId);
}

void CAttention::SetMuted(std::string_view peerId, bool bMuted) {
    if (peerId.empty())
        return;
    if (bMuted)
        m_muted.emplace(peerId);
    else if (const auto found = m_muted.find(peerId); found != m_muted.end())
        m_muted.erase(found);
}

std::optional<QuietSummary> CAttention::TakeQuietSummary() {
    if (IsQuiet() || (m_quiet.nMessages == 0 && m_quiet.notes.empty()))
        return std::nullopt;
    QuietSummary summary = std::move(m_quiet);
    m_quiet = QuietSummary{};
    return summary;
}

} // namespace dravel
