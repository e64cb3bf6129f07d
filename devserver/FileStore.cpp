#include "devserver/FileStore.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <filesystem>

#ifdef _WIN32
#include <windows.h>
#endif

namespace dravel::devserver {

namespace {

constexpr size_t kCompactAfter = 1000; // dead lines tolerated before a rewrite at opening

bool IsPlain(unsigned char c) {
    return c > 0x20 && c < 0x7F && c != '%';
}

void AppendEscaped(std::string& out, std::string_view field) {
    static const char kHex[] = "0123456789ABCDEF";
    for (char ch : field) {
        unsigned char c = static_cast<unsigned char>(ch);
        if (IsPlain(c)) {
            out.push_back(ch);
        } else {
            out.push_back('%');
            out.push_back(kHex[c >> 4]);
            out.push_back(kHex[c & 15]);
        }
    }
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

bool Unescape(std::string_view in, std::string& out) {
    out.clear();
    for (size_t i = 0; i < in.size(); ++i) {
        if (in[i] != '%') {
            if (!IsPlain(static_cast<unsigned char>(in[i])))
                return false;
            out.push_back(in[i]);
            continue;
        }
        if (i + 2 >= in.size())
            return false;
        int hi = HexDigit(in[i + 1]), lo = HexDigit(in[i + 2]);
        if (hi < 0 || lo < 0)
            return false;
        out.push_back(static_cast<char>(hi * 16 + lo));
        i += 2;
    }
    return true;
}

int64_t Number(const std::string& text, size_t nLine) {
    int64_t value = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size())
        throw StoreError("line " + std::to_string(nLine) + ": \"" + text + "\" is not a number");
    return value;
}

std::pair<std::string, std::string> PairKey(std::string_view a, std::string_view b) {
    return a < b ? std::pair(std::string(a), std::string(b)) : std::pair(std::string(b), std::string(a));
}

std::string ErrnoText() {
    return std::strerror(errno);
}

} // namespace

CFileStore::CFileStore(const std::string& strPath, Mode mode) : m_strPath(strPath), m_mode(mode) {
    m_bMemory = strPath == ":memory:";
    if (m_bMemory)
        return;
    Load();
    if (m_mode == Mode::ReadOnly)
        return;
    if (m_nLogLines - std::min(m_nLogLines, LiveLines()) > std::max(kCompactAfter, LiveLines()))
        Compact();
    OpenForAppend();
}

CFileStore::~CFileStore() {
    if (m_pLog)
        std::fclose(m_pLog);
}

void CFileStore::Clear() {
    m_users.clear();
    m_friends.clear();
    m_messages.clear();
    m_conversations.clear();
    m_offline.clear();
    m_files.clear();
    m_nNextFileId = 1;
    m_nLogLines = 0;
}

// Reads the whole log into memory. Throws StoreError, leaving the file as it is, when it cannot be used.
void CFileStore::Load() {
    Clear();
    std::string text;
    std::FILE* in = std::fopen(m_strPath.c_str(), "rb");
    if (!in) {
        if (errno == ENOENT)
            return; // a new store
        throw StoreError("cannot open " + m_strPath + ": " + ErrnoText());
    }
    char buffer[64 * 1024];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, in)) > 0)
        text.append(buffer, n);
    bool bReadError = std::ferror(in) != 0;
    std::fclose(in);
    if (bReadError)
        throw StoreError("cannot read " + m_strPath);
    if (text.empty())
        return;

    // Only complete lines count: a tail without its line end was being written when the writer stopped.
    size_t complete = text.rfind('\n');
    complete = complete == std::string::npos ? 0 : complete + 1;
    const std::string header = std::string(kHeader) + "\n";
    if (text.compare(0, header.size(), header) != 0) {
        // A header cut short is a store that was never written to; anything else is somebody else's file.
        if (complete != 0 || header.compare(0, text.size(), text) != 0)
            throw StoreError(m_strPath + " is not a devserver store (its first line is not \"" + std::string(kHeader) +
                             "\"); move it away or choose another --db");
    }

    try {
        size_t nLine = 1;
        for (size_t pos = header.size(); pos < complete;) {
            size_t end = text.find('\n', pos);
            std::string_view line(text.data() + pos, end - pos);
            pos = end + 1;
            ++nLine;
            Fields fields;
            for (size_t start = 0;;) {
                size_t space = line.find(' ', start);
                std::string field;
                std::string_view raw = line.substr(start, space == std::string_view::npos ? line.npos : space - start);
                if (!Unescape(raw, field))
                    throw StoreError("line " + std::to_string(nLine) + ": a field holds an unescaped or bad byte");
                fields.push_back(std::move(field));
                if (space == std::string_view::npos)
                    break;
                start = space + 1;
            }
            Apply(fields, nLine);
            ++m_nLogLines;
        }
    } catch (const StoreError& e) {
        Clear();
        throw StoreError(m_strPath + " is damaged at " + e.what() + "; the file was left as it is");
    }

    if (complete < text.size()) {
        m_bRecoveredTail = true;
        if (m_mode == Mode::ReadWrite) {
            std::error_code ec;
            std::filesystem::resize_file(m_strPath, complete, ec);
            if (ec)
                throw StoreError("cannot cut the unfinished last line off " + m_strPath + ": " + ec.message());
        }
    }
}

