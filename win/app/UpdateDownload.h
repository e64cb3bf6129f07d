#pragma once

#include <windows.h>

#include <string>

namespace dravel::win {

// Limits of the update download, so that an update server that is down, silent or slow never holds
// start-up for long.
struct DownloadLimits {
    DWORD connectMs = 3000;  // to establish the connection
    DWORD idleMs = 5000;     // without a single byte arriving
    DWORD totalMs = 60000;   // for the whole download
};

// Fetches http://<server><path> into `target` (written only when the whole body arrived with status
// 200). `server` is "host" or "host:port". Never caches. Returns true on success.
bool DownloadToFile(const std::string& server, const std::string& path, const std::wstring& target,
                    const DownloadLimits& limits = {});

} // namespace dravel::win
