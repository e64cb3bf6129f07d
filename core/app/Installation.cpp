#include "core/app/Installation.h"

namespace dravel {

std::wstring BoundConfigValue(std::wstring_view value) {
    size_t end = value.find(L'\0');
    if (end != std::wstring_view::npos)
        value = value.substr(0, end);
    if (value.size() > kConfigMaxChars)
        return {};
    return std::wstring(value);
}

std::wstring_view FolderOfPath(std::wstring_view path) {
    size_t slash = path.rfind(L'\\');
    return slash == std::wstring_view::npos ? path : path.substr(0, slash);
}

std::wstring AsciiUpper(std::wstring_view text) {
    std::wstring out(text);
    for (wchar_t& c : out) {
        if (c >= L'a' && c <= L'z')
            c = static_cast<wchar_t>(c - L'a' + L'A');
    }
    return out;
}

InstallCheck CheckInstallation(bool bKeyOpened, std::wstring_view config, std::wstring_view exePath) {
    if (!bKeyOpened)
        return InstallCheck::NotInstalled;
    std::wstring bounded = BoundConfigValue(config);
    if (bounded.empty())
        return InstallCheck::NotInstalled;
    return AsciiUpper(bounded) == AsciiUpper(FolderOfPath(exePath)) ? InstallCheck::Ok : InstallCheck::WrongFolder;
}

} // namespace dravel
