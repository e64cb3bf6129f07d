#include "core/conversation/ConversationLog.h"

#include "tests/core/support/Bytes.h"
#include "tests/core/support/TempFiles.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

using namespace dravel;
using dravel::test::ReadFileBytes;
using dravel::test::TempFolder;
namespace fs = std::filesystem;

TEST(ConversationLog, FileNamesFromIds) {
    EXPECT_EQ(LogFileName("kim01", "lee02"), "kim01_lee02.Log");
    EXPECT_EQ(OldLogFileName("kim01"), "kim01.Log");
    for (const char* bad : {"", "..\\x", "a/b", "c:x", "a|b"}) {
        EXPECT_FALSE(LogFileName(bad, "me")) << bad;
        EXPECT_FALSE(OldLogFileName(bad)) << bad;
    }
    EXPECT_FALSE(LogFileName("kim", "..\\..\\x"));
    // "CON.Log" would be the console; "CON_me.Log" is an ordinary file.
    EXPECT_FALSE(OldLogFileName("CON"));
    EXPECT_EQ(LogFileName("CON", "me"), "CON_me.Log");
    // "lee_kim.Log" is also the log of kim's conversation with lee: the peer "lee_kim" moves no old log.
    EXPECT_EQ(LogFileName("lee_kim", "kim"), "lee_kim_kim.Log");
    EXPECT_FALSE(OldLogFileName("lee_kim"));
    EXPECT_FALSE(OldLogFileName("lee_"));
    EXPECT_EQ(OldLogFileName("_lee"), "_lee.Log"); // no conversation's log is named "_lee.Log"
}

TEST(ConversationLog, OldNameIsMovedAndAppendedTo) {
    TempFolder dir("conv");
    fs::path oldPath = dir.Path() / *OldLogFileName("kim01");
    fs::path newPath = dir.Path() / *LogFileName("kim01", "me");
    std::ofstream(oldPath, std::ios::binary) << "> old line\r\n";

    CFileConversationLog log;
    ASSERT_TRUE(log.Open(newPath, oldPath));
    EXPECT_FALSE(fs::exists(oldPath));
    log.WriteLine(". 2020/01/02 PM 03:04:05 abc\n");
    // Visible to another reader at once: every line is flushed.
    EXPECT_EQ(ReadFileBytes(newPath), "> old line\r\n. 2020/01/02 PM 03:04:05 abc\r\n");
    log.Close();
    EXPECT_FALSE(log.IsOpen());
    log.WriteLine("lost\n");

    // A second run appends; an old file that turns up again is left alone.
    std::ofstream(oldPath, std::ios::binary) << "stray";
    ASSERT_TRUE(log.Open(newPath, oldPath));
    log.WriteLine("> t a\nb\n");
    EXPECT_EQ(ReadFileBytes(newPath), "> old line\r\n. 2020/01/02 PM 03:04:05 abc\r\n> t a\r\nb\r\n");
    EXPECT_EQ(ReadFileBytes(oldPath), "stray");
    // What the file held when it opened is known to be there, whole lines only; a line cut off at the
    // front of the read-back end is not.
    EXPECT_TRUE(log.Holds(". 2020/01/02 PM 03:04:05 abc\n"));
    EXPECT_FALSE(log.Holds("> t a\n")); // written since
    EXPECT_FALSE(log.Holds("abc\n"));
    log.Close();
    std::ofstream(newPath, std::ios::binary) << std::string(CFileConversationLog::kTailBytes, 'x') << "\r\nlast\r\n";
    ASSERT_TRUE(log.Open(newPath, oldPath));
    EXPECT_TRUE(log.Holds("last\n"));
    EXPECT_FALSE(log.Holds(std::string(CFileConversationLog::kTailBytes, 'x') + "\n"));
}

TEST(ConversationLog, MissingOldNameOrFolder) {
    TempFolder dir("conv");
    CFileConversationLog log;
    fs::path newPath = dir.Path() / "p_me.Log";
    ASSERT_TRUE(log.Open(newPath, dir.Path() / "p.Log"));
    EXPECT_EQ(ReadFileBytes(newPath), "");
    // An old name that is a folder is not moved; the log opens empty.
    fs::create_directory(dir.Path() / "q.Log");
    ASSERT_TRUE(log.Open(dir.Path() / "q_me.Log", dir.Path() / "q.Log"));
    EXPECT_TRUE(fs::is_directory(dir.Path() / "q.Log"));
    // No folder: the log stays closed and writes nothing.
    EXPECT_FALSE(log.Open(dir.Path() / "absent" / "r_me.Log", dir.Path() / "absent" / "r.Log"));
    log.WriteLine("x\n");
    EXPECT_FALSE(log.IsOpen());
}
