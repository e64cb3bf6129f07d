#pragma once

#include "devserver/Store.h"

#include <cstdio>
#include <deque>
#include <map>
#include <set>
#include <utility>

namespace dravel::devserver {

// The store as one log file: a header line, then one line per change (a user, a friendship added or
// removed, a message, an offline record queued or taken, a file offered, completed or deleted), every
// field percent-escaped so any byte can be kept. The whole state lives in memory; a change is applied
// there and appended to the file, at once or at Commit. At opening the log is read back:
//   - a last line without its line end (a write cut short) is dropped and cut off the file;
//   - any other unreadable line, or a file that is not a store log, is refused with StoreError and the
//     file is left untouched;
//   - a log that has become mostly dead lines is rewritten in full beside itself and moved over it.
class CFileStore final : public CStore {
public:
    enum class Mode { ReadWrite, ReadOnly };
    // ":memory:" keeps nothing on disk. In ReadOnly mode a missing file is an empty store and every
    // change throws StoreError.
    explicit CFileStore(const std::string& strPath, Mode mode = Mode::ReadWrite);
    ~CFileStore() override;

    void Begin() override;
    void Commit() override;
    // Forgets the changes since Begin by reading the log again.
    void Rollback() override;
    bool InTransaction() const override { return m_bInTransaction; }

    bool IsEmpty() override { return m_users.empty(); }
    bool AddUser(const UserRow& user) override;
    std::optional<UserRow> FindUser(std::string_view id) override;
    std::vector<UserRow> AllUsers() override;
    bool AddFriend(std::string_view owner, std::string_view friendId) override;
    bool DeleteFriend(std::string_view owner, std::string_view friendId) override;
    std::vector<UserRow> Friends(std::string_view owner) override;
    void AddMessage(const MessageRow& message) override;
    std::vector<MessageRow> Conversation(std::string_view a, std::string_view b, int limit) override;
    int64_t MessageCount() override { return static_cast<int64_t>(m_messages.size()); }
    void QueueOffline(std::string_view recipient, std::string_view encoded) override;
    std::vector<std::string> TakeOffline(std::string_view recipient) override;
    int64_t AddFile(const FileRow& file) override;
    void CompleteFile(int64_t id, int64_t size) override;
    void RemoveFile(int64_t id) override;
    std::optional<FileRow> FindFile(int64_t id) override;
    std::optional<FileRow> FindFileByKey(std::string_view uploader, std::string_view recipient, std::string_view name,
                                         std::string_view stamp12) override;
    bool HasFileInMinute(std::string_view uploader, std::string_view recipient, std::string_view name,
                         std::string_view stamp12) override;

    // What the last opening found (for the start-up message and tests).
    bool RecoveredTail() const { return m_bRecoveredTail; }
    bool Compacted() const { return m_bCompacted; }

    // The first line of every store log.
    static constexpr std::string_view kHeader = "dravelon-devserver-store 1";

private:
    using Fields = std::vector<std::string>;

    void Load();
    void Clear();
    void Apply(const Fields& fields, size_t nLine);
    void Log(const Fields& fields);
    void WriteOut(const std::string& text);
    void OpenForAppend();
    void Compact();
    void CheckWritable() const;
    size_t LiveLines() const;

    // The changes themselves, shared by the public calls and the replay of the log.
    bool DoAddUser(const UserRow& user);
    bool DoAddFriend(const std::string& owner, const std::string& friendId);
    bool DoDeleteFriend(const std::string& owner, const std::string& friendId);
    void DoAddMessage(MessageRow message);
    void DoAddFile(const FileRow& file);

    std::string m_strPath;
    Mode m_mode;
    bool m_bMemory = false;
    std::FILE* m_pLog = nullptr;
    bool m_bInTransaction = false;
    std::string m_strPending; // lines of the open transaction
    bool m_bRecoveredTail = false;
    bool m_bCompacted = false;
    size_t m_nLogLines = 0; // change lines in the file

    std::map<std::string, UserRow> m_users;
    std::map<std::string, std::set<std::string>> m_friends;
    std::vector<MessageRow> m_messages;
    std::map<std::pair<std::string, std::string>, std::vector<size_t>> m_conversations;
    std::map<std::string, std::deque<std::string>> m_offline;
    std::map<int64_t, FileRow> m_files;
    int64_t m_nNextFileId = 1;
};

} // namespace dravel::devserver
