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

#include "core/conversation/ConversationLog.h"
#include "core/conversation/FileNames.h"
#include "core/conversation/TextRules.h"

#include <deque>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

namespace dravel {

enum class HistorySide { Peer = 0, Own = 1 };

class HistoryView {
public:
    virtual ~HistoryView() = default;
    virtual void AddItem(const std::string& html, HistorySide side) = 0;
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
};

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
    // The server's stored messages, shown and logged in order, then sending is enabled. Only the newest
    // kMaxHistoryEntries are shown, after one notice that says how many older ones were left out.
    void LoadHistory(std::string_view historyText, const CLocalTime& time);

    SendCheck CheckMessage(std::string_view text) const;
    // The text the user just sent: shown on the own side, logged when bWriteLog.
    void ShowSentMessage(std::string_view text, const CLocalTime& now, bool bWriteLog);
    // A text that did not go out (no connection, or the connection refused it): shown on the own side
    // saying so, never logged.
    void ShowUnsentMessage(std::string_view text, const CLocalTime& now);
    // An upload that ended with OK. The stamp (yyyyMMddHHmmss) gives the item's time; a damaged stamp
    // gives now.
    void ShowSentFile(std::string_view fullPath, std::string_view stamp, const CLocalTime& now);

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
    void Append(const std::string& html, HistorySide side);
    void Write(const std::string& line);
    void Focus();

    HistoryView& m_view;
    ConversationLog& m_log;
    ConversationTexts m_texts;
    std::string m_strPeerName;
    std::string m_strPeerId;
    // Oldest first; a few at most, the oldest dropped when full.
    std::deque<std::string> m_pendingOffers;
    std::deque<std::pair<std::string, bool>> m_pendingDownloads;
    bool m_bOpened = false;
    bool m_bLoading = false;
};

} // namespace dravel
