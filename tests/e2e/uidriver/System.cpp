// Registry and process verbs, for setting up a test and for leaving nothing behind.
#include "tests/e2e/uidriver/Driver.h"

#include <algorithm>
#include <shlobj.h>
#include <tlhelp32.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <optional>

namespace {

HKEY Root(const Args& args) {
    std::wstring root = args.Str(L"root", L"HKLM");
    if (root == L"HKLM" || root == L"HKEY_LOCAL_MACHINE")
        return HKEY_LOCAL_MACHINE;
    if (root == L"HKCU" || root == L"HKEY_CURRENT_USER")
        return HKEY_CURRENT_USER;
    throw DriverError("root must be HKLM or HKCU");
}

std::wstring KeyPath(const Args& args) {
    std::wstring key = args.Str(L"key");
    if (key.empty())
        throw DriverError("key= is required");
    return key;
}

std::string RegError(const char* what, LONG status) {
    return std::string(what) + " failed, error " + std::to_string(status);
}

struct ProcessEntry {
    DWORD pid;
    DWORD parent;
    std::wstring exe;
};

std::vector<ProcessEntry> Processes() {
    std::vector<ProcessEntry> list;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE)
        throw DriverError("CreateToolhelp32Snapshot failed");
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32FirstW(snapshot, &entry); more; more = Process32NextW(snapshot, &entry))
        list.push_back({entry.th32ProcessID, entry.th32ParentProcessID, entry.szExeFile});
    CloseHandle(snapshot);
    return list;
}

// pid= selects one process, name= every process of that executable name (case-insensitive).
std::vector<ProcessEntry> Selected(const Args& args) {
    auto pid = static_cast<DWORD>(args.Int(L"pid", 0));
    std::wstring name = args.Str(L"name");
    std::vector<ProcessEntry> out;
    for (const ProcessEntry& entry : Processes()) {
        if (entry.pid == GetCurrentProcessId())
            continue;
        if ((pid && entry.pid == pid) || (!name.empty() && lstrcmpiW(entry.exe.c_str(), name.c_str()) == 0) ||
            (!pid && name.empty()))
            out.push_back(entry);
    }
    return out;
}

std::string ProcessesJson(const std::vector<ProcessEntry>& list) {
    std::vector<std::string> items;
    for (const ProcessEntry& entry : list) {
        JsonObject item;
        items.push_back(item.Num("pid", entry.pid).Num("parent", entry.parent).Str("exe", entry.exe).Close());
    }
    return JsonArray(items);
}

} // namespace

