#pragma once

// The events and the listener thread behind CInstanceGuard. The first instance owns the named
// hand-off event and listens on it; a later launch writes its command line into the shared buffer,
// signals the event and ends.
//
// Both events stay signalled until the listener takes them, so neither a hand-off nor the stop
// request is lost while the listener is busy with an earlier hand-off.

#include "win/app/SharedCommandLine.h"
#include "win/base/Handles.h"

#include <atomic>
#include <memory>
#include <string>
#include <string_view>

namespace dravel::win {

class CInstanceGuard;

class CInstanceSignal {
public:
    explicit CInstanceSignal(CInstanceGuard* pOwner) : m_pOwner(pOwner) {}
    // Stops the listener (waiting as long as needed) before the shared objects go.
    virtual ~CInstanceSignal();

    CInstanceSignal(const CInstanceSignal&) = delete;
    CInstanceSignal& operator=(const CInstanceSignal&) = delete;

    // True when this process is the first instance; false when another one runs (commandLine has been
    // handed to it) or this signal was started before.
    bool Start(const std::wstring& baseName, std::string_view commandLine);

    // Ends the listener thread, then destroys the events and the shared buffer. False when the
    // listener did not end within timeoutMs (it is stuck inside the owner's handler); nothing is
    // destroyed then, and the caller must keep this object alive for the listener.
    bool Stop(DWORD timeoutMs);

    DWORD ListenerThreadId() const { return m_dwListenerId; }

private:
    static DWORD WINAPI ListenerProc(void* pParam);
    void Listen();

    CKernelHandle m_hHandOff;
    CKernelHandle m_hStop;
    std::unique_ptr<CSharedCommandLine> m_pCommandLine;
    std::atomic<CInstanceGuard*> m_pOwner;
    CKernelHandle m_hListener;
    DWORD m_dwListenerId = 0;
    bool m_bStarted = false;
};

} // namespace dravel::win
