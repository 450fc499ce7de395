// Streaming zlib inflation of one PDF content stream.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace sw::pdfunpack {

enum class InflateStatus {
    Complete,         // the deflate stream ended with its checksum
    Truncated,        // the input ran out before the deflate stream ended
    Corrupt,          // zlib found invalid data after producing some output
    NotDeflate,       // no zlib stream at all: uncompressed data, images in other codings
    NeedsDictionary,  // a preset dictionary is required, which a PDF never supplies
    LimitReached,     // the output limit was reached before the end
};

struct InflateResult {
    InflateStatus status = InflateStatus::NotDeflate;
    std::size_t produced = 0;  // bytes handed to the sink
    std::string detail;        // zlib's own reason, when it gave one
};

const char* ToString(InflateStatus status);

// Owns one z_stream from init to end, so no exit path leaks zlib's state.
// Output goes to a sink in chunks; nothing ever holds a whole inflated stream,
// so memory stays bounded however far a stream expands.
class InflateStream {
public:
    using Sink = std::function<void(std::span<const std::uint8_t>)>;

    InflateStream();
    ~InflateStream();
    InflateStream(const InflateStream&) = delete;
    InflateStream& operator=(const InflateStream&) = delete;

    // Inflates `input` from its start, handing at most `limit` bytes to `sink`.
    // Bytes after the end of the deflate stream are ignored.
    InflateResult Run(std::span<const std::uint8_t> input, std::size_t limit, const Sink& sink);

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

// Convenience for callers that want the bytes: inflates into a buffer that
// grows as needed, up to `limit` bytes.
std::vector<std::uint8_t> InflateToBuffer(std::span<const std::uint8_t> input, std::size_t limit,
                                          InflateResult* result = nullptr);

}  // namespace sw::pdfunpack
