#pragma once

#include <cstddef>
#include <string_view>

namespace dravel {

// The byte rules of code page 949 (Korean), the program's text on the wire, in files and in windows.

// A byte below 0x80 is an ASCII character of its own.
constexpr bool IsAsciiByte(char c) {
    return static_cast<unsigned char>(c) < 0x80;
}

// A byte from 0x81 to 0xFE begins a two-byte character; 0x80 and 0xFF are single bytes.
constexpr bool IsCp949LeadByte(char c) {
    const auto b = static_cast<unsigned char>(c);
    return b >= 0x81 && b <= 0xFE;
}

// The bytes that can follow a lead byte: A-Z, a-z and 0x81 to 0xFE. None of them is a folder
// separator, a colon, a bar or a quote.
constexpr bool IsCp949TrailByte(char c) {
    const auto b = static_cast<unsigned char>(c);
    return (b >= 0x41 && b <= 0x5A) || (b >= 0x61 && b <= 0x7A) || (b >= 0x81 && b <= 0xFE);
}

// The length of the character starting at i (inside the text): 2 for a lead byte with a byte after it,
// else 1 (a lead byte at the very end stands alone).
constexpr size_t Cp949CharLength(std::string_view text, size_t i) {
    return IsCp949LeadByte(text[i]) && i + 1 < text.size() ? 2 : 1;
}

// A lead byte and a valid trail byte start at i: one well-formed two-byte character.
constexpr bool IsCp949Pair(std::string_view text, size_t i) {
    return i + 1 < text.size() && IsCp949LeadByte(text[i]) && IsCp949TrailByte(text[i + 1]);
}

// The length of the longest start of text that has at most maxBytes bytes and ends after a whole
// character, so cutting there never leaves half a two-byte character.
constexpr size_t Cp949FitLength(std::string_view text, size_t maxBytes) {
    size_t end = 0;
    while (end < text.size()) {
        const size_t length = Cp949CharLength(text, end);
        if (end + length > maxBytes)
            break;
        end += length;
    }
    return end;
}

} // namespace dravel
