#pragma once

// The messenger connection on Winsock: a TCP socket whose data-can-be-read notifications arrive as
// window messages on the GUI thread (a message-only window per connection), adapted to the portable
// connection logic, which does the encoding, the receive pass and the failure path.

#include "protocol/ClientConnection.h"

#include <winsock2.h>
#include <windows.h>

#include <string>

namespace dravel::win {

// The socket side: owns the socket and its notification window.
class CWinsockStream : public ByteStream {
public:
    CWinsockStream();
    ~CWinsockStream() override;
    CWinsockStream(const CWinsockStream&) = delete;
    CWinsockStream& operator=(const CWinsockStream&) = delete;

    bool WriteAll(const char* data, size_t size) override;
    ReadResult Read(char* buffer, size_t capacity) override;
    void Close() override;

protected:
    // Blocking connect with a time-out; on success the socket reports arrivals to OnReceive.
    bool ConnectStream(const std::string& host, int port, DWORD timeoutMs);
    virtual void OnReceive(int error) = 0;

private:
    static LRESULT CALLBACK NotifyProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    bool WaitWritable(DWORD timeoutMs);

    SOCKET m_socket = INVALID_SOCKET;
    HWND m_hNotify = nullptr;
};

// Turns UTF-16 texts from the wire into 949 with the system converter; shared by every connection.
const TextConverter& WireTextConverter();

class CClientSocket : public CWinsockStream, public CClientConnection {
public:
    // Time allowed for connecting; past it the caller's retry question appears.
    static constexpr DWORD kConnectTimeoutMs = 10000;
    // A send that cannot hand its bytes to the socket for this long counts as a write error.
    static constexpr DWORD kSendTimeoutMs = 30000;

    CClientSocket(ConnectionOwner& owner, std::string strId, std::string strPassword, std::string strFileHost);
    ~CClientSocket() override;

    // Connects to host:port; true on success.
    bool Connect(const std::string& host, int port);

private:
    void OnReceive(int error) override;
};

} // namespace dravel::win
