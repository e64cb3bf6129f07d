#pragma once

// Diagnostic traces go to the debugger output only; the program writes no error log.

#include <string_view>

namespace dravel::win {

void DebugTrace(std::wstring_view text) noexcept;

// Traces the exception being handled. Call it only inside a catch block, at an entry point (window,
// dialog or thread procedure, COM method) that must not let the exception through.
void TraceCaughtException(std::wstring_view where) noexcept;

} // namespace dravel::win
