#pragma once

// The one pair of conversions between the program's text (code page 949 bytes) and the UTF-16 that
// windows, resources and the file system use. Code page 949 is named explicitly, never CP_ACP, so
// the program reads right whatever the system locale is.

#include <windows.h>

#include <_mingw.h>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/protocol/TextConverter.h"

namespace dravel::win {

inline constexpr UINT kCodePage949 = 949;

// 949 bytes -> UTF-16. Embedded NULs are carried like any other character. A lead byte at the very
// end, without its trail byte, becomes L'?'; other invalid sequences become what the system
// converter makes of them (a replacement character), never an error.
std::wstring Cp949ToWide(std::string_view bytes);

// UTF-16 -> 949 bytes. Every UTF-16 unit that 949 cannot represent (characters outside the table,
// both halves of a surrogate pair, lone surrogates) becomes '?'; no best-fit look-alikes.
std::string WideToCp949(std::wstring_view text);
// UTF-16 -> 949 bytes only when 949 carries the text exactly (it reads back the same); nothing
// otherwise. For text that decides something, such as an address a rule judges.
std::optional<std::string> WideToCp949Exact(std::wstring_view text);

// The characters of text that 949 cannot carry exactly, each once in the order they first appear (a
// surrogate pair is one character), and where the first of them starts (UTF-16 offset and length).
struct UncarriedText {
    std::vector<std::wstring> characters;
    size_t nFirst = 0;
    size_t nFirstLength = 0;
};
// Nothing when 949 carries the whole text.
std::optional<UncarriedText> FindUncarried949(std::wstring_view text);

// The platform's converter for the protocol's UTF-16 text form.
class CWinTextConverter final : public dravel::TextConverter {
public:
    std::string Utf16ToLocal(std::u16string_view units) const override;
};

// A string-table entry of the module (null: the program itself); empty if there is none.
std::wstring LoadResString(UINT id, HINSTANCE module = nullptr);
// The string-table entry with its "%d" replaced by the number.
std::wstring FormatResString(UINT id, int nNumber);

// printf-style formatting of UTF-16 text. Write "%ls" for wide strings: MinGW's C99 printf reads
// "%s" as a narrow string, the system's as a wide one; "%ls" means wide in both.
std::wstring FormatWide(const wchar_t* format, ...);

} // namespace dravel::win
