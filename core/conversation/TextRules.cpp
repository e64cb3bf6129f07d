#include "core/conversation/TextRules.h"

#include "core/text/Cp949.h"

#include <cstdio>

namespace dravel {

namespace {

// The wrapping rule's own pairs: every byte that is not ASCII takes the next byte with it, 0x80 and 0xFF
// included, wider than the code page's lead bytes. A wrapped text reads back only if both walks agree.
bool IsWrapPairStart(char c) {
    return !IsAsciiByte(c);
}

void AppendTwoDigits(std::string& out, int n) {
    out.push_back(static_cast<char>('0' + (n / 10) % 10));
    out.push_back(static_cast<char>('0' + n % 10));
}

} // namespace

std::string WrapText(std::string_view text) {
    std::string out;
    out.reserve(text.size() + text.size() / kWrapRun + 1);
    size_t nRun = 0;
    for (size_t i = 0; i < text.size();) {
        char c = text[i];
        if (IsWrapPairStart(c)) {
            out.push_back(c);
            // A lead byte at the very end has no partner: it stands alone, with no blank after it that
            // would read as its second byte.
            if (i + 1 >= text.size())
                break;
            out.push_back(text[i + 1]);
            i += 2;
            nRun += 2;
        } else {
            if (c == ' ')
                nRun = 0;
            out.push_back(c);
            ++i;
            ++nRun;
        }
        if (nRun >= kWrapRun) {
            out.push_back(' ');
            nRun = 0;
        }
    }
    return out;
}

std::string UnwrapText(std::string_view wrapped) {
    std::string out;
    out.reserve(wrapped.size());
    size_t nRun = 0;
    for (size_t i = 0; i < wrapped.size();) {
        char c = wrapped[i];
        if (IsWrapPairStart(c)) {
            out.append(wrapped.substr(i, 2));
            i += 2;
            nRun += 2;
        } else {
            if (c == ' ')
                nRun = 0;
            out.push_back(c);
            ++i;
            ++nRun;
        }
        if (nRun >= kWrapRun) {
            if (i < wrapped.size() && wrapped[i] == ' ')
                ++i;
            nRun = 0;
        }
    }
    return out;
}

bool HasForbiddenChars(std::string_view text) {
    return text.find_first_of(":|") != std::string_view::npos;
}

std::string FormatItemTime(const CLocalTime& t, bool bSent) {
    const char sep = bSent ? '/' : '-';
    char year[16];
    std::snprintf(year, sizeof year, "%04d", t.nYear);
    std::string out(year);
    out.push_back(sep);
    AppendTwoDigits(out, t.nMonth);
    out.push_back(sep);
    AppendTwoDigits(out, t.nDay);
    out += t.nHour < 12 ? " AM " : " PM ";
    int hour12 = t.nHour % 12 == 0 ? 12 : t.nHour % 12;
    AppendTwoDigits(out, hour12);
    out.push_back(':');
    AppendTwoDigits(out, t.nMinute);
    out.push_back(':');
    AppendTwoDigits(out, t.nSecond);
    return out;
}

bool ParseFileStamp(std::string_view stamp, CLocalTime& t) {
    if (stamp.size() != 14)
        return false;
    for (char c : stamp) {
        if (c < '0' || c > '9')
            return false;
    }
    auto num = [&](size_t pos, size_t len) {
        int n = 0;
        for (size_t i = pos; i < pos + len; ++i)
            n = n * 10 + (stamp[i] - '0');
        return n;
    };
    CLocalTime r{num(0, 4), num(4, 2), num(6, 2), num(8, 2), num(10, 2), num(12, 2)};
    if (r.nMonth < 1 || r.nMonth > 12 || r.nDay < 1 || r.nDay > 31 || r.nHour > 23 || r.nMinute > 59 || r.nSecond > 60)
        return false;
    t = r;
    return true;
}

CTimedText SplitTimedText(std::string_view text, std::string_view fallbackTime) {
    size_t bar = text.find('|');
    if (bar == std::string_view::npos)
        return {std::string(text), std::string(fallbackTime)};
    return {std::string(text.substr(0, bar)), std::string(text.substr(bar + 1))};
}

bool IsFileText(std::string_view text) {
    return text.starts_with(kFilePrefix);
}

std::string ReplaceAll(std::string_view text, std::string_view what, std::string_view with) {
    std::string out;
    out.reserve(text.size());
    size_t pos = 0;
    while (!what.empty()) {
        size_t hit = text.find(what, pos);
        if (hit == std::string_view::npos)
            break;
        out.append(text.substr(pos, hit - pos));
        out.append(with);
        pos = hit + what.size();
    }
    out.append(text.substr(pos));
    return out;
}

std::string_view LastPathComponent(std::string_view path) {
    // No second byte of a 949 character is a separator, so a byte scan is exact.
    size_t slash = path.find_last_of("\\/");
    return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

} // namespace dravel
