// Feeds arbitrary bytes in arbitrary splits to the record reader and checks that whatever comes out
// survives an encode and decode round trip unchanged.
#include "core/protocol/Codec.h"
#include "core/protocol/TextConverter.h"

#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1)
        return 0;
    static const dravel::AsciiTextConverter converter;
    dravel::CRecordReader reader(converter);
    const size_t step = 1 + data[0] % 64;
    std::string stream(reinterpret_cast<const char*>(data + 1), size - 1);
    dravel::CComData record, again;
    for (size_t pos = 0; pos < stream.size(); pos += step) {
        reader.Feed(std::string_view(stream).substr(pos, step));
        while (reader.Next(record) == dravel::DecodeStatus::Complete) {
            std::string bytes = dravel::EncodeRecord(record);
            dravel::DecodeResult r = dravel::DecodeRecord(bytes, again, converter);
            if (r.status != dravel::DecodeStatus::Complete || r.consumed != bytes.size() || !(again == record))
                abort();
        }
    }
    return 0;
}
