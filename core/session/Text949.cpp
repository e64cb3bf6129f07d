#include "core/session/Text949.h"

#include "core/text/Cp949.h"

namespace dravel {

size_t Find949(std::string_view haystack, std::string_view needle) {
    if (needle.empty())
        return 0;
    for (size_t i = 0; i < haystack.size();) {
        if (haystack.compare(i, needle.size(), needle) == 0)
            return i;
        i += Cp949CharLength(haystack, i);
    }
    return std::string_view::npos;
}

std::string FillText(std::string_view format, std::initializer_list<std::string_view> args) {
    std::string out;
    const std::string_view* arg = args.begin();
    size_t nReserve = format.size();
    for (std::string_view a : args)
        nReserve += a.size();
    out.reserve(nReserve);
    for (size_t i = 0; i < format.size(); ++i) {
        if (format[i] == '%' && i + 1 < format.size() && format[i + 1] == 's') {
            if (arg != args.end())
                out.append(*arg++);
            ++i;
        } else {
            out.push_back(format[i]);
        }
    }
    return out;
}

} // namespace dravel
