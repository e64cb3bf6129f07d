#include "core/app/CommandLine.h"

namespace dravel {

std::wstring TakeCommandLineValue(std::wstring_view commandLine, std::wstring_view key, size_t maxChars) {
    size_t pos = commandLine.find(key);
    if (pos == std::wstring_view::npos)
        return {};
    std::wstring_view value = commandLine.substr(pos + key.size(), maxChars);
    size_t blank = value.find(L' ');
    if (blank != std::wstring_view::npos)
        value = value.substr(0, blank);
    return std::wstring(value);
}

CommandLineCredentials ParseCommandLineCredentials(std::wstring_view commandLine) {
    return {TakeCommandLineValue(commandLine, L"/ID:", kCommandLineIdChars),
            TakeCommandLineValue(commandLine, L"/PW:", kCommandLinePasswordChars)};
}

bool HasEncryptedSwitch(std::wstring_view commandLine) {
    auto upper = [](wchar_t c) { return c >= L'a' && c <= L'z' ? static_cast<wchar_t>(c - L'a' + L'A') : c; };
    auto blank = [](wchar_t c) { return c == L' ' || c == L'\t'; };
    for (size_t pos = 0; pos + kEncryptedSwitch.size() <= commandLine.size(); ++pos) {
        if (pos > 0 && !blank(commandLine[pos - 1]))
            continue;
        const size_t end = pos + kEncryptedSwitch.size();
        if (end < commandLine.size() && !blank(commandLine[end]))
            continue;
        bool bSame = true;
        for (size_t i = 0; i < kEncryptedSwitch.size() && bSame; ++i)
            bSame = upper(commandLine[pos + i]) == kEncryptedSwitch[i];
        if (bSame)
            return true;
    }
    return false;
}

bool IsRestartLaunch(std::wstring_view fullCommandLine) {
    return fullCommandLine.find(L"--Restart") != std::wstring_view::npos;
}

} // namespace dravel
