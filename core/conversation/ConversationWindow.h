#pragma once

// Places and keys of the conversation window that do not depend on the window system.

#include "core/ui/TextSurface.h"

#include <optional>
#include <string>
#include <string_view>

namespace dravel {

// The history list's rectangle in the window's client area: its fixed place, ending 4 pixels above the
// message edit (when the edit's top is known) so it never runs under the edit and buttons, and at most
// 5 pixels short of the client's right edge. Those lengths are at 96 dpi and scale with dpi.
TextRect HistoryListPlace(std::optional<int> editTop, int clientRight, int dpi = 96);

// An upload names its file with the stamp's first 12 characters, yyyyMMddHHmm: the minute of the offer,
// which is also what the server's file key carries. A shorter stamp is passed whole.
inline constexpr size_t kUploadStampLength = 12;
std::string UploadStamp(std::string_view stamp);

} // namespace dravel
