// The restart mutex between an old and a new process, played here by threads of one process.

#include "win/app/RestartLock.h"
#include "win/base/Handles.h"

#include <gtest/gtest.h>

#include <string>

using namespace dravel::win;

namespace {

constexpr wchar_t kMutexName[] = L"DRAVELON_RESTART-MUTEX";

// Another "old instance": a thread that owns the restart mutex for holdMs and then ends, which
// abandons the mutex just as the end of an old process's main thread does.
struct COwnerThread {
    DWORD holdMs;
    CKernelHandle hOwned{::CreateEventW(nullptr, TRUE, FALSE, nullptr)};
    CKernelHandle hThread;

    explicit COwnerThread(DWORD ms) : holdMs(ms) {
        hThread.Reset(::CreateThread(nullptr, 0, &COwnerThread::Run, this, 0, nullptr));
        ::WaitForSingleObject(hOwned.Get(), 5000);
    }
    ~COwnerThread() { ::WaitForSingleObject(hThread.Get(), 10000); }
    static DWORD WINAPI Run(void* p) {
        auto* self = static_cast<COwnerThread*>(p);
        HANDLE h = ::CreateMutexW(nullptr, TRUE, kMutexName);
        ::SetEvent(self->hOwned.Get());
        // These fixed times are the check: a waiter's time is measured against them.
        ::Sleep(self->holdMs);
        ::CloseHandle(h); // ownership ends only with the thread
        ::Sleep(100);
        return 0;
    }
};

bool MutexExists() {
    CKernelHandle h(::OpenMutexW(SYNCHRONIZE, FALSE, kMutexName));
    return static_cast<bool>(h);
}

// Whether a thread owns the mutex, asked from a thread of its own (an owner may take it again).
bool MutexOwned() {
    struct CProbe {
        static DWORD WINAPI Run(void*) {
            CKernelHandle h(::OpenMutexW(SYNCHRONIZE | MUTEX_MODIFY_STATE, FALSE, kMutexName));
            if (!h)
                return 0;
            const DWORD r = ::WaitForSingleObject(h.Get(), 0);
            if (r == WAIT_TIMEOUT)
                return 1;
            ::ReleaseMutex(h.Get());
            return 0;
        }
    };
    CKernelHandle thread(::CreateThread(nullptr, 0, &CProbe::Run, nullptr, 0, nullptr));
    DWORD code = 0;
    ::WaitForSingleObject(thread.Get(), 5000);
    ::GetExitCodeThread(thread.Get(), &code);
    return code == 1;
}

} // namespace

TEST(RestartLock, WaitWithoutARestartInProgressReturnsAtOnce) {
    ASSERT_FALSE(MutexExists());
    CRestartLock lock;
    const DWORD started = ::GetTickCount();
    lock.Wait();
    EXPECT_LT(::GetTickCount() - started, 1000u);
    EXPECT_FALSE(MutexExists());
}

TEST(RestartLock, WaitLastsUntilTheOwningThreadHasEnded) {
    const DWORD started = ::GetTickCount();
    COwnerThread old(400);
    CRestartLock lock;
    lock.Wait();
    EXPECT_GE(::GetTickCount() - started, 450u);
    EXPECT_EQ(::WaitForSingleObject(old.hThread.Get(), 0), WAIT_OBJECT_0);
}

// A request while another restart runs waits for its end and then fails, starting nothing.
TEST(RestartLock, RequestDuringAnotherRestartWaitsAndFails) {
    const DWORD started = ::GetTickCount();
    COwnerThread old(300);
    CRestartLock lock;
    EXPECT_FALSE(lock.Request(L"C:\\windows\\system32\\cmd.exe"));
    EXPECT_GE(::GetTickCount() - started, 300u);
    EXPECT_FALSE(MutexExists()) << "no handle kept";
    lock.EndOfStartup();
    EXPECT_FALSE(MutexExists()) << "nothing kept past start-up, as a started restart would";
}

TEST(RestartLock, PathTooLongIsRefusedWithoutTakingTheMutex) {
    CRestartLock lock;
    const std::wstring path = L"C:\\" + std::wstring(250, L'd') + L"\\DravelOn.exe";
    EXPECT_FALSE(lock.Request(path));
    EXPECT_FALSE(MutexOwned());
    EXPECT_FALSE(MutexExists());
}

// A start that fails keeps the mutex owned; every later request of the run fails at once, and the
// end of start-up gives the handle up.
TEST(RestartLock, FailedStartKeepsTheLockAndLaterRequestsFailAtOnce) {
    CRestartLock lock;
    EXPECT_FALSE(lock.Request(L"C:\\no such folder\\DravelOn.exe"));
    EXPECT_TRUE(MutexOwned());
    EXPECT_TRUE(MutexExists());

    CRestartLock again;
    const DWORD started = ::GetTickCount();
    EXPECT_FALSE(again.Request(L"C:\\no such folder\\DravelOn.exe"));
    EXPECT_LT(::GetTickCount() - started, 1000u);

    // Not started, so the end of start-up gives the handle up; the second lock kept none.
    lock.EndOfStartup();
    EXPECT_FALSE(MutexOwned());
    EXPECT_FALSE(MutexExists());
}

// The old instance's end of start-up must not delete the mutex: a new process that is slow to start
// opens it only afterwards and must still find it owned until the old main thread has ended.
TEST(RestartLock, StartedRestartKeepsTheMutexPastTheEndOfStartupUntilTheThreadEnds) {
    struct COldMainThread {
        CRestartLock lock;
        bool bStarted = false;
        bool bHeldAfterEnd = false;
        CKernelHandle hDone{::CreateEventW(nullptr, TRUE, FALSE, nullptr)};
        CKernelHandle hExit{::CreateEventW(nullptr, TRUE, FALSE, nullptr)};
        static DWORD WINAPI Run(void* p) {
            auto* self = static_cast<COldMainThread*>(p);
            self->bStarted = self->lock.Request(L"C:\\windows\\system32\\hostname.exe");
            self->lock.EndOfStartup();
            self->bHeldAfterEnd = MutexExists(); // no other handle on it is left
            ::SetEvent(self->hDone.Get());
            ::WaitForSingleObject(self->hExit.Get(), 10000);
            return 0;
        }
    } old;
    CKernelHandle thread(::CreateThread(nullptr, 0, &COldMainThread::Run, &old, 0, nullptr));
    ASSERT_TRUE(thread);
    ASSERT_EQ(::WaitForSingleObject(old.hDone.Get(), 10000), WAIT_OBJECT_0);
    EXPECT_TRUE(old.bStarted);
    EXPECT_TRUE(MutexOwned()) << "owned by the old main thread past its end of start-up";
    EXPECT_TRUE(old.bHeldAfterEnd);
    EXPECT_TRUE(MutexExists());

    struct CExitLater {
        HANDLE h;
        static DWORD WINAPI Run(void* p) {
            ::Sleep(400); // the time is the check: the successor waits at least this long
            ::SetEvent(static_cast<CExitLater*>(p)->h);
            return 0;
        }
    } exitLater{old.hExit.Get()};
    CKernelHandle releaser(::CreateThread(nullptr, 0, &CExitLater::Run, &exitLater, 0, nullptr));
    const DWORD started = ::GetTickCount();
    CRestartLock successor;
    successor.Wait();
    EXPECT_GE(::GetTickCount() - started, 350u);
    EXPECT_EQ(::WaitForSingleObject(thread.Get(), 5000), WAIT_OBJECT_0);
    ::WaitForSingleObject(releaser.Get(), 5000);
}