// reg-set root=HKLM key=Software\Brello\Tamix name=Config sz=C:\DravelOn   (or dword=N)
JsonObject VerbRegSet(const Args& args) {
    HKEY key = nullptr;
    LONG status =
        RegCreateKeyExW(Root(args), KeyPath(args).c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr);
    if (status != ERROR_SUCCESS)
        throw DriverError(RegError("RegCreateKeyEx", status));
    std::wstring name = args.Str(L"name");
    if (args.Has(L"dword")) {
        auto value = static_cast<DWORD>(args.Int(L"dword", 0));
        status = RegSetValueExW(key, name.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
    } else if (args.Has(L"sz")) {
        std::wstring value = args.Str(L"sz");
        status = RegSetValueExW(key, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                                static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
    } else {
        RegCloseKey(key);
        throw DriverError("give sz= or dword=");
    }
    RegCloseKey(key);
    if (status != ERROR_SUCCESS)
        throw DriverError(RegError("RegSetValueEx", status));
    return {};
}

// reg-get root= key= [name=]: {"type":"sz","value":"..."} or {"type":"dword","value":N}
JsonObject VerbRegGet(const Args& args) {
    std::wstring name = args.Str(L"name");
    DWORD type = 0, size = 0;
    LONG status =
        RegGetValueW(Root(args), KeyPath(args).c_str(), name.c_str(), RRF_RT_ANY | RRF_NOEXPAND, &type, nullptr, &size);
    if (status != ERROR_SUCCESS)
        throw DriverError(status == ERROR_FILE_NOT_FOUND ? "not found" : RegError("RegGetValue", status));
    std::vector<BYTE> data(size + sizeof(wchar_t));
    status = RegGetValueW(Root(args), KeyPath(args).c_str(), name.c_str(), RRF_RT_ANY | RRF_NOEXPAND, &type,
                          data.data(), &size);
    if (status != ERROR_SUCCESS)
        throw DriverError(RegError("RegGetValue", status));
    JsonObject out;
    if (type == REG_DWORD)
        return out.Str("type", L"dword").Num("value", *reinterpret_cast<const DWORD*>(data.data()));
    if (type == REG_SZ || type == REG_EXPAND_SZ) {
        std::wstring value(reinterpret_cast<const wchar_t*>(data.data()), size / sizeof(wchar_t));
        while (!value.empty() && value.back() == L'\0')
            value.pop_back();
        return out.Str("type", L"sz").Str("value", value);
    }
    return out.Str("type", L"other").Num("size", size);
}

// reg-delete root= key= [name=]: one value, or without name= the whole key with its subkeys.
JsonObject VerbRegDelete(const Args& args) {
    LONG status = args.Has(L"name") ? RegDeleteKeyValueW(Root(args), KeyPath(args).c_str(), args.Str(L"name").c_str())
                                    : RegDeleteTreeW(Root(args), KeyPath(args).c_str());
    if (!args.Has(L"name") && status == ERROR_SUCCESS)
        RegDeleteKeyW(Root(args), KeyPath(args).c_str()); // where RegDeleteTree leaves the key itself
    if (status != ERROR_SUCCESS && status != ERROR_FILE_NOT_FOUND)
        throw DriverError(RegError("delete", status));
    JsonObject out;
    return out.Bool("existed", status == ERROR_SUCCESS);
}

// pids [name=DravelOn.exe] [pid=N]
JsonObject VerbPids(const Args& args) {
    JsonObject out;
    return out.Raw("processes", ProcessesJson(Selected(args)));
}

// kill pid=N | name=X: terminates and waits (up to timeout=, default 5 s) until each has ended.
JsonObject VerbKill(const Args& args) {
    if (!args.Has(L"pid") && !args.Has(L"name"))
        throw DriverError("give pid= or name=");
    long long deadline = NowMs() + args.Int(L"timeout", 5000);
    std::vector<ProcessEntry> killed;
    for (const ProcessEntry& entry : Selected(args)) {
        HANDLE process = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, entry.pid);
        if (!process)
            continue;
        if (TerminateProcess(process, static_cast<UINT>(args.Int(L"code", 1)))) {
            long long left = deadline - NowMs();
            WaitForSingleObject(process, left > 0 ? static_cast<DWORD>(left) : 0);
            killed.push_back(entry);
        }
        CloseHandle(process);
    }
    JsonObject out;
    return out.Raw("killed", ProcessesJson(killed));
}

// wait-exit pid=N | name=X [timeout=5000]: until no selected process is left.
JsonObject VerbWaitExit(const Args& args) {
    if (!args.Has(L"pid") && !args.Has(L"name"))
        throw DriverError("give pid= or name=");
    long long started = NowMs();
    std::vector<ProcessEntry> left;
    if (!PollUntil(args.Int(L"timeout", 5000), [&] { return (left = Selected(args)).empty(); })) {
        JsonObject details;
        throw DriverError("timeout", details.Num("elapsed", NowMs() - started).Raw("processes", ProcessesJson(left)));
    }
    JsonObject out;
    return out.Num("elapsed", NowMs() - started);
}

// launch cmdline="..." [cwd=C:\...]: starts a process with exactly that command line (the program is
// taken from it, as CreateProcess does without an application name); answers its pid.
JsonObject VerbLaunch(const Args& args) {
    std::wstring line = args.Str(L"cmdline");
    if (line.empty())
        throw DriverError("cmdline= is required");
    std::wstring cwd = args.Str(L"cwd");
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, cwd.empty() ? nullptr : cwd.c_str(),
                        &si, &pi))
        throw DriverError("CreateProcess failed, error " + std::to_string(GetLastError()));
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    JsonObject out;
    return out.Num("pid", pi.dwProcessId);
}

