// The conversation log as the program uses it on Windows: names from 949 IDs converted to wide paths.

#include "core/conversation/ConversationLog.h"
#include "win/base/Text.h"

#include "tests/core/support/Bytes.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

using namespace dravel;
using dravel::test::ReadFileBytes;
namespace fs = std::filesystem;

namespace {

TEST(ConversationLogFile, KoreanIdsMoveTheOldFileAndAppendWithCrLf) {
    // 폴더 as the program's folder, 김철수 as the peer ID.
    fs::path folder =
        fs::temp_directory_path() / (L"dravel-log-\uD3F4\uB354-" + std::to_wstring(GetCurrentProcessId()));
    fs::remove_all(folder);
    fs::create_directories(folder);
    const std::string peer = "\xB1\xE8\xC3\xB6\xBC\xF6";
    fs::path oldPath = folder / win::Cp949ToWide(*OldLogFileName(peer));
    fs::path newPath = folder / win::Cp949ToWide(*LogFileName(peer, "me"));
    EXPECT_EQ(newPath.filename().wstring(), L"\uAE40\uCCA0\uC218_me.Log");
    std::ofstream(oldPath, std::ios::binary) << "> old\r\n";

    CFileConversationLog log;
    ASSERT_TRUE(log.Open(newPath, oldPath));
    EXPECT_FALSE(fs::exists(oldPath));
    log.WriteLine(". 2020/01/02 PM 03:04:05 " + peer + "\n");

    // Another process may read and write the file while the window holds it.
    HANDLE other = CreateFileW(newPath.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                               nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(other, INVALID_HANDLE_VALUE);
    SetFilePointer(other, 0, nullptr, FILE_END);
    DWORD written = 0;
    WriteFile(other, "x\r\n", 3, &written, nullptr);
    CloseHandle(other);
    log.WriteLine("> t y\n");
    log.Close();

    EXPECT_EQ(ReadFileBytes(newPath), "> old\r\n. 2020/01/02 PM 03:04:05 " + peer + "\r\nx\r\n> t y\r\n");
    fs::remove_all(folder);
}

} // namespace
