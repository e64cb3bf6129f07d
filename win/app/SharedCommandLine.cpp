#include "win/app/SharedCommandLine.h"

#include "core/app/HandOffBuffer.h"

#include <sddl.h>

#include <cstring>
#include <span>
#include <vector>

namespace dravel::win {

namespace {

// Accesses last microseconds; a holder that keeps the lock this long is stuck.
constexpr DWORD kLockTimeoutMs = 5000;

// "D:P(A;;GA;;;<the user's SID>)": only the user who runs the program may open the objects, whatever
// the session's default would allow others. Empty when the user's SID cannot be told.
std::wstring UserOnlyDescriptor() {
    HANDLE token = nullptr;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &token))
        return {};
    const CKernelHandle held(token);
    DWORD size = 0;
    ::GetTokenInformation(token, TokenUser, nullptr, 0, &size);
    if (size == 0)
        return {};
    std::vector<BYTE> buffer(size);
    if (!::GetTokenInformation(token, TokenUser, buffer.data(), size, &size))
        return {};
    LPWSTR sid = nullptr;
    if (!::ConvertSidToStringSidW(reinterpret_cast<const TOKEN_USER*>(buffer.data())->User.Sid, &sid))
        return {};
    std::wstring descriptor = L"D:P(A;;GA;;;" + std::wstring(sid) + L")";
    ::LocalFree(sid);
    return descriptor;
}

// Security attributes that give the user alone access; null ones (the default) when none can be made.
class CUserOnlyAttributes {
public:
    CUserOnlyAttributes() {
        const std::wstring descriptor = UserOnlyDescriptor();
        if (!descriptor.empty() && ::ConvertStringSecurityDescriptorToSecurityDescriptorW(
                                       descriptor.c_str(), SDDL_REVISION_1, &m_pDescriptor, nullptr)) {
            m_attributes.nLength = sizeof(m_attributes);
            m_attributes.lpSecurityDescriptor = m_pDescriptor;
        }
    }
    ~CUserOnlyAttributes() { ::LocalFree(m_pDescriptor); }
    CUserOnlyAttributes(const CUserOnlyAttributes&) = delete;
    CUserOnlyAttributes& operator=(const CUserOnlyAttributes&) = delete;

    SECURITY_ATTRIBUTES* Get() { return m_pDescriptor != nullptr ? &m_attributes : nullptr; }

private:
    PSECURITY_DESCRIPTOR m_pDescriptor = nullptr;
    SECURITY_ATTRIBUTES m_attributes{};
};

} // namespace

CSharedCommandLine::CSharedCommandLine(const std::wstring& baseName) {
    CUserOnlyAttributes userOnly;
    m_hLock.Reset(::CreateMutexW(userOnly.Get(), FALSE, (baseName + L"-Data-Mapping-Mutex").c_str()));
    m_hMapping.Reset(::CreateFileMappingW(INVALID_HANDLE_VALUE, userOnly.Get(), PAGE_READWRITE, 0,
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
    // Read once: the command line (it may name a user) does not stay for whoever looks next.
    std::memset(m_pView.get(), 0, kHandOffBufferSize);
    ::ReleaseMutex(m_hLock.Get());
    return text;
}

} // namespace dravel::win
