// The session host's windows: conversations and browser pop-ups in the window table, the portal page
// window, the chat list, the pop-up notifiers, and what conversations and the chat list ask of the
// connection.

#include "win/session/SessionHost.h"

#include "win/base/MessageBox.h"
#include "win/base/Text.h"
#include "win/protocol/ClientSocket.h"
#include "win/res/resource.h"
#include "win/session/AlertSound.h"
#include "core/portal/PortalMenu.h"

#include <shlobj.h>

namespace dravel::win {

CMessageDlg* CSessionHost::ConversationWindow(int nSlot) const {
    if (nSlot < 0 || nSlot >= kMaxWindowSlots)
        return nullptr;
    return m_conversation[static_cast<size_t>(nSlot)].get();
}

ConversationTarget* CSessionHost::FindConversation(std::string_view key) {
    CMessageDlg* c = ConversationWindow(m_table.FindConversation(key));
    return c ? &c->Records() : nullptr;
}

void CSessionHost::OpenConversation(const std::string& key, const std::string& peerId) {
    if (m_table.OpenConversation(key, peerId, *this).result == SlotResult::Full)
        ShowWindowTableFull();
}

void CSessionHost::OpenConversationForUser(const std::string& name, const std::string& userId) {
    OpenConversation(name, userId);
    if (CMessageDlg* c = ConversationWindow(m_table.FindConversation(name)))
        c->BringToUser();
}

void CSessionHost::ClickNewestPopup() {
    // Asked for from the keyboard: the conversation comes with the keyboard in it.
    const std::optional<std::string> key = m_popups.ClickNewest();
    if (key && !key->empty()) {
        if (CMessageDlg* c = ConversationWindow(m_table.FindConversation(*key)))
            c->BringToUser();
    }
}

void CSessionHost::OpenPortalPopup(const PortalPopupRequest& request) {
    if (m_table.OpenPortalPopup(request, *this).result == SlotResult::Full)
        ShowWindowTableFull();
}

void CSessionHost::ShowWindowTableFull() {
    AppMessageBox(m_window.BoxOwner(), LoadResString(IDS_SESSION_WINDOWS_FULL), MB_OK | MB_ICONWARNING);
}

void CSessionHost::ShowConversation(int nSlot) {
    CMessageDlg* c = ConversationWindow(nSlot);
    if (!c || !c->GetHwnd())
        return;
    c->ShowWindow(SW_SHOWNORMAL);
    ::BringWindowToTop(c->GetHwnd());
}

bool CSessionHost::CreateConversation(int nSlot, const std::string& key, const std::string& peerId) {
    if (nSlot < 0 || nSlot >= kMaxWindowSlots)
        return false;
    auto dlg = std::make_unique<CMessageDlg>(static_cast<ConversationOwner&>(*this));
    if (!dlg->Create(m_window.Handle()))
        return false;
    dlg->SetPeer(key, peerId);
    dlg->SetOpened(true);
    dlg->ShowWindow(SW_SHOWNOACTIVATE);
    m_conversation[static_cast<size_t>(nSlot)] = std::move(dlg);
    return true;
}

void CSessionHost::StartConversation(int nSlot, const std::string& peerId) {
    CMessageDlg* c = ConversationWindow(nSlot);
    if (!c)
        return;
    c->OpenLog();
    // A failed send ends the session inside this call; nothing is touched after it.
    if (Socket()) {
        c->NoteHistoryRequest();
        Socket()->SendHistoryRequest(peerId);
    }
}

CBrowserPopupDlg* CSessionHost::PortalPopupWindow(int nSlot) const {
    if (nSlot < 0 || nSlot >= kMaxWindowSlots)
        return nullptr;
    return m_portalPopup[static_cast<size_t>(nSlot)].get();
}

bool CSessionHost::CreatePortalPopup(int nSlot, const PortalPopupRequest& request) {
    if (nSlot < 0 || nSlot >= kMaxWindowSlots)
        return false;
    auto popup = std::make_unique<CBrowserPopupDlg>();
    if (!popup->Create(m_window.Handle()))
        return false;
    const PortalPopupRequest place = SanePlacement(request);
    popup->Place(place.nLeft, place.nTop, place.nWidth, place.nHeight);
    popup->SetUrl(Cp949ToWide(place.strUrl));
    popup->ShowWindow(SW_SHOWNOACTIVATE);
    m_portalPopup[static_cast<size_t>(nSlot)] = std::move(popup);
    return true;
}

void CSessionHost::ShowPortalWindow(const PortalPopupRequest& request) {
    const bool bVisible = m_pPortalWnd && ::IsWindowVisible(m_pPortalWnd->GetHwnd());
    switch (DecideSingleWindow(m_pPortalWnd != nullptr, bVisible)) {
    case SingleWindowAction::Create: {
        auto portal = std::make_unique<CPortalDlg>();
        if (!portal->Create(m_window.Handle()))
            return;
        m_pPortalWnd = std::move(portal);
        break;
    }
    case SingleWindowAction::ShowAgain:
        break;
    case SingleWindowAction::Nothing:
        // It keeps the page and place it has.
        return;
    }
    const PortalPopupRequest place = SanePlacement(request);
    const HWND hwnd = m_pPortalWnd->GetHwnd();
    // A window closed while maximised or minimised comes back to its earlier normal place when it is
    // restored; it is placed once more after that.
    const bool bWasSized = ::IsZoomed(hwnd) || ::IsIconic(hwnd);
    m_pPortalWnd->Place(place.nLeft, place.nTop, place.nWidth, place.nHeight);
    m_pPortalWnd->SetUrl(Cp949ToWide(place.strUrl));
    m_pPortalWnd->ShowWindow(SW_SHOWNORMAL);
    if (bWasSized)
        m_pPortalWnd->Place(place.nLeft, place.nTop, place.nWidth, place.nHeight);
    ::BringWindowToTop(hwnd);
}

void CSessionHost::DestroyPortalWindows() {
    // The session end runs with nothing of ours below it, so no page script of these windows is running.
    for (int n = m_table.SlotCount() - 1; n >= 0; --n)
        m_portalPopup[static_cast<size_t>(n)].reset();
    m_pPortalWnd.reset();
}

void CSessionHost::ShowChatList() {
    switch (DecideSingleWindow(m_pChatList != nullptr, m_pChatList && ::IsWindowVisible(m_pChatList->GetHwnd()))) {
    case SingleWindowAction::Create: {
        auto list = std::make_unique<CChatListDlg>(static_cast<ChatListOwner&>(*this));
        // Held before it is created: the list asks for its friends while it initialises, and the
        // answer may already find it.
        m_pChatList = std::move(list);
        if (!m_pChatList->Create(m_window.Handle())) {
            m_pChatList.reset();
            return;
        }
        m_pChatList->BringToUser();
        return;
    }
    case SingleWindowAction::ShowAgain:
        m_pChatList->BringToUser();
        return;
    case SingleWindowAction::Nothing:
        return;
    }
}

ChatListTarget* CSessionHost::ChatList() {
    return m_pChatList && m_pChatList->GetHwnd() ? &m_pChatList->Records() : nullptr;
}

void CSessionHost::SendChatListCollect(std::string_view view) {
    if (Socket())
        Socket()->SendChatListCollect(view);
}

void CSessionHost::SendDeleteFriend(std::string_view userId) {
    if (Socket())
        Socket()->SendDeleteFriend(userId);
}

void CSessionHost::SendAppendFriend(std::string_view userId) {
    if (Socket())
        Socket()->SendAppendFriend(userId);
}

bool CSessionHost::SendPrivateMessage(const std::string& peerName, const std::string& peerId, const std::string& text) {
    // The connection may take the lost-connection path inside the send; the result is all we look at.
    return Socket() && !m_session.IsEndRequested() && Socket()->SendPrivateMessage(peerName, peerId, text);
}

void CSessionHost::SendFileOffer(const std::string& peerName, const std::string& peerId, const std::string& path) {
    if (Socket())
        Socket()->SendFileOffer(peerName, peerId, path);
}

void CSessionHost::SendFileAnswer(const std::string& peerName, const std::string& peerId, const std::string& fileKey,
                                  bool bIncoming) {
    if (Socket())
        Socket()->SendFileAnswer(peerName, peerId, fileKey, bIncoming);
}

std::string CSessionHost::TransferHost() const {
    return m_settings.strServerHost;
}

std::string CSessionHost::OwnUserId() const {
    if (Socket())
        return Socket()->m_strId;
    return m_session.m_strUserId;
}

std::wstring CSessionHost::LogFolder() const {
    wchar_t path[MAX_PATH] = {};
    const DWORD n = ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    if (n == 0 || n >= MAX_PATH)
        return {};
    std::wstring folder(path, n);
    const size_t slash = folder.find_last_of(L"\\/");
    if (slash == std::wstring::npos)
        return {};
    folder.resize(slash + 1);
    return folder;
}

std::wstring CSessionHost::UserLogFolder() const {
    wchar_t path[MAX_PATH] = {};
    if (FAILED(
            ::SHGetFolderPathW(nullptr, CSIDL_LOCAL_APPDATA | CSIDL_FLAG_CREATE, nullptr, SHGFP_TYPE_CURRENT, path)) ||
        path[0] == L'\0')
        return {};
    std::wstring folder(path);
    if (folder.back() != L'\\')
        folder.push_back(L'\\');
    folder += L"Dravel On\\";
    if (!::CreateDirectoryW(folder.c_str(), nullptr) && ::GetLastError() != ERROR_ALREADY_EXISTS)
        return {};
    return folder;
}

std::wstring CSessionHost::DownloadFolder() const {
    wchar_t path[MAX_PATH] = {};
    // No documents folder, no download: never the program's folder instead.
    if (FAILED(::SHGetFolderPathW(nullptr, CSIDL_PERSONAL, nullptr, SHGFP_TYPE_CURRENT, path)) || path[0] == L'\0')
        return {};
    std::wstring folder(path);
    if (!folder.empty() && folder.back() != L'\\')
        folder.push_back(L'\\');
    return folder;
}

void CSessionHost::SetUpSharedNotifier() {
    const NotifierStyle& s = kSharedNotifierStyle;
    if (!m_notifierShared.Create(m_window.Handle(), 0))
        return;
    m_notifierShared.LoadSkin(static_cast<UINT>(s.nSkinBitmap), s.nTransparentRed, s.nTransparentGreen,
                              s.nTransparentBlue);
    m_notifierShared.SetFonts(s.pszFontFace, s.nFontSize, s.nNormalStyle, s.nHoverStyle);
    m_notifierShared.SetTextColours(s.nNormalColour, s.nHoverColour);
    m_notifierShared.SetTextArea(RECT{s.nTextLeft, s.nTextTop,
                                      m_notifierShared.GetLogicalSkinWidth() - s.nTextRightInset,
                                      m_notifierShared.GetLogicalSkinHeight() - s.nTextBottomInset});
}

uint32_t CSessionHost::TickCount() {
    return ::GetTickCount();
}

void CSessionHost::StopSound() {
    StopAlertSound();
}

void CSessionHost::PlaySound() {
    if (m_strSoundFile.empty())
        return;
    // Playing again starts the sound from its beginning, whatever was playing before.
    PlayAlertSound(m_strSoundFile);
}

bool CSessionHost::ShowSlotPopup(const PopupRequest& request) {
    if (request.nInstance < 0 || request.nInstance >= kPopupSlots)
        return false;
    const NotifierStyle s = SlotPopupStyle(request.kind);
    auto notifier = std::make_unique<CTaskbarNotifier>();
    if (!notifier->Create(m_window.Handle(), request.nInstance))
        return false;
    notifier->LoadSkin(static_cast<UINT>(s.nSkinBitmap), s.nTransparentRed, s.nTransparentGreen, s.nTransparentBlue);
    notifier->SetFonts(s.pszFontFace, s.nFontSize, s.nNormalStyle, s.nHoverStyle);
    notifier->SetTextColours(s.nNormalColour, s.nHoverColour);
    notifier->SetTextArea(RECT{s.nTextLeft, s.nTextTop, notifier->GetLogicalSkinWidth() - s.nTextRightInset,
                               notifier->GetLogicalSkinHeight() - s.nTextBottomInset});
    notifier->m_strClickData = request.strClickData;
    notifier->Show(std::string_view(request.strText), request.nShowMs, request.nStayMs, request.nHideMs,
                   request.nFifth);
    // The window's own text carries what it shows, for screen readers and the test driver.
    ::SetWindowTextW(notifier->GetHwnd(), Cp949ToWide(request.strText).c_str());
    m_pPopup[static_cast<size_t>(request.nInstance)] = std::move(notifier);
    return true;
}

void CSessionHost::ShowSharedPopup(const PopupRequest& request) {
    if (!m_notifierShared.IsWindow())
        return;
    m_notifierShared.Show(std::string_view(request.strText), request.nShowMs, request.nStayMs, request.nHideMs,
                          request.nFifth);
    ::SetWindowTextW(m_notifierShared.GetHwnd(), Cp949ToWide(request.strText).c_str());
}

void CSessionHost::DeleteSlotPopup(int nSlot) {
    if (nSlot >= 0 && nSlot < kPopupSlots)
        m_pPopup[static_cast<size_t>(nSlot)].reset();
}

void CSessionHost::OnNotifierClick(WPARAM wParam, LPARAM lParam) {
    // The message's pointer is only compared, never read: the click data is copied out of our own
    // notifier of that slot, and a click on the shared notifier (same number 0, other data) has none.
    const int n = static_cast<int>(wParam);
    std::string data;
    if (n < 0 || n >= kPopupSlots)
        return;
    {
        if (const CTaskbarNotifier* p = m_pPopup[static_cast<size_t>(n)].get();
            p && reinterpret_cast<const char*>(lParam) == p->m_strClickData.c_str())
            data = p->m_strClickData;
    }
    m_popups.OnClick(n, data);
}

} // namespace dravel::win
