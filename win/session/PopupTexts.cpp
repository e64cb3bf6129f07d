#include "win/session/PopupTexts.h"

#include "win/base/MessageBox.h"
#include "win/base/Text.h"
#include "win/res/resource.h"

namespace dravel::win {

namespace {

std::string Load949(UINT id) {
    return WideToCp949(LoadResString(id));
}

} // namespace

PopupTexts LoadPopupTexts() {
    return PopupTexts{
        .strAppTitle = WideToCp949(AppTitle()),
        .strGreeting = Load949(IDS_POPUP_GREETING),
        .strSessionEnded = Load949(IDS_POPUP_SESSION_ENDED),
        .strMessage = Load949(IDS_POPUP_MESSAGE),
        .strNote = Load949(IDS_POPUP_NOTE),
        .strCancelRequest = Load949(IDS_POPUP_CANCEL_REQUEST),
        .strFile = Load949(IDS_POPUP_FILE),
    };
}

} // namespace dravel::win
