#include "core/app/Startup.h"

#include "core/app/CommandLine.h"

namespace dravel {

std::string BoundVersion(std::string_view version) {
    size_t end = version.find('\0');
    if (end != std::string_view::npos)
        version = version.substr(0, end);
    return std::string(version.substr(0, kVersionMaxChars));
}

bool ShouldLaunchUpdater(std::string_view ownVersion, std::string_view downloadedVersion) {
    return ownVersion.empty() || downloadedVersion.empty() || ownVersion != downloadedVersion;
}

StartupEnd RunStartup(StartupSteps& steps, std::wstring_view fullCommandLine) {
    if (IsRestartLaunch(fullCommandLine))
        steps.WaitForRestartHandOver();
    if (!steps.StartSingleInstanceGuard())
        return StartupEnd::AnotherInstance;
    if (!steps.InitSocketEngine())
        return StartupEnd::SocketEngineFailed;
    if (!steps.InitBrowserHosting())
        return StartupEnd::BrowserHostingFailed;
    if (!steps.CheckInstallation())
        return StartupEnd::NotInstalled;
    steps.ReadCommandLineCredentials();
    steps.ReadOwnVersion();
    if (steps.HandOverToUpdater())
        return StartupEnd::Updating;
    steps.RunMainWindow();
    steps.ReleaseRestartMutex();
    return StartupEnd::MainWindowEnded;
}

int RunMainWindowLoop(MainWindowRunner& runner) {
    int nRuns = 0;
    while (runner.RunFlag()) {
        runner.CopyCredentials();
        ++nRuns;
        if (!runner.RunModal() || runner.RunFlag())
            break;
    }
    return nRuns;
}

} // namespace dravel
