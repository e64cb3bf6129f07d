#include "core/protocol/Codec.h"

#include "core/protocol/TextConverter.h"

#include <cstring>

namespace dravel {

namespace {

void AppendU16(std::string& out, uint16_t value) {
    out.push_back(static_cast<char>(value & 0xFF));
    out.push_back(static_cast<char>(value >> 8));
}

void AppendU32(std::string& out, uint32_t value) {
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
}

// A cursor over bytes that may end before the record does.
class Cursor {
public:
    explicit Cursor(std::string_view data) : m_data(data) {}

    size_t Position() const { return m_nPos; }
    bool Has(size_t n) const { return m_data.size() - m_nPos >= n; }

    uint8_t U8() { return static_cast<uint8_t>(m_data[m_nPos++]); }
    uint16_t U16() {
        uint16_t v = static_cast<uint8_t>(m_data[m_nPos]) | (static_cast<uint8_t>(m_data[m_nPos + 1]) << 8);
        m_nPos += 2;
        return v;
    }
    uint32_t U32() {
        uint32_t v = 0;
        for (int i = 0; i < 4; ++i)
            v |= static_cast<uint32_t>(static_cast<uint8_t>(m_data[m_nPos + i])) << (8 * i);
        m_nPos += 4;
        return v;
    }
    std::string_view Take(size_t n) {
        std::string_view v = m_data.substr(m_nPos, n);
        m_nPos += n;
        return v;
    }

private:
    std::string_view m_data;
    size_t m_nPos = 0;
};

struct TextSpan {
    size_t offset = 0;  // of the payload, from the record start
    uint32_t length = 0; // in bytes
    bool utf16 = false;
};

enum class Step { Ok, NeedMore, Malformed };

// Reads one length prefix (the byte, 16-bit and 32-bit forms). Sets `utf16Marker` when the prefix is
// the FF FE FF marker of a UTF-16 text instead of a length.
Step ReadLength(Cursor& c, uint32_t& length, bool& utf16Marker) {
    utf16Marker = false;
    if (!c.Has(1))
        return Step::NeedMore;
    uint8_t b = c.U8();
    if (b < 0xFF) {
        length = b;
        return Step::Ok;
    }
    if (!c.Has(2))
        return Step::NeedMore;
    uint16_t w = c.U16();
    if (w == 0xFFFE) {
        utf16Marker = true;
        return Step::Ok;
    }
    if (w < 0xFFFF) {
        length = w;
        return Step::Ok;
    }
    if (!c.Has(4))
        return Step::NeedMore;
    length = c.U32();
    return Step::Ok;
}

Step ScanText(Cursor& c, TextSpan& span, const char*& error) {
    uint32_t length = 0;
    bool marker = false;
    Step s = ReadLength(c, length, marker);
    if (s != Step::Ok)
        return s;
    if (marker) {
        span.utf16 = true;
        s = ReadLength(c, length, marker);
        if (s != Step::Ok)
            return s;
        if (marker) {
            error = "malformed text length (repeated UTF-16 marker)";
            return Step::Malformed;
        }
        if (length > kMaxTextLength / 2) {
            error = "text length above the limit";
            return Step::Malformed;
        }
        length *= 2;
    } else if (length > kMaxTextLength) {
        error = "text length above the limit";
        return Step::Malformed;
    }
    span.offset = c.Position();
    span.length = length;
    if (!c.Has(length))
        return Step::NeedMore;
    c.Take(length);
    return Step::Ok;
}

Step ScanInt(Cursor& c, int32_t& value) {
    if (!c.Has(4))
        return Step::NeedMore;
    value = static_cast<int32_t>(c.U32());
    return Step::Ok;
}

// Assigns in place so a record object reused across reads keeps its buffers.
void AssignText(std::string& dst, std::string_view data, const TextSpan& span, const TextConverter& converter) {
    std::string_view bytes = data.substr(span.offset, span.length);
    if (!span.utf16) {
        dst.assign(bytes.data(), bytes.size());
        return;
    }
    std::u16string units(bytes.size() / 2, u'\0');
    for (size_t i = 0; i < units.size(); ++i)
        units[i] = static_cast<char16_t>(static_cast<uint8_t>(bytes[2 * i]) |
                                         (static_cast<uint8_t>(bytes[2 * i + 1]) << 8));
    dst = converter.Utf16ToLocal(units);
}

} // namespace

const char* const kCommandNames[kCommandNameCount] = {
    "",
    "COM_SIGN_IN",
    "COM_SIGN_OUT",
    "COM_MESSAGE_NOTE",
    "COM_CLOSE",
    "COM_ADD_CLIENT",
    "COM_REMOVE_CLIENT",
    "COM_PRIVATE_MESSAGE",
    "COM_LOGIN_MESSAGE",
    "COM_CHAT_LIST",
    "COM_CHAT_LIST_END",
    "COM_APPEND_FRIEND",
    "COM_DELETE_FRIEND",
    "COM_CONFIRM_MESSAGE",
    "COM_CONNECT_CHECK",
    "COM_MESSAGE_HISTORY",
    "COM_MESSAGE_HISEND",
    "COM_SIGN_TEST",
    "COM_CHATLIST_COLLECT",
    "COM_FILE_TRANSFER",
    "COM_FILE_ACCEPT",
    "COM_FILE_REJECT",
    "COM_FILE_RECEIVER",
    "COM_FILE_ADJUST",
};

const char* CommandName(int32_t nCommand) {
    return nCommand >= 0 && nCommand < kCommandNameCount ? kCommandNames[nCommand] : "";
}

std::string AsciiTextConverter::Utf16ToLocal(std::u16string_view units) const {
    std::string out;
    out.reserve(units.size());
    for (char16_t u : units)
        out.push_back(u < 0x80 ? static_cast<char>(u) : '?');
    return out;
}

void AppendText(std::string& out, std::string_view text) {
    const size_t n = text.size();
    if (n < 0xFF) {
        out.push_back(static_cast<char>(n));
    } else if (n < 0xFFFE) {
        out.push_back('\xFF');
        AppendU16(out, static_cast<uint16_t>(n));
    } else {
        out.append("\xFF\xFF\xFF", 3);
        AppendU32(out, static_cast<uint32_t>(n));
    }
    out.append(text);
}

void AppendInt32(std::string& out, int32_t value) { AppendU32(out, static_cast<uint32_t>(value)); }

void EncodeRecord(std::string& out, const CComData& r) {
    AppendText(out, r.m_strId);
    AppendText(out, r.m_strPassword);
    AppendText(out, r.m_strName);
    AppendText(out, r.m_strTarget);
    AppendInt32(out, r.m_nStatus);
    AppendText(out, r.m_strText);
    AppendInt32(out, r.m_nCommand);
    AppendText(out, r.m_strHost);
    AppendInt32(out, r.m_nPort);
    AppendInt32(out, r.m_nReserved);
}

std::string EncodeRecord(const CComData& record) {
    std::string out;
    out.reserve(kMinRecordSize + record.m_strId.size() + record.m_strPassword.size() + record.m_strName.size() +
                record.m_strTarget.size() + record.m_strText.size() + record.m_strHost.size());
    EncodeRecord(out, record);
    return out;
}

DecodeResult DecodeRecord(std::string_view data, CComData& out, const TextConverter& converter) {
    DecodeResult result;
    Cursor c(data);
    TextSpan texts[6];
    int32_t numbers[4] = {};
    // Wire order: text x4, number, text, number, text, number, number.
    static constexpr bool kIsText[10] = {true, true, true, true, false, true, false, true, false, false};
    int nText = 0, nNumber = 0;
    for (bool isText : kIsText) {
        Step s = isText ? ScanText(c, texts[nText++], result.error) : ScanInt(c, numbers[nNumber++]);
        if (s == Step::NeedMore) {
            result.status = DecodeStatus::NeedMore;
            return result;
        }
        if (s == Step::Malformed) {
            result.status = DecodeStatus::Malformed;
            return result;
        }
    }
    AssignText(out.m_strId, data, texts[0], converter);
    AssignText(out.m_strPassword, data, texts[1], converter);
    AssignText(out.m_strName, data, texts[2], converter);
    AssignText(out.m_strTarget, data, texts[3], converter);
    out.m_nStatus = numbers[0];
    AssignText(out.m_strText, data, texts[4], converter);
    out.m_nCommand = numbers[1];
    AssignText(out.m_strHost, data, texts[5], converter);
    out.m_nPort = numbers[2];
    out.m_nReserved = numbers[3];
    result.status = DecodeStatus::Complete;
    result.consumed = c.Position();
    return result;
}

void CRecordReader::Feed(std::string_view bytes) {
    if (m_bMalformed || bytes.empty())
        return;
    // Drop what was handed out before growing, so the buffer holds at most one partial record plus
    // the newest bytes.
    if (m_nOffset > 0 && (m_nOffset == m_strBuffer.size() || m_nOffset >= 64 * 1024)) {
        m_strBuffer.erase(0, m_nOffset);
        m_nOffset = 0;
    }
    m_strBuffer.append(bytes);
}

DecodeStatus CRecordReader::Next(CComData& out) {
    if (m_bMalformed)
        return DecodeStatus::Malformed;
    DecodeResult r = DecodeRecord(std::string_view(m_strBuffer).substr(m_nOffset), out, m_converter);
    if (r.status == DecodeStatus::Complete) {
        m_nOffset += r.consumed;
        if (m_nOffset == m_strBuffer.size()) {
            m_strBuffer.clear();
            m_nOffset = 0;
        }
    } else if (r.status == DecodeStatus::Malformed) {
        m_bMalformed = true;
        m_pszError = r.error;
        m_strBuffer.clear();
        m_strBuffer.shrink_to_fit();
        m_nOffset = 0;
    }
    return r.status;
}

void CRecordReader::Reset() {
    m_strBuffer.clear();
    m_nOffset = 0;
    m_bMalformed = false;
    m_pszError = "";
}

} // namespace dravel
