#include "win/base/Debug.h"

#include "win/base/Text.h"

#include <windows.h>

#include <exception>
#include <string>

namespace dravel::win {

void DebugTrace(std::wstring_view text) noexcept {
    try {
        std::wstring line(text);
        line += L'\n';
        ::OutputDebugStringW(line.c_str());
    } catch (...) {
        ::OutputDebugStringW(L"DravelOn: trace lost\n");
    }
}

void TraceCaughtException(std::wstring_view where) noexcept {
    try {
        std::wstring line = L"DravelOn: exception caught in ";
        line += where;
        if (std::exception_ptr current = std::current_exception()) {
            try {
                std::rethrow_exception(current);
            } catch (const std::exception& e) {
                line += L": ";
                line += Cp949ToWide(e.what() != nullptr ? e.what() : "");
            } catch (...) {
                line += L": unknown exception";
            }
        }
        DebugTrace(line);
    } catch (...) {
        ::OutputDebugStringW(L"DravelOn: exception caught\n");
    }
}

} // namespace dravel::win
