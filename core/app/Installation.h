#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace dravel {

// The installation folder is stored in a 64-character buffer: at most 63 characters and the end mark.
inline constexpr size_t kConfigMaxChars = 63;

enum class InstallCheck {
    Ok,
    NotInstalled,  // no key, or an empty "Config"
    WrongFolder,   // the program runs from another folder than the one registered
};

// The value as the fixed buffer would hold it: one that does not fit is not read at all.
std::wstring BoundConfigValue(std::wstring_view value);

// Folder of a program path: everything before its last backslash (no backslash: the whole path).
std::wstring_view FolderOfPath(std::wstring_view path);

// ASCII letters to upper case; everything else unchanged.
std::wstring AsciiUpper(std::wstring_view text);

// The installation rule: the registered folder must equal the program's folder, apart from the
// case of ASCII letters. A trailing backslash or another spelling of the same folder differs.
InstallCheck CheckInstallation(bool bKeyOpened, std::wstring_view config, std::wstring_view exePath);

} // namespace dravel
