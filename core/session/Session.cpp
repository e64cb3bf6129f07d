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
    return Login(false);
}

bool CMainSession::Login(bool bAsk) {
    // The password in use stays until the dialog gives a new one: a reconnect while it is up signs in
    // as before.
    if (bAsk || m_strUserId.empty() || m_strPassword.empty()) {
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
    // A fresh login replaces the connection of the previous one, which is logged out, not left open;
    // retries of a lost one end.
    StopRetries();
    m_bGranted = false;
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
    StopRetries();
    DropConnection(true);
    m_bLoggedIn = false;
    m_host.SetConnectionCheckTimer(false);
    return true;
}

void CMainSession::Cancel() {
    if (!m_host.ConfirmExitWithWaitingMessages() || !LogoutWithConfirm())
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
    StopRetries();
    m_host.StopSound();
    DropConnection(true);
    m_bLoggedIn = false;
    m_bGranted = false;
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
    StopRetries();
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
    // Where the window stays (the restart could not be made), a later login asked for by a page is a
    // new session, not this ended one.
    m_bEndRequested = false;
    m_bEndRun = false;
}

void CMainSession::IdleLogout() {
    RequestEnd(SessionEndReason::IdleLogout);
}

void CMainSession::OnConnectionLost() {
    // A logout or teardown that fails to send is no news, nor is a loss after the end was asked for.
    if (IsEnding() || m_bEndRequested)
        return;
    if (!m_bGranted) {
        RequestEnd(SessionEndReason::ConnectionLost);
        return;
    }
    // The connection called us from its failure path and is not touched after this.
    DropConnection(false);
    m_bTrying = false;
    if (!m_bAway) {
        m_bAway = true;
        m_retries.Reset();
        m_host.SetReconnectTimer(true);
    }
    if (!m_bInTry)
        ScheduleRetry();
}

bool CMainSession::OnLoginGranted() {
    if (!m_bAway) {
        m_bGranted = true;
        return true;
    }
    StopRetries();
    m_host.OnReconnected();
    return false;
}

void CMainSession::ScheduleRetry() {
    const uint64_t now = m_host.MonotonicMs();
    m_nNextTryMs = now + m_retries.NextDelayMs();
    m_host.ShowConnectionState(ConnectionState::Away, SecondsUntil(now, m_nNextTryMs));
}

void CMainSession::StopRetries() {
    if (!m_bAway)
        return;
    m_bAway = false;
    m_bTrying = false;
    m_retries.Reset();
    m_host.SetReconnectTimer(false);
    m_host.ShowConnectionState(ConnectionState::Connected, 0);
}

void CMainSession::OnReconnectTick() {
    if (!m_bAway || m_bInTry)
        return;
    const uint64_t now = m_host.MonotonicMs();
    if (m_bTrying) {
        if (now < m_nSignInDeadlineMs)
            return;
        // Connected, but the server never signed us in: that connection is given up.
        m_bTrying = false;
        DropConnection(false);
        ScheduleRetry();
        return;
    }
    if (now >= m_nNextTryMs)
        TryReconnect();
    else
        m_host.ShowConnectionState(ConnectionState::Away, SecondsUntil(now, m_nNextTryMs));
}

void CMainSession::ReconnectNow() {
    if (m_bAway && !m_bTrying && !m_bInTry)
        TryReconnect();
}

void CMainSession::TryReconnect() {
    m_bInTry = true;
    m_host.ShowConnectionState(ConnectionState::Reconnecting, 0);
    DropConnection(false);
    m_host.CreateConnection(m_strUserId, m_strPassword);
    const bool bConnected = m_host.ConnectToServer();
    m_bInTry = false;
    // The session may have ended or been granted while the connect ran.
    if (!m_bAway || m_bEndRequested)
        return;
    if (bConnected) {
        m_bTrying = true;
        m_nSignInDeadlineMs = m_host.MonotonicMs() + kSignInWaitMs;
        return;
    }
    DropConnection(false);
    ScheduleRetry();
}

void CMainSession::ReLogin() {
    // A login dialog closed because the session is ending leaves the window to that end.
    if (!Login(true) && !m_bEndRequested)
        m_host.EndMainWindow(0);
}

} // namespace dravel
