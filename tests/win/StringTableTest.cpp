// The string table's texts that the core is handed or whose words follow a rule of the core.

#include "win/base/Text.h"
#include "win/res/resource.h"
#include "win/session/PopupTexts.h"
#include "core/session/WindowTable.h"

#include "support/Korean.h"

#include <gtest/gtest.h>

#include <string>

using namespace dravel;
using namespace dravel::win;
using namespace dravel::win::test;

namespace {

TEST(StringTable, ThePopupTextsReachTheCoreAsTheirCodePage949Bytes) {
    const PopupTexts texts = LoadPopupTexts();
    const struct {
        const std::string& loaded;
        const wchar_t* pszExpected;
    } cases[] = {
        {texts.strAppTitle, L"Dravel On"},
        {texts.strGreeting, L"%s\n\n%s"},
        {texts.strSessionEnded, L"%s 님\n\n%s 접속을 종료합니다."},
        {texts.strMessage, L"%s 로 부터 새로운 쪽지가 도착했습니다."},
        {texts.strNote, L"%s"},
        {texts.strCancelRequest, L"%s 로 부터 취소 요청이 들어왔습니다."},
        {texts.strFile, L"%s 로 부터 첨부파일이 도착했습니다."},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.loaded, Kr(c.pszExpected));
}

TEST(StringTable, TheSessionsBoxesSayWhatTheCoreDecided) {
    // The box for a full window table names the table's size.
    EXPECT_NE(LoadResString(IDS_SESSION_WINDOWS_FULL).find(std::to_wstring(kMaxWindowSlots)), std::wstring::npos);
    // The warning of a lost connection begins with the server ("서버").
    EXPECT_EQ(LoadResString(IDS_SESSION_CONNECTION_LOST).substr(0, 2), L"\uC11C\uBC84");
}

} // namespace
