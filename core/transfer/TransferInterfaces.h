#pragma once

// What a transfer worker needs from the platform: one stream socket, one local file, and someone to
// tell what happens. The workers themselves (TransferWorker.h) are portable.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace dravel {

// A blocking stream socket owned by one worker. Only Abort may be called from another thread.
class TransferSocket {
public:
    virtual ~TransferSocket() = default;
    // Connects to host:port; false if the server cannot be reached (or Abort was called).
    virtual bool Connect(const std::string& strHost, uint16_t nPort) = 0;
    // Sends up to nSize bytes: the number sent (at least 1), or -1 on error.
    virtual long Send(const char* pData, size_t nSize) = 0;
    // Receives up to nSize bytes: the number received, 0 when the peer closed, -1 on error.
    virtual long Receive(char* pData, size_t nSize) = 0;
    // The system error of the last failed call.
    virtual int LastError() const = 0;
    virtual void Close() = 0;
    // Any thread: a pending or later Connect, Send or Receive fails promptly.
    virtual void Abort() = 0;
};

// The local file of one transfer.
class TransferFile {
public:
    virtual ~TransferFile() = default;
    // For an upload: read-only, others may go on reading and writing it.
    virtual bool OpenForReading() = 0;
    // For a download: created empty (an existing file is emptied), not shared.
    virtual bool CreateForWriting() = 0;
    virtual std::optional<int64_t> Size() = 0;
    // Up to nSize bytes: the number read, 0 at the end, -1 on error.
    virtual long Read(char* pData, size_t nSize) = 0;
    // All nSize bytes or false.
    virtual bool Write(const char* pData, size_t nSize) = 0;
    // False if data written could not be flushed. Safe to call when nothing is open.
    virtual bool Close() = 0;
    // Deletes the file (after Close): a partial download must not stay under the file's name.
    virtual bool Remove() = 0;
    // The path and the last system error, for traces.
    virtual std::string Describe() const = 0;
    virtual int LastError() const = 0;
    virtual std::string LastErrorText() const = 0;
};

struct TransferOutcome;

// Told about the transfer in this order: started, then either connect-failed (the end) or connected,
// any progress and event counts, and finished. All calls come from the worker's thread.
class TransferObserver {
public:
    virtual ~TransferObserver() = default;
    virtual void OnStarted() = 0;
    virtual void OnConnectFailed() = 0;
    virtual void OnConnected() = 0;
    // A send or receive moved fewer bytes than asked for; nCount is the new total of such events.
    virtual void OnEventsChanged(int32_t nCount) = 0;
    virtual void OnProgress(int nPosition) = 0;
    virtual void OnFinished(const TransferOutcome& outcome) = 0;
    // Diagnostics only; never shown to the user.
    virtual void OnTrace(std::string_view text) = 0;
};

} // namespace dravel