void CFileStore::Apply(const Fields& f, size_t nLine) {
    static const std::map<std::string, size_t> kFieldCount = {
        {"U", 6}, {"F", 3}, {"f", 3}, {"M", 5}, {"Q", 3}, {"q", 2}, {"A", 7}, {"C", 3}, {"D", 2},
    };
    auto it = kFieldCount.find(f[0]);
    if (it == kFieldCount.end())
        throw StoreError("line " + std::to_string(nLine) + ": unknown change \"" + f[0] + "\"");
    if (f.size() != it->second)
        throw StoreError("line " + std::to_string(nLine) + ": " + std::to_string(f.size() - 1) + " fields for \"" +
                         f[0] + "\", not " + std::to_string(it->second - 1));
    const char op = f[0][0];
    switch (op) {
    case 'U':
        DoAddUser({f[1], f[2], f[3], static_cast<int32_t>(Number(f[4], nLine)), Number(f[5], nLine) != 0});
        break;
    case 'F':
        DoAddFriend(f[1], f[2]);
        break;
    case 'f':
        DoDeleteFriend(f[1], f[2]);
        break;
    case 'M':
        DoAddMessage({f[1], f[2], f[4], static_cast<std::time_t>(Number(f[3], nLine))});
        break;
    case 'Q':
        m_offline[f[1]].push_back(f[2]);
        break;
    case 'q':
        m_offline.erase(f[1]);
        break;
    case 'A':
        DoAddFile({Number(f[1], nLine), f[2], f[3], f[4], f[5], Number(f[6], nLine)});
        break;
    case 'C':
        if (auto file = m_files.find(Number(f[1], nLine)); file != m_files.end())
            file->second.nSize = Number(f[2], nLine);
        break;
    case 'D':
        m_files.erase(Number(f[1], nLine));
        break;
    }
}

size_t CFileStore::LiveLines() const {
    size_t n = m_users.size() + m_messages.size() + m_files.size();
    for (const auto& [owner, friends] : m_friends)
        n += friends.size();
    for (const auto& [recipient, records] : m_offline)
        n += records.size();
    return n;
}

void CFileStore::CheckWritable() const {
    if (m_mode == Mode::ReadOnly)
        throw StoreError(m_strPath + " is open for reading only");
}

void CFileStore::OpenForAppend() {
    m_pLog = std::fopen(m_strPath.c_str(), "ab");
    if (!m_pLog)
        throw StoreError("cannot open " + m_strPath + " for writing: " + ErrnoText());
    if (std::ftell(m_pLog) <= 0 && std::fseek(m_pLog, 0, SEEK_END) == 0 && std::ftell(m_pLog) == 0)
        WriteOut(std::string(kHeader) + "\n");
}

void CFileStore::WriteOut(const std::string& text) {
    if (text.empty())
        return;
    if (std::fwrite(text.data(), 1, text.size(), m_pLog) != text.size() || std::fflush(m_pLog) != 0)
        throw StoreError("cannot write " + m_strPath + ": " + ErrnoText());
}

void CFileStore::Log(const Fields& fields) {
    ++m_nLogLines;
    if (m_bMemory)
        return;
    std::string line;
    for (size_t i = 0; i < fields.size(); ++i) {
        if (i)
            line.push_back(' ');
        AppendEscaped(line, fields[i]);
    }
    line.push_back('\n');
    if (m_bInTransaction)
        m_strPending += line;
    else
        WriteOut(line);
}

