#include "core/conversation/ChatList.h"

#include "core/ui/DpiScale.h"

#include "core/conversation/FieldLists.h"
#include "core/text/Cp949.h"

#include <algorithm>

namespace dravel {

bool IsOnlineState(std::string_view state) {
    size_t i = 0;
    while (i < state.size() && (state[i] == ' ' || (state[i] >= '\t' && state[i] <= '\r')))
        ++i;
    if (i < state.size() && (state[i] == '+' || state[i] == '-'))
        ++i;
    for (; i < state.size() && state[i] >= '0' && state[i] <= '9'; ++i) {
        if (state[i] != '0')
            return true;
    }
    return false;
}

std::vector<CChatUser> SplitCollectedList(std::string_view text) {
    std::vector<std::string> fields = SplitCollectedFields(text);
    std::vector<CChatUser> users;
    users.reserve(fields.size() / 3);
    for (size_t i = 2; i < fields.size(); i += 3)
        users.push_back({std::move(fields[i - 2]), std::move(fields[i]), IsOnlineState(fields[i - 1])});
    return users;
}

std::optional<std::string_view> ViewOfTab(int tab) {
    if (tab == 0)
        return kFriendsView;
    if (tab == 1)
        return kEveryoneView;
    return std::nullopt;
}

std::optional<CFriendMenu> FriendMenuOfTab(int tab) {
    if (tab == 0)
        return kFriendsMenu;
    if (tab == 1)
        return kEveryoneMenu;
    return std::nullopt;
}

int ContactItemHeight(int textHeight, bool bHasImages, int iconHeight, int dpi) {
    const int padding = ScaleForDpi(4, dpi);
    int height = bHasImages ? std::max(textHeight, iconHeight + padding) : textHeight;
    return height + padding;
}

std::string BoundItemId(std::string_view id) {
    return std::string(id.substr(0, Cp949FitLength(id, kItemIdMaxBytes)));
}

} // namespace dravel
