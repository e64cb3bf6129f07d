#include "core/conversation/FileNames.h"

#include "core/text/Cp949.h"
#include "core/ui/HtmlLayout.h"

#include <algorithm>
#include <cstdio>
#include <initializer_list>
#include <vector>

namespace dravel {

namespace {

bool IsDigits(std::string_view s) {
    for (char c : s) {
        if (c < '0' || c > '9')
            return false;
    }
    return !s.empty();
}

int ToInt(std::string_view s) {
    int n = 0;
    for (char c : s)
        n = n * 10 + (c - '0');
    return n;
}

// "%Y-%m-%d %p %I:%M:%S" or with "/": the fields the key needs, 24-hour time; seconds are not used.
bool ParseItemTime(std::string_view tail, CLocalTime& t) {
    if (tail.size() < 19)
        return false;
    std::string_view year = tail.substr(0, 4), month = tail.substr(5, 2), day = tail.substr(8, 2);
    std::string_view marker = tail.substr(11, 2), hour = tail.substr(14, 2), minute = tail.substr(17, 2);
    if (!IsDigits(year) || !IsDigits(month) || !IsDigits(day) || !IsDigits(hour) || !IsDigits(minute))
        return false;
    t = {};
    t.nYear = ToInt(year);
    t.nMonth = ToInt(month);
    t.nDay = ToInt(day);
    t.nHour = ToInt(hour);
    t.nMinute = ToInt(minute);
    if (marker == "PM") {
        if (t.nHour < 12)
            t.nHour += 12;
    } else if (t.nHour == 12) {
        t.nHour = 0;
    }
    return true;
}

char AsciiUpper(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (AsciiUpper(a[i]) != AsciiUpper(b[i]))
            return false;
    }
    return true;
}

// Windows opens the device whatever extension follows, and ignores blanks before it. The numbered
// devices also answer to the superscript digits one to three (code page 949 A9F6 to A9F8).
bool IsDeviceName(std::string_view name) {
    std::string_view base = name.substr(0, name.find('.'));
    while (!base.empty() && base.back() == ' ')
        base.remove_suffix(1);
    for (std::string_view device : {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$", "CLOCK$"}) {
        if (EqualsNoCase(base, device))
            return true;
    }
    if (base.size() < 4 || (!EqualsNoCase(base.substr(0, 3), "COM") && !EqualsNoCase(base.substr(0, 3), "LPT")))
        return false;
    const std::string_view number = base.substr(3);
    if (number.size() == 1)
        return number[0] >= '0' && number[0] <= '9';
    return number.size() == 2 && static_cast<unsigned char>(number[0]) == 0xA9 &&
           static_cast<unsigned char>(number[1]) >= 0xF6 && static_cast<unsigned char>(number[1]) <= 0xF8;
}

// The type of a file as the shell sees it: what follows the last "." of its last component, trailing
// dots and blanks ignored ("a.exe. " is an "exe"); empty without one.
std::string_view FileType(std::string_view name) {
    std::string_view file = LastPathComponent(name);
    while (!file.empty() && (file.back() == '.' || file.back() == ' '))
        file.remove_suffix(1);
    const size_t dot = file.rfind('.');
    return dot == std::string_view::npos ? std::string_view() : file.substr(dot + 1);
}

bool IsTypeAmong(std::string_view name, std::initializer_list<std::string_view> types) {
    const std::string_view type = FileType(name);
    for (std::string_view t : types) {
        if (EqualsNoCase(type, t))
            return true;
    }
    return false;
}

bool IsBadNameByte(char c) {
    return static_cast<unsigned char>(c) < 0x20 || c == '<' || c == '>' || c == '"' || c == '|' || c == '?' ||
           c == '*' || c == ':' || c == '\\' || c == '/';
}

} // namespace

std::string FileKey(std::string_view name, const CLocalTime& t) {
    char stamp[80];
    std::snprintf(stamp, sizeof stamp, ".%04d%02d%02d%02d%02d", t.nYear, t.nMonth, t.nDay, t.nHour, t.nMinute);
    return std::string(name) + stamp;
}

std::optional<CFileRequest> FileRequestFromItem(std::string_view itemHtml, bool bNameWrapped) {
    // The time string closes the item: 22 bytes, followed in a peer's offer by "</font>".
    struct Kind {
        std::string_view mark;
        size_t tail;
        bool bIncoming;
    };
    for (const Kind& kind : {Kind{"<b>File_", 29, true}, Kind{"<b>Send_", 22, false}}) {
        size_t hit = itemHtml.find(kind.mark);
        if (hit == std::string_view::npos)
            continue;
        std::string_view rest = itemHtml.substr(hit + kind.mark.size());
        size_t nameEnd = rest.find("</b>");
        if (rest.size() < kind.tail || nameEnd == std::string_view::npos)
            return std::nullopt;
        CLocalTime t;
        if (!ParseItemTime(rest.substr(rest.size() - kind.tail), t))
            return std::nullopt;
        // The item holds the name as escaped text; only an upload made here was also wrapped for display.
        std::string text = UnescapeHtmlText(rest.substr(0, nameEnd));
        std::string unwrapped = bNameWrapped && !kind.bIncoming ? UnwrapText(text) : text;
        std::string_view name = unwrapped;
        while (!name.empty() && name.back() == ' ')
            name.remove_suffix(1);
        if (name.empty())
            return std::nullopt;
        return CFileRequest{FileKey(name, t), kind.bIncoming};
    }
    return std::nullopt;
}

bool IsPlainFileName(std::string_view name) {
    if (name.empty() || name.back() == '.' || name.back() == ' ' || IsDeviceName(name))
        return false;
    for (size_t i = 0; i < name.size(); ++i) {
        if (IsBadNameByte(name[i]))
            return false;
        if (!IsAsciiByte(name[i])) {
            // A broken character could join a separator, or whatever is appended next, on conversion.
            if (!IsCp949Pair(name, i))
                return false;
            ++i;
        }
    }
    return true;
}

std::optional<std::string> ReceivedFileName(std::string_view offeredName) {
    size_t dot = offeredName.rfind('.');
    if (dot == std::string_view::npos)
        return std::nullopt;
    std::string_view name = LastPathComponent(offeredName.substr(0, dot));
    // A drive ("C:name") or a stream ("name:stream"): only what follows the last colon names a file here.
    // No trail byte is a colon, so the byte search cannot cut a character.
    size_t colon = name.rfind(':');
    if (colon != std::string_view::npos)
        name.remove_prefix(colon + 1);
    while (!name.empty() && (name.back() == '.' || name.back() == ' '))
        name.remove_suffix(1);

    std::string safe;
    safe.reserve(name.size());
    for (size_t i = 0; i < name.size(); ++i) {
        if (IsCp949Pair(name, i)) {
            safe.append(name.substr(i, 2));
            ++i;
        } else {
            safe.push_back(!IsAsciiByte(name[i]) || IsBadNameByte(name[i]) ? '_' : name[i]);
        }
    }
    if (!IsPlainFileName(safe))
        return std::nullopt;
    return safe;
}

bool IsOpenableFileType(std::string_view name) {
    // Documents, spreadsheets, presentations, the Korean word processor's, PDF, text, CSV, images,
    // archives; macro-enabled Office types and web pages are not among them.
    return IsTypeAmong(name, {"doc", "docx", "rtf",  "odt", "xls", "xlsx", "ods", "ppt",  "pptx", "pps", "ppsx",
                              "odp", "hwp",  "hwpx", "pdf", "txt", "csv",  "jpg", "jpeg", "png",  "gif", "bmp",
                              "tif", "tiff", "webp", "zip", "7z",  "rar",  "alz", "egg",  "tar",  "gz"});
}

bool IsLinkFileType(std::string_view name) {
    return IsTypeAmong(name, {"url", "lnk", "scf", "library-ms", "searchConnector-ms", "ini", "website", "pif", "theme",
                              "themepack", "deskthemepack"});
}

std::optional<std::string> ShortenFileName(std::string_view name, size_t nMaxChars) {
    std::vector<size_t> starts; // where each character begins; a path's length counts characters
    for (size_t i = 0; i < name.size(); i += Cp949CharLength(name, i))
        starts.push_back(i);
    if (starts.size() <= nMaxChars)
        return std::string(name);
    const size_t dot = name.rfind('.');
    const size_t typeStart = dot == std::string_view::npos ? name.size() : dot;
    const auto typeChars =
        static_cast<size_t>(starts.end() - std::lower_bound(starts.begin(), starts.end(), typeStart));
    if (typeChars >= nMaxChars)
        return std::nullopt;
    std::string_view stem = name.substr(0, starts[nMaxChars - typeChars]);
    // A cut stem must not end in what the file system drops from a name.
    while (!stem.empty() && (stem.back() == '.' || stem.back() == ' '))
        stem.remove_suffix(1);
    std::string shortened = std::string(stem) + std::string(name.substr(typeStart));
    if (stem.empty() || !IsPlainFileName(shortened))
        return std::nullopt;
    return shortened;
}

std::string BackupFileName(std::string_view name, const CLocalTime& now) {
    char suffix[96];
    std::snprintf(suffix, sizeof suffix, "-bak %02d%02d%02d%02d%02d%02d", now.nYear % 100, now.nMonth, now.nDay,
                  now.nHour, now.nMinute, now.nSecond);
    size_t dot = name.rfind('.');
    if (dot == std::string_view::npos)
        return std::string(name) + suffix;
    return std::string(name.substr(0, dot)) + suffix + std::string(name.substr(dot));
}

} // namespace dravel
