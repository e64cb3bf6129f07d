#include "win/conversation/MessageDlg.h"

#include "win/base/Handles.h"
#include "win/base/MessageBox.h"
#include "win/base/Messages.h"
#include "win/base/Text.h"
#include "win/conversation/ConversationInput.h"
#include "win/conversation/FindBar.h"
#include "win/transfer/FileTransferDlg.h"
#include "win/ui/Dpi.h"
#include "win/ui/GdiHelpers.h"
#include "win/ui/HTMLListCtrl.h"
#include "win/ui/ThemedSkinButton.h"
#include "win/ui/VisualStyle.h"

#include "core/conversation/Conversation.h"
#include "core/conversation/ConversationWindow.h"
#include "core/conversation/ReceivedFile.h"
#include "core/session/ConversationRecords.h"

#include "win/res/resource.h"

#include <commctrl.h>
#include <shellapi.h>
#include <shlobj.h>
#include <windowsx.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <utility>

namespace dravel::win {

namespace {

constexpr int kMessageLimit = 254;
// The side images of the history list: 0 the peer, 1 the own side.
constexpr int kSmallIconSize = 16;
constexpr int kImagesInitial = 4;
constexpr int kImagesGrowBy = 4;
// The attach button's hovered or pressed colour: the button face raised by this much in each channel.
constexpr int kActiveLighter = 0x1E;
// How often the taskbar button flashes for a message before it stays highlighted.
constexpr UINT kAttentionFlashes = 3;

CLocalTime FromSystemTime(const SYSTEMTIME& st) {
    return CLocalTime{st.wYear, st.wMonth, st.wDay, st.wHour, st.wMinute, st.wSecond};
}

CLocalTime Now() {
    SYSTEMTIME st{};
    ::GetLocalTime(&st);
    return FromSystemTime(st);
}

// A record's time as local time; a time the C library cannot break down counts as now.
CLocalTime ToLocal(std::time_t t) {
    std::tm tm{};
    if (localtime_s(&tm, &t) != 0)
        return Now();
    return CLocalTime{tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec};
}

HICON LoadIconSized(UINT id, int size) {
    return static_cast<HICON>(
        ::LoadImageW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(id), IMAGE_ICON, size, size, LR_DEFAULTCOLOR));
}

std::wstring JoinPath(std::wstring folder, const std::wstring& name) {
    while (!folder.empty() && (folder.back() == L'\\' || folder.back() == L'/'))
        folder.pop_back();
    return folder + L"\\" + name;
}

// Windows' own verdict on a file type, where the system has one (shlwapi of Vista and later).
bool SystemCallsDangerous(const std::wstring& path) {
    const size_t dot = path.find_last_of(L'.');
    const size_t slash = path.find_last_of(L"\\/");
    if (dot == std::wstring::npos || (slash != std::wstring::npos && dot < slash))
        return false;
    using AssocIsDangerousFn = BOOL(WINAPI*)(PCWSTR);
    // Loaded once and kept for the life of the program; its owner frees it at exit.
    static const CModuleHandle shlwapi(::LoadLibraryW(L"shlwapi.dll"));
    static const auto fn = shlwapi ? reinterpret_cast<AssocIsDangerousFn>(
                                         reinterpret_cast<void*>(::GetProcAddress(shlwapi.Get(), "AssocIsDangerous")))
                                   : nullptr;
    return fn != nullptr && fn(path.substr(dot).c_str()) != FALSE;
}

// Shows a received file selected in its folder instead of running it. Explorer is named by its full
// path: by its bare name it would be looked for first in the current folder, where anything may lie.
void ShowInFolder(HWND owner, const std::wstring& path) {
    const std::unique_ptr<ITEMIDLIST, decltype(&::ILFree)> item(::ILCreateFromPathW(path.c_str()), &::ILFree);
    if (item && SUCCEEDED(::SHOpenFolderAndSelectItems(item.get(), 0, nullptr, 0)))
        return;
    wchar_t windows[MAX_PATH] = {};
    const UINT n = ::GetWindowsDirectoryW(windows, MAX_PATH);
    if (n == 0 || n >= MAX_PATH)
        return;
    const std::wstring explorer = JoinPath(std::wstring(windows, n), L"explorer.exe");
    const std::wstring parameters = L"/select,\"" + path + L"\"";
    ::ShellExecuteW(owner, L"open", explorer.c_str(), parameters.c_str(), nullptr, SW_SHOWNORMAL);
}

// The length of a folder's path as the file functions count it, without a trailing separator.
size_t FolderChars(std::wstring folder) {
    while (!folder.empty() && (folder.back() == L'\\' || folder.back() == L'/'))
        folder.pop_back();
    return folder.size();
}

// The start log's name, the program's with ".Log" for its type: it lies in the folders of the
// conversation logs.
std::wstring StartLogName() {
    wchar_t path[MAX_PATH] = {};
    const DWORD n = ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    if (n == 0 || n >= MAX_PATH)
        return {};
    std::wstring name(path, n);
    name.erase(0, name.find_last_of(L"\\/") + 1);
    return name.substr(0, name.rfind(L'.')) + L".Log";
}

// The stream that marks a received file as downloaded: its path is the file's with this after it.
constexpr std::wstring_view kZoneStream = L":Zone.Identifier";

// Marks a received file as coming from the Internet zone, so that Windows warns before running it and
// Office opens it protected. Only where the file system keeps named streams: elsewhere the stream name
// would not be a stream at all.
void MarkAsDownloaded(const std::wstring& path) {
    wchar_t volume[MAX_PATH] = {};
    DWORD flags = 0;
    if (!::GetVolumePathNameW(path.c_str(), volume, MAX_PATH) ||
        !::GetVolumeInformationW(volume, nullptr, 0, nullptr, nullptr, &flags, nullptr, 0) ||
        (flags & FILE_NAMED_STREAMS) == 0)
        return;
    CKernelHandle stream(::CreateFileW((path + std::wstring(kZoneStream)).c_str(), GENERIC_WRITE, 0, nullptr,
                                       CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!stream)
        return;
    static const char kZone[] = "[ZoneTransfer]\r\nZoneId=3\r\n";
    DWORD written = 0;
    ::WriteFile(stream.Get(), kZone, sizeof kZone - 1, &written, nullptr);
}

bool SameFolder(std::wstring a, std::wstring b) {
    for (std::wstring* s : {&a, &b}) {
        while (!s->empty() && (s->back() == L'\\' || s->back() == L'/'))
            s->pop_back();
    }
    return !a.empty() && ::CompareStringOrdinal(a.c_str(), -1, b.c_str(), -1, TRUE) == CSTR_EQUAL;
}

// The message edit: Enter sends (whether or not the send button is enabled yet) and never becomes a
// line break.
class CMessageEdit : public CWindow {
public:
    std::function<void()> m_onEnter;
    // Ctrl+V with files on the clipboard (Explorer's Copy): they are offered, not pasted as text.
    std::function<void(std::vector<std::wstring>)> m_onPasteFiles;

protected:
    LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) override {
        switch (msg) {
        case WM_GETDLGCODE:
            // The dialog manager must hand Enter to the edit rather than press the default button.
            return Default() | DLGC_WANTALLKEYS;
        case WM_KEYDOWN:
            if (wParam == VK_RETURN) {
                if (m_onEnter)
                    m_onEnter();
                return 0;
            }
            break;
        case WM_CHAR:
            if (wParam == L'\r' || wParam == L'\n')
                return 0;
            break;
        case WM_PASTE:
            if (m_onPasteFiles)
                if (std::optional<std::vector<std::wstring>> files = ClipboardFiles(m_hWnd)) {
                    m_onPasteFiles(std::move(*files));
                    return 0;
                }
            break; // text, as the edit pastes it (a spreadsheet's cells come as their text, never a picture)
        default:
            break;
        }
        return CWindow::HandleMessage(msg, wParam, lParam);
    }
};

ConversationTexts LoadConversationTexts() {
    return ConversationTexts{
        .strUnsent = WideToCp949(LoadResString(IDS_CONV_UNSENT)),
        .strHistoryOmitted = WideToCp949(LoadResString(IDS_CONV_HISTORY_OMITTED)),
        .strWaiting = WideToCp949(LoadResString(IDS_CONV_WAITING)),
    };
}

} // namespace

