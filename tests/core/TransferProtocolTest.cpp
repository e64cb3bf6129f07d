#include "core/transfer/TransferProtocol.h"

#include "tests/core/support/Korean.h"

#include <gtest/gtest.h>

#include <string>

using namespace dravel;

TEST(TransferHeader, IsAlways260BytesWithTheNameZeroFilled) {
    for (size_t nameLength : {size_t{0}, size_t{1}, size_t{100}, size_t{254}, size_t{255}}) {
        const std::string name(nameLength, 'n');
        const auto header = BuildUploadHeader(0x01020304, name);
        ASSERT_TRUE(header) << nameLength;
        const std::string bytes(header->begin(), header->end());
        EXPECT_EQ(bytes.size(), 260u);
        EXPECT_EQ(bytes.substr(0, 4), std::string("\x01\x02\x03\x04"));
        EXPECT_EQ(bytes.substr(4, nameLength), name);
        EXPECT_EQ(bytes.find_first_not_of('\0', 4 + nameLength), std::string::npos) << nameLength;
    }
}

TEST(TransferHeader, RefusesWhatTheFieldsCannotCarry) {
    EXPECT_FALSE(BuildUploadHeader(0, std::string(256, 'n')));
    EXPECT_FALSE(BuildUploadHeader(0, std::string("a\0b", 3)));
    EXPECT_FALSE(BuildUploadHeader(-1, "a"));
    EXPECT_FALSE(BuildUploadHeader(int64_t{0x80000000}, "a"));
    EXPECT_TRUE(BuildUploadHeader(int64_t{0x7FFFFFFF}, "a"));
}

TEST(TransferHeader, LengthIsSignedBigEndian) {
    uint8_t bytes[4];
    StoreLength(0x7FFFFFFF, bytes);
    EXPECT_EQ(bytes[0], 0x7F);
    EXPECT_EQ(bytes[3], 0xFF);
    EXPECT_EQ(ReadLength(bytes), 0x7FFFFFFF);
    const uint8_t negative[4] = {0xFF, 0xFF, 0xFF, 0xFE};
    EXPECT_EQ(ReadLength(negative), -2);
    const uint8_t small[4] = {0, 0, 0x01, 0x00};
    EXPECT_EQ(ReadLength(small), 256);
}

TEST(RemoteFileName, JoinsIdsFileNameAndStamp) {
    EXPECT_EQ(RemoteFileName("A", "B", "C:\\docs\\report.xls", "201901021530"), "A_B_report.xls.201901021530");
    EXPECT_EQ(RemoteFileName("A", "B", "report.xls", "2019"), "A_B_report.xls.2019");
    EXPECT_EQ(RemoteFileName("A", "B", "C:\\dir\\", "1"), "A_B_.1");
    // "보고서.xls" in 949 under a Korean folder name: only the last part counts.
    const std::string korean = dravel::test::kWordReport + ".xls";
    EXPECT_EQ(RemoteFileName("kim", "lee", "C:\\\xB9\xAE\xBC\xAD\\" + korean, "s"), "kim_lee_" + korean + ".s");
}

TEST(RemoteFileName, MustFit255Bytes) {
    // 3 separators + ids "A", "B" + stamp of 12: the file name may take 238 bytes.
    EXPECT_EQ(RemoteFileName("A", "B", std::string(238, 'f'), "201901021530")->size(), 255u);
    EXPECT_FALSE(RemoteFileName("A", "B", std::string(239, 'f'), "201901021530"));
    EXPECT_FALSE(RemoteFileName(std::string(300, 'i'), "B", "f", "s"));
    EXPECT_FALSE(RemoteFileName(std::string("A\0", 2), "B", "f", "s"));
}
