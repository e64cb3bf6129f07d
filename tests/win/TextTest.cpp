// 949 <-> UTF-16 conversion, formatting and string-table texts of the Win32 base.

#include "win/base/Text.h"
#include "win/base/MessageBox.h"

#include <gtest/gtest.h>

#include <tuple>
#include <vector>

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

// What cannot go is named once each, in order, a surrogate pair as one character, with where the first starts.
TEST(Cp949Text, CharactersThat949CannotCarryAreFoundOnceEach) {
    struct Case {
        std::wstring text;
        std::vector<std::wstring> characters;
        size_t nFirst, nLength;
    };
    const Case cases[] = {
        {L"좋아요 abc 123 ?", {}, 0, 0},
        {L"좋아요 \U0001F600", {L"\U0001F600"}, 4, 2},
        {L"\u0E01x\U0001F600\u0E01", {L"\u0E01", L"\U0001F600"}, 0, 1},
        {L"a" + std::wstring(1, L'\xD800') + L"b\u00E9", {std::wstring(1, L'\xD800'), L"\u00E9"}, 1, 1},
    };
    for (const Case& c : cases) {
        const std::optional<UncarriedText> found = FindUncarried949(c.text);
        ASSERT_EQ(found.has_value(), !c.characters.empty());
        if (found)
            EXPECT_EQ(std::tie(found->characters, found->nFirst, found->nFirstLength),
                      std::tie(c.characters, c.nFirst, c.nLength));
    }
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

// The program formats only text it shows, as UTF-16.
TEST(TextFormat, FormatsTextBeyondTheFirstBuffer) {
    EXPECT_EQ(FormatWide(L"%ls.Log", L"C:\\Dravel\\DravelOn"), L"C:\\Dravel\\DravelOn.Log");
    EXPECT_EQ(FormatWide(L"parameter 1: %ls\nparameter 2:  %d", kNoteWide.c_str(), -5),
              L"parameter 1: " + kNoteWide + L"\nparameter 2:  -5");
    const std::wstring longText(5000, L'x');
    EXPECT_EQ(FormatWide(L"[%ls]", longText.c_str()), L"[" + longText + L"]");

    EXPECT_EQ(FormatWide(L"Version %ls (%d)", kNoteWide.c_str(), 3), L"Version " + kNoteWide + L" (3)");
    const std::wstring longWide(5000, L'y');
    EXPECT_EQ(FormatWide(L"%ls!", longWide.c_str()), longWide + L"!");
}

TEST(ResourceText, LoadsStringTableEntriesAndTheTitle) {
    EXPECT_EQ(LoadResString(0xFFF0), L"");
    // The caption is the string table's title.
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

} // namespace
