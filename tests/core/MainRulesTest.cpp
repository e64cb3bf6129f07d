#include "core/session/MainRules.h"

#include "core/app/ServerAddress.h"
#include "core/portal/PageOrigin.h"
#include "core/protocol/TextConverter.h"

#include "tests/core/support/MemoryStream.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace dravel;
using dravel::test::DecodeAll;
using dravel::test::MemoryStream;

namespace {

const AsciiTextConverter kAscii;

} // namespace

TEST(MainRules, LoginPageCarriesBothValuesPercentEncodedByteForByte) {
    EXPECT_EQ(PercentEncode("aZ09-._~"), "aZ09-._~");
    EXPECT_EQ(PercentEncode("a&b#c+d%e f=g?/"), "a%26b%23c%2Bd%25e%20f%3Dg%3F%2F");
    EXPECT_EQ(PercentEncode("\xB1\xE8\x00z"), "%B1%E8"); // C string ends at the NUL byte
    EXPECT_EQ(PercentEncode(std::string("\xB1\xE8\x00z", 4)), "%B1%E8%00z");
    EXPECT_EQ(LoginPageUrl("10.0.0.5", "kim", "p&ss #1+%"),
              "http://10.0.0.5/user/proc.asp?user_id=kim&user_password=p%26ss%20%231%2B%25");
    EXPECT_EQ(LogoutPageUrl("10.0.0.5"), "http://10.0.0.5/user/logout.asp");
    // Encrypted, every page the program opens on the portal is https: the password never travels in
    // a plain address.
    SetSecurePages(true);
    EXPECT_EQ(LoginPageUrl("10.0.0.5", "kim", "pw"), "https://10.0.0.5/user/proc.asp?user_id=kim&user_password=pw");
    EXPECT_EQ(LogoutPageUrl("10.0.0.5"), "https://10.0.0.5/user/logout.asp");
    EXPECT_EQ(PortalPageUrl("10.0.0.5", "/sm/voc/list.asp"), "https://10.0.0.5/sm/voc/list.asp");
    EXPECT_EQ(PortalWindowAddress("/sm/order/list.asp", "10.0.0.5"), "https://10.0.0.5/sm/order/list.asp");
    SetSecurePages(false);
}

TEST(MainRules, AdministratorItemOnlyForTheTwoExactIds) {
    EXPECT_TRUE(IsAdministrator("qalop7"));
    EXPECT_TRUE(IsAdministrator("tervo"));
    for (const char* id : {"Qalop7", "tervo ", "tervo7", "qalop", "", "TERVO"})
        EXPECT_FALSE(IsAdministrator(id)) << id;

    const std::wstring bulk = L"\uAD00\uB9AC\uBA54\uC138\uC9C0 \uBCF4\uB0B4\uAE30..."; // 관리메세지 보내기...
    const auto menu = [&](const char* id, const wchar_t* about, const wchar_t* chat = L"") {
        return SystemMenuItems(id, {.about = about, .bulkNote = bulk, .chatList = chat});
    };
    std::vector<SystemMenuItem> admin = menu("tervo", L"&About Dravel On...");
    ASSERT_EQ(admin.size(), 3u);
    EXPECT_TRUE(admin[0].bSeparator);
    EXPECT_EQ(admin[1].nCommand, kSysCommandBulkNote);
    EXPECT_EQ(admin[1].strText, bulk);
    EXPECT_EQ(admin[2].nCommand, kSysCommandAbout);
    EXPECT_EQ(menu("kim", L"&About Dravel On...").size(), 2u);
    // Without an About text there is no separator and no About item.
    EXPECT_TRUE(menu("kim", L"").empty());
    ASSERT_EQ(menu("qalop7", L"").size(), 1u);
    // The chat list item comes last, for everyone, whenever its text is there.
    std::vector<SystemMenuItem> withChat = menu("kim", L"&About Dravel On...", L"Chat");
    ASSERT_EQ(withChat.size(), 3u);
    EXPECT_EQ(withChat[2].nCommand, kSysCommandChatList);
    EXPECT_EQ(withChat[2].strText, L"Chat");
    EXPECT_EQ(menu("kim", L"", L"Chat").size(), 1u);

    EXPECT_EQ(ClassifySysCommand(0x10, "kim"), SysCommandAction::About);
    EXPECT_EQ(ClassifySysCommand(0x1F, "kim"), SysCommandAction::About);
    EXPECT_EQ(ClassifySysCommand(0x23, "qalop7"), SysCommandAction::BulkNote);
    EXPECT_EQ(ClassifySysCommand(0x20, "kim"), SysCommandAction::Default);
    EXPECT_EQ(ClassifySysCommand(0xF060, "qalop7"), SysCommandAction::Default);
    EXPECT_EQ(ClassifySysCommand(kSysCommandChatList, "kim"), SysCommandAction::ChatList);
    // Only the whole command: its neighbours in the same block of 16 are not the chat list.
    EXPECT_EQ(ClassifySysCommand(kSysCommandChatList - 1, "kim"), SysCommandAction::Default);
}

