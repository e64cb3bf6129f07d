#include "devserver/Messenger.h"

#include "devserver/Text.h"

#include "core/protocol/ClientConnection.h"
#include "core/protocol/Codec.h"

#include <cstdio>
#include <filesystem>

namespace dravel::devserver {

namespace {

// A remote name must fit the 256-byte upload header with its terminating zero.
constexpr size_t kMaxRemoteName = 255;

bool IsDigits(std::string_view s) {
    for (char c : s)
        if (c < '0' || c > '9')
            return false;
    return !s.empty();
}

std::string UploadName(std::string_view uploader, std::string_view recipient, std::string_view name,
                       std::string_view stamp12) {
    std::string out;
    out.append(uploader).append("_").append(recipient).append("_").append(name).append(".").append(stamp12);
    return out;
}

} // namespace

CMessenger::CMessenger(CStore& store, ServerHost& host, MessengerOptions options)
    : m_store(store), m_host(host), m_options(std::move(options)) {}

std::string CMessenger::FilePath(const std::string& strDir, int64_t nId) {
    return strDir + "/" + std::to_string(nId) + ".dat";
}

CComData CMessenger::Record(int32_t nCommand) const {
    CComData r;
    r.m_strName = kServerWord;
    r.m_nCommand = nCommand;
    return r;
}

void CMessenger::Notice(SessionId id, int32_t nKind, std::string_view name, std::string_view text) {
    CComData r = Record(COM_PRIVATE_MESSAGE);
    r.m_strName = name;
    r.m_strTarget = name;
    r.m_nStatus = nKind;
    r.m_strText = text;
    m_host.Send(id, r);
}

void CMessenger::OnConnect(SessionId session, std::string strAddress) {
    m_sessions[session].strAddress = std::move(strAddress);
    CComData r = Record(COM_SIGN_IN);
    r.m_strTarget = kServerWord;
    m_host.Send(session, r);
}

void CMessenger::OnDisconnect(SessionId session) {
    auto it = m_sessions.find(session);
    if (it == m_sessions.end())
        return;
    SignOut(session, it->second);
    m_sessions.erase(it);
}

void CMessenger::SignOut(SessionId id, Session& s) {
    if (s.strUserId.empty())
        return;
    auto online = m_online.find(s.strUserId);
    if (online != m_online.end() && online->second == id) {
        m_online.erase(online);
        CComData r = Record(COM_REMOVE_CLIENT);
        r.m_strId = s.strUserId;
        r.m_strName = s.strName;
        r.m_strText = s.strName;
        for (const auto& [userId, other] : m_online)
            m_host.Send(other, r);
    }
    s.strUserId.clear();
}

void CMessenger::OnRecord(SessionId session, const CComData& record) {
    auto it = m_sessions.find(session);
    if (it == m_sessions.end())
        return;
    Session& s = it->second;
    if (record.m_nCommand == COM_SIGN_IN) {
        OnSignIn(session, s, record);
        return;
    }
    // Nothing but a sign-in counts before one succeeded; the record's own ID is never trusted.
    if (s.strUserId.empty())
        return;
    switch (record.m_nCommand) {
    case COM_SIGN_OUT:
        SignOut(session, s);
        m_host.Close(session);
        break;
    case COM_PRIVATE_MESSAGE:
        OnPrivateMessage(session, s, record);
        break;
    case COM_PRIVATE_HISTORY:
        OnHistory(session, s, record);
        break;
    case COM_CHATLIST_COLLECT:
        OnCollect(session, s, record);
        break;
    case COM_APPEND_FRIEND:
        m_store.AddFriend(s.strUserId, record.m_strText);
        break;
    case COM_DELETE_FRIEND:
        m_store.DeleteFriend(s.strUserId, record.m_strText);
        break;
    case COM_FILE_TRANSFER:
        OnFileOffer(session, s, record);
        break;
    case COM_FILE_RECEIVER:
        OnFileAnswer(session, s, record);
        break;
    default:
        break; // connection checks and everything the client has no business sending
    }
}

void CMessenger::OnSignIn(SessionId id, Session& s, const CComData& r) {
    if (!s.strUserId.empty())
        return; // a second sign-in on a signed-in connection changes nothing
    std::optional<UserRow> user = m_store.FindUser(r.m_strId);
    if (!user || user->strPassword != r.m_strPassword) {
        Notice(id, kStatusServerNotice, kServerWord, K("아이디 또는 비밀번호가 올바르지 않습니다."));
        m_host.Send(id, Record(COM_CLOSE));
        m_host.Close(id);
        return;
    }
    // The newest sign-in wins: an older session of the same user (often one whose network died
    // unnoticed) is told and closed.
    auto old = m_online.find(user->strId);
    if (old != m_online.end()) {
        SessionId oldId = old->second;
        Notice(oldId, kStatusServerNotice, kServerWord, K("다른 곳에서 같은 아이디로 접속하여 연결을 끊습니다."));
        m_host.Send(oldId, Record(COM_CLOSE));
        m_online.erase(old);
        m_sessions[oldId].strUserId.clear();
        m_host.Close(oldId);
    }

    s.strUserId = user->strId;
    s.strName = user->strName;
    s.nStatus = user->nStatus;
    s.bAdmin = user->bAdmin;

    CComData login = Record(COM_LOGIN_MESSAGE);
    login.m_strId = user->strId;
    login.m_strName = user->strName;
    login.m_strTarget = user->strName;
    login.m_nStatus = user->nStatus;
    login.m_strText = user->strName + K(" 님, Dravel On 에 오신 것을 환영합니다.");
    m_host.Send(id, login);

    CComData added = Record(COM_ADD_CLIENT);
    added.m_strId = user->strId;
    added.m_strName = user->strName;
    added.m_strText = user->strName;
    for (const auto& [userId, other] : m_online)
        m_host.Send(other, added);
    m_online[user->strId] = id;

    for (const std::string& bytes : m_store.TakeOffline(user->strId))
        m_host.SendEncoded(id, bytes);
}

void CMessenger::Deliver(std::string_view userId, const CComData& record) {
    auto online = m_online.find(userId);
    if (online != m_online.end())
        m_host.Send(online->second, record);
    else
        m_store.QueueOffline(userId, EncodeRecord(record));
}

void CMessenger::OnPrivateMessage(SessionId id, Session& s, const CComData& r) {
    if (r.m_strTarget == kServerWord || (r.m_strTarget.empty() && r.m_strName == kServerWord)) {
        OnAdminNote(id, s, r);
        return;
    }
    std::optional<UserRow> peer = m_store.FindUser(r.m_strTarget);
    if (!peer) {
        size_t colon = r.m_strText.find(": ");
        std::string key = colon == std::string::npos ? r.m_strTarget : r.m_strText.substr(0, colon);
        Notice(id, kStatusConversationNotice, key, K("존재하지 않는 사용자입니다."));
        return;
    }
    std::string text = StripNamePrefix(r.m_strText, peer->strName);
    std::time_t now = m_host.Now();
    m_store.AddMessage({s.strUserId, peer->strId, text, now});

    CComData out = Record(COM_PRIVATE_MESSAGE);
    out.m_strId = s.strUserId;
    out.m_strName = s.strName;
    out.m_strTarget = peer->strId;
    out.m_strText = text;
    Deliver(peer->strId, out);
}

void CMessenger::OnAdminNote(SessionId id, Session& s, const CComData& r) {
    if (!s.bAdmin) {
        Notice(id, kStatusServerNotice, kServerWord, K("관리자만 전체 쪽지를 보낼 수 있습니다."));
        return;
    }
    CComData note = Record(COM_MESSAGE_NOTE);
    note.m_strId = s.strUserId;
    note.m_strName = s.strName;
    note.m_strText = r.m_strText;
    for (const UserRow& user : m_store.AllUsers())
        Deliver(user.strId, note);
}

void CMessenger::OnHistory(SessionId id, Session& s, const CComData& r) {
    std::optional<UserRow> peer = m_store.FindUser(r.m_strTarget);
    if (!peer)
        return;
    std::vector<HistoryEntry> entries;
    for (const MessageRow& m : m_store.Conversation(s.strUserId, peer->strId, m_options.nHistoryLimit))
        entries.push_back({m.strSender == s.strUserId, m.strText, m.time});
    CComData out = Record(COM_PRIVATE_HISTORY);
    out.m_strId = peer->strId;
    out.m_strName = peer->strName;
    out.m_strTarget = peer->strName;
    out.m_nStatus = kStatusHistory;
    out.m_strText = BuildHistoryText(entries);
    m_host.Send(id, out);
}

void CMessenger::OnCollect(SessionId id, Session& s, const CComData& r) {
    std::vector<UserRow> users;
    if (r.m_strTarget == kFriendsList) {
        users = m_store.Friends(s.strUserId);
    } else if (r.m_strTarget == kEverybodyList) {
        for (UserRow& u : m_store.AllUsers())
            if (u.strId != s.strUserId)
                users.push_back(std::move(u));
    } else {
        return;
    }
    std::vector<ListEntry> entries;
    for (const UserRow& u : users)
        entries.push_back({u.strId, u.strName, m_online.count(u.strId) != 0});

    if (m_options.listForm == ListForm::Collected) {
        CComData out = Record(COM_CHATLIST_COLLECT);
        out.m_strTarget = r.m_strTarget;
        out.m_strText = BuildCollectedList(entries);
        m_host.Send(id, out);
        return;
    }
    for (const ListEntry& e : entries) {
        CComData out = Record(COM_CHAT_LIST);
        out.m_strId = e.strId;
        out.m_strText = e.strName;
        out.m_nStatus = e.bOnline ? 1 : 0;
        m_host.Send(id, out);
    }
    CComData end = Record(COM_CHAT_LIST_END);
    m_host.Send(id, end);
}

void CMessenger::OnFileOffer(SessionId id, Session& s, const CComData& r) {
    std::optional<UserRow> peer = m_store.FindUser(r.m_strTarget);
    if (!peer) {
        size_t colon = r.m_strText.find(": ");
        std::string key = colon == std::string::npos ? r.m_strTarget : r.m_strText.substr(0, colon);
        Notice(id, kStatusConversationNotice, key, K("존재하지 않는 사용자입니다."));
        return;
    }
    std::string path = StripNamePrefix(r.m_strText, peer->strName);
    std::string name = BaseName(path);
    std::string stamp = Stamp14(m_host.Now());
    std::string stamp12 = stamp.substr(0, 12);
    std::string remote = UploadName(s.strUserId, peer->strId, name, stamp12);
    if (name.empty() || remote.size() > kMaxRemoteName) {
        Notice(id, kStatusConversationNotice, peer->strName, K("보낼 수 없는 파일 이름입니다."));
        return;
    }

    CComData out = Record(COM_FILE_ACCEPT);
    out.m_strId = peer->strId;
    out.m_strName = peer->strName;
    out.m_strTarget = peer->strId;
    out.m_strText = path;
    out.m_strHost = stamp;
    // The stored name is the upload's name: a second one in the same minute would collide with it.
    if (m_store.HasFileInMinute(s.strUserId, peer->strId, name, stamp12)) {
        out.m_nCommand = COM_FILE_REJECT;
        m_host.Send(id, out);
        return;
    }
    int64_t fileId = m_store.AddFile({0, s.strUserId, peer->strId, name, stamp, -1});
    m_offers[remote] = fileId;
    m_host.Send(id, out);
}

std::optional<UploadTicket> CMessenger::OnUploadHeader(std::string_view remoteName, int32_t nLength) {
    auto it = m_offers.find(remoteName);
    if (it == m_offers.end() || nLength < 0 || nLength > m_options.nMaxFileSize)
        return std::nullopt;
    UploadTicket ticket{it->second, nLength, FilePath(m_options.strFilesDir, it->second)};
    // One upload per offer: a second connection with the same name is refused.
    m_offers.erase(it);
    return ticket;
}

void CMessenger::OnUploadFailed(const UploadTicket& ticket) {
    std::error_code ec;
    std::filesystem::remove(ticket.strPath, ec);
    m_store.RemoveFile(ticket.nFileId);
}

void CMessenger::OnUploadComplete(const UploadTicket& ticket) {
    std::optional<FileRow> file = m_store.FindFile(ticket.nFileId);
    if (!file)
        return;
    m_store.CompleteFile(ticket.nFileId, ticket.nSize);
    std::optional<UserRow> uploader = m_store.FindUser(file->strUploader);
    std::time_t stampTime = StampToTime(file->strStamp);
    if (stampTime < 0)
        stampTime = m_host.Now();
    std::string text = "File_" + file->strName;
    m_store.AddMessage({file->strUploader, file->strRecipient, text, stampTime});

    // The offer's time travels with the text, so that the time the peer sees (and turns back into
    // the file key when it asks for the file) is the stamp's minute, not the minute of arrival.
    CComData out = Record(COM_PRIVATE_MESSAGE);
    out.m_strId = file->strUploader;
    out.m_strName = uploader ? uploader->strName : file->strUploader;
    out.m_strTarget = file->strRecipient;
    out.m_strText = text + "|" + HistoryTime(stampTime);
    Deliver(file->strRecipient, out);
}

void CMessenger::OnFileAnswer(SessionId id, Session& s, const CComData& r) {
    // m_strId is the uploader and m_strTarget the recipient, whichever side asks.
    const std::string& key = r.m_strText;
    size_t dot = key.rfind('.');
    std::optional<FileRow> file;
    if (dot != std::string::npos && key.size() - dot - 1 == 12 && IsDigits(key.substr(dot + 1)) &&
        (s.strUserId == r.m_strId || s.strUserId == r.m_strTarget))
        file = m_store.FindFileByKey(r.m_strId, r.m_strTarget, key.substr(0, dot), key.substr(dot + 1));
    std::string other = s.strUserId == r.m_strId ? r.m_strTarget : r.m_strId;
    std::string name = r.m_strName;
    if (name.empty()) {
        std::optional<UserRow> peer = m_store.FindUser(other);
        name = peer ? peer->strName : other;
    }
    if (!file) {
        Notice(id, kStatusConversationNotice, name, K("요청한 파일을 찾을 수 없습니다."));
        return;
    }
    std::time_t now = m_host.Now();
    auto& queue = m_downloads[s.strAddress];
    while (!queue.empty() && now - queue.front().time > m_options.nDownloadWaitSeconds)
        queue.pop_front();
    queue.push_back({file->nId, now});

    CComData out = Record(COM_FILE_ADJUST);
    out.m_strId = other;
    out.m_strName = name;
    out.m_strTarget = s.strUserId;
    out.m_strText = key;
    m_host.Send(id, out);
}

std::optional<DownloadTicket> CMessenger::OnDownloadConnect(std::string_view address) {
    auto it = m_downloads.find(address);
    if (it == m_downloads.end())
        return std::nullopt;
    std::time_t now = m_host.Now();
    auto& queue = it->second;
    std::optional<DownloadTicket> ticket;
    while (!queue.empty() && !ticket) {
        PendingDownload d = queue.front();
        queue.pop_front();
        if (now - d.time > m_options.nDownloadWaitSeconds)
            continue;
        if (std::optional<FileRow> file = m_store.FindFile(d.nFileId); file && file->nSize >= 0)
            ticket = DownloadTicket{file->nId, file->nSize, FilePath(m_options.strFilesDir, file->nId)};
    }
    if (queue.empty())
        m_downloads.erase(it);
    return ticket;
}

bool CMessenger::SendToUser(std::string_view userId, const CComData& record) {
    auto online = m_online.find(userId);
    if (online == m_online.end())
        return false;
    m_host.Send(online->second, record);
    return true;
}

std::optional<SessionId> CMessenger::SessionOf(std::string_view userId) const {
    auto online = m_online.find(userId);
    if (online == m_online.end())
        return std::nullopt;
    return online->second;
}

std::vector<std::string> CMessenger::OnlineUsers() const {
    std::vector<std::string> out;
    for (const auto& [userId, session] : m_online)
        out.push_back(userId);
    return out;
}

const std::string& CMessenger::UserOf(SessionId session) const {
    static const std::string kNobody;
    auto it = m_sessions.find(session);
    return it == m_sessions.end() ? kNobody : it->second.strUserId;
}

} // namespace dravel::devserver
