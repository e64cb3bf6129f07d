#include "core/conversation/ConversationWindow.h"

#include "core/ui/DpiScale.h"

namespace dravel {

namespace {

constexpr TextRect kHistoryListPlace{5, 5, 380, 350};
constexpr int kGapAboveEdit = 4;
constexpr int kRightMargin = 5;

} // namespace

TextRect HistoryListPlace(std::optional<int> editTop, int clientRight, int dpi) {
    const auto px = [dpi](int logical) { return ScaleForDpi(logical, dpi); };
    TextRect rc{px(kHistoryListPlace.left), px(kHistoryListPlace.top), px(kHistoryListPlace.right),
                px(kHistoryListPlace.bottom)};
    if (editTop && rc.bottom > *editTop - px(kGapAboveEdit))
        rc.bottom = *editTop - px(kGapAboveEdit);
    if (rc.right > clientRight - px(kRightMargin))
        rc.right = clientRight - px(kRightMargin);
    return rc;
}

std::string UploadStamp(std::string_view stamp) {
    return std::string(stamp.substr(0, kUploadStampLength));
}

} // namespace dravel
