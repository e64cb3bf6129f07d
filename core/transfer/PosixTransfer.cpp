#if !defined(_WIN32)

#include "core/transfer/PosixTransfer.h"

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

namespace dravel {

namespace {

// Slices of the connection wait, so that Abort is noticed while connecting.
constexpr int kConnectSliceMs = 100;

} // namespace

CPosixTransferSocket::~CPosixTransferSocket() {
    Close();
}

bool CPosixTransferSocket::ConnectTo(const void* pAddress, unsigned nAddressLength, int nFamily) {
    const int fd = ::socket(nFamily, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, IPPROTO_TCP);
    if (fd < 0) {
        m_nLastError = errno;
        return false;
    }
    {
        std::lock_guard lock(m_mutex);
        m_fd = fd;
    }
    if (::connect(fd, static_cast<const sockaddr*>(pAddress), nAddressLength) != 0) {
        if (errno != EINPROGRESS) {
            m_nLastError = errno;
            Close();
            return false;
        }
        int nWaited = 0;
        for (;;) {
            if (m_bAborted || nWaited >= m_nConnectTimeoutMs) {
                m_nLastError = m_bAborted ? ECANCELED : ETIMEDOUT;
                Close();
                return false;
            }
            pollfd p{fd, POLLOUT, 0};
            const int rc = ::poll(&p, 1, kConnectSliceMs);
            if (rc > 0)
                break;
            if (rc < 0 && errno != EINTR) {
                m_nLastError = errno;
                Close();
                return false;
            }
            nWaited += kConnectSliceMs;
        }
        int nError = 0;
        socklen_t nLength = sizeof(nError);
        if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &nError, &nLength) != 0 || nError != 0) {
            m_nLastError = nError != 0 ? nError : errno;
            Close();
            return false;
        }
    }
    // Blocking from here on, with a limit on how long a send or receive may make no progress.
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    timeval tv{m_nIdleTimeoutMs / 1000, (m_nIdleTimeoutMs % 1000) * 1000};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof(tv));
    ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &tv, sizeof(tv));
    // An Abort that came while connecting found no connection to shut down.
    if (m_bAborted) {
        m_nLastError = ECANCELED;
        Close();
        return false;
    }
    return true;
}

bool CPosixTransferSocket::Connect(const std::string& strHost, uint16_t nPort) {
    Close();
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_NUMERICSERV;
    addrinfo* pFound = nullptr;
    const std::string strPort = std::to_string(nPort);
    const int rc = ::getaddrinfo(strHost.c_str(), strPort.c_str(), &hints, &pFound);
    if (rc != 0 || pFound == nullptr) {
        m_nLastError = rc == EAI_SYSTEM ? errno : EHOSTUNREACH;
        return false;
    }
    bool bConnected = false;
    for (const addrinfo* p = pFound; p != nullptr && !bConnected && !m_bAborted; p = p->ai_next)
        bConnected = ConnectTo(p->ai_addr, p->ai_addrlen, p->ai_family);
    ::freeaddrinfo(pFound);
    return bConnected;
}

long CPosixTransferSocket::Send(const char* pData, size_t nSize) {
    for (;;) {
        const ssize_t n = ::send(m_fd, pData, nSize, MSG_NOSIGNAL);
        if (n > 0)
            return static_cast<long>(n);
        if (n < 0 && errno == EINTR)
            continue;
        m_nLastError = n == 0 ? EPIPE : errno;
        return -1;
    }
}

long CPosixTransferSocket::Receive(char* pData, size_t nSize) {
    for (;;) {
        const ssize_t n = ::recv(m_fd, pData, nSize, 0);
        if (n >= 0)
            return static_cast<long>(n);
        if (errno == EINTR)
            continue;
        m_nLastError = errno;
        return -1;
    }
}

void CPosixTransferSocket::Close() {
    std::lock_guard lock(m_mutex);
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
}

void CPosixTransferSocket::Abort() {
    m_bAborted = true;
    std::lock_guard lock(m_mutex);
    if (m_fd >= 0)
        ::shutdown(m_fd, SHUT_RDWR);
}

bool CPosixTransferFile::OpenForReading() {
    Close();
    m_fd = ::open(m_strPath.c_str(), O_RDONLY | O_CLOEXEC);
    if (m_fd < 0) {
        m_nLastError = errno;
        return false;
    }
    struct stat st {};
    if (::fstat(m_fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        m_nLastError = S_ISDIR(st.st_mode) ? EISDIR : errno;
        Close();
        return false;
    }
    return true;
}

bool CPosixTransferFile::CreateForWriting() {
    Close();
    m_fd = ::open(m_strPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (m_fd < 0) {
        m_nLastError = errno;
        return false;
    }
    return true;
}

std::optional<int64_t> CPosixTransferFile::Size() {
    struct stat st {};
    if (m_fd < 0 || ::fstat(m_fd, &st) != 0) {
        m_nLastError = m_fd < 0 ? EBADF : errno;
        return std::nullopt;
    }
    return static_cast<int64_t>(st.st_size);
}

long CPosixTransferFile::Read(char* pData, size_t nSize) {
    for (;;) {
        const ssize_t n = ::read(m_fd, pData, nSize);
        if (n >= 0)
            return static_cast<long>(n);
        if (errno == EINTR)
            continue;
        m_nLastError = errno;
        return -1;
    }
}

bool CPosixTransferFile::Write(const char* pData, size_t nSize) {
    while (nSize > 0) {
        const ssize_t n = ::write(m_fd, pData, nSize);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            m_nLastError = n == 0 ? ENOSPC : errno;
            return false;
        }
        pData += n;
        nSize -= static_cast<size_t>(n);
    }
    return true;
}

bool CPosixTransferFile::Close() {
    if (m_fd < 0)
        return true;
    const int rc = ::close(m_fd);
    m_fd = -1;
    if (rc != 0) {
        m_nLastError = errno;
        return false;
    }
    return true;
}

bool CPosixTransferFile::Remove() {
    Close();
    if (::unlink(m_strPath.c_str()) != 0) {
        m_nLastError = errno;
        return false;
    }
    return true;
}

std::string CPosixTransferFile::LastErrorText() const {
    return std::strerror(m_nLastError);
}

} // namespace dravel

#endif