struct CMessageDlg::Impl final : HistoryView, ConversationWindowOps {
    explicit Impl(CMessageDlg& dlg)
        : m_dlg(dlg), m_conversation(*this, m_log, LoadConversationTexts()), m_records(m_conversation, *this) {}

    // ConversationWindowOps
    bool IsVisible() const override { return m_dlg.IsVisible(); }
    void Raise() override { m_dlg.Raise(); }
    CLocalTime LocalTime(std::time_t t) const override { return ToLocal(t); }
    bool RunUpload(const std::string& path, const std::string& stamp) override { return m_dlg.RunUpload(path, stamp); }
    void ShowDuplicateFile() override { m_dlg.ShowDuplicateFile(); }
    void ReceiveFile(const std::string& fileName, bool bOpenAfter) override { m_dlg.ReceiveFile(fileName, bOpenAfter); }

    // HistoryView
    int AddItem(const std::string& html, HistorySide side) override {
        if (!m_list.IsWindow())
            return -1;
        const bool bPeer = side == HistorySide::Peer;
        const int index = m_list.AddItem(html, bPeer ? 0 : 1, HLT_HTML, 0);
        m_list.SetCheck(index, bPeer ? 1 : 0);
        return index;
    }
    void SetItem(int index, const std::string& html) override {
        if (m_list.IsWindow() && index >= 0 && index < m_list.GetCount()) {
            m_list.SetItemText(index, html, true);
            ::InvalidateRect(m_list.GetHwnd(), nullptr, FALSE);
        }
    }
    void ShowEnd() override {
        if (m_list.IsWindow())
            m_list.ScrollToEnd();
    }
    void FocusMessageEdit() override {
        // Only while the window is the active one: a message arriving in a window behind must not
        // take the keyboard away from where the user is typing.
        const HWND edit = m_dlg.GetDlgItem(IDC_MESSAGE_EDIT);
        if (edit != nullptr && ::GetActiveWindow() == m_dlg.GetHwnd())
            ::SetFocus(edit);
    }
    void EnableSending() override {
        ::EnableWindow(m_dlg.GetDlgItem(IDC_SEND), TRUE);
        ::EnableWindow(m_dlg.GetDlgItem(IDC_ATTACH), TRUE);
    }

