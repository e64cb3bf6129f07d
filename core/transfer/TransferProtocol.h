#pragma once

// The bytes of the two file connections and the arithmetic of the progress bar.
//
// Upload (client to server): 4-byte big-endian signed length, the remote file name in a zero-filled
// 256-byte field (NUL-terminated, so at most 255 bytes of name), then exactly `length` file bytes.
// Download (server to client): 4-byte big-endian signed length, then exactly `length` file bytes.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace dravel {

inline constexpr uint16_t kUploadPort = 8201;
inline constexpr uint16_t kDownloadPort = 8202;

inline constexpr size_t kTransferChunkSize = 4096;
inline constexpr size_t kLengthFieldSize = 4;
inline constexpr size_t kRemoteNameFieldSize = 256;
inline constexpr size_t kMaxRemoteNameLength = kRemoteNameFieldSize - 1;
inline constexpr size_t kUploadHeaderSize = kLengthFieldSize + kRemoteNameFieldSize;
// The bar runs from 0 to this many steps.
inline constexpr int kProgressSteps = 128;

using UploadHeader = std::array<uint8_t, kUploadHeaderSize>;

// The part of a local path after its last backslash (the whole path if there is none). Works on the
// 949 bytes directly: no trail byte of code page 949 is 0x5C, so a backslash byte is always a backslash.
std::string_view FileNamePart(std::string_view localPath);

// "%s_%s_%s.%s" of own ID, peer ID, the local file's name and the stamp. Empty when the result would
// not fit the name field (more than 255 bytes) or holds a NUL, which would cut it short on the wire.
std::optional<std::string> RemoteFileName(std::string_view ownId, std::string_view peerId, std::string_view localPath,
                                          std::string_view stamp);

// The 260 bytes that open an upload; empty for a negative length or a name that does not fit.
std::optional<UploadHeader> BuildUploadHeader(int64_t length, std::string_view remoteName);

void StoreLength(int32_t length, uint8_t* out);
int32_t ReadLength(const uint8_t* in);

// The bar's position after each chunk: it moves by one step when the bytes moved so far pass
// `step` times the steps taken, so at most one step per chunk (and one past the end for some sizes,
// which the bar shows as full).
class CTransferProgress {
public:
    explicit CTransferProgress(int64_t total) noexcept : m_nStep(total >> 7) {}

    // The new position to show after `moved` bytes in all, or nothing if the bar stays.
    std::optional<int> Advance(int64_t moved) noexcept {
        if (m_nStep * m_nCount >= moved)
            return std::nullopt;
        return ++m_nCount;
    }
    int Position() const noexcept { return static_cast<int>(m_nCount); }
    int64_t Step() const noexcept { return m_nStep; }

private:
    int64_t m_nStep;
    int64_t m_nCount = 0;
};

} // namespace dravel
