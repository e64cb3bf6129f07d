#include "devserver/Transcript.h"

#include "devserver/Text.h"

#include <chrono>

namespace dravel::devserver {

namespace {

std::string Field(std::string_view key, std::string_view cp949) {
    return ",\"" + std::string(key) + "\":\"" + JsonEscape(Cp949ToUtf8(cp949)) + "\"";
}

std::string Number(std::string_view key, int64_t value) {
    return ",\"" + std::string(key) + "\":" + std::to_string(value);
}

} // namespace

CTranscript::~CTranscript() {
    if (m_pFile)
        std::fclose(m_pFile);
}

bool CTranscript::Open(const std::string& strPath) {
    m_pFile = std::fopen(strPath.c_str(), "a");
    return m_pFile != nullptr;
}

void CTranscript::Line(const std::string& body) {
    if (!m_pFile)
        return;
    auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::system_clock::now().time_since_epoch())
                  .count();
    std::string line = "{\"t\":" + std::to_string(ms) + body + "}\n";
    std::fwrite(line.data(), 1, line.size(), m_pFile);
    std::fflush(m_pFile);
}

// The password is left out: transcripts are read by tests and people, and kept with the build.
void CTranscript::Record(std::string_view direction, uint64_t session, std::string_view user, const CComData& r) {
    if (!m_pFile)
        return;
    std::string body = ",\"dir\":\"" + std::string(direction) + "\"" +
                       Number("session", static_cast<int64_t>(session)) + Field("user", user) +
                       Number("command", r.m_nCommand) + ",\"command_name\":\"" + CommandName(r.m_nCommand) + "\"" +
                       Field("id", r.m_strId) + Field("name", r.m_strName) + Field("target", r.m_strTarget) +
                       Number("status", r.m_nStatus) + Field("text", r.m_strText) + Field("host", r.m_strHost) +
                       Number("port", r.m_nPort) + Number("reserved", r.m_nReserved);
    Line(body);
}

void CTranscript::Event(std::string_view event, uint64_t session, std::string_view detail) {
    if (!m_pFile)
        return;
    Line(",\"event\":\"" + JsonEscape(event) + "\"" + Number("session", static_cast<int64_t>(session)) +
         ",\"detail\":\"" + JsonEscape(detail) + "\"");
}

} // namespace dravel::devserver
