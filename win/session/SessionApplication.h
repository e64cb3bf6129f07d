#pragma once

// What the application gives the session it starts: its settings, and the few things only the
// application can do.

#include <windows.h>

#include <string>

namespace dravel::win {

// What the session asks of the application that started it.
class SessionApplication {
public:
    virtual ~SessionApplication() = default;
    // The main window exists now (its handle) or no longer (null): a later launch's request goes to
    // it, and a window that initialised does not run again.
    virtual void SetMainWindow(HWND hwnd) = 0;
    // Starts the new process with "--Restart"; false if it could not be started.
    virtual bool RequestRestart() = 0;
    // The message when a restart could not be made.
    virtual void ShowRestartFailed(HWND owner) = 0;
};

// What the session starts from, given by the application.
struct SessionSettings {
    // The messenger server's host (949).
    std::string strServerHost;
    // The program's own FileVersion text (949), sent with the sign-in and shown in the About box.
    std::string strVersion;
    // The running program's full path: the start log is kept beside it.
    std::wstring strProgramPath;
};

} // namespace dravel::win
