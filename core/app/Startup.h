#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace dravel {

// The version field holds at most 50 characters and its end mark.
inline constexpr size_t kVersionMaxChars = 50;

// Cuts a version text read from a version resource to what the version field holds.
std::string BoundVersion(std::string_view version);

// Version texts compared as numbers, part by part between the dots: "3.80.033" < "3.80.34" < "3.81", and
// "3.80" equals "3.80.0". Negative, zero or positive as a is older, the same or newer than b; nothing
// when either is not such a text (empty, a letter, an empty part, a part of more than nine digits).
std::optional<int> CompareVersions(std::string_view a, std::string_view b);

// What the downloaded updater's signature showed, against the running program's own.
enum class UpdaterSignature {
    SamePublisher,  // intact, and signed with the very certificate the running program is signed with
    Unsigned,       // no signature at all
    Broken,         // the file is not what was signed, or the signature cannot be read
    OtherPublisher, // intact, but signed by another certificate (or the running program is not signed)
};

enum class UpdateVerdict {
    Launch,
    NotNeeded,        // our own version: the file stays, nothing is said
    RefusedSignature, // deleted, and the user is told
    RefusedVersion,   // older than ours, or no version to compare: deleted, and the user is told
};

// The updater runs only when it is ours (SamePublisher), carries the running program's product name
// (ProductName of both version resources, compared exactly: another product of the same publisher is not
// ours to run) and is newer than the running program. A program that cannot read its own name runs no
// updater; one without a readable version of its own takes any version of ours. The same version text, or
// the same version written otherwise ("3.80.33" for "3.80.033"), needs no update.
UpdateVerdict DecideUpdate(std::string_view ownVersion, std::string_view downloadedVersion, UpdaterSignature signature,
                           std::string_view ownProduct, std::string_view downloadedProduct);

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
