#include "core/session/LoginRules.h"

namespace dravel {

std::optional<std::string> RememberedLoginId(std::string_view storedValue) {
    if (!storedValue.empty() && storedValue.back() == '\0')
        storedValue.remove_suffix(1);
    if (storedValue.empty() || storedValue.size() > kMaxRememberedIdBytes ||
        storedValue.find('\0') != std::string_view::npos)
        return std::nullopt;
    return std::string(storedValue);
}

} // namespace dravel
