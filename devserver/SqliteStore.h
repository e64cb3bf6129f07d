#pragma once

#include "devserver/Store.h"

#include <sqlite3.h>

namespace dravel::devserver {

// The store in one SQLite file (WAL mode), every text a blob.
class CSqliteStore final : public CStore {
public:
    // Opens (creating when missing) the database; throws StoreError when it cannot.
    explicit CSqliteStore(const std::string& strPath);
    ~CSqliteStore() override;

    void Begin() override { Exec("BEGIN"); }
    void Commit() override { Exec("COMMIT"); }
    void Rollback() override { Exec("ROLLBACK"); }
    bool InTransaction() const override { return sqlite3_get_autocommit(m_pDb) == 0; }

    bool IsEmpty() override;
    bool AddUser(const UserRow& user) override;
    std::optional<UserRow> FindUser(std::string_view id) override;
    std::vector<UserRow> AllUsers() override;
    bool AddFriend(std::string_view owner, std::string_view friendId) override;
    bool DeleteFriend(std::string_view owner, std::string_view friendId) override;
    std::vector<UserRow> Friends(std::string_view owner) override;
    void AddMessage(const MessageRow& message) override;
    std::vector<MessageRow> Conversation(std::string_view a, std::string_view b, int limit) override;
    int64_t MessageCount() override;
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

private:
    class CStatement;
    void Exec(const char* sql);

    sqlite3* m_pDb = nullptr;
};

} // namespace dravel::devserver
