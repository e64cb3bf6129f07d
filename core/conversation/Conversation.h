#pragma once

// What a conversation window decides, apart from the window.
//
// The Win32 conversation window (CMessageDlg) owns a CConversation and implements two small interfaces
// for it; the window itself keeps only what needs the window system (controls, message boxes, the file
// dialog, the transfer window, the connection, the beep and the 800 ms pause after a send).
//
//  - HistoryView: the history list control.
//      AddItem(html, side)   add one item at the end: the item's HTML, icon 0 and check state 1 for the
//                            peer's side (the yellow bubble), icon 1 and check state 0 for the own side,
//                            HTML type, measured height. It must not repaint.
//      ShowEnd()             scroll to the end and invalidate once; the next paint draws everything.
//                            A 2,000-entry history thus costs one paint, not one per item.
//      FocusMessageEdit()    put the focus into the message edit.
//      EnableSending()       enable the send and attach buttons (after the history reply).
//  - ConversationLog: the conversation's log. CFileConversationLog is the real file; the window opens it
//      with the paths of LogFileName and OldLogFileName under the program's folder, converted from 949.
//
// The window calls: AppendIncoming, AppendOutgoing, AppendNotice, LoadHistory as the records arrive;
// CheckMessage then ShowSentMessage from OnSend; ShowSentFile after an upload ended with OK;
// RequestForItem from an item click; ReceivedFileName and BackupFileName (FileNames.h) before a download.
// Times come in as local time already broken down; the window reads the clock.

#include "core/conversation/ConversationItems.h"
#include "core/conversation/ConversationLog.h"
#include "core/conversation/FileNames.h"
#include "core/conversation/HistoryMerge.h"
#include "core/conversation/TextRules.h"

#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

namespace dravel {

enum class HistorySide { Peer = 0, Own = 1 };

class HistoryView {
public:
    virtual ~HistoryView() = default;
    // Returns the new item's index.
    virtual int AddItem(const std::string& html, HistorySide side) = 0;
    virtual void SetItem(int index, const std::string& html) = 0;
    virtual void ShowEnd() = 0;
    virtual void FocusMessageEdit() = 0;
    virtual void EnableSending() = 0;
};

// What OnSend does with the typed text.
enum class SendCheck {
    Forbidden, // ":" or "|": warn, keep the text in the edit
    Nothing,   // empty text or no peer yet: clear the edit, send nothing
    Send,
};

// Items one history reply may add; a reply of millions of entries must not stall the window.
inline constexpr size_t kMaxHistoryEntries = 5000;
// Answers the user may still be waiting for in one window (offers made, files clicked).
inline constexpr size_t kMaxPendingFiles = 64;

// The texts the window itself puts into the history, code page 949. They are window texts: the Windows
// layer loads them from the string table when it makes the window.
struct ConversationTexts {
    std::string strUnsent;         // under an own message that could not be sent
    std::string strHistoryOmitted; // above a history that was cut; "%s" is the number of entries left out
    std::string strWaiting;        // under an own message that waits for the connection to come back
};

// Entries of what a window shows that a later history reply is lined up with.
inline constexpr size_t kShownEntriesKept = 64;

class CConversation {
public:
    CConversation(HistoryView& view, ConversationLog& log, ConversationTexts texts)
        : m_view(view), m_log(log), m_texts(std::move(texts)) {}

    void SetPeer(std::string_view peerName, std::string_view peerId);
    const std::string& PeerName() const { return m_strPeerName; }
    const std::string& PeerId() const { return m_strPeerId; }
    // Set by the main window when it creates the window and by LoadHistory.
    bool IsOpened() const { return m_bOpened; }
    void SetOpened(bool bOpened) { m_bOpened = bOpened; }

    // A peer's message or file offer. A text "message|time" carries its own time string.
    void AppendIncoming(std::string_view sender, std::string_view text, const CLocalTime& time, bool bWriteLog);
    // An own message or file from the history; name is not shown.
    void AppendOutgoing(std::string_view name, std::string_view text, const CLocalTime& time, bool bWriteLog);
    // A red notice; never logged.
    void AppendNotice(std::string_view text);
    // A history request went out for this window: one reply is taken for each, no other.
    void NoteHistoryRequest();
    // The server's stored messages, shown and logged in order, then sending is enabled. Only the newest
    // kMaxHistoryEntries are shown, after one notice that says how many older ones were left out. A
    // later reply (after a reconnect) shows and logs only the entries the window does not show yet.
    // True for the first reply, which opens the window; false for a later one, and for a reply nobody
    // asked for (nothing changes then).
    bool LoadHistory(std::string_view historyText, const CLocalTime& time);

