#pragma once

// The 256 bytes that a later launch shares with the first instance: a NUL-terminated 8-bit text of
// at most 255 characters at the start (the later launch's full command line), zero after it. Any
// process of the log-on can map these bytes, so reading trusts nothing about them.

#include <cstddef>
#include <span>
#include <string>
#include <string_view>

namespace dravel {

inline constexpr size_t kHandOffBufferSize = 256;

using HandOffBytes = std::span<char, kHandOffBufferSize>;
using ConstHandOffBytes = std::span<const char, kHandOffBufferSize>;

// Puts text at the start of the buffer with its end mark and zeroes the rest. A text of 256
// characters or more, or one holding a NUL, is not written at all (the buffer stays as it was);
// returns whether it was written.
bool WriteHandOffText(HandOffBytes buffer, std::string_view text);

// The text at the start of the buffer, up to its end mark; at most 255 characters even when the
// buffer holds no end mark at all.
std::string ReadHandOffText(ConstHandOffBytes buffer);

} // namespace dravel
