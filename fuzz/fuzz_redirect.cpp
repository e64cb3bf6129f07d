#include "core/app/HttpDownload.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

// A redirect the update server sends: whatever it says, the next request stays on its origin and asks
// for an absolute path.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1)
        return 0;
    const bool bSecure = (data[0] & 1) != 0;
    const dravel::HostPort origin{"127.0.0.1", static_cast<uint16_t>(bSecure ? 443 : 8080)};
    std::string_view location(reinterpret_cast<const char*>(data + 1), size - 1);
    if (auto path = dravel::SameOriginRedirect(location, bSecure, origin)) {
        if (path->empty() || path->front() != '/' || path->find('#') != std::string::npos)
            abort();
    }
    return 0;
}
