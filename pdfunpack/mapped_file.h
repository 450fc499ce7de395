// A whole input file as read-only bytes, mapped rather than copied so that a
// large PDF costs no heap memory.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace sw::pdfunpack {

class MappedFile {
public:
    MappedFile() = default;
    ~MappedFile();
    MappedFile(const MappedFile&) = delete;
    MappedFile& operator=(const MappedFile&) = delete;

    // False with a reason in error() when the file cannot be opened or mapped.
    bool Open(const std::string& path);

    std::span<const std::uint8_t> bytes() const { return {data_, size_}; }
    const std::string& error() const { return error_; }

private:
    void Close();

    const std::uint8_t* data_ = nullptr;
    std::size_t size_ = 0;
    void* mapping_ = nullptr;
    std::string error_;
};

}  // namespace sw::pdfunpack
