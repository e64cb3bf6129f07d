#include "core/app/CommandLine.h"
#include "core/app/Installation.h"

#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::wstring line;
    for (size_t i = 0; i + 1 < size; i += 2)
        line.push_back(static_cast<wchar_t>(data[i] | (data[i + 1] << 8)));
    dravel::CommandLineCredentials c = dravel::ParseCommandLineCredentials(line);
    if (c.strId.size() > dravel::kCommandLineIdChars || c.strPassword.size() > dravel::kCommandLinePasswordChars)
        abort();
    if (c.strId.find(L' ') != std::wstring::npos || c.strPassword.find(L' ') != std::wstring::npos)
        abort();
    size_t half = line.size() / 2;
    dravel::CheckInstallation(true, std::wstring_view(line).substr(0, half), std::wstring_view(line).substr(half));
    return 0;
}
