#include "core/protocol/Codec.h"
#include "core/protocol/TextConverter.h"
#include "tests/core/support/Bytes.h"
#include "tests/core/support/Korean.h"

#include <gtest/gtest.h>

#include <set>
#include <vector>

using namespace dravel;
using dravel::test::Bytes;
using dravel::test::Hex;

namespace {

const AsciiTextConverter kAscii;

CComData ConnectCheckOfKim() {
    CComData r;
    r.m_strId = "kim";
    r.m_strName = "Kim";
    r.m_strTarget = "Server";
    r.m_nStatus = 1;
    r.m_strText = "Connect check";
    r.m_nCommand = COM_CONNECT_CHECK;
    return r;
}

std::string Prefix(size_t n) {
    std::string out;
    AppendText(out, std::string(n, 'x'));
    return out.substr(0, out.size() - n);
}

CComData Decode(const std::string& bytes, size_t* consumed = nullptr) {
    CComData out;
    DecodeResult r = DecodeRecord(bytes, out, kAscii);
    EXPECT_EQ(r.status, DecodeStatus::Complete) << r.error;
    if (consumed)
        *consumed = r.consumed;
    return out;
}

CComData Mixed(int i) {
    CComData r;
    r.m_strId = "user" + std::to_string(i);
    r.m_strPassword = "pw";
    r.m_strName = test::kWordNote;
    r.m_strTarget = i % 2 ? "Server" : "";
    r.m_nStatus = -i;
    r.m_strText = std::string(static_cast<size_t>(i * 37 % 300), 'a' + i % 26);
    r.m_nCommand = i % 25;
    r.m_strHost = i % 3 ? "" : "10.0.0.1";
    r.m_nPort = i % 3 ? 0 : 8202;
    return r;
}

} // namespace

TEST(Codec, WorkedExampleByteForByte) {
    const std::string expected =
        Bytes({0x03, 0x6B, 0x69, 0x6D, 0x00, 0x03, 0x4B, 0x69, 0x6D, 0x06, 0x53, 0x65, 0x72, 0x76, 0x65, 0x72,
               0x01, 0x00, 0x00, 0x00, 0x0D, 0x43, 0x6F, 0x6E, 0x6E, 0x65, 0x63, 0x74, 0x20, 0x63, 0x68, 0x65,
               0x63, 0x6B, 0x0E, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00});
    EXPECT_EQ(Hex(EncodeRecord(ConnectCheckOfKim())), Hex(expected));
    size_t consumed = 0;
    EXPECT_EQ(Decode(expected, &consumed), ConnectCheckOfKim());
    EXPECT_EQ(consumed, expected.size());
}

TEST(Codec, EmptyRecordIs22Bytes) {
    CComData r;
    r.m_nCommand = 0x01020304;
    EXPECT_EQ(Hex(EncodeRecord(r)), Hex(Bytes({0, 0, 0, 0, 0, 0, 0, 0, 0, 4, 3, 2, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0})));
    EXPECT_EQ(EncodeRecord(r).size(), kMinRecordSize);
}

TEST(Codec, LengthPrefixBoundaries) {
    EXPECT_EQ(Hex(Prefix(0)), "00");
    EXPECT_EQ(Hex(Prefix(6)), "06");
    EXPECT_EQ(Hex(Prefix(254)), "FE");
    EXPECT_EQ(Hex(Prefix(255)), "FF FF 00");
    EXPECT_EQ(Hex(Prefix(300)), "FF 2C 01");
    EXPECT_EQ(Hex(Prefix(65533)), "FF FD FF");
    EXPECT_EQ(Hex(Prefix(65534)), "FF FF FF FE FF 00 00");
    EXPECT_EQ(Hex(Prefix(70000)), "FF FF FF 70 11 01 00");
    // Every boundary decodes back to the same text.
    for (size_t n : {0u, 254u, 255u, 65533u, 65534u, 65535u, 70000u}) {
        CComData r;
        r.m_strText = std::string(n, 'q');
        r.m_strHost = "h";
        EXPECT_EQ(Decode(EncodeRecord(r)), r) << n;
    }
}

