#pragma once

// The small modal window that runs one file transfer: it checks the local path, starts the worker on
// a thread of its own, shows the path, a bar of 128 steps and the count of short sends or receives,
// and ends when the worker has finished.
//
// Result of DoModal: IDOK (1) only when the whole file moved; kResultFailed when the transfer ended
// without it (the user has been told); IDCANCEL when the user closed the window, also after stopping
// a running transfer. The window is never ended nor destroyed while its worker runs: closing it stops
// the worker first, and destruction waits for it.
//
// The window marks itself as FileTransferWindow.h describes, so that other code can tell it from other
// dialogs and cancel it instead of ending it.

#include "win/base/Dialog.h"
#include "win/base/Handles.h"
#include "win/base/Messages.h"
#include "win/transfer/FileTransferWindow.h"
#include "core/transfer/TransferWorker.h"

#include <atomic>
#include <memory>
#include <string>

namespace dravel::win {

// The codes the workers post to their window as the first parameter of its registered message
// (FileSendEventMessage, GetFileEventMessage in win/base/Messages.h).
inline constexpr WPARAM kTransferStarted = 1;
inline constexpr WPARAM kTransferFinished = 2;
inline constexpr WPARAM kTransferEventsChanged = 4;
inline constexpr WPARAM kTransferConnected = 8;

class CFileTransferDlg : public CDialog {
public:
    static constexpr INT_PTR kResultFailed = IDABORT;
    static constexpr int kUpload = 1;
    static constexpr int kDownload = 0;

    CFileTransferDlg();
    ~CFileTransferDlg() override;

    // Filled in by the caller before DoModal.
    int m_nDirection = kDownload;
    // The messenger server's host, which also takes the files (its conversation owner knows it).
    std::string m_strServerHost;
    // 0: the fixed port of the direction (8201 upload, 8202 download).
    int m_nPort = 0;
    std::wstring m_strLocalPath;
    std::string m_strStamp;  // upload only: the stamp cut as UploadStamp cuts it
    std::string m_strOwnId;  // upload only
    std::string m_strPeerId; // upload only

    // Each starts the worker unless one was started already; a missing file or an invalid download
    // path is reported in a message box and starts nothing.
    void StartUpload();
    void StartDownload();

    // Runs the window; IDOK only for a complete transfer, whatever ended the window. Anything that
    // ends it from outside with ::EndDialog(hwnd, IDOK) stops the worker and yields IDCANCEL.
    INT_PTR DoModal(HWND parent = nullptr);

    bool IsWorkerRunning() const;
    // How the last transfer ended (valid once the window has closed).
    const TransferOutcome& GetOutcome() const { return m_outcome; }

protected:
    LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;
    BOOL OnInitDialog() override;
    void OnOK() override;
    void OnCancel() override;
    void OnDestroy() override;

private:
    struct Job;
    static DWORD WINAPI WorkerMain(void* pParam);

    bool IsUpload() const { return m_nDirection == kUpload; }
    void StartWorker();
    // The worker has reported its end (or its thread is gone): waiting for it takes no time.
    bool WorkerHasEnded() const;
    void OnWorkerEvent(WPARAM code);
    void OnConnectFailed();
    void UpdateEventsLabel();
    // Waits for the worker thread to end; with bStop it is told to stop first.
    void JoinWorker(bool bStop);

    std::atomic<int32_t> m_nEventCount{0};
    std::unique_ptr<Job> m_pJob;
    CKernelHandle m_hWorker;
    bool m_bStopRequested = false;
    TransferOutcome m_outcome;
};

} // namespace dravel::win