namespace {

// Wine runs every Windows process as a Linux process and keeps its arguments in the Linux process's
// argument list, which Linux shows in /proc (drive Z: is the Unix root). Wine 8 has no information class
// for another process's command line, so the driver finds the Linux process of a Windows one there.
constexpr long long kClockTicksPerSecond = 100; // the unit of /proc/<pid>/stat's start time (USER_HZ)

std::string ReadUnixFile(const std::wstring& path) {
    HANDLE file =
        CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return {};
    std::string data;
    char chunk[4096];
    DWORD got = 0;
    while (data.size() < (1u << 20) && ReadFile(file, chunk, sizeof chunk, &got, nullptr) && got > 0)
        data.append(chunk, got);
    CloseHandle(file);
    return data;
}

// Seconds since boot at which a Linux process started (field 22 of its stat, after the name's ")").
std::optional<double> UnixStartSeconds(const std::wstring& procDir) {
    std::string stat = ReadUnixFile(procDir + L"\\stat");
    size_t at = stat.rfind(')');
    if (at == std::string::npos)
        return std::nullopt;
    unsigned long long ticks = 0;
    if (std::sscanf(stat.c_str() + at + 1,
                    " %*c %*d %*d %*d %*d %*d %*u %*u %*u %*u %*u %*u %*u %*d %*d %*d %*d %*d %*d %llu", &ticks) != 1)
        return std::nullopt;
    return static_cast<double>(ticks) / kClockTicksPerSecond;
}

double CreationSeconds(HANDLE process) {
    FILETIME created{}, exited{}, kernel{}, user{};
    if (!GetProcessTimes(process, &created, &exited, &kernel, &user))
        throw DriverError("GetProcessTimes failed, error " + std::to_string(GetLastError()));
    ULARGE_INTEGER t{};
    t.LowPart = created.dwLowDateTime;
    t.HighPart = created.dwHighDateTime;
    return static_cast<double>(t.QuadPart) / 1e7;
}

std::vector<std::string> SplitNuls(const std::string& data) {
    std::vector<std::string> parts;
    size_t start = 0;
    while (start < data.size()) {
        size_t end = data.find('\0', start);
        if (end == std::string::npos)
            end = data.size();
        parts.push_back(data.substr(start, end - start));
        start = end + 1;
    }
    // Wine pads the list it rewrote with empty strings.
    while (!parts.empty() && parts.back().empty())
        parts.pop_back();
    return parts;
}

// The command line that splits into these arguments (the quoting rules of CommandLineToArgvW).
std::wstring JoinArguments(const std::vector<std::string>& argv) {
    std::wstring line;
    for (const std::string& arg8 : argv) {
        std::wstring arg = FromUtf8(arg8);
        if (!line.empty())
            line += L' ';
        if (!arg.empty() && arg.find_first_of(L" \t\"") == std::wstring::npos) {
            line += arg;
            continue;
        }
        line += L'"';
        size_t backslashes = 0;
        for (wchar_t c : arg) {
            if (c == L'\\') {
                ++backslashes;
                continue;
            }
            line.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
            backslashes = 0;
            line += c;
        }
        line.append(backslashes * 2, L'\\');
        line += L'"';
    }
    return line;
}

std::string BaseName(const std::string& path) {
    size_t at = path.find_last_of("\\/");
    return at == std::string::npos ? path : path.substr(at + 1);
}

} // namespace

