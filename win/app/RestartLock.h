#pragma once

// Self-restart. The old process owns the named mutex "DRAVELON_RESTART-MUTEX" from its restart
// request until its main thread ends; the new process, started with "--Restart", waits for that
// mutex before anything else, so it never meets the old instance's single-instance guard.

#include "win/base/Handles.h"

#include <string>

namespace dravel::win {

class CRestartLock {
public:
    CRestartLock() = default;
    CRestartLock(const CRestartLock&) = delete;
    CRestartLock& operator=(const CRestartLock&) = delete;

    // Starts exePath again with " --Restart" and keeps the mutex owned by the calling thread. False
    // when another restart is in progress (after waiting for it to end), the path does not fit the
    // restart command line, or the process could not be started. Call it on the main thread.
    bool Request(const std::wstring& exePath);
    // In a process started with "--Restart": returns once the old instance's main thread has ended,
    // at once when no restart is in progress.
    void Wait();
    // End of start-up. A handle that carries a started restart is kept until the process ends:
    // closing it would delete the mutex before a slow new process has opened it, and the new process
    // would then run while the old one is still ending.
    void EndOfStartup();

private:
    CKernelHandle m_hLock;
    bool m_bStarted = false;
};

// The process's one restart lock; it lives until the process ends.
CRestartLock& ProcessRestartLock();

// The restart the main window asks for: this executable, with the process's lock.
bool RequestRestart();
// The caller's message when a restart could not be made.
void ShowRestartFailed(HWND owner);

} // namespace dravel::win
