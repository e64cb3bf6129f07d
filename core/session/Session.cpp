#include "core/session/Session.h"

namespace dravel {

namespace {
// Marks a stretch in which the session is being ended on purpose.
class CEndingScope {
public:
    explicit CEndingScope(int& nEnding) : m_nEnding(nEnding) { ++m_nEnding; }
    ~CEndingScope() { --m_nEnding; }
    CEndingScope(const CEndingScope&) = delete;
    CEndingScope& operator=(const CEndingScope&) = delete;

private:
    int& m_nEnding;
};
} // namespace

void CMainSession::DropConnection(bool bSendLogout) {
    CEndingScope ending(m_nEnding);
    if (m_host.HasConnection())
        m_host.CloseConnection(bSendLogout);
}

bool CMainSession::Login() {
    if (m_strUserId.empty() || m_strPassword.empty()) {
        std::string strId = m_strUserId;
        std::string strPassword;
        if (!m_host.RunLoginDialog(strId, strPassword) || strId.empty() || strPassword.empty())
            return false;
        m_strUserId = std::move(strId);
        m_strPassword = std::move(strPassword);
    }
    // The old session ended while the dialog was up: that end goes first, no new login starts.
    if (m_bEndRequested)
        return false;
    // A fresh login replaces the connection of the previous one, which is logged out, not left open.
    if (m_bLoggedIn || m_host.HasConnection()) {
        DropConnection(m_bLoggedIn);
        m_bLoggedIn = false;
        m_host.SetConnectionCheckTimer(false);
    }
    m_host.ShowConnectingNotice(true);
    m_host.CreateConnection(m_strUserId, m_strPassword);
    while (!m_host.ConnectToServer()) {
        m_host.ShowConnectingNotice(false);
        if (!m_host.AskRetryConnect()) {
            // Never connected, so nothing is sent: the connection is only thrown away.
            DropConnection(false);
            return false;
        }
        m_host.ShowConnectingNotice(true);
    }
    m_bLoggedIn = true;
    m_popups.MarkLogin();
    m_host.ShowConnectingNotice(false);
    m_host.Navigate(LoginPageUrl(m_strServerHost, m_strUserId, m_strPassword));
    m_host.SetConnectionCheckTimer(true);
    return true;
}

bool CMainSession::LogoutWithConfirm() {
    if (!m_bLoggedIn)
        return true;
    if (!m_host.AskLogoutConfirm())
        return false;
    DropConnection(true);
    m_bLoggedIn = false;
    m_host.SetConnectionCheckTimer(false);
    return true;
}

void CMainSession::Cancel() {
    if (!LogoutWithConfirm())
        return;
    m_host.Navigate(LogoutPageUrl(m_strServerHost));
    m_host.SavePlacement();
    m_host.EndMainWindow(0);
}

void CMainSession::TeardownAndRestart() {
    // A teardown can be asked for again from inside itself (a logout send that fails); once is enough.
    if (m_bTearingDown)
        return;
    m_bTearingDown = true;
    CEndingScope ending(m_nEnding);
    m_host.StopSound();
    DropConnection(true);
    m_bLoggedIn = false;
    m_host.SetConnectionCheckTimer(false);
    m_host.DestroySessionWindows();
    m_host.SavePlacement();
    if (m_host.RequestRestart())
        m_host.EndMainWindow(0);
    else
        m_host.ShowRestartFailed();
    m_bTearingDown = false;
}

void CMainSession::RequestEnd(SessionEndReason reason) {
    if (m_bEndRequested)
        return;
    m_bEndRequested = true;
    m_endReason = reason;
    m_host.StopReceiving();
    m_host.ScheduleSessionEnd();
}

void CMainSession::RunRequestedEnd() {
    if (!m_bEndRequested || m_bEndRun)
        return;
    m_bEndRun = true;
    if (m_endReason == SessionEndReason::IdleLogout) {
        m_host.Navigate(LogoutPageUrl(m_strServerHost));
        m_host.ShowIdleLogoutMessage();
    } else {
        m_host.AnnounceSessionEnded();
    }
    TeardownAndRestart();
}

void CMainSession::IdleLogout() {
    RequestEnd(SessionEndReason::IdleLogout);
}

void CMainSession::ReLogin() {
    m_strPassword.clear();
    // A login dialog closed because the session is ending leaves the window to that end.
    if (!Login() && !m_bEndRequested)
        m_host.EndMainWindow(0);
}

} // namespace dravel
