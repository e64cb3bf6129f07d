#pragma once

#include <cstddef>

namespace dravel {

// The connection's view of its socket. Neither reads nor writes ever wait: each takes what the socket
// has or accepts at this moment.
class ByteStream {
public:
    enum class ReadStatus { Data, WouldBlock, Closed, Error };
    struct ReadResult {
        ReadStatus status = ReadStatus::WouldBlock;
        size_t size = 0;
    };
    enum class WriteStatus { Taken, WouldBlock, Error };
    struct WriteResult {
        WriteStatus status = WriteStatus::Error;
        size_t size = 0;
    };

    virtual ~ByteStream() = default;
    // Hands the socket what it accepts now: Taken with the count (possibly less than `size`), or
    // WouldBlock when it accepts nothing now; the socket then reports when it is writable again.
    virtual WriteResult Write(const char* data, size_t size) = 0;
    // Reads what has arrived, up to `capacity` bytes.
    virtual ReadResult Read(char* buffer, size_t capacity) = 0;
    // Closes the socket; later calls fail. Safe to call twice.
    virtual void Close() = 0;
};

} // namespace dravel
