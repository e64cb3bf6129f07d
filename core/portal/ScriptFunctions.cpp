#include "core/portal/ScriptFunctions.h"

#include "core/portal/PageOrigin.h"
#include "core/portal/PortalMenu.h"

#include <algorithm>
#include <array>
#include <optional>

namespace dravel {

namespace {

constexpr std::array<std::string_view, kLastScriptFunction> kNames = {
    "CB_IsOurCustomBrowser",       "CB_Close",        "CB_CustomFunction",
    "CB_CustomFunctionWithParams", "CB_OpenWindow",   "CB_ShowModalDialog",
    "CB_ShowModelessDialog",       "CB_OpenDlgLogin", "CB_CloseWindow",
};

// Reads a call's arguments in script order from the last-first array, checking each one before use.
class ArgReader {
public:
    explicit ArgReader(std::span<const ScriptArg> args) : m_args(args) {}

    bool Has(size_t nCount) const { return m_args.size() >= nCount; }
    // Array index of argument k (1-based, script order); only for k <= size.
    size_t IndexOf(size_t k) const { return m_args.size() - k; }
    const ScriptArg& At(size_t k) const { return m_args[IndexOf(k)]; }

private:
    std::span<const ScriptArg> m_args;
};

// The arguments a function reads, checked; nothing is done with a call that fails here.
struct PreparedCall {
    std::string strText;
    int32_t nNumber = 0;
    PortalPopupRequest window;
};

ScriptResult Refuse(ScriptStatus status, size_t nBadArg = 0) {
    ScriptResult r;
    r.status = status;
    r.nBadArg = nBadArg;
    return r;
}

// Text first, then `nNumbers` numbers.
std::optional<ScriptResult> ReadTextAndNumbers(const ArgReader& args, size_t nNumbers, std::string& text,
                                               int32_t* pNumbers) {
    if (!args.Has(1 + nNumbers))
        return Refuse(ScriptStatus::BadParamCount);
    if (args.At(1).kind != ScriptArg::Kind::Text)
        return Refuse(ScriptStatus::TypeMismatch, args.IndexOf(1));
    for (size_t i = 0; i < nNumbers; ++i) {
        if (args.At(2 + i).kind != ScriptArg::Kind::Number)
            return Refuse(ScriptStatus::TypeMismatch, args.IndexOf(2 + i));
    }
    text = args.At(1).strText;
    for (size_t i = 0; i < nNumbers; ++i)
        pNumbers[i] = args.At(2 + i).nNumber;
    return std::nullopt;
}

// URL, x, y, width, height. A negative size is refused; places and sizes are kept in window range by the
// same rule the windows use.
std::optional<ScriptResult> ReadWindowRequest(const ArgReader& args, PortalPopupRequest& request) {
    int32_t n[4] = {};
    if (auto refused = ReadTextAndNumbers(args, 4, request.strUrl, n))
        return refused;
    for (size_t i = 2; i < 4; ++i) {
        if (n[i] < 0)
            return Refuse(ScriptStatus::BadValue, args.IndexOf(2 + i));
    }
    request.nLeft = n[0];
    request.nTop = n[1];
    request.nWidth = n[2];
    request.nHeight = n[3];
    request = SanePlacement(request);
    return std::nullopt;
}

std::optional<ScriptResult> Prepare(int32_t id, const ArgReader& args, PreparedCall& call,
                                    std::string_view portalHost) {
    switch (id) {
    case kScriptCustomFunctionWithParams:
        return ReadTextAndNumbers(args, 1, call.strText, &call.nNumber);
    case kScriptOpenWindow:        // the sixth argument is not used, so it need not be there
    case kScriptShowModalDialog: { // both windows show portal pages only
        if (auto refused = ReadWindowRequest(args, call.window))
            return refused;
        std::optional<std::string> address = PortalWindowAddress(call.window.strUrl, portalHost);
        if (!address)
            return Refuse(ScriptStatus::AccessDenied, args.IndexOf(1));
        call.window.strUrl = std::move(*address);
        return std::nullopt;
    }
    default: // the others read no argument (CB_ShowModelessDialog's five are not used)
        return std::nullopt;
    }
}

void Perform(int32_t id, PreparedCall& call, ScriptHost& host) {
    switch (id) {
    case kScriptClose:
        host.IdleLogout();
        break;
    case kScriptCustomFunction:
        host.CustomFunction();
        break;
    case kScriptCustomFunctionWithParams:
        host.CustomFunctionWithParams(call.strText, call.nNumber);
        break;
    case kScriptOpenWindow:
        host.OpenPortalPopup(call.window);
        break;
    case kScriptShowModalDialog:
        host.ShowPortalWindow(call.window);
        break;
    case kScriptShowModelessDialog:
        host.ShowChatList();
        break;
    case kScriptOpenDlgLogin:
        host.ReLogin();
        break;
    case kScriptCloseWindow:
        host.CloseActiveWindow();
        break;
    default:
        break;
    }
}

} // namespace

int32_t ScriptFunctionIdOf(std::string_view name949) {
    for (size_t i = 0; i < kNames.size(); ++i) {
        if (kNames[i] == name949)
            return static_cast<int32_t>(i) + kFirstScriptFunction;
    }
    return kUnknownScriptName;
}

std::string_view ScriptFunctionName(int32_t id) {
    if (id < kFirstScriptFunction || id > kLastScriptFunction)
        return {};
    return kNames[static_cast<size_t>(id - kFirstScriptFunction)];
}

ScriptResult InvokeScriptFunction(int32_t id, uint16_t flags, std::span<const ScriptArg> argsLastFirst,
                                  ScriptHost& host, std::string_view portalHost) {
    if (id < kFirstScriptFunction || id > kLastScriptFunction)
        return {};
    const bool bMethod = (flags & kInvokeMethod) != 0;
    const ArgReader args(argsLastFirst);
    PreparedCall call;
    // Everything is read and checked before anything happens, so a refused call leaves no trace.
    if (bMethod) {
        if (auto refused = Prepare(id, args, call, portalHost))
            return *refused;
    }
    ScriptResult result;
    if ((flags & kInvokePropertyGet) != 0) {
        result.bHasValue = true;
        result.bValue = true;
    }
    if (bMethod) {
        if (id == kScriptIsOurCustomBrowser) {
            result.bHasValue = true;
            result.bValue = host.IsCustomBrowser();
        } else {
            Perform(id, call, host);
        }
    }
    return result;
}

bool IsFilteredKey(const KeyFilterInput& in) {
    if (!in.bKeyDown)
        return false;
    const auto held = [&in](bool bDown, unsigned vk) { return bDown || in.nVirtualKey == vk; };
    if (held(in.bF5Down, kVkF5))
        return true;
    if (in.bCtrlDown && (held(in.bODown, 'O') || held(in.bPDown, 'P') || held(in.bNDown, 'N')))
        return true;
    return in.nVirtualKey == kVkEscape;
}

} // namespace dravel
