#pragma once

// The chat list window as its tests open it: a recording owner, the friend menus written down instead of
// tracked, and the window's user list at hand.

#include "win/chat/ChatListDlg.h"

#include "win/res/resource.h"

#include "support/Wait.h"

#include <gtest/gtest.h>

#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace dravel::win::test {

class CFakeChatListOwner : public ChatListOwner {
public:
    bool m_bConnected = true;
    std::vector<std::string> m_collects;
    std::vector<std::string> m_deleted;
    std::vector<std::string> m_appended;
    std::vector<std::pair<std::string, std::string>> m_opened;

    bool HasConnection() const override { return m_bConnected; }
    void SendChatListCollect(std::string_view view) override { m_collects.emplace_back(view); }
    void SendDeleteFriend(std::string_view id) override { m_deleted.emplace_back(id); }
    void SendAppendFriend(std::string_view id) override { m_appended.emplace_back(id); }
    void OpenConversationForUser(const std::string& name, const std::string& id) override {
        m_opened.emplace_back(name, id);
    }
    std::set<std::string> m_muted;
    bool IsPeerMuted(const std::string& id) const override { return m_muted.contains(id); }
    void SetPeerMuted(const std::string& id, bool bMuted) override {
        bMuted ? void(m_muted.insert(id)) : void(m_muted.erase(id));
    }
};

// Records which menu would have been shown instead of tracking it.
class CTestChatListDlg : public CChatListDlg {
public:
    using CChatListDlg::CChatListDlg;
    std::vector<UINT> m_menuCommands; // the commands of each menu shown, in order
    std::vector<bool> m_muteChecked;  // whether each menu shown had "알림 끄기" checked

protected:
    void TrackFriendMenu(HMENU popup, POINT) override {
        for (int i = 0; i < ::GetMenuItemCount(popup); ++i)
            m_menuCommands.push_back(::GetMenuItemID(popup, i));
        m_muteChecked.push_back((::GetMenuState(popup, ID_ATTENTION_MUTE, MF_BYCOMMAND) & MF_CHECKED) != 0);
    }
};

class ChatListTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_dlg.Create());
        // The window's start-up messages have run.
        ASSERT_TRUE(PumpUntil([] {
            MSG msg;
            return !::PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE);
        }));
    }
    void TearDown() override { m_dlg.DestroyWindow(); }

    CContactListBox& List() { return m_dlg.UserList(); }
    HWND ListHwnd() { return List().GetHwnd(); }
    HWND Tabs() { return m_dlg.GetDlgItem(IDC_LIST_TABS); }
    bool TabsEnabled() { return ::IsWindowEnabled(Tabs()) != FALSE; }
    POINT ItemCentre(int index) {
        RECT rc{};
        ::SendMessageW(ListHwnd(), LB_GETITEMRECT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&rc));
        return {(rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2};
    }
    // As a click on the tab would: the control notifies the window.
    void SwitchTab(int tab) { m_dlg.SelectTab(tab); }
    void Command(int id) { ::SendMessageW(m_dlg.GetHwnd(), WM_COMMAND, MAKEWPARAM(id, 0), 0); }
    // The right-click report waiting in the queue, removed from it: wParam, lParam; none if absent.
    std::optional<std::pair<WPARAM, LPARAM>> TakeRightClickReport() {
        MSG msg;
        if (!::PeekMessageW(&msg, m_dlg.GetHwnd(), kContactListRightClick, kContactListRightClick, PM_REMOVE))
            return std::nullopt;
        return std::make_pair(msg.wParam, msg.lParam);
    }

    // The items that carry a record, each its own: the item data the list box hands out.
    int RecordedItems() {
        std::set<LRESULT> records;
        for (int i = 0; i < List().GetCount(); ++i) {
            const LRESULT data = ::SendMessageW(ListHwnd(), LB_GETITEMDATA, static_cast<WPARAM>(i), 0);
            if (data != 0 && data != LB_ERR && List().GetItemID(i))
                records.insert(data);
        }
        return static_cast<int>(records.size());
    }

    CFakeChatListOwner m_owner;
    CTestChatListDlg m_dlg{m_owner};
};

} // namespace dravel::win::test
