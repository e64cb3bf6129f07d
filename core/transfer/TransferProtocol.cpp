#include "core/transfer/TransferProtocol.h"

#include <algorithm>
#include <limits>

namespace dravel {

std::string_view FileNamePart(std::string_view localPath) {
    const size_t slash = localPath.rfind('\\');
    return slash == std::string_view::npos ? localPath : localPath.substr(slash + 1);
}

std::optional<std::string> RemoteFileName(std::string_view ownId, std::string_view peerId, std::string_view localPath,
                                          std::string_view stamp) {
    const std::string_view fileName = FileNamePart(localPath);
    const size_t length = ownId.size() + peerId.size() + fileName.size() + stamp.size() + 3;
    if (length > kMaxRemoteNameLength)
        return std::nullopt;
    std::string name;
    name.reserve(length);
    name.append(ownId).append(1, '_').append(peerId).append(1, '_').append(fileName).append(1, '.').append(stamp);
    if (name.find('\0') != std::string::npos)
        return std::nullopt;
    return name;
}

void StoreLength(int32_t length, uint8_t* out) {
    const auto value = static_cast<uint32_t>(length);
    out[0] = static_cast<uint8_t>(value >> 24);
    out[1] = static_cast<uint8_t>(value >> 16);
    out[2] = static_cast<uint8_t>(value >> 8);
    out[3] = static_cast<uint8_t>(value);
}

int32_t ReadLength(const uint8_t* in) {
    const uint32_t value = (uint32_t{in[0]} << 24) | (uint32_t{in[1]} << 16) | (uint32_t{in[2]} << 8) | uint32_t{in[3]};
    return static_cast<int32_t>(value);
}

std::optional<UploadHeader> BuildUploadHeader(int64_t length, std::string_view remoteName) {
    if (length < 0 || length > std::numeric_limits<int32_t>::max())
        return std::nullopt;
    if (remoteName.size() > kMaxRemoteNameLength || remoteName.find('\0') != std::string_view::npos)
        return std::nullopt;
    UploadHeader header{};
    StoreLength(static_cast<int32_t>(length), header.data());
    std::copy(remoteName.begin(), remoteName.end(), header.begin() + kLengthFieldSize);
    return header;
}

} // namespace dravel
