#include "core/session/MainRules.h"

#include "core/app/ServerAddress.h"

#include <cstdio>

namespace dravel {

std::string PercentEncode(std::string_view bytes) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(bytes.size() * 3);
    for (char ch : bytes) {
        const auto b = static_cast<unsigned char>(ch);
        if ((b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z') || (b >= '0' && b <= '9') || b == '-' || b == '.' ||
            b == '_' || b == '~') {
            out.push_back(ch);
        } else {
            out.push_back('%');
            out.push_back(kHex[b >> 4]);
            out.push_back(kHex[b & 15]);
        }
    }
    return out;
}

std::string LoginPageUrl(std::string_view host, std::string_view userId, std::string_view password) {
    std::string url(PageScheme());
    url.append(host).append("/user/proc.asp?user_id=").append(PercentEncode(userId));
    url.append("&user_password=").append(PercentEncode(password));
    return url;
}

std::string LogoutPageUrl(std::string_view host) {
    std::string url(PageScheme());
    url.append(host).append("/user/logout.asp");
    return url;
}

bool OnSessionTimer(uintptr_t nTimerId, CClientConnection* pConnection) {
    if (nTimerId != kConnectionCheckTimer || !pConnection)
        return false;
    return pConnection->SendConnectCheck();
}

bool IsAdministrator(std::string_view userId) {
    return userId == "qalop7" || userId == "tervo";
}

std::vector<SystemMenuItem> SystemMenuItems(std::string_view userId, const SystemMenuTexts& texts) {
    std::vector<SystemMenuItem> items;
    if (!texts.about.empty())
        items.push_back({true, 0, {}});
    if (IsAdministrator(userId))
        items.push_back({false, kSysCommandBulkNote, std::wstring(texts.bulkNote)});
    if (!texts.about.empty())
        items.push_back({false, kSysCommandAbout, std::wstring(texts.about)});
    if (!texts.chatList.empty())
        items.push_back({false, kSysCommandChatList, std::wstring(texts.chatList)});
    return items;
}

SysCommandAction ClassifySysCommand(unsigned nCommand, std::string_view userId) {
    if (nCommand == kSysCommandChatList)
        return SysCommandAction::ChatList;
    const unsigned nId = nCommand & 0xFFF0u;
    if (nId == kSysCommandAbout)
        return SysCommandAction::About;
    if (nId == kSysCommandBulkNote && IsAdministrator(userId))
        return SysCommandAction::BulkNote;
    return SysCommandAction::Default;
}

std::string FormatLogTime(const std::tm& t) {
    int nHour12 = t.tm_hour % 12;
    if (nHour12 == 0)
        nHour12 = 12;
    char buf[128];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %s %02d:%02d:%02d", t.tm_year + 1900, t.tm_mon + 1, t.tm_mday,
                  t.tm_hour < 12 ? "AM" : "PM", nHour12, t.tm_min, t.tm_sec);
    return buf;
}

std::string StartLogLine(const std::tm& t) {
    return FormatLogTime(t) + " Dravel On Start   -----------------------------------------\n";
}

std::wstring StartLogPath(std::wstring_view programPath) {
    const size_t nSlash = programPath.find_last_of(L"\\/");
    const size_t nNameStart = nSlash == std::wstring_view::npos ? 0 : nSlash + 1;
    const size_t nDot = programPath.find_last_of(L'.');
    std::wstring path(programPath);
    if (nDot != std::wstring_view::npos && nDot >= nNameStart)
        path.resize(nDot);
    return path + L".Log";
}

Placement PlacementToSave(int32_t nLeft, int32_t nTop, int32_t nRight, int32_t nBottom, bool bMaximised) {
    return Placement{nLeft, nTop, nRight, nBottom, bMaximised ? 1 : 0};
}

bool ShowMaximised(const Placement& p) {
    if (p.nMax == 1)
        return true;
    if (p.nLeft == 0 && p.nTop == 0 && p.nRight == 0 && p.nBottom == 0)
        return true;
    return p.nRight <= p.nLeft || p.nBottom <= p.nTop;
}

CloseActiveAction DecideCloseActive(ActiveWindowKind active) {
    switch (active) {
    case ActiveWindowKind::BrowserWindow:
        return CloseActiveAction::HideBrowserWindow;
    case ActiveWindowKind::TransferWindow:
        return CloseActiveAction::CancelTransfer;
    default:
        return CloseActiveAction::Nothing;
    }
}

std::wstring CustomFunctionText(std::wstring_view text, int32_t nNumber) {
    std::wstring out = L"parameter 1: ";
    out.append(text).append(L"\nparameter 2:  ");
    return out + std::to_wstring(nNumber);
}

bool ShowNoPagePanel(bool bHasBrowser, int32_t nReadyState) {
    return !bHasBrowser || nReadyState < kReadyStateInteractive;
}

} // namespace dravel
