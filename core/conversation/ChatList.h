#pragma once

#include "core/protocol/KoreanTexts.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace dravel {

// Rules of the chat list window and its contact list box, apart from the window.

// Icons of the user list: image 0 on line, image 1 off line.
inline constexpr int kImageOnline = 0;
inline constexpr int kImageOffline = 1;

// One user of a collected list: login ID, display name and whether the user is on line.
struct CChatUser {
    std::string strId;
    std::string strName;
    bool bOnline = false;
    bool operator==(const CChatUser&) const = default;
};

// A state field reads as the decimal number at its start (blanks and a sign allowed, as atoi); 0, or no
// number at all, means off line. Digits beyond any integer's range still read as non-zero.
bool IsOnlineState(std::string_view state);

// The users of a collected list "id|state|name|...", in the order of the text; an incomplete last
// group is dropped.
std::vector<CChatUser> SplitCollectedList(std::string_view text);

// The two views of the list: tab 0 friends, tab 1 everybody. The name goes to the server as the view.
inline constexpr std::string_view kFriendsView = kFriendsList;
inline constexpr std::string_view kEveryoneView = kEverybodyList;
std::optional<std::string_view> ViewOfTab(int tab);

// The context menu of a tab: friends offer "remove from friends", everybody "add to friends".
struct CFriendMenu {
    int nMenuId;
    int nCommand;
};
inline constexpr CFriendMenu kFriendsMenu{162, 32778};
inline constexpr CFriendMenu kEveryoneMenu{163, 32779};
std::optional<CFriendMenu> FriendMenuOfTab(int tab);

// Height of a list item: the text height, or with icons the larger of it and the icon height plus 4;
// then 4 more for the gap. The 4 pixels are at 96 dpi and scale with dpi.
int ContactItemHeight(int textHeight, bool bHasImages, int iconHeight, int dpi = 96);

// An item keeps at most 49 bytes of its login ID; a longer one is cut, never in the middle of a
// two-byte character.
inline constexpr size_t kItemIdMaxBytes = 49;
std::string BoundItemId(std::string_view id);

} // namespace dravel
