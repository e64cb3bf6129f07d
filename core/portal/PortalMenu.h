#pragma once

// The portal menu (the context menu of every hosted page) and the places of the portal windows: which
// command opens which page, the page's address, and where the windows go.

#include "core/session/WindowTable.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace dravel {

// Command ids of the portal menu (menu resource 136), in menu order.
inline constexpr int kPortalOrder = 32780;
inline constexpr int kPortalChatting = 32781;
inline constexpr int kPortalInformation = 32782;
inline constexpr int kPortalNotice = 32783;
inline constexpr int kPortalQnA = 32784;

enum class PortalAction {
    None,     // not a portal menu command
    Page,     // show a portal page in the portal page window
    ChatList, // show the chat list
};

struct PortalCommand {
    PortalAction action = PortalAction::None;
    // The page's path on the server host, for PortalAction::Page.
    std::string_view path;
};

// The labels and pages pair as the menu shows them: "Information" is the notice board and "Notice" the
// customer-voice list.
PortalCommand PortalCommandFor(int nCommand);

// "http://" (or "https://", see PageScheme) + host + path, bytes unchanged.
std::string PortalPageUrl(std::string_view host, std::string_view path);

// A screen rectangle as the window system gives it (right and bottom exclusive).
struct ScreenRect {
    int32_t nLeft = 0, nTop = 0, nRight = 0, nBottom = 0;
};

// The portal page window's request for a page: the address and the whole work area, wherever the
// taskbar stands. An inverted work area gives no size rather than a negative one.
PortalPopupRequest PortalWindowRequestFor(std::string url, const ScreenRect& workArea);

// A window a portal page opens without saying where (a link with a target): three quarters of the work
// area each way, in its middle.
PortalPopupRequest PortalNewWindowRequestFor(std::string url, const ScreenRect& workArea);

// Largest width or height, and farthest position, given to a portal window: the window system's own
// coordinates are 16-bit.
inline constexpr int32_t kMaxWindowExtent = 32767;

// A place asked for by a page script, made safe to hand to the window system: a negative width or height
// becomes 0, and sizes and positions are held within +-kMaxWindowExtent so that no edge computation
// overflows. Ordinary values pass unchanged.
PortalPopupRequest SanePlacement(const PortalPopupRequest& request);

} // namespace dravel
