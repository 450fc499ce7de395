// Finds content streams by the "stream" and "endstream" keywords alone, the
// way the extractor always has: the PDF object structure is never parsed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace sw::pdfunpack {

struct StreamLocation {
    std::size_t keywordOffset = 0;  // of "stream", from the start of the file
    std::size_t dataOffset = 0;     // first data byte, after the keyword's line end
    std::size_t dataLength = 0;     // up to the line end before "endstream"
    long objectNumber = -1;         // of the nearest "N G obj" before the keyword, -1 if none
    bool image = false;             // its dictionary says /Subtype /Image
};

enum class ScanStop {
    NotYet,
    NoMoreStreams,     // no further "stream": the normal end
    MissingEndstream,  // a "stream" with no "endstream" after it
    StreamAtStart,     // the remaining data begins with "stream"
    EndstreamFirst,    // the next "endstream" comes before the next "stream"
};

const char* ToString(ScanStop stop);

class StreamScanner {
public:
    explicit StreamScanner(std::span<const std::uint8_t> file) : file_(file) {}

    // The next stream, or false when the scan has stopped (see stop()).
    bool Next(StreamLocation& location);

    // The bytes zlib is given for a stream: its data and the byte after it.
    std::span<const std::uint8_t> InflateInput(const StreamLocation& location) const;

    ScanStop stop() const { return stop_; }
    // Where the scan stopped, from the start of the file.
    std::size_t stopOffset() const { return stopOffset_; }

private:
    std::span<const std::uint8_t> file_;
    std::size_t pos_ = 0;
    ScanStop stop_ = ScanStop::NotYet;
    std::size_t stopOffset_ = 0;
};

// Whether the dictionary in file[from, keyword), taken from its last "obj"
// on, declares an image: /Subtype followed by the name /Image.
bool DeclaresImage(std::span<const std::uint8_t> file, std::size_t from, std::size_t keyword);

// Object number of the last "N G obj" header that starts within a short
// distance before `offset`, or -1.
long ObjectNumberBefore(std::span<const std::uint8_t> file, std::size_t offset);

}  // namespace sw::pdfunpack
