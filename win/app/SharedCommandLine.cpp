#include "win/app/SharedCommandLine.h"

#include "core/app/HandOffBuffer.h"

#include <cstring>
#include <span>

namespace dravel::win {

namespace {

// Accesses last microseconds; a holder that keeps the lock this long is stuck.
constexpr DWORD kLockTimeoutMs = 5000;

} // namespace

CSharedCommandLine::CSharedCommandLine(const std::wstring& baseName) {
    m_hLock.Reset(::CreateMutexW(nullptr, FALSE, (baseName + L"-Data-Mapping-Mutex").c_str()));
    m_hMapping.Reset(::CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                          static_cast<DWORD>(kHandOffBufferSize),
                                          (baseName + L"-Data-Mapping-File").c_str()));
    if (!m_hMapping)
        return;
    // A section made smaller by someone else cannot be mapped at our size: the buffer stays closed.
    m_pView.reset(static_cast<char*>(::MapViewOfFile(m_hMapping.Get(), FILE_MAP_WRITE, 0, 0, kHandOffBufferSize)));
    if (m_pView && Lock()) {
        std::memset(m_pView.get(), 0, kHandOffBufferSize);
        ::ReleaseMutex(m_hLock.Get());
    }
}

bool CSharedCommandLine::Lock() {
    if (!m_hLock)
        return false;
    const DWORD r = ::WaitForSingleObject(m_hLock.Get(), kLockTimeoutMs);
    return r == WAIT_OBJECT_0 || r == WAIT_ABANDONED;
}

bool CSharedCommandLine::Write(std::string_view text) {
    if (!m_pView || !Lock())
        return false;
    const bool bWritten =
        WriteHandOffText(std::span<char, kHandOffBufferSize>(m_pView.get(), kHandOffBufferSize), text);
    ::ReleaseMutex(m_hLock.Get());
    return bWritten;
}

std::string CSharedCommandLine::Read() {
    if (!m_pView || !Lock())
        return {};
    std::string text = ReadHandOffText(std::span<const char, kHandOffBufferSize>(m_pView.get(), kHandOffBufferSize));
    ::ReleaseMutex(m_hLock.Get());
    return text;
}

} // namespace dravel::win
