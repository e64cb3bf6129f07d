#pragma once

#include <windows.h>

#include <string>

namespace dravel::win {

// The FileVersion text of a file's version resource, block 041203B5 (Korean, code page 949), as
// 949 bytes of at most 50 characters; empty if the file has none.
std::string ReadFileVersion(const std::wstring& path);

// The ProductName text of the same block, bounded alike; empty if the file has none.
std::string ReadProductName(const std::wstring& path);

// Full path of the running program.
std::wstring ModulePath();

} // namespace dravel::win
