#pragma once

// Where the inbound records of one conversation land: the dispatch reaches the conversation's core
// object (CConversation) through this, and the conversation tells its window what to show. The window
// itself is reached only for what needs the window system (ConversationWindowOps).

#include "core/conversation/Conversation.h"
#include "core/session/Dispatch.h"

#include <ctime>
#include <string>

namespace dravel {

// What a conversation window does for the records of its conversation.
class ConversationWindowOps {
public:
    virtual ~ConversationWindowOps() = default;
    virtual bool IsVisible() const = 0;
    // Shows the window without activating it, in front and topmost.
    virtual void Raise() = 0;
    // A record's time as local time.
    virtual CLocalTime LocalTime(std::time_t t) const = 0;
    // Uploads the file of an offer the server accepted (the transfer window); true when it ended with OK.
    virtual bool RunUpload(const std::string& path, const std::string& stamp) = 0;
    // The server refused the offer: the same file went to this peer within the same minute.
    virtual void ShowDuplicateFile() = 0;
    // Downloads a file the user clicked; bOpenAfter is the user's answer to "open after download?".
    virtual void ReceiveFile(const std::string& fileName, bool bOpenAfter) = 0;
};

class CConversationRecords final : public ConversationTarget {
public:
    CConversationRecords(CConversation& conversation, ConversationWindowOps& window)
        : m_conversation(conversation), m_window(window) {}

    bool IsOpened() const override { return m_conversation.IsOpened(); }
    bool IsVisible() const override { return m_window.IsVisible(); }
    void Raise() override { m_window.Raise(); }
    void AppendIncoming(const std::string& name, const std::string& text, std::time_t received,
                        bool bWriteLog) override;
    void AppendOutgoing(const std::string& name, const std::string& text, std::time_t received,
                        bool bWriteLog) override;
    void AppendNotice(const std::string& text, std::time_t received) override;
    bool LoadHistory(const std::string& key, const std::string& text, std::time_t received) override;
    bool ExpectsFileReply(int32_t nCommand, const std::string& text) const override;
    // The server names the file to upload or download: only one the user offered or clicked here, once.
    void StartFileSend(const std::string& name, const std::string& path, std::time_t received,
                       const std::string& stamp) override;
    void ShowDuplicateFile(const std::string& name, const std::string& path, std::time_t received,
                           const std::string& stamp) override;
    void StartFileReceive(const std::string& name, const std::string& fileName, std::time_t received) override;

private:
    CConversation& m_conversation;
    ConversationWindowOps& m_window;
};

} // namespace dravel
