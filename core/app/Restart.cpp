#include "core/app/Restart.h"

#include "core/app/CommandLine.h"

namespace dravel {

std::optional<std::wstring> BuildRestartCommandLine(std::wstring_view exePath, bool bEncrypted) {
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
    if (bEncrypted) {
        line += L' ';
        line += kEncryptedSwitch;
    }
    if (line.size() + 1 > kRestartCommandLineBuffer)
        return std::nullopt;
    return line;
}

} // namespace dravel
