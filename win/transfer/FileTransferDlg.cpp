#include "win/transfer/FileTransferDlg.h"

#include "win/base/Debug.h"
#include "win/base/MessageBox.h"
#include "win/base/Messages.h"
#include "win/base/Text.h"
#include "win/base/Winsock.h"
#include "win/res/resource.h"
#include "win/transfer/Win32TransferFile.h"
#include "win/transfer/WinsockTransferSocket.h"

#include <commctrl.h>

#include <string>

namespace dravel::win {

namespace {

constexpr wchar_t kInvalidPathChars[] = L";*?\"<>|";

// Posts what the worker reports to its window and the positions to its bar; never calls the window.
// Before it reports its end it marks itself ended: the window waits for the thread only then.
class CWindowObserver final : public TransferObserver {
public:
    CWindowObserver(HWND hwnd, HWND hwndBar, UINT nMessage, std::atomic<int32_t>& nEventCount,
                    std::atomic<bool>& bEnded)
        : m_hwnd(hwnd), m_hwndBar(hwndBar), m_nMessage(nMessage), m_nEventCount(nEventCount), m_bEnded(bEnded) {}

    void OnStarted() override { Post(kTransferStarted); }
    void OnConnectFailed() override {
        m_bEnded = true;
        ::PostMessageW(m_hwnd, kTransferConnectFailedMessage, 0, 0);
    }
    void OnConnected() override { Post(kTransferConnected); }
    void OnEventsChanged(int32_t nCount) override {
        m_nEventCount = nCount;
        Post(kTransferEventsChanged);
    }
    void OnProgress(int nPosition) override { ::PostMessageW(m_hwndBar, PBM_SETPOS, nPosition, 0); }
    void OnFinished(const TransferOutcome&) override {
        m_bEnded = true;
        Post(kTransferFinished);
    }
    void OnTrace(std::string_view text) override { DebugTrace(Cp949ToWide(text)); }

private:
    void Post(WPARAM code) { ::PostMessageW(m_hwnd, m_nMessage, code, 0); }

