#pragma once

// The local file of a transfer, opened by its UTF-16 path.

#include "win/base/Handles.h"
#include "core/transfer/TransferInterfaces.h"

#include <string>

namespace dravel::win {

class CWin32TransferFile final : public TransferFile {
public:
    explicit CWin32TransferFile(std::wstring strPath) : m_strPath(std::move(strPath)) {}

    bool OpenForReading() override;
    bool CreateForWriting() override;
    std::optional<int64_t> Size() override;
    long Read(char* pData, size_t nSize) override;
    bool Write(const char* pData, size_t nSize) override;
    bool Close() override;
    bool Remove() override;
    std::string Describe() const override;
    int LastError() const override { return static_cast<int>(m_nLastError); }
    std::string LastErrorText() const override;

private:
    bool Fail();

    std::wstring m_strPath;
    CKernelHandle m_file;
    DWORD m_nLastError = 0;
};

} // namespace dravel::win
