#pragma once

#include <cstdint>
#include <ctime>
#include <memory>
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

// The server's database. Every text is kept as the exact bytes of the wire, so code page 949 names and
// IDs compare byte for byte. Used from one thread at a time. Two kinds: SQLite (where the build has it)
// and a plain log file (CFileStore, the Windows build's); OpenStore picks the build's kind.
class CStore {
public:
    virtual ~CStore() = default;
    CStore(const CStore&) = delete;
    CStore& operator=(const CStore&) = delete;

    // An explicit transaction, for grouping the writes of many records into one commit.
    virtual void Begin() = 0;
    virtual void Commit() = 0;
    virtual void Rollback() = 0;
    virtual bool InTransaction() const = 0;

    virtual bool IsEmpty() = 0;
    // Adds the demo users and their friendships (see README).
    void AddDemoUsers();

    // False when the ID exists already.
    virtual bool AddUser(const UserRow& user) = 0;
    virtual std::optional<UserRow> FindUser(std::string_view id) = 0;
    virtual std::vector<UserRow> AllUsers() = 0;

    // False when either user is unknown, the two are one, or the friendship exists already.
    virtual bool AddFriend(std::string_view owner, std::string_view friendId) = 0;
    virtual bool DeleteFriend(std::string_view owner, std::string_view friendId) = 0;
    virtual std::vector<UserRow> Friends(std::string_view owner) = 0;

    virtual void AddMessage(const MessageRow& message) = 0;
    // The last `limit` messages between the two users, oldest first.
    virtual std::vector<MessageRow> Conversation(std::string_view a, std::string_view b, int limit) = 0;
    virtual int64_t MessageCount() = 0;

    // Encoded records waiting for a user who is off line.
    virtual void QueueOffline(std::string_view recipient, std::string_view encoded) = 0;
    // Takes (and removes) the user's waiting records, oldest first.
    virtual std::vector<std::string> TakeOffline(std::string_view recipient) = 0;

    virtual int64_t AddFile(const FileRow& file) = 0;
    virtual void CompleteFile(int64_t id, int64_t size) = 0;
    virtual void RemoveFile(int64_t id) = 0;
    virtual std::optional<FileRow> FindFile(int64_t id) = 0;
    // The complete file that `uploader` sent to `recipient` under this name and 12-digit stamp.
    virtual std::optional<FileRow> FindFileByKey(std::string_view uploader, std::string_view recipient,
                                                 std::string_view name, std::string_view stamp12) = 0;
    // True when an offer of this name between the two users has a stamp in the same minute.
    virtual bool HasFileInMinute(std::string_view uploader, std::string_view recipient, std::string_view name,
                                 std::string_view stamp12) = 0;

protected:
    CStore() = default;
};

// Opens (creating when missing) the build's kind of store; ":memory:" keeps nothing on disk. Throws
// StoreError when the file cannot be opened or is not a store.
std::unique_ptr<CStore> OpenStore(const std::string& strPath);
// The same for a reader beside the server's own store (the web pages' log-in check): it never writes.
std::unique_ptr<CStore> OpenStoreForReading(const std::string& strPath);

} // namespace dravel::devserver