    HWND m_hwnd;
    HWND m_hwndBar;
    UINT m_nMessage;
    std::atomic<int32_t>& m_nEventCount;
    std::atomic<bool>& m_bEnded;
};

} // namespace

// Everything the worker thread touches besides the window's event counter; it outlives the thread.
struct CFileTransferDlg::Job {
    bool bUpload = false;
    UploadRequest upload;
    DownloadRequest download;
    std::wstring strPath;
    HWND hwnd = nullptr;
    HWND hwndBar = nullptr;
    UINT nMessage = 0;
    std::atomic<int32_t>* pEventCount = nullptr;
    CWinsockTransferSocket socket;
    TransferOutcome outcome;
    // Set by the worker just before it reports its end; what is left of it then is its return.
    std::atomic<bool> bEnded{false};
};

bool IsFileTransferWindow(HWND hwnd) {
    return hwnd != nullptr && ::IsWindow(hwnd) &&
           reinterpret_cast<UINT_PTR>(::GetPropW(hwnd, kTransferWindowProperty)) == IDD_FILE_TRANSFER;
}

void CancelFileTransferWindow(HWND hwnd) {
    if (IsFileTransferWindow(hwnd))
        ::PostMessageW(hwnd, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
}

CFileTransferDlg::CFileTransferDlg() : CDialog(IDD_FILE_TRANSFER) {
    INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_PROGRESS_CLASS};
    ::InitCommonControlsEx(&icc);
    FileSendEventMessage();
    GetFileEventMessage();
}

CFileTransferDlg::~CFileTransferDlg() {
    JoinWorker(true);
}

bool CFileTransferDlg::IsWorkerRunning() const {
    return m_hWorker && ::WaitForSingleObject(m_hWorker.Get(), 0) == WAIT_TIMEOUT;
}

bool CFileTransferDlg::WorkerHasEnded() const {
    return m_pJob && m_hWorker && (m_pJob->bEnded.load() || !IsWorkerRunning());
}

INT_PTR CFileTransferDlg::DoModal(HWND parent) {
    m_outcome = TransferOutcome{};
    const INT_PTR result = CDialog::DoModal(parent);
    if (m_outcome.Complete())
        return IDOK;
    return result == IDOK ? IDCANCEL : result;
}

BOOL CFileTransferDlg::OnInitDialog() {
    ::SetPropW(m_hWnd, kTransferWindowProperty, reinterpret_cast<HANDLE>(static_cast<UINT_PTR>(IDD_FILE_TRANSFER)));
    SetDlgItemText(IDC_TRANSFER_PATH, m_strLocalPath);
    UpdateEventsLabel();
    const HWND hwndBar = GetDlgItem(IDC_TRANSFER_PROGRESS);
    ::SendMessageW(hwndBar, PBM_SETRANGE, 0, MAKELPARAM(0, kProgressSteps));
    ::SendMessageW(hwndBar, PBM_SETPOS, 0, 0);
    SetText(LoadResString(IsUpload() ? IDS_TRANSFER_SEND_TITLE : IDS_TRANSFER_RECEIVE_TITLE));
    PostMessage(kTransferStartMessage);
    return TRUE;
}

void CFileTransferDlg::UpdateEventsLabel() {
    const UINT label = IsUpload() ? IDS_TRANSFER_SEND_EVENTS : IDS_TRANSFER_RECEIVE_EVENTS;
    SetDlgItemText(IDC_TRANSFER_EVENTS, LoadResString(label) + std::to_wstring(m_nEventCount.load()));
}

void CFileTransferDlg::StartUpload() {
    if (m_pJob)
        return;
    const DWORD attributes = ::GetFileAttributesW(m_strLocalPath.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        const std::wstring text = LoadResString(IDS_TRANSFER_NO_FILE) + L"\n\"" + m_strLocalPath + L"\"";
        ::MessageBoxW(nullptr, text.c_str(), LoadResString(IDS_TRANSFER_NO_FILE_TITLE).c_str(), MB_OK | MB_ICONWARNING);
        return;
    }
    StartWorker();
}

void CFileTransferDlg::StartDownload() {
    if (m_pJob)
        return;
    // Colon and backslash are fine: the check runs on the whole path.
    if (m_strLocalPath.find_first_of(kInvalidPathChars) != std::wstring::npos) {
        const std::wstring text = LoadResString(IDS_TRANSFER_BAD_PATH) + L"\n" + m_strLocalPath + L"\n" +
                                  LoadResString(IDS_TRANSFER_BAD_PATH_ASK);
        ::MessageBoxW(nullptr, text.c_str(), LoadResString(IDS_TRANSFER_BAD_PATH_TITLE).c_str(),
                      MB_OK | MB_ICONWARNING);
        return;
    }
    StartWorker();
}

void CFileTransferDlg::StartWorker() {
    auto pJob = std::make_unique<Job>();
    pJob->bUpload = IsUpload();
    pJob->strPath = m_strLocalPath;
    pJob->hwnd = m_hWnd;
    pJob->hwndBar = GetDlgItem(IDC_TRANSFER_PROGRESS);
    pJob->nMessage = IsUpload() ? FileSendEventMessage() : GetFileEventMessage();
    pJob->pEventCount = &m_nEventCount;
    const bool bPortGiven = m_nPort > 0 && m_nPort <= 65535;
    if (pJob->bUpload) {
        pJob->upload.strHost = m_strServerHost;
        pJob->upload.nPort = bPortGiven ? static_cast<uint16_t>(m_nPort) : kUploadPort;
        pJob->upload.strLocalPath = WideToCp949(m_strLocalPath);
        pJob->upload.strOwnId = m_strOwnId;
        pJob->upload.strPeerId = m_strPeerId;
        pJob->upload.strStamp = m_strStamp;
    } else {
        pJob->download.strHost = m_strServerHost;
        pJob->download.nPort = bPortGiven ? static_cast<uint16_t>(m_nPort) : kDownloadPort;
    }
    m_nEventCount = 0;
    m_bStopRequested = false;

    // Suspended until its priority is set, so that no byte moves at normal priority.
    CKernelHandle hThread(
        ::CreateThread(nullptr, 0, &CFileTransferDlg::WorkerMain, pJob.get(), CREATE_SUSPENDED, nullptr));
    if (!hThread) {
        AppMessageBox(m_hWnd, LoadResString(IDS_TRANSFER_NOT_STARTED), MB_OK | MB_ICONWARNING);
        return;
    }
    ::SetThreadPriority(hThread.Get(), THREAD_PRIORITY_BELOW_NORMAL);
    m_pJob = std::move(pJob);
    m_hWorker = std::move(hThread);
    ::ResumeThread(m_hWorker.Get());
}

DWORD WINAPI CFileTransferDlg::WorkerMain(void* pParam) {
    auto* pJob = static_cast<Job*>(pParam);
    CWindowObserver observer(pJob->hwnd, pJob->hwndBar, pJob->nMessage, *pJob->pEventCount, pJob->bEnded);
    try {
        CWinsockInit winsock;
        if (!winsock.Ok()) {
            observer.OnStarted();
            observer.OnConnectFailed();
            return 0;
        }
        CWin32TransferFile file(pJob->strPath);
        pJob->outcome = pJob->bUpload ? SendFileToRemoteRecipient(pJob->upload, pJob->socket, file, observer)
                                      : GetFileFromRemoteSender(pJob->download, pJob->socket, file, observer);
    } catch (...) {
        TraceCaughtException(L"file transfer worker");
        pJob->outcome.status = TransferStatus::FileError;
        observer.OnFinished(pJob->outcome);
    }
    return 0;
}

void CFileTransferDlg::JoinWorker(bool bStop) {
    if (!m_hWorker)
        return;
    if (bStop && m_pJob)
        m_pJob->socket.Abort();
    ::WaitForSingleObject(m_hWorker.Get(), INFINITE);
    m_hWorker.Reset();
}

LRESULT CFileTransferDlg::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == kTransferStartMessage) {
        if (IsUpload())
            StartUpload();
        else
            StartDownload();
        return 0;
    }
    if (msg == kTransferConnectFailedMessage) {
        // Any program can post this: only a worker that has ended is waited for.
        if (WorkerHasEnded())
            OnConnectFailed();
        return 0;
    }
    if (msg != 0 && msg == (IsUpload() ? FileSendEventMessage() : GetFileEventMessage())) {
        OnWorkerEvent(wParam);
        return 0;
    }
    return CDialog::HandleMessage(msg, wParam, lParam);
}

