// The session host's life of the session: login, logout, the end of the session and the connection's
// records.

#include "win/session/SessionHost.h"

#include "win/base/MessageBox.h"
#include "win/base/Messages.h"
#include "win/base/Text.h"
#include "win/base/Window.h"
#include "win/protocol/ClientSocket.h"
#include "win/res/resource.h"
#include "win/session/LoginDlg.h"
#include "win/session/PopupTexts.h"
#include "win/transfer/FileTransferWindow.h"
#include "core/portal/PortalMenu.h"
#include "core/session/MainRules.h"
#include "core/ui/NotifierAnimation.h"

#include <winsock2.h>
#include <ws2ipdef.h>
#include <iphlpapi.h>
#include <netioapi.h>

#include <algorithm>
#include <iterator>
#include <random>
#include <string_view>
#include <vector>

namespace dravel::win {

static_assert(ID_PORTAL_ORDER == kPortalOrder && ID_PORTAL_CHATTING == kPortalChatting &&
              ID_PORTAL_INFORMATION == kPortalInformation && ID_PORTAL_NOTICE == kPortalNotice &&
              ID_PORTAL_QNA == kPortalQnA);

// The timer ids of win/base/Messages.h keep apart from those that core names.
static_assert([] {
    constexpr UINT_PTR ids[] = {kConnectionCheckTimer, kNotifierTimerAppear, kNotifierTimerWait,
                                kNotifierTimerDisappear, kSessionEndTimer, kPageCheckTimer,
                                kSocketStallTimer, kSendPauseTimer, kScrollBarTimer, kReconnectTimer,
                                kAttentionTimer};
    for (size_t i = 0; i < std::size(ids); ++i)
        for (size_t j = i + 1; j < std::size(ids); ++j)
            if (ids[i] == ids[j])
                return false;
    return true;
}());

namespace {

// The desktop less the taskbar, or the whole primary screen if the system cannot say.
ScreenRect WorkArea() {
    RECT rc{};
    if (!::SystemParametersInfoW(SPI_GETWORKAREA, 0, &rc, 0))
        rc = RECT{0, 0, ::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN)};
    return {rc.left, rc.top, rc.right, rc.bottom};
}

// Runs on a thread of the system: only posts.
VOID CALLBACK OnInterfaceChange(PVOID context, PMIB_IPINTERFACE_ROW, MIB_NOTIFICATION_TYPE) {
    ::PostMessageW(static_cast<HWND>(context), kNetworkChangeMessage, 0, 0);
}

} // namespace

double CSystemRandom::Fraction() {
    static std::mt19937_64 generator = [] {
        LARGE_INTEGER counter{};
        ::QueryPerformanceCounter(&counter);
        std::seed_seq seed{static_cast<uint64_t>(counter.QuadPart), static_cast<uint64_t>(::GetCurrentProcessId()),
                           static_cast<uint64_t>(::GetTickCount64())};
        return std::mt19937_64(seed);
    }();
    return std::uniform_real_distribution<double>(0.0, 1.0)(generator);
}

void CSessionHost::WatchNetwork(bool bWatch) {
    if (!bWatch) {
        if (m_hNetworkNotify)
            ::CancelMibChangeNotify2(m_hNetworkNotify);
        m_hNetworkNotify = nullptr;
        return;
    }
    const HWND hwnd = m_window.Handle();
    if (m_hNetworkNotify || !hwnd)
        return;
    // Where the system cannot report changes, the keep-alive probes and the retries still find them.
    if (::NotifyIpInterfaceChange(AF_UNSPEC, &OnInterfaceChange, hwnd, FALSE, &m_hNetworkNotify) != NO_ERROR)
        m_hNetworkNotify = nullptr;
}

CSessionHost::CSessionHost(SessionWindow& window, SessionApplication& application, SessionSettings settings)
    : m_window(window), m_application(application), m_settings(std::move(settings)),
      m_popups(*this, *this, LoadPopupTexts()), m_session(*this, m_popups, m_random, m_settings.strServerHost) {}

CSessionHost::~CSessionHost() {
    WatchNetwork(false);
    // The session's windows go before the connection they may still reach.
    m_pChatList.reset();
    m_pPortalWnd.reset();
    for (auto& p : m_portalPopup)
        p.reset();
    for (auto& p : m_conversation)
        p.reset();
    m_pLink.reset();
}

void CSessionHost::SetCredentials(std::string strUserId, std::string strPassword) {
    m_session.m_strUserId = std::move(strUserId);
    m_session.m_strPassword = std::move(strPassword);
}

bool CSessionHost::Start() {
    SetUpSharedNotifier();
    // The alert sound is played from the file beside the program; without it the pop-ups stay silent.
    const std::wstring folder = LogFolder();
    if (!folder.empty())
        m_strSoundFile = folder + L"run.wav";
    WatchNetwork(true);
    if (const HWND hwnd = m_window.Handle())
        ::SetTimer(hwnd, kAttentionTimer, kAttentionPeriodMs, nullptr);
    return m_session.Login();
}

