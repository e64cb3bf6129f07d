#pragma once

// The application object: runs start-up in its fixed order, holds what the windows share (the
// connection pointer, the credentials from the command line, the run-main-window flag and the
// program's own version) and lives for the whole process.

#include "app/Startup.h"
#include "base/Winsock.h"

#include <windows.h>

#include <memory>
#include <string>

namespace dravel::win {

class CClientSocket;
class CMainDlg;

class CMessengerApp : public StartupSteps {
public:
    CMessengerApp();
    ~CMessengerApp() override;

    // Start-up: runs every step and returns when the process is to end.
    StartupEnd InitInstance(HINSTANCE hInstance, const wchar_t* pszCmdLine);

    // Placeholder of the script object that hosted portal pages reach; created with browser hosting.
    void* m_pScript = nullptr;
    // The current messenger connection; null while not connected. Every user tests it before use.
    CClientSocket* m_pSocket = nullptr;
    // Credentials from "/ID:" and "/PW:" on the command line; empty if none.
    std::wstring m_strLoginId;
    std::wstring m_strLoginPassword;
    // Set at construction; the main window clears it as it initialises, so it runs once per process.
    int m_nRunMainWindow = 1;
    // The program's own FileVersion text (949, NUL-terminated, at most 50 characters).
    char m_szVersion[51] = {};

    HINSTANCE Instance() const { return m_hInstance; }
    CMainDlg* MainWindow() const { return m_pMainWnd; }

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
    HINSTANCE m_hInstance = nullptr;
    std::wstring m_strCmdLine;
    std::unique_ptr<CWinsockInit> m_pWinsock;
    CMainDlg* m_pMainWnd = nullptr;
};

// The one application object of the process.
CMessengerApp& App();

// Build-time addresses of the servers.
const char* ServerHost();
const char* UpdateServer();

} // namespace dravel::win