// Writes the live state to a new file beside the log and moves it over the log.
void CFileStore::Compact() {
    std::string out = std::string(kHeader) + "\n";
    auto line = [&out](const Fields& fields) {
        for (size_t i = 0; i < fields.size(); ++i) {
            if (i)
                out.push_back(' ');
            AppendEscaped(out, fields[i]);
        }
        out.push_back('\n');
    };
    for (const auto& [id, u] : m_users)
        line({"U", u.strId, u.strPassword, u.strName, std::to_string(u.nStatus), u.bAdmin ? "1" : "0"});
    for (const auto& [owner, friends] : m_friends)
        for (const std::string& f : friends)
            line({"F", owner, f});
    for (const MessageRow& m : m_messages)
        line({"M", m.strSender, m.strRecipient, std::to_string(static_cast<int64_t>(m.time)), m.strText});
    for (const auto& [recipient, records] : m_offline)
        for (const std::string& r : records)
            line({"Q", recipient, r});
    for (const auto& [id, f] : m_files)
        line({"A", std::to_string(id), f.strUploader, f.strRecipient, f.strName, f.strStamp, std::to_string(f.nSize)});

    const std::string temp = m_strPath + ".new";
    std::FILE* file = std::fopen(temp.c_str(), "wb");
    if (!file)
        throw StoreError("cannot create " + temp + ": " + ErrnoText());
    bool ok = std::fwrite(out.data(), 1, out.size(), file) == out.size();
    ok = std::fclose(file) == 0 && ok;
#ifdef _WIN32
    ok = ok && ::MoveFileExA(temp.c_str(), m_strPath.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
#else
    ok = ok && std::rename(temp.c_str(), m_strPath.c_str()) == 0;
#endif
    if (!ok) {
        std::remove(temp.c_str());
        return; // the old log is still whole: go on with it
    }
    m_nLogLines = LiveLines();
    m_bCompacted = true;
}

void CFileStore::Begin() {
    if (m_bInTransaction)
        throw StoreError("a transaction is open already");
    m_bInTransaction = true;
    m_strPending.clear();
}

void CFileStore::Commit() {
    if (!m_bInTransaction)
        throw StoreError("no transaction is open");
    m_bInTransaction = false;
    std::string pending;
    pending.swap(m_strPending);
    if (!m_bMemory)
        WriteOut(pending);
}

void CFileStore::Rollback() {
    m_bInTransaction = false;
    m_strPending.clear();
    if (m_bMemory)
        return; // nothing to read back from
    if (m_pLog) {
        std::fclose(m_pLog);
        m_pLog = nullptr;
    }
    Load();
    if (m_mode == Mode::ReadWrite)
        OpenForAppend();
}

bool CFileStore::DoAddUser(const UserRow& user) {
    return m_users.emplace(user.strId, user).second;
}

bool CFileStore::DoAddFriend(const std::string& owner, const std::string& friendId) {
    if (owner == friendId || !m_users.count(owner) || !m_users.count(friendId))
        return false;
    return m_friends[owner].insert(friendId).second;
}

bool CFileStore::DoDeleteFriend(const std::string& owner, const std::string& friendId) {
    auto it = m_friends.find(owner);
    if (it == m_friends.end() || it->second.erase(friendId) == 0)
        return false;
    if (it->second.empty())
        m_friends.erase(it);
    return true;
}

void CFileStore::DoAddMessage(MessageRow message) {
    m_conversations[PairKey(message.strSender, message.strRecipient)].push_back(m_messages.size());
    m_messages.push_back(std::move(message));
}

void CFileStore::DoAddFile(const FileRow& file) {
    m_files[file.nId] = file;
    m_nNextFileId = std::max(m_nNextFileId, file.nId + 1);
}

bool CFileStore::AddUser(const UserRow& user) {
    CheckWritable();
    if (!DoAddUser(user))
        return false;
    Log({"U", user.strId, user.strPassword, user.strName, std::to_string(user.nStatus), user.bAdmin ? "1" : "0"});
    return true;
}

std::optional<UserRow> CFileStore::FindUser(std::string_view id) {
    auto it = m_users.find(std::string(id));
    if (it == m_users.end())
        return std::nullopt;
    return it->second;
}

std::vector<UserRow> CFileStore::AllUsers() {
    std::vector<UserRow> out;
    out.reserve(m_users.size());
    for (const auto& [id, user] : m_users)
        out.push_back(user);
    return out;
}

bool CFileStore::AddFriend(std::string_view owner, std::string_view friendId) {
    CheckWritable();
    std::string o(owner), f(friendId);
    if (!DoAddFriend(o, f))
        return false;
    Log({"F", o, f});
    return true;
}

bool CFileStore::DeleteFriend(std::string_view owner, std::string_view friendId) {
    CheckWritable();
    std::string o(owner), f(friendId);
    if (!DoDeleteFriend(o, f))
        return false;
    Log({"f", o, f});
    return true;
}

std::vector<UserRow> CFileStore::Friends(std::string_view owner) {
    std::vector<UserRow> out;
    auto it = m_friends.find(std::string(owner));
    if (it == m_friends.end())
        return out;
    for (const std::string& id : it->second)
        if (auto user = m_users.find(id); user != m_users.end())
            out.push_back(user->second);
    return out;
}

void CFileStore::AddMessage(const MessageRow& m) {
    CheckWritable();
    DoAddMessage(m);
    Log({"M", m.strSender, m.strRecipient, std::to_string(static_cast<int64_t>(m.time)), m.strText});
}

std::vector<MessageRow> CFileStore::Conversation(std::string_view a, std::string_view b, int limit) {
    std::vector<MessageRow> out;
    auto it = m_conversations.find(PairKey(a, b));
    if (it == m_conversations.end() || limit <= 0)
        return out;
    const std::vector<size_t>& indices = it->second;
    size_t first = indices.size() > static_cast<size_t>(limit) ? indices.size() - limit : 0;
    for (size_t i = first; i < indices.size(); ++i)
        out.push_back(m_messages[indices[i]]);
    return out;
}

void CFileStore::QueueOffline(std::string_view recipient, std::string_view encoded) {
    CheckWritable();
    m_offline[std::string(recipient)].emplace_back(encoded);
    Log({"Q", std::string(recipient), std::string(encoded)});
}

std::vector<std::string> CFileStore::TakeOffline(std::string_view recipient) {
    std::vector<std::string> out;
    auto it = m_offline.find(std::string(recipient));
    if (it == m_offline.end())
        return out;
    CheckWritable();
    out.assign(it->second.begin(), it->second.end());
    m_offline.erase(it);
    Log({"q", std::string(recipient)});
    return out;
}

int64_t CFileStore::AddFile(const FileRow& file) {
    CheckWritable();
    FileRow row = file;
    row.nId = m_nNextFileId;
    DoAddFile(row);
    Log({"A", std::to_string(row.nId), row.strUploader, row.strRecipient, row.strName, row.strStamp,
         std::to_string(row.nSize)});
    return row.nId;
}

void CFileStore::CompleteFile(int64_t id, int64_t size) {
    CheckWritable();
    auto it = m_files.find(id);
    if (it == m_files.end())
        return;
    it->second.nSize = size;
    Log({"C", std::to_string(id), std::to_string(size)});
}

void CFileStore::RemoveFile(int64_t id) {
    CheckWritable();
    if (m_files.erase(id) == 0)
        return;
    Log({"D", std::to_string(id)});
}

std::optional<FileRow> CFileStore::FindFile(int64_t id) {
    auto it = m_files.find(id);
    if (it == m_files.end())
        return std::nullopt;
    return it->second;
}

std::optional<FileRow> CFileStore::FindFileByKey(std::string_view uploader, std::string_view recipient,
                                                 std::string_view name, std::string_view stamp12) {
    for (auto it = m_files.rbegin(); it != m_files.rend(); ++it) {
        const FileRow& f = it->second;
        if (f.nSize >= 0 && f.strUploader == uploader && f.strRecipient == recipient && f.strName == name &&
            std::string_view(f.strStamp).substr(0, 12) == stamp12)
            return f;
    }
    return std::nullopt;
}

bool CFileStore::HasFileInMinute(std::string_view uploader, std::string_view recipient, std::string_view name,
                                 std::string_view stamp12) {
    for (const auto& [id, f] : m_files)
        if (f.strUploader == uploader && f.strRecipient == recipient && f.strName == name &&
            std::string_view(f.strStamp).substr(0, 12) == stamp12)
            return true;
    return false;
}

} // namespace dravel::devserver
