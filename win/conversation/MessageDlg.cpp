#include "conversation/MessageDlg.h"

#include "resource.h"

#include "conversation/Conversation.h"

namespace dravel::win {

// Placeholder until the window is built: it keeps the peer and answers the queries.
struct CMessageDlg::Impl {
    std::string strPeerName;
    std::string strPeerId;
    bool bOpened = false;
};

CMessageDlg::CMessageDlg(ConversationOwner& owner) : CDialog(IDD_MESSAGE), m_owner(owner), m_pImpl(new Impl) {}
CMessageDlg::~CMessageDlg() = default;

bool CMessageDlg::Create(HWND parent) {
    return CDialog::Create(parent);
}

void CMessageDlg::SetPeer(const std::string& peerName, const std::string& peerId) {
    m_pImpl->strPeerName = peerName;
    m_pImpl->strPeerId = peerId;
}
const std::string& CMessageDlg::PeerName() const {
    return m_pImpl->strPeerName;
}
const std::string& CMessageDlg::PeerId() const {
    return m_pImpl->strPeerId;
}
void CMessageDlg::SetOpened(bool bOpened) {
    m_pImpl->bOpened = bOpened;
}
void CMessageDlg::OpenLog() {}
bool CMessageDlg::IsOpened() const {
    return m_pImpl->bOpened;
}
bool CMessageDlg::IsVisible() const {
    return m_hWnd && ::IsWindowVisible(m_hWnd);
}
void CMessageDlg::Raise() {}
void CMessageDlg::AppendIncoming(const std::string&, const std::string&, std::time_t, bool) {}
void CMessageDlg::AppendOutgoing(const std::string&, const std::string&, std::time_t, bool) {}
void CMessageDlg::AppendNotice(const std::string&, std::time_t) {}
void CMessageDlg::LoadHistory(const std::string&, const std::string&, std::time_t) {
    m_pImpl->bOpened = true;
}
void CMessageDlg::StartFileSend(const std::string&, const std::string&, std::time_t, const std::string&) {}
void CMessageDlg::ShowDuplicateFile(const std::string&, const std::string&, std::time_t, const std::string&) {}
void CMessageDlg::StartFileReceive(const std::string&, const std::string&, std::time_t) {}

} // namespace dravel::win
