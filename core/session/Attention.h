#pragma once

// What asks for the user's attention and what keeps quiet: the unread messages of each conversation,
// do not disturb (the user's own choice and the system's quiet states), muted peers, and what arrived
// while it was quiet.
//
// A conversation is known by its key (the peer's display name, as the window table keys it); muting
// is by the peer's login ID. Texts are code page 949 bytes.

#include "core/session/Popups.h"

#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace dravel {

// One conversation with unread messages, as the no-page panel lists them.
struct UnreadConversation {
    std::string strKey;
    std::string strPeerId;
    int nCount = 0;
    bool bMuted = false;
};

// How a peer's message is told.
struct ArrivalSignals {
    bool bAlert = false; // a pop-up and a sound may tell of it (the dispatch decides which pop-up)
    bool bFlash = false; // the conversation's taskbar button asks for attention
};

// What the user is told once a quiet time ends.
struct QuietSummary {
    int nMessages = 0;     // unread messages of peers that are not muted, arrived while quiet
    std::string strKey;    // the newest of them: a click on the summary opens its conversation
    std::string strPeerId;
    // Pop-ups that lead to no conversation (notes, order-cancel notices), held back while quiet, oldest first.
    std::vector<std::pair<PopupKind, std::string>> notes;
};

// Whether the system's notification state (SHQueryUserNotificationState's QUERY_USER_NOTIFICATION_STATE)
// asks programs to keep quiet: busy with a full-screen program (2), a full-screen game (3), presenting
// (4), quiet time (6) or a full-screen app (7). Unknown values are not quiet.
bool IsSystemQuietState(int nState);

// The most notes held back while quiet; older ones give way.
inline constexpr size_t kMaxHeldNotes = 16;

class CAttention {
public:
    // A peer's message for conversation `key`. bWindowShown: its window is on the screen; bActive: it is
    // the active window, where the user reads the message as it comes (it is not unread then).
    ArrivalSignals OnPeerMessage(std::string_view key, std::string_view peerId, bool bWindowShown, bool bActive);
    // Whether a pop-up of a peer may show now (false while quiet or for a muted peer).
    bool MayAlert(std::string_view peerId) const;
    // A pop-up that leads to no conversation (a note): true when it may show now; while quiet it is held
    // for the summary instead.
    bool OfferNote(PopupKind kind, std::string_view text);

    // The user activated the conversation: its messages are read.
    void OnConversationActivated(std::string_view key);

    int CountOf(std::string_view key) const;
    // Unread messages of the conversations that are not muted.
    int Total() const;
    // The conversations with unread messages, the one with the newest message first.
    std::vector<UnreadConversation> Unread() const;

    bool IsMuted(std::string_view peerId) const;
    void SetMuted(std::string_view peerId, bool bMuted);

    bool DoNotDisturb() const { return m_bDoNotDisturb; }
    void SetDoNotDisturb(bool bOn) { m_bDoNotDisturb = bOn; }
    // The system's quiet states (presentation, a full-screen program, quiet hours) count as do not
    // disturb while they last.
    void SetSystemQuiet(bool bQuiet) { m_bSystemQuiet = bQuiet; }
    bool SystemQuiet() const { return m_bSystemQuiet; }
    bool IsQuiet() const { return m_bDoNotDisturb || m_bSystemQuiet; }
    // Once it is no longer quiet: what arrived meanwhile, told once; nothing while still quiet or when
    // nothing arrived.
    std::optional<QuietSummary> TakeQuietSummary();

private:
    struct Entry {
        std::string strPeerId;
        int nCount = 0;
        uint64_t nLastOrder = 0;
    };
    std::map<std::string, Entry, std::less<>> m_unread;
    std::set<std::string, std::less<>> m_muted;
    uint64_t m_nOrder = 0;
    bool m_bDoNotDisturb = false;
    bool m_bSystemQuiet = false;
    QuietSummary m_quiet;
};

} // namespace dravel