void CSessionHost::OnWindowDestroyed() {
    if (HWND hwnd = m_window.Handle()) {
        ::KillTimer(hwnd, kConnectionCheckTimer);
        ::KillTimer(hwnd, kSessionEndTimer);
        ::KillTimer(hwnd, kReconnectTimer);
        ::KillTimer(hwnd, kAttentionTimer);
    }
    WatchNetwork(false);
    StopSound();
    // Their browsers are released while the windows still exist.
    DestroyPortalWindows();
}

void CSessionHost::Cancel() {
    m_session.Cancel();
}

void CSessionHost::OnTimer(UINT_PTR id) {
    if (id == kSessionEndTimer) {
        OnSessionEnd();
        return;
    }
    if (id == kReconnectTimer) {
        m_session.OnReconnectTick();
        return;
    }
    if (id == kAttentionTimer) {
        OnAttentionTick();
        return;
    }
    OnSessionTimer(id, Socket());
}

void CSessionHost::OnPortalCommand(int nCommand) {
    const PortalCommand command = PortalCommandFor(nCommand);
    const HWND hwnd = m_window.Handle();
    if (command.action == PortalAction::None || hwnd == nullptr || !::IsWindow(hwnd))
        return;
    const ScreenRect area = WorkArea();
    if (command.action == PortalAction::ChatList) {
        ShowChatList();
        return;
    }
    ShowPortalWindow(PortalWindowRequestFor(PortalPageUrl(m_settings.strServerHost, command.path), area));
}

bool CSessionHost::SendBulkNote(const std::string& text) {
    return dravel::SendBulkNote(Socket(), text);
}

void CSessionHost::IdleLogout() {
    m_session.IdleLogout();
}

void CSessionHost::ReLogin() {
    m_session.ReLogin();
}

void CSessionHost::CloseActiveWindow() {
    const HWND active = ::GetActiveWindow();
    ActiveWindowKind kind = ActiveWindowKind::Other;
    if (active == nullptr)
        kind = ActiveWindowKind::None;
    else if (IsBrowserWindow(active))
        kind = ActiveWindowKind::BrowserWindow;
    else if (IsFileTransferWindow(active))
        kind = ActiveWindowKind::TransferWindow;
    switch (DecideCloseActive(kind)) {
    case CloseActiveAction::Nothing:
        return;
    case CloseActiveAction::HideBrowserWindow:
        ::ShowWindow(active, SW_HIDE); // as its close box does; the window stays in its slot
        return;
    case CloseActiveAction::CancelTransfer:
        CancelFileTransferWindow(active);
        return;
    }
}

bool CSessionHost::IsBrowserWindow(HWND hwnd) const {
    if (m_pPortalWnd && m_pPortalWnd->GetHwnd() == hwnd)
        return true;
    return std::any_of(m_portalPopup.begin(), m_portalPopup.end(),
                       [hwnd](const auto& popup) { return popup && popup->GetHwnd() == hwnd; });
}

void CSessionHost::CustomFunction() {
    AppMessageBox(m_window.Handle(), LoadResString(IDS_SESSION_CUSTOM_FUNCTION), MB_OK);
}

void CSessionHost::CustomFunctionWithParams(const std::wstring& text, int nNumber) {
    AppMessageBox(m_window.Handle(), CustomFunctionText(text, nNumber), MB_OK);
}

void CSessionHost::OnLinkRecord(const CComData& record) {
    DispatchRecord(record, *this);
}

void CSessionHost::OnLinkLost() {
    m_session.OnConnectionLost();
}

void CSessionHost::ShowLinkLost() {
    // Once signed in, a loss is shown above the page and tried again; no box holds the user up.
    if (!m_session.IsGranted())
        AppMessageBox(nullptr, LoadResString(IDS_SESSION_CONNECTION_LOST), MB_OK | MB_ICONWARNING);
}

bool CSessionHost::OnLoginGranted() {
    m_attention.LoadFor(UserId());
    m_attention.Changed();
    return m_session.OnLoginGranted();
}

void CSessionHost::ReconnectNow() {
    m_session.ReconnectNow();
}

void CSessionHost::OnNetworkMayHaveChanged() {
    if (m_session.IsAway()) {
        m_session.ReconnectNow();
        return;
    }
    // A failed send ends the connection inside this call, which starts the retries.
    if (Socket() && m_session.IsGranted())
        Socket()->SendConnectCheck();
}

uint64_t CSessionHost::MonotonicMs() {
    return ::GetTickCount64();
}