    CMessageDlg& m_dlg;
    CFileConversationLog m_log;
    CConversation m_conversation;
    CConversationRecords m_records;
    HICON m_hIcon = nullptr; // the module's shared icon: the system keeps it, nobody destroys it
    CImageListHandle m_images;
    int m_nDpi = kDefaultDpi;
    HTMLListCtrl m_list;
    CFindBar m_find{m_dlg, m_list};
    CMessageEdit m_edit;
    CVisualStyle m_visualStyle;
    CThemedSkinButton m_btnAttach;
    // The pause after a message: a send asked for meanwhile waits for its end.
    bool m_bPausing = false;
    // Files an OLE drag dropped, waiting for kFilesDroppedMessage.
    std::vector<std::wstring> m_droppedFiles;
    CFileDropTarget m_dropTarget{[this](std::vector<std::wstring> files) {
        m_droppedFiles = std::move(files);
        ::PostMessageW(m_dlg.GetHwnd(), kFilesDroppedMessage, 0, 0);
    }};
    // The taskbar button was asked to flash and has not been answered by an activation yet.
    bool m_bAskingForAttention = false;
    bool m_bSendWaiting = false;
    // The click waiting to be answered.
    int m_nClickedIndex = -1;
    // The mouse went down in the history list: the selection that follows is a click.
    bool m_bListPressed = false;
    std::string m_strClickedText;
    // The link it used: the one under the click, the item's first for Enter, -1 for none.
    int m_nClickedLink = -1;
};

CMessageDlg::CMessageDlg(ConversationOwner& owner, const ConversationServices& services)
    : CDialog(IDD_MESSAGE), m_owner(owner), m_services(services), m_pImpl(new Impl(*this)) {
    m_pImpl->m_hIcon = ::LoadIconW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDR_MAINFRAME));
}

CMessageDlg::~CMessageDlg() {
    // The controls go before the image list and the log they use.
    DestroyWindow();
    m_pImpl->m_images.Reset();
    m_pImpl->m_log.Close();
}

bool CMessageDlg::Create(HWND parent) {
    return CDialog::Create(parent);
}

void CMessageDlg::SetPeer(const std::string& peerName, const std::string& peerId) {
    m_pImpl->m_conversation.SetPeer(peerName, peerId);
}
const std::string& CMessageDlg::PeerName() const {
    return m_pImpl->m_conversation.PeerName();
}
const std::string& CMessageDlg::PeerId() const {
    return m_pImpl->m_conversation.PeerId();
}
void CMessageDlg::SetOpened(bool bOpened) {
    m_pImpl->m_conversation.SetOpened(bOpened);
}
bool CMessageDlg::IsOpened() const {
    return m_pImpl->m_conversation.IsOpened();
}
bool CMessageDlg::IsVisible() const {
    return m_hWnd != nullptr && ::IsWindowVisible(m_hWnd);
}
void CMessageDlg::OpenLog() {
    if (m_hWnd != nullptr)
        SetText(GetText() + L" - " + Cp949ToWide(PeerName()));
    if (m_pImpl->m_log.IsOpen())
        return;
    const auto name = LogFileName(PeerId(), m_owner.OwnUserId());
    if (!name)
        return; // the window works without a log
    // A peer ID that is the program's name would move the start log into the conversation's.
    std::wstring oldName = OldLogFileName(PeerId()) ? Cp949ToWide(*OldLogFileName(PeerId())) : std::wstring();
    if (!oldName.empty() && ::CompareStringOrdinal(oldName.c_str(), -1, StartLogName().c_str(), -1, TRUE) == CSTR_EQUAL)
        oldName.clear();
    // Beside the program, where logs have always been and are still appended to; where a standard user
    // cannot write there (under Program Files), in the user's own folder, under the same names.
    for (const std::wstring& folder : {m_owner.LogFolder(), m_owner.UserLogFolder()}) {
        if (folder.empty())
            continue;
        const std::filesystem::path newPath(JoinPath(folder, Cp949ToWide(*name)));
        const std::filesystem::path oldPath(oldName.empty() ? std::wstring() : JoinPath(folder, oldName));
        if (m_pImpl->m_log.Open(newPath, oldPath))
            return;
    }
}

void CMessageDlg::BringToUser() {
    if (m_hWnd == nullptr)
        return;
    ShowWindow(SW_SHOWNORMAL);
    ::SetForegroundWindow(m_hWnd);
    SendMessage(WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(GetDlgItem(IDC_MESSAGE_EDIT)), TRUE);
}

