#pragma once

#include <sqlite3.h>

#include <cstdint>
#include <ctime>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace dravel::devserver {

class StoreError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct UserRow {
    std::string strId;
    std::string strPassword;
    std::string strName; // code page 949
    int32_t nStatus = 1; // granted at login
    bool bAdmin = false;
};

struct MessageRow {
    std::string strSender;
    std::string strRecipient;
    std::string strText;
    std::time_t time = 0;
};

struct FileRow {
    int64_t nId = 0;
    std::string strUploader;
    std::string strRecipient;
    std::string strName;  // the client's file name, without folders
    std::string strStamp; // 14 digits
    int64_t nSize = -1;   // -1 until the upload is complete
};

// The server's database: one SQLite file. Every text is stored as the exact bytes of the wire (blobs),
// so code page 949 names and IDs compare byte for byte. Used from one thread at a time.
class CStore {
public:
    // Opens (creating when missing) the database; throws StoreError when it cannot.
    explicit CStore(const std::string& strPath);
    ~CStore();
    CStore(const CStore&) = delete;
    CStore& operator=(const CStore&) = delete;

    // An explicit transaction, for grouping the writes of many records into one commit.
    void Begin() { Exec("BEGIN"); }
    void Commit() { Exec("COMMIT"); }
    void Rollback() { Exec("ROLLBACK"); }
    bool InTransaction() const { return sqlite3_get_autocommit(m_pDb) == 0; }

    bool IsEmpty();
    // Adds the demo users and their friendships (see README).
    void AddDemoUsers();

    // False when the ID exists already.
    bool AddUser(const UserRow& user);
    std::optional<UserRow> FindUser(std::string_view id);
    std::vector<UserRow> AllUsers();

    // False when either user is unknown, the two are one, or the friendship exists already.
    bool AddFriend(std::string_view owner, std::string_view friendId);
    bool DeleteFriend(std::string_view owner, std::string_view friendId);
    std::vector<UserRow> Friends(std::string_view owner);

    void AddMessage(const MessageRow& message);
    // The last `limit` messages between the two users, oldest first.
    std::vector<MessageRow> Conversation(std::string_view a, std::string_view b, int limit);
    int64_t MessageCount();

    // Encoded records waiting for a user who is off line.
    void QueueOffline(std::string_view recipient, std::string_view encoded);
    // Takes (and removes) the user's waiting records, oldest first.
    std::vector<std::string> TakeOffline(std::string_view recipient);

    int64_t AddFile(const FileRow& file);
    void CompleteFile(int64_t id, int64_t size);
    void DeleteFile(int64_t id);
    std::optional<FileRow> FindFile(int64_t id);
    // The complete file that `uploader` sent to `recipient` under this name and 12-digit stamp.
    std::optional<FileRow> FindFileByKey(std::string_view uploader, std::string_view recipient, std::string_view name,
                                         std::string_view stamp12);
    // True when an offer of this name between the two users has a stamp in the same minute.
    bool HasFileInMinute(std::string_view uploader, std::string_view recipient, std::string_view name,
                         std::string_view stamp12);

private:
    class CStatement;
    void Exec(const char* sql);

    sqlite3* m_pDb = nullptr;
};

} // namespace dravel::devserver