void CFileTransferDlg::OnWorkerEvent(WPARAM code) {
    switch (code) {
    case kTransferStarted:
        ::EnableWindow(GetDlgItem(IDC_TRANSFER_PATH), FALSE);
        break;
    case kTransferEventsChanged:
        UpdateEventsLabel();
        break;
    case kTransferFinished: {
        // Any program can post the event too: a worker still running is left to run.
        if (!WorkerHasEnded())
            break;
        JoinWorker(false);
        m_outcome = m_pJob->outcome;
        m_pJob.reset();
        ::EnableWindow(GetDlgItem(IDC_TRANSFER_PATH), TRUE);
        ::SendMessageW(GetDlgItem(IDC_TRANSFER_PROGRESS), PBM_SETPOS, 0, 0);
        if (m_outcome.Complete()) {
            EndDialog(IDOK);
        } else if (m_bStopRequested) {
            EndDialog(IDCANCEL);
        } else {
            DebugTrace(Cp949ToWide(TransferStatusText(m_outcome.status)));
            AppMessageBox(m_hWnd, LoadResString(IsUpload() ? IDS_TRANSFER_SEND_FAILED : IDS_TRANSFER_RECEIVE_FAILED),
                          MB_OK | MB_ICONWARNING);
            EndDialog(kResultFailed);
        }
        break;
    }
    default:
        break;
    }
}

void CFileTransferDlg::OnConnectFailed() {
    // The worker has ended; it stays recorded, so the window does not start another one.
    JoinWorker(false);
    ::EnableWindow(GetDlgItem(IDC_TRANSFER_PATH), TRUE);
    if (m_pJob)
        m_outcome = m_pJob->outcome;
    AppMessageBox(m_hWnd, LoadResString(IDS_TRANSFER_CONNECT_FAILED), MB_OK);
}

void CFileTransferDlg::OnOK() {
    // There is no OK button: Enter must never report a transfer as done.
}

void CFileTransferDlg::OnCancel() {
    if (m_pJob && m_hWorker && !IsWorkerRunning()) {
        // Finished, but its last message is still queued: end as the transfer ended.
        m_bStopRequested = true;
        OnWorkerEvent(kTransferFinished);
        return;
    }
    if (IsWorkerRunning()) {
        // The window ends when the stopped worker reports that it has finished.
        if (!m_bStopRequested && m_pJob) {
            m_bStopRequested = true;
            m_pJob->socket.Abort();
        }
        return;
    }
    EndDialog(IDCANCEL);
}

void CFileTransferDlg::OnDestroy() {
    // Destroyed with its owner, or ended from outside, while the worker runs: stop it before the window
    // goes, and keep how it ended (a worker that finished before the stop may still have moved it all).
    JoinWorker(true);
    if (m_pJob)
        m_outcome = m_pJob->outcome;
    ::RemovePropW(m_hWnd, kTransferWindowProperty);
    CDialog::OnDestroy();
}

} // namespace dravel::win
