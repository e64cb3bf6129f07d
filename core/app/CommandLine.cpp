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

bool IsRestartLaunch(std::wstring_view fullCommandLine) {
    return fullCommandLine.find(L"--Restart") != std::wstring_view::npos;
}

} // namespace dravel
