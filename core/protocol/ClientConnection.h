#pragma once

#include "protocol/ByteStream.h"
#include "protocol/Codec.h"
#include "protocol/ComData.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace dravel {

inline constexpr char kServerWord[] = "Server";              // addressee of records meant for the server itself
inline constexpr char kFriendsList[] = "\xC4\xA3\xB1\xB8";   // "친구"
inline constexpr char kEverybodyList[] = "\xC0\xFC\xC3\xBC"; // "전체"
inline constexpr int32_t kMessengerPort = 8200;
inline constexpr int32_t kUploadPort = 8201;
inline constexpr int32_t kDownloadPort = 8202;

// "서버와의 접속이 일시적으로 단절되었습니다.\n재접속이 필요합니다." in code page 949.
extern const char kConnectionLostText[];

// What the connection needs from the rest of the program.
class ConnectionOwner {
public:
    virtual ~ConnectionOwner() = default;
    // One inbound record, in arrival order. The owner may end (and delete) the connection here.
    virtual void OnRecord(const CComData& record) = 0;
    // A send failed or the stream became unreadable: the owner ends the session as for COM_CLOSE.
    // The connection may be deleted inside this call.
    virtual void OnConnectionLost() = 0;
    // A warning without owner window; text in code page 949.
    virtual void ShowWarning(const std::string& text) = 0;
};

// The messenger connection's protocol logic: builds every outbound record, writes it whole, reads
// whatever bytes have arrived and hands out complete records. The socket is behind ByteStream.
class CClientConnection {
public:
    CClientConnection(ConnectionOwner& owner, ByteStream& stream, const TextConverter& converter, std::string strId,
                      std::string strPassword, std::string strFileHost);
    virtual ~CClientConnection();
    CClientConnection(const CClientConnection&) = delete;
    CClientConnection& operator=(const CClientConnection&) = delete;

    // Writes one record. On a write error: marks the connection broken, warns, closes and tells the
    // owner, which may delete this object; the caller must not touch it after a false return.
    bool SendRecord(const CComData& record);

    // The receive pass: reads what arrived and dispatches each complete record in order, ending at
    // once when a dispatch ended the connection. Never nested: a call made while a pass runs (from a
    // modal loop inside a dispatch) only notes that more data may be there, and the running pass
    // reads again for it before it ends.
    void ReadPendingRecords();

    // Drops the reader and writer and closes the stream. Safe to call twice.
    void CloseConnection();

    bool SendSignIn(std::string_view strVersion);
    bool SendLogout();
    bool SendConnectCheck();
    bool SendPrivateMessage(std::string_view key, std::string_view peerId, std::string_view text);
    bool SendFileOffer(std::string_view key, std::string_view peerId, std::string_view path);
    bool SendFileAnswer(std::string_view name, std::string_view peerId, std::string_view text, bool bSwap);
    bool SendAppendFriend(std::string_view userId);
    bool SendDeleteFriend(std::string_view userId);
    bool SendChatListCollect(std::string_view list);
    bool SendHistoryRequest(std::string_view peerId);

    // Granted by COM_LOGIN_MESSAGE.
    std::string m_strName;
    int32_t m_nStatus = 0;
    const std::string m_strId;
    const std::string m_strPassword;
    int32_t m_bConnected = 1;

    bool IsOpen() const { return m_bOpen; }

private:
    CComData MakeRecord(int32_t nCommand) const;
    // The connection-lost path shared by write errors and unreadable input.
    void Fail();
    // Reads and dispatches until the socket is drained, the read budget is spent or a dispatch ended
    // the connection; alive turns false when a dispatch deleted this object.
    void ReadPass(const std::shared_ptr<bool>& alive);

    ConnectionOwner& m_owner;
    ByteStream& m_stream;
    const std::string m_strFileHost;
    CRecordReader m_reader;
    std::string m_strOut;
    bool m_bOpen = true;
    bool m_bInputOpen = true;
    bool m_bInPass = false;
    // A read notification arrived during the running pass; the socket signals again only after
    // another read, so the pass owes one.
    bool m_bReadOwed = false;
    // Lets a pass notice that a dispatch deleted this object.
    std::shared_ptr<bool> m_pAlive = std::make_shared<bool>(true);
};

} // namespace dravel
