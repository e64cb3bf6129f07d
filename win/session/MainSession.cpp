// The main window's session: login, logout, teardown and the connection's records.

#include "win/session/MainDlg.h"

#include "win/app/MessengerApp.h"
#include "win/app/RestartLock.h"
#include "win/base/MessageBox.h"
#include "win/base/Text.h"
#include "win/protocol/ClientSocket.h"
#include "win/res/resource.h"
#include "win/session/LoginDlg.h"

#include <algorithm>
#include <string_view>
#include <vector>

namespace dravel::win {

namespace {

// "접속실패. 연결을 다시 시도하시겠습니까?"
constexpr wchar_t kRetryConnectText[] =
    L"\uC811\uC18D\uC2E4\uD328. \uC5F0\uACB0\uC744 \uB2E4\uC2DC \uC2DC\uB3C4\uD558\uC2DC\uACA0\uC2B5\uB2C8\uAE4C?";
// "20분간 키 입력이 없어 자동 logout 되었습니다."
constexpr wchar_t kIdleLogoutText[] =
    L"20\uBD84\uAC04 \uD0A4 \uC785\uB825\uC774 \uC5C6\uC5B4 \uC790\uB3D9 logout \uB418\uC5C8\uC2B5\uB2C8\uB2E4.";

} // namespace

bool CMainDlg::Login() {
    return m_session.Login();
}

bool CMainDlg::LogoutWithConfirm() {
    return m_session.LogoutWithConfirm();
}

void CMainDlg::IdleLogout() {
    m_session.IdleLogout();
}

void CMainDlg::ReLogin() {
    m_session.ReLogin();
}

// ---- ConnectionOwner ----

void CMainDlg::OnRecord(const CComData& record) {
    DispatchRecord(record, *this);
}

void CMainDlg::OnConnectionLost() {
    // A logout or teardown that fails to send is no news.
    if (!m_session.IsEnding())
        m_session.RequestEnd(SessionEndReason::ConnectionLost);
}

void CMainDlg::ShowWarning(const std::string& text) {
    AppMessageBox(nullptr, std::string_view(text), MB_OK | MB_ICONWARNING);
}

// ---- DispatchTarget ----

void CMainDlg::ReplySignIn() {
    if (CClientSocket* p = App().m_pSocket)
        p->SendSignIn(App().m_szVersion);
}

std::string CMainDlg::DisplayName() const {
    if (const CClientSocket* p = App().m_pSocket)
        return p->m_strName;
    return m_strDisplayName;
}

void CMainDlg::SetIdentity(const std::string& name, int32_t status) {
    m_strDisplayName = name;
    if (CClientSocket* p = App().m_pSocket) {
        p->m_strName = name;
        p->m_nStatus = status;
    }
}

void CMainDlg::UpdateTitle() {
    const std::string title = TitleWithDisplayName(m_strCaption, WideToCp949(WindowText(m_hWnd)), DisplayName());
    SetWindowTextW(m_hWnd, Cp949ToWide(title).c_str());
}

void CMainDlg::RequestSessionEnd() {
    m_session.RequestEnd(SessionEndReason::ServerClosed);
}

void CMainDlg::ShowServerNotice(const std::string& text) {
    ::MessageBoxW(m_hWnd, Cp949ToWide(text).c_str(), kAppTitle, MB_OK);
}

std::time_t CMainDlg::Now() {
    return std::time(nullptr);
}

// ---- MainWindowHost ----

bool CMainDlg::RunLoginDialog(std::string& strUserId, std::string& strPassword) {
    CLoginDlg dlg;
    dlg.m_strUserId = strUserId;
    if (dlg.DoModal(nullptr) != IDOK)
        return false;
    strUserId = dlg.m_strUserId;
    strPassword = dlg.m_strPassword;
    return true;
}

void CMainDlg::ShowConnectingNotice(bool bShow) {
    if (!m_pConnectingDlg)
        return;
    m_pConnectingDlg->ShowWindow(bShow ? SW_SHOW : SW_HIDE);
    if (bShow)
        ::UpdateWindow(m_pConnectingDlg->GetHwnd());
}

void CMainDlg::CreateConnection(const std::string& userId, const std::string& password) {
    // The session drops any previous connection first; should one remain, it is not leaked.
    if (CClientSocket* old = App().m_pSocket) {
        App().m_pSocket = nullptr;
        delete old;
    }
    App().m_pSocket = new CClientSocket(*this, userId, password, ServerHost());
    m_bConnectFailed = false;
}

bool CMainDlg::HasConnection() const {
    return App().m_pSocket != nullptr;
}

bool CMainDlg::ConnectToServer() {
    CClientSocket* p = App().m_pSocket;
    if (!p)
        return false;
    // A socket whose connect failed cannot connect again, so a retry would fail for ever: it gets a
    // fresh connection with the same credentials instead.
    if (m_bConnectFailed) {
        const std::string id = p->m_strId;
        const std::string password = p->m_strPassword;
        App().m_pSocket = nullptr;
        delete p;
        p = new CClientSocket(*this, id, password, ServerHost());
        App().m_pSocket = p;
    }
    m_bConnectFailed = !p->Connect(ServerHost(), kMessengerPort);
    return !m_bConnectFailed;
}

bool CMainDlg::AskRetryConnect() {
    return AppMessageBox(BoxOwner(), std::wstring(kRetryConnectText), MB_YESNO | MB_ICONQUESTION) == IDYES;
}

bool CMainDlg::AskLogoutConfirm() {
    return AppMessageBox(BoxOwner(), LoadResString(IDS_LOGOUT_CONFIRM), MB_YESNO | MB_ICONQUESTION) == IDYES;
}

void CMainDlg::CloseConnection(bool bSendLogout) {
    CClientSocket* p = App().m_pSocket;
    if (!p)
        return;
    if (bSendLogout)
        p->SendLogout();
    // A failed send above reports the loss, which the ending session ignores; the object is still ours.
    if (App().m_pSocket == p) {
        App().m_pSocket = nullptr;
        delete p;
    }
}

void CMainDlg::Navigate(const std::string& url) {
    m_browser.Navigate(Cp949ToWide(url));
    if (m_hWnd)
        ::UpdateWindow(m_hWnd);
}

void CMainDlg::SetConnectionCheckTimer(bool bRunning) {
    if (!m_hWnd)
        return;
    if (bRunning)
        ::SetTimer(m_hWnd, kConnectionCheckTimer, kConnectionCheckPeriodMs, nullptr);
    else
        ::KillTimer(m_hWnd, kConnectionCheckTimer);
}

void CMainDlg::DestroySessionWindows() {
    for (int n = m_table.SlotCount() - 1; n >= 0; --n) {
        CMessageDlg* c = m_conversation[static_cast<size_t>(n)].get();
        if (c && c->GetHwnd() && ::IsWindowVisible(c->GetHwnd()))
            c->DestroyWindow();
    }
    if (m_pChatList) {
        // The list goes with its window; records arriving later find no list.
        std::unique_ptr<CChatListDlg> list = std::move(m_pChatList);
        list->DestroyWindow();
    }
    DestroyPortalWindows();
}

bool CMainDlg::RequestRestart() {
    return win::RequestRestart();
}

void CMainDlg::ShowRestartFailed() {
    win::ShowRestartFailed(m_hWnd);
}

void CMainDlg::ShowIdleLogoutMessage() {
    ::MessageBoxW(m_hWnd, kIdleLogoutText, AppTitle().c_str(), MB_OK);
}

void CMainDlg::EndMainWindow(int nResult) {
    EndDialog(nResult);
}

void CMainDlg::StopReceiving() {
    if (CClientSocket* p = App().m_pSocket)
        p->StopReading();
}

void CMainDlg::ScheduleSessionEnd() {
    if (m_hWnd)
        PostMessage(kSessionEndMessage);
}

void CMainDlg::AnnounceSessionEnded() {
    dravel::AnnounceSessionEnded(*this);
}

void CMainDlg::OnSessionEnd() {
    // Posted from outside, it asks for the end as the server's close does.
    if (!m_session.IsEndRequested()) {
        m_session.RequestEnd(SessionEndReason::ServerClosed);
        return;
    }
    // Called from a modal loop that one of our handlers runs (a box, a menu, a transfer window): ending
    // the session here would destroy windows under their own handlers. Those loops are closed instead,
    // and the end runs once they have unwound.
    if (CWindow::HandlerDepth() > 1) {
        CloseModalWindows();
        ::SetTimer(m_hWnd, kSessionEndTimer, kSessionEndRetryMs, nullptr);
        return;
    }
    ::KillTimer(m_hWnd, kSessionEndTimer);
    m_session.RunRequestedEnd();
}

namespace {

struct ModalSearch {
    std::vector<HWND> keep;
    std::vector<HWND> found;
};

BOOL CALLBACK CollectModalWindow(HWND hwnd, LPARAM lParam) {
    auto& search = *reinterpret_cast<ModalSearch*>(lParam);
    wchar_t cls[16] = {};
    ::GetClassNameW(hwnd, cls, 16);
    if (std::wstring_view(cls) == L"#32770" && ::IsWindowVisible(hwnd) &&
        std::find(search.keep.begin(), search.keep.end(), hwnd) == search.keep.end())
        search.found.push_back(hwnd);
    return TRUE;
}

} // namespace

void CMainDlg::CloseModalWindows() {
    ::EndMenu();
    // Every visible dialog of this thread that is not one of the session's modeless windows runs a
    // modal loop: a message box, the login, transfer, bulk note or file dialog. Each is answered as its
    // cancel (or "no") would answer it.
    ModalSearch search;
    search.keep.push_back(m_hWnd);
    if (m_pConnectingDlg)
        search.keep.push_back(m_pConnectingDlg->GetHwnd());
    if (m_pChatList)
        search.keep.push_back(m_pChatList->GetHwnd());
    if (m_pPortalWnd)
        search.keep.push_back(m_pPortalWnd->GetHwnd());
    for (const auto& c : m_conversation)
        if (c)
            search.keep.push_back(c->GetHwnd());
    for (const auto& p : m_portalPopup)
        if (p)
            search.keep.push_back(p->GetHwnd());
    ::EnumThreadWindows(::GetCurrentThreadId(), &CollectModalWindow, reinterpret_cast<LPARAM>(&search));
    for (HWND dlg : search.found) {
        int answer = IDCANCEL;
        if (!::GetDlgItem(dlg, IDCANCEL) && ::GetDlgItem(dlg, IDNO))
            answer = IDNO;
        else if (!::GetDlgItem(dlg, IDCANCEL) && ::GetDlgItem(dlg, IDOK) && ::GetDlgItem(dlg, 0xFFFF))
            answer = IDOK; // a message box with only OK
        ::PostMessageW(dlg, WM_COMMAND, MAKEWPARAM(answer, BN_CLICKED), 0);
    }
}

} // namespace dravel::win