void CMessageDlg::Raise() {
    if (m_hWnd == nullptr)
        return;
    ShowWindow(SW_SHOWNOACTIVATE);
    ::SetWindowPos(m_hWnd, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

ConversationTarget& CMessageDlg::Records() {
    return m_pImpl->m_records;
}

void CMessageDlg::NoteHistoryRequest() {
    m_pImpl->m_conversation.NoteHistoryRequest();
}

size_t CMessageDlg::WaitingCount() const {
    return m_pImpl->m_conversation.WaitingCount();
}

std::optional<uint64_t> CMessageDlg::OldestWaiting() const {
    return m_pImpl->m_conversation.OldestWaiting();
}

bool CMessageDlg::SendOldestWaiting() {
    return m_pImpl->m_conversation.SendOldestWaiting(
        [this](std::string_view text) {
            return m_owner.HasConnection() && m_owner.SendPrivateMessage(PeerName(), PeerId(), std::string(text));
        },
        Now());
}

LRESULT CMessageDlg::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_QUERYDRAGICON:
        return reinterpret_cast<LRESULT>(m_pImpl->m_hIcon);
    case WM_DPICHANGED:
        OnDpiChanged(DpiFromChangedMessage(wParam), reinterpret_cast<const RECT*>(lParam));
        return 0;
    case WM_TIMER:
        if (wParam == kSendPauseTimer) {
            ::KillTimer(m_hWnd, kSendPauseTimer);
            m_pImpl->m_bPausing = false;
            if (std::exchange(m_pImpl->m_bSendWaiting, false))
                OnSend();
            return 0;
        }
        break;
    case WM_ACTIVATE:
        // A dialog may be made active while it is still hidden, as it is created: that reads nothing.
        if (LOWORD(wParam) != WA_INACTIVE && ::IsWindowVisible(m_hWnd))
            OnActivated();
        break;
    case WM_DROPFILES:
        OfferFiles(DroppedFiles(reinterpret_cast<HDROP>(wParam)));
        return 0;
    case kFilesDroppedMessage:
        OfferFiles(std::exchange(m_pImpl->m_droppedFiles, {}));
        return 0;
    case WM_CONTEXTMENU:
        if (reinterpret_cast<HWND>(wParam) == m_pImpl->m_list.GetHwnd()) {
            OnHistoryContextMenu(lParam);
            return 0;
        }
        break;
    case WM_SHOWWINDOW:
        // Shown while it is the active window already (activated hidden, as it was created).
        if (wParam != 0 && ::GetActiveWindow() == m_hWnd)
            OnActivated();
        break;
    case WM_INITMENUPOPUP:
        // The window menu shows whether the peer is muted.
        if (HIWORD(lParam) != 0)
            ::CheckMenuItem(reinterpret_cast<HMENU>(wParam), ID_ATTENTION_MUTE,
                            MF_BYCOMMAND | (m_owner.IsPeerMuted(PeerId()) ? MF_CHECKED : MF_UNCHECKED));
        break;
    case kHistoryItemClickMessage: {
        const int index = m_pImpl->m_nClickedIndex;
        const std::string text = std::move(m_pImpl->m_strClickedText);
        m_pImpl->m_nClickedIndex = -1;
        m_pImpl->m_strClickedText.clear();
        const int link = std::exchange(m_pImpl->m_nClickedLink, -1);
        if (const std::optional<std::string> address = m_pImpl->m_conversation.LinkToOpen(index, link)) {
            m_services.OpenAddress(m_hWnd, Cp949ToWide(*address));
            return 0;
        }
        OnItemClick(index, text);
        return 0;
    }
    default:
        break;
    }
    return CDialog::HandleMessage(msg, wParam, lParam);
}

void CMessageDlg::MakeImages() {
    Impl& d = *m_pImpl;
    const int size = ScaleForDpi(kSmallIconSize, d.m_nDpi);
    d.m_images.Reset(::ImageList_Create(size, size, ILC_COLOR24 | ILC_MASK, kImagesInitial, kImagesGrowBy));
    for (UINT id : {IDI_USER_ONLINE, IDI_USER_SELF}) {
        CIconHandle icon(LoadIconSized(id, size));
        if (d.m_images && (!icon || ::ImageList_AddIcon(d.m_images.Get(), icon.Get()) < 0)) {
            // A missing picture leaves its place empty so the own side keeps image 1.
            CBitmapHandle blank(::CreateBitmap(size, size, 1, 32, nullptr));
            ::ImageList_Add(d.m_images.Get(), blank.Get(), nullptr);
        }
    }
}

