#include "core/conversation/Conversation.h"

#include "core/conversation/ConversationItems.h"
#include "core/conversation/FieldLists.h"
#include "core/portal/PageOrigin.h"
#include "core/session/Text949.h"

#include <algorithm>

namespace dravel {

void CConversation::SetPeer(std::string_view peerName, std::string_view peerId) {
    m_strPeerName = peerName;
    m_strPeerId = peerId;
}

int CConversation::Append(const std::string& html, HistorySide side) {
    const int index = m_view.AddItem(html, side);
    if (!m_bLoading)
        m_view.ShowEnd();
    return index;
}

int CConversation::AppendMessage(std::string_view text, HistorySide side,
                                 const std::function<std::string(const CMessageBody&)>& item) {
    CMessageBody body = MessageBody(text);
    const int index = Append(item(body), side);
    // The addresses are kept as the text had them: a click never reads them back out of the item.
    if (index >= 0 && !body.links.empty())
        m_itemLinks[index] = std::move(body.links);
    return index;
}

std::optional<std::string> CConversation::LinkToOpen(int index, int link) const {
    const auto it = m_itemLinks.find(index);
    if (it == m_itemLinks.end() || link < 0 || static_cast<size_t>(link) >= it->second.size() ||
        !IsOutsideAddressSafe(it->second[static_cast<size_t>(link)]))
        return std::nullopt;
    return it->second[static_cast<size_t>(link)];
}

void CConversation::NoteShown(bool bOwn, std::string_view text) {
    if (m_shown.size() >= kShownEntriesKept)
        m_shown.pop_front();
    m_shown.push_back(HistoryKey{bOwn, std::string(text)});
    ++m_nShownTotal;
}

void CConversation::Write(const std::string& line) {
    // A stored message the log already holds (shown in an earlier window or run) is not written again.
    if (m_log.IsOpen() && !(m_bLoading && m_log.Holds(line)))
        m_log.WriteLine(line);
}

void CConversation::Focus() {
    if (!m_bLoading)
        m_view.FocusMessageEdit();
}

void CConversation::AppendIncoming(std::string_view sender, std::string_view text, const CLocalTime& time,
                                   bool bWriteLog) {
    CTimedText timed = SplitTimedText(text, FormatItemTime(time, false));
    const bool bFile = IsFileText(timed.strText);
    NoteShown(false, timed.strText);
    if (bFile)
        Append(IncomingFileItem(sender, timed.strText, timed.strTime), HistorySide::Peer);
    else
        AppendMessage(timed.strText, HistorySide::Peer, [&](const CMessageBody& body) {
            return IncomingMessageItem(sender, body, timed.strTime);
        });
    if (bWriteLog)
        Write(LogLine(bFile ? LogKind::IncomingFile : LogKind::Incoming, timed.strTime, timed.strText));
    Focus();
}

void CConversation::AppendOutgoing(std::string_view name, std::string_view text, const CLocalTime& time,
                                   bool bWriteLog) {
    CTimedText timed = SplitTimedText(text, FormatItemTime(time, false));
    NoteShown(true, timed.strText);
    if (IsFileText(timed.strText)) {
        std::string sent = ReplaceAll(timed.strText, kFilePrefix, kSentPrefix);
        // Without its folders the name must still read "Send_...", or a click could not ask for it.
        std::string display(LastPathComponent(sent));
        if (!display.starts_with(kSentPrefix))
            display.insert(0, kSentPrefix);
        Append(OwnFileItem(display, timed.strTime), HistorySide::Own);
        if (bWriteLog)
            Write(LogLine(LogKind::OwnFile, timed.strTime, sent));
    } else {
        AppendMessage(timed.strText, HistorySide::Own,
                      [&](const CMessageBody& body) { return OwnMessageItem(body, timed.strTime); });
        if (bWriteLog)
            Write(LogLine(LogKind::Own, timed.strTime, timed.strText));
    }
    Focus();
}

void CConversation::AppendNotice(std::string_view text) {
    if (!text.empty())
        Append(NoticeItem(WrapText(text)), HistorySide::Peer);
    Focus();
}

void CConversation::NoteHistoryRequest() {
    ++m_nHistoryRequests;
    m_nShownAtRequest = m_nShownTotal;
}

bool CConversation::LoadHistory(std::string_view historyText, const CLocalTime& time) {
    if (m_nHistoryRequests <= 0)
        return false;
    --m_nHistoryRequests;
    m_bLoading = true;
    CHistoryTail history = SplitHistoryNewest(historyText, kMaxHistoryEntries);
    const auto show = [&](const CHistoryEntry& entry) {
        std::string timed = entry.strText + "|" + entry.strTime;
        if (entry.IsOwn())
            AppendOutgoing(m_strPeerName, timed, time, true);
        else
            AppendIncoming(m_strPeerName, timed, time, true);
    };
    const bool bFirst = !m_bHistoryTaken;
    if (bFirst) {
        if (history.nOmitted > 0)
            AppendNotice(FillText(m_texts.strHistoryOmitted, {std::to_string(history.nOmitted)}));
        for (const CHistoryEntry& entry : history.entries)
            show(entry);
    } else {
        // What the window showed when it asked, and what it showed since (the newest kept entries).
        const std::vector<HistoryKey> shown(m_shown.begin(), m_shown.end());
        const uint64_t nSince = std::min<uint64_t>(m_nShownTotal - m_nShownAtRequest, shown.size());
        const std::span<const HistoryKey> all(shown);
        const auto before = all.first(shown.size() - nSince);
        const auto after = all.last(nSince);
        for (size_t i : EntriesNotShown(history.entries, before, after))
            show(history.entries[i]);
    }
    m_bHistoryTaken = true;
    m_bLoading = false;
    m_view.ShowEnd();
    m_bOpened = true;
    m_view.EnableSending();
    m_view.FocusMessageEdit();
    return bFirst;
}

SendCheck CConversation::CheckMessage(std::string_view text) const {
    if (HasForbiddenChars(text))
        return SendCheck::Forbidden;
    if (text.empty() || m_strPeerName.empty())
        return SendCheck::Nothing;
    return SendCheck::Send;
}

void CConversation::ShowSentMessage(std::string_view text, const CLocalTime& now, bool bWriteLog) {
    std::string time = FormatItemTime(now, true);
    AppendMessage(text, HistorySide::Own, [&](const CMessageBody& body) { return OwnMessageItem(body, time); });
    NoteShown(true, text);
    if (bWriteLog)
        Write(LogLine(LogKind::Own, time, text));
    Focus();
}

void CConversation::ShowUnsentMessage(std::string_view text, const CLocalTime& now) {
    AppendMessage(text, HistorySide::Own, [&](const CMessageBody& body) {
        return UnsentMessageItem(body, FormatItemTime(now, true), m_texts.strUnsent);
    });
    Focus();
}

void CConversation::QueueMessage(std::string_view text, const CLocalTime& now, uint64_t nOrder) {
    const int item = AppendMessage(text, HistorySide::Own, [&](const CMessageBody& body) {
        return UnsentMessageItem(body, FormatItemTime(now, true), m_texts.strWaiting);
    });
    m_waiting.push_back(WaitingMessage{std::string(text), item, nOrder});
    Focus();
}

std::optional<uint64_t> CConversation::OldestWaiting() const {
    if (m_waiting.empty())
        return std::nullopt;
    return m_waiting.front().nOrder;
}

bool CConversation::SendOldestWaiting(const std::function<bool(std::string_view)>& send, const CLocalTime& now) {
    if (m_waiting.empty())
        return false;
    // Taken off first: a send that fails and ends the connection inside must not find it again.
    WaitingMessage message = std::move(m_waiting.front());
    m_waiting.pop_front();
    if (!send(message.strText)) {
        m_waiting.push_front(std::move(message));
        return false;
    }
    const std::string time = FormatItemTime(now, true);
    if (message.nItem >= 0)
        m_view.SetItem(message.nItem, OwnMessageItem(MessageBody(message.strText), time));
    NoteShown(true, message.strText);
    Write(LogLine(LogKind::Own, time, message.strText));
    return true;
}

void CConversation::ShowSentFile(std::string_view fullPath, std::string_view stamp, const CLocalTime& now) {
    CLocalTime when = now;
    ParseFileStamp(stamp, when);
    std::string time = FormatItemTime(when, true);
    m_wrappedFileItems.insert(Append(SentFileItem(WrapText(LastPathComponent(fullPath)), time), HistorySide::Own));
    Write(SentFileLogLine(time, fullPath));
    Focus();
}

std::optional<CFileRequest> CConversation::RequestForItem(int index, std::string_view itemHtml) const {
    if (index < 0)
        return std::nullopt;
    return FileRequestFromItem(itemHtml, m_wrappedFileItems.contains(index));
}

void CConversation::RememberOffer(std::string_view path) {
    if (m_pendingOffers.size() >= kMaxPendingFiles)
        m_pendingOffers.pop_front();
    m_pendingOffers.emplace_back(path);
}

bool CConversation::TakeOffer(std::string_view path) {
    for (auto it = m_pendingOffers.begin(); it != m_pendingOffers.end(); ++it) {
        if (*it == path) {
            m_pendingOffers.erase(it);
            return true;
        }
    }
    return false;
}

bool CConversation::ExpectsOffer(std::string_view path) const {
    return std::find(m_pendingOffers.begin(), m_pendingOffers.end(), path) != m_pendingOffers.end();
}

bool CConversation::ExpectsDownload(std::string_view key) const {
    return std::any_of(m_pendingDownloads.begin(), m_pendingDownloads.end(),
                       [key](const auto& pending) { return pending.first == key; });
}

void CConversation::RememberDownload(std::string_view key, bool bOpenAfter) {
    // A second click on the same file asks again; the latest answer holds.
    for (auto it = m_pendingDownloads.begin(); it != m_pendingDownloads.end(); ++it) {
        if (it->first == key) {
            m_pendingDownloads.erase(it);
            break;
        }
    }
    if (m_pendingDownloads.size() >= kMaxPendingFiles)
        m_pendingDownloads.pop_front();
    m_pendingDownloads.emplace_back(std::string(key), bOpenAfter);
}

std::optional<bool> CConversation::TakeDownload(std::string_view key) {
    for (auto it = m_pendingDownloads.begin(); it != m_pendingDownloads.end(); ++it) {
        if (it->first == key) {
            const bool bOpenAfter = it->second;
            m_pendingDownloads.erase(it);
            return bOpenAfter;
        }
    }
    return std::nullopt;
}

} // namespace dravel
