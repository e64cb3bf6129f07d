#include "core/conversation/ConversationLog.h"

#include "core/conversation/FileNames.h"

#include <system_error>

namespace dravel {

std::optional<std::string> LogFileName(std::string_view peerId, std::string_view ownId) {
    if (peerId.empty())
        return std::nullopt;
    std::string name = std::string(peerId) + "_" + std::string(ownId) + ".Log";
    if (!IsPlainFileName(name))
        return std::nullopt;
    return name;
}

std::optional<std::string> OldLogFileName(std::string_view peerId) {
    // "<a>_<b>.Log" is also the log of the conversation with "a" of the user "b": a peer ID with "_"
    // after its first byte names what may be another conversation's log, which must not be moved away.
    // No trail byte of a double-byte character is "_".
    if (peerId.empty() || peerId.find('_', 1) != std::string_view::npos)
        return std::nullopt;
    std::string name = std::string(peerId) + ".Log";
    if (!IsPlainFileName(name))
        return std::nullopt;
    return name;
}

bool CFileConversationLog::Open(const std::filesystem::path& newPath, const std::filesystem::path& oldPath) {
    Close();
    std::error_code ec;
    if (!std::filesystem::exists(newPath, ec) && !ec && !oldPath.empty() &&
        std::filesystem::is_regular_file(oldPath, ec))
        std::filesystem::rename(oldPath, newPath, ec);
    ReadTail(newPath);
    m_file.open(newPath, std::ios::out | std::ios::app | std::ios::binary);
    return m_file.is_open();
}

void CFileConversationLog::ReadTail(const std::filesystem::path& path) {
    m_tail.clear();
    std::ifstream in(path, std::ios::in | std::ios::binary);
    if (!in)
        return;
    in.seekg(0, std::ios::end);
    const std::streamoff size = in.tellg();
    if (size <= 0)
        return;
    const std::streamoff start = size > static_cast<std::streamoff>(kTailBytes) ? size - kTailBytes : 0;
    in.seekg(start);
    std::string bytes(static_cast<size_t>(size - start), '\0');
    in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    bytes.resize(static_cast<size_t>(in.gcount()));
    size_t pos = 0;
    if (start > 0) {
        // The first line read is cut off at its front.
        pos = bytes.find("\r\n");
        pos = pos == std::string::npos ? bytes.size() : pos + 2;
    }
    for (size_t end = bytes.find("\r\n", pos); end != std::string::npos; end = bytes.find("\r\n", pos)) {
        m_tail.insert(bytes.substr(pos, end - pos) + "\n");
        pos = end + 2;
    }
}

bool CFileConversationLog::Holds(std::string_view line) const {
    return m_tail.contains(std::string(line));
}

void CFileConversationLog::Close() {
    if (m_file.is_open())
        m_file.close();
    m_file.clear();
    m_tail.clear();
}

void CFileConversationLog::WriteLine(std::string_view line) {
    if (!m_file.is_open())
        return;
    size_t pos = 0;
    for (size_t nl = line.find('\n'); nl != std::string_view::npos; nl = line.find('\n', pos)) {
        m_file.write(line.data() + pos, static_cast<std::streamsize>(nl - pos));
        m_file.write("\r\n", 2);
        pos = nl + 1;
    }
    m_file.write(line.data() + pos, static_cast<std::streamsize>(line.size() - pos));
    m_file.flush();
    // A full disk must not silence the lines that follow once there is room again.
    m_file.clear();
}

} // namespace dravel
