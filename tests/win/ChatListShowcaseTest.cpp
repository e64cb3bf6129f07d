// The chat list put on screen for review, not checked here: both tabs with on-line and off-line users
// and Korean names. run_showcase_screenshots.py runs this (disabled by default) test, photographs the
// window when told "ready" (the file holds the window's size) and answers "done".

#include "win/chat/ChatListDlg.h"

#include "win/base/Text.h"

#include "support/Screen.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

using namespace dravel;
using namespace dravel::win;
using namespace dravel::win::test;

namespace {

class CQuietOwner : public ChatListOwner {
public:
    bool HasConnection() const override { return true; }
    void SendChatListCollect(std::string_view) override {}
    void SendDeleteFriend(std::string_view) override {}
    void SendAppendFriend(std::string_view) override {}
    void OpenConversationForUser(const std::string&, const std::string&) override {}
};

TEST(ChatListShowcase, DISABLED_ShowForScreenshots) {
    const wchar_t* dirEnv = _wgetenv(L"DRAVELON_SHOWCASE_DIR");
    ASSERT_NE(dirEnv, nullptr);
    const std::wstring dir = dirEnv;
    CQuietOwner owner;
    CChatListDlg dlg(owner);
    ASSERT_TRUE(dlg.Create());
    ::SetWindowPos(dlg.GetHwnd(), HWND_TOP, 0, 0, 0, 0, SWP_NOSIZE | SWP_SHOWWINDOW);

    auto kr = [](const wchar_t* text) { return WideToCp949(text); };
    dlg.Records().LoadCollectedList("kim|1|" + kr(L"김민수") + "|lee|0|" + kr(L"이영희") + "|park|1|" + kr(L"박지성 (영업부)") +
                          "|choi|0|" + kr(L"최유리"));
    dlg.UserList().SendMessage(LB_SETCURSEL, 0);
    ASSERT_TRUE(AwaitPicture(dir, 1, dlg.GetHwnd()));

    dlg.SelectTab(1);
    dlg.Records().AddListEntry(kr(L"김민수"), 1, "kim");
    dlg.Records().AddListEntry(kr(L"이영희"), 0, "lee");
    dlg.Records().AddListEntry(kr(L"박지성 (영업부)"), 1, "park");
    dlg.Records().AddListEntry(kr(L"최유리"), 0, "choi");
    dlg.Records().AddListEntry(kr(L"정한별"), 1, "jung");
    dlg.Records().AddListEntry(kr(L"강하늘, 아주 긴 이름이 줄을 바꾸어 두 줄에 걸쳐 보입니다"), 0, "kang");
    dlg.Records().EndListEntries("", 0, "");
    dlg.Records().SetUserState(kr(L"최유리"), true);
    dlg.UserList().SendMessage(LB_SETCURSEL, 2);
    ASSERT_TRUE(AwaitPicture(dir, 2, dlg.GetHwnd()));
    dlg.DestroyWindow();
}

} // namespace
