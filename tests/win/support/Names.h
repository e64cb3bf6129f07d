#pragma once

// Names of named kernel objects that no other test and no other run of the tests uses.

#include <windows.h>

#include <string>

namespace dravel::win::test {

inline std::wstring UniqueName(const char* tag) {
    static int s_nSerial = 0;
    return L"DravelOnTest-" + std::to_wstring(::GetCurrentProcessId()) + L"-" + std::to_wstring(++s_nSerial) + L"-" +
           std::wstring(tag, tag + std::char_traits<char>::length(tag));
}

} // namespace dravel::win::test
