#include "core/app/Restart.h"

namespace dravel {

std::optional<std::wstring> BuildRestartCommandLine(std::wstring_view exePath) {
    if (exePath.empty())
        return std::nullopt;
    const bool bQuote = exePath.find(L' ') != std::wstring_view::npos;
    std::wstring line;
    line.reserve(exePath.size() + kRestartSwitch.size() + 3);
    if (bQuote)
        line += L'"';
    line += exePath;
    if (bQuote)
        line += L'"';
    line += L' ';
    line += kRestartSwitch;
    if (line.size() + 1 > kRestartCommandLineBuffer)
        return std::nullopt;
    return line;
}

} // namespace dravel
