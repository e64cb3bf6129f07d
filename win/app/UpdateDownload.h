#pragma once

// The updater's download through the platform's HTTP stack (WinHTTP): the user's proxy settings
// (automatic detection and configuration scripts included), https with the system's certificate checks
// in the encrypted mode, redirects only on the same origin, at most kMaxDownloadSize bytes, and one
// deadline for all of it.

#include "core/app/HttpDownload.h"

#include <windows.h>

#include <string>

namespace dravel::win {

struct UpdateRequest {
    HostPort server;
    bool bSecure = false;
    std::string strPath = kUpdatePath;
    DWORD nDeadlineMs = kUpdateDeadlineMs;
};

enum class DownloadResult { Done, Failed, TooLarge, TimedOut };

// Fetches the answer of `request` into `target`, written only once the server answered 200, and deleted
// again on any failure. Returns by the deadline whatever the server does: a transfer still going on then
// is cut off (its request closed) and left to end by itself, removing what it wrote.
DownloadResult DownloadToFile(const UpdateRequest& request, const std::wstring& target);

} // namespace dravel::win
