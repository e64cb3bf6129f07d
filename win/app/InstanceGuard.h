#pragma once

// One instance per desktop log-on. The application embeds a guard and starts it first thing; a
// later launch hands its command line to the first instance and ends, and the first instance's
// listener thread calls OnSecondInstance for it.

#include "win/app/InstanceSignal.h"

#include <windows.h>

#include <memory>
#include <string>
#include <string_view>

namespace dravel::win {

class CInstanceGuard {
public:
    // How long teardown waits for a listener that is inside OnSecondInstance.
    static constexpr DWORD kStopTimeoutMs = 5000;

    CInstanceGuard();
    virtual ~CInstanceGuard();

    CInstanceGuard(const CInstanceGuard&) = delete;
    CInstanceGuard& operator=(const CInstanceGuard&) = delete;

    // True when this process is the first instance (the listener now runs); false when another
    // instance runs and has been handed this process's command line, or the guard is stopped.
    bool Start(const std::wstring& baseName);
    // The same with the text to hand over given.
    bool Start(const std::wstring& baseName, std::string_view commandLine);

    // Ends the listener and releases the named objects. A class that overrides OnSecondInstance must
    // call this from its own destructor, before the members the override uses are gone. Returns false
    // when the listener did not end in time; its objects are then left to the process's end.
    bool Stop(DWORD timeoutMs = kStopTimeoutMs);

    // Called on the listener thread for every later launch. Brings the main window to the foreground.
    virtual void OnSecondInstance(const std::string& commandLine);

    DWORD ListenerThreadId() const;

protected:
    // The application's main window, or null when there is none; read on the listener thread.
    virtual HWND MainWindowHandle() const { return nullptr; }

private:
    std::unique_ptr<CInstanceSignal> m_pSignal;
};

} // namespace dravel::win
