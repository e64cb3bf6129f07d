#include "core/session/ChatListRecords.h"

namespace dravel {

void CChatListRecords::AddListEntry(const std::string& name, int32_t state, const std::string& id) {
    m_view.SetLoading(true);
    m_view.AddUser(CChatUser{id, name, state != 0});
}

void CChatListRecords::LoadCollectedList(const std::string& text) {
    m_view.SetLoading(true);
    for (const CChatUser& user : SplitCollectedList(text))
        m_view.AddUser(user);
    m_view.SetLoading(false);
}

} // namespace dravel
