#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace dravel {

// The version field holds at most 50 characters and its end mark.
inline constexpr size_t kVersionMaxChars = 50;

// Cuts a version text read from a version resource to what the version field holds.
std::string BoundVersion(std::string_view version);

// The updater is launched whenever its version text differs from ours in any byte, letter case
// included; an empty text on either side counts as different.
bool ShouldLaunchUpdater(std::string_view ownVersion, std::string_view downloadedVersion);

// The start-up steps, each done by the application; a step returning false ends the process.
class StartupSteps {
public:
    virtual ~StartupSteps() = default;
    virtual void WaitForRestartHandOver() = 0;
    // False when another instance runs and has taken this launch's command line.
    virtual bool StartSingleInstanceGuard() = 0;
    virtual bool InitSocketEngine() = 0;
    virtual bool InitBrowserHosting() = 0;
    virtual bool CheckInstallation() = 0;
    virtual void ReadCommandLineCredentials() = 0;
    virtual void ReadOwnVersion() = 0;
    // True when the updater was launched and this process must end.
    virtual bool HandOverToUpdater() = 0;
    virtual void RunMainWindow() = 0;
    virtual void ReleaseRestartMutex() = 0;
};

enum class StartupEnd { MainWindowEnded, AnotherInstance, SocketEngineFailed, BrowserHostingFailed, NotInstalled, Updating };

// Runs the steps in their fixed order and tells how start-up ended.
StartupEnd RunStartup(StartupSteps& steps, std::wstring_view fullCommandLine);

// The main window's side of step 9.
class MainWindowRunner {
public:
    virtual ~MainWindowRunner() = default;
    virtual bool RunFlag() const = 0;
    virtual void CopyCredentials() = 0;
    // Runs the main window modally; false when the window could not be created at all.
    virtual bool RunModal() = 0;
};

// Runs the main window while the run flag is set. The window clears the flag as it initialises, so
// this runs once; a window that could not be created, or never initialised, ends the loop instead
// of retrying for ever. Returns how many times the window ran.
int RunMainWindowLoop(MainWindowRunner& runner);

} // namespace dravel
