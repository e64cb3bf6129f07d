#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace dravel {

// The login dialog's remembered ID: registry key "Software\Brello\Tamix", value "LoginId", the current
// user's before the machine's.
inline constexpr wchar_t kLoginIdKey[] = L"Software\\Brello\\Tamix";
inline constexpr wchar_t kLoginIdValue[] = L"LoginId";
// The value is read into 64 bytes with its end mark, so IDs of up to 63 bytes come back.
inline constexpr size_t kMaxRememberedIdBytes = 63;

// The ID to put in the dialog from a stored value (code page 949), or none when the value cannot be
// an ID: longer than 63 bytes, empty, or holding a NUL (the stored end mark is stripped first). With
// none the dialog keeps the ID it was given.
std::optional<std::string> RememberedLoginId(std::string_view storedValue);

// OK in the login dialog goes ahead only with both texts filled in; else the dialog says what is missing.
inline bool LoginInputComplete(std::string_view userId, std::string_view password) {
    return !userId.empty() && !password.empty();
}

} // namespace dravel
