#include "core/app/ServerAddress.h"

#include <gtest/gtest.h>

#include <string>

using namespace dravel;

TEST(ServerHostRule, AnInstalledHostIsTakenOnlyWhenItIsAUsableName) {
    const std::string built = "127.0.0.1";
    EXPECT_EQ(ChooseServerHost(L"msg.example.co.kr", built), "msg.example.co.kr");
    EXPECT_EQ(ChooseServerHost(L"10.0.0.5", built), "10.0.0.5");
    EXPECT_EQ(ChooseServerHost(L"Server-1", built), "Server-1");
    const std::wstring longest = std::wstring(63, L'a') + L"." + std::wstring(63, L'b') + L"." +
                                 std::wstring(63, L'c') + L"." + std::wstring(61, L'd');
    ASSERT_EQ(longest.size(), kServerHostMaxChars);
    EXPECT_EQ(ChooseServerHost(longest, built).size(), kServerHostMaxChars);

    // Whatever could not be a host name leaves the build-time address in place: the client never
    // connects to, or builds a portal address from, half a value.
    const std::wstring refused[] = {L"",
                                    L" ",
                                    L" msg.example.com",
                                    L"msg.example.com ",
                                    L"msg example.com",
                                    L"msg.example.com\r\n",
                                    std::wstring(L"msg\0evil", 8),
                                    L"msg\texample",
                                    L"msg.example.com:8080",
                                    L"msg.example.com/user",
                                    L"user@msg.example.com",
                                    L"msg..example.com",
                                    L".example.com",
                                    L"example.com.",
                                    L"-msg.example.com",
                                    L"msg-.example.com",
                                    L"\uC11C\uBC84.kr",
                                    std::wstring(64, L'a') + L".com",
                                    longest + L"e"};
    for (const std::wstring& value : refused)
        EXPECT_EQ(ChooseServerHost(value, built), built) << testing::PrintToString(value);
}
