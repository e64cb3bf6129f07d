#pragma once

// The conversation window "Messanger - <peer>": the exchange with one peer as speech bubbles in an
// HTML list, the message edit, send and attach. Every decision (wrapping, items, log lines, the file
// key of a clicked item) is CConversation's; this class keeps what needs the window system.
//
// The main window makes one per slot of its window table, modeless and owned by it, and keeps it for
// the rest of the session: closing only hides it. Sequence of the main window on a new conversation:
//     auto dlg = std::make_unique<CMessageDlg>(owner);   // or (owner, services)
//     dlg->Create(mainWindow);            // hidden
//     dlg->SetPeer(key, peerId); dlg->SetOpened(true);
//     dlg->ShowWindow(SW_SHOWNOACTIVATE);
//     dlg->OpenLog(); owner sends the history request.
// Inbound records reach it through ConversationTarget. Texts are code page 949 bytes. The history list is
// the child window IDC_HISTORY_LIST (2000), an HTMLListCtrl: its items are read through that control.

#include "win/base/Dialog.h"
#include "win/conversation/ConversationServices.h"

#include "core/session/Dispatch.h"

#include <cstdint>
#include <ctime>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace dravel::win {

// What a conversation window needs of the main window and the connection.
class ConversationOwner {
public:
    virtual ~ConversationOwner() = default;
    // Whether the application has a server connection object; without one nothing is requested.
    virtual bool HasConnection() const = 0;
    // Between a lost connection and the next granted login: messages then wait, files are refused.
    virtual bool IsConnectionAway() const = 0;
    // Orders the messages waiting in all windows.
    virtual uint64_t NextWaitingOrder() = 0;
    // True when the connection took the message; false when it could not go out.
    virtual bool SendPrivateMessage(const std::string& peerName, const std::string& peerId,
                                    const std::string& text) = 0;
    virtual void SendFileOffer(const std::string& peerName, const std::string& peerId, const std::string& path) = 0;
    // bIncoming: a file the peer offered (true) or one the local user sent (false).
    virtual void SendFileAnswer(const std::string& peerName, const std::string& peerId, const std::string& fileKey,
                                bool bIncoming) = 0;
    // The server host the transfer windows connect to (ports 8201 and 8202).
    virtual std::string TransferHost() const = 0;
    // The local user's login ID, as the connection holds it.
    virtual std::string OwnUserId() const = 0;
    // Folder of the conversation logs (the program's folder) and of downloads (the documents folder).
    virtual std::wstring LogFolder() const = 0;
    // Where the logs go when the program's folder cannot be written (the user's local application data
    // folder, "Dravel On" in it); empty when there is none.
    virtual std::wstring UserLogFolder() const = 0;
    virtual std::wstring DownloadFolder() const = 0;
    // The window became the active one: its messages are read.
    virtual void OnConversationActivated(const std::string& /*peerName*/) {}
    // "알림 끄기": no pop-up and no sound for the peer's messages; kept per user and peer.
    virtual bool IsPeerMuted(const std::string& /*peerId*/) const { return false; }
    virtual void SetPeerMuted(const std::string& /*peerId*/, bool /*bMuted*/) {}
};

class CMessageDlg : public CDialog {
public:
    // The services stay the owner's and outlive the window; without them the window uses the program's.
    explicit CMessageDlg(ConversationOwner& owner,
                         const ConversationServices& services = ConversationServices::Default());
    ~CMessageDlg() override;

    // Creates the window from template 139, hidden, owned by parent.
    bool Create(HWND parent);

    void SetPeer(const std::string& peerName, const std::string& peerId);
    const std::string& PeerName() const;
    const std::string& PeerId() const;
    void SetOpened(bool bOpened);
    // Appends " - " and the peer name to the title and opens the conversation log.
    void OpenLog();
    // A history request for this window went out: one reply is taken for it.
    void NoteHistoryRequest();
    // Messages typed while the connection was away, waiting to go out.
    size_t WaitingCount() const;
    std::optional<uint64_t> OldestWaiting() const;
    // Sends the oldest of them; true when it went out.
    bool SendOldestWaiting();

    // Where the inbound records of this conversation go: its core conversation, which tells the window.
    ConversationTarget& Records();
    bool IsOpened() const;
    bool IsVisible() const;
    // Shows the window without activating it, brings it to the top and makes it topmost.
    void Raise();
    // Shown, in front and active, with the keyboard in the message edit: the user asked for this window.
    void BringToUser();
    // A message came while the window shows but is not active: its taskbar button flashes a few times and
    // stays highlighted until the window is activated.
    void AskForAttention();
    bool IsAskingForAttention() const;

protected:
    LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;
    BOOL OnInitDialog() override;
    void OnOK() override;
    void OnCancel() override;
    bool OnCommand(int id, int code, HWND hwndCtl) override;
    void OnSysCommand(UINT cmd, LPARAM lParam) override;
    LRESULT OnNotify(int id, NMHDR& hdr) override;
    bool OnDialogKey(const MSG& msg) override;
    void OnPaint() override;
    void OnDestroy() override;

    void OnSend();
    void OnAttach();
    // Offers the file as the clip button does, after the same checks.
    void OfferFile(const std::wstring& path);
    // Files pasted or dropped: folders are refused, several ask once, each is then offered.
    void OfferFiles(const std::vector<std::wstring>& paths);
    // Ctrl+C and "복사" on the history: the selected item's text as Unicode text.
    void CopySelectedItem();
    void OnItemClick(int index, const std::string& itemText);

private:
    // What the records of the conversation need of the window: the transfer windows and the box.
    bool RunUpload(const std::string& path, const std::string& stamp);
    void ShowDuplicateFile();
    void ReceiveFile(const std::string& fileName, bool bOpenAfter);
    void OnHistoryContextMenu(LPARAM lParam);
    // The user has the window in front: its messages are read and the taskbar button goes quiet.
    void OnActivated();
    void StopAskingForAttention();

    // The history's icons at the window's dpi, given to the list.
    void MakeImages();
    // WM_DPICHANGED: the window takes the suggested rectangle; icons, history list and attach button follow.
    void OnDpiChanged(int dpi, const RECT* suggested);

    struct Impl;
    ConversationOwner& m_owner;
    const ConversationServices& m_services;
    std::unique_ptr<Impl> m_pImpl;
};

} // namespace dravel::win
