// Text conversion, RAII owners, registry and Winsock of the Win32 base.

#include "win/base/Handles.h"
#include "win/base/MessageBox.h"
#include "win/base/Registry.h"
#include "win/base/Text.h"
#include "win/base/Winsock.h"

#include <gtest/gtest.h>

#include <string>

using namespace dravel::win;

namespace {

// "쪽지" in code page 949.
const std::string kNote949 = "\xC2\xCA\xC1\xF6";
const std::wstring kNoteWide = L"\uCABD\uC9C0";

TEST(Cp949Text, KnownWordConvertsToItsBytesAndBack) {
    EXPECT_EQ(WideToCp949(kNoteWide), kNote949);
    EXPECT_EQ(Cp949ToWide(kNote949), kNoteWide);
}

TEST(Cp949Text, MixedAsciiAndKoreanRoundTrip) {
    const std::wstring text = L"Hi " + kNoteWide + L" 12:30 [\uAC00\uB098\uB2E4]!";
    const std::string bytes = WideToCp949(text);
    EXPECT_EQ(bytes, "Hi " + kNote949 + " 12:30 [\xB0\xA1\xB3\xAA\xB4\xD9]!");
    EXPECT_EQ(Cp949ToWide(bytes), text);
}

TEST(Cp949Text, EmptyInputGivesEmptyOutput) {
    EXPECT_EQ(Cp949ToWide(""), L"");
    EXPECT_EQ(WideToCp949(L""), "");
    EXPECT_EQ(CWinTextConverter().Utf16ToLocal(u""), "");
}

TEST(Cp949Text, LeadByteWithoutTrailByteBecomesQuestionMark) {
    EXPECT_EQ(Cp949ToWide("\xC2"), L"?");
    EXPECT_EQ(Cp949ToWide("A\xC1"), L"A?");
    EXPECT_EQ(Cp949ToWide(kNote949 + "\xC2"), kNoteWide + L"?");
    // A trail byte that is also a lead byte value must not be mistaken for a dangling lead.
    EXPECT_EQ(Cp949ToWide("\xC2\xCA"), std::wstring(1, L'\uCABD'));
}

TEST(Cp949Text, InvalidBytesInTheMiddleDoNotStopTheRest) {
    const std::wstring wide = Cp949ToWide("\xC2\x20"
                                          "abc");
    ASSERT_GE(wide.size(), 3u);
    EXPECT_EQ(wide.substr(wide.size() - 3), L"abc");
    EXPECT_FALSE(Cp949ToWide("\xFF\x80\x81").empty());
}

TEST(Cp949Text, EmbeddedNulSurvivesBothWays) {
    const std::string bytes("a\0"
                            "\xC2\xCA"
                            "b\0",
                            6);
    const std::wstring wide = Cp949ToWide(bytes);
    EXPECT_EQ(wide, std::wstring(L"a\0\uCABDb\0", 5));
    EXPECT_EQ(WideToCp949(wide), bytes);
}

TEST(Cp949Text, CharactersOutside949BecomeOneQuestionMarkPerUnit) {
    EXPECT_EQ(WideToCp949(L"x\U0001F600y"), "x??y");         // surrogate pair
    EXPECT_EQ(WideToCp949(std::wstring(1, L'\xD800')), "?"); // lone surrogate
    EXPECT_EQ(WideToCp949(L"\u0E01"), "?");                  // Thai
    EXPECT_EQ(WideToCp949(L"\u00E9"), "?");                  // no best-fit "e"
}

TEST(Cp949Text, ProtocolConverterUsesThe949Table) {
    const CWinTextConverter converter;
    EXPECT_EQ(converter.Utf16ToLocal(u"\uCABD\uC9C0 ok"), kNote949 + " ok");
    EXPECT_EQ(converter.Utf16ToLocal(u"\U0001F600"), "??");
}

// Long texts are converted in pieces of 1 MiB; a piece must never end inside a character.
TEST(Cp949Text, LongTextsAreNotSplitInsideACharacter) {
    const size_t count = (1u << 20) / 2 + 10;
    std::string bytes = "a";
    std::wstring wide = L"a";
    for (size_t i = 0; i < count; ++i) {
        bytes += kNote949.substr(0, 2);
        wide += L'\uCABD';
    }
    EXPECT_EQ(Cp949ToWide(bytes), wide);
    EXPECT_EQ(WideToCp949(wide), bytes);

    std::wstring pairs(1u << 20, L'x');
    pairs[(1u << 20) - 1] = L'\xD83D'; // a pair across the piece boundary
    pairs += L'\xDE00';
    const std::string narrow = WideToCp949(pairs);
    ASSERT_EQ(narrow.size(), pairs.size());
    EXPECT_EQ(narrow.substr(narrow.size() - 3), "x??");
}

TEST(TextFormat, FormatsNarrowAndWideBeyondTheFirstBuffer) {
    EXPECT_EQ(FormatText("%s.Log", "C:\\Dravel\\DravelOn"), "C:\\Dravel\\DravelOn.Log");
    EXPECT_EQ(FormatText("parameter 1: %s\nparameter 2:  %d", kNote949.c_str(), -5),
              "parameter 1: " + kNote949 + "\nparameter 2:  -5");
    const std::string longText(5000, 'x');
    EXPECT_EQ(FormatText("[%s]", longText.c_str()), "[" + longText + "]");

    EXPECT_EQ(FormatWide(L"Version %ls (%d)", kNoteWide.c_str(), 3), L"Version " + kNoteWide + L" (3)");
    const std::wstring longWide(5000, L'y');
    EXPECT_EQ(FormatWide(L"%ls!", longWide.c_str()), longWide + L"!");
}

TEST(ResourceText, LoadsStringTableEntriesAndFallsBackForTheTitle) {
    EXPECT_EQ(LoadResString(0xFFF0), L"");
    // The test program has no string table: the caption falls back to the fixed title.
    EXPECT_EQ(AppTitle(), L"Dravel On");

    // Any string of user32 serves to compare the pointer form with the ordinary buffer form.
    const HMODULE user32 = ::GetModuleHandleW(L"user32.dll");
    wchar_t buffer[256];
    for (UINT id = 0; id < 64; ++id) {
        const int n = ::LoadStringW(user32, id, buffer, 256);
        if (n > 0) {
            EXPECT_EQ(LoadResString(id, user32), std::wstring(buffer, static_cast<size_t>(n)));
            return;
        }
    }
    GTEST_SKIP() << "user32 has no string below id 64";
}

bool IsLiveHandle(HANDLE h) {
    DWORD flags = 0;
    return ::GetHandleInformation(h, &flags) != FALSE;
}

TEST(Owners, KernelHandleIsClosedUnlessDetached) {
    HANDLE raw = nullptr;
    {
        CKernelHandle event(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
        ASSERT_TRUE(event);
        raw = event.Get();
        EXPECT_TRUE(IsLiveHandle(raw));
    }
    EXPECT_FALSE(IsLiveHandle(raw));

    {
        CKernelHandle event(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
        raw = event.Detach();
        EXPECT_FALSE(event);
    }
    EXPECT_TRUE(IsLiveHandle(raw));
    ::CloseHandle(raw);
}

TEST(Owners, KernelHandleTreatsBothNullAndInvalidAsEmpty) {
    EXPECT_FALSE(CKernelHandle());
    EXPECT_FALSE(CKernelHandle(INVALID_HANDLE_VALUE));
    EXPECT_FALSE(CKernelHandle(nullptr));
}

TEST(Owners, MoveTransfersOwnershipAndResetClosesThePrevious) {
    CKernelHandle a(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    const HANDLE first = a.Get();
    CKernelHandle b(std::move(a));
    EXPECT_FALSE(a);
    EXPECT_EQ(b.Get(), first);

    CKernelHandle c(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    const HANDLE second = c.Get();
    c = std::move(b); // closes "second"
    EXPECT_EQ(c.Get(), first);
    EXPECT_FALSE(IsLiveHandle(second));

    c.Reset();
    EXPECT_FALSE(IsLiveHandle(first));
    EXPECT_FALSE(c);
}

TEST(Owners, GdiObjectsAreDeletedAndSelectionsUndone) {
    HGDIOBJ rawFont = nullptr;
    {
        CFontHandle font(::CreateFontW(-12, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, L"Arial"));
        ASSERT_TRUE(font);
        rawFont = font.Get();
        EXPECT_EQ(::GetObjectType(rawFont), static_cast<DWORD>(OBJ_FONT));
    }
    EXPECT_EQ(::GetObjectType(rawFont), 0u);

    CDcHandle dc(::CreateCompatibleDC(nullptr));
    ASSERT_TRUE(dc);
    const HGDIOBJ originalBrush = ::GetCurrentObject(dc.Get(), OBJ_BRUSH);
    CBrushHandle brush(::CreateSolidBrush(RGB(1, 2, 3)));
    {
        CSelectObjectGuard guard(dc.Get(), brush.Get());
        EXPECT_TRUE(guard.Succeeded());
        EXPECT_EQ(::GetCurrentObject(dc.Get(), OBJ_BRUSH), brush.Get());
    }
    EXPECT_EQ(::GetCurrentObject(dc.Get(), OBJ_BRUSH), originalBrush);

    HDC rawDc = dc.Get();
    dc.Reset();
    EXPECT_EQ(::GetObjectType(rawDc), 0u);
}

TEST(Owners, WindowMenuIconCursorAndHookOwnersReleaseTheirHandles) {
    HWND rawWindow = nullptr;
    HMENU rawMenu = nullptr;
    HICON rawIcon = nullptr;
    HCURSOR rawCursor = nullptr;
    HHOOK rawHook = nullptr;
    {
        CWindowHandle window(
            ::CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr));
        CMenuHandle menu(::CreatePopupMenu());
        CIconHandle icon(::CopyIcon(::LoadIconW(nullptr, IDI_APPLICATION)));
        CCursorHandle cursor(
            static_cast<HCURSOR>(::CopyImage(::LoadCursorW(nullptr, IDC_ARROW), IMAGE_CURSOR, 0, 0, 0)));
        CHookHandle hook(::SetWindowsHookExW(
            WH_GETMESSAGE, [](int code, WPARAM w, LPARAM l) { return ::CallNextHookEx(nullptr, code, w, l); }, nullptr,
            ::GetCurrentThreadId()));
        ASSERT_TRUE(window && menu && icon && cursor && hook);
        rawWindow = window.Get();
        rawMenu = menu.Get();
        rawIcon = icon.Get();
        rawCursor = cursor.Get();
        rawHook = hook.Get();
    }
    EXPECT_FALSE(::IsWindow(rawWindow));
    EXPECT_FALSE(::IsMenu(rawMenu));
    ICONINFO info{};
    EXPECT_FALSE(::GetIconInfo(rawIcon, &info));
    EXPECT_FALSE(::GetIconInfo(rawCursor, &info));
    EXPECT_FALSE(::UnhookWindowsHookEx(rawHook));
}

TEST(Owners, WindowDcIsReleasedToItsWindow) {
    CWindowHandle window(
        ::CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr));
    CWindowDc dc(window.Get());
    ASSERT_TRUE(dc);
    CWindowDc moved(std::move(dc));
    EXPECT_FALSE(dc);
    EXPECT_TRUE(moved);
    moved.Reset();
    EXPECT_FALSE(moved);
}

// A COM object that counts its references.
class CCountedUnknown : public IUnknown {
public:
    ULONG m_nRefs = 1;
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** ppv) override {
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++m_nRefs; }
    ULONG STDMETHODCALLTYPE Release() override { return --m_nRefs; }
};

TEST(Owners, ComPointerReleasesExactlyTheReferencesItHolds) {
    CCountedUnknown object;
    {
        CComPtr<IUnknown> p(&object); // adopts the initial reference
        CComPtr<IUnknown> shared = p.Share();
        EXPECT_EQ(object.m_nRefs, 2u);
        CComPtr<IUnknown> moved(std::move(shared));
        EXPECT_FALSE(shared);
        EXPECT_EQ(object.m_nRefs, 2u);
    }
    EXPECT_EQ(object.m_nRefs, 0u);

    object.m_nRefs = 1;
    {
        CComPtr<IUnknown> p(&object);
        EXPECT_EQ(p.Detach(), &object);
    }
    EXPECT_EQ(object.m_nRefs, 1u);

    {
        auto p = CComPtr<IUnknown>::AddRefFrom(&object);
        EXPECT_EQ(object.m_nRefs, 2u);
        *p.Put() = nullptr; // Put releases before it hands out the slot
        EXPECT_EQ(object.m_nRefs, 1u);
    }
}

TEST(Owners, SocketIsClosedAndWinsockStarts) {
    CWinsockInit winsock;
    ASSERT_TRUE(winsock.Ok()) << winsock.Error();
    SOCKET raw = INVALID_SOCKET;
    {
        CSocketHandle socket(::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
        ASSERT_TRUE(socket);
        raw = socket.Get();
        int type = 0;
        int len = sizeof(type);
        EXPECT_EQ(::getsockopt(raw, SOL_SOCKET, SO_TYPE, reinterpret_cast<char*>(&type), &len), 0);
    }
    int type = 0;
    int len = sizeof(type);
    EXPECT_EQ(::getsockopt(raw, SOL_SOCKET, SO_TYPE, reinterpret_cast<char*>(&type), &len), SOCKET_ERROR);
    EXPECT_EQ(::WSAGetLastError(), WSAENOTSOCK);
}

TEST(Owners, ModuleIsFreed) {
    // A system library the test does not otherwise load.
    const wchar_t* name = L"msimg32.dll";
    ASSERT_EQ(::GetModuleHandleW(name), nullptr);
    {
        CModuleHandle module(::LoadLibraryW(name));
        ASSERT_TRUE(module);
        EXPECT_NE(::GetModuleHandleW(name), nullptr);
    }
    EXPECT_EQ(::GetModuleHandleW(name), nullptr);
}

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
