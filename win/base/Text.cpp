#include "win/base/Text.h"

#include "core/text/Cp949.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cwchar>

namespace dravel::win {

namespace {

// The system converters take int lengths; longer input is converted in pieces.
constexpr size_t kChunk = 1u << 20;

// Pieces of 949 text may only end after a whole character: a lead byte ends a piece only together
// with its trail byte.
size_t Cp949PieceLength(std::string_view bytes) {
    if (bytes.size() <= kChunk)
        return bytes.size();
    size_t i = 0;
    while (i < kChunk)
        i += IsCp949LeadByte(bytes[i]) ? 2 : 1;
    return i;
}

// Pieces of UTF-16 never split a surrogate pair.
size_t WidePieceLength(std::wstring_view text) {
    if (text.size() <= kChunk)
        return text.size();
    size_t n = kChunk;
    if (text[n - 1] >= 0xD800 && text[n - 1] <= 0xDBFF)
        --n;
    return n;
}

void AppendCp949ToWide(std::wstring& out, std::string_view piece) {
    if (piece.empty())
        return;
    const int n = ::MultiByteToWideChar(kCodePage949, 0, piece.data(), static_cast<int>(piece.size()), nullptr, 0);
    if (n <= 0) {
        out.append(piece.size(), L'?');
        return;
    }
    const size_t at = out.size();
    out.resize(at + static_cast<size_t>(n));
    const int written =
        ::MultiByteToWideChar(kCodePage949, 0, piece.data(), static_cast<int>(piece.size()), out.data() + at, n);
    out.resize(at + static_cast<size_t>(written > 0 ? written : 0));
}

void AppendWideToCp949(std::string& out, std::wstring_view piece) {
    if (piece.empty())
        return;
    static const char kDefault[] = "?";
    const int len = static_cast<int>(piece.size());
    const int n =
        ::WideCharToMultiByte(kCodePage949, WC_NO_BEST_FIT_CHARS, piece.data(), len, nullptr, 0, kDefault, nullptr);
    if (n <= 0) {
        out.append(piece.size(), '?');
        return;
    }
    const size_t at = out.size();
    out.resize(at + static_cast<size_t>(n));
    const int written = ::WideCharToMultiByte(kCodePage949, WC_NO_BEST_FIT_CHARS, piece.data(), len, out.data() + at, n,
                                              kDefault, nullptr);
    out.resize(at + static_cast<size_t>(written > 0 ? written : 0));
}

} // namespace

std::wstring Cp949ToWide(std::string_view bytes) {
    // A lead byte whose trail byte is missing: systems differ (dropped, '?', U+30FB), so it is settled here.
    bool bDanglingLead = false;
    if (!bytes.empty()) {
        size_t i = 0;
        while (i + 1 < bytes.size())
            i += IsCp949LeadByte(bytes[i]) ? 2 : 1;
        if (i == bytes.size() - 1 && IsCp949LeadByte(bytes[i])) {
            bDanglingLead = true;
            bytes.remove_suffix(1);
        }
    }
    std::wstring out;
    out.reserve(bytes.size() + 1);
    while (!bytes.empty()) {
        const size_t n = Cp949PieceLength(bytes);
        AppendCp949ToWide(out, bytes.substr(0, n));
        bytes.remove_prefix(n);
    }
    if (bDanglingLead)
        out.push_back(L'?');
    return out;
}

std::string WideToCp949(std::wstring_view text) {
    std::string out;
    out.reserve(text.size() * 2);
    while (!text.empty()) {
        const size_t n = WidePieceLength(text);
        AppendWideToCp949(out, text.substr(0, n));
        text.remove_prefix(n);
    }
    return out;
}

std::optional<std::string> WideToCp949Exact(std::wstring_view text) {
    std::string bytes = WideToCp949(text);
    if (Cp949ToWide(bytes) != text)
        return std::nullopt;
    return bytes;
}

std::optional<UncarriedText> FindUncarried949(std::wstring_view text) {
    // Most texts go whole; only one that does not is looked at character by character.
    if (WideToCp949Exact(text))
        return std::nullopt;
    UncarriedText found;
    for (size_t i = 0; i < text.size();) {
        const bool bPair = i + 1 < text.size() && IS_HIGH_SURROGATE(text[i]) && IS_LOW_SURROGATE(text[i + 1]);
        const std::wstring_view character = text.substr(i, bPair ? 2 : 1);
        if (!WideToCp949Exact(character)) {
            if (found.characters.empty()) {
                found.nFirst = i;
                found.nFirstLength = character.size();
            }
            if (std::find(found.characters.begin(), found.characters.end(), character) == found.characters.end())
                found.characters.emplace_back(character);
        }
        i += character.size();
    }
    if (found.characters.empty())
        return std::nullopt; // every character goes on its own: nothing to name, nothing refused
    return found;
}

std::string CWinTextConverter::Utf16ToLocal(std::u16string_view units) const {
    // char16_t and wchar_t are both UTF-16 code units on Windows; the system converter only reads them.
    static_assert(sizeof(char16_t) == sizeof(wchar_t));
    return WideToCp949(std::wstring_view(reinterpret_cast<const wchar_t*>(units.data()), units.size()));
}

std::wstring LoadResString(UINT id, HINSTANCE module) {
    if (module == nullptr)
        module = ::GetModuleHandleW(nullptr);
    // With a zero buffer size LoadStringW hands out a pointer into the read-only resource itself,
    // so there is no length limit and nothing to copy twice.
    const wchar_t* text = nullptr;
    const int n = ::LoadStringW(module, id, reinterpret_cast<LPWSTR>(&text), 0);
    if (n <= 0 || text == nullptr)
        return {};
    return std::wstring(text, static_cast<size_t>(n));
}

std::wstring FormatWide(const wchar_t* format, ...) {
    // vswprintf cannot tell the length it needs: grow until it fits.
    std::wstring out(256, L'\0');
    for (;;) {
        va_list args;
        va_start(args, format);
        const int n = std::vswprintf(out.data(), out.size() + 1, format, args);
        va_end(args);
        if (n >= 0 && static_cast<size_t>(n) <= out.size()) {
            out.resize(static_cast<size_t>(n));
            return out;
        }
        if (out.size() >= (1u << 24))
            return {};
        out.resize(out.size() * 2);
    }
}

std::wstring FormatResString(UINT id, int nNumber) {
    std::wstring text = LoadResString(id);
    if (const size_t at = text.find(L"%d"); at != std::wstring::npos)
        text.replace(at, 2, std::to_wstring(nNumber));
    return text;
}

} // namespace dravel::win
