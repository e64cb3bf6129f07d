#pragma once

#include "devserver/Store.h"

#include "core/protocol/ComData.h"

#include <cstdint>
#include <ctime>
#include <deque>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace dravel::devserver {

using SessionId = uint64_t;

// What the rules need from the network: the messenger connections, addressed by session.
class ServerHost {
public:
    virtual ~ServerHost() = default;
    virtual void Send(SessionId session, const CComData& record) = 0;
    // A record kept encoded while its user was off line.
    virtual void SendEncoded(SessionId session, const std::string& bytes) = 0;
    // Closes the connection once what was sent to it has left.
    virtual void Close(SessionId session) = 0;
    virtual std::time_t Now() = 0;
};

enum class ListForm { Collected, Entries };

struct MessengerOptions {
    ListForm listForm = ListForm::Collected;
    std::string strFilesDir = "."; // stored files: <dir>/<id>.dat
    int nHistoryLimit = 100;       // entries in a history reply
    int64_t nMaxFileSize = 256 * 1024 * 1024;
    int nDownloadWaitSeconds = 300; // how long an announced download waits for its connection
};

struct UploadTicket {
    int64_t nFileId = 0;
    int64_t nSize = 0;
    std::string strPath;
};

struct DownloadTicket {
    int64_t nFileId = 0;
    int64_t nSize = 0;
    std::string strPath;
};

// The messenger's rules, independent of sockets: sign-in and presence, relay and storage of private
// messages, history, user lists, friends, file offers and the pairing of file connections.
class CMessenger {
public:
    CMessenger(CStore& store, ServerHost& host, MessengerOptions options);

    void OnConnect(SessionId session, std::string strAddress);
    void OnRecord(SessionId session, const CComData& record);
    void OnDisconnect(SessionId session);

    // Port 8201: the header of an upload. Accepted only for a name announced by an accepted offer.
    std::optional<UploadTicket> OnUploadHeader(std::string_view remoteName, int32_t nLength);
    void OnUploadComplete(const UploadTicket& ticket);
    void OnUploadFailed(const UploadTicket& ticket);
    // Port 8202: the file announced last to a client of this address, if any still waits.
    std::optional<DownloadTicket> OnDownloadConnect(std::string_view address);

    // For the test control.
    bool SendToUser(std::string_view userId, const CComData& record);
    std::optional<SessionId> SessionOf(std::string_view userId) const;
    std::vector<std::string> OnlineUsers() const;
    const std::string& UserOf(SessionId session) const;

    static std::string FilePath(const std::string& strDir, int64_t nId);

private:
    struct Session {
        std::string strAddress;
        std::string strUserId; // empty until signed in
        std::string strName;
        int32_t nStatus = 0;
        bool bAdmin = false;
    };
    struct PendingDownload {
        int64_t nFileId = 0;
        std::time_t time = 0;
    };

    void OnSignIn(SessionId id, Session& s, const CComData& r);
    void OnPrivateMessage(SessionId id, Session& s, const CComData& r);
    void OnAdminNote(SessionId id, Session& s, const CComData& r);
    void OnHistory(SessionId id, Session& s, const CComData& r);
    void OnCollect(SessionId id, Session& s, const CComData& r);
    void OnFileOffer(SessionId id, Session& s, const CComData& r);
    void OnFileAnswer(SessionId id, Session& s, const CComData& r);
    void SignOut(SessionId id, Session& s);

    // Sends to the user's session, or keeps the record for the next sign-in.
    void Deliver(std::string_view userId, const CComData& record);
    void Notice(SessionId id, int32_t nKind, std::string_view name, std::string_view text);
    CComData Record(int32_t nCommand) const;

    CStore& m_store;
    ServerHost& m_host;
    MessengerOptions m_options;
    std::map<SessionId, Session> m_sessions;
    std::map<std::string, SessionId, std::less<>> m_online;
    std::map<std::string, int64_t, std::less<>> m_offers;                        // announced upload name -> file id
    std::map<std::string, std::deque<PendingDownload>, std::less<>> m_downloads; // by address
};

} // namespace dravel::devserver
