// The portal menu's commands, which every hosted page's context menu offers.

#include "win/app/MessengerApp.h"

#include "win/res/resource.h"
#include "win/session/MainDlg.h"
#include "core/portal/PortalMenu.h"

namespace dravel::win {

static_assert(ID_PORTAL_ORDER == kPortalOrder && ID_PORTAL_CHATTING == kPortalChatting &&
              ID_PORTAL_INFORMATION == kPortalInformation && ID_PORTAL_NOTICE == kPortalNotice &&
              ID_PORTAL_QNA == kPortalQnA);

namespace {

// The desktop less the taskbar, or the whole primary screen if the system cannot say.
ScreenRect WorkArea() {
    RECT rc{};
    if (!::SystemParametersInfoW(SPI_GETWORKAREA, 0, &rc, 0))
        rc = RECT{0, 0, ::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN)};
    return {rc.left, rc.top, rc.right, rc.bottom};
}

} // namespace

void CMessengerApp::OnPortalCommand(int nCommand) {
    const PortalCommand command = PortalCommandFor(nCommand);
    CMainDlg* pMain = MainWindow();
    if (command.action == PortalAction::None || pMain == nullptr || !pMain->IsWindow())
        return;
    const ScreenRect area = WorkArea();
    if (command.action == PortalAction::ChatList) {
        pMain->ShowChatList();
        return;
    }
    pMain->ShowPortalWindow(PortalWindowRequestFor(PortalPageUrl(ServerHost(), command.path), area));
}

} // namespace dravel::win
