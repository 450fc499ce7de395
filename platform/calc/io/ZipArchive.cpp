#include "platform/calc/io/ZipArchive.h"

#include <zip.h>

#include <algorithm>

#include "platform/calc/io/ParallelDeflate.h"

namespace calc::io {
namespace {

// minizip reaches the file through these: the archive neither opens nor
// closes it, so the caller can flush it to disk and rename it afterwards.
voidpf OpenFile(voidpf opaque, const void*, int) {
    return opaque;
}
uLong ReadFile(voidpf, voidpf stream, void* buf, uLong size) {
    return std::fread(buf, 1, size, static_cast<std::FILE*>(stream));
}
uLong WriteFile(voidpf, voidpf stream, const void* buf, uLong size) {
    return std::fwrite(buf, 1, size, static_cast<std::FILE*>(stream));
}
ZPOS64_T TellFile(voidpf, voidpf stream) {
    const off_t at = ::ftello(static_cast<std::FILE*>(stream));
    return at < 0 ? static_cast<ZPOS64_T>(-1) : static_cast<ZPOS64_T>(at);
}
long SeekFile(voidpf, voidpf stream, ZPOS64_T offset, int origin) {
    int whence = SEEK_SET;
    if (origin == ZLIB_FILEFUNC_SEEK_CUR) {
        whence = SEEK_CUR;
    } else if (origin == ZLIB_FILEFUNC_SEEK_END) {
        whence = SEEK_END;
    }
    return ::fseeko(static_cast<std::FILE*>(stream), static_cast<off_t>(offset), whence) == 0 ? 0 : -1;
}
int CloseFile(voidpf, voidpf) {
    return 0;
}
int FileError(voidpf, voidpf stream) {
    return std::ferror(static_cast<std::FILE*>(stream));
}

}  // namespace

ZipArchive::ZipArchive(std::FILE* file) {
    zlib_filefunc64_def io{};
    io.zopen64_file = OpenFile;
    io.zread_file = ReadFile;
    io.zwrite_file = WriteFile;
    io.ztell64_file = TellFile;
    io.zseek64_file = SeekFile;
    io.zclose_file = CloseFile;
    io.zerror_file = FileError;
    io.opaque = file;
    zip_ = zipOpen2_64("", APPEND_STATUS_CREATE, nullptr, &io);
    ok_ = zip_ != nullptr;
}

ZipArchive::~ZipArchive() {
    if (zip_) {
        zipClose(zip_, nullptr);
    }
}

bool ZipArchive::beginEntry(const std::string& name, bool large) {
    if (!ok_) {
        return false;
    }
    // A fixed time stamp (1 January 1980, the format's first day): saving
    // the same sheet twice gives the same bytes.
    zip_fileinfo info{};
    info.tmz_date.tm_mday = 1;
    info.tmz_date.tm_year = 1980;
    ok_ = zipOpenNewFileInZip3_64(zip_, name.c_str(), &info, nullptr, 0, nullptr, 0, nullptr, Z_DEFLATED, 1,
                                  /*raw=*/1, -MAX_WBITS, DEF_MEM_LEVEL, Z_DEFAULT_STRATEGY, nullptr, 0,
                                  large ? 1 : 0) == ZIP_OK;
    return ok_;
}

bool ZipArchive::writeDeflated(const uint8_t* data, size_t size) {
    while (ok_ && size > 0) {
        const auto n = static_cast<unsigned>(std::min<size_t>(size, 1u << 30));
        ok_ = zipWriteInFileInZip(zip_, data, n) == ZIP_OK;
        data += n;
        size -= n;
    }
    return ok_;
}

bool ZipArchive::endEntry(uint64_t size, uint32_t crc) {
    if (ok_) {
        ok_ = zipCloseFileInZipRaw64(zip_, size, crc) == ZIP_OK;
    }
    return ok_;
}

bool ZipArchive::addEntry(const std::string& name, std::string_view data) {
    if (!beginEntry(name, data.size() >= 0xFFFFFFFFu)) {
        return false;
    }
    ParallelDeflate deflate([this](const uint8_t* p, size_t n) { return writeDeflated(p, n); });
    deflate.write(data);
    return deflate.finish() && endEntry(deflate.size(), deflate.crc());
}

bool ZipArchive::close() {
    if (!zip_) {
        return false;
    }
    const bool closed = zipClose(zip_, nullptr) == ZIP_OK;
    zip_ = nullptr;
    ok_ = ok_ && closed;
    return ok_;
}

}  // namespace calc::io
