#include "win/transfer/Win32TransferFile.h"

#include "win/base/Text.h"

#include <algorithm>
#include <memory>

namespace dravel::win {

bool CWin32TransferFile::Fail() {
    m_nLastError = ::GetLastError();
    return false;
}

bool CWin32TransferFile::OpenForReading() {
    // Others may go on reading and writing the file while it is sent.
    m_file.Reset(::CreateFileW(m_strPath.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                               OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    return m_file ? true : Fail();
}

bool CWin32TransferFile::CreateForWriting() {
    m_file.Reset(::CreateFileW(m_strPath.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                               FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    return m_file ? true : Fail();
}

std::optional<int64_t> CWin32TransferFile::Size() {
    LARGE_INTEGER size{};
    if (!m_file || !::GetFileSizeEx(m_file.Get(), &size)) {
        Fail();
        return std::nullopt;
    }
    return static_cast<int64_t>(size.QuadPart);
}

long CWin32TransferFile::Read(char* pData, size_t nSize) {
    DWORD nRead = 0;
    const DWORD nAsk = static_cast<DWORD>(std::min<size_t>(nSize, 1u << 30));
    if (!::ReadFile(m_file.Get(), pData, nAsk, &nRead, nullptr)) {
        Fail();
        return -1;
    }
    return static_cast<long>(nRead);
}

bool CWin32TransferFile::Write(const char* pData, size_t nSize) {
    while (nSize > 0) {
        DWORD nWritten = 0;
        const DWORD nAsk = static_cast<DWORD>(std::min<size_t>(nSize, 1u << 30));
        if (!::WriteFile(m_file.Get(), pData, nAsk, &nWritten, nullptr))
            return Fail();
        if (nWritten == 0) {
            m_nLastError = ERROR_DISK_FULL;
            return false;
        }
        pData += nWritten;
        nSize -= nWritten;
    }
    return true;
}

bool CWin32TransferFile::Close() {
    if (!m_file)
        return true;
    const HANDLE h = m_file.Detach();
    return ::CloseHandle(h) ? true : Fail();
}

bool CWin32TransferFile::Remove() {
    Close();
    return ::DeleteFileW(m_strPath.c_str()) ? true : Fail();
}

std::string CWin32TransferFile::Describe() const {
    return WideToCp949(m_strPath);
}

std::string CWin32TransferFile::LastErrorText() const {
    wchar_t* pText = nullptr;
    const DWORD n =
        ::FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                         nullptr, m_nLastError, 0, reinterpret_cast<wchar_t*>(&pText), 0, nullptr);
    // The system allocated the text; it goes back with LocalFree whatever happens below.
    const std::unique_ptr<wchar_t, decltype(&::LocalFree)> owned(pText, &::LocalFree);
    std::wstring text = n != 0 && pText != nullptr ? std::wstring(pText, n) : L"";
    while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r'))
        text.pop_back();
    return WideToCp949(text);
}

} // namespace dravel::win
