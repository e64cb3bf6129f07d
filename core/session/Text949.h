#pragma once

#include <initializer_list>
#include <string>
#include <string_view>

namespace dravel {

// Finds `needle` in code page 949 text, matching only where a character starts, so the trail byte of
// one character and the lead byte of the next never form a false match. Returns the byte offset or npos.
size_t Find949(std::string_view haystack, std::string_view needle);
inline bool Contains949(std::string_view haystack, std::string_view needle) {
    return Find949(haystack, needle) != std::string_view::npos;
}

// Replaces each "%s" of `format` in turn by the next argument, byte for byte. The arguments are never
// read as formats themselves, so a "%" coming from the server stays a "%". Missing arguments are empty.
std::string FillText(std::string_view format, std::initializer_list<std::string_view> args);

} // namespace dravel
