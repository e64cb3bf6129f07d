#pragma once

// The session's connection and its login state: the messenger socket, the credentials that answer the
// server's sign-in question and the identity its grant gave. One is made for every connect and replaced
// on every reconnect; the session host, which owns the session's windows, lives on and hears of the
// connection only through LinkOwner.

#include "core/protocol/ClientConnection.h"

#include <memory>
#include <string>

namespace dravel::win {

class CClientSocket;

// What the link tells the session host.
class LinkOwner {
public:
    virtual ~LinkOwner() = default;
    // One inbound record, in arrival order; the owner may delete the link here.
    virtual void OnLinkRecord(const CComData& record) = 0;
    // The connection ended under us (once); the owner may delete the link here.
    virtual void OnLinkLost() = 0;
    // Shown before OnLinkLost, where the owner wants the user told at once.
    virtual void ShowLinkLost() = 0;
};

class CSessionLink final : public ConnectionOwner {
public:
    CSessionLink(LinkOwner& owner, std::string strUserId, std::string strPassword, std::string strServerHost);
    ~CSessionLink() override;
    CSessionLink(const CSessionLink&) = delete;
    CSessionLink& operator=(const CSessionLink&) = delete;

    // Connects to the messenger port of the server host. A socket whose connect failed cannot connect
    // again, so each try after a failed one gets a fresh socket with the same credentials.
    bool Connect();
    // Whether the last connect failed because the server could not prove who it is.
    bool CertificateRefused() const;
    // The connection; null only after Close.
    CClientSocket* Socket() const { return m_pSocket.get(); }
    // Sends the logout first if asked, giving it a second to leave, then closes the socket.
    void Close(bool bSendLogout);

    // ConnectionOwner
    void OnRecord(const CComData& record) override;
    void OnConnectionLost() override;
    void ShowConnectionLost() override;

private:
    LinkOwner& m_owner;
    const std::string m_strUserId;
    const std::string m_strPassword;
    const std::string m_strServerHost;
    std::unique_ptr<CClientSocket> m_pSocket;
    bool m_bConnectFailed = false;
};

} // namespace dravel::win
