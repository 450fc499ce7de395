#include "platform/calc/io/AtomicFile.h"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <random>

namespace calc::io {
namespace {

std::string FolderOf(const std::string& path) {
    size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string SystemError(int err) {
    return std::strerror(err);
}

}  // namespace

std::string CreateSiblingTempFile(const std::string& path, std::string* error) {
    static std::atomic<unsigned> counter{0};
    std::random_device rd;
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string name = path + ".tmp" + std::to_string(::getpid()) + "-" + std::to_string(counter++) +
                           "-" + std::to_string(rd() % 1000000);
        // 0666 so the finished file gets the permissions the user's umask allows.
        int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) {
            ::close(fd);
            return name;
        }
        if (errno != EEXIST) {
            *error = "Cannot create a file in the folder " + FolderOf(path) + ": " + SystemError(errno) + ".";
            return std::string();
        }
    }
    *error = "Cannot create a temporary file in the folder " + FolderOf(path) + ".";
    return std::string();
}

bool CommitTempFile(const std::string& tempPath, const std::string& path, std::string* error) {
    if (std::rename(tempPath.c_str(), path.c_str()) != 0) {
        int err = errno;
        std::remove(tempPath.c_str());
        *error = "Cannot replace " + path + ": " + SystemError(err) + ".";
        return false;
    }
    return true;
}

bool WriteFileAtomically(const std::string& path, const std::function<bool(std::FILE*, std::string*)>& fill,
                         std::string* error) {
    std::string temp = CreateSiblingTempFile(path, error);
    if (temp.empty()) {
        return false;
    }
    std::FILE* f = std::fopen(temp.c_str(), "wb");
    if (!f) {
        *error = "Cannot write " + temp + ": " + SystemError(errno) + ".";
        std::remove(temp.c_str());
        return false;
    }
    static constexpr size_t kBuffer = 1 << 20;
    std::setvbuf(f, nullptr, _IOFBF, kBuffer);
    bool ok = fill(f, error);
    if (ok && std::fflush(f) != 0) {
        *error = "Cannot write " + path + ": " + SystemError(errno) + ".";
        ok = false;
    }
    if (ok && ::fsync(::fileno(f)) != 0) {
        *error = "Cannot write " + path + " to disk: " + SystemError(errno) + ".";
        ok = false;
    }
    if (std::fclose(f) != 0 && ok) {
        *error = "Cannot write " + path + ": " + SystemError(errno) + ".";
        ok = false;
    }
    if (!ok) {
        std::remove(temp.c_str());
        return false;
    }
    return CommitTempFile(temp, path, error);
}

}  // namespace calc::io