    SendCheck CheckMessage(std::string_view text) const;
    // The text the user just sent: shown on the own side, logged when bWriteLog.
    void ShowSentMessage(std::string_view text, const CLocalTime& now, bool bWriteLog);
    // A text that did not go out (no connection, or the connection refused it): shown on the own side
    // saying so, never logged.
    void ShowUnsentMessage(std::string_view text, const CLocalTime& now);
    // A text typed while the connection is away: shown on the own side with the waiting note, not
    // logged, kept in order. `nOrder` orders the waiting messages of all windows.
    void QueueMessage(std::string_view text, const CLocalTime& now, uint64_t nOrder);
    size_t WaitingCount() const { return m_waiting.size(); }
    // The order number of the oldest waiting message, if any.
    std::optional<uint64_t> OldestWaiting() const;
    // Sends the oldest waiting message through `send`. When it went out, its item loses the note and
    // it is logged, once; otherwise it keeps waiting. True when it went out.
    bool SendOldestWaiting(const std::function<bool(std::string_view)>& send, const CLocalTime& now);
    // An upload that ended with OK. The stamp (yyyyMMddHHmmss) gives the item's time; a damaged stamp
    // gives now.
    void ShowSentFile(std::string_view fullPath, std::string_view stamp, const CLocalTime& now);

    // The address a click on the link-th link of an item opens in the default browser (Enter on an item:
    // its first, 0); none when the item has no such link.
    std::optional<std::string> LinkToOpen(int index, int link) const;

    // The file answer a click on an item asks for; none for the empty space (index -1) or a plain item.
    std::optional<CFileRequest> RequestForItem(int index, std::string_view itemHtml) const;

    // The server's file replies are claims: they act only on what the user asked for in this window.
    // An offer the user made (the path as it went out); the server's acceptance or refusal names it.
    void RememberOffer(std::string_view path);
    // True, once, for a path offered here and not yet answered: the answer is then used up.
    bool TakeOffer(std::string_view path);
    bool ExpectsOffer(std::string_view path) const;
    // A file the user clicked (its key) and the answer to "open after download?" for it.
    void RememberDownload(std::string_view key, bool bOpenAfter);
    // For a key the user clicked and that has not arrived yet: whether to open it afterwards. Once.
    std::optional<bool> TakeDownload(std::string_view key);
    bool ExpectsDownload(std::string_view key) const;

private:
    int Append(const std::string& html, HistorySide side);
    // A message item: item makes its HTML from the message's body, whose links are kept for the item.
    int AppendMessage(std::string_view text, HistorySide side,
                      const std::function<std::string(const CMessageBody&)>& item);
    void NoteShown(bool bOwn, std::string_view text);
    void Write(const std::string& line);
    void Focus();

    HistoryView& m_view;
    ConversationLog& m_log;
    ConversationTexts m_texts;
    std::string m_strPeerName;
    std::string m_strPeerId;
    // Oldest first; a few at most, the oldest dropped when full.
    std::deque<std::string> m_pendingOffers;
    // The items of uploads made here, whose names were wrapped for display.
    std::set<int> m_wrappedFileItems;
    std::deque<std::pair<std::string, bool>> m_pendingDownloads;
    bool m_bOpened = false;
    bool m_bLoading = false;
    // History requests not yet answered, and whether a reply was ever taken.
    int m_nHistoryRequests = 0;
    bool m_bHistoryTaken = false;
    // The newest messages shown (not notices, not waiting ones), with the count ever shown, and that
    // count when the latest history request went out.
    std::deque<HistoryKey> m_shown;
    uint64_t m_nShownTotal = 0;
    uint64_t m_nShownAtRequest = 0;
    struct WaitingMessage {
        std::string strText;
        int nItem = -1;
        uint64_t nOrder = 0;
    };
    std::deque<WaitingMessage> m_waiting;
    // The web addresses of the items that hold any, by item index.
    std::unordered_map<int, std::vector<std::string>> m_itemLinks;
};

} // namespace dravel
