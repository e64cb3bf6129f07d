#pragma once

// The application object: runs start-up in its fixed order, holds what the start-up found (the
// credentials from the command line, the run-main-window flag and the program's own version), starts
// the session with its main window and lives for the whole process.

#include "win/app/InstanceGuard.h"
#include "win/base/Winsock.h"
#include "win/portal/ControlSiteManager.h"
#include "win/portal/ScriptExternal.h"
#include "win/session/SessionApplication.h"
#include "core/app/HttpDownload.h"
#include "core/app/Startup.h"

#include <windows.h>

#include <atomic>
#include <memory>
#include <string>

namespace dravel::win {

class CMainDlg;

// Base name of the single-instance objects.
inline constexpr wchar_t kInstanceName[] = L"E435FC13-82C1-4f80-97C5-006FF4A4E302";

class CMessengerApp : public StartupSteps, public SessionApplication {
public:
    CMessengerApp();
    ~CMessengerApp() override;

    // A later launch has handed over its command line (listener thread): the main window comes
    // forward. The window work is posted to the window's own thread.
    void OnSecondInstance(const std::string& commandLine);
    HWND MainWindowHandle() const { return m_hMainWnd.load(); }

    // SessionApplication: the main window's handle while it lives (read by the listener thread); a
    // window that initialised clears the run flag, so it runs once per process.
    void SetMainWindow(HWND hwnd) override;
    bool RequestRestart() override;
    void ShowRestartFailed(HWND owner) override;

    // Start-up: runs every step and returns when the process is to end.
    StartupEnd InitInstance(HINSTANCE hInstance, const wchar_t* pszCmdLine);

    // Credentials from "/ID:" and "/PW:" on the command line; empty if none.
    std::wstring m_strLoginId;
    std::wstring m_strLoginPassword;
    // Set at construction; the main window clears it as it initialises, so it runs once per process.
    int m_nRunMainWindow = 1;
    // The program's own FileVersion text (949, NUL-terminated, at most 50 characters).
    char m_szVersion[51] = {};

protected:
    void WaitForRestartHandOver() override;
    bool StartSingleInstanceGuard() override;
    bool InitSocketEngine() override;
    bool InitBrowserHosting() override;
    bool CheckInstallation() override;
    void ReadCommandLineCredentials() override;
    void ReadOwnVersion() override;
    bool HandOverToUpdater() override;
    void RunMainWindow() override;
    void ReleaseRestartMutex() override;

private:
    class CGuard : public CInstanceGuard {
    public:
        explicit CGuard(CMessengerApp& app) : m_app(app) {}
        ~CGuard() override { Stop(); }
        void OnSecondInstance(const std::string& commandLine) override { m_app.OnSecondInstance(commandLine); }
        void BringMainWindowToForeground(const std::string& commandLine) {
            CInstanceGuard::OnSecondInstance(commandLine);
        }

    protected:
        HWND MainWindowHandle() const override { return m_app.MainWindowHandle(); }

    private:
        CMessengerApp& m_app;
    };

    CGuard m_instanceGuard{*this};
    std::atomic<HWND> m_hMainWnd{nullptr};
    std::wstring m_strCmdLine;
    std::unique_ptr<CWinsockInit> m_pWinsock;
    // The object hosted portal pages reach as window.external; made with browser hosting and kept for
    // the whole process. Its calls go to the session of the moment.
    std::unique_ptr<ScriptHost> m_pScriptHost;
    std::unique_ptr<CScriptExternal> m_pScript;
    std::unique_ptr<CControlSiteManager> m_pSiteManager;
    CMainDlg* m_pMainWnd = nullptr;
};

// The one application object of the process.
CMessengerApp& App();

// The messenger server's host: the one the installation registered ("ServerHost" beside "Config"),
// else the build-time address.
const char* ServerHost();
// The update server: "UpdateServer" beside "Config" (host or host:port), else the build's; false when
// neither is usable.
bool UpdateServer(HostPort& out);

} // namespace dravel::win
