// Encrypted against plain file transfer, on the program's own transfer code (the core workers over the
// Winsock transfer socket, TLS by Schannel) under Windows or Wine. The far ends are servers of the
// caller's (tls-transfer-bench.sh: socat, plain and with OpenSSL), so only the client side differs
// between the two modes of each direction. Prints the best of each and their ratio (the plain mode as the baseline).
//
//   tls_transfer_bench.exe HOST SOURCE_FILE TARGET_FILE UPLOAD_PLAIN UPLOAD_TLS DOWNLOAD_PLAIN DOWNLOAD_TLS [RUNS]

#include "win/transfer/Win32TransferFile.h"
#include "win/transfer/WinsockTransferSocket.h"
#include "core/transfer/TransferWorker.h"
#include "bench/support/RatioReporter.h"

#include <winsock2.h>

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

using namespace dravel;
using namespace dravel::win;

namespace {

class CQuietObserver : public TransferObserver {
public:
    void OnStarted() override {}
    void OnConnectFailed() override {}
    void OnConnected() override {}
    void OnEventsChanged(int32_t) override {}
    void OnProgress(int) override {}
    void OnFinished(const TransferOutcome&) override {}
    void OnTrace(std::string_view) override {}
};

// Bytes per second of one transfer, or 0 when it did not complete.
double Run(bool bUpload, bool bEncrypted, const std::string& host, uint16_t port, const std::wstring& source,
           const std::wstring& target) {
    CWinsockTransferSocket socket(15000, 120000, bEncrypted);
    CQuietObserver observer;
    LARGE_INTEGER frequency;
    LARGE_INTEGER start;
    LARGE_INTEGER end;
    ::QueryPerformanceFrequency(&frequency);
    ::QueryPerformanceCounter(&start);
    TransferOutcome outcome;
    if (bUpload) {
        CWin32TransferFile file(source);
        UploadRequest request;
        request.strHost = host;
        request.nPort = port;
        request.strLocalPath = "bench.bin";
        request.strOwnId = "bench";
        request.strPeerId = "peer";
        request.strStamp = "202601010000";
        outcome = SendFileToRemoteRecipient(request, socket, file, observer);
    } else {
        CWin32TransferFile file(target);
        DownloadRequest request;
        request.strHost = host;
        request.nPort = port;
        outcome = GetFileFromRemoteSender(request, socket, file, observer);
    }
    ::QueryPerformanceCounter(&end);
    if (!outcome.Complete()) {
        std::fprintf(stderr, "%s %s: %s after %lld bytes (socket error %d)\n", bUpload ? "upload" : "download",
                     bEncrypted ? "tls" : "plain", TransferStatusText(outcome.status),
                     static_cast<long long>(outcome.nMoved), socket.LastError());
        return 0;
    }
    const double seconds = double(end.QuadPart - start.QuadPart) / double(frequency.QuadPart);
    return double(outcome.nMoved) / seconds;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 8) {
        std::fprintf(stderr,
                     "usage: tls_transfer_bench HOST SOURCE TARGET UP_PLAIN UP_TLS DOWN_PLAIN DOWN_TLS [RUNS]\n");
        return 2;
    }
    WSADATA wsa;
    if (::WSAStartup(MAKEWORD(2, 2), &wsa) != 0)
        return 2;
    std::wstring wideHost = argv[1];
    const std::string host(wideHost.begin(), wideHost.end());
    const std::wstring source = argv[2];
    const std::wstring target = argv[3];
    auto port = [&](int i) { return static_cast<uint16_t>(std::wcstoul(argv[i], nullptr, 10)); };
    const int runs = argc > 8 ? std::max(1, _wtoi(argv[8])) : 3;
    int failures = 0;
    std::vector<dravel::bench::RatioRow> rows;
    for (bool bUpload : {true, false}) {
        double best[2] = {0, 0};
        for (int run = 0; run < runs; ++run) {
            // Alternating, so that a change of the machine's load touches both modes alike.
            for (int mode = 0; mode < 2; ++mode) {
                const uint16_t p = bUpload ? port(4 + mode) : port(6 + mode);
                const double rate = Run(bUpload, mode == 1, host, p, source, target);
                if (rate == 0)
                    ++failures;
                best[mode] = std::max(best[mode], rate);
            }
        }
        rows.push_back({bUpload ? "upload" : "download", best[1] / 1e6, best[0] / 1e6});
    }
    dravel::bench::PrintRatioTable("Best of each mode: encrypted against plain", "TLS MB/s", "tls/plain", rows);
    ::WSACleanup();
    return failures == 0 ? 0 : 1;
}
