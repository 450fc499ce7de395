// A ZIP archive written into an open file, entry after entry, each entry's
// data handed over already deflated (the archive only frames it).
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

namespace calc::io {

class ZipArchive {
public:
    // Writes at the current position of `file`, which must be seekable: each
    // entry's header is completed once its data is known.
    explicit ZipArchive(std::FILE* file);
    ~ZipArchive();
    ZipArchive(const ZipArchive&) = delete;
    ZipArchive& operator=(const ZipArchive&) = delete;

    // `large`: the entry may pass 4 GiB, so its header keeps room for 64-bit sizes.
    bool beginEntry(const std::string& name, bool large);
    bool writeDeflated(const uint8_t* data, size_t size);
    // The CRC-32 and length of the entry's data before deflating.
    bool endEntry(uint64_t size, uint32_t crc);

    // Deflates `data` and stores it as one entry.
    bool addEntry(const std::string& name, std::string_view data);

    // Writes the central directory. False when any step failed.
    bool close();

private:
    void* zip_ = nullptr;
    bool ok_ = true;
};

}  // namespace calc::io