void CMessageDlg::OnDpiChanged(int dpi, const RECT* suggested) {
    Impl& d = *m_pImpl;
    if (suggested != nullptr)
        MoveToSuggestedRect(m_hWnd, reinterpret_cast<LPARAM>(suggested));
    if (dpi == d.m_nDpi)
        return;
    d.m_nDpi = dpi;
    // The old images stay with the list until it has the new ones.
    CImageListHandle old = std::move(d.m_images);
    MakeImages();
    d.m_list.SetImageList(d.m_images.Get());
    for (HWND child = ::GetWindow(m_hWnd, GW_CHILD); child != nullptr; child = ::GetWindow(child, GW_HWNDNEXT))
        ::SendMessageW(child, WM_DPICHANGED_AFTERPARENT, MAKEWPARAM(dpi, dpi), 0);
    // The template's controls are the dialog manager's to scale; the list keeps its place above the edit.
    std::optional<int> editTop;
    RECT rcEdit{};
    if (::GetWindowRect(GetDlgItem(IDC_MESSAGE_EDIT), &rcEdit)) {
        ::MapWindowPoints(nullptr, m_hWnd, reinterpret_cast<POINT*>(&rcEdit), 2);
        editTop = rcEdit.top;
    }
    const TextRect place = HistoryListPlace(editTop, GetClientRect().right, dpi);
    ::SetWindowPos(d.m_list.GetHwnd(), nullptr, place.left, place.top, place.Width(), place.Height(),
                   SWP_NOZORDER | SWP_NOACTIVATE);
    d.m_find.Layout(); // an open find bar takes its row back from the history
}

BOOL CMessageDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    Impl& d = *m_pImpl;
    if (d.m_hIcon != nullptr) {
        SendMessage(WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(d.m_hIcon));
        SendMessage(WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(d.m_hIcon));
    }

    const HWND edit = GetDlgItem(IDC_MESSAGE_EDIT);
    ::SendMessageW(edit, EM_LIMITTEXT, kMessageLimit, 0);
    if (d.m_edit.Subclass(edit)) {
        d.m_edit.m_onEnter = [this] { OnSend(); };
        d.m_edit.m_onPasteFiles = [this](std::vector<std::wstring> files) { OfferFiles(files); };
    }
    ::DragAcceptFiles(m_hWnd, TRUE);
    // Explorer's drags come through OLE where the thread has it; the drag's source waits for the drop,
    // so the files are offered (and their questions asked) once it has returned.
    d.m_dropTarget.Register(m_hWnd);

    d.m_nDpi = WindowDpi(m_hWnd);
    if (!d.m_images)
        MakeImages();

    std::optional<int> editTop;
    RECT rcEdit{};
    if (edit != nullptr && ::GetWindowRect(edit, &rcEdit)) {
        ::MapWindowPoints(nullptr, m_hWnd, reinterpret_cast<POINT*>(&rcEdit), 2);
        editTop = rcEdit.top;
    }
    const TextRect place = HistoryListPlace(editTop, GetClientRect().right, d.m_nDpi);
    const RECT rcList{place.left, place.top, place.right, place.bottom};
    d.m_list.m_onCopy = [this] { CopySelectedItem(); };
    if (d.m_list.Create(m_hWnd, rcList, IDC_HISTORY_LIST,
                        WS_CHILD | WS_VISIBLE | WS_BORDER | WS_VSCROLL | WS_TABSTOP)) {
        d.m_list.SetImageList(d.m_images.Get());
        d.m_list.SetStyle(HLS_IMAGES);
        // First in the tab order, as it is first to the eye: the history, the message, its buttons.
        ::SetWindowPos(d.m_list.GetHwnd(), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    }

    if (d.m_btnAttach.AttachDlgItem(m_hWnd, IDC_ATTACH)) {
        d.m_btnAttach.SetVisualStyle(&d.m_visualStyle);
        d.m_btnAttach.SetButtonIcons(IDI_ATTACH, IDI_ATTACH);
        d.m_btnAttach.SetStateColour(BK_ACTIVE, Lighter(::GetSysColor(COLOR_BTNFACE), kActiveLighter), true);
        d.m_btnAttach.SetTipText(LoadResString(IDS_CONV_ATTACH_TIP), true);
    }

    if (const HMENU sys = ::GetSystemMenu(m_hWnd, FALSE)) {
        ::AppendMenuW(sys, MF_SEPARATOR, 0, nullptr);
        ::AppendMenuW(sys, MF_STRING, ID_ATTENTION_MUTE, LoadResString(IDS_ATTENTION_MUTE).c_str());
    }

    // Nothing is sent before the history has arrived, except by Enter in the edit.
    ::EnableWindow(GetDlgItem(IDC_SEND), FALSE);
    ::EnableWindow(GetDlgItem(IDC_ATTACH), FALSE);
    return TRUE;
}

void CMessageDlg::OnOK() {
    // Enter outside the message edit does nothing.
}

bool CMessageDlg::OnDialogKey(const MSG& msg) {
    return m_pImpl->m_find.OnKey(msg); // Ctrl+F from anywhere in the window, and the find bar's keys
}

void CMessageDlg::OnCancel() {
    // Esc and the close box hide the window; it keeps its peer, its items and its log.
    ShowWindow(SW_HIDE);
}

bool CMessageDlg::OnCommand(int id, int code, HWND hwndCtl) {
    if (code == BN_CLICKED && id == IDC_SEND) {
        OnSend();
        return true;
    }
    if (code == BN_CLICKED && id == IDC_ATTACH) {
        OnAttach();
        return true;
    }
    if (hwndCtl == nullptr && id == ID_ATTENTION_MUTE) {
        m_owner.SetPeerMuted(PeerId(), !m_owner.IsPeerMuted(PeerId()));
        return true;
    }
    return CDialog::OnCommand(id, code, hwndCtl);
}

