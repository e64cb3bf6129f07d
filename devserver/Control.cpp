#include "devserver/Control.h"

#include "devserver/Text.h"

#include <charconv>

namespace dravel::devserver {

namespace {

std::optional<int32_t> ParseInt(std::string_view text) {
    int32_t value = 0;
    if (text.empty())
        return std::nullopt;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

} // namespace

std::vector<std::string> SplitControlLine(std::string_view line) {
    while (!line.empty() && (line.back() == '\r' || line.back() == '\n'))
        line.remove_suffix(1);
    char separator = line.find('\t') != std::string_view::npos ? '\t' : ' ';
    std::vector<std::string> words;
    size_t start = 0;
    while (start <= line.size()) {
        size_t end = line.find(separator, start);
        if (end == std::string_view::npos)
            end = line.size();
        if (end > start || separator == '\t')
            words.emplace_back(line.substr(start, end - start));
        start = end + 1;
    }
    return words;
}

std::string DecodeControlValue(std::string_view value) {
    std::string out;
    std::string text; // UTF-8 waiting for conversion
    auto flush = [&] {
        out += Utf8ToCp949(text);
        text.clear();
    };
    for (size_t i = 0; i < value.size(); ++i) {
        char c = value[i];
        if (c != '\\' || i + 1 == value.size()) {
            text.push_back(c);
            continue;
        }
        char e = value[++i];
        if (e == 't') {
            text.push_back('\t');
        } else if (e == 'n') {
            text.push_back('\n');
        } else if (e == '\\') {
            text.push_back('\\');
        } else if (e == 'x' && i + 2 < value.size() && HexDigit(value[i + 1]) >= 0 && HexDigit(value[i + 2]) >= 0) {
            flush();
            out.push_back(static_cast<char>(HexDigit(value[i + 1]) * 16 + HexDigit(value[i + 2])));
            i += 2;
        } else {
            text.push_back('\\');
            text.push_back(e);
        }
    }
    flush();
    return out;
}

std::optional<int32_t> ParseCommand(std::string_view text) {
    if (std::optional<int32_t> n = ParseInt(text))
        return n;
    if (text.substr(0, 4) == "COM_")
        text.remove_prefix(4);
    for (int32_t i = 1; i < kCommandNameCount; ++i) {
        std::string_view name = kCommandNames[i];
        if (name.substr(0, 4) == "COM_")
            name.remove_prefix(4);
        if (!name.empty() && name == text)
            return i;
    }
    if (text == "PRIVATE_HISTORY")
        return COM_PRIVATE_HISTORY;
    return std::nullopt;
}

std::optional<CComData> ParseRecordWords(const std::vector<std::string>& words, size_t first, std::string& error) {
    CComData r;
    bool bCommand = false;
    for (size_t i = first; i < words.size(); ++i) {
        const std::string& word = words[i];
        size_t eq = word.find('=');
        if (eq == std::string::npos) {
            error = "expected field=value: " + word;
            return std::nullopt;
        }
        std::string_view key = std::string_view(word).substr(0, eq);
        std::string_view raw = std::string_view(word).substr(eq + 1);
        if (key == "command") {
            std::optional<int32_t> c = ParseCommand(raw);
            if (!c) {
                error = "unknown command: " + std::string(raw);
                return std::nullopt;
            }
            r.m_nCommand = *c;
            bCommand = true;
            continue;
        }
        int32_t* number = key == "status"     ? &r.m_nStatus
                          : key == "port"     ? &r.m_nPort
                          : key == "reserved" ? &r.m_nReserved
                                              : nullptr;
        if (number) {
            std::optional<int32_t> n = ParseInt(raw);
            if (!n) {
                error = "not a 32-bit number: " + word;
                return std::nullopt;
            }
            *number = *n;
            continue;
        }
        std::string* text = key == "id"         ? &r.m_strId
                            : key == "password" ? &r.m_strPassword
                            : key == "name"     ? &r.m_strName
                            : key == "target"   ? &r.m_strTarget
                            : key == "text"     ? &r.m_strText
                            : key == "host"     ? &r.m_strHost
                                                : nullptr;
        if (!text) {
            error = "unknown field: " + std::string(key);
            return std::nullopt;
        }
        *text = DecodeControlValue(raw);
    }
    if (!bCommand) {
        error = "command= is missing";
        return std::nullopt;
    }
    return r;
}

} // namespace dravel::devserver
