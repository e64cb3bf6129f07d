#include "core/app/HttpDownload.h"

#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1)
        return 0;
    const size_t step = 1 + data[0] % 97;
    std::string_view bytes(reinterpret_cast<const char*>(data + 1), size - 1);
    dravel::CHttpResponseParser parser(4096);
    for (size_t pos = 0; pos < bytes.size(); pos += step)
        parser.Feed(bytes.substr(pos, step));
    parser.FeedEnd();
    if (parser.Body().size() > 4096)
        abort();
    if (parser.GetState() != dravel::CHttpResponseParser::State::Done &&
        parser.GetState() != dravel::CHttpResponseParser::State::Failed)
        abort();
    return 0;
}
