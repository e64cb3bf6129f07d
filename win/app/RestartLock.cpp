#include "win/app/RestartLock.h"

#include "win/app/VersionInfo.h"
#include "win/base/Debug.h"
#include "win/base/Text.h"
#include "win/protocol/TlsClient.h"
#include "win/res/resource.h"
#include "core/app/Restart.h"

#include <optional>

namespace dravel::win {

namespace {

constexpr wchar_t kRestartMutexName[] = L"DRAVELON_RESTART-MUTEX";

// Opens or creates the mutex; bExisted tells whether another handle on it was there already. A mutex
// made by someone we may not fully access is opened for waiting only.
CKernelHandle OpenRestartMutex(BOOL bOwn, bool& bExisted) {
    CKernelHandle lock(::CreateMutexW(nullptr, bOwn, kRestartMutexName));
    const DWORD err = ::GetLastError();
    bExisted = !lock || err == ERROR_ALREADY_EXISTS;
    if (!lock && err == ERROR_ACCESS_DENIED)
        lock.Reset(::OpenMutexW(SYNCHRONIZE | MUTEX_MODIFY_STATE, FALSE, kRestartMutexName));
    return lock;
}

// Waits for ownership; a mutex abandoned by an ended thread counts as obtained.
bool Acquire(HANDLE h) {
    const DWORD r = ::WaitForSingleObject(h, INFINITE);
    return r == WAIT_OBJECT_0 || r == WAIT_ABANDONED;
}

} // namespace

bool CRestartLock::Request(const std::wstring& exePath) {
    // A path that cannot be restarted fails before the mutex is taken, so it blocks nothing.
    std::optional<std::wstring> line = BuildRestartCommandLine(exePath, EncryptedTransport());
    if (!line) {
        DebugTrace(L"restart: executable path too long for the restart command line");
        return false;
    }

    bool bExisted = false;
    CKernelHandle lock = OpenRestartMutex(TRUE, bExisted);
    if (bExisted) {
        // Another restart is in progress (or an earlier one of ours failed): wait for its end, then fail.
        if (lock && Acquire(lock.Get()))
            ::ReleaseMutex(lock.Get());
        return false;
    }
    m_hLock = std::move(lock);

    STARTUPINFOW si{};
    si.cb = sizeof(si);
    CProcessInformation process;
    if (!::CreateProcessW(nullptr, line->data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, process.Put()))
        return false; // the lock stays owned until this process ends
    m_bStarted = true;
    return true;
}

void CRestartLock::Wait() {
    bool bExisted = false;
    CKernelHandle lock = OpenRestartMutex(FALSE, bExisted);
    if (lock && bExisted && Acquire(lock.Get()))
        ::ReleaseMutex(lock.Get());
}

void CRestartLock::EndOfStartup() {
    if (!m_bStarted)
        m_hLock.Reset();
}

CRestartLock& ProcessRestartLock() {
    // Never destroyed: a handle it keeps is closed by the process's end, after everything else.
    static CRestartLock* const s_pLock = new CRestartLock;
    return *s_pLock;
}

bool RequestRestart() {
    return ProcessRestartLock().Request(ModulePath());
}

void ShowRestartFailed(HWND owner) {
    ::MessageBoxW(owner, LoadResString(IDS_APP_RESTART_FAILED).c_str(),
                  LoadResString(IDS_APP_RESTART_FAILED_CAPTION).c_str(), MB_OK | MB_ICONWARNING);
}

} // namespace dravel::win
