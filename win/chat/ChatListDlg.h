#pragma once

// The chat list window "대화 목록": the user's friends (tab "친구") and all users (tab "전체"), each with
// an icon that tells whether the user is on line. A double click asks the owner to open the conversation;
// the context menu adds a user to the friends or removes one. The server's replies reach the list's core
// object (Records()), which tells this window what to show through ChatListView.
//
// The main window creates it once, modeless, keeps it for the rest of its life and shows it again when
// it is asked for while hidden; "나가기", Esc and the close box only hide it, and so does Enter except on
// a user of the list, whose conversation it opens. The context-menu key and Shift+F10 open the friend
// menu of the selected user, as a right click does.

#include "win/chat/ContactListBox.h"

#include "win/ui/AnchorLayoutDlg.h"
#include "win/ui/ThemedSkinButton.h"
#include "win/ui/VisualStyle.h"

#include "core/session/ChatListRecords.h"

#include <optional>
#include <string>
#include <string_view>

namespace dravel::win {

// What the chat list needs of the main window. Texts are code page 949 bytes.
class ChatListOwner {
public:
    virtual ~ChatListOwner() = default;
    // Whether the application has a server connection object; without one nothing is requested.
    virtual bool HasConnection() const = 0;
    // COM_CHAT_LIST_COLLECT with the view's name ("친구" or "전체").
    virtual void SendChatListCollect(std::string_view view) = 0;
    virtual void SendDeleteFriend(std::string_view userId) = 0;
    virtual void SendAppendFriend(std::string_view userId) = 0;
    // The display name becomes the conversation's key. The user asked for it here: the window comes to
    // the front with the keyboard in its message.
    virtual void OpenConversationForUser(const std::string& name, const std::string& userId) = 0;
    // "알림 끄기" for a user: no pop-up and no sound for the user's messages.
    virtual bool IsPeerMuted(const std::string& /*userId*/) const { return false; }
    virtual void SetPeerMuted(const std::string& /*userId*/, bool /*bMuted*/) {}
};

class CChatListDlg : public CAnchorLayoutDlg, private ChatListView {
public:
    explicit CChatListDlg(ChatListOwner& owner) noexcept;
    ~CChatListDlg() override;

    // Where the server's replies for the list go.
    ChatListTarget& Records() { return m_records; }

    CContactListBox& UserList() noexcept { return m_list; }
    // Tab 0 friends, tab 1 everybody. Selecting one reloads the list, as a click on it does.
    int CurrentTab() const;
    void SelectTab(int tab);
    // Shown, in front and active, with the keyboard in the list of users: the user asked for it.
    void BringToUser();
    // The connection came back: the list of the current tab is asked for again, and the user who was
    // selected is selected again when the answer holds them.
    void Refresh();

protected:
    BOOL OnInitDialog() override;
    LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;
    bool OnCommand(int id, int code, HWND hwndCtl) override;
    LRESULT OnNotify(int id, NMHDR& hdr) override;
    void OnDestroy() override;
    // A new dpi: the user icons are made again at their new size before the base scales the layout.
    void OnDpiChanged(int dpi, const RECT* suggested) override;

    void OnTabChange();
    void OnListDblClk();
    // The friend menu at ptScreen, or, from the keyboard (no point), beside the selected user.
    void OnListContextMenu(std::optional<POINT> ptScreen = std::nullopt);
    void OnOK() override;
    void OnDeleteFriend();
    void OnAddFriend();
    // Shows the friend menu (its first pop-up) at the cursor; its command comes back as WM_COMMAND.
    virtual void TrackFriendMenu(HMENU popup, POINT ptScreen);

private:
    void EnableTabs(bool bEnable);
    // ChatListView
    void SetLoading(bool bLoading) override;
    void AddUser(const CChatUser& user) override;
    void SetUserOnline(std::string_view name, bool bOnline) override;
    void Clear() override;
    // The selected item's login ID, or none.
    std::optional<std::string> SelectedId() const;

    ChatListOwner& m_owner;
    CChatListRecords m_records{*this};
    HCURSOR m_hLoadingCursor = nullptr;
    bool m_bLoading = false;
    // The login ID to select again once a refreshed list holds it.
    std::optional<std::string> m_reselectId;
    HWND m_hTabs = nullptr;
    CIconHandle m_icon;
    CContactListBox m_list;
    CImageListHandle m_userIcons;
    // The user icons at the given dpi.
    void MakeUserIcons(int dpi);
    CVisualStyle m_visualStyle;
    CThemedSkinButton m_btnClose;
};

} // namespace dravel::win
