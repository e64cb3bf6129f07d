// The hand-off from a later launch to the first one and the listener's teardown. Each "launch" here is a
// second guard in the same process: the named objects behave the same.

#include "win/app/InstanceGuard.h"
#include "win/base/Handles.h"

#include "support/Names.h"
#include "support/Wait.h"

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <string>
#include <vector>

using namespace dravel::win;
using namespace dravel::win::test;

namespace {

CKernelHandle ManualEvent() {
    return CKernelHandle(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
}

// A guard whose handler records each call and can be held busy until released.
class CRecordingGuard : public CInstanceGuard {
public:
    CKernelHandle hEntered = ManualEvent();
    CKernelHandle hRelease = ManualEvent();
    std::atomic<bool> bHold{false};
    std::atomic<int> nCalls{0};
    std::atomic<DWORD> dwCallThread{0};
    std::mutex lock;
    std::vector<std::string> texts;

    ~CRecordingGuard() override { Stop(); }

    void OnSecondInstance(const std::string& commandLine) override {
        {
            std::lock_guard<std::mutex> g(lock);
            texts.push_back(commandLine);
        }
        dwCallThread = ::GetCurrentThreadId();
        ++nCalls;
        ::SetEvent(hEntered.Get());
        if (bHold)
            ::WaitForSingleObject(hRelease.Get(), 30000);
    }

    bool WaitCalls(int n) {
        return WaitUntil([&] { return nCalls >= n; });
    }
    std::string LastText() {
        std::lock_guard<std::mutex> g(lock);
        return texts.empty() ? std::string() : texts.back();
    }
};

bool ThreadEnded(DWORD id) {
    CKernelHandle thread(::OpenThread(SYNCHRONIZE, FALSE, id));
    return !thread || ::WaitForSingleObject(thread.Get(), 0) == WAIT_OBJECT_0;
}

} // namespace

TEST(InstanceGuard, SecondStartHandsItsCommandLineToTheFirst) {
    const std::wstring name = UniqueName("handoff");
    CRecordingGuard first;
    ASSERT_TRUE(first.Start(name, "first.exe"));
    ASSERT_NE(first.ListenerThreadId(), 0u);

    CInstanceGuard later;
    EXPECT_FALSE(later.Start(name, "\"C:\\DravelOn\\DravelOn.exe\" /ID:kim /PW:pw"));
    ASSERT_TRUE(first.WaitCalls(1));
    EXPECT_EQ(first.LastText(), "\"C:\\DravelOn\\DravelOn.exe\" /ID:kim /PW:pw");
    EXPECT_EQ(first.dwCallThread.load(), first.ListenerThreadId());

    // Too long for the buffer: not written, but the first instance still wakes.
    CInstanceGuard longer;
    EXPECT_FALSE(longer.Start(name, std::string(300, 'x')));
    ASSERT_TRUE(first.WaitCalls(2));
    EXPECT_EQ(first.LastText(), "");
}

TEST(InstanceGuard, AStartedGuardDoesNotStartTwice) {
    const std::wstring name = UniqueName("twice");
    CInstanceGuard guard;
    EXPECT_TRUE(guard.Start(name, "a"));
    EXPECT_FALSE(guard.Start(name, "a"));
    EXPECT_FALSE(guard.Start(UniqueName("other"), "a"));
}

// A launch that arrives while the listener handles the previous one is not lost.
TEST(InstanceGuard, HandOffDuringABusyListenerIsDeliveredAfterwards) {
    const std::wstring name = UniqueName("busy");
    CRecordingGuard first;
    first.bHold = true;
    ASSERT_TRUE(first.Start(name, "first.exe"));

    CInstanceGuard launch2;
    EXPECT_FALSE(launch2.Start(name, "launch 2"));
    ASSERT_EQ(::WaitForSingleObject(first.hEntered.Get(), 5000), WAIT_OBJECT_0);

    CInstanceGuard launch3;
    EXPECT_FALSE(launch3.Start(name, "launch 3"));
    ::Sleep(100); // the wait is the check: nothing more reaches the busy handler within it
    EXPECT_EQ(first.nCalls.load(), 1);

    first.bHold = false;
    ::SetEvent(first.hRelease.Get());
    ASSERT_TRUE(first.WaitCalls(2));
    EXPECT_EQ(first.LastText(), "launch 3");
}

TEST(InstanceGuard, AfterTheFirstInstanceStopsTheNextStartIsFirst) {
    const std::wstring name = UniqueName("after");
    {
        CInstanceGuard first;
        ASSERT_TRUE(first.Start(name, "a"));
    }
    CRecordingGuard next;
    EXPECT_TRUE(next.Start(name, "b"));
    CInstanceGuard later;
    EXPECT_FALSE(later.Start(name, "c"));
    EXPECT_TRUE(next.WaitCalls(1));
}

// Teardown while the listener is inside the handler: the stop request waits for it instead of being
// lost, the listener ends before the shared objects go, and nothing hangs.
TEST(InstanceGuard, TeardownUnderABusyListenerEndsTheListenerFirstAndFinishes) {
    const std::wstring name = UniqueName("teardown");
    auto* pFirst = new CRecordingGuard;
    pFirst->bHold = true;
    ASSERT_TRUE(pFirst->Start(name, "first.exe"));
    const DWORD listener = pFirst->ListenerThreadId();

    CInstanceGuard later;
    EXPECT_FALSE(later.Start(name, "later"));
    ASSERT_EQ(::WaitForSingleObject(pFirst->hEntered.Get(), 5000), WAIT_OBJECT_0);

    // Release the handler a little after teardown has begun; the pulse of old was lost right here.
    struct Release {
        HANDLE h;
        static DWORD WINAPI Run(void* p) {
            ::Sleep(300); // the time is the check: teardown is measured to wait for it
            ::SetEvent(static_cast<Release*>(p)->h);
            return 0;
        }
    } release{pFirst->hRelease.Get()};
    CKernelHandle releaser(::CreateThread(nullptr, 0, &Release::Run, &release, 0, nullptr));
    ASSERT_TRUE(releaser);

    struct Teardown {
        CRecordingGuard* p;
        bool bStopped = false;
        static DWORD WINAPI Run(void* arg) {
            auto* t = static_cast<Teardown*>(arg);
            t->bStopped = t->p->Stop();
            return 0;
        }
    } teardown{pFirst};
    const DWORD started = ::GetTickCount();
    CKernelHandle tearing(::CreateThread(nullptr, 0, &Teardown::Run, &teardown, 0, nullptr));
    ASSERT_TRUE(tearing);
    ASSERT_EQ(::WaitForSingleObject(tearing.Get(), 10000), WAIT_OBJECT_0) << "teardown hangs";
    EXPECT_TRUE(teardown.bStopped);
    EXPECT_GE(::GetTickCount() - started, 200u);
    EXPECT_TRUE(ThreadEnded(listener));
    EXPECT_EQ(pFirst->nCalls.load(), 1);
    ::WaitForSingleObject(releaser.Get(), 5000);
    delete pFirst;

    // The named objects are gone with it.
    CInstanceGuard next;
    EXPECT_TRUE(next.Start(name, "next"));
}

// A handler that never returns cannot hold the process's end: teardown gives up after its time-out
// and leaves the listener's objects alive for it.
TEST(InstanceGuard, TeardownGivesUpOnAStuckListenerWithoutFreeingWhatItUses) {
    const std::wstring name = UniqueName("stuck");
    CRecordingGuard first;
    first.bHold = true;
    ASSERT_TRUE(first.Start(name, "first.exe"));
    const DWORD listener = first.ListenerThreadId();
    CInstanceGuard later;
    EXPECT_FALSE(later.Start(name, "later"));
    ASSERT_EQ(::WaitForSingleObject(first.hEntered.Get(), 5000), WAIT_OBJECT_0);

    const DWORD started = ::GetTickCount();
    EXPECT_FALSE(first.Stop(200));
    EXPECT_LT(::GetTickCount() - started, 3000u);
    EXPECT_EQ(first.ListenerThreadId(), 0u);

    // Let the handler return: the listener leaves on the stop request it finds waiting.
    ::SetEvent(first.hRelease.Get());
    CKernelHandle thread(::OpenThread(SYNCHRONIZE, FALSE, listener));
    if (thread) {
        EXPECT_EQ(::WaitForSingleObject(thread.Get(), 5000), WAIT_OBJECT_0);
    }
    EXPECT_EQ(first.nCalls.load(), 1);
}