TEST(Codec, NumbersAreLittleEndianTwosComplement) {
    CComData r;
    r.m_nStatus = -1;
    r.m_nCommand = COM_PRIVATE_MESSAGE;
    r.m_nPort = 8201;
    r.m_nReserved = INT32_MIN;
    const std::string bytes = EncodeRecord(r);
    EXPECT_EQ(Hex(bytes.substr(4, 4)), "FF FF FF FF");
    EXPECT_EQ(Hex(bytes.substr(14, 4)), "09 20 00 00");
    EXPECT_EQ(Hex(bytes.substr(18, 4)), "00 00 00 80");
    EXPECT_EQ(Decode(bytes), r);
}

TEST(Codec, KoreanTextIsCarriedAsCp949Bytes) {
    CComData r;
    r.m_strText = test::kWordNote;
    const std::string bytes = EncodeRecord(r);
    EXPECT_EQ(Hex(bytes.substr(8, 5)), "04 C2 CA C1 F6");
    EXPECT_EQ(Decode(bytes).m_strText, r.m_strText);
}

TEST(Codec, EmbeddedZeroBytesSurvive) {
    CComData r;
    r.m_strText = std::string("a\0b\0", 4);
    EXPECT_EQ(Decode(EncodeRecord(r)).m_strText.size(), 4u);
}

TEST(Codec, Utf16FormIsConvertedThroughTheConverter) {
    class Recording : public TextConverter {
    public:
        std::string Utf16ToLocal(std::u16string_view units) const override {
            seen = std::u16string(units);
            return "converted";
        }
        mutable std::u16string seen;
    } converter;
    // m_strId in UTF-16: marker FF FE FF, then 2 units "A쪽" (U+C27D).
    std::string bytes = Bytes({0xFF, 0xFE, 0xFF, 0x02, 0x41, 0x00, 0x7D, 0xC2});
    CComData tail;
    std::string rest = EncodeRecord(tail).substr(1);
    CComData out;
    DecodeResult r = DecodeRecord(bytes + rest, out, converter);
    ASSERT_EQ(r.status, DecodeStatus::Complete);
    EXPECT_EQ(out.m_strId, "converted");
    EXPECT_EQ(converter.seen, u"A\uC27D");
    EXPECT_EQ(r.consumed, bytes.size() + rest.size());

    // The ASCII fallback keeps ASCII and marks the rest.
    EXPECT_EQ(AsciiTextConverter().Utf16ToLocal(u"ok\uC27D"), "ok?");
}

TEST(Codec, Utf16FormWithLongPrefixAndOddCases) {
    // Marker followed by the 16-bit length form: 300 units.
    std::string bytes = Bytes({0xFF, 0xFE, 0xFF, 0xFF, 0x2C, 0x01});
    for (int i = 0; i < 300; ++i)
        bytes += Bytes({'z', 0});
    bytes += EncodeRecord(CComData()).substr(1);
    CComData out;
    ASSERT_EQ(DecodeRecord(bytes, out, kAscii).status, DecodeStatus::Complete);
    EXPECT_EQ(out.m_strId, std::string(300, 'z'));

    // A marker that repeats is not a length.
    std::string twice = Bytes({0xFF, 0xFE, 0xFF, 0xFF, 0xFE, 0xFF, 0x00}) + std::string(40, '\0');
    EXPECT_EQ(DecodeRecord(twice, out, kAscii).status, DecodeStatus::Malformed);
}

TEST(Codec, OverCapLengthIsMalformedBeforeAnyBytesArrive) {
    // Announces 16 MiB + 1 and stops: refused at once, not waited for.
    std::string bytes = Bytes({0xFF, 0xFF, 0xFF, 0x01, 0x00, 0x00, 0x01});
    CComData out;
    DecodeResult r = DecodeRecord(bytes, out, kAscii);
    EXPECT_EQ(r.status, DecodeStatus::Malformed);
    EXPECT_STRNE(r.error, "");
    // 0xFFFFFFFF in a later field.
    std::string late = Bytes({0, 0, 0, 0, 1, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF});
    EXPECT_EQ(DecodeRecord(late, out, kAscii).status, DecodeStatus::Malformed);
    // Exactly the cap is a legal length; with its bytes missing the reader just waits.
    std::string atCap = Bytes({0xFF, 0xFF, 0xFF, 0x00, 0x00, 0x00, 0x01});
    EXPECT_EQ(DecodeRecord(atCap, out, kAscii).status, DecodeStatus::NeedMore);
    // UTF-16 units count double against the cap.
    std::string units = Bytes({0xFF, 0xFE, 0xFF, 0xFF, 0xFF, 0xFF, 0x01, 0x00, 0x80, 0x00});
    EXPECT_EQ(DecodeRecord(units, out, kAscii).status, DecodeStatus::Malformed);
}