// cmdline pid=N: the process's command line as it was started: the arguments of the Linux process that
// runs it, joined again. The Linux processes of the same program in the same Wine prefix are matched to
// the Windows processes of that program by the order they started in (a Windows process is created just
// before its Linux process starts, so the orders agree); only when the two counts differ (a process
// starting or ending meanwhile) the start time nearest the creation time decides.
JsonObject VerbCmdline(const Args& args) {
    auto pid = static_cast<DWORD>(args.Int(L"pid", 0));
    if (!pid)
        throw DriverError("pid= is required");
    std::wstring exe;
    for (const ProcessEntry& entry : Processes())
        if (entry.pid == pid)
            exe = entry.exe;
    if (exe.empty())
        throw DriverError("no such process");
    // Creation times of every Windows process of that program, the asked one's marked.
    std::vector<std::pair<double, bool>> windowsStarts;
    for (const ProcessEntry& entry : Processes()) {
        if (lstrcmpiW(entry.exe.c_str(), exe.c_str()) != 0)
            continue;
        HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, entry.pid);
        if (!process) {
            if (entry.pid == pid)
                throw DriverError("no such process");
            continue;
        }
        try {
            windowsStarts.emplace_back(CreationSeconds(process), entry.pid == pid);
        } catch (...) {
            CloseHandle(process);
            throw;
        }
        CloseHandle(process);
    }
    std::sort(windowsStarts.begin(), windowsStarts.end());
    double created = 0;
    size_t rank = 0;
    for (size_t i = 0; i < windowsStarts.size(); ++i)
        if (windowsStarts[i].second) {
            created = windowsStarts[i].first;
            rank = i;
        }
    // The driver itself ties the two clocks together: its own creation time against its own start.
    std::optional<double> ownStart = UnixStartSeconds(L"Z:\\proc\\self");
    if (!ownStart)
        throw DriverError("cannot read Z:\\proc\\self\\stat");
    double offset = CreationSeconds(GetCurrentProcess()) - *ownStart;
    wchar_t prefix[MAX_PATH] = {};
    GetEnvironmentVariableW(L"WINEPREFIX", prefix, MAX_PATH);
    std::string prefixEntry = "WINEPREFIX=" + ToUtf8(prefix);
    prefixEntry.push_back('\0');

    std::vector<std::pair<double, std::vector<std::string>>> linuxStarts;
    WIN32_FIND_DATAW found{};
    HANDLE search = FindFirstFileW(L"Z:\\proc\\*", &found);
    if (search == INVALID_HANDLE_VALUE)
        throw DriverError("cannot list Z:\\proc");
    do {
        std::wstring name = found.cFileName;
        if (name.empty() || name.find_first_not_of(L"0123456789") != std::wstring::npos)
            continue;
        std::wstring dir = L"Z:\\proc\\" + name;
        std::vector<std::string> argv = SplitNuls(ReadUnixFile(dir + L"\\cmdline"));
        if (argv.empty() || lstrcmpiW(FromUtf8(BaseName(argv[0])).c_str(), exe.c_str()) != 0)
            continue;
        std::string environment = '\0' + ReadUnixFile(dir + L"\\environ");
        if (environment.find('\0' + prefixEntry) == std::string::npos)
            continue;
        if (std::optional<double> start = UnixStartSeconds(dir))
            linuxStarts.emplace_back(*start, std::move(argv));
    } while (FindNextFileW(search, &found));
    FindClose(search);
    if (linuxStarts.empty())
        throw DriverError("no Linux process runs " + ToUtf8(exe) + " in this prefix");
    std::sort(linuxStarts.begin(), linuxStarts.end(),
              [](const auto& a, const auto& b) { return a.first < b.first; });
    const std::vector<std::string>* best = nullptr;
    if (linuxStarts.size() == windowsStarts.size()) {
        best = &linuxStarts[rank].second;
    } else {
        double bestDistance = 0;
        for (const auto& [start, argv] : linuxStarts) {
            double distance = std::abs(start + offset - created);
            if (!best || distance < bestDistance) {
                best = &argv;
                bestDistance = distance;
            }
        }
    }
    JsonObject out;
    return out.Str("cmdline", JoinArguments(*best));
}

namespace {

std::vector<std::pair<std::wstring, HANDLE>> g_heldMutexes;

} // namespace

// mutex-hold name=X: creates (or opens) the named mutex and owns it on the driver's thread until
// mutex-release name=X or the driver ends. Answers whether it existed before.
JsonObject VerbMutexHold(const Args& args) {
    std::wstring name = args.Str(L"name");
    if (name.empty())
        throw DriverError("name= is required");
    HANDLE h = CreateMutexW(nullptr, TRUE, name.c_str());
    bool existed = GetLastError() == ERROR_ALREADY_EXISTS;
    if (!h)
        throw DriverError("CreateMutex failed, error " + std::to_string(GetLastError()));
    if (existed && WaitForSingleObject(h, static_cast<DWORD>(args.Int(L"timeout", 5000))) == WAIT_TIMEOUT) {
        CloseHandle(h);
        throw DriverError("timeout");
    }
    g_heldMutexes.emplace_back(name, h);
    JsonObject out;
    return out.Bool("existed", existed);
}

