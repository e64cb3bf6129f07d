// The development server's control lines: words, record fields, command names and escaped values.
// The input is one line; its words are also tried as values and as command names.
#include "devserver/Control.h"

#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

namespace {

void Check(bool bHolds, const char* what) {
    if (!bHolds) {
        std::fprintf(stderr, "control line invariant broken: %s\n", what);
        std::abort();
    }
}

bool IsDecimal(std::string_view text) {
    if (!text.empty() && text[0] == '-')
        text.remove_prefix(1);
    if (text.empty())
        return false;
    for (char c : text)
        if (c < '0' || c > '9')
            return false;
    return true;
}

// A decimal word's value when it fits 32 bits (leading zeros allowed).
std::optional<int32_t> Decimal32(std::string_view text) {
    const bool bNegative = text[0] == '-';
    int64_t value = 0;
    for (char c : text.substr(bNegative ? 1 : 0)) {
        value = value * 10 + (c - '0');
        if (value > int64_t{1} << 31)
            return std::nullopt;
    }
    value = bNegative ? -value : value;
    if (value < INT32_MIN || value > INT32_MAX)
        return std::nullopt;
    return static_cast<int32_t>(value);
}

// Every byte as "\xHH": the control's way of sending bytes that are not UTF-8.
std::string RawEscaped(std::string_view bytes) {
    static const char kHex[] = "0123456789abcdef";
    std::string out;
    for (char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        out += {'\\', 'x', kHex[b >> 4], kHex[b & 15]};
    }
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace dravel::devserver;
    std::string_view line(reinterpret_cast<const char*>(data), size);
    const std::vector<std::string> words = SplitControlLine(line);

    while (!line.empty() && (line.back() == '\r' || line.back() == '\n'))
        line.remove_suffix(1);
    if (line.find('\t') != std::string_view::npos) {
        std::string joined;
        for (size_t i = 0; i < words.size(); ++i)
            joined += (i ? "\t" : "") + words[i];
        Check(joined == line, "TAB-separated words give back the line");
    } else {
        size_t total = 0;
        for (const std::string& word : words) {
            Check(!word.empty() && word.find(' ') == std::string::npos, "space-separated words are not empty");
            total += word.size();
        }
        Check(total <= line.size(), "words are parts of the line");
    }

    for (size_t first = 0; first <= 2; ++first) {
        std::string error;
        const std::optional<dravel::CComData> record = ParseRecordWords(words, first, error);
        Check(record.has_value() || !error.empty(), "a refused line says why");
        if (!record)
            continue;
        bool bCommand = false;
        for (size_t i = first; i < words.size(); ++i) {
            Check(words[i].find('=') != std::string::npos, "every field has a value");
            bCommand |= words[i].rfind("command=", 0) == 0;
        }
        Check(bCommand, "a record has a command");
    }

    for (const std::string& word : words) {
        const std::string_view value = std::string_view(word).substr(word.find('=') + 1);
        const std::optional<int32_t> command = ParseCommand(value);
        if (IsDecimal(value)) {
            Check(command == Decimal32(value), "a number is its own command code, if it fits");
        } else if (command) {
            Check(*command >= 1 && *command <= dravel::COM_PRIVATE_HISTORY, "a name is a known command");
            const std::string_view name = dravel::CommandName(*command);
            Check(name == value || (name.substr(0, 4) == "COM_" && name.substr(4) == value) ||
                      *command == dravel::COM_PRIVATE_HISTORY,
                  "a name reads as its own command");
        }
        Check(DecodeControlValue(word).size() <= word.size(), "escapes and 949 are never longer");
        Check(DecodeControlValue(RawEscaped(word)) == word, "escaped raw bytes come back unchanged");
    }
    return 0;
}
