// Any text wraps without overflow, the inserted blanks are the only change, two-byte characters stay
// whole, and unwrapping gives the text back.
#include "core/conversation/TextRules.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view text(reinterpret_cast<const char*>(data), size);
    std::string wrapped = dravel::WrapText(text);
    if (wrapped.size() < size || wrapped.size() > size + size / dravel::kWrapRun + 1)
        abort();
    if (dravel::UnwrapText(wrapped) != text)
        abort();

    // Walk both together: the wrapped text is the text with blanks put in between characters, and no
    // more than 27 bytes pass without a blank (26, or 25 and a two-byte character).
    size_t i = 0, run = 0;
    for (size_t w = 0; w < wrapped.size();) {
        if (i < size && wrapped[w] == text[i]) {
            const bool lead = (static_cast<unsigned char>(text[i]) & 0x80) != 0;
            size_t width = lead && i + 1 < size ? 2 : 1;
            if (wrapped.compare(w, width, text.substr(i, width)) != 0)
                abort();
            run = text[i] == ' ' ? 1 : run + width;
            i += width;
            w += width;
        } else if (wrapped[w] == ' ') {
            run = 0;
            ++w;
        } else {
            abort();
        }
        if (run > dravel::kWrapRun + 1)
            abort();
    }
    if (i != size)
        abort();
    return 0;
}
