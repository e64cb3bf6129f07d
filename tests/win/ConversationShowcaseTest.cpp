// A conversation put on screen for review, not checked here: both sides, Korean text, a long word, a
// notice and file items; then the pop-up that announces a message, as the main window sets it up.
// run_showcase_screenshots.py runs this (disabled by default) test, photographs the window when told
// "ready" (the file holds the window's size and place) and answers "done".

#include "win/conversation/MessageDlg.h"
#include "win/ui/TaskbarNotifier.h"
#include "core/session/Popups.h"

#include "win/base/Text.h"

#include "support/Popup.h"
#include "support/Screen.h"
#include "support/Wait.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <string>

using namespace dravel;
using namespace dravel::win;
using namespace dravel::win::test;

namespace {

class CQuietOwner : public ConversationOwner {
public:
    bool HasConnection() const override { return true; }
    bool IsConnectionAway() const override { return false; }
    uint64_t NextWaitingOrder() override { return 0; }
    bool SendPrivateMessage(const std::string&, const std::string&, const std::string&) override { return true; }
    void SendFileOffer(const std::string&, const std::string&, const std::string&) override {}
    void SendFileAnswer(const std::string&, const std::string&, const std::string&, bool) override {}
    std::string TransferHost() const override { return "127.0.0.1"; }
    std::string OwnUserId() const override { return "kim"; }
    std::wstring LogFolder() const override { return L""; } // no log for the picture
    std::wstring UserLogFolder() const override { return L""; }
    std::wstring DownloadFolder() const override { return L""; }
};

TEST(ConversationShowcase, DISABLED_ShowForScreenshots) {
    const wchar_t* dirEnv = _wgetenv(L"DRAVELON_SHOWCASE_DIR");
    ASSERT_NE(dirEnv, nullptr);
    const std::wstring dir = dirEnv;
    CQuietOwner owner;
    CMessageDlg dlg(owner);
    ASSERT_TRUE(dlg.Create(nullptr));
    auto kr = [](const wchar_t* text) { return WideToCp949(text); };
    dlg.SetPeer(kr(L"이영희"), "lee");
    dlg.SetOpened(true);
    ::SetWindowPos(dlg.GetHwnd(), HWND_TOP, 0, 0, 0, 0, SWP_NOSIZE | SWP_SHOWWINDOW);
    dlg.OpenLog();

    dlg.NoteHistoryRequest();

    dlg.Records().LoadHistory(kr(L"이영희"),
                    "<|" + kr(L"안녕하세요, 내일 주문 건 확인 부탁드립니다.") + "|2020-01-02 AM 09:12:40|>|" +
                        kr(L"네, 확인해서 오후에 알려 드릴게요.") + "|2020-01-02 AM 09:13:05|<|File_" +
                        kr(L"주문목록.xlsx") + "|2020-01-02 AM 09:14:22",
                    std::time(nullptr));
    dlg.Records().AppendOutgoing(kr(L"김철수"), "File_C:\\work\\" + kr(L"재고현황.pdf") + "|2020/01/02 AM 09:20:11", 0, false);
    dlg.Records().AppendIncoming(kr(L"이영희"), "https://example.com/order/list.asp?from=20200102&to=20200131",
                       std::time(nullptr), false);
    dlg.Records().AppendNotice(kr(L"서버 점검이 오후 6시에 있습니다."), 0);
    ::SetWindowTextW(dlg.GetDlgItem(1002), L"감사합니다!");
    ASSERT_TRUE(AwaitPicture(dir, 1, dlg.GetHwnd()));

    const NotifierStyle s = SlotPopupStyle(PopupKind::Message);
    CTaskbarNotifier popup;
    ASSERT_TRUE(popup.Create(dlg.GetHwnd(), 0));
    ASSERT_TRUE(
        popup.LoadSkin(static_cast<UINT>(s.nSkinBitmap), s.nTransparentRed, s.nTransparentGreen, s.nTransparentBlue));
    ASSERT_TRUE(popup.SetFonts(s.pszFontFace, s.nFontSize, s.nNormalStyle, s.nHoverStyle));
    popup.SetTextColours(s.nNormalColour, s.nHoverColour);
    popup.SetTextArea(RECT{s.nTextLeft, s.nTextTop, popup.GetLogicalSkinWidth() - s.nTextRightInset,
                           popup.GetLogicalSkinHeight() - s.nTextBottomInset});
    popup.Show(kr(L"이영희 로 부터 새로운 쪽지가 도착했습니다."), 200, kNotifierStayUntilClicked, 500);
    ASSERT_TRUE(PumpUntil([&] { return StandsOnTop(popup.GetHwnd()); }, 10000));
    ASSERT_TRUE(AwaitPicture(dir, 2, popup.GetHwnd()));
    popup.Hide();
    dlg.DestroyWindow();
}

} // namespace
