#include "core/conversation/ChatListMenu.h"

namespace dravel {

std::optional<CFriendMenu> FriendMenuForSelection(int tab, int selected, bool bHasName, bool bHasId) {
    if (selected < 0 || !bHasName || !bHasId)
        return std::nullopt;
    return FriendMenuOfTab(tab);
}

} // namespace dravel
