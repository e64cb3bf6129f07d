#pragma once

// The attention rules (core/session/Attention.h) on Windows: the user's choices kept in the registry per
// login ID, the system's quiet states asked of the shell, and the main window told whenever the unread
// messages or the quiet change.
//
// Kept under HKEY_CURRENT_USER\Software\Brello\Tamix\Attention\<login ID>: DoNotDisturb and PopupsStay as
// REG_DWORD 0 or 1, and below it the key Muted with one REG_DWORD value 1 per muted peer's login ID.

#include "core/session/Attention.h"

#include <optional>
#include <string>
#include <vector>

namespace dravel::win {

// The main window as the attention reaches it.
class AttentionView {
public:
    virtual ~AttentionView() = default;
    // The unread total (muted conversations left out), whether it is quiet now, and the conversations
    // with unread messages, the newest first.
    virtual void ShowAttention(int nTotal, bool bQuiet, const std::vector<UnreadConversation>& unread) = 0;
};

class CAttentionHost {
public:
    explicit CAttentionHost(AttentionView& view) : m_view(view) {}

    // The choices of the user who logged in (949 login ID), once per user. An ID that cannot name a
    // registry key keeps its choices for this run only.
    void LoadFor(const std::string& userId);

    CAttention& Rules() { return m_rules; }
    const CAttention& Rules() const { return m_rules; }
    bool PopupsStay() const { return m_bPopupsStay; }

    void SetDoNotDisturb(bool bOn);
    void SetPopupsStay(bool bOn);
    void SetMuted(const std::string& peerId, bool bMuted);

    // Asks the shell whether the system is quiet now. When a quiet time has just ended, what arrived
    // meanwhile, to be told once.
    std::optional<QuietSummary> Refresh();
    // The counts changed: the window shows them.
    void Changed();

private:
    AttentionView& m_view;
    CAttention m_rules;
    std::optional<std::string> m_strUser; // whose choices are loaded
    std::wstring m_strSection;            // empty: nothing is kept
    bool m_bPopupsStay = false;
};

} // namespace dravel::win
