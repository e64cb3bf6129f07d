#include "core/protocol/KoreanTexts.h"

#include "tests/core/support/Bytes.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iconv.h>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

using namespace dravel;
using dravel::test::Hex;

namespace {

// glibc's own table, as a second opinion on the program's texts.
std::string Utf8ToCp949(std::string_view utf8) {
    iconv_t cd = iconv_open("CP949", "UTF-8");
    if (cd == reinterpret_cast<iconv_t>(-1))
        return "(no CP949 converter)";
    std::string out(utf8.size() * 2 + 4, '\0');
    char* in = const_cast<char*>(utf8.data());
    size_t inLeft = utf8.size();
    char* dst = out.data();
    size_t outLeft = out.size();
    const size_t r = iconv(cd, &in, &inLeft, &dst, &outLeft);
    iconv_close(cd);
    if (r == static_cast<size_t>(-1))
        return "(not convertible)";
    out.resize(out.size() - outLeft);
    return out;
}

// The text in `// "..."` at the end of a line (or making the whole line), if there is one.
std::optional<std::string> QuotedComment(const std::string& line, bool bWholeLine) {
    const size_t at = line.find("// \"");
    if (at == std::string::npos || (bWholeLine && at != 0) || line.size() < at + 5 || line.back() != '"')
        return std::nullopt;
    return line.substr(at + 4, line.size() - at - 5);
}

// The quoted readable text beside each constant of the header, "\n" read as a line feed: in a comment
// ending the declaration, else in the comment line just above it.
std::map<std::string, std::string> ReadableTextsOfHeader(const std::string& path) {
    std::ifstream file(path);
    std::vector<std::string> lines;
    for (std::string line; std::getline(file, line);)
        lines.push_back(line);
    const std::string declaration = "inline constexpr char ";
    std::map<std::string, std::string> texts;
    for (size_t i = 0; i < lines.size(); ++i) {
        if (lines[i].rfind(declaration, 0) != 0)
            continue;
        const std::string name = lines[i].substr(declaration.size(), lines[i].find('[') - declaration.size());
        size_t end = i;
        while (end + 1 < lines.size() && lines[end].substr(0, lines[end].find("//")).find(';') == std::string::npos)
            ++end;
        std::optional<std::string> readable = QuotedComment(lines[end], false);
        if (!readable && i > 0)
            readable = QuotedComment(lines[i - 1], true);
        if (!readable) {
            texts[name] = "(no readable text beside it)";
            continue;
        }
        for (size_t at; (at = readable->find("\\n")) != std::string::npos;)
            readable->replace(at, 2, "\n");
        texts[name] = *readable;
    }
    return texts;
}

struct KoreanText {
    std::string name;
    std::string_view bytes;
    std::string readable; // UTF-8
};
#define KOREAN_TEXT(name, readable) KoreanText(#name, name, readable)

} // namespace

// Every text of the header is exactly its readable Korean in code page 949, and the header shows that
// same Korean beside it: neither the bytes nor the comment can drift alone, nor a text be added untested.
TEST(KoreanTexts, EachIsItsReadableKoreanInCp949) {
    const std::vector<KoreanText> all = {
        KOREAN_TEXT(kServerWord, "Server"), KOREAN_TEXT(kSignInWord, "Login "),
        KOREAN_TEXT(kLogoutWord, "Logout"), KOREAN_TEXT(kConnectCheckWord, "Connect check"),
        KOREAN_TEXT(kFriendsList, "친구"),  KOREAN_TEXT(kEverybodyList, "전체"),
        KOREAN_TEXT(kOrderWord, "주문"),    KOREAN_TEXT(kCancelWord, "취소"),
        KOREAN_TEXT(kRequestWord, "요청"),  KOREAN_TEXT(kLineHeightSample, "흝"),
    };
    const std::map<std::string, std::string> header =
        ReadableTextsOfHeader(DRAVELON_SOURCE_DIR "/core/protocol/KoreanTexts.h");
    std::set<std::string> listed;
    for (const KoreanText& t : all) {
        EXPECT_EQ(Hex(std::string(t.bytes)), Hex(Utf8ToCp949(t.readable))) << t.name;
        const auto shown = header.find(t.name);
        ASSERT_NE(shown, header.end()) << t.name << " has no quoted readable text beside it";
        EXPECT_EQ(shown->second, t.readable) << t.name;
        listed.insert(t.name);
    }
    for (const auto& shown : header)
        EXPECT_TRUE(listed.count(shown.first)) << shown.first << " is in the header but not listed here";
}
