#pragma once

// Where the chat list's records land: the dispatch reaches this core object, which reads the server's
// lists and tells the chat list window what to show.

#include "core/conversation/ChatList.h"
#include "core/session/Dispatch.h"

#include <string_view>

namespace dravel {

// What the chat list window does for its records.
class ChatListView {
public:
    virtual ~ChatListView() = default;
    // A list is arriving (the tabs wait) or has arrived.
    virtual void SetLoading(bool bLoading) = 0;
    virtual void AddUser(const CChatUser& user) = 0;
    // Every item showing this display name.
    virtual void SetUserOnline(std::string_view name, bool bOnline) = 0;
    virtual void Clear() = 0;
};

class CChatListRecords final : public ChatListTarget {
public:
    explicit CChatListRecords(ChatListView& view) : m_view(view) {}

    void SetUserState(const std::string& name, bool bOnline) override { m_view.SetUserOnline(name, bOnline); }
    // One user of a list that comes entry by entry; the list's end lets the tabs go again.
    void AddListEntry(const std::string& name, int32_t state, const std::string& id) override;
    void EndListEntries(const std::string&, int32_t, const std::string&) override { m_view.SetLoading(false); }
    void LoadCollectedList(const std::string& text) override;
    void ResetList() override { m_view.Clear(); }

private:
    ChatListView& m_view;
};

} // namespace dravel
