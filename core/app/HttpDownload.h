#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace dravel {

inline constexpr char kUpdatePath[] = "/Update/TamixUpdate.exe";
inline constexpr char kUpdaterFileName[] = "TamixUpdate.exe";
// No updater is anywhere near this; a larger answer is refused rather than held in memory.
inline constexpr size_t kMaxDownloadSize = 64u * 1024u * 1024u;
inline constexpr size_t kMaxHeaderSize = 16u * 1024u;

struct HostPort {
    std::string strHost;
    uint16_t nPort = 80;
};

// "host" or "host:port"; false for an empty host or a port that is not 1..65535.
bool ParseHostPort(std::string_view address, uint16_t nDefaultPort, HostPort& out);

std::string BuildGetRequest(const HostPort& server, std::string_view path);

// Reads an HTTP/1.x response as it arrives: status line, headers, then a body delimited by
// Content-Length, chunked encoding or the end of the connection.
class CHttpResponseParser {
public:
    enum class State { Headers, Body, Done, Failed };

    explicit CHttpResponseParser(size_t nMaxBody = kMaxDownloadSize) : m_nMaxBody(nMaxBody) {}

    void Feed(std::string_view bytes);
    // The server closed the connection.
    void FeedEnd();

    State GetState() const { return m_state; }
    // Done with status 200.
    bool Succeeded() const { return m_state == State::Done && m_nStatus == 200; }
    const std::string& Body() const { return m_strBody; }
    const char* Error() const { return m_pszError; }

private:
    void Fail(const char* why);
    void ParseHeaders(std::string_view head);
    void ConsumeBody();
    void ConsumeChunks();

    size_t m_nMaxBody;
    State m_state = State::Headers;
    std::string m_strPending; // bytes not yet consumed
    std::string m_strBody;
    int m_nStatus = 0;
    bool m_bChunked = false;
    bool m_bHasLength = false;
    uint64_t m_nContentLength = 0;
    uint64_t m_nChunkLeft = 0; // bytes left in the current chunk
    bool m_bInChunk = false;
    const char* m_pszError = "";
};

} // namespace dravel
