#include "core/portal/PortalMenu.h"

#include "core/app/ServerAddress.h"

#include <algorithm>

namespace dravel {

PortalCommand PortalCommandFor(int nCommand) {
    switch (nCommand) {
    case kPortalOrder:
        return {PortalAction::Page, "/sm/order/list.asp"};
    case kPortalChatting:
        return {PortalAction::ChatList, {}};
    case kPortalInformation:
        return {PortalAction::Page, "/sm/board/notice/list.asp"};
    case kPortalNotice:
        return {PortalAction::Page, "/sm/voc/list.asp"};
    case kPortalQnA:
        return {PortalAction::Page, "/sm/board/qna/list.asp"};
    default:
        return {};
    }
}

std::string PortalPageUrl(std::string_view host, std::string_view path) {
    std::string url(PageScheme());
    url.append(host);
    url.append(path);
    return url;
}

namespace {

int32_t Extent(int32_t nFrom, int32_t nTo) {
    // In 64 bits: a work area from one end of the range to the other still has a width.
    const int64_t n = static_cast<int64_t>(nTo) - nFrom;
    return static_cast<int32_t>(std::clamp<int64_t>(n, 0, kMaxWindowExtent));
}

} // namespace

PortalPopupRequest PortalWindowRequestFor(std::string url, const ScreenRect& workArea) {
    PortalPopupRequest r;
    r.strUrl = std::move(url);
    r.nLeft = workArea.nLeft;
    r.nTop = workArea.nTop;
    r.nWidth = Extent(workArea.nLeft, workArea.nRight);
    r.nHeight = Extent(workArea.nTop, workArea.nBottom);
    return r;
}

PortalPopupRequest PortalNewWindowRequestFor(std::string url, const ScreenRect& workArea) {
    PortalPopupRequest r = PortalWindowRequestFor(std::move(url), workArea);
    const int32_t nWidth = r.nWidth / 4 * 3;
    const int32_t nHeight = r.nHeight / 4 * 3;
    r.nLeft += (r.nWidth - nWidth) / 2;
    r.nTop += (r.nHeight - nHeight) / 2;
    r.nWidth = nWidth;
    r.nHeight = nHeight;
    return r;
}

PortalPopupRequest SanePlacement(const PortalPopupRequest& request) {
    PortalPopupRequest r = request;
    r.nLeft = std::clamp(r.nLeft, -kMaxWindowExtent, kMaxWindowExtent);
    r.nTop = std::clamp(r.nTop, -kMaxWindowExtent, kMaxWindowExtent);
    r.nWidth = std::clamp(r.nWidth, 0, kMaxWindowExtent);
    r.nHeight = std::clamp(r.nHeight, 0, kMaxWindowExtent);
    return r;
}

} // namespace dravel
