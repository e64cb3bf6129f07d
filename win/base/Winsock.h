#pragma once

// The socket layer for the life of the owner: WSAStartup 2.2 in the constructor, WSACleanup in the
// destructor if the start-up succeeded.

// winsock2.h first: windows.h without WIN32_LEAN_AND_MEAN would pull in the old winsock.h.
#include <winsock2.h>

#include <windows.h>

namespace dravel::win {

class CWinsockInit {
public:
    CWinsockInit() noexcept {
        m_nError = ::WSAStartup(MAKEWORD(2, 2), &m_data);
        if (m_nError == 0 && m_data.wVersion != MAKEWORD(2, 2)) {
            // A layer that cannot speak 2.2 is of no use to the program.
            ::WSACleanup();
            m_nError = WSAVERNOTSUPPORTED;
        }
    }
    ~CWinsockInit() {
        if (m_nError == 0)
            ::WSACleanup();
    }
    CWinsockInit(const CWinsockInit&) = delete;
    CWinsockInit& operator=(const CWinsockInit&) = delete;

    bool Ok() const noexcept { return m_nError == 0; }
    // 0, or the WSAStartup error (WSAVERNOTSUPPORTED if 2.2 is missing).
    int Error() const noexcept { return m_nError; }

private:
    WSADATA m_data{};
    int m_nError = 0;
};

} // namespace dravel::win
