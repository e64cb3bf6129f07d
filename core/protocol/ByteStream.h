#pragma once

#include <cstddef>

namespace dravel {

// The connection's view of its socket. Reads never wait for more than is already there.
class ByteStream {
public:
    enum class ReadStatus { Data, WouldBlock, Closed, Error };
    struct ReadResult {
        ReadStatus status = ReadStatus::WouldBlock;
        size_t size = 0;
    };

    virtual ~ByteStream() = default;
    // Hands every byte to the network or fails; returns false on a write error.
    virtual bool WriteAll(const char* data, size_t size) = 0;
    // Reads what has arrived, up to `capacity` bytes.
    virtual ReadResult Read(char* buffer, size_t capacity) = 0;
    // Closes the socket; later calls fail. Safe to call twice.
    virtual void Close() = 0;
};

} // namespace dravel
