#include "core/conversation/ConversationWindow.h"

namespace dravel {

namespace {

constexpr TextRect kHistoryListPlace{5, 5, 380, 350};
constexpr int kGapAboveEdit = 4;
constexpr int kRightMargin = 5;

} // namespace

TextRect HistoryListPlace(std::optional<int> editTop, int clientRight) {
    TextRect rc = kHistoryListPlace;
    if (editTop && rc.bottom > *editTop - kGapAboveEdit)
        rc.bottom = *editTop - kGapAboveEdit;
    if (rc.right > clientRight - kRightMargin)
        rc.right = clientRight - kRightMargin;
    return rc;
}

std::string UploadStamp(std::string_view stamp) {
    return std::string(stamp.substr(0, kUploadStampLength));
}

} // namespace dravel
