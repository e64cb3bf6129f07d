#pragma once

#include <string>
#include <string_view>

namespace dravel {

// Turns the UTF-16 text form that a peer may put on the wire into local code page 949 bytes.
// Windows implements it with the system converter; tests and Linux builds use AsciiTextConverter.
class TextConverter {
public:
    virtual ~TextConverter() = default;
    virtual std::string Utf16ToLocal(std::u16string_view units) const = 0;
};

// Keeps ASCII, turns everything else into '?'. Good enough where no 949 table is at hand.
class AsciiTextConverter final : public TextConverter {
public:
    std::string Utf16ToLocal(std::u16string_view units) const override;
};

} // namespace dravel
