#include "core/app/Startup.h"

#include "core/app/CommandLine.h"

#include <algorithm>
#include <cstdint>
#include <vector>

namespace dravel {

std::string BoundVersion(std::string_view version) {
    size_t end = version.find('\0');
    if (end != std::string_view::npos)
        version = version.substr(0, end);
    return std::string(version.substr(0, kVersionMaxChars));
}

namespace {

// The numbers of a version text, or nothing when it is not one.
std::optional<std::vector<uint32_t>> VersionParts(std::string_view text) {
    std::vector<uint32_t> parts;
    size_t pos = 0;
    while (true) {
        const size_t dot = std::min(text.find('.', pos), text.size());
        const std::string_view part = text.substr(pos, dot - pos);
        if (part.empty() || part.size() > 9 || !std::all_of(part.begin(), part.end(), [](char c) {
                return c >= '0' && c <= '9';
            }))
            return std::nullopt;
        uint32_t n = 0;
        for (const char c : part)
            n = n * 10 + static_cast<uint32_t>(c - '0');
        parts.push_back(n);
        if (dot == text.size())
            return parts;
        pos = dot + 1;
    }
}

} // namespace

std::optional<int> CompareVersions(std::string_view a, std::string_view b) {
    const auto pa = VersionParts(a);
    const auto pb = VersionParts(b);
    if (!pa || !pb)
        return std::nullopt;
    for (size_t i = 0; i < std::max(pa->size(), pb->size()); ++i) {
        const uint32_t x = i < pa->size() ? (*pa)[i] : 0;
        const uint32_t y = i < pb->size() ? (*pb)[i] : 0;
        if (x != y)
            return x < y ? -1 : 1;
    }
    return 0;
}

UpdateVerdict DecideUpdate(std::string_view ownVersion, std::string_view downloadedVersion, UpdaterSignature signature,
                           std::string_view ownProduct, std::string_view downloadedProduct) {
    if (signature != UpdaterSignature::SamePublisher || ownProduct.empty() || downloadedProduct != ownProduct)
        return UpdateVerdict::RefusedSignature;
    if (!downloadedVersion.empty() && downloadedVersion == ownVersion)
        return UpdateVerdict::NotNeeded;
    if (!VersionParts(downloadedVersion))
        return UpdateVerdict::RefusedVersion;
    const std::optional<int> order = CompareVersions(downloadedVersion, ownVersion);
    if (!order)
        return UpdateVerdict::Launch; // our own version is unknown: any of ours will do
    if (*order < 0)
        return UpdateVerdict::RefusedVersion;
    return *order == 0 ? UpdateVerdict::NotNeeded : UpdateVerdict::Launch;
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
