#pragma once

// A socket in memory for the connection's tests: it keeps what is written and hands out what was queued.

#include "core/protocol/ByteStream.h"
#include "core/protocol/Codec.h"
#include "core/protocol/TextConverter.h"

#include <algorithm>
#include <string>
#include <vector>

namespace dravel::test {

class MemoryStream : public ByteStream {
public:
    std::string strWritten;
    std::string strIncoming;
    bool bFailWrites = false;

    WriteResult Write(const char* data, size_t size) override {
        if (bFailWrites)
            return {WriteStatus::Error, 0};
        strWritten.append(data, size);
        return {WriteStatus::Taken, size};
    }
    ReadResult Read(char* buffer, size_t capacity) override {
        if (strIncoming.empty())
            return {ReadStatus::WouldBlock, 0};
        size_t n = std::min(capacity, strIncoming.size());
        std::copy_n(strIncoming.data(), n, buffer);
        strIncoming.erase(0, n);
        return {ReadStatus::Data, n};
    }
    void Close() override {}
};

// Every whole record in the bytes, in order.
inline std::vector<CComData> DecodeAll(const std::string& bytes) {
    static const AsciiTextConverter kAscii;
    std::vector<CComData> out;
    CRecordReader reader(kAscii);
    reader.Feed(bytes);
    CComData r;
    while (reader.Next(r) == DecodeStatus::Complete)
        out.push_back(r);
    return out;
}

} // namespace dravel::test
