#include "win/app/VersionInfo.h"

#include "win/base/Text.h"
#include "core/app/Startup.h"

#include <vector>

namespace dravel::win {

namespace {

// One text of the version resource's block 041203B5 (Korean, code page 949), as 949 bytes; empty when the
// file has none.
std::string ReadVersionText(const std::wstring& path, const wchar_t* name) {
    DWORD handle = 0;
    DWORD size = ::GetFileVersionInfoSizeW(path.c_str(), &handle);
    if (size == 0)
        return {};
    std::vector<BYTE> block(size);
    if (!::GetFileVersionInfoW(path.c_str(), 0, size, block.data()))
        return {};
    void* value = nullptr;
    UINT chars = 0;
    const std::wstring query = std::wstring(L"\\StringFileInfo\\041203B5\\") + name;
    if (!::VerQueryValueW(block.data(), query.c_str(), &value, &chars) || !value)
        return {};
    // The length counts the end mark when there is one; never read past the block.
    const wchar_t* text = static_cast<const wchar_t*>(value);
    const BYTE* end = block.data() + block.size();
    size_t n = 0;
    while (n < chars && reinterpret_cast<const BYTE*>(text + n + 1) <= end && text[n] != L'\0')
        ++n;
    return BoundVersion(WideToCp949(std::wstring_view(text, n)));
}

} // namespace

std::string ReadFileVersion(const std::wstring& path) {
    return ReadVersionText(path, L"FileVersion");
}

std::string ReadProductName(const std::wstring& path) {
    return ReadVersionText(path, L"ProductName");
}

std::wstring ModulePath() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        DWORD n = ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (n == 0)
            return {};
        if (n < path.size()) {
            path.resize(n);
            return path;
        }
        if (path.size() >= 32768)
            return {};
        path.resize(path.size() * 2);
    }
}

} // namespace dravel::win
