#include "core/transfer/TransferWorker.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <limits>
#include <vector>

namespace dravel {

namespace {

std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));

std::string Format(const char* format, ...) {
    char text[1024];
    va_list args;
    va_start(args, format);
    const int n = std::vsnprintf(text, sizeof(text), format, args);
    va_end(args);
    return n < 0 ? std::string() : std::string(text, std::min<size_t>(static_cast<size_t>(n), sizeof(text) - 1));
}

void TraceOpenError(TransferObserver& observer, const char* worker, const TransferFile& file) {
    observer.OnTrace(Format("%s encountered an error while opening the local file\n\tFile name = %s\n\tCause = "
                            "%s\n\tm_cause = %d\n\tm_IOsError = %d\n",
                            worker, file.Describe().c_str(), file.LastErrorText().c_str(), 0, file.LastError()));
}

void TraceSendError(TransferObserver& observer, const char* what, long nSent, int nError) {
    observer.OnTrace(Format("SendFileToRemoteRecipient returned a socket error while %s\n\tNumber of Bytes sent = "
                            "%ld\n\tGetLastError = %d\n",
                            what, nSent, nError));
}

void TraceReceiveError(TransferObserver& observer, const char* what, long nReceived, int nError) {
    observer.OnTrace(Format("GetFileFromRemoteSite returned a socket error while %s\n\tNumber of Bytes received "
                            "(zero means connection was closed) = %ld\n\tGetLastError = %d\n",
                            what, nReceived, nError));
}

// Sends the whole block; counts every send that moved less than it was asked to.
bool SendAll(TransferSocket& socket, const char* pData, size_t nSize, TransferOutcome* pCount,
             TransferObserver& observer, long& nFailedResult) {
    size_t nDone = 0;
    while (nDone < nSize) {
        const size_t nWant = nSize - nDone;
        const long nSent = socket.Send(pData + nDone, nWant);
        if (nSent <= 0) {
            nFailedResult = nSent;
            return false;
        }
        const size_t nMoved = std::min(static_cast<size_t>(nSent), nWant);
        if (pCount != nullptr) {
            pCount->nMoved += static_cast<int64_t>(nMoved);
            if (nMoved < nWant)
                observer.OnEventsChanged(++pCount->nEvents);
        }
        nDone += nMoved;
    }
    return true;
}

} // namespace

const char* TransferStatusText(TransferStatus status) noexcept {
    switch (status) {
    case TransferStatus::Complete:
        return "complete";
    case TransferStatus::NotConnected:
        return "server not reachable";
    case TransferStatus::NameTooLong:
        return "remote file name too long";
    case TransferStatus::FileError:
        return "local file error";
    case TransferStatus::FileTooLarge:
        return "file too large";
    case TransferStatus::FileShrank:
        return "file shorter than announced";
    case TransferStatus::SendError:
        return "send error";
    case TransferStatus::ReceiveError:
        return "receive error";
    case TransferStatus::ClosedEarly:
        return "connection closed early";
    case TransferStatus::BadLength:
        return "invalid length from the server";
    }
    return "unknown";
}

TransferOutcome SendFileToRemoteRecipient(const UploadRequest& request, TransferSocket& socket, TransferFile& file,
                                          TransferObserver& observer) {
    TransferOutcome outcome;
    observer.OnStarted();

    // Refused before any connection: the server would store the file under a cut-off name.
    const std::optional<std::string> remoteName =
        RemoteFileName(request.strOwnId, request.strPeerId, request.strLocalPath, request.strStamp);
    if (!remoteName) {
        observer.OnTrace("SendFileToRemoteRecipient: the remote file name does not fit 255 bytes\n");
        outcome.status = TransferStatus::NameTooLong;
        observer.OnFinished(outcome);
        return outcome;
    }

    if (!socket.Connect(request.strHost, request.nPort)) {
        outcome.status = TransferStatus::NotConnected;
        socket.Close();
        observer.OnConnectFailed();
        return outcome;
    }
    observer.OnConnected();

    auto finish = [&](TransferStatus status) {
        outcome.status = status;
        file.Close();
        socket.Close();
        observer.OnFinished(outcome);
        return outcome;
    };

    if (!file.OpenForReading()) {
        TraceOpenError(observer, "SendFileToRemoteRecipient", file);
        return finish(TransferStatus::FileError);
    }
    const std::optional<int64_t> size = file.Size();
    if (!size) {
        TraceOpenError(observer, "SendFileToRemoteRecipient", file);
        return finish(TransferStatus::FileError);
    }
    const std::optional<UploadHeader> header = BuildUploadHeader(*size, *remoteName);
    if (!header) {
        observer.OnTrace(Format("SendFileToRemoteRecipient: %lld bytes do not fit the length field\n",
                                static_cast<long long>(*size)));
        return finish(TransferStatus::FileTooLarge);
    }
    const int64_t nTotal = *size;
    outcome.nTotal = nTotal;

    long nFailed = 0;
    if (!SendAll(socket, reinterpret_cast<const char*>(header->data()), header->size(), nullptr, observer, nFailed)) {
        TraceSendError(observer, "sending file length", nFailed, socket.LastError());
        return finish(TransferStatus::SendError);
    }

    std::vector<char> buffer(kTransferChunkSize);
    CTransferProgress progress(nTotal);
    observer.OnProgress(0);
    while (outcome.nMoved < nTotal) {
        // Never more than announced, even if the file grew since its size was taken.
        const size_t nWant = static_cast<size_t>(std::min<int64_t>(nTotal - outcome.nMoved, kTransferChunkSize));
        const long nRead = file.Read(buffer.data(), nWant);
        if (nRead < 0) {
            TraceOpenError(observer, "SendFileToRemoteRecipient", file);
            return finish(TransferStatus::FileError);
        }
        if (nRead == 0) {
            // The file shrank while it was being sent: the announced length can no longer be met.
            observer.OnTrace(Format("SendFileToRemoteRecipient: the file ended after %lld of %lld bytes\n",
                                    static_cast<long long>(outcome.nMoved), static_cast<long long>(nTotal)));
            return finish(TransferStatus::FileShrank);
        }
        if (!SendAll(socket, buffer.data(), static_cast<size_t>(nRead), &outcome, observer, nFailed)) {
            TraceSendError(observer, "sending chunked file data", nFailed, socket.LastError());
            return finish(TransferStatus::SendError);
        }
        if (const std::optional<int> position = progress.Advance(outcome.nMoved))
            observer.OnProgress(*position);
    }
    return finish(TransferStatus::Complete);
}

