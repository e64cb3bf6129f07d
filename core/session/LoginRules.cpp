#include "core/session/LoginRules.h"

namespace dravel {

const char kLoginMissingText[] = "\xBB\xE7\xBF\xEB\xC0\xDA ID \xB6\xC7\xB4\xC2 \xBE\xCF\xC8\xA3\xB0\xA1 "
                                 "\xC0\xD4\xB7\xC2\xB5\xC7\xC1\xF6 \xBE\xCA\xBE\xD2\xBD\xC0\xB4\xCF\xB4\xD9.";

std::optional<std::string> RememberedLoginId(std::string_view storedValue) {
    if (!storedValue.empty() && storedValue.back() == '\0')
        storedValue.remove_suffix(1);
    if (storedValue.empty() || storedValue.size() > kMaxRememberedIdBytes ||
        storedValue.find('\0') != std::string_view::npos)
        return std::nullopt;
    return std::string(storedValue);
}

} // namespace dravel
