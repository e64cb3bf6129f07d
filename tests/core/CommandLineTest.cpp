#include "core/app/CommandLine.h"
#include "core/app/Installation.h"

#include <gtest/gtest.h>

using namespace dravel;

TEST(CommandLineCredentials, TakesBoundedValuesCutAtTheFirstBlank) {
    struct Case {
        const wchar_t* line;
        const wchar_t* id;
        const wchar_t* pw;
    } cases[] = {
        {L"/ID:kim /PW:secret", L"kim", L"secret"},
        {L"/PW:secret /ID:kim", L"kim", L"secret"},                      // order does not matter
        {L"/ID:kim", L"kim", L""},                                       // no password: the dialog asks
        {L"/ID: kim /PW:x", L"", L"x"},                                  // blank right after the key
        {L"/PW:0123456789abcdef", L"", L"0123456789ab"},                 // 16 characters: first 12
        {L"/ID:abcdefghijklmnop", L"abcdefghij", L""},                   // first 10
        {L"junk /ID:a b /PW:c\td junk", L"a", L"c\td"},                  // only a blank ends a value
        {L"/id:kim /pw:x", L"", L""},                                    // case-sensitive
        {L"/ID:first /ID:second", L"first", L""},                        // first occurrence
        {L"/ID:", L"", L""},
        {L"", L"", L""},
        {L"/ID:\xAE40\xCCA0\xC218 /PW:p", L"\xAE40\xCCA0\xC218", L"p"},  // non-ASCII kept as is
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

TEST(InstallationRule, FolderMustMatchApartFromLetterCase) {
    const wchar_t* exe = L"C:\\Program Files\\DravelOn\\DravelOn.exe";
    EXPECT_EQ(CheckInstallation(true, L"C:\\Program Files\\DravelOn", exe), InstallCheck::Ok);
    EXPECT_EQ(CheckInstallation(true, L"c:\\program files\\dravelon", exe), InstallCheck::Ok);
    EXPECT_EQ(CheckInstallation(true, L"C:\\Program Files\\DravelOn\\", exe), InstallCheck::WrongFolder);
    EXPECT_EQ(CheckInstallation(true, L"C:\\PROGRA~1\\DravelOn", exe), InstallCheck::WrongFolder);
    EXPECT_EQ(CheckInstallation(true, L"D:\\Other", exe), InstallCheck::WrongFolder);
    EXPECT_EQ(CheckInstallation(true, L"", exe), InstallCheck::NotInstalled);
    EXPECT_EQ(CheckInstallation(false, L"C:\\Program Files\\DravelOn", exe), InstallCheck::NotInstalled);
}

TEST(InstallationRule, OnlyAsciiLettersFoldAndLongValuesDoNotFit) {
    // Non-ASCII letters keep their case: U+00E9 and U+00C9 differ.
    EXPECT_EQ(CheckInstallation(true, L"C:\\caf\u00e9", L"C:\\CAF\u00c9\\a.exe"), InstallCheck::WrongFolder);
    EXPECT_EQ(CheckInstallation(true, L"C:\\\xD55C\xAE00", L"c:\\\xD55C\xAE00\\a.exe"), InstallCheck::Ok);
    std::wstring folder63 = L"C:\\" + std::wstring(60, L'd');
    EXPECT_EQ(CheckInstallation(true, folder63, folder63 + L"\\x.exe"), InstallCheck::Ok);
    std::wstring folder64 = folder63 + L"d";
    EXPECT_EQ(CheckInstallation(true, folder64, folder64 + L"\\x.exe"), InstallCheck::NotInstalled);
    // A value with an embedded end mark is read up to it.
    EXPECT_EQ(BoundConfigValue(std::wstring(L"C:\\A\0junk", 9)), L"C:\\A");
    // A program path without any backslash compares as a whole.
    EXPECT_EQ(FolderOfPath(L"prog.exe"), L"prog.exe");
}
