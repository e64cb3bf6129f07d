#include "core/conversation/FileNames.h"
#include "core/conversation/Conversation.h"
#include "core/conversation/ConversationItems.h"

#include "tests/core/support/Bytes.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace dravel;
using dravel::test::Bytes;

namespace {

std::optional<std::string> KeyOf(const std::string& html, bool bIncoming, bool bWrapped = false) {
    std::optional<CFileRequest> r = FileRequestFromItem(html, bWrapped);
    if (!r)
        return std::nullopt;
    EXPECT_EQ(r->bIncoming, bIncoming) << html;
    return r->strKey;
}

} // namespace

TEST(FileKey, PeerOfferItemsGiveTheirKey) {
    std::string item = IncomingFileItem("Kim", "File_report.txt", "2020-01-02 PM 03:04:05");
    EXPECT_EQ(KeyOf(item, true), "report.txt.202001021504");
    EXPECT_EQ(KeyOf(IncomingFileItem("Kim", "File_report.txt", "2020-01-02 AM 12:30:00"), true),
              "report.txt.202001020030");
    EXPECT_EQ(KeyOf(IncomingFileItem("Kim", "File_report.txt", "2020-01-02 PM 12:30:00"), true),
              "report.txt.202001021230");
    EXPECT_EQ(KeyOf(IncomingFileItem("Kim", "File_a b.txt  ", "2021-11-30 AM 09:05:00"), true), "a b.txt.202111300905");
}

TEST(FileKey, OwnFileItemsGiveTheirKey) {
    EXPECT_EQ(KeyOf(OwnFileItem("Send_report.txt", "2020/01/02 PM 11:59:00"), false), "report.txt.202001022359");
    // An upload's name is wrapped for display; the key still carries the real name.
    std::string longName = "quarterly_report_final_2020_v2.xlsx";
    EXPECT_EQ(KeyOf(SentFileItem(WrapText(longName), "2020/01/02 AM 10:00:00"), false, true), longName + ".202001021000");
    EXPECT_EQ(KeyOf(SentFileItem(WrapText(std::string(26, 'n')), "2020/01/02 AM 10:00:00"), false, true),
              std::string(26, 'n') + ".202001021000");
    // From the history the name was never wrapped: a real blank after 26 bytes stays in it.
    const std::string blank = std::string(26, 'n') + " 2.txt";
    EXPECT_EQ(KeyOf(OwnFileItem("Send_" + blank, "2020/01/02 AM 10:00:00"), false), blank + ".202001021000");
}

TEST(FileKey, OtherItemsAskForNothing) {
    // Messages that merely mention the prefixes, notices, damaged time strings.
    EXPECT_FALSE(FileRequestFromItem(OwnMessageItem(MessageBody("see File_x.txt"), "2020/01/02 PM 03:04:05")));
    EXPECT_FALSE(FileRequestFromItem(IncomingMessageItem("Kim", MessageBody("Send_ it"), "2020-01-02 PM 03:04:05")));
    EXPECT_FALSE(FileRequestFromItem(NoticeItem("File_")));
    EXPECT_FALSE(FileRequestFromItem(IncomingFileItem("Kim", "File_a.txt", "2020-01-02 PM xx:04:05")));
    EXPECT_FALSE(FileRequestFromItem(IncomingFileItem("Kim", "File_a.txt", "short")));
    EXPECT_FALSE(FileRequestFromItem("<b>File_"));
    EXPECT_FALSE(FileRequestFromItem("<b>File_</b>xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx"));
    EXPECT_FALSE(FileRequestFromItem(""));
}

TEST(ReceivedName, TheStampSuffixIsRemoved) {
    EXPECT_EQ(ReceivedFileName("a.txt.202001021504"), "a.txt");
    EXPECT_EQ(ReceivedFileName("report.202001021504"), "report");
    std::string korean = Bytes({0xB0, 0xA1, 0xB3, 0xAA}) + ".hwp";
    EXPECT_EQ(ReceivedFileName(korean + ".202001021504"), korean);
    // No stamp suffix: the name would be the folder itself.
    EXPECT_EQ(ReceivedFileName("noextension"), std::nullopt);
    EXPECT_EQ(ReceivedFileName(""), std::nullopt);
    EXPECT_EQ(ReceivedFileName(".202001021504"), std::nullopt);
}

TEST(ReceivedName, OnlyASafeLastComponentIsKept) {
    EXPECT_EQ(ReceivedFileName("..\\..\\Windows\\win.ini.202001021504"), "win.ini");
    EXPECT_EQ(ReceivedFileName("../../etc/passwd.x.1"), "passwd.x");
    EXPECT_EQ(ReceivedFileName("C:\\boot.ini.202001021504"), "boot.ini");
    EXPECT_EQ(ReceivedFileName("C:evil.exe.202001021504"), "evil.exe");
    EXPECT_EQ(ReceivedFileName("\\\\server\\share\\x.doc.1"), "x.doc");
    EXPECT_EQ(ReceivedFileName("a.txt:stream.1"), "stream");
    EXPECT_EQ(ReceivedFileName("name. . ..1"), "name");
    EXPECT_EQ(ReceivedFileName("w?i*l<d>\"c|ard\t.txt.1"), "w_i_l_d__c_ard_.txt");
    for (const char* refused : {"...202001021504", "..\\...1", "dir\\.1", "C:.1", "  .1", "a\\..1", "x/ .1"})
        EXPECT_EQ(ReceivedFileName(refused), std::nullopt) << refused;
}

