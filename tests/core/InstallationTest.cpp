#include "core/app/Installation.h"

#include <gtest/gtest.h>

using namespace dravel;

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
