#pragma once

// Files and folders of a test's own under the system's temporary folder, removed with the object.
// Portable: the native and the Win32 tests both use them.

#include "tests/core/support/Bytes.h"

#include <atomic>
#include <filesystem>
#include <random>
#include <string>
#include <system_error>

namespace dravel::test {

// A name no other test, run or process uses at the same time.
inline std::filesystem::path UniqueTempPath(const std::string& tag) {
    static std::atomic<unsigned> counter{0};
    static const unsigned run = std::random_device{}();
    return std::filesystem::temp_directory_path() /
           ("dravel_" + tag + "_" + std::to_string(run) + "_" + std::to_string(counter++));
}

class TempFile {
public:
    explicit TempFile(const std::string& tag) : m_strPath(UniqueTempPath(tag).string()) {}
    ~TempFile() {
        std::error_code ec;
        std::filesystem::remove(m_strPath, ec);
    }
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;

    const std::string& Path() const { return m_strPath; }
    void Write(const std::string& bytes) const { WriteFileBytes(m_strPath, bytes); }
    std::string Read() const { return ReadFileBytes(m_strPath); }
    bool Exists() const { return std::filesystem::exists(m_strPath); }

private:
    std::string m_strPath;
};

// A fresh, empty folder.
class TempFolder {
public:
    explicit TempFolder(const std::string& tag = "folder") : m_path(UniqueTempPath(tag)) {
        std::error_code ec;
        std::filesystem::remove_all(m_path, ec);
        std::filesystem::create_directories(m_path);
    }
    ~TempFolder() {
        std::error_code ec;
        std::filesystem::remove_all(m_path, ec);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::filesystem::path& Path() const { return m_path; }
    std::string File(const std::string& name) const { return (m_path / name).string(); }

private:
    std::filesystem::path m_path;
};

} // namespace dravel::test