TransferOutcome GetFileFromRemoteSender(const DownloadRequest& request, TransferSocket& socket, TransferFile& file,
                                        TransferObserver& observer) {
    TransferOutcome outcome;
    observer.OnStarted();

    if (!socket.Connect(request.strHost, request.nPort)) {
        outcome.status = TransferStatus::NotConnected;
        socket.Close();
        observer.OnConnectFailed();
        return outcome;
    }
    observer.OnConnected();

    bool bCreated = false;
    auto finish = [&](TransferStatus status) {
        outcome.status = status;
        if (bCreated) {
            const bool bFlushed = file.Close();
            if (status == TransferStatus::Complete && !bFlushed) {
                TraceOpenError(observer, "GetFileFromRemoteSender", file);
                outcome.status = TransferStatus::FileError;
            }
            if (!outcome.Complete())
                file.Remove();
        }
        socket.Close();
        observer.OnFinished(outcome);
        return outcome;
    };

    if (!file.CreateForWriting()) {
        TraceOpenError(observer, "GetFileFromRemoteSender", file);
        return finish(TransferStatus::FileError);
    }
    bCreated = true;

    uint8_t lengthBytes[kLengthFieldSize];
    size_t nHave = 0;
    while (nHave < kLengthFieldSize) {
        const long n = socket.Receive(reinterpret_cast<char*>(lengthBytes) + nHave, kLengthFieldSize - nHave);
        if (n <= 0) {
            TraceReceiveError(observer, "getting file length", n, n == 0 ? 0 : socket.LastError());
            return finish(n == 0 ? TransferStatus::ClosedEarly : TransferStatus::ReceiveError);
        }
        nHave += static_cast<size_t>(n);
    }
    const int32_t nLength = ReadLength(lengthBytes);
    if (nLength < 0) {
        observer.OnTrace(Format("GetFileFromRemoteSender: the server announced %d bytes\n", nLength));
        return finish(TransferStatus::BadLength);
    }
    const int64_t nTotal = nLength;
    outcome.nTotal = nTotal;

    CTransferProgress progress(nTotal);
    observer.OnProgress(0);
    std::vector<char> buffer(kTransferChunkSize);
    while (outcome.nMoved < nTotal) {
        const size_t nWant = static_cast<size_t>(std::min<int64_t>(nTotal - outcome.nMoved, kTransferChunkSize));
        const long n = socket.Receive(buffer.data(), nWant);
        if (n <= 0) {
            TraceReceiveError(observer, "getting chunked file data", n, n == 0 ? 0 : socket.LastError());
            return finish(n == 0 ? TransferStatus::ClosedEarly : TransferStatus::ReceiveError);
        }
        const size_t nGot = std::min(static_cast<size_t>(n), nWant);
        if (nGot < nWant)
            observer.OnEventsChanged(++outcome.nEvents);
        if (!file.Write(buffer.data(), nGot)) {
            TraceOpenError(observer, "GetFileFromRemoteSender", file);
            return finish(TransferStatus::FileError);
        }
        outcome.nMoved += static_cast<int64_t>(nGot);
        if (const std::optional<int> position = progress.Advance(outcome.nMoved))
            observer.OnProgress(*position);
    }
    return finish(TransferStatus::Complete);
}

} // namespace dravel
