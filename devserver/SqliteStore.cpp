#include "devserver/SqliteStore.h"

namespace dravel::devserver {

// A prepared statement with blob binding by position; finalised when it goes out of scope.
class CSqliteStore::CStatement {
public:
    CStatement(sqlite3* db, const char* sql) : m_pDb(db) {
        if (sqlite3_prepare_v2(db, sql, -1, &m_pStmt, nullptr) != SQLITE_OK)
            throw StoreError(std::string("sqlite prepare: ") + sqlite3_errmsg(db));
    }
    ~CStatement() { sqlite3_finalize(m_pStmt); }
    CStatement(const CStatement&) = delete;
    CStatement& operator=(const CStatement&) = delete;

    CStatement& Bind(std::string_view text) {
        sqlite3_bind_blob(m_pStmt, ++m_nBound, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
        return *this;
    }
    CStatement& Bind(int64_t value) {
        sqlite3_bind_int64(m_pStmt, ++m_nBound, value);
        return *this;
    }
    // True while a row is there.
    bool Step() {
        int rc = sqlite3_step(m_pStmt);
        if (rc == SQLITE_ROW)
            return true;
        if (rc != SQLITE_DONE)
            throw StoreError(std::string("sqlite step: ") + sqlite3_errmsg(m_pDb));
        return false;
    }
    std::string Text(int col) const {
        const void* p = sqlite3_column_blob(m_pStmt, col);
        int n = sqlite3_column_bytes(m_pStmt, col);
        return p ? std::string(static_cast<const char*>(p), n) : std::string();
    }
    int64_t Int(int col) const { return sqlite3_column_int64(m_pStmt, col); }
    int Changes() const { return sqlite3_changes(m_pDb); }

private:
    sqlite3* m_pDb;
    sqlite3_stmt* m_pStmt = nullptr;
    int m_nBound = 0;
};

CSqliteStore::CSqliteStore(const std::string& strPath) {
    if (sqlite3_open(strPath.c_str(), &m_pDb) != SQLITE_OK) {
        std::string error = m_pDb ? sqlite3_errmsg(m_pDb) : "out of memory";
        sqlite3_close(m_pDb);
        m_pDb = nullptr;
        throw StoreError("cannot open " + strPath + ": " + error);
    }
    sqlite3_busy_timeout(m_pDb, 5000);
    try {
        // Write-ahead log without a sync per commit: a development server may lose the last moments
        // of a power cut, but keeps up with the load bench.
        Exec("PRAGMA journal_mode=WAL");
        Exec("PRAGMA synchronous=NORMAL");
        Exec("CREATE TABLE IF NOT EXISTS users (id BLOB PRIMARY KEY, password BLOB NOT NULL, name BLOB NOT NULL,"
             " status INTEGER NOT NULL DEFAULT 1, admin INTEGER NOT NULL DEFAULT 0)");
        Exec("CREATE TABLE IF NOT EXISTS friends (owner BLOB NOT NULL, friend BLOB NOT NULL,"
             " PRIMARY KEY (owner, friend))");
        Exec("CREATE TABLE IF NOT EXISTS messages (id INTEGER PRIMARY KEY, sender BLOB NOT NULL,"
             " recipient BLOB NOT NULL, text BLOB NOT NULL, time INTEGER NOT NULL)");
        Exec("CREATE INDEX IF NOT EXISTS messages_pair ON messages (sender, recipient)");
        Exec("CREATE TABLE IF NOT EXISTS offline (id INTEGER PRIMARY KEY, recipient BLOB NOT NULL,"
             " record BLOB NOT NULL)");
        Exec("CREATE INDEX IF NOT EXISTS offline_recipient ON offline (recipient)");
        Exec("CREATE TABLE IF NOT EXISTS files (id INTEGER PRIMARY KEY, uploader BLOB NOT NULL,"
             " recipient BLOB NOT NULL, name BLOB NOT NULL, stamp BLOB NOT NULL, size INTEGER NOT NULL)");
    } catch (...) {
        sqlite3_close(m_pDb);
        throw;
    }
}

CSqliteStore::~CSqliteStore() {
    sqlite3_close(m_pDb);
}

void CSqliteStore::Exec(const char* sql) {
    char* error = nullptr;
    if (sqlite3_exec(m_pDb, sql, nullptr, nullptr, &error) != SQLITE_OK) {
        std::string text = error ? error : "unknown error";
        sqlite3_free(error);
        throw StoreError(std::string("sqlite: ") + text);
    }
}

bool CSqliteStore::IsEmpty() {
    CStatement s(m_pDb, "SELECT COUNT(*) FROM users");
    s.Step();
    return s.Int(0) == 0;
}

bool CSqliteStore::AddUser(const UserRow& user) {
    CStatement s(m_pDb, "INSERT OR IGNORE INTO users (id, password, name, status, admin) VALUES (?, ?, ?, ?, ?)");
    s.Bind(user.strId).Bind(user.strPassword).Bind(user.strName).Bind(user.nStatus).Bind(user.bAdmin ? 1 : 0);
    s.Step();
    return s.Changes() == 1;
}

std::optional<UserRow> CSqliteStore::FindUser(std::string_view id) {
    CStatement s(m_pDb, "SELECT id, password, name, status, admin FROM users WHERE id = ?");
    s.Bind(id);
    if (!s.Step())
        return std::nullopt;
    return UserRow{s.Text(0), s.Text(1), s.Text(2), static_cast<int32_t>(s.Int(3)), s.Int(4) != 0};
}

std::vector<UserRow> CSqliteStore::AllUsers() {
    CStatement s(m_pDb, "SELECT id, password, name, status, admin FROM users ORDER BY id");
    std::vector<UserRow> out;
    while (s.Step())
        out.push_back({s.Text(0), s.Text(1), s.Text(2), static_cast<int32_t>(s.Int(3)), s.Int(4) != 0});
    return out;
}

bool CSqliteStore::AddFriend(std::string_view owner, std::string_view friendId) {
    if (owner == friendId || !FindUser(owner) || !FindUser(friendId))
        return false;
    CStatement s(m_pDb, "INSERT OR IGNORE INTO friends (owner, friend) VALUES (?, ?)");
    s.Bind(owner).Bind(friendId);
    s.Step();
    return s.Changes() == 1;
}

bool CSqliteStore::DeleteFriend(std::string_view owner, std::string_view friendId) {
    CStatement s(m_pDb, "DELETE FROM friends WHERE owner = ? AND friend = ?");
    s.Bind(owner).Bind(friendId);
    s.Step();
    return s.Changes() == 1;
}

std::vector<UserRow> CSqliteStore::Friends(std::string_view owner) {
    CStatement s(m_pDb, "SELECT u.id, u.password, u.name, u.status, u.admin FROM friends f JOIN users u"
                        " ON u.id = f.friend WHERE f.owner = ? ORDER BY u.id");
    s.Bind(owner);
    std::vector<UserRow> out;
    while (s.Step())
        out.push_back({s.Text(0), s.Text(1), s.Text(2), static_cast<int32_t>(s.Int(3)), s.Int(4) != 0});
    return out;
}

void CSqliteStore::AddMessage(const MessageRow& m) {
    CStatement s(m_pDb, "INSERT INTO messages (sender, recipient, text, time) VALUES (?, ?, ?, ?)");
    s.Bind(m.strSender).Bind(m.strRecipient).Bind(m.strText).Bind(static_cast<int64_t>(m.time));
    s.Step();
}

std::vector<MessageRow> CSqliteStore::Conversation(std::string_view a, std::string_view b, int limit) {
    CStatement s(m_pDb, "SELECT sender, recipient, text, time FROM (SELECT id, sender, recipient, text, time"
                        " FROM messages WHERE (sender = ? AND recipient = ?) OR (sender = ? AND recipient = ?)"
                        " ORDER BY id DESC LIMIT ?) ORDER BY id");
    s.Bind(a).Bind(b).Bind(b).Bind(a).Bind(static_cast<int64_t>(limit));
    std::vector<MessageRow> out;
    while (s.Step())
        out.push_back({s.Text(0), s.Text(1), s.Text(2), static_cast<std::time_t>(s.Int(3))});
    return out;
}

int64_t CSqliteStore::MessageCount() {
    CStatement s(m_pDb, "SELECT COUNT(*) FROM messages");
    s.Step();
    return s.Int(0);
}

void CSqliteStore::QueueOffline(std::string_view recipient, std::string_view encoded) {
    CStatement s(m_pDb, "INSERT INTO offline (recipient, record) VALUES (?, ?)");
    s.Bind(recipient).Bind(encoded);
    s.Step();
}

std::vector<std::string> CSqliteStore::TakeOffline(std::string_view recipient) {
    std::vector<std::string> out;
    {
        CStatement s(m_pDb, "SELECT record FROM offline WHERE recipient = ? ORDER BY id");
        s.Bind(recipient);
        while (s.Step())
            out.push_back(s.Text(0));
    }
    if (!out.empty()) {
        CStatement d(m_pDb, "DELETE FROM offline WHERE recipient = ?");
        d.Bind(recipient);
        d.Step();
    }
    return out;
}

int64_t CSqliteStore::AddFile(const FileRow& f) {
    CStatement s(m_pDb, "INSERT INTO files (uploader, recipient, name, stamp, size) VALUES (?, ?, ?, ?, ?)");
    s.Bind(f.strUploader).Bind(f.strRecipient).Bind(f.strName).Bind(f.strStamp).Bind(f.nSize);
    s.Step();
    return sqlite3_last_insert_rowid(m_pDb);
}

void CSqliteStore::CompleteFile(int64_t id, int64_t size) {
    CStatement s(m_pDb, "UPDATE files SET size = ? WHERE id = ?");
    s.Bind(size).Bind(id);
    s.Step();
}

void CSqliteStore::RemoveFile(int64_t id) {
    CStatement s(m_pDb, "DELETE FROM files WHERE id = ?");
    s.Bind(id);
    s.Step();
}

std::optional<FileRow> CSqliteStore::FindFile(int64_t id) {
    CStatement s(m_pDb, "SELECT id, uploader, recipient, name, stamp, size FROM files WHERE id = ?");
    s.Bind(id);
    if (!s.Step())
        return std::nullopt;
    return FileRow{s.Int(0), s.Text(1), s.Text(2), s.Text(3), s.Text(4), s.Int(5)};
}

std::optional<FileRow> CSqliteStore::FindFileByKey(std::string_view uploader, std::string_view recipient,
                                                   std::string_view name, std::string_view stamp12) {
    CStatement s(m_pDb, "SELECT id, uploader, recipient, name, stamp, size FROM files WHERE uploader = ?"
                        " AND recipient = ? AND name = ? AND substr(stamp, 1, 12) = ? AND size >= 0"
                        " ORDER BY id DESC LIMIT 1");
    s.Bind(uploader).Bind(recipient).Bind(name).Bind(stamp12);
    if (!s.Step())
        return std::nullopt;
    return FileRow{s.Int(0), s.Text(1), s.Text(2), s.Text(3), s.Text(4), s.Int(5)};
}

bool CSqliteStore::HasFileInMinute(std::string_view uploader, std::string_view recipient, std::string_view name,
                                   std::string_view stamp12) {
    CStatement s(m_pDb, "SELECT COUNT(*) FROM files WHERE uploader = ? AND recipient = ? AND name = ?"
                        " AND substr(stamp, 1, 12) = ?");
    s.Bind(uploader).Bind(recipient).Bind(name).Bind(stamp12);
    s.Step();
    return s.Int(0) > 0;
}

} // namespace dravel::devserver