void CMessageDlg::OnSysCommand(UINT cmd, LPARAM lParam) {
    // The whole id: the same command as from a menu.
    if (cmd == ID_ATTENTION_MUTE) {
        m_owner.SetPeerMuted(PeerId(), !m_owner.IsPeerMuted(PeerId()));
        return;
    }
    CDialog::OnSysCommand(cmd, lParam);
}

void CMessageDlg::AskForAttention() {
    if (m_hWnd == nullptr || !::IsWindowVisible(m_hWnd))
        return;
    // A few flashes, then the button stays highlighted until the window is activated.
    FLASHWINFO info{sizeof(info), m_hWnd, FLASHW_TRAY, kAttentionFlashes, 0};
    ::FlashWindowEx(&info);
    m_pImpl->m_bAskingForAttention = true;
}

bool CMessageDlg::IsAskingForAttention() const {
    return m_pImpl->m_bAskingForAttention;
}

void CMessageDlg::OnActivated() {
    StopAskingForAttention();
    m_owner.OnConversationActivated(PeerName());
}

void CMessageDlg::StopAskingForAttention() {
    if (!std::exchange(m_pImpl->m_bAskingForAttention, false) || m_hWnd == nullptr)
        return;
    FLASHWINFO info{sizeof(info), m_hWnd, FLASHW_STOP, 0, 0};
    ::FlashWindowEx(&info);
}

LRESULT CMessageDlg::OnNotify(int id, NMHDR& hdr) {
    if (id != IDC_HISTORY_LIST || hdr.hwndFrom != m_pImpl->m_list.GetHwnd())
        return CDialog::OnNotify(id, hdr);
    if (hdr.code == HLN_PRESS) {
        m_pImpl->m_bListPressed = true;
        return 0;
    }
    // A click (a press, then the selection) or Enter uses an item; the arrow keys only move the selection:
    // going through the history with them asks nothing.
    const bool bClicked = hdr.code == HLN_SELECT && std::exchange(m_pImpl->m_bListPressed, false);
    if (bClicked || hdr.code == HLN_ACTIVATE) {
        const auto& notify = reinterpret_cast<const HtmlListNotify&>(hdr);
        if (notify.nIndex < 0)
            return 0;
        // A question box inside the list's mouse handling would run the list's click re-entrantly.
        m_pImpl->m_nClickedIndex = notify.nIndex;
        m_pImpl->m_strClickedText = notify.strText;
        m_pImpl->m_nClickedLink = bClicked ? m_pImpl->m_list.LinkAtPress(notify.nIndex) : 0;
        PostMessage(kHistoryItemClickMessage);
    }
    return 0; // right click, double click and check are not used here
}

void CMessageDlg::OnPaint() {
    if (!::IsIconic(m_hWnd)) {
        CDialog::OnPaint();
        return;
    }
    CPaintDc dc(m_hWnd);
    if (dc.Get() == nullptr || m_pImpl->m_hIcon == nullptr)
        return;
    const RECT rc = GetClientRect();
    const int cx = ::GetSystemMetrics(SM_CXICON);
    const int cy = ::GetSystemMetrics(SM_CYICON);
    ::DrawIcon(dc.Get(), (rc.right - rc.left - cx + 1) / 2, (rc.bottom - rc.top - cy + 1) / 2, m_pImpl->m_hIcon);
}

void CMessageDlg::OnDestroy() {
    m_pImpl->m_dropTarget.Revoke();
    m_pImpl->m_btnAttach.SetVisualStyle(nullptr);
    CDialog::OnDestroy();
}

void CMessageDlg::OnSend() {
    Impl& d = *m_pImpl;
    if (d.m_bPausing) {
        // Sent when the pause after the previous message ends; the text stays in the edit until then.
        d.m_bSendWaiting = true;
        return;
    }
    const std::wstring typed = GetDlgItemText(IDC_MESSAGE_EDIT);
    // Nothing goes out with a "?" the user did not type: the user is told and the text stays.
    if (RefuseUncarriedText(m_hWnd, GetDlgItem(IDC_MESSAGE_EDIT), typed))
        return;
    const std::string text = WideToCp949(typed);
    const SendCheck check = d.m_conversation.CheckMessage(text);
    if (check == SendCheck::Forbidden) {
        AppMessageBox(m_hWnd, LoadResString(IDS_CONV_FORBIDDEN), MB_OK);
        d.FocusMessageEdit();
        return;
    }
    SetDlgItemText(IDC_MESSAGE_EDIT, L"");
    if (check == SendCheck::Nothing) {
        d.FocusMessageEdit();
        return;
    }
    if (m_owner.IsConnectionAway()) {
        // Goes out, in order, once the connection is back.
        d.m_conversation.QueueMessage(text, Now(), m_owner.NextWaitingOrder());
        d.FocusMessageEdit();
        return;
    }
    const bool bSent = m_owner.HasConnection() && m_owner.SendPrivateMessage(PeerName(), PeerId(), text);
    if (!bSent && m_owner.IsConnectionAway()) {
        // The send found the connection dead: the message waits for the next one like any other.
        d.m_conversation.QueueMessage(text, Now(), m_owner.NextWaitingOrder());
        d.FocusMessageEdit();
        return;
    }
    if (!bSent) {
        // Neither sent nor logged, and the item says so.
        d.m_conversation.ShowUnsentMessage(text, Now());
        d.FocusMessageEdit();
        return;
    }
    d.m_conversation.ShowSentMessage(text, Now(), true);
    m_services.Beep();
    if (const unsigned pauseMs = m_services.SendPauseMs(); pauseMs > 0) {
        // Messages sent in a row keep apart, without holding up the window: the next Enter waits.
        d.m_bPausing = true;
        ::SetTimer(m_hWnd, kSendPauseTimer, pauseMs, nullptr);
    }
    d.FocusMessageEdit();
}

