#include "win/app/MessengerApp.h"

#include "win/app/RestartLock.h"
#include "win/app/UpdateDownload.h"
#include "win/app/UpdateSignature.h"
#include "win/app/VersionInfo.h"
#include "win/base/MessageBox.h"
#include "win/base/Messages.h"
#include "win/base/Registry.h"
#include "win/base/Text.h"
#include "win/protocol/TlsClient.h"
#include "win/res/resource.h"
#include "win/session/MainDlg.h"
#include "core/app/CommandLine.h"
#include "core/app/HttpDownload.h"
#include "core/app/Installation.h"
#include "core/app/ServerAddress.h"

#include <knownfolders.h>
#include <shellapi.h>
#include <shlobj.h>

#include <cstring>
#include <optional>

#ifndef DRAVELON_SERVER_HOST
#define DRAVELON_SERVER_HOST "127.0.0.1"
#endif
#ifndef DRAVELON_UPDATE_SERVER
#define DRAVELON_UPDATE_SERVER "127.0.0.1"
#endif

namespace dravel::win {

namespace {

constexpr wchar_t kInstallKey[] = L"Software\\Brello\\Tamix";

class CMainWindowRunner : public MainWindowRunner {
public:
    CMainWindowRunner(CMessengerApp& app, CMainDlg& dlg) : m_app(app), m_dlg(dlg) {}
    bool RunFlag() const override { return m_app.m_nRunMainWindow != 0; }
    void CopyCredentials() override { m_dlg.SetCredentials(m_app.m_strLoginId, m_app.m_strLoginPassword); }
    bool RunModal() override { return m_dlg.DoModal(nullptr) != -1; }

private:
    CMessengerApp& m_app;
    CMainDlg& m_dlg;
};

} // namespace

// The installer may register the site's server beside "Config"; without a usable value the build's
// address holds. Read once: every window of the process talks to the same server.
const char* ServerHost() {
    static const std::string host = [] {
        std::wstring registered;
        CRegistryKey key = CRegistryKey::OpenRead(HKEY_LOCAL_MACHINE, kInstallKey);
        if (key.IsOpen())
            registered = key.ReadString(L"ServerHost", kServerHostMaxChars);
        return ChooseServerHost(registered, DRAVELON_SERVER_HOST);
    }();
    return host.c_str();
}
// The installation may ask for encrypted connections: "Encrypted" (a DWORD, nonzero) beside "Config".
static bool EncryptedByInstallation() {
    DWORD value = 0;
    CRegistryKey key = CRegistryKey::OpenRead(HKEY_LOCAL_MACHINE, kInstallKey);
    return key.IsOpen() && key.ReadDword(L"Encrypted", value) && value != 0;
}
bool UpdateServer(HostPort& out) {
    std::wstring registered;
    CRegistryKey key = CRegistryKey::OpenRead(HKEY_LOCAL_MACHINE, kInstallKey);
    if (key.IsOpen())
        registered = key.ReadString(L"UpdateServer", kUpdateServerMaxChars);
    return ChooseUpdateServer(registered, DRAVELON_UPDATE_SERVER, EncryptedTransport() ? 443 : 80, out);
}
// Organisations that deploy new packages themselves turn the self-update off: "AutoUpdate" beside
// "Config", a DWORD 0 (what the installer writes) or the text "0".
static bool AutoUpdateOff() {
    CRegistryKey key = CRegistryKey::OpenRead(HKEY_LOCAL_MACHINE, kInstallKey);
    if (!key.IsOpen())
        return false;
    DWORD value = 0;
    if (key.ReadDword(L"AutoUpdate", value))
        return AutoUpdateSwitchedOff(value, L"");
    return AutoUpdateSwitchedOff(std::nullopt, key.ReadString(L"AutoUpdate", kUpdateServerMaxChars));
}
// %LOCALAPPDATA%\Dravel On\Update: the user's own, made with the user's default permissions, so
// nobody else can put anything there. Empty when there is no such folder; never the program's folder
// or the current one. Made only when bCreate.
static std::wstring UpdateFolder(bool bCreate) {
    PWSTR known = nullptr;
    std::wstring folder;
    if (SUCCEEDED(::SHGetKnownFolderPath(FOLDERID_LocalAppData, bCreate ? DWORD{KF_FLAG_CREATE} : DWORD{0}, nullptr,
                                         &known)) &&
        known != nullptr && known[0] != L'\0')
        folder = known;
    ::CoTaskMemFree(known);
    if (folder.size() < 3 || (folder[1] != L':' && folder.rfind(L"\\\\", 0) != 0))
        return {};
    if (folder.back() != L'\\')
        folder += L'\\';
    for (const wchar_t* part : {L"Dravel On", L"Update"}) {
        folder += part;
        if (bCreate && !::CreateDirectoryW(folder.c_str(), nullptr) && ::GetLastError() != ERROR_ALREADY_EXISTS)
            return {};
        folder += L'\\';
    }
    return folder;
}
// Starts the updater from its full path while the caller holds it open against writes. "open" lets the
// updater's own manifest decide whether it asks for elevation; a refusal there is a failed start.
static bool StartUpdater(const std::wstring& path) {
    SHELLEXECUTEINFOW info{};
    info.cbSize = sizeof(info);
    info.fMask = SEE_MASK_NOASYNC | SEE_MASK_FLAG_NO_UI;
    info.lpVerb = L"open";
    info.lpFile = path.c_str();
    info.nShow = SW_SHOWNORMAL;
    return ::ShellExecuteExW(&info) != FALSE;
}

CMessengerApp& App() {
    static CMessengerApp app;
    return app;
}

CMessengerApp::CMessengerApp() = default;

// The listener calls into this object: it ends before any member goes.
CMessengerApp::~CMessengerApp() {
    m_instanceGuard.Stop();
    if (CControlSiteManager::Installed() == m_pSiteManager.get())
        CControlSiteManager::Install(nullptr);
}

StartupEnd CMessengerApp::InitInstance(HINSTANCE /*hInstance*/, const wchar_t* pszCmdLine) {
    m_strCmdLine = pszCmdLine ? pszCmdLine : L"";
    return RunStartup(*this, ::GetCommandLineW());
}

void CMessengerApp::WaitForRestartHandOver() {
    ProcessRestartLock().Wait();
}

bool CMessengerApp::StartSingleInstanceGuard() {
    return m_instanceGuard.Start(kInstanceName);
}

void CMessengerApp::OnSecondInstance(const std::string& commandLine) {
    m_instanceGuard.BringMainWindowToForeground(commandLine);
    if (HWND hwnd = MainWindowHandle())
        ::PostMessageW(hwnd, kBringForwardMessage, 0, 0);
}

bool CMessengerApp::InitSocketEngine() {
    m_pWinsock = std::make_unique<CWinsockInit>();
    if (m_pWinsock->Ok())
        return true;
    AppMessageBox(nullptr, LoadResString(IDP_SOCKETS_INIT_FAILED), MB_OK | MB_ICONWARNING);
    return false;
}

bool CMessengerApp::InitBrowserHosting() {
    // Before any window that hosts a browser: every control created from here on gets our site, the
    // script object and the portal menu going to the main window.
    HardenBrowserEngine();
    m_pScriptHost = std::make_unique<CSessionScriptHost<CSessionHost>>(
        [this] { return m_pMainWnd ? &m_pMainWnd->Session() : nullptr; });
    m_pScript = std::make_unique<CScriptExternal>(*m_pScriptHost, ServerHost());
    m_pSiteManager = std::make_unique<CControlSiteManager>(m_pScript.get(), [this] { return MainWindowHandle(); });
    CControlSiteManager::Install(m_pSiteManager.get());
    return true;
}

bool CMessengerApp::CheckInstallation() {
    const std::wstring exePath = ModulePath();
    // Reading is all the check needs; asking for more fails for every standard user.
    CRegistryKey key = CRegistryKey::OpenRead(HKEY_LOCAL_MACHINE, kInstallKey);
    std::wstring config;
    if (key.IsOpen())
        config = key.ReadString(L"Config", kConfigMaxChars);
    switch (dravel::CheckInstallation(key.IsOpen(), config, exePath)) {
    case InstallCheck::Ok:
        return true;
    case InstallCheck::NotInstalled:
        AppMessageBox(nullptr, LoadResString(IDS_APP_NOT_INSTALLED), MB_OK | MB_ICONWARNING);
        return false;
    case InstallCheck::WrongFolder:
        AppMessageBox(nullptr, LoadResString(IDS_APP_WRONG_FOLDER), MB_OK | MB_ICONWARNING);
        return false;
    }
    return false;
}

void CMessengerApp::ReadCommandLineCredentials() {
    CommandLineCredentials c = ParseCommandLineCredentials(m_strCmdLine);
    m_strLoginId = std::move(c.strId);
    m_strLoginPassword = std::move(c.strPassword);
    // Either asks for encryption; nothing on the command line can turn the installation's off.
    const bool bEncrypted = HasEncryptedSwitch(m_strCmdLine) || EncryptedByInstallation();
    SetEncryptedTransport(bEncrypted);
    SetSecurePages(bEncrypted);
}

void CMessengerApp::ReadOwnVersion() {
    std::string version = ReadFileVersion(ModulePath());
    std::memset(m_szVersion, 0, sizeof(m_szVersion));
    std::memcpy(m_szVersion, version.data(), std::min(version.size(), sizeof(m_szVersion) - 1));
}

bool CMessengerApp::HandOverToUpdater() {
    const std::wstring folder = UpdateFolder(false);
    const std::wstring name = Cp949ToWide(kUpdaterFileName);
    // What the last update left: its updater has ended since (or holds it still, and then nothing is
    // downloaded over it).
    if (!folder.empty())
        ::DeleteFileW((folder + name).c_str());
    HostPort server;
    if (AutoUpdateOff() || !UpdateServer(server))
        return false;
    const std::wstring target = UpdateFolder(true) + name;
    if (target == name)
        return false;
    if (DownloadToFile(UpdateRequest{server, EncryptedTransport()}, target) != DownloadResult::Done)
        return false;
    // Held open, readable by others but neither writable nor deletable, from the checks until the
    // updater has started: what runs is what was checked.
    CKernelHandle file(::CreateFileW(target.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                     FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        ::DeleteFileW(target.c_str());
        return false;
    }
    // Whoever answers for the update server could send anything: only our own signed, newer updater runs.
    const UpdaterSignature signature = CheckUpdaterSignature(file.Get(), target, ModulePath());
    const UpdateVerdict verdict = DecideUpdate(m_szVersion, ReadFileVersion(target), signature,
                                               ReadProductName(ModulePath()), ReadProductName(target));
    const bool bStarted = verdict == UpdateVerdict::Launch && StartUpdater(target);
    file.Reset();
    if (bStarted)
        return true; // removed at the next start, once the updater has ended
    ::DeleteFileW(target.c_str());
    if (verdict == UpdateVerdict::RefusedSignature)
        AppMessageBox(nullptr, LoadResString(IDS_APP_UPDATE_NOT_OURS), MB_OK | MB_ICONWARNING);
    else if (verdict == UpdateVerdict::RefusedVersion)
        AppMessageBox(nullptr, LoadResString(IDS_APP_UPDATE_OLDER), MB_OK | MB_ICONWARNING);
    return false;
}

void CMessengerApp::RunMainWindow() {
    CMainDlg dlg(*this, SessionSettings{ServerHost(), m_szVersion, ModulePath()});
    m_pMainWnd = &dlg;
    CMainWindowRunner runner(*this, dlg);
    RunMainWindowLoop(runner);
    m_hMainWnd.store(nullptr);
    m_pMainWnd = nullptr;
}

void CMessengerApp::SetMainWindow(HWND hwnd) {
    if (hwnd)
        m_nRunMainWindow = 0;
    m_hMainWnd.store(hwnd);
}

bool CMessengerApp::RequestRestart() {
    return win::RequestRestart();
}

void CMessengerApp::ShowRestartFailed(HWND owner) {
    win::ShowRestartFailed(owner);
}

void CMessengerApp::ReleaseRestartMutex() {
    ProcessRestartLock().EndOfStartup();
}

} // namespace dravel::win
