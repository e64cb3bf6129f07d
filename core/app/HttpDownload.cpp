#include "core/app/HttpDownload.h"

#include <algorithm>
#include <cctype>

namespace dravel {

namespace {

std::string Lower(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

std::string_view Trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r'))
        s.remove_suffix(1);
    return s;
}

// Decimal or hexadecimal digits only, without overflow past `limit`.
bool ParseNumber(std::string_view s, int base, uint64_t limit, uint64_t& out) {
    if (s.empty())
        return false;
    uint64_t v = 0;
    for (char c : s) {
        int d;
        if (c >= '0' && c <= '9')
            d = c - '0';
        else if (base == 16 && c >= 'a' && c <= 'f')
            d = c - 'a' + 10;
        else if (base == 16 && c >= 'A' && c <= 'F')
            d = c - 'A' + 10;
        else
            return false;
        if (v > (limit - static_cast<uint64_t>(d)) / static_cast<uint64_t>(base))
            return false;
        v = v * static_cast<uint64_t>(base) + static_cast<uint64_t>(d);
    }
    out = v;
    return true;
}

} // namespace

bool ParseHostPort(std::string_view address, uint16_t nDefaultPort, HostPort& out) {
    std::string_view host = address;
    uint64_t port = nDefaultPort;
    size_t colon = address.rfind(':');
    if (colon != std::string_view::npos) {
        host = address.substr(0, colon);
        if (!ParseNumber(address.substr(colon + 1), 10, 65535, port) || port == 0)
            return false;
    }
    if (host.empty() || host.find_first_of(" \t\r\n/") != std::string_view::npos)
        return false;
    out.strHost = std::string(host);
    out.nPort = static_cast<uint16_t>(port);
    return true;
}

std::string BuildGetRequest(const HostPort& server, std::string_view path) {
    std::string req = "GET ";
    req.append(path).append(" HTTP/1.1\r\nHost: ").append(server.strHost);
    if (server.nPort != 80)
        req.append(":").append(std::to_string(server.nPort));
    req.append("\r\nUser-Agent: DravelOn\r\nCache-Control: no-cache\r\nPragma: no-cache\r\nConnection: close\r\n\r\n");
    return req;
}

void CHttpResponseParser::Fail(const char* why) {
    m_state = State::Failed;
    m_pszError = why;
    m_strPending.clear();
    m_strBody.clear();
}

void CHttpResponseParser::Feed(std::string_view bytes) {
    if (m_state == State::Done || m_state == State::Failed)
        return;
    m_strPending.append(bytes);
    if (m_state == State::Headers) {
        size_t end = m_strPending.find("\r\n\r\n");
        if (end == std::string::npos) {
            if (m_strPending.size() > kMaxHeaderSize)
                Fail("response header too long");
            return;
        }
        if (end > kMaxHeaderSize)
            return Fail("response header too long");
        std::string head = m_strPending.substr(0, end);
        m_strPending.erase(0, end + 4);
        ParseHeaders(head);
        if (m_state == State::Failed)
            return;
        m_state = State::Body;
    }
    if (m_state == State::Body)
        m_bChunked ? ConsumeChunks() : ConsumeBody();
}

void CHttpResponseParser::ParseHeaders(std::string_view head) {
    size_t lineEnd = head.find("\r\n");
    std::string_view status = head.substr(0, lineEnd);
    // "HTTP/1.x NNN reason"
    if (status.size() < 12 || status.substr(0, 7) != "HTTP/1." || status[8] != ' ')
        return Fail("not an HTTP response");
    uint64_t code = 0;
    if (!ParseNumber(status.substr(9, 3), 10, 999, code))
        return Fail("bad status code");
    m_nStatus = static_cast<int>(code);
    std::string_view rest = lineEnd == std::string_view::npos ? std::string_view() : head.substr(lineEnd + 2);
    while (!rest.empty()) {
        size_t end = rest.find("\r\n");
        std::string_view line = rest.substr(0, end);
        rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 2);
        size_t colon = line.find(':');
        if (colon == std::string_view::npos)
            continue;
        std::string name = Lower(Trim(line.substr(0, colon)));
        std::string_view value = Trim(line.substr(colon + 1));
        if (name == "content-length") {
            if (!ParseNumber(value, 10, UINT64_MAX, m_nContentLength))
                return Fail("bad Content-Length");
            m_bHasLength = true;
        } else if (name == "transfer-encoding") {
            m_bChunked = Lower(value).find("chunked") != std::string::npos;
        }
    }
    if (m_bHasLength && m_nContentLength > m_nMaxBody)
        Fail("download too large");
}

void CHttpResponseParser::ConsumeBody() {
    if (m_strBody.size() + m_strPending.size() > m_nMaxBody)
        return Fail("download too large");
    m_strBody.append(m_strPending);
    m_strPending.clear();
    if (m_bHasLength && m_strBody.size() >= m_nContentLength) {
        m_strBody.resize(static_cast<size_t>(m_nContentLength));
        m_state = State::Done;
    }
}

void CHttpResponseParser::ConsumeChunks() {
    for (;;) {
        if (m_bInChunk) {
            size_t take = static_cast<size_t>(std::min<uint64_t>(m_nChunkLeft, m_strPending.size()));
            if (m_strBody.size() + take > m_nMaxBody)
                return Fail("download too large");
            m_strBody.append(m_strPending, 0, take);
            m_strPending.erase(0, take);
            m_nChunkLeft -= take;
            if (m_nChunkLeft > 0)
                return;
            if (m_strPending.size() < 2)
                return;
            if (m_strPending.compare(0, 2, "\r\n") != 0)
                return Fail("bad chunk end");
            m_strPending.erase(0, 2);
            m_bInChunk = false;
        }
        size_t lineEnd = m_strPending.find("\r\n");
        if (lineEnd == std::string::npos) {
            if (m_strPending.size() > 1024)
                Fail("bad chunk header");
            return;
        }
        std::string_view line(m_strPending.data(), lineEnd);
        line = Trim(line.substr(0, line.find(';')));
        uint64_t size = 0;
        if (!ParseNumber(line, 16, m_nMaxBody, size))
            return Fail("bad chunk size");
        m_strPending.erase(0, lineEnd + 2);
        if (size == 0) {
            m_state = State::Done;  // trailers are of no interest
            return;
        }
        m_nChunkLeft = size;
        m_bInChunk = true;
    }
}

void CHttpResponseParser::FeedEnd() {
    if (m_state == State::Body && !m_bChunked && !m_bHasLength)
        m_state = State::Done;
    else if (m_state != State::Done)
        Fail("connection closed before the response was complete");
}

} // namespace dravel
