// Registry keys and the application profile of the Win32 base, on a test key of the current user.

#include "win/base/Registry.h"

#include <gtest/gtest.h>

#include <string>

using namespace dravel::win;

namespace {

// "쪽지".
const std::wstring kNoteWide = L"\uCABD\uC9C0";

const wchar_t kTestRoot[] = L"Software\\DravelOnTest";

class RegistryTest : public ::testing::Test {
protected:
    void SetUp() override {
        ::RegDeleteTreeW(HKEY_CURRENT_USER, kTestRoot);
        m_key = CRegistryKey::OpenWrite(HKEY_CURRENT_USER, kTestRoot);
        ASSERT_TRUE(m_key.IsOpen());
    }
    void TearDown() override {
        m_key = CRegistryKey();
        ::RegDeleteTreeW(HKEY_CURRENT_USER, kTestRoot);
    }
    void SetRaw(const wchar_t* name, DWORD type, const void* data, DWORD cb) {
        ASSERT_EQ(::RegSetValueExW(m_key.Get(), name, 0, type, static_cast<const BYTE*>(data), cb), ERROR_SUCCESS);
    }

    CRegistryKey m_key;
};

TEST_F(RegistryTest, StringRoundTripThroughAReadOnlyKey) {
    const std::wstring value = L"C:\\Program Files\\" + kNoteWide;
    ASSERT_TRUE(m_key.WriteString(L"Config", value));
    const CRegistryKey reader = CRegistryKey::OpenRead(HKEY_CURRENT_USER, kTestRoot);
    ASSERT_TRUE(reader.IsOpen());
    LONG status = -1;
    EXPECT_EQ(reader.ReadString(L"Config", 63, &status), value);
    EXPECT_EQ(status, ERROR_SUCCESS);
    EXPECT_FALSE(reader.WriteString(L"Other", L"x")) << "a KEY_READ key must not write";
}

TEST_F(RegistryTest, MissingValueOrKeyGivesEmpty) {
    LONG status = 0;
    EXPECT_EQ(m_key.ReadString(L"Nothing", 63, &status), L"");
    EXPECT_EQ(status, ERROR_FILE_NOT_FOUND);

    LONG openError = 0;
    const CRegistryKey none = CRegistryKey::OpenRead(HKEY_CURRENT_USER, L"Software\\DravelOnTest\\No", &openError);
    EXPECT_FALSE(none.IsOpen());
    EXPECT_NE(openError, ERROR_SUCCESS);
    EXPECT_EQ(none.ReadString(L"Config", 63, &status), L"");
    EXPECT_EQ(status, ERROR_FILE_NOT_FOUND);
}

TEST_F(RegistryTest, OverLongValueIsRefusedNotCut) {
    LONG status = 0;
    ASSERT_TRUE(m_key.WriteString(L"Exact", std::wstring(63, L'a')));
    EXPECT_EQ(m_key.ReadString(L"Exact", 63, &status), std::wstring(63, L'a'));
    EXPECT_EQ(status, ERROR_SUCCESS);

    ASSERT_TRUE(m_key.WriteString(L"OneMore", std::wstring(64, L'b')));
    EXPECT_EQ(m_key.ReadString(L"OneMore", 63, &status), L"");
    EXPECT_EQ(status, ERROR_MORE_DATA);

    ASSERT_TRUE(m_key.WriteString(L"Huge", std::wstring(100000, L'c')));
    EXPECT_EQ(m_key.ReadString(L"Huge", 63, &status), L"");
    EXPECT_EQ(status, ERROR_MORE_DATA);
}

TEST_F(RegistryTest, UnterminatedAndOddDataIsReadWithinBounds) {
    LONG status = 0;
    // 63 characters stored without NUL: fits exactly.
    const std::wstring full(63, L'z');
    SetRaw(L"NoNul", REG_SZ, full.data(), static_cast<DWORD>(full.size() * sizeof(wchar_t)));
    EXPECT_EQ(m_key.ReadString(L"NoNul", 63, &status), full);
    EXPECT_EQ(status, ERROR_SUCCESS);

    // 64 characters without NUL: one too many.
    const std::wstring over(64, L'z');
    SetRaw(L"NoNulOver", REG_SZ, over.data(), static_cast<DWORD>(over.size() * sizeof(wchar_t)));
    EXPECT_EQ(m_key.ReadString(L"NoNulOver", 63, &status), L"");
    EXPECT_EQ(status, ERROR_MORE_DATA);

    // Text ends at the first NUL; an odd trailing byte is no character.
    const wchar_t embedded[] = L"ab\0cd";
    SetRaw(L"Embedded", REG_SZ, embedded, sizeof(embedded));
    EXPECT_EQ(m_key.ReadString(L"Embedded", 63, &status), L"ab");
    SetRaw(L"Odd", REG_SZ, L"xy", 5);
    EXPECT_EQ(m_key.ReadString(L"Odd", 63, &status), L"xy");
}

TEST_F(RegistryTest, WrongTypesAreRefused) {
    ASSERT_TRUE(m_key.WriteDword(L"Number", 7));
    LONG status = 0;
    EXPECT_EQ(m_key.ReadString(L"Number", 63, &status), L"");
    EXPECT_EQ(status, ERROR_INVALID_DATATYPE);

    DWORD value = 99;
    EXPECT_TRUE(m_key.ReadDword(L"Number", value));
    EXPECT_EQ(value, 7u);
    value = 99;
    EXPECT_FALSE(m_key.ReadDword(L"Missing", value));
    ASSERT_TRUE(m_key.WriteString(L"Text", L"7"));
    EXPECT_FALSE(m_key.ReadDword(L"Text", value));
    const unsigned char eight[8] = {1, 0, 0, 0, 0, 0, 0, 0};
    SetRaw(L"Wide", REG_DWORD, eight, 8);
    EXPECT_FALSE(m_key.ReadDword(L"Wide", value));
    EXPECT_EQ(value, 99u);
}

TEST_F(RegistryTest, ProfileIntegersAndStringsLiveUnderTheirSection) {
    const CAppProfile profile(L"DravelOnTest", L"App");
    EXPECT_EQ(profile.SectionPath(L"STOCK"), L"Software\\DravelOnTest\\App\\STOCK");
    EXPECT_EQ(profile.ReadInt(L"STOCK", L"RectLeft", 0), 0);
    EXPECT_EQ(profile.ReadInt(L"STOCK", L"RectLeft", 17), 17);

    ASSERT_TRUE(profile.WriteInt(L"STOCK", L"RectLeft", -8)); // a maximised window's edge
    ASSERT_TRUE(profile.WriteInt(L"STOCK", L"Max", 1));
    EXPECT_EQ(profile.ReadInt(L"STOCK", L"RectLeft", 0), -8);
    EXPECT_EQ(profile.ReadInt(L"STOCK", L"Max", 0), 1);
    EXPECT_EQ(profile.ReadInt(L"OTHER", L"Max", 5), 5);

    ASSERT_TRUE(profile.WriteString(L"STOCK", L"Name", kNoteWide));
    EXPECT_EQ(profile.ReadString(L"STOCK", L"Name", L"none"), kNoteWide);
    EXPECT_EQ(profile.ReadString(L"STOCK", L"Nope", L"none"), L"none");
    EXPECT_EQ(profile.ReadInt(L"STOCK", L"Name", 3), 3) << "a string is no integer";
}

} // namespace
