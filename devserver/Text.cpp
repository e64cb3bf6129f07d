#include "devserver/Text.h"

#include "core/text/Cp949.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <iconv.h>
#endif

#include <cerrno>
#include <climits>
#include <cstdio>

namespace dravel::devserver {

#ifdef _WIN32

namespace {

constexpr UINT kCp949 = 949;

// Unconvertible characters come out as the code page's default character ('?'); invalid UTF-8 and
// code page 949 sequences as U+FFFD.
std::wstring ToWide(std::string_view in, UINT codePage) {
    if (in.empty() || in.size() > INT_MAX / 2)
        return {};
    int n = ::MultiByteToWideChar(codePage, 0, in.data(), static_cast<int>(in.size()), nullptr, 0);
    std::wstring out(n > 0 ? n : 0, L'\0');
    if (n > 0)
        ::MultiByteToWideChar(codePage, 0, in.data(), static_cast<int>(in.size()), out.data(), n);
    return out;
}

std::string FromWide(std::wstring_view in, UINT codePage) {
    if (in.empty() || in.size() > INT_MAX / 4)
        return {};
    int n = ::WideCharToMultiByte(codePage, 0, in.data(), static_cast<int>(in.size()), nullptr, 0, nullptr, nullptr);
    std::string out(n > 0 ? n : 0, '\0');
    if (n > 0)
        ::WideCharToMultiByte(codePage, 0, in.data(), static_cast<int>(in.size()), out.data(), n, nullptr, nullptr);
    return out;
}

std::string FormatLocal(std::time_t t, const char* format) {
    std::tm tm{};
    localtime_s(&tm, &t);
    char buffer[64];
    size_t n = std::strftime(buffer, sizeof buffer, format, &tm);
    return std::string(buffer, n);
}

} // namespace

std::string Utf8ToCp949(std::string_view utf8) {
    return FromWide(ToWide(utf8, CP_UTF8), kCp949);
}

std::string Cp949ToUtf8(std::string_view cp949) {
    return FromWide(ToWide(cp949, kCp949), CP_UTF8);
}

std::string CSystemTextConverter::Utf16ToLocal(std::u16string_view units) const {
    return FromWide(std::wstring_view(reinterpret_cast<const wchar_t*>(units.data()), units.size()), kCp949);
}

#else

namespace {

std::string Convert(std::string_view in, const char* from, const char* to, std::string_view replacement) {
    std::string out;
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1)) {
        for (char c : in)
            out.push_back(IsAsciiByte(c) ? c : '?');
        return out;
    }
    out.reserve(in.size() * 3 / 2 + 4);
    char* src = const_cast<char*>(in.data());
    size_t left = in.size();
    char buffer[512];
    while (left > 0) {
        char* dst = buffer;
        size_t room = sizeof buffer;
        size_t r = iconv(cd, &src, &left, &dst, &room);
        out.append(buffer, dst - buffer);
        if (r == static_cast<size_t>(-1) && errno != E2BIG) {
            // An invalid, unconvertible or truncated sequence: one mark for it, and on.
            out.append(replacement);
            size_t skip = 1;
            if (std::string_view(from) == "UTF-8") {
                unsigned char lead = static_cast<unsigned char>(*src);
                size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
                while (skip < length && skip < left && (static_cast<unsigned char>(src[skip]) & 0xC0) == 0x80)
                    ++skip;
            }
            src += skip;
            left -= skip;
            iconv(cd, nullptr, nullptr, nullptr, nullptr);
        }
    }
    iconv_close(cd);
    return out;
}

std::string FormatLocal(std::time_t t, const char* format) {
    std::tm tm{};
    localtime_r(&t, &tm);
    char buffer[64];
    size_t n = std::strftime(buffer, sizeof buffer, format, &tm);
    return std::string(buffer, n);
}

} // namespace

std::string Utf8ToCp949(std::string_view utf8) {
    return Convert(utf8, "UTF-8", "CP949", "?");
}

std::string Cp949ToUtf8(std::string_view cp949) {
    return Convert(cp949, "CP949", "UTF-8", "\xEF\xBF\xBD");
}

std::string CSystemTextConverter::Utf16ToLocal(std::u16string_view units) const {
    std::string bytes;
    bytes.reserve(units.size() * 2);
    for (char16_t u : units) {
        bytes.push_back(static_cast<char>(u & 0xFF));
        bytes.push_back(static_cast<char>(u >> 8));
    }
    return Convert(bytes, "UTF-16LE", "CP949", "?");
}

#endif

