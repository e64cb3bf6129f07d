#include "win/app/InstanceGuard.h"

namespace dravel::win {

CInstanceGuard::CInstanceGuard() : m_pSignal(std::make_unique<CInstanceSignal>(this)) {}

CInstanceGuard::~CInstanceGuard() {
    Stop();
}

bool CInstanceGuard::Start(const std::wstring& baseName) {
    return Start(baseName, ::GetCommandLineA());
}

bool CInstanceGuard::Start(const std::wstring& baseName, std::string_view commandLine) {
    return m_pSignal && m_pSignal->Start(baseName, commandLine);
}

bool CInstanceGuard::Stop(DWORD timeoutMs) {
    if (!m_pSignal)
        return true;
    if (!m_pSignal->Stop(timeoutMs)) {
        // The listener still runs on this object: it is left to the process's end on purpose.
        static_cast<void>(m_pSignal.release());
        return false;
    }
    m_pSignal.reset();
    return true;
}

void CInstanceGuard::OnSecondInstance(const std::string&) {
    const HWND hwnd = MainWindowHandle();
    if (hwnd && ::IsWindow(hwnd))
        ::SetForegroundWindow(hwnd);
}

DWORD CInstanceGuard::ListenerThreadId() const {
    return m_pSignal ? m_pSignal->ListenerThreadId() : 0;
}

} // namespace dravel::win