TEST(MainRules, StartLogLineAndPath) {
    std::tm t{};
    t.tm_year = 2026 - 1900;
    t.tm_mon = 11;
    t.tm_mday = 8;
    t.tm_hour = 15;
    t.tm_min = 4;
    t.tm_sec = 5;
    EXPECT_EQ(StartLogLine(t), "2026-12-08 PM 03:04:05 Dravel On Start   -----------------------------------------\n");
    t.tm_hour = 0;
    EXPECT_EQ(FormatLogTime(t), "2026-12-08 AM 12:04:05");
    t.tm_hour = 12;
    EXPECT_EQ(FormatLogTime(t), "2026-12-08 PM 12:04:05");
    t.tm_hour = 11;
    EXPECT_EQ(FormatLogTime(t), "2026-12-08 AM 11:04:05");

    EXPECT_EQ(StartLogPath(L"C:\\Program Files\\Tamix\\DravelOn.exe"), L"C:\\Program Files\\Tamix\\DravelOn.Log");
    EXPECT_EQ(StartLogPath(L"C:\\v1.2\\DravelOn"), L"C:\\v1.2\\DravelOn.Log");
    EXPECT_EQ(StartLogPath(L"C:\\a\\Dravel.On.exe"), L"C:\\a\\Dravel.On.Log");
}

TEST(MainRules, PlacementIsMaximisedUnlessAUsableRectangleWasKept) {
    EXPECT_TRUE(ShowMaximised({0, 0, 0, 0, 0}));
    EXPECT_TRUE(ShowMaximised({10, 20, 800, 600, 1}));
    EXPECT_FALSE(ShowMaximised({10, 20, 800, 600, 0}));
    EXPECT_FALSE(ShowMaximised({-1200, 0, -400, 600, 0})); // a monitor left of the main one
    EXPECT_TRUE(ShowMaximised({800, 20, 10, 600, 0}));
    EXPECT_TRUE(ShowMaximised({10, 600, 800, 600, 0}));
    // What a session saves is read back the same way at the next start.
    EXPECT_FALSE(ShowMaximised(PlacementToSave(10, 20, 800, 600, false)));
    EXPECT_TRUE(ShowMaximised(PlacementToSave(10, 20, 800, 600, true)));
    EXPECT_EQ(PlacementToSave(10, 20, 800, 600, true).nMax, 1);
}

TEST(MainRules, PageClosesOnlyBrowserWindowsAndCancelsTransfers) {
    const std::pair<ActiveWindowKind, CloseActiveAction> cases[] = {
        {ActiveWindowKind::None, CloseActiveAction::Nothing},
        {ActiveWindowKind::BrowserWindow, CloseActiveAction::HideBrowserWindow},
        // Ending it as done would report an aborted transfer as a whole file.
        {ActiveWindowKind::TransferWindow, CloseActiveAction::CancelTransfer},
        // The main window, a message box, the login dialog: a page answers none of them.
        {ActiveWindowKind::Other, CloseActiveAction::Nothing}};
    for (const auto& [active, action] : cases)
        EXPECT_EQ(DecideCloseActive(active), action) << static_cast<int>(active);
}

TEST(MainRules, ConnectionCheckTimerSendsOnlyAtStatusOne) {
    class NoOwner : public ConnectionOwner {
        void OnRecord(const CComData&) override {}
        void OnConnectionLost() override {}
        void ShowConnectionLost() override {}
    } owner;
    MemoryStream stream;
    CClientConnection c(owner, stream, kAscii, "kim", "pw", "10.0.0.5");
    c.m_strName = "Kim";
    EXPECT_FALSE(OnSessionTimer(kConnectionCheckTimer, &c)); // status 0 before the login grant
    c.m_nStatus = 2;
    EXPECT_FALSE(OnSessionTimer(kConnectionCheckTimer, &c));
    EXPECT_TRUE(stream.strWritten.empty());
    c.m_nStatus = 1;
    EXPECT_FALSE(OnSessionTimer(1027, &c));
    EXPECT_FALSE(OnSessionTimer(kConnectionCheckTimer, nullptr));
    EXPECT_TRUE(OnSessionTimer(kConnectionCheckTimer, &c));
    std::vector<CComData> sent = DecodeAll(stream.strWritten);
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].m_nCommand, COM_CONNECT_CHECK);
    EXPECT_EQ(sent[0].m_strText, "Connect check");
}

TEST(MainRules, CustomFunctionTextNamesBothParameters) {
    EXPECT_EQ(CustomFunctionText(L"a%sb", -5), L"parameter 1: a%sb\nparameter 2:  -5");
}

TEST(MainRules, PanelStandsInUnlessTheBrowserReachedAnInteractivePage) {
    // Wine's control without an engine stays at loading (1); a failed load never leaves it.
    EXPECT_TRUE(ShowNoPagePanel(true, 0));
    EXPECT_TRUE(ShowNoPagePanel(true, 1));
    EXPECT_TRUE(ShowNoPagePanel(true, 2));
    EXPECT_FALSE(ShowNoPagePanel(true, 3));
    EXPECT_FALSE(ShowNoPagePanel(true, 4));
    EXPECT_TRUE(ShowNoPagePanel(false, 4));
}
