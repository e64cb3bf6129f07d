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
    if (peerId.empty())
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
    m_file.open(newPath, std::ios::out | std::ios::app | std::ios::binary);
    return m_file.is_open();
}

void CFileConversationLog::Close() {
    if (m_file.is_open())
        m_file.close();
    m_file.clear();
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
