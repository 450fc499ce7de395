// The job message pipe: a FIFO in the user's runtime folder (VendorPaths.h)
// that carries whole 1564-byte job message records from the driver to the
// program capturing them. Each record travels with the page values the
// driver had set when it sent it (8 bytes behind the record), so a program
// that reads late still learns which page a message was about.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/vendor/JobMessage.h"
#include "platform/vendor/PrinterSettings.h"

namespace sw::vendor {

// A record and the page values N and F at the time it was sent, as the pipe
// carries them: the record, then N and F as 32-bit little-endian values.
inline constexpr std::size_t kJobMessageFrameSize = kJobMessageSize + 8;

struct CapturedJobMessage {
    JobMessageRecord record;
    PageValues values;
};

std::array<std::uint8_t, kJobMessageFrameSize> EncodeJobMessageFrame(const JobMessageRecord& record,
                                                                     PageValues values);

// The capturing side, in the user's session. Starting it (re)creates the
// FIFO with mode 0600; ending it removes the FIFO when it is still its own.
class JobMessageCapture {
public:
    // Message types delivered by default, one bit each: 1 started, 2 page
    // printed, 4 ended, 8 aborted. 15 delivers all four.
    static constexpr std::uint32_t kAllMessages = 15;

    // Listens on the pipe of `pipeName` ("\\.\pipe\NAME" or NAME) for the
    // calling user. Null, with the reason in `error`, when it cannot.
    static std::unique_ptr<JobMessageCapture> Start(const std::wstring& pipeName, std::string* error);
    ~JobMessageCapture();
    JobMessageCapture(const JobMessageCapture&) = delete;
    JobMessageCapture& operator=(const JobMessageCapture&) = delete;

    // Chooses which message types Read delivers (bits as above).
    void SetOptions(std::uint32_t typeMask) { mask_ = typeMask; }
    // Readable when records wait, for an event loop.
    int Descriptor() const { return fd_; }
    const std::string& Path() const { return path_; }
    // Waits up to `timeoutMs` (-1: no limit) for data; true when some came.
    bool Wait(int timeoutMs) const;
    // Every whole record that has arrived, in order; records of types not
    // chosen are dropped.
    std::vector<JobMessageRecord> Read();
    // The same with the page values each was sent with.
    std::vector<CapturedJobMessage> ReadMessages();

private:
    JobMessageCapture() = default;
    int fd_ = -1;
    dev_t device_ = 0;
    ino_t inode_ = 0;
    std::uint32_t mask_ = kAllMessages;
    std::string path_;
    std::vector<std::uint8_t> pending_;
};

// The driver's side: posts records to the pipe of one user. It never
// blocks a job for long: with nobody listening a record is dropped.
class JobMessagePoster {
public:
    // `listenerWaitMs`: how long the first post waits for a listener.
    JobMessagePoster(uid_t uid, const std::wstring& pipeName, long listenerWaitMs);
    ~JobMessagePoster();
    JobMessagePoster(const JobMessagePoster&) = delete;
    JobMessagePoster& operator=(const JobMessagePoster&) = delete;

    // True when the record reached a listener. `values`: the page values
    // the driver has set for the job at this message.
    bool Post(const JobMessageRecord& record, PageValues values = {});
    const std::string& Path() const { return path_; }

private:
    bool Connect();
    uid_t uid_;
    std::string path_;
    long listenerWaitMs_;
    bool firstPost_ = true;
    int fd_ = -1;
};

}  // namespace sw::vendor