std::string HistoryTime(std::time_t t) {
    // %p follows LC_TIME, which the server never changes from "C": AM and PM.
    return FormatLocal(t, "%Y-%m-%d %p %I:%M:%S");
}

std::string Stamp14(std::time_t t) {
    return FormatLocal(t, "%Y%m%d%H%M%S");
}

std::time_t StampToTime(std::string_view stamp) {
    if (stamp.size() != 14)
        return -1;
    for (char c : stamp)
        if (c < '0' || c > '9')
            return -1;
    auto num = [&](size_t pos, size_t len) {
        int v = 0;
        for (size_t i = pos; i < pos + len; ++i)
            v = v * 10 + (stamp[i] - '0');
        return v;
    };
    std::tm tm{};
    tm.tm_year = num(0, 4) - 1900;
    tm.tm_mon = num(4, 2) - 1;
    tm.tm_mday = num(6, 2);
    tm.tm_hour = num(8, 2);
    tm.tm_min = num(10, 2);
    tm.tm_sec = num(12, 2);
    tm.tm_isdst = -1;
    return std::mktime(&tm);
}

void AppendHistoryField(std::string& out, std::string_view field) {
    out.push_back('"');
    for (size_t i = 0; i < field.size(); ++i) {
        // No trail byte is a bar or a quote, so a lone high byte (0x80, 0xFF, one at the end, one before
        // a bar or quote) stands for itself and the next byte is escaped as usual.
        if (IsCp949Pair(field, i)) {
            out.append(field.substr(i, 2));
            ++i;
        } else if (field[i] == '"') {
            out.append("\"\"");
        } else if (field[i] == '|') {
            out.append("\xA3\xFC");
        } else {
            out.push_back(field[i]);
        }
    }
    // The client undoubles the quotes before it drops the enclosing pair, so in a field of nothing but
    // quotes the opening quote pairs with the first of the text's: one more quote keeps the count.
    if (!field.empty() && field.find_first_not_of('"') == std::string_view::npos)
        out.push_back('"');
    out.append("\"|");
}

std::string BuildHistoryText(const std::vector<HistoryEntry>& entries) {
    std::string out;
    for (const HistoryEntry& e : entries) {
        AppendHistoryField(out, e.bOwn ? ">" : "<");
        AppendHistoryField(out, e.strText);
        AppendHistoryField(out, HistoryTime(e.time));
    }
    return out;
}

void AppendListField(std::string& out, std::string_view field) {
    if (field.empty()) {
        out.push_back('|');
        return;
    }
    out.push_back('"');
    for (size_t i = 0; i < field.size(); ++i) {
        if (IsCp949Pair(field, i)) {
            out.append(field.substr(i, 2));
            ++i;
        } else if (field[i] == '"') {
            out.append("\xA3\xA2");
        } else {
            out.push_back(field[i]);
        }
    }
    out.append("\"|");
}

std::string BuildCollectedList(const std::vector<ListEntry>& entries) {
    std::string out;
    for (const ListEntry& e : entries) {
        AppendListField(out, e.strId);
        AppendListField(out, e.bOnline ? "1" : "0");
        AppendListField(out, e.strName);
    }
    return out;
}

std::string StripNamePrefix(std::string_view text, std::string_view name) {
    if (!name.empty() && text.size() >= name.size() + 2 && text.substr(0, name.size()) == name &&
        text.substr(name.size(), 2) == ": ")
        return std::string(text.substr(name.size() + 2));
    size_t pos = text.find(": ");
    if (pos == std::string_view::npos)
        return std::string(text);
    return std::string(text.substr(pos + 2));
}

std::string BaseName(std::string_view path) {
    size_t pos = path.find_last_of("\\/");
    return std::string(pos == std::string_view::npos ? path : path.substr(pos + 1));
}

std::string JsonEscape(std::string_view text) {
    std::string out;
    out.reserve(text.size() + 8);
    for (char ch : text) {
        unsigned char c = static_cast<unsigned char>(ch);
        switch (c) {
        case '"':
            out.append("\\\"");
            break;
        case '\\':
            out.append("\\\\");
            break;
        case '\n':
            out.append("\\n");
            break;
        case '\r':
            out.append("\\r");
            break;
        case '\t':
            out.append("\\t");
            break;
        default:
            if (c < 0x20) {
                char buffer[8];
                std::snprintf(buffer, sizeof buffer, "\\u%04x", c);
                out.append(buffer);
            } else {
                out.push_back(ch);
            }
        }
    }
    return out;
}

} // namespace dravel::devserver