TEST(Codec, IncompleteInputLeavesTheRecordUntouched) {
    const std::string bytes = EncodeRecord(ConnectCheckOfKim());
    for (size_t n = 0; n < bytes.size(); ++n) {
        CComData out;
        out.m_strText = "untouched";
        DecodeResult r = DecodeRecord(std::string_view(bytes).substr(0, n), out, kAscii);
        EXPECT_EQ(r.status, DecodeStatus::NeedMore) << n;
        EXPECT_EQ(out.m_strText, "untouched");
    }
}

TEST(RecordReader, BackToBackRecordsComeOutInOrder) {
    std::string stream;
    std::vector<CComData> sent;
    for (int i = 0; i < 50; ++i) {
        sent.push_back(Mixed(i));
        EncodeRecord(stream, sent.back());
    }
    CRecordReader reader(kAscii);
    reader.Feed(stream);
    CComData out;
    for (const CComData& expected : sent) {
        ASSERT_EQ(reader.Next(out), DecodeStatus::Complete);
        EXPECT_EQ(out, expected);
    }
    EXPECT_EQ(reader.Next(out), DecodeStatus::NeedMore);
    EXPECT_EQ(reader.Pending(), 0u);
}

TEST(RecordReader, EverySplitOfTwoRecordsYieldsEachOnceWhole) {
    const CComData first = ConnectCheckOfKim();
    const CComData second = Mixed(7);
    const std::string stream = EncodeRecord(first) + EncodeRecord(second);
    for (size_t a = 0; a <= stream.size(); ++a) {
        for (size_t b = a; b <= stream.size(); b += 7) {
            CRecordReader reader(kAscii);
            std::vector<CComData> got;
            CComData out;
            for (auto piece : {stream.substr(0, a), stream.substr(a, b - a), stream.substr(b)}) {
                reader.Feed(piece);
                while (reader.Next(out) == DecodeStatus::Complete)
                    got.push_back(out);
            }
            ASSERT_EQ(got.size(), 2u) << a << "/" << b;
            EXPECT_EQ(got[0], first);
            EXPECT_EQ(got[1], second);
        }
    }
}

TEST(RecordReader, OneByteAtATimeAndLargeRecords) {
    CComData big = Mixed(3);
    big.m_strText = std::string(70000, 'L');
    const std::string stream = EncodeRecord(big) + EncodeRecord(Mixed(4));
    CRecordReader reader(kAscii);
    std::vector<CComData> got;
    CComData out;
    for (char c : stream) {
        reader.Feed(std::string_view(&c, 1));
        while (reader.Next(out) == DecodeStatus::Complete)
            got.push_back(out);
    }
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(got[0], big);
    EXPECT_EQ(got[1], Mixed(4));
}

TEST(RecordReader, MalformedStreamStaysMalformedUntilReset) {
    CRecordReader reader(kAscii);
    reader.Feed(Bytes({0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x7F}));
    CComData out;
    EXPECT_EQ(reader.Next(out), DecodeStatus::Malformed);
    reader.Feed(EncodeRecord(Mixed(1)));
    EXPECT_EQ(reader.Next(out), DecodeStatus::Malformed);
    EXPECT_EQ(reader.Pending(), 0u);
    reader.Reset();
    reader.Feed(EncodeRecord(Mixed(1)));
    EXPECT_EQ(reader.Next(out), DecodeStatus::Complete);
    EXPECT_EQ(out, Mixed(1));
}

TEST(Codec, CommandNamesTable) {
    EXPECT_STREQ(CommandName(0), "");
    EXPECT_STREQ(CommandName(1), "COM_SIGN_IN");
    EXPECT_STREQ(CommandName(23), "COM_FILE_ADJUST");
    EXPECT_STREQ(CommandName(24), ""); // COM_PRIVATE_HISTORY has no entry
    EXPECT_STREQ(CommandName(-5), "");
}
