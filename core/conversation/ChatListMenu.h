#pragma once

// When the chat list's context menu comes up, and which.

#include "core/conversation/ChatList.h"

#include <optional>

namespace dravel {

// The friend menu for the selected item of a tab: none without a selection, for an item without a
// name or without a login ID, and for a tab that has no menu.
std::optional<CFriendMenu> FriendMenuForSelection(int tab, int selected, bool bHasName, bool bHasId);

} // namespace dravel
