#pragma once

// The functions that portal page scripts call on the client through the page's external object: their
// names and dispatch ids, how the arguments of a call are read, and what each call does to the main
// window. The COM object (win/portal/ScriptExternal) only converts between VARIANTs and what is here.
//
// Also the key filter of hosted pages: which key presses the browser never sees.

#include "core/session/WindowTable.h"

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace dravel {

// Dispatch ids of the script functions, in the order pages know them.
enum ScriptFunctionId : int32_t {
    kScriptIsOurCustomBrowser = 1,
    kScriptClose = 2,
    kScriptCustomFunction = 3,
    kScriptCustomFunctionWithParams = 4,
    kScriptOpenWindow = 5,
    kScriptShowModalDialog = 6,
    kScriptShowModelessDialog = 7,
    kScriptOpenDlgLogin = 8,
    kScriptCloseWindow = 9,
};
inline constexpr int32_t kFirstScriptFunction = kScriptIsOurCustomBrowser;
inline constexpr int32_t kLastScriptFunction = kScriptCloseWindow;
// The id given for a name that is none of ours.
inline constexpr int32_t kUnknownScriptName = -1;

// The id of a function name (code page 949 bytes, compared exactly: "cb_close" is unknown), or
// kUnknownScriptName.
int32_t ScriptFunctionIdOf(std::string_view name949);
// The name of an id, or empty for an id that is none of ours.
std::string_view ScriptFunctionName(int32_t id);

// One argument of a call as the page passed it.
struct ScriptArg {
    enum class Kind { Text, Number, Other };
    Kind kind = Kind::Other;
    std::string strText; // Text: code page 949 bytes
    int32_t nNumber = 0; // Number

    static ScriptArg Text(std::string text949) { return {Kind::Text, std::move(text949), 0}; }
    static ScriptArg Number(int32_t n) { return {Kind::Number, {}, n}; }
    static ScriptArg Other() { return {}; }
};

// What the script functions reach: the main window's operations.
class ScriptHost {
public:
    virtual ~ScriptHost() = default;
    virtual bool IsCustomBrowser() = 0;
    virtual void IdleLogout() = 0;
    virtual void CustomFunction() = 0;
    virtual void CustomFunctionWithParams(const std::string& text949, int32_t nNumber) = 0;
    virtual void OpenPortalPopup(const PortalPopupRequest& request) = 0;
    virtual void ShowPortalWindow(const PortalPopupRequest& request) = 0;
    virtual void ShowChatList() = 0;
    virtual void ReLogin() = 0;
    virtual void CloseActiveWindow() = 0;
};

// The two bits of the call's flags that count.
inline constexpr uint16_t kInvokeMethod = 1;
inline constexpr uint16_t kInvokePropertyGet = 2;

enum class ScriptStatus {
    Ok,
    // Fewer arguments than the function reads: nothing was done.
    BadParamCount,
    // An argument of the wrong kind (a number where text is read, or the other way round): nothing
    // was done; ScriptResult::nBadArg tells which element of the argument array it was.
    TypeMismatch,
    // A negative width or height for a window: nothing was done.
    BadValue,
    // The page may not do this (a window on an address that is not the portal's, or a page that is not
    // the portal's own): nothing was done.
    AccessDenied,
};

struct ScriptResult {
    ScriptStatus status = ScriptStatus::Ok;
    // Set when the call gives a value: always boolean true.
    bool bHasValue = false;
    bool bValue = false;
    // TypeMismatch and BadValue: index of the offending element of the argument array.
    size_t nBadArg = 0;
};

// Carries out a call. `argsLastFirst` is the argument array as the platform delivers it: argument k of
// n (counting from 1 in script order) is element n - k. Arguments beyond those a function reads are
// ignored. For ids 1 to 9 a property get gives boolean true; a method call does the function's work
// (id 1 also gives the host's answer). A call whose arguments do not fit does nothing and says why;
// ids outside 1 to 9 do nothing. A window's place goes through SanePlacement (a negative size is
// refused before that), and CB_OpenWindow opens only what PortalWindowAddress gives for portalHost
// (AccessDenied otherwise). Whether the calling page may call at all is the caller's check
// (IsPortalPage).
ScriptResult InvokeScriptFunction(int32_t id, uint16_t flags, std::span<const ScriptArg> argsLastFirst,
                                  ScriptHost& host, std::string_view portalHost);

inline constexpr unsigned kVkEscape = 0x1B;
inline constexpr unsigned kVkF5 = 0x74;

// The keys a hosted page never gets (reload, open, print, new window, stop): a key-down while F5 is
// held, a key-down while Ctrl is held with O, P or N, and a key-down of Escape. The held states are
// read by the caller at the moment of the call; the message's own key counts as held whatever they say
// (a key tapped and let go before its message is handled is still that key), and Escape comes from the
// message alone.
struct KeyFilterInput {
    bool bKeyDown = false; // the message is a key-down message
    unsigned nVirtualKey = 0;
    bool bF5Down = false;
    bool bCtrlDown = false;
    bool bODown = false;
    bool bPDown = false;
    bool bNDown = false;
};
bool IsFilteredKey(const KeyFilterInput& in);

} // namespace dravel
