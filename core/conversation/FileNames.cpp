#include "core/conversation/FileNames.h"

#include "core/text/Cp949.h"
#include "core/ui/HtmlLayout.h"

#include <cstdio>

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

// Windows opens the device whatever extension follows, and ignores blanks before it.
bool IsDeviceName(std::string_view name) {
    std::string_view base = name.substr(0, name.find('.'));
    while (!base.empty() && base.back() == ' ')
        base.remove_suffix(1);
    for (std::string_view device : {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$", "CLOCK$"}) {
        if (EqualsNoCase(base, device))
            return true;
    }
    if (base.size() == 4 && (EqualsNoCase(base.substr(0, 3), "COM") || EqualsNoCase(base.substr(0, 3), "LPT")) &&
        base[3] >= '0' && base[3] <= '9')
        return true;
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

std::optional<CFileRequest> FileRequestFromItem(std::string_view itemHtml) {
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
        // The item holds the name as escaped text; an uploaded file's name was also wrapped for display,
        // a peer's offer never is.
        std::string text = UnescapeHtmlText(rest.substr(0, nameEnd));
        std::string unwrapped = kind.bIncoming ? text : UnwrapText(text);
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

bool IsDangerousFileName(std::string_view name) {
    // What Windows runs, installs or follows when such a file is opened.
    static constexpr std::string_view kDangerous[] = {
        "ade",     "adp",        "app",        "application", "appref-ms",
        "appx",    "appxbundle", "asp",        "bas",         "bat",
        "cer",     "chm",        "cmd",        "cnt",         "com",
        "cpl",     "crt",        "csh",        "der",         "diagcab",
        "dll",     "exe",        "fxp",        "gadget",      "grp",
        "hlp",     "hpj",        "hta",        "inf",         "ins",
        "iso",     "isp",        "its",        "jar",         "jnlp",
        "js",      "jse",        "ksh",        "library-ms",  "lnk",
        "mad",     "maf",        "mag",        "mam",         "maq",
        "mar",     "mas",        "mat",        "mau",         "mav",
        "maw",     "mcf",        "mda",        "mdb",         "mde",
        "mdt",     "mdw",        "mdz",        "msc",         "msh",
        "msh1",    "msh2",       "mshxml",     "msh1xml",     "msh2xml",
        "msi",     "msix",       "msixbundle", "msp",         "mst",
        "ocx",     "ops",        "pcd",        "pif",         "pl",
        "plg",     "prf",        "prg",        "ps1",         "ps1xml",
        "ps2",     "ps2xml",     "psc1",       "psc2",        "psd1",
        "psm1",    "pst",        "py",         "pyc",         "pyw",
        "reg",     "scf",        "scr",        "sct",         "settingcontent-ms",
        "shb",     "shs",        "sys",        "theme",       "tmp",
        "url",     "vb",         "vbe",        "vbp",         "vbs",
        "vhd",     "vhdx",       "vsmacros",   "vsw",         "webpnp",
        "website", "ws",         "wsc",        "wsf",         "wsh",
        "xbap",    "xll",        "xnk",        "img",         "appcontent-ms",
    };
    std::string_view file = LastPathComponent(name);
    // Windows ignores trailing dots and blanks: "a.exe. " runs as "a.exe".
    while (!file.empty() && (file.back() == '.' || file.back() == ' '))
        file.remove_suffix(1);
    size_t dot = file.rfind('.');
    if (dot == std::string_view::npos)
        return false;
    std::string_view extension = file.substr(dot + 1);
    for (std::string_view d : kDangerous) {
        if (EqualsNoCase(extension, d))
            return true;
    }
    return false;
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
