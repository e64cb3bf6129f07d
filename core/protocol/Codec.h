#pragma once

#include "core/protocol/ComData.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace dravel {

class TextConverter;

// Longest text accepted from the wire, in bytes (UTF-16 texts: in bytes of their units). A longer
// length prefix is a malformed record; nothing of that size is ever allocated.
inline constexpr uint32_t kMaxTextLength = 16u * 1024u * 1024u;

// Smallest record: four empty texts, a number, an empty text, a number, an empty text, two numbers.
inline constexpr size_t kMinRecordSize = 22;

void AppendText(std::string& out, std::string_view text);
void AppendInt32(std::string& out, int32_t value);
void EncodeRecord(std::string& out, const CComData& record);
std::string EncodeRecord(const CComData& record);

enum class DecodeStatus { Complete, NeedMore, Malformed };

struct DecodeResult {
    DecodeStatus status = DecodeStatus::NeedMore;
    size_t consumed = 0;     // bytes of the record when Complete
    const char* error = "";  // reason when Malformed
};

// Decodes one record from the front of `data`. Nothing is written to `out` unless the whole record
// is present, so a caller may retry with more bytes at no cost. UTF-16 texts go through `converter`.
DecodeResult DecodeRecord(std::string_view data, CComData& out, const TextConverter& converter);

// Collects bytes as they arrive from the stream and hands out whole records in arrival order.
// Bytes of an incomplete record stay until the rest arrives, however the stream was split.
class CRecordReader {
public:
    explicit CRecordReader(const TextConverter& converter) : m_converter(converter) {}

    void Feed(std::string_view bytes);
    // Complete: `out` holds the next record. NeedMore: wait for bytes. Malformed: the stream cannot
    // be followed any more; the reader stays in that state until Reset.
    DecodeStatus Next(CComData& out);

    const char* Error() const { return m_pszError; }
    size_t Pending() const { return m_strBuffer.size() - m_nOffset; }
    void Reset();

private:
    const TextConverter& m_converter;
    std::string m_strBuffer;
    size_t m_nOffset = 0;
    bool m_bMalformed = false;
    const char* m_pszError = "";
};

} // namespace dravel
