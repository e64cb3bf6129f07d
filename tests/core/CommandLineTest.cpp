#include "core/app/CommandLine.h"

#include <gtest/gtest.h>

using namespace dravel;

TEST(CommandLineCredentials, TakesBoundedValuesCutAtTheFirstBlank) {
    struct Case {
        const wchar_t* line;
        const wchar_t* id;
        const wchar_t* pw;
    } cases[] = {
        {L"/ID:kim /PW:secret", L"kim", L"secret"},
        {L"/PW:secret /ID:kim", L"kim", L"secret"},      // order does not matter
        {L"/ID:kim", L"kim", L""},                       // no password: the dialog asks
        {L"/ID: kim /PW:x", L"", L"x"},                  // blank right after the key
        {L"/PW:0123456789abcdef", L"", L"0123456789ab"}, // 16 characters: first 12
        {L"/ID:abcdefghijklmnop", L"abcdefghij", L""},   // first 10
        {L"junk /ID:a b /PW:c\td junk", L"a", L"c\td"},  // only a blank ends a value
        {L"/id:kim /pw:x", L"", L""},                    // case-sensitive
        {L"/ID:first /ID:second", L"first", L""},        // first occurrence
        {L"/ID:", L"", L""},
        {L"", L"", L""},
        {L"/ID:\xAE40\xCCA0\xC218 /PW:p", L"\xAE40\xCCA0\xC218", L"p"}, // non-ASCII kept as is
    };
    for (const Case& c : cases) {
        CommandLineCredentials got = ParseCommandLineCredentials(c.line);
        EXPECT_EQ(got.strId, c.id) << c.line;
        EXPECT_EQ(got.strPassword, c.pw) << c.line;
    }
}

TEST(CommandLineCredentials, RestartFlagIsAPlainSubstring) {
    EXPECT_TRUE(IsRestartLaunch(L"\"C:\\DravelOn\\DravelOn.exe\" --Restart"));
    EXPECT_TRUE(IsRestartLaunch(L"x--Restartx"));
    EXPECT_FALSE(IsRestartLaunch(L"--restart"));
    EXPECT_FALSE(IsRestartLaunch(L""));
}

// "/TLS" only as a word of its own: never inside a password or a path that happens to hold it.
TEST(CommandLineCredentials, EncryptedSwitchIsAWordOfItsOwn) {
    EXPECT_TRUE(HasEncryptedSwitch(L"/TLS"));
    EXPECT_TRUE(HasEncryptedSwitch(L"/ID:kim /PW:kim123 /tls"));
    EXPECT_TRUE(HasEncryptedSwitch(L"--Restart\t/Tls "));
    EXPECT_FALSE(HasEncryptedSwitch(L""));
    EXPECT_FALSE(HasEncryptedSwitch(L"/PW:a/TLS"));
    EXPECT_FALSE(HasEncryptedSwitch(L"/TLSX /ID:kim"));
    EXPECT_FALSE(HasEncryptedSwitch(L"C:\\TLS\\DravelOn.exe"));
    EXPECT_FALSE(HasEncryptedSwitch(L"/TL"));
}
