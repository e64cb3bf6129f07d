// The session's attention: unread messages, the taskbar button's flash, do not disturb, muted peers and
// the pop-ups that stay. The rules are CAttention's (core/session/Attention.h); CAttentionHost keeps the
// user's choices and tells the main window.
#include "win/session/SessionHost.h"

#include "win/base/Text.h"
#include "win/res/resource.h"

namespace dravel::win {

void CSessionHost::NoteIncoming(const std::string& key, const std::string& peerId) {
    // The system's quiet state as it is now; a quiet time that ended meanwhile is told first.
    const std::optional<QuietSummary> ended = m_attention.Refresh();
    CMessageDlg* c = ConversationWindow(m_table.FindConversation(key));
    const HWND hwnd = c != nullptr ? c->GetHwnd() : nullptr;
    const bool bShown = hwnd != nullptr && ::IsWindowVisible(hwnd);
    const bool bActive = bShown && ::GetForegroundWindow() == hwnd;
    if (m_attention.Rules().OnPeerMessage(key, peerId, bShown, bActive).bFlash)
        c->AskForAttention();
    m_attention.Changed();
    if (ended)
        ShowQuietSummary(*ended);
}

void CSessionHost::ShowPopup(PopupKind kind, const std::string& first, const std::string& second) {
    CAttention& rules = m_attention.Rules();
    const bool bFromPeer = !second.empty() &&
                           (kind == PopupKind::Message || kind == PopupKind::File || kind == PopupKind::CancelRequest);
    if (bFromPeer) {
        // Counted by NoteIncoming already; quiet or muted, nothing slides up and nothing sounds.
        if (!rules.MayAlert(second))
            return;
    } else if (kind == PopupKind::Note || kind == PopupKind::CancelRequest) {
        if (const std::optional<QuietSummary> ended = m_attention.Refresh())
            ShowQuietSummary(*ended);
        // Held back while quiet and shown when it ends: a note has nowhere else to be read.
        if (!rules.OfferNote(kind, first))
            return;
    } else if (rules.IsQuiet()) {
        return; // the greeting and the session's end are not worth breaking the quiet for
    }
    m_popups.Show(kind, first, second);
}

void CSessionHost::ShowQuietSummary(const QuietSummary& summary) {
    if (summary.nMessages > 0)
        m_popups.ShowText(WideToCp949(FormatResString(IDS_ATTENTION_QUIET_SUMMARY, summary.nMessages)),
                          summary.strKey, summary.strPeerId);
    for (const auto& [kind, text] : summary.notes)
        m_popups.Show(kind, text, std::string());
}

void CSessionHost::SetDoNotDisturb(bool bOn) {
    m_attention.SetDoNotDisturb(bOn);
    if (const std::optional<QuietSummary> ended = m_attention.Refresh())
        ShowQuietSummary(*ended);
}

void CSessionHost::SetPopupsStay(bool bOn) {
    m_attention.SetPopupsStay(bOn);
}

void CSessionHost::OnAttentionTick() {
    if (const std::optional<QuietSummary> ended = m_attention.Refresh())
        ShowQuietSummary(*ended);
}

void CSessionHost::OpenUnread(const std::string& key) {
    for (const UnreadConversation& c : m_attention.Rules().Unread()) {
        if (c.strKey == key) {
            OpenConversationForUser(c.strKey, c.strPeerId);
            return;
        }
    }
}

void CSessionHost::OnConversationActivated(const std::string& peerName) {
    if (m_attention.Rules().CountOf(peerName) == 0 && !m_attention.PopupsStay())
        return;
    m_attention.Rules().OnConversationActivated(peerName);
    // Pop-ups that stay go once what they tell of is read.
    if (m_attention.PopupsStay())
        m_popups.Dismiss(peerName);
    m_attention.Changed();
}

bool CSessionHost::IsPeerMuted(const std::string& peerId) const {
    return m_attention.Rules().IsMuted(peerId);
}

void CSessionHost::SetPeerMuted(const std::string& peerId, bool bMuted) {
    m_attention.SetMuted(peerId, bMuted);
}

} // namespace dravel::win
