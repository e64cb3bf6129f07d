#pragma once

#include <string>

namespace dravel::win {

// Opens an address in the user's default browser, with the shell's "open" verb and no error boxes of
// the shell's own. The caller has judged the address (IsOutsideAddressSafe) and knows the user asked.
void OpenInDefaultBrowser(const std::wstring& url);

} // namespace dravel::win
