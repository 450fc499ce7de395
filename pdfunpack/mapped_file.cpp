#include "pdfunpack/mapped_file.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace sw::pdfunpack {

MappedFile::~MappedFile() {
    Close();
}

void MappedFile::Close() {
    if (mapping_ != nullptr) {
        munmap(mapping_, size_);
    }
    mapping_ = nullptr;
    data_ = nullptr;
    size_ = 0;
}

bool MappedFile::Open(const std::string& path) {
    Close();
    error_.clear();
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        error_ = std::strerror(errno);
        return false;
    }
    struct stat st {};
    if (fstat(fd, &st) != 0) {
        error_ = std::strerror(errno);
        ::close(fd);
        return false;
    }
    if (!S_ISREG(st.st_mode)) {
        error_ = "not a regular file";
        ::close(fd);
        return false;
    }
    if (st.st_size == 0) {
        ::close(fd);
        return true;
    }
    void* map = mmap(nullptr, static_cast<std::size_t>(st.st_size), PROT_READ, MAP_PRIVATE, fd, 0);
    const int mapErrno = errno;
    ::close(fd);
    if (map == MAP_FAILED) {
        error_ = std::strerror(mapErrno);
        return false;
    }
    madvise(map, static_cast<std::size_t>(st.st_size), MADV_SEQUENTIAL);
    mapping_ = map;
    data_ = static_cast<const std::uint8_t*>(map);
    size_ = static_cast<std::size_t>(st.st_size);
    return true;
}

}  // namespace sw::pdfunpack
