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

#include "conversation/ConversationLog.h"
#include "conversation/FileNames.h"
#include "conversation/TextRules.h"

#include <optional>
#include <string>
#include <string_view>

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

class CConversation {
public:
    CConversation(HistoryView& view, ConversationLog& log) : m_view(view), m_log(log) {}

    void SetPeer(std::string_view peerName, std::string_view peerId);
    const std::string& PeerName() const { return m_strPeerName; }
    const std::string& PeerId() const { return m_strPeerId; }
    // Set by the main window when it creates the window and by LoadHistory.
    bool IsOpened() const { return m_bOpened; }
    void SetOpened(bool bOpened) { m_bOpened = bOpened; }
    int ItemCount() const { return m_nItemCount; }

    // A peer's message or file offer. A text "message|time" carries its own time string.
    void AppendIncoming(std::string_view sender, std::string_view text, const CLocalTime& time, bool bWriteLog);
    // An own message or file from the history; name is not shown.
    void AppendOutgoing(std::string_view name, std::string_view text, const CLocalTime& time, bool bWriteLog);
    // A red notice; never logged.
    void AppendNotice(std::string_view text);
    // The server's stored messages, shown and logged in order, then sending is enabled.
    void LoadHistory(std::string_view historyText, const CLocalTime& time);

    SendCheck CheckMessage(std::string_view text) const;
    // The text the user just sent (or, with no connection, only typed): shown on the own side, logged
    // when bWriteLog (a connection exists).
    void ShowSentMessage(std::string_view text, const CLocalTime& now, bool bWriteLog);
    // An upload that ended with OK. The stamp (yyyyMMddHHmmss) gives the item's time; a damaged stamp
    // gives now.
    void ShowSentFile(std::string_view fullPath, std::string_view stamp, const CLocalTime& now);

    // The file answer a click on an item asks for; none for the empty space (index -1) or a plain item.
    std::optional<CFileRequest> RequestForItem(int index, std::string_view itemHtml) const;

private:
    void Append(const std::string& html, HistorySide side);
    void Write(const std::string& line);
    void Focus();

    HistoryView& m_view;
    ConversationLog& m_log;
    std::string m_strPeerName;
    std::string m_strPeerId;
    bool m_bOpened = false;
    bool m_bLoading = false;
    int m_nItemCount = 0;
};

} // namespace dravel
