#pragma once

#include "core/portal/PortalMenu.h"
#include "core/protocol/ClientConnection.h"

#include <cstdint>
#include <ctime>
#include <string>
#include <string_view>
#include <vector>

namespace dravel {

// The connection check: timer 1028 every 150 s while logged in.
inline constexpr uintptr_t kConnectionCheckTimer = 1028;
inline constexpr uint32_t kConnectionCheckPeriodMs = 150000;

// Percent-encodes every byte outside A-Z, a-z, 0-9 and "-._~" as %XX (upper-case hex), so a value's
// code page 949 bytes reach the page exactly as typed, "&", "#", "+", "%" and blanks included.
std::string PercentEncode(std::string_view bytes);

// "http://" (or "https://", see PageScheme) host "/user/proc.asp?user_id=" id "&user_password=" password,
// both values encoded.
std::string LoginPageUrl(std::string_view host, std::string_view userId, std::string_view password);
// "http://" (or "https://") host "/user/logout.asp".
std::string LogoutPageUrl(std::string_view host);

// A tick of a main-window timer: sends the connection check for timer 1028 when a connection exists
// (the connection itself sends only at status 1). True when a record was sent.
bool OnSessionTimer(uintptr_t nTimerId, CClientConnection* pConnection);

// The two login IDs that get the administrator's bulk note item, compared exactly.
bool IsAdministrator(std::string_view userId);

inline constexpr unsigned kSysCommandAbout = 0x10;
inline constexpr unsigned kSysCommandBulkNote = 0x20;

struct SystemMenuItem {
    bool bSeparator = false;
    unsigned nCommand = 0;
    std::wstring strText;
};

// The chat list's item: the portal menu's "Chatting" command, which is not a multiple of 16 and so is
// compared whole.
inline constexpr unsigned kSysCommandChatList = static_cast<unsigned>(kPortalChatting);

// The texts of the system menu's items, as the string table has them.
struct SystemMenuTexts {
    std::wstring_view about;    // "&About Dravel On..."
    std::wstring_view bulkNote; // "관리메세지 보내기..."
    std::wstring_view chatList; // "대화 목록"
};

// The items appended to the system menu: a separator and the About item only when the About text is not
// empty, the bulk note item between them for an administrator, and last the chat list item whenever its
// text is given.
std::vector<SystemMenuItem> SystemMenuItems(std::string_view userId, const SystemMenuTexts& texts);

enum class SysCommandAction { About, BulkNote, ChatList, Default };
// The chat list command counts as it is. Otherwise the low four bits of a system command are the
// system's own and are ignored. The bulk note command counts only for an administrator, whoever posts it.
SysCommandAction ClassifySysCommand(unsigned nCommand, std::string_view userId);

// "%Y-%m-%d %p %I:%M:%S" with AM/PM whatever the locale.
std::string FormatLogTime(const std::tm& t);
// The start log's one line per run, line feed included.
std::string StartLogLine(const std::tm& t);
// The program's path with the extension of its file name replaced by ".Log" (added if it has none);
// a "." in a folder name is not an extension.
std::wstring StartLogPath(std::wstring_view programPath);

// The main window's placement as kept in the profile section "STOCK".
inline constexpr wchar_t kPlacementSection[] = L"STOCK";
struct Placement {
    int32_t nLeft = 0, nTop = 0, nRight = 0, nBottom = 0;
    int32_t nMax = 0;
};
// Profile value names, in the order of Placement's fields.
inline constexpr const wchar_t* kPlacementValues[5] = {L"RectLeft", L"RectTop", L"RectRight", L"RectBottom", L"Max"};
// What is saved: the window's normal-position rectangle, and "Max" 1 while it is maximised, else 0.
Placement PlacementToSave(int32_t nLeft, int32_t nTop, int32_t nRight, int32_t nBottom, bool bMaximised);
// Maximised on the first run (all four 0), when "Max" is 1, and for a rectangle that cannot be a
// window (empty or inside out, as a damaged store could hold); otherwise the stored rectangle.
bool ShowMaximised(const Placement& p);

// The page script's CB_CloseWindow closes only what a page may close: the program's portal page window and
// browser pop-ups are hidden (as their close box does), a file transfer window is cancelled as its own
// cancel would (a page never ends a transfer as done). Any other window, a message box, the login dialog
// and the main window among them, is left as it is: a page does not answer the user's questions.
enum class ActiveWindowKind { None, BrowserWindow, TransferWindow, Other };
enum class CloseActiveAction { Nothing, HideBrowserWindow, CancelTransfer };
CloseActiveAction DecideCloseActive(ActiveWindowKind active);

// The page script's CB_CustomFunctionWithParams box: "parameter 1: %s\nparameter 2:  %d".
std::wstring CustomFunctionText(std::wstring_view text, int32_t nNumber);

// How often the main window looks whether its page shows: a navigation is judged a few seconds after
// it started, and a page that later goes away is noticed as soon.
inline constexpr uint32_t kPageCheckPeriodMs = 3000;
// The browser's ready states that mean a page can be seen (interactive 3, complete 4).
inline constexpr int32_t kReadyStateInteractive = 3;
// The native panel stands in for the page when there is no browser, or when the browser has not
// got as far as an interactive page by the time it is asked (no engine, a failed load, the web port down).
bool ShowNoPagePanel(bool bHasBrowser, int32_t nReadyState);

// Where the minimised main window draws its icon: centred, rounding as the window always has.
inline int CentredIconOffset(int nClientExtent, int nIconExtent) {
    return (nClientExtent - nIconExtent + 1) / 2;
}

} // namespace dravel
