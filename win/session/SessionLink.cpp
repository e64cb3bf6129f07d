#include "win/session/SessionLink.h"

#include "win/protocol/ClientSocket.h"

namespace dravel::win {

namespace {
// How long the logout may take to leave before its connection goes.
constexpr DWORD kLogoutFlushMs = 1000;
} // namespace

CSessionLink::CSessionLink(LinkOwner& owner, std::string strUserId, std::string strPassword,
                           std::string strServerHost)
    : m_owner(owner), m_strUserId(std::move(strUserId)), m_strPassword(std::move(strPassword)),
      m_strServerHost(std::move(strServerHost)),
      m_pSocket(std::make_unique<CClientSocket>(*this, m_strUserId, m_strPassword, m_strServerHost)) {}

CSessionLink::~CSessionLink() = default;

bool CSessionLink::Connect() {
    if (m_bConnectFailed || !m_pSocket)
        m_pSocket = std::make_unique<CClientSocket>(*this, m_strUserId, m_strPassword, m_strServerHost);
    m_bConnectFailed = !m_pSocket->Connect(m_strServerHost, kMessengerPort);
    return !m_bConnectFailed;
}

bool CSessionLink::CertificateRefused() const {
    return m_bConnectFailed && m_pSocket && m_pSocket->CertificateRefused();
}

void CSessionLink::Close(bool bSendLogout) {
    CClientSocket* p = m_pSocket.get();
    if (!p)
        return;
    // A failed send reports the loss, which the ending session ignores; the socket is still ours.
    if (bSendLogout && p->SendLogout())
        p->FlushFor(kLogoutFlushMs);
    m_pSocket.reset();
}

void CSessionLink::OnRecord(const CComData& record) {
    m_owner.OnLinkRecord(record);
}

void CSessionLink::OnConnectionLost() {
    m_owner.OnLinkLost();
}

void CSessionLink::ShowConnectionLost() {
    m_owner.ShowLinkLost();
}

} // namespace dravel::win
