// The file transfer window under a real window system: its worker runs against a server on a free
// loopback port in this process, while a driver thread watches and presses what a user would.

#include "win/transfer/FileTransferDlg.h"
#include "win/base/Handles.h"
#include "win/base/Text.h"
#include "win/base/Winsock.h"

#include "win/res/resource.h"

#include "tests/core/support/Bytes.h"

#include "support/LoopbackServer.h"
#include "support/Wait.h"

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <string>
#include <thread>

using namespace dravel;
using namespace dravel::win;
using namespace dravel::win::test;
using dravel::test::LengthPrefix;
using dravel::test::PatternBytes;
using dravel::test::ReadFileBytes;
using dravel::test::WriteFileBytes;

namespace {

CWinsockInit g_winsock;

int UnusedPort() {
    CSocketHandle s(::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(s.Get(), reinterpret_cast<sockaddr*>(&addr), sizeof(addr));
    int len = sizeof(addr);
    ::getsockname(s.Get(), reinterpret_cast<sockaddr*>(&addr), &len);
    return ntohs(addr.sin_port);
}

class TempFile {
public:
    explicit TempFile(const wchar_t* tag) {
        wchar_t dir[MAX_PATH];
        ::GetTempPathW(MAX_PATH, dir);
        m_strPath = std::wstring(dir) + L"dravel_" + tag + L"_" + std::to_wstring(::GetCurrentProcessId()) + L".bin";
        ::DeleteFileW(m_strPath.c_str());
    }
    ~TempFile() { ::DeleteFileW(m_strPath.c_str()); }
    const std::wstring& Path() const { return m_strPath; }
    void Write(const std::string& bytes) const { WriteFileBytes(m_strPath, bytes); }
    std::string Read() const { return ReadFileBytes(m_strPath); }
    bool Exists() const { return ::GetFileAttributesW(m_strPath.c_str()) != INVALID_FILE_ATTRIBUTES; }

private:
    std::wstring m_strPath;
};

std::wstring ItemText(HWND dlg, int id) {
    return WindowText(::GetDlgItem(dlg, id));
}

// The text of a message box (its static control) and a click on its OK button.
std::wstring BoxText(HWND box) {
    return ItemText(box, 0xFFFF);
}
void CloseBox(HWND box) {
    ::PostMessageW(box, WM_COMMAND, IDOK, 0);
}

// Runs the window modally on this thread while `drive` runs on another; the driver must end the window.
INT_PTR RunWithDriver(CFileTransferDlg& dlg, std::function<void()> drive, HWND owner = nullptr) {
    std::thread driver(std::move(drive));
    const INT_PTR result = dlg.DoModal(owner);
    driver.join();
    return result;
}

void UploadTo(CFileTransferDlg& dlg, int port, const std::wstring& path) {
    dlg.m_nDirection = CFileTransferDlg::kUpload;
    dlg.m_strServerHost = "127.0.0.1";
    dlg.m_nPort = port;
    dlg.m_strLocalPath = path;
    dlg.m_strOwnId = "A";
    dlg.m_strPeerId = "B";
    dlg.m_strStamp = "201901021530";
}

void DownloadFrom(CFileTransferDlg& dlg, int port, const std::wstring& path) {
    dlg.m_nDirection = CFileTransferDlg::kDownload;
    dlg.m_strServerHost = "127.0.0.1";
    dlg.m_nPort = port;
    dlg.m_strLocalPath = path;
}

TEST(FileTransferDlg, UploadOfAMissingFileSaysSoAndNeverConnects) {
    LoopbackServer server([](SOCKET) {});
    TempFile missing(L"missing");
    CFileTransferDlg dlg;
    UploadTo(dlg, server.Port(), missing.Path());
    std::wstring boxText, label, title;
    bool bStillOpen = false;
    bool bBoxGone = false;
    const INT_PTR result = RunWithDriver(dlg, [&] {
        const HWND box = WaitForWindow(LoadResString(IDS_TRANSFER_NO_FILE_TITLE).c_str());
        if (box == nullptr)
            return;
        boxText = BoxText(box);
        const HWND window = dlg.GetHwnd();
        title = WindowText(window);
        label = ItemText(window, IDC_TRANSFER_EVENTS);
        CloseBox(box);
        bBoxGone = WaitUntil([&] { return !::IsWindow(box); });
        ::Sleep(200); // the wait is the check: the window is still open after it
        bStillOpen = ::IsWindowVisible(window) != FALSE;
        ::PostMessageW(window, WM_CLOSE, 0, 0);
    });
    EXPECT_EQ(boxText, LoadResString(IDS_TRANSFER_NO_FILE) + L"\n\"" + missing.Path() + L"\"");
    EXPECT_EQ(title, LoadResString(IDS_TRANSFER_SEND_TITLE));
    EXPECT_EQ(label, LoadResString(IDS_TRANSFER_SEND_EVENTS) + L"0");
    EXPECT_TRUE(bBoxGone);
    EXPECT_TRUE(bStillOpen);
    EXPECT_EQ(result, IDCANCEL);
    EXPECT_EQ(server.Accepted(), 0);
}

TEST(FileTransferDlg, DownloadPathWithAnInvalidCharacterIsRefused) {
    LoopbackServer server([](SOCKET) {});
    CFileTransferDlg dlg;
    DownloadFrom(dlg, server.Port(), L"C:\\temp\\a|b.txt");
    std::wstring boxText, label, title;
    bool bBoxGone = false;
    const INT_PTR result = RunWithDriver(dlg, [&] {
        const HWND box = WaitForWindow(LoadResString(IDS_TRANSFER_BAD_PATH_TITLE).c_str());
        if (box == nullptr)
            return;
        boxText = BoxText(box);
        title = WindowText(dlg.GetHwnd());
        label = ItemText(dlg.GetHwnd(), IDC_TRANSFER_EVENTS);
        CloseBox(box);
        bBoxGone = WaitUntil([&] { return !::IsWindow(box); });
        ::PostMessageW(dlg.GetHwnd(), WM_CLOSE, 0, 0);
    });
    EXPECT_EQ(boxText, LoadResString(IDS_TRANSFER_BAD_PATH) + L"\nC:\\temp\\a|b.txt\n" +
                           LoadResString(IDS_TRANSFER_BAD_PATH_ASK));
    EXPECT_EQ(title, LoadResString(IDS_TRANSFER_RECEIVE_TITLE));
    EXPECT_EQ(label, LoadResString(IDS_TRANSFER_RECEIVE_EVENTS) + L"0");
    EXPECT_TRUE(bBoxGone);
    EXPECT_EQ(result, IDCANCEL);
    EXPECT_EQ(server.Accepted(), 0);
    EXPECT_FALSE(::GetFileAttributesW(L"C:\\temp\\a|b.txt") != INVALID_FILE_ATTRIBUTES);
}

TEST(FileTransferDlg, UnreachableServerIsReportedAndTheWindowStaysOpen) {
    TempFile source(L"unreach");
    source.Write("data");
    CFileTransferDlg dlg;
    UploadTo(dlg, UnusedPort(), source.Path());
    std::wstring boxText;
    bool bStillOpen = false;
    bool bBoxGone = false;
    const INT_PTR result = RunWithDriver(dlg, [&] {
        const HWND box = WaitForWindow(L"Dravel On", 20000);
        if (box == nullptr)
            return;
        boxText = BoxText(box);
        CloseBox(box);
        bBoxGone = WaitUntil([&] { return !::IsWindow(box); });
        ::Sleep(200); // the wait is the check: the window is still open after it
        bStillOpen = ::IsWindowVisible(dlg.GetHwnd()) != FALSE;
        ::PostMessageW(dlg.GetHwnd(), WM_CLOSE, 0, 0);
    });
    EXPECT_EQ(boxText, LoadResString(IDS_TRANSFER_CONNECT_FAILED));
    EXPECT_TRUE(bBoxGone);
    EXPECT_TRUE(bStillOpen);
    EXPECT_EQ(result, IDCANCEL);
}

TEST(FileTransferDlg, CompleteUploadEndsWithOk) {
    TempFile source(L"upload");
    const std::string content = PatternBytes(300000);
    source.Write(content);
    std::string received;
    LoopbackServer server([&](SOCKET s) { received = LoopbackServer::ReadAll(s); });
    CFileTransferDlg dlg;
    UploadTo(dlg, server.Port(), source.Path());
    const INT_PTR result = dlg.DoModal();
    EXPECT_EQ(result, IDOK);
    EXPECT_TRUE(dlg.GetOutcome().Complete());
    const std::string name =
        "A_B_" + WideToCp949(source.Path().substr(source.Path().rfind(L'\\') + 1)) + ".201901021530";
    std::string header = LengthPrefix(300000) + name;
    header.resize(260, '\0');
    EXPECT_EQ(received.size(), header.size() + content.size());
    EXPECT_TRUE(received == header + content);
}

TEST(FileTransferDlg, CompleteDownloadEndsWithOk) {
    TempFile target(L"download");
    const std::string content = PatternBytes(200000);
    LoopbackServer server([&](SOCKET s) { LoopbackServer::WriteAll(s, LengthPrefix(200000) + content); });
    CFileTransferDlg dlg;
    DownloadFrom(dlg, server.Port(), target.Path());
    EXPECT_EQ(dlg.DoModal(), IDOK);
    EXPECT_TRUE(target.Read() == content);
}

TEST(FileTransferDlg, DownloadCutShortIsAFailureAndLeavesNoFile) {
    TempFile target(L"short");
    LoopbackServer server([&](SOCKET s) { LoopbackServer::WriteAll(s, LengthPrefix(100000) + PatternBytes(5000)); });
    CFileTransferDlg dlg;
    DownloadFrom(dlg, server.Port(), target.Path());
    std::wstring boxText;
    const INT_PTR result = RunWithDriver(dlg, [&] {
        const HWND box = WaitForWindow(L"Dravel On");
        if (box == nullptr)
            return;
        boxText = BoxText(box);
        CloseBox(box);
    });
    EXPECT_EQ(result, CFileTransferDlg::kResultFailed);
    EXPECT_EQ(boxText, LoadResString(IDS_TRANSFER_RECEIVE_FAILED));
    EXPECT_EQ(dlg.GetOutcome().nMoved, 5000);
    EXPECT_FALSE(target.Exists());
}

// A download whose server sends a little and then waits to be released.
struct StalledServer {
    std::atomic<bool> bReleased{false};
    std::atomic<bool> bSent{false};
    LoopbackServer server{[this](SOCKET s) {
        LoopbackServer::WriteAll(s, LengthPrefix(1000000) + PatternBytes(10000));
        bSent = true;
        WaitUntil([this] { return bReleased.load(); }, 20000);
    }};
    ~StalledServer() { bReleased = true; }
};

// Enter, and end events that another program posts while the worker runs, leave the window answering
// and the transfer running.
TEST(FileTransferDlg, EnterAndForgedEndEventsDoNothingAndClosingStopsTheWorkerFirst) {
    TempFile target(L"stall");
    StalledServer stalled;
    CFileTransferDlg dlg;
    DownloadFrom(dlg, stalled.server.Port(), target.Path());
    bool bOpenAfterEnter = false;
    bool bPathDisabled = false;
    const INT_PTR result = RunWithDriver(dlg, [&] {
        if (!WaitUntil([&] { return stalled.bSent.load() && dlg.IsWorkerRunning(); }))
            return;
        const HWND window = dlg.GetHwnd();
        bPathDisabled = WaitUntil([&] { return !::IsWindowEnabled(::GetDlgItem(window, IDC_TRANSFER_PATH)); });
        ::SendMessageW(window, WM_COMMAND, IDOK, 0);
        ::PostMessageW(window, GetFileEventMessage(), kTransferFinished, 0);
        ::PostMessageW(window, kTransferConnectFailedMessage, 0, 0);
        DWORD_PTR answer = 0;
        const bool bAnswering = ::SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_NORMAL, 5000, &answer) != 0;
        ::Sleep(100); // the wait is the check: nothing has closed the window or stopped the worker by then
        bOpenAfterEnter = bAnswering && ::IsWindowVisible(window) != FALSE && dlg.IsWorkerRunning() &&
                          ::IsWindowEnabled(window) != FALSE; // no box came up over it
        ::PostMessageW(window, WM_CLOSE, 0, 0);
    });
    EXPECT_TRUE(bPathDisabled);
    EXPECT_TRUE(bOpenAfterEnter);
    EXPECT_EQ(result, IDCANCEL);
    EXPECT_FALSE(dlg.IsWorkerRunning());
    EXPECT_FALSE(dlg.GetOutcome().Complete());
    EXPECT_FALSE(target.Exists());
}

TEST(FileTransferDlg, DestroyedWithItsOwnerWhileTheWorkerRuns) {
    TempFile target(L"owner");
    StalledServer stalled;
    const HWND owner = ::CreateWindowExW(0, L"STATIC", L"owner", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                         ::GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(owner, nullptr);
    CFileTransferDlg dlg;
    DownloadFrom(dlg, stalled.server.Port(), target.Path());
    RunWithDriver(
        dlg,
        [&] {
            if (!WaitUntil([&] { return stalled.bSent.load() && dlg.IsWorkerRunning(); }))
                return;
            // The owner goes (its thread runs DestroyWindow on WM_CLOSE), and the window with it.
            ::PostMessageW(owner, WM_CLOSE, 0, 0);
        },
        owner);
    EXPECT_FALSE(::IsWindow(owner));
    EXPECT_FALSE(dlg.IsWorkerRunning());
    EXPECT_FALSE(target.Exists());
}

// The main window's page script reaches the active window on the window's own thread, from inside its
// modal loop: a thread timer polls `pageClose` there until it reports that it has acted.
std::function<bool()> g_pageClose;
void CALLBACK PollPageClose(HWND, UINT, UINT_PTR id, DWORD) {
    if (g_pageClose && g_pageClose()) {
        ::KillTimer(nullptr, id);
        g_pageClose = nullptr;
    }
}

INT_PTR RunWithPageClose(CFileTransferDlg& dlg, std::function<bool()> pageClose) {
    const ULONGLONG deadline = ::GetTickCount64() + 15000;
    g_pageClose = [&dlg, pageClose = std::move(pageClose), deadline] {
        if (::GetTickCount64() < deadline)
            return pageClose();
        ::PostMessageW(dlg.GetHwnd(), WM_CLOSE, 0, 0);
        return true;
    };
    const UINT_PTR timer = ::SetTimer(nullptr, 0, 20, &PollPageClose);
    const INT_PTR result = dlg.DoModal();
    ::KillTimer(nullptr, timer);
    g_pageClose = nullptr;
    return result;
}

// An upload sink that takes a kilobyte at a time, slowly, until released.
struct SlowSink {
    std::atomic<bool> bReleased{false};
    std::atomic<size_t> nReceived{0};
    LoopbackServer server{[this](SOCKET s) {
        char buffer[1024];
        while (!bReleased) {
            const int n = ::recv(s, buffer, sizeof(buffer), 0);
            if (n <= 0)
                return;
            nReceived += static_cast<size_t>(n);
            ::Sleep(5);
        }
    }};
    ~SlowSink() { bReleased = true; }
};

TEST(FileTransferDlg, WindowClosedFromOutsideMidTransferNeverEndsAsDone) {
    // Far more than the loopback socket buffers hold, so the upload cannot finish before the close.
    TempFile source(L"pageclose");
    source.Write(PatternBytes(32 << 20));
    const size_t nWhole = 260u + (32u << 20);

    // What a page's close now does to the active transfer window: it cancels, as the user's cancel.
    {
        SlowSink sink;
        CFileTransferDlg dlg;
        UploadTo(dlg, sink.server.Port(), source.Path());
        bool bRecognised = false;
        const INT_PTR result = RunWithPageClose(dlg, [&] {
            if (sink.nReceived == 0 || !dlg.IsWorkerRunning())
                return false;
            bRecognised = IsFileTransferWindow(dlg.GetHwnd());
            CancelFileTransferWindow(dlg.GetHwnd());
            return true;
        });
        EXPECT_TRUE(bRecognised);
        EXPECT_EQ(result, IDCANCEL);
        EXPECT_FALSE(dlg.IsWorkerRunning());
        EXPECT_FALSE(dlg.GetOutcome().Complete());
        EXPECT_LT(sink.nReceived.load(), nWhole);
    }
    // Ended as a dialog with result 1 (OK), as any other window of the program is: still no success,
    // the worker stops, and the caller is told the transfer did not finish.
    {
        SlowSink sink;
        CFileTransferDlg dlg;
        UploadTo(dlg, sink.server.Port(), source.Path());
        const INT_PTR result = RunWithPageClose(dlg, [&] {
            if (sink.nReceived == 0 || !dlg.IsWorkerRunning())
                return false;
            ::EndDialog(dlg.GetHwnd(), IDOK);
            return true;
        });
        EXPECT_EQ(result, IDCANCEL);
        EXPECT_FALSE(dlg.IsWorkerRunning());
        EXPECT_FALSE(dlg.GetOutcome().Complete());
        EXPECT_LT(sink.nReceived.load(), nWhole);
    }
    // The same for a download: no success, and the part received is not left behind.
    {
        TempFile target(L"pageclose_dl");
        StalledServer stalled;
        CFileTransferDlg dlg;
        DownloadFrom(dlg, stalled.server.Port(), target.Path());
        const INT_PTR result = RunWithPageClose(dlg, [&] {
            if (!stalled.bSent || !dlg.IsWorkerRunning())
                return false;
            ::EndDialog(dlg.GetHwnd(), IDOK);
            return true;
        });
        EXPECT_EQ(result, IDCANCEL);
        EXPECT_FALSE(dlg.GetOutcome().Complete());
        EXPECT_FALSE(target.Exists());
    }
    // Not a transfer window: a plain window, and one that has gone.
    const HWND plain = ::CreateWindowExW(0, L"STATIC", L"plain", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                         ::GetModuleHandleW(nullptr), nullptr);
    EXPECT_FALSE(IsFileTransferWindow(plain));
    ::DestroyWindow(plain);
    EXPECT_FALSE(IsFileTransferWindow(plain));
}

// Starting again while a worker is recorded does nothing: one connection, one whole file.
class CTwiceStartedDlg : public CFileTransferDlg {
protected:
    BOOL OnInitDialog() override {
        const BOOL result = CFileTransferDlg::OnInitDialog();
        StartUpload();
        StartUpload();
        return result;
    }
};

TEST(FileTransferDlg, SecondStartIsIgnored) {
    TempFile source(L"twice");
    source.Write(PatternBytes(50000));
    std::atomic<size_t> received{0};
    LoopbackServer server([&](SOCKET s) { received += LoopbackServer::ReadAll(s).size(); });
    CTwiceStartedDlg dlg;
    UploadTo(dlg, server.Port(), source.Path());
    EXPECT_EQ(dlg.DoModal(), IDOK);
    EXPECT_TRUE(WaitUntil([&] { return received.load() >= 260u + 50000u; }));
    EXPECT_EQ(server.Accepted(), 1);
    EXPECT_EQ(received.load(), 260u + 50000u);
}

} // namespace
