#pragma once

// The transfer socket and file over POSIX calls, for the native build (tests, benchmarks, tools).
// The Windows program has its own pair in win/transfer.

#if !defined(_WIN32)

#include "core/transfer/TransferInterfaces.h"

#include <atomic>
#include <mutex>
#include <string>

namespace dravel {

class CPosixTransferSocket final : public TransferSocket {
public:
    // Time-outs in milliseconds: for the connection, and for a send or receive without progress.
    explicit CPosixTransferSocket(int nConnectTimeoutMs = 15000, int nIdleTimeoutMs = 120000) noexcept
        : m_nConnectTimeoutMs(nConnectTimeoutMs), m_nIdleTimeoutMs(nIdleTimeoutMs) {}
    ~CPosixTransferSocket() override;

    bool Connect(const std::string& strHost, uint16_t nPort) override;
    long Send(const char* pData, size_t nSize) override;
    long Receive(char* pData, size_t nSize) override;
    int LastError() const override { return m_nLastError; }
    void Close() override;
    void Abort() override;

private:
    bool ConnectTo(const void* pAddress, unsigned nAddressLength, int nFamily);

    int m_nConnectTimeoutMs;
    int m_nIdleTimeoutMs;
    std::mutex m_mutex; // guards m_fd against Abort from another thread
    int m_fd = -1;
    std::atomic<bool> m_bAborted{false};
    int m_nLastError = 0;
};

class CPosixTransferFile final : public TransferFile {
public:
    explicit CPosixTransferFile(std::string strPath) : m_strPath(std::move(strPath)) {}
    ~CPosixTransferFile() override { Close(); }

    bool OpenForReading() override;
    bool CreateForWriting() override;
    std::optional<int64_t> Size() override;
    long Read(char* pData, size_t nSize) override;
    bool Write(const char* pData, size_t nSize) override;
    bool Close() override;
    bool Remove() override;
    std::string Describe() const override { return m_strPath; }
    int LastError() const override { return m_nLastError; }
    std::string LastErrorText() const override;

private:
    std::string m_strPath;
    int m_fd = -1;
    int m_nLastError = 0;
};

} // namespace dravel

#endif
