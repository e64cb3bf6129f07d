#include "core/session/ConversationRecords.h"

#include "core/conversation/ConversationWindow.h"

namespace dravel {

void CConversationRecords::AppendIncoming(const std::string& name, const std::string& text, std::time_t received,
                                          bool bWriteLog) {
    m_conversation.AppendIncoming(name, text, m_window.LocalTime(received), bWriteLog);
}

void CConversationRecords::AppendOutgoing(const std::string& name, const std::string& text, std::time_t received,
                                          bool bWriteLog) {
    m_conversation.AppendOutgoing(name, text, m_window.LocalTime(received), bWriteLog);
}

void CConversationRecords::AppendNotice(const std::string& text, std::time_t) {
    m_conversation.AppendNotice(text);
}

bool CConversationRecords::LoadHistory(const std::string&, const std::string& text, std::time_t received) {
    return m_conversation.LoadHistory(text, m_window.LocalTime(received));
}

bool CConversationRecords::ExpectsFileReply(int32_t nCommand, const std::string& text) const {
    if (nCommand == COM_FILE_ADJUST)
        return m_conversation.ExpectsDownload(text);
    return m_conversation.ExpectsOffer(text);
}

void CConversationRecords::StartFileSend(const std::string&, const std::string& path, std::time_t received,
                                         const std::string& stamp) {
    if (!m_conversation.TakeOffer(path))
        return;
    if (m_window.RunUpload(path, UploadStamp(stamp)))
        m_conversation.ShowSentFile(path, stamp, m_window.LocalTime(received));
}

void CConversationRecords::ShowDuplicateFile(const std::string&, const std::string& path, std::time_t,
                                             const std::string&) {
    if (m_conversation.TakeOffer(path))
        m_window.ShowDuplicateFile();
}

void CConversationRecords::StartFileReceive(const std::string&, const std::string& fileName, std::time_t) {
    if (const std::optional<bool> openAfter = m_conversation.TakeDownload(fileName))
        m_window.ReceiveFile(fileName, *openAfter);
}

} // namespace dravel
