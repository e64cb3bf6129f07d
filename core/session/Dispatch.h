#pragma once

#include "core/protocol/ComData.h"
#include "core/protocol/KoreanTexts.h"
#include "core/session/Popups.h"

#include <cstdint>
#include <ctime>
#include <string>
#include <string_view>

namespace dravel {

// One conversation window as the inbound records see it (the conversation window implements it).
class ConversationTarget {
public:
    virtual ~ConversationTarget() = default;
    // Set once the window was opened by the user (a pop-up click or the chat list).
    virtual bool IsOpened() const = 0;
    virtual bool IsVisible() const = 0;
    // Shows the window without activating it, brings it to the top and makes it topmost.
    virtual void Raise() = 0;
    virtual void AppendIncoming(const std::string& name, const std::string& text, std::time_t received,
                                bool bWriteLog) = 0;
    virtual void AppendOutgoing(const std::string& name, const std::string& text, std::time_t received,
                                bool bWriteLog) = 0;
    virtual void AppendNotice(const std::string& text, std::time_t received) = 0;
    // True when the reply opened the window; false for a later one (after a reconnect: it only adds what
    // the window missed) and for one the window did not ask for (dropped).
    virtual bool LoadHistory(const std::string& key, const std::string& text, std::time_t received) = 0;
    // Whether the user is waiting for this file reply here: COM_FILE_ACCEPT and COM_FILE_REJECT name an
    // offer the user made in this window, COM_FILE_ADJUST a file the user clicked. Anything else is a
    // claim nobody asked for and is dropped.
    virtual bool ExpectsFileReply(int32_t nCommand, const std::string& text) const = 0;
    virtual void StartFileSend(const std::string& name, const std::string& path, std::time_t received,
                               const std::string& stamp) = 0;
    virtual void ShowDuplicateFile(const std::string& name, const std::string& path, std::time_t received,
                                   const std::string& stamp) = 0;
    virtual void StartFileReceive(const std::string& name, const std::string& fileName, std::time_t received) = 0;
};

// The chat list window as the inbound records see it.
class ChatListTarget {
public:
    virtual ~ChatListTarget() = default;
    virtual void SetUserState(const std::string& name, bool bOnline) = 0;
    virtual void AddListEntry(const std::string& name, int32_t state, const std::string& id) = 0;
    virtual void EndListEntries(const std::string& name, int32_t state, const std::string& id) = 0;
    virtual void LoadCollectedList(const std::string& text) = 0;
    virtual void ResetList() = 0;
};

// The main window as the inbound records see it.
class DispatchTarget {
public:
    virtual ~DispatchTarget() = default;
    // Answers COM_SIGN_IN with the sign-in record. A failed send ends the connection inside this call.
    virtual void ReplySignIn() = 0;
    // The display name and status the connection holds.
    virtual std::string DisplayName() const = 0;
    virtual void SetIdentity(const std::string& name, int32_t status) = 0;
    // Appends " - " and the display name to the window title (TitleWithDisplayName).
    virtual void UpdateTitle() = 0;
    // The login was granted (COM_LOGIN_MESSAGE); false when the grant ends an outage and the user is not
    // greeted again.
    virtual bool OnLoginGranted() = 0;
    virtual void ShowPopup(PopupKind kind, const std::string& first, const std::string& second) = 0;
    // A peer's message for the conversation `key` arrived (its window, if any, holds it already); it
    // comes before the pop-up that tells of it, if one does.
    virtual void NoteIncoming(const std::string& /*key*/, const std::string& /*peerId*/) {}
    // A server notice: a message box owned by the main window, caption "Dravel On", OK, no icon.
    virtual void ShowServerNotice(const std::string& text) = 0;
    // The conversation whose key equals `key`, first in slot order, or null.
    virtual ConversationTarget* FindConversation(std::string_view key) = 0;
    // The chat list window, or null while it was never opened.
    virtual ChatListTarget* ChatList() = 0;
    // Asks the main window to end the session (COM_CLOSE). Nothing is torn down here: the end runs
    // later from the main window's own message handling, once, after this record's handling returned.
    // No record after this one is handled.
    virtual void RequestSessionEnd() = 0;
    // Local time now, in seconds.
    virtual std::time_t Now() = 0;
};

// A peer's text that mentions a file.
inline constexpr char kFileMark[] = "File_";

// A text holding kOrderWord, kCancelWord and kRequestWord, anywhere and in any order.
bool IsCancelRequest(std::string_view text);

// The window title after a login grant: the window's own caption, " - " and the name; the current
// title stays for an empty name. A repeated grant names the user once, never twice.
std::string TitleWithDisplayName(std::string_view caption, std::string_view currentTitle, std::string_view displayName);

// Acts on one inbound record. Nothing is touched after a handler that may end the session.
void DispatchRecord(const CComData& record, DispatchTarget& target);

// What the user sees of a session that the server ended or that lost its connection: the
// session-ended pop-up and the chat list emptied. The main window shows it when it runs the end.
void AnnounceSessionEnded(DispatchTarget& target);

} // namespace dravel