void CMessageDlg::OnAttach() {
    Impl& d = *m_pImpl;
    if (m_owner.IsConnectionAway()) {
        // A file is offered live or not at all: it never waits for the connection.
        AppMessageBox(m_hWnd, LoadResString(IDS_CONV_FILE_AWAY), MB_OK | MB_ICONEXCLAMATION);
        return;
    }
    const std::optional<std::wstring> path = m_services.ChooseFile(m_hWnd);
    if (path && !path->empty())
        OfferFile(*path);
}

void CMessageDlg::OfferFile(const std::wstring& path) {
    if (PeerName().empty())
        return;
    const std::string path949 = WideToCp949(path);
    if (Cp949ToWide(path949) != path) {
        // The server and the upload know the path only in code page 949.
        AppMessageBox(m_hWnd, LoadResString(IDS_CONV_PATH_UNSENDABLE) + L"\n\n" + path, MB_OK | MB_ICONEXCLAMATION);
        return;
    }
    if (m_owner.HasConnection()) {
        m_owner.SendFileOffer(PeerName(), PeerId(), path949);
        // Only a file offered here may be uploaded when the server accepts.
        m_pImpl->m_conversation.RememberOffer(path949);
    }
}

void CMessageDlg::OfferFiles(const std::vector<std::wstring>& paths) {
    if (paths.empty())
        return;
    if (m_owner.IsConnectionAway()) {
        AppMessageBox(m_hWnd, LoadResString(IDS_CONV_FILE_AWAY), MB_OK | MB_ICONEXCLAMATION);
        return;
    }
    std::vector<std::wstring> files;
    for (const std::wstring& path : paths) {
        const DWORD attributes = ::GetFileAttributesW(path.c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
            AppMessageBox(m_hWnd, LoadResString(IDS_CONV_FOLDER_REFUSED) + L"\n\n" + path, MB_OK | MB_ICONEXCLAMATION);
        else
            files.push_back(path);
    }
    // One question for several; each is then offered as the clip button offers one.
    if (files.size() > 1 &&
        AppMessageBox(m_hWnd, FormatResString(IDS_CONV_SEND_FILES, static_cast<int>(files.size())),
                      MB_YESNO | MB_ICONQUESTION) != IDYES)
        return;
    for (const std::wstring& file : files)
        OfferFile(file);
    m_pImpl->FocusMessageEdit();
}

void CMessageDlg::CopySelectedItem() {
    const HTMLListCtrl& list = m_pImpl->m_list;
    const int index = list.GetSelected();
    if (index < 0)
        return;
    // A file item is its file's name; any other item what a screen reader reads of it.
    std::string text;
    if (const std::optional<CFileRequest> file = m_pImpl->m_conversation.RequestForItem(index, list.GetItemText(index)))
        text = file->strKey.substr(0, file->strKey.rfind('.'));
    else
        text = list.GetItemReadingText(index);
    std::wstring wide = Cp949ToWide(text);
    for (size_t at = wide.find(L'\n'); at != std::wstring::npos; at = wide.find(L'\n', at + 2))
        wide.insert(at, 1, L'\r');
    PutClipboardText(m_hWnd, wide);
}

void CMessageDlg::OnHistoryContextMenu(LPARAM lParam) {
    const HWND list = m_pImpl->m_list.GetHwnd();
    POINT pt{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
    if (lParam == -1) {
        // From the keyboard (Shift+F10, the menu key): under the selected item, or the list's corner.
        RECT rc = m_pImpl->m_list.GetItemRect(std::max(0, m_pImpl->m_list.GetSelected()));
        pt = {rc.left + 8, rc.top + 8};
        ::ClientToScreen(list, &pt);
    }
    CMenuHandle menu(::CreatePopupMenu());
    if (!menu)
        return;
    const UINT state = m_pImpl->m_list.GetSelected() >= 0 ? MF_ENABLED : MF_GRAYED;
    ::AppendMenuW(menu.Get(), MF_STRING | state, ID_HISTORY_COPY, LoadResString(IDS_CONV_COPY).c_str());
    if (::TrackPopupMenu(menu.Get(), TPM_RETURNCMD | TPM_RIGHTBUTTON, pt.x, pt.y, 0, m_hWnd, nullptr) == ID_HISTORY_COPY)
        CopySelectedItem();
}

bool CMessageDlg::RunUpload(const std::string& path, const std::string& stamp) {
    CFileTransferDlg transfer;
    transfer.m_nDirection = CFileTransferDlg::kUpload;
    transfer.m_strServerHost = m_owner.TransferHost();
    transfer.m_nPort = m_services.UploadPort();
    transfer.m_strLocalPath = Cp949ToWide(path);
    transfer.m_strStamp = stamp;
    transfer.m_strOwnId = m_owner.OwnUserId();
    transfer.m_strPeerId = PeerId();
    const bool bDone = transfer.DoModal(m_hWnd) == IDOK;
    m_pImpl->FocusMessageEdit();
    return bDone;
}

void CMessageDlg::ShowDuplicateFile() {
    AppMessageBox(m_hWnd, LoadResString(IDS_CONV_DUPLICATE), MB_OK | MB_ICONEXCLAMATION);
    m_pImpl->FocusMessageEdit();
}

void CMessageDlg::OnItemClick(int index, const std::string& itemText) {
    Impl& d = *m_pImpl;
    const std::optional<CFileRequest> request = d.m_conversation.RequestForItem(index, itemText);
    if (!request)
        return;
    const bool bOpenAfter =
        AppMessageBox(m_hWnd, LoadResString(IDS_CONV_OPEN_AFTER), MB_YESNO | MB_ICONQUESTION) == IDYES;
    if (m_owner.HasConnection()) {
        m_owner.SendFileAnswer(PeerName(), PeerId(), request->strKey, request->bIncoming);
        // The answer belongs to this file alone; only the file clicked here may be downloaded.
        d.m_conversation.RememberDownload(request->strKey, bOpenAfter);
    }
}

void CMessageDlg::ReceiveFile(const std::string& fileName, bool bOpenAfter) {
    Impl& d = *m_pImpl;
    const std::optional<bool> openAfter = bOpenAfter;
    const std::wstring folder = m_owner.DownloadFolder();
    // Never beside the program, where a file could take the program's place.
    const bool bFolderUsable = !folder.empty() && !SameFolder(folder, m_owner.LogFolder());
    const auto lookUp = [&folder](const std::string& name) {
        const DWORD attributes = ::GetFileAttributesW(JoinPath(folder, Cp949ToWide(name)).c_str());
        if (attributes == INVALID_FILE_ATTRIBUTES)
            return ExistingEntry::None;
        return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? ExistingEntry::Folder : ExistingEntry::File;
    };
    // The name leaves room for the mark's stream, so that a long name cannot take the mark away.
    const CReceivePlan plan =
        PlanReceivedFile(bFolderUsable, FolderChars(folder) + kZoneStream.size(), fileName, lookUp, Now());
    const std::wstring target = JoinPath(folder, Cp949ToWide(plan.strName));
    std::wstring refusal;
    switch (plan.step) {
    case ReceiveStep::NoFolder:
        refusal = LoadResString(IDS_CONV_NO_DOCUMENTS);
        break;
    case ReceiveStep::BadName:
        refusal = LoadResString(IDS_CONV_BAD_NAME) + L"\n\n" + Cp949ToWide(fileName);
        break;
    case ReceiveStep::CannotMove:
        refusal = LoadResString(IDS_CONV_CANNOT_MOVE) + L"\n\n" + target;
        break;
    case ReceiveStep::MoveThenLoad:
        if (!::MoveFileExW(target.c_str(), JoinPath(folder, Cp949ToWide(plan.strBackupName)).c_str(),
                           MOVEFILE_COPY_ALLOWED))
            refusal = LoadResString(IDS_CONV_CANNOT_MOVE) + L"\n\n" + target; // downloading would overwrite it
        break;
    case ReceiveStep::Download:
        break;
    }
    if (!refusal.empty()) {
        AppMessageBox(m_hWnd, refusal, MB_OK | MB_ICONEXCLAMATION);
        d.FocusMessageEdit();
        return;
    }
    CFileTransferDlg transfer;
    transfer.m_nDirection = CFileTransferDlg::kDownload;
    transfer.m_strServerHost = m_owner.TransferHost();
    transfer.m_nPort = m_services.DownloadPort();
    transfer.m_strLocalPath = target;
    if (transfer.DoModal(m_hWnd) == IDOK) {
        MarkAsDownloaded(target);
        switch (AfterCompleteDownload(*openAfter, plan, *openAfter && SystemCallsDangerous(target))) {
        case AfterDownload::Open:
            m_services.OpenFile(m_hWnd, target);
            break;
        case AfterDownload::ShowInFolder:
            // A received program or script is never run: the user sees it in its folder.
            ShowInFolder(m_hWnd, target);
            break;
        case AfterDownload::KeptAsText:
            // Not even shown in its folder: Explorer would follow the paths it names.
            AppMessageBox(m_hWnd, LoadResString(IDS_CONV_KEPT_AS_TEXT) + L"\n\n" + target, MB_OK | MB_ICONINFORMATION);
            break;
        case AfterDownload::Nothing:
            break;
        }
    }
    d.FocusMessageEdit();
}

} // namespace dravel::win