JsonObject VerbMutexRelease(const Args& args) {
    std::wstring name = args.Str(L"name");
    for (auto it = g_heldMutexes.begin(); it != g_heldMutexes.end(); ++it) {
        if (it->first != name)
            continue;
        ReleaseMutex(it->second);
        CloseHandle(it->second);
        g_heldMutexes.erase(it);
        return {};
    }
    throw DriverError("not held");
}

// clipboard [files=path|path...]: with files, puts them on the clipboard as a file list (what Explorer's
// Copy puts there); always answers the clipboard's Unicode text ("" when it holds none).
JsonObject VerbClipboard(const Args& args) {
    if (!OpenClipboard(nullptr))
        throw DriverError("OpenClipboard failed, error " + std::to_string(GetLastError()));
    if (args.Has(L"files")) {
        std::wstring list = args.Str(L"files");
        for (wchar_t& c : list)
            if (c == L'|')
                c = L'\0';
        list.append(2, L'\0');
        EmptyClipboard();
        HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, sizeof(DROPFILES) + list.size() * sizeof(wchar_t));
        auto* drop = memory ? static_cast<DROPFILES*>(GlobalLock(memory)) : nullptr;
        if (drop) {
            drop->pFiles = sizeof(DROPFILES);
            drop->fWide = TRUE;
            std::memcpy(drop + 1, list.data(), list.size() * sizeof(wchar_t));
            GlobalUnlock(memory);
        }
        if (!drop || !SetClipboardData(CF_HDROP, memory)) {
            CloseClipboard();
            throw DriverError("the file list could not be put on the clipboard");
        }
    }
    std::wstring text;
    if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
        if (const auto* p = static_cast<const wchar_t*>(GlobalLock(data))) {
            text = p;
            GlobalUnlock(data);
        }
    }
    CloseClipboard();
    JsonObject out;
    return out.Str("text", text);
}

namespace {

// The drag's source: it asks to be dropped once the pointer has rested over the target a few rounds.
class CDropSource final : public IDropSource {
public:
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDropSource)) {
            *ppv = static_cast<IDropSource*>(this);
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    STDMETHODIMP QueryContinueDrag(BOOL bEscape, DWORD) override {
        if (bEscape)
            return DRAGDROP_S_CANCEL;
        return ++m_nRounds > 5 ? DRAGDROP_S_DROP : S_OK;
    }
    STDMETHODIMP GiveFeedback(DWORD) override { return DRAGDROP_S_USEDEFAULTCURSORS; }

private:
    int m_nRounds = 0;
};

} // namespace

// drop <selector> file=path: drags the file from the shell onto the middle of the window and drops it
// there, as a user dragging it from Explorer does (OLE drag and drop); answers the effect.
JsonObject VerbDrop(const Args& args) {
    HWND hwnd = ResolveWindow(args);
    const std::wstring path = args.Str(L"file");
    if (FAILED(OleInitialize(nullptr)))
        throw DriverError("OleInitialize failed");
    PIDLIST_ABSOLUTE pidl = nullptr;
    IShellFolder* parent = nullptr;
    PCUITEMID_CHILD child = nullptr;
    IDataObject* data = nullptr;
    HRESULT hr = SHParseDisplayName(path.c_str(), nullptr, &pidl, 0, nullptr);
    if (SUCCEEDED(hr))
        hr = SHBindToParent(pidl, IID_IShellFolder, reinterpret_cast<void**>(&parent), &child);
    if (SUCCEEDED(hr))
        hr = parent->GetUIObjectOf(nullptr, 1, &child, IID_IDataObject, nullptr, reinterpret_cast<void**>(&data));
    if (parent)
        parent->Release();
    CoTaskMemFree(pidl);
    if (FAILED(hr) || !data) {
        OleUninitialize();
        throw DriverError("no shell data object for the file: " + std::to_string(hr));
    }
    RECT rc{};
    GetWindowRect(hwnd, &rc);
    SetCursorPos((rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2);
    CDropSource source;
    DWORD effect = 0;
    hr = DoDragDrop(data, &source, DROPEFFECT_COPY | DROPEFFECT_LINK, &effect);
    data->Release();
    OleUninitialize();
    JsonObject out;
    return out.Num("hresult", static_cast<long long>(hr)).Num("effect", static_cast<long long>(effect));
}