TEST(ReceivedName, DeviceNamesAreRefused) {
    // The numbered devices also take the superscript digits one to three (949 A9F6 to A9F8).
    const std::string super1 = Bytes({0xA9, 0xF6}), super3 = Bytes({0xA9, 0xF8});
    for (const std::string& device : std::initializer_list<std::string>{
             "CON.txt.1", "con.1", "NUL.1", "nul.tar.gz.1", "COM1.1", "lpt9.log.1", "AUX .txt.1", "PRN.1", "CONOUT$.1",
             "..\\COM3.x.1", "COM" + super1 + ".1", "lpt" + super3 + " .x.1"})
        EXPECT_EQ(ReceivedFileName(device), std::nullopt) << device;
    for (const std::string& name :
         std::initializer_list<std::string>{"CONSOLE.txt", "COM10.txt", "nul_.txt",
                                            "COM" + Bytes({0xA9, 0xF9}) + ".txt", "LPT" + super1 + super1 + ".txt"})
        EXPECT_EQ(ReceivedFileName(name + ".1"), name) << name;
}

TEST(ReceivedName, BackupNamesCarryTheTime) {
    CLocalTime now{2024, 3, 9, 17, 5, 8};
    EXPECT_EQ(BackupFileName("a.txt", now), "a-bak 240309170508.txt");
    EXPECT_EQ(BackupFileName("a.b.txt", now), "a.b-bak 240309170508.txt");
    EXPECT_EQ(BackupFileName("report", now), "report-bak 240309170508");
    EXPECT_TRUE(IsPlainFileName(BackupFileName("a.txt", now)));
}

TEST(ReceivedName, PlainNames) {
    EXPECT_TRUE(IsPlainFileName("a.txt"));
    EXPECT_TRUE(IsPlainFileName(Bytes({0xB0, 0xA1})));
    for (const std::string& bad : {std::string(), std::string("."), std::string(".."), std::string("a "),
                                   std::string("a\\b"), std::string("a/b"), std::string("a:b"), std::string("com2"),
                                   std::string("x") + Bytes({0xB0}), std::string("a\nb")})
        EXPECT_FALSE(IsPlainFileName(bad)) << bad;
}

TEST(ReceivedName, BrokenCharactersCannotHideSeparators) {
    // A lead byte before a separator is no character: the separator still cuts, the stray byte goes.
    EXPECT_EQ(ReceivedFileName(Bytes({0xB0}) + "\\..\\x.txt.1"), "x.txt");
    EXPECT_EQ(ReceivedFileName("a" + Bytes({0xB0, 0x20}) + "b.txt.1"), "a_ b.txt");
    EXPECT_EQ(ReceivedFileName("a" + Bytes({0xFF, 0x80}) + ".txt.1"), "a__.txt");
    EXPECT_FALSE(IsPlainFileName("a" + Bytes({0xB0}) + "\\b"));
    EXPECT_FALSE(LogFileName(Bytes({0xB0}) + "\\..\\x", "me"));
}

TEST(ReceivedName, TypesThatMayBeOpenedAndLinkTypes) {
    for (const char* name : {"data.xlsx", "report.HWP", "a.docx", "s.pptx", "p.pdf", "C:\\docs\\n.txt. ", "l.csv",
                             "photo.JPG", "pack.zip", "site.url.txt"})
        EXPECT_TRUE(IsOpenableFileType(name) && !IsLinkFileType(name)) << name;
    for (const char* name :
         {"site.url", "x.LNK", "x.scf", "desktop.ini", "boot.INI ", "a.library-ms", "a.searchconnector-ms", "a.theme"})
        EXPECT_TRUE(IsLinkFileType(name) && !IsOpenableFileType(name)) << name;
    for (const char* name : {"x.exe", "a.txt.exe", "remote.rdp", "book.xlsm", "page.svg", "page.htm", "xlsx", ""})
        EXPECT_FALSE(IsOpenableFileType(name) || IsLinkFileType(name)) << name;
}

TEST(ReceivedName, ShortenedNamesKeepTheirType) {
    const std::string ga = Bytes({0xB0, 0xA1}); // one character of two bytes; a path counts characters
    const std::pair<std::string, std::optional<std::string>> cases[] = {
        {"a.xlsx", "a.xlsx"},
        {"longreport.xlsx", "lon.xlsx"},
        {"report-no-type", "report-n"},
        {ga + ga + ga + ga + ga + ".hwp", ga + ga + ga + ga + ".hwp"},
        {"abc defg.txt", "abc.txt"},
        {"a.b.c.d.tar.gz", "a.b.c.gz"},
        {"a.verylongtype", std::nullopt},
        {"CONSOLE.txtx", std::nullopt}};
    for (const auto& [name, shortened] : cases)
        EXPECT_EQ(ShortenFileName(name, 8), shortened) << name;
}
