#pragma once

#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_set>

namespace dravel {

// Where a conversation's lines go. Lines arrive complete and end in "\n".
class ConversationLog {
public:
    virtual ~ConversationLog() = default;
    virtual bool IsOpen() const = 0;
    // Writes and flushes one line; does nothing while closed.
    virtual void WriteLine(std::string_view line) = 0;
    // Whether the end of the log already holds this line, so that a history shown again (a new window,
    // a reconnect, the next run) is not written twice.
    virtual bool Holds(std::string_view /*line*/) const { return false; }
};

// The log of a conversation lives beside the program as "<peer ID>_<own ID>.Log"; older versions named
// it after the peer alone, "<peer ID>.Log". IDs come from the server, so a name that would leave the
// folder or name a device gives no log at all (no value), and an old name that another conversation's
// log could have (a peer ID with "_" in it) is not this conversation's to move (no value).
std::optional<std::string> LogFileName(std::string_view peerId, std::string_view ownId);
std::optional<std::string> OldLogFileName(std::string_view peerId);

// The log as a file, shared with other readers and writers, appended to from run to run, never
// truncated. "\n" is written as CR LF, as a text-mode file would.
class CFileConversationLog final : public ConversationLog {
public:
    // Opens newPath; when it does not exist yet, a file at oldPath is first moved there. A failed move
    // is ignored and the new file is created empty. The caller turns the names above into paths (on
    // Windows through the 949 converter, which the standard path class does not know).
    bool Open(const std::filesystem::path& newPath, const std::filesystem::path& oldPath);
    void Close();

    bool IsOpen() const override { return m_file.is_open(); }
    void WriteLine(std::string_view line) override;
    bool Holds(std::string_view line) const override;

    // How much of the end of an existing log is read back for Holds.
    static constexpr size_t kTailBytes = 1024 * 1024;

private:
    void ReadTail(const std::filesystem::path& path);

    std::ofstream m_file;
    // The complete lines of the log's end as WriteLine takes them ("\n" at the end).
    std::unordered_set<std::string> m_tail;
};

} // namespace dravel
