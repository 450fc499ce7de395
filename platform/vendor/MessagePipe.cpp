#include "platform/vendor/MessagePipe.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>

#include "platform/vendor/VendorPaths.h"

namespace sw::vendor {

namespace {

constexpr int kWriteWaitMs = 2000;

// Writes without letting a vanished reader raise SIGPIPE in the caller: the
// signal is blocked for the write and a pending one is taken back.
ssize_t WriteQuietly(int fd, const void* data, std::size_t size) {
    sigset_t pipe;
    sigset_t old;
    sigemptyset(&pipe);
    sigaddset(&pipe, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &pipe, &old);
    const ssize_t n = ::write(fd, data, size);
    const int saved = errno;
    if (n < 0 && saved == EPIPE) {
        const timespec none{0, 0};
        sigtimedwait(&pipe, nullptr, &none);
    }
    pthread_sigmask(SIG_SETMASK, &old, nullptr);
    errno = saved;
    return n;
}

bool TypeChosen(std::uint32_t mask, std::uint32_t type) {
    switch (type) {
        case kJobStarted:
            return (mask & 1U) != 0;
        case kPagePrinted:
            return (mask & 2U) != 0;
        case kJobEnded:
            return (mask & 4U) != 0;
        case kJobAborted:
            return (mask & 8U) != 0;
        default:
            return true;  // the receiver decides what an unknown type means
    }
}

}  // namespace

std::unique_ptr<JobMessageCapture> JobMessageCapture::Start(const std::wstring& pipeName,
                                                            std::string* error) {
    std::string ignored;
    std::string& why = error != nullptr ? *error : ignored;
    const uid_t uid = ::getuid();
    if (!EnsureRuntimeFolder(uid, &why)) {
        return nullptr;
    }
    std::unique_ptr<JobMessageCapture> capture(new JobMessageCapture());
    capture->path_ = PipePath(uid, pipeName);
    ::unlink(capture->path_.c_str());
    if (::mkfifo(capture->path_.c_str(), 0600) != 0) {
        why = "cannot create the message pipe " + capture->path_ + ": " + std::strerror(errno);
        return nullptr;
    }
    // Opened for reading and writing, so the pipe never reads as ended
    // between two writers.
    capture->fd_ = ::open(capture->path_.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC | O_NOFOLLOW);
    struct stat st {};
    if (capture->fd_ < 0 || ::fstat(capture->fd_, &st) != 0 || !S_ISFIFO(st.st_mode)) {
        why = "cannot open the message pipe " + capture->path_ + ": " + std::strerror(errno);
        return nullptr;
    }
    capture->device_ = st.st_dev;
    capture->inode_ = st.st_ino;
    return capture;
}

JobMessageCapture::~JobMessageCapture() {
    if (fd_ >= 0) {
        struct stat st {};
        if (::lstat(path_.c_str(), &st) == 0 && st.st_dev == device_ && st.st_ino == inode_) {
            ::unlink(path_.c_str());
        }
        ::close(fd_);
    }
}

bool JobMessageCapture::Wait(int timeoutMs) const {
    pollfd p{fd_, POLLIN, 0};
    int rc = 0;
    do {
        rc = ::poll(&p, 1, timeoutMs);
    } while (rc < 0 && errno == EINTR);
    return rc > 0 && (p.revents & POLLIN) != 0;
}

std::array<std::uint8_t, kJobMessageFrameSize> EncodeJobMessageFrame(const JobMessageRecord& record,
                                                                     PageValues values) {
    std::array<std::uint8_t, kJobMessageFrameSize> frame{};
    const auto bytes = EncodeJobMessage(record);
    std::copy(bytes.begin(), bytes.end(), frame.begin());
    for (std::size_t i = 0; i < 4; ++i) {
        frame[kJobMessageSize + i] = static_cast<std::uint8_t>(values.n >> (8 * i));
        frame[kJobMessageSize + 4 + i] = static_cast<std::uint8_t>(values.f >> (8 * i));
    }
    return frame;
}

std::vector<CapturedJobMessage> JobMessageCapture::ReadMessages() {
    std::uint8_t buffer[16 * kJobMessageFrameSize];
    for (;;) {
        const ssize_t n = ::read(fd_, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            break;
        }
        pending_.insert(pending_.end(), buffer, buffer + n);
    }
    std::vector<CapturedJobMessage> messages;
    std::size_t used = 0;
    for (; pending_.size() - used >= kJobMessageFrameSize; used += kJobMessageFrameSize) {
        CapturedJobMessage message{DecodeJobMessage(pending_.data() + used), {}};
        message.values.n = DevModeValue(pending_.data() + used, kJobMessageSize);
        message.values.f = DevModeValue(pending_.data() + used, kJobMessageSize + 4);
        if (TypeChosen(mask_, message.record.type)) {
            messages.push_back(message);
        }
    }
    pending_.erase(pending_.begin(), pending_.begin() + static_cast<std::ptrdiff_t>(used));
    return messages;
}

std::vector<JobMessageRecord> JobMessageCapture::Read() {
    std::vector<JobMessageRecord> records;
    for (const auto& message : ReadMessages()) {
        records.push_back(message.record);
    }
    return records;
}

JobMessagePoster::JobMessagePoster(uid_t uid, const std::wstring& pipeName, long listenerWaitMs)
    : uid_(uid), path_(PipePath(uid, pipeName)), listenerWaitMs_(listenerWaitMs) {}

JobMessagePoster::~JobMessagePoster() {
    if (fd_ >= 0) {
        ::close(fd_);
    }
}

bool JobMessagePoster::Connect() {
    if (fd_ >= 0) {
        return true;
    }
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(firstPost_ ? listenerWaitMs_ : 0);
    firstPost_ = false;
    for (;;) {
        // Non-blocking: with no reader the open fails (ENXIO) instead of waiting.
        const int fd = ::open(path_.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC | O_NOFOLLOW);
        if (fd >= 0) {
            struct stat st {};
            // Only a FIFO of the job's owner: nothing else receives the records.
            if (::fstat(fd, &st) == 0 && S_ISFIFO(st.st_mode) && st.st_uid == uid_) {
                fd_ = fd;
                return true;
            }
            ::close(fd);
            return false;
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
}

bool JobMessagePoster::Post(const JobMessageRecord& record, PageValues values) {
    if (!Connect()) {
        return false;
    }
    const auto bytes = EncodeJobMessageFrame(record, values);
    // A frame is smaller than PIPE_BUF, so it goes in whole or not at all.
    for (;;) {
        const ssize_t n = WriteQuietly(fd_, bytes.data(), bytes.size());
        if (n == static_cast<ssize_t>(bytes.size())) {
            return true;
        }
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0 && errno == EAGAIN) {
            pollfd p{fd_, POLLOUT, 0};
            if (::poll(&p, 1, kWriteWaitMs) > 0 && (p.revents & POLLOUT) != 0) {
                continue;
            }
        }
        // The listener went away or stopped reading: later records try anew.
        ::close(fd_);
        fd_ = -1;
        return false;
    }
}

}  // namespace sw::vendor
