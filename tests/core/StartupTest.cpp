#include "core/app/Startup.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

using namespace dravel;

namespace {

class RecordingSteps : public StartupSteps {
public:
    std::vector<std::string> calls;
    std::set<std::string> failing;
    bool bUpdate = false;

    bool Step(const char* name) {
        calls.push_back(name);
        return !failing.count(name);
    }
    void WaitForRestartHandOver() override { Step("restart-wait"); }
    bool StartSingleInstanceGuard() override { return Step("instance"); }
    bool InitSocketEngine() override { return Step("sockets"); }
    bool InitBrowserHosting() override { return Step("browser"); }
    bool CheckInstallation() override { return Step("install"); }
    void ReadCommandLineCredentials() override { Step("credentials"); }
    void ReadOwnVersion() override { Step("version"); }
    bool HandOverToUpdater() override {
        Step("update");
        return bUpdate;
    }
    void RunMainWindow() override { Step("main"); }
    void ReleaseRestartMutex() override { Step("release"); }
};

class FakeRunner : public MainWindowRunner {
public:
    bool bFlag = true;
    bool bCreatable = true;
    bool bClearsFlag = true;
    int nCopies = 0;
    bool RunFlag() const override { return bFlag; }
    void CopyCredentials() override { ++nCopies; }
    bool RunModal() override {
        if (!bCreatable)
            return false;
        if (bClearsFlag)
            bFlag = false;
        return true;
    }
};

} // namespace

TEST(Startup, StepsRunInTheirFixedOrder) {
    RecordingSteps s;
    EXPECT_EQ(RunStartup(s, L"DravelOn.exe /ID:a"), StartupEnd::MainWindowEnded);
    EXPECT_EQ(s.calls, (std::vector<std::string>{"instance", "sockets", "browser", "install", "credentials", "version",
                                                 "update", "main", "release"}));
    RecordingSteps r;
    RunStartup(r, L"DravelOn.exe --Restart");
    EXPECT_EQ(r.calls.front(), "restart-wait");
    EXPECT_EQ(r.calls.size(), 10u);
}

TEST(Startup, AFailingStepEndsStartUpThere) {
    struct Case {
        const char* step;
        StartupEnd end;
    } cases[] = {{"instance", StartupEnd::AnotherInstance},
                 {"sockets", StartupEnd::SocketEngineFailed},
                 {"browser", StartupEnd::BrowserHostingFailed},
                 {"install", StartupEnd::NotInstalled}};
    for (const Case& c : cases) {
        RecordingSteps s;
        s.failing.insert(c.step);
        EXPECT_EQ(RunStartup(s, L""), c.end) << c.step;
        EXPECT_EQ(s.calls.back(), c.step);
    }
    RecordingSteps u;
    u.bUpdate = true;
    EXPECT_EQ(RunStartup(u, L""), StartupEnd::Updating);
    EXPECT_EQ(u.calls.back(), "update");
}

TEST(Startup, MainWindowRunsOnceAndNeverLoops) {
    FakeRunner normal;
    EXPECT_EQ(RunMainWindowLoop(normal), 1);
    EXPECT_EQ(normal.nCopies, 1);

    FakeRunner broken; // the window cannot be created: the flag stays set
    broken.bCreatable = false;
    EXPECT_EQ(RunMainWindowLoop(broken), 1);

    FakeRunner silent; // created but never initialised
    silent.bClearsFlag = false;
    EXPECT_EQ(RunMainWindowLoop(silent), 1);

    FakeRunner cleared;
    cleared.bFlag = false;
    EXPECT_EQ(RunMainWindowLoop(cleared), 0);
}

TEST(VersionRule, OnlyOurOwnNewerUpdaterRuns) {
    using enum UpdateVerdict;
    constexpr auto ours = UpdaterSignature::SamePublisher;
    // Versions compare as numbers, part by part.
    EXPECT_EQ(CompareVersions("3.80.033", "3.80.34"), -1);
    EXPECT_EQ(CompareVersions("3.81", "3.80.999"), 1);
    EXPECT_EQ(CompareVersions("3.80", "3.80.0"), 0);
    EXPECT_EQ(CompareVersions("10.0", "9.99"), 1);
    for (const char* bad : {"", "3..80", "3.80.", ".3", "3.80a", "3.80 ", "-1.0", "3.1234567890"})
        EXPECT_FALSE(CompareVersions(bad, "3.80").has_value()) << bad;

    const auto decide = [](const char* own, const char* theirs, UpdaterSignature s) {
        return DecideUpdate(own, theirs, s, "Dravel On", "Dravel On");
    };
    EXPECT_EQ(decide("3.80.033", "3.80.034", ours), Launch);
    EXPECT_EQ(decide("3.80.033", "3.80.033", ours), NotNeeded);
    EXPECT_EQ(decide("3.80.033", "3.80.33", ours), NotNeeded);
    // Older, or with no version to compare, is refused even when it is ours.
    EXPECT_EQ(decide("3.80.033", "3.80.032", ours), RefusedVersion);
    EXPECT_EQ(decide("3.80.033", "", ours), RefusedVersion);
    EXPECT_EQ(decide("3.80.033", "3.80.034 beta", ours), RefusedVersion);
    // A program that cannot read its own version takes any version of ours.
    EXPECT_EQ(decide("", "3.80.001", ours), Launch);
    // Anything not signed by us is refused first, newer or not.
    for (UpdaterSignature s : {UpdaterSignature::Unsigned, UpdaterSignature::Broken, UpdaterSignature::OtherPublisher})
        for (const char* version : {"3.80.034", "3.80.033", "9.0"})
            EXPECT_EQ(decide("3.80.033", version, s), RefusedSignature) << version;
    // Ours and newer, but of another product (or ours unknown): not ours to run.
    const struct {
        const char* own;
        const char* theirs;
    } products[] = {
        {"Dravel On", "Dravel Off"}, {"Dravel On", "dravel on"}, {"Dravel On", ""}, {"", ""}, {"", "Dravel On"}};
    for (const auto& c : products)
        EXPECT_EQ(DecideUpdate("3.80.033", "3.80.034", ours, c.own, c.theirs), RefusedSignature)
            << c.own << '|' << c.theirs;

    EXPECT_EQ(BoundVersion(std::string(60, '9')).size(), kVersionMaxChars);
    EXPECT_EQ(BoundVersion(std::string("3.80\0xx", 7)), "3.80");
}
