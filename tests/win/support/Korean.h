#pragma once

// Korean literals in the tests: written as wide text, compared as the code page 949 bytes the program
// carries.

#include "win/base/Text.h"

#include <string>

namespace dravel::win::test {

inline std::string Kr(const wchar_t* text) {
    return WideToCp949(text);
}

} // namespace dravel::win::test
