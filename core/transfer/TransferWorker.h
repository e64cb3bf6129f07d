#pragma once

// The two file-transfer workers. Each runs one transfer to its end on the calling thread, moving the
// data in 4096-byte chunks through one buffer, and reports to its observer. The outcome says whether
// the whole file moved: a transfer that stopped early is never reported as complete.

#include "core/transfer/TransferInterfaces.h"
#include "core/transfer/TransferProtocol.h"

#include <cstdint>
#include <string>

namespace dravel {

enum class TransferStatus {
    Complete,
    NotConnected, // the server could not be reached; the observer is not told "finished"
    NameTooLong,  // the remote name does not fit its 255 bytes; nothing was connected
    FileError,    // the local file could not be opened, created, read or written
    FileTooLarge, // more than the 32-bit length field can announce
    FileShrank,   // the file ended before the length that was announced
    SendError,
    ReceiveError,
    ClosedEarly, // the server closed before every byte had arrived
    BadLength,   // the server announced a negative length
};

struct TransferOutcome {
    TransferStatus status = TransferStatus::NotConnected;
    int64_t nTotal = -1; // the length announced in the header, -1 until known
    int64_t nMoved = 0;  // file bytes sent or received
    int32_t nEvents = 0; // short sends or receives

    bool Complete() const noexcept { return status == TransferStatus::Complete && nMoved == nTotal; }
};

const char* TransferStatusText(TransferStatus status) noexcept;

struct UploadRequest {
    std::string strHost;
    uint16_t nPort = kUploadPort;
    std::string strLocalPath; // 949 text; its file name part goes into the remote name
    std::string strOwnId;
    std::string strPeerId;
    std::string strStamp;
};

struct DownloadRequest {
    std::string strHost;
    uint16_t nPort = kDownloadPort;
};

TransferOutcome SendFileToRemoteRecipient(const UploadRequest& request, TransferSocket& socket, TransferFile& file,
                                          TransferObserver& observer);

// A download that does not complete removes what it wrote.
TransferOutcome GetFileFromRemoteSender(const DownloadRequest& request, TransferSocket& socket, TransferFile& file,
                                        TransferObserver& observer);

} // namespace dravel