void CSessionHost::SetReconnectTimer(bool bRunning) {
    const HWND hwnd = m_window.Handle();
    if (!hwnd)
        return;
    if (bRunning)
        ::SetTimer(hwnd, kReconnectTimer, kReconnectTickMs, nullptr);
    else
        ::KillTimer(hwnd, kReconnectTimer);
}

void CSessionHost::ShowConnectionState(ConnectionState state, int nSecondsLeft) {
    switch (state) {
    case ConnectionState::Connected:
        m_window.ShowConnectionState(std::wstring());
        return;
    case ConnectionState::Reconnecting:
        m_window.ShowConnectionState(LoadResString(IDS_SESSION_RECONNECTING));
        return;
    case ConnectionState::Away:
        m_window.ShowConnectionState(FormatResString(IDS_SESSION_AWAY, nSecondsLeft));
        return;
    }
}

void CSessionHost::OnReconnected() {
    // Each open conversation fetches what was written while away; a failed send ends the connection
    // inside and starts the retries again, so nothing is touched after it.
    for (int n = 0; n < m_table.SlotCount(); ++n) {
        CMessageDlg* c = ConversationWindow(n);
        if (!c || !c->GetHwnd() || !c->IsOpened())
            continue;
        c->NoteHistoryRequest();
        if (!Socket() || !Socket()->SendHistoryRequest(c->PeerId()))
            return;
    }
    if (m_pChatList && m_pChatList->GetHwnd())
        m_pChatList->Refresh();
    SendWaitingMessages();
}

void CSessionHost::SendWaitingMessages() {
    for (;;) {
        CMessageDlg* oldest = nullptr;
        uint64_t nOldest = 0;
        for (int n = 0; n < m_table.SlotCount(); ++n) {
            CMessageDlg* c = ConversationWindow(n);
            if (!c || !c->GetHwnd())
                continue;
            if (const std::optional<uint64_t> order = c->OldestWaiting(); order && (!oldest || *order < nOldest)) {
                oldest = c;
                nOldest = *order;
            }
        }
        if (!oldest || m_session.IsAway() || !oldest->SendOldestWaiting())
            return;
    }
}

size_t CSessionHost::WaitingMessageCount() const {
    size_t n = 0;
    for (int i = 0; i < m_table.SlotCount(); ++i)
        if (const CMessageDlg* c = ConversationWindow(i); c && c->GetHwnd())
            n += c->WaitingCount();
    return n;
}

bool CSessionHost::ConfirmExitWithWaitingMessages() {
    const size_t n = WaitingMessageCount();
    if (n == 0)
        return true;
    return AppMessageBox(m_window.BoxOwner(), FormatResString(IDS_SESSION_UNSENT_EXIT, static_cast<int>(n)),
                         MB_YESNO | MB_ICONQUESTION) == IDYES;
}

void CSessionHost::ReplySignIn() {
    if (Socket())
        Socket()->SendSignIn(m_settings.strVersion);
}

std::string CSessionHost::DisplayName() const {
    if (Socket())
        return Socket()->m_strName;
    return m_strDisplayName;
}

void CSessionHost::SetIdentity(const std::string& name, int32_t status) {
    m_strDisplayName = name;
    if (Socket()) {
        Socket()->m_strName = name;
        Socket()->m_nStatus = status;
    }
}

void CSessionHost::UpdateTitle() {
    m_window.UpdateTitle(DisplayName());
}

void CSessionHost::RequestSessionEnd() {
    m_session.RequestEnd(SessionEndReason::ServerClosed);
}

void CSessionHost::ShowServerNotice(const std::string& text) {
    AppMessageBox(m_window.Handle(), std::string_view(text), MB_OK);
}

std::time_t CSessionHost::Now() {
    return std::time(nullptr);
}

bool CSessionHost::RunLoginDialog(std::string& strUserId, std::string& strPassword) {
    CLoginDlg dlg;
    dlg.m_strUserId = strUserId;
    if (dlg.DoModal(nullptr) != IDOK)
        return false;
    strUserId = dlg.m_strUserId;
    strPassword = dlg.m_strPassword;
    return true;
}

void CSessionHost::ShowConnectingNotice(bool bShow) {
    m_window.ShowConnectingNotice(bShow);
}

void CSessionHost::CreateConnection(const std::string& userId, const std::string& password) {
    // The session drops any previous connection first; should one remain, it goes before the new one.
    m_pLink.reset();
    m_pLink = std::make_unique<CSessionLink>(*this, userId, password, m_settings.strServerHost);
}

bool CSessionHost::HasConnection() const {
    return Socket() != nullptr;
}

bool CSessionHost::ConnectToServer() {
    return m_pLink && m_pLink->Connect();
}

