#pragma once

#include "core/protocol/ComData.h"

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

namespace dravel::devserver {

// One JSON object per line for every record in and out (all its fields but the password) and for
// connection events; texts as UTF-8. Written and flushed line by line, so a test may read it while the
// server runs.
class CTranscript {
public:
    CTranscript() = default;
    ~CTranscript();
    CTranscript(const CTranscript&) = delete;
    CTranscript& operator=(const CTranscript&) = delete;

    bool Open(const std::string& strPath);
    bool IsOpen() const { return m_pFile != nullptr; }

    // `direction` is "in" or "out".
    void Record(std::string_view direction, uint64_t session, std::string_view user, const CComData& record);
    void Event(std::string_view event, uint64_t session, std::string_view detail);

private:
    void Line(const std::string& body);
    std::FILE* m_pFile = nullptr;
};

} // namespace dravel::devserver
