#include "win/app/InstanceSignal.h"

#include "win/app/InstanceGuard.h"
#include "win/base/Debug.h"

namespace dravel::win {

CInstanceSignal::~CInstanceSignal() {
    Stop(INFINITE);
}

bool CInstanceSignal::Start(const std::wstring& baseName, std::string_view commandLine) {
    if (m_bStarted)
        return false;
    m_bStarted = true;
    m_pCommandLine = std::make_unique<CSharedCommandLine>(baseName);

    // Auto-reset: one wake-up per signal, and a signal waits for the listener if it is busy.
    m_hHandOff.Reset(::CreateEventW(nullptr, FALSE, FALSE, (baseName + L"-Event").c_str()));
    const bool bExisted = ::GetLastError() == ERROR_ALREADY_EXISTS;
    if (m_hHandOff && bExisted) {
        m_pCommandLine->Write(commandLine);
        // The user started this launch, so this process may hand the foreground on.
        ::AllowSetForegroundWindow(ASFW_ANY);
        ::SetEvent(m_hHandOff.Get());
        m_hHandOff.Reset();
        return false;
    }
    if (!m_hHandOff) {
        // The name is taken by an object of another kind: run unguarded rather than not at all.
        DebugTrace(L"single instance: hand-off event unavailable");
        return true;
    }

    m_hStop.Reset(::CreateEventW(nullptr, FALSE, FALSE, nullptr));
    if (!m_hStop)
        return false;
    m_hListener.Reset(::CreateThread(nullptr, 0, &CInstanceSignal::ListenerProc, this, 0, &m_dwListenerId));
    if (!m_hListener) {
        m_dwListenerId = 0;
        DebugTrace(L"single instance: listener thread not started");
    }
    return true;
}

DWORD WINAPI CInstanceSignal::ListenerProc(void* pParam) {
    try {
        static_cast<CInstanceSignal*>(pParam)->Listen();
    } catch (...) {
        TraceCaughtException(L"single-instance listener");
    }
    return 0;
}

void CInstanceSignal::Listen() {
    // The stop event comes first, so that once teardown has asked, no further hand-off is handled.
    const HANDLE handles[2] = {m_hStop.Get(), m_hHandOff.Get()};
    for (;;) {
        const DWORD r = ::WaitForMultipleObjects(2, handles, FALSE, INFINITE);
        if (r != WAIT_OBJECT_0 + 1)
            break; // stop requested, or the wait itself failed (which would fail again at once)
        CInstanceGuard* pOwner = m_pOwner.load();
        if (!pOwner)
            continue;
        const std::string text = m_pCommandLine->Read();
        try {
            pOwner->OnSecondInstance(text);
        } catch (...) {
            TraceCaughtException(L"OnSecondInstance");
        }
    }
}

bool CInstanceSignal::Stop(DWORD timeoutMs) {
    m_pOwner.store(nullptr);
    if (m_hListener) {
        if (::GetCurrentThreadId() == m_dwListenerId)
            return false;
        ::SetEvent(m_hStop.Get());
        if (::WaitForSingleObject(m_hListener.Get(), timeoutMs) != WAIT_OBJECT_0)
            return false;
        m_hListener.Reset();
    }
    m_hHandOff.Reset();
    m_hStop.Reset();
    m_pCommandLine.reset();
    return true;
}

} // namespace dravel::win