bool CSessionHost::AskRetryConnect() {
    std::wstring text = LoadResString(IDS_SESSION_RETRY_CONNECT);
    // A server that could not prove who it is was never sent a byte; the user is told why.
    if (m_pLink && m_pLink->CertificateRefused())
        text = LoadResString(IDS_SESSION_CERT_REFUSED) + L"\n" + text;
    return AppMessageBox(m_window.BoxOwner(), text, MB_YESNO | MB_ICONQUESTION) == IDYES;
}

bool CSessionHost::AskLogoutConfirm() {
    return AppMessageBox(m_window.BoxOwner(), LoadResString(IDS_LOGOUT_CONFIRM), MB_YESNO | MB_ICONQUESTION) == IDYES;
}

void CSessionHost::CloseConnection(bool bSendLogout) {
    CSessionLink* p = m_pLink.get();
    if (!p)
        return;
    p->Close(bSendLogout);
    if (m_pLink.get() == p)
        m_pLink.reset();
}

void CSessionHost::Navigate(const std::string& url) {
    m_window.Navigate(url);
}

void CSessionHost::SetConnectionCheckTimer(bool bRunning) {
    const HWND hwnd = m_window.Handle();
    if (!hwnd)
        return;
    if (bRunning)
        ::SetTimer(hwnd, kConnectionCheckTimer, kConnectionCheckPeriodMs, nullptr);
    else
        ::KillTimer(hwnd, kConnectionCheckTimer);
}

void CSessionHost::DestroySessionWindows() {
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

void CSessionHost::SavePlacement() {
    m_window.SavePlacement();
}

bool CSessionHost::RequestRestart() {
    return m_application.RequestRestart();
}

void CSessionHost::ShowRestartFailed() {
    m_application.ShowRestartFailed(m_window.Handle());
}

void CSessionHost::ShowIdleLogoutMessage() {
    ::MessageBoxW(m_window.Handle(), LoadResString(IDS_SESSION_IDLE_LOGOUT).c_str(), AppTitle().c_str(), MB_OK);
}

void CSessionHost::EndMainWindow(int nResult) {
    m_window.EndWindow(nResult);
}

void CSessionHost::StopReceiving() {
    if (Socket())
        Socket()->StopReading();
}

void CSessionHost::ScheduleSessionEnd() {
    if (HWND hwnd = m_window.Handle())
        ::PostMessageW(hwnd, kSessionEndMessage, 0, 0);
}

void CSessionHost::AnnounceSessionEnded() {
    dravel::AnnounceSessionEnded(*this);
}

void CSessionHost::OnSessionEnd() {
    // Posted from outside, it asks for the end as the server's close does.
    if (!m_session.IsEndRequested()) {
        m_session.RequestEnd(SessionEndReason::ServerClosed);
        return;
    }
    // Called from a modal loop that one of our handlers runs (a box, a menu, a transfer window): ending
    // the session here would destroy windows under their own handlers. Those loops are closed instead,
    // and the end runs once they have unwound.
    const HWND hwnd = m_window.Handle();
    if (CWindow::HandlerDepth() > 1) {
        CloseModalWindows();
        ::SetTimer(hwnd, kSessionEndTimer, kSessionEndRetryMs, nullptr);
        return;
    }
    ::KillTimer(hwnd, kSessionEndTimer);
    m_session.RunRequestedEnd();
}

namespace {

// Class name of the system's dialogs: message boxes and every dialog of ours.
constexpr wchar_t kDialogClassName[] = L"#32770";
// A message box's own id for its static text, which tells a box with only OK from other dialogs.
constexpr int kMessageBoxTextId = 0xFFFF;

struct ModalSearch {
    std::vector<HWND> keep;
    std::vector<HWND> found;
};

BOOL CALLBACK CollectModalWindow(HWND hwnd, LPARAM lParam) {
    auto& search = *reinterpret_cast<ModalSearch*>(lParam);
    wchar_t cls[16] = {};
    ::GetClassNameW(hwnd, cls, 16);
    if (std::wstring_view(cls) == kDialogClassName && ::IsWindowVisible(hwnd) &&
        std::find(search.keep.begin(), search.keep.end(), hwnd) == search.keep.end())
        search.found.push_back(hwnd);
    return TRUE;
}

} // namespace

void CSessionHost::CloseModalWindows() {
    ::EndMenu();
    // Every visible dialog of this thread that is not one of the session's modeless windows runs a
    // modal loop: a message box, the login, transfer, bulk note or file dialog. Each is answered as its
    // cancel (or "no") would answer it.
    ModalSearch search;
    m_window.AddModelessWindows(search.keep);
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
        else if (!::GetDlgItem(dlg, IDCANCEL) && ::GetDlgItem(dlg, IDOK) && ::GetDlgItem(dlg, kMessageBoxTextId))
            answer = IDOK; // a message box with only OK
        ::PostMessageW(dlg, WM_COMMAND, MAKEWPARAM(answer, BN_CLICKED), 0);
    }
}

} // namespace dravel::win
