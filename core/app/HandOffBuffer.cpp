#include "core/app/HandOffBuffer.h"

#include <algorithm>
#include <cstring>

namespace dravel {

bool WriteHandOffText(HandOffBytes buffer, std::string_view text) {
    if (text.size() >= kHandOffBufferSize || text.find('\0') != std::string_view::npos)
        return false;
    std::memcpy(buffer.data(), text.data(), text.size());
    std::fill(buffer.begin() + static_cast<std::ptrdiff_t>(text.size()), buffer.end(), '\0');
    return true;
}

std::string ReadHandOffText(ConstHandOffBytes buffer) {
    const auto limit = buffer.begin() + static_cast<std::ptrdiff_t>(kHandOffBufferSize - 1);
    return std::string(buffer.begin(), std::find(buffer.begin(), limit, '\0'));
}

} // namespace dravel
