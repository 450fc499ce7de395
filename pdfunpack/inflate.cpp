#include "pdfunpack/inflate.h"

#include <zlib.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <stdexcept>

namespace sw::pdfunpack {

namespace {

constexpr std::size_t kChunk = 64 * 1024;
// zlib counts in 32-bit units; larger inputs are fed in slices.
constexpr std::size_t kMaxSlice = std::size_t{1} << 30;

}  // namespace

const char* ToString(InflateStatus status) {
    switch (status) {
        case InflateStatus::Complete:
            return "complete";
        case InflateStatus::Truncated:
            return "deflate data ends early";
        case InflateStatus::Corrupt:
            return "deflate data is corrupt";
        case InflateStatus::NotDeflate:
            return "not deflate data";
        case InflateStatus::NeedsDictionary:
            return "deflate data needs a preset dictionary";
        case InflateStatus::LimitReached:
            return "output limit reached";
    }
    return "unknown";
}

struct InflateStream::Impl {
    z_stream zs{};
    bool initialised = false;
    std::vector<std::uint8_t> chunk = std::vector<std::uint8_t>(kChunk);

    void Reset() {
        if (initialised) {
            inflateEnd(&zs);
            initialised = false;
        }
        std::memset(&zs, 0, sizeof zs);
    }
    ~Impl() { Reset(); }
};

InflateStream::InflateStream() : impl_(std::make_unique<Impl>()) {}

InflateStream::~InflateStream() = default;

InflateResult InflateStream::Run(std::span<const std::uint8_t> input, std::size_t limit, const Sink& sink) {
    Impl& im = *impl_;
    im.Reset();
    InflateResult result;
    if (inflateInit(&im.zs) != Z_OK) {
        result.status = InflateStatus::Corrupt;
        result.detail = "zlib could not be initialised";
        return result;
    }
    im.initialised = true;

    std::size_t consumed = 0;
    for (;;) {
        if (im.zs.avail_in == 0 && consumed < input.size()) {
            const std::size_t slice = std::min(kMaxSlice, input.size() - consumed);
            // zlib's input pointer is not const-qualified but it never writes through it.
            im.zs.next_in = const_cast<Bytef*>(input.data() + consumed);
            im.zs.avail_in = static_cast<uInt>(slice);
            consumed += slice;
        }
        const std::size_t room = std::min(kChunk, limit - result.produced);
        if (room == 0) {
            result.status = InflateStatus::LimitReached;
            break;
        }
        im.zs.next_out = im.chunk.data();
        im.zs.avail_out = static_cast<uInt>(room);
        const int rc = inflate(&im.zs, Z_NO_FLUSH);
        const std::size_t got = room - im.zs.avail_out;
        if (got > 0) {
            result.produced += got;
            sink(std::span<const std::uint8_t>(im.chunk.data(), got));
        }
        if (rc == Z_STREAM_END) {
            result.status = InflateStatus::Complete;
            break;
        }
        if (rc == Z_NEED_DICT) {
            result.status = InflateStatus::NeedsDictionary;
            break;
        }
        if (rc == Z_DATA_ERROR || rc == Z_STREAM_ERROR || rc == Z_MEM_ERROR) {
            const bool atHeader = im.zs.total_out == 0 && im.zs.total_in <= 2;
            result.status = atHeader ? InflateStatus::NotDeflate : InflateStatus::Corrupt;
            if (im.zs.msg != nullptr) {
                result.detail = im.zs.msg;
            }
            break;
        }
        // Z_OK or Z_BUF_ERROR: more room was given, so stalling means the input ran out.
        if (im.zs.avail_in == 0 && consumed == input.size() && got == 0) {
            result.status = im.zs.total_in == 0 ? InflateStatus::NotDeflate : InflateStatus::Truncated;
            break;
        }
    }
    im.Reset();
    return result;
}

std::vector<std::uint8_t> InflateToBuffer(std::span<const std::uint8_t> input, std::size_t limit,
                                          InflateResult* result) {
    std::vector<std::uint8_t> out;
    InflateStream stream;
    InflateResult r = stream.Run(input, limit, [&out](std::span<const std::uint8_t> chunk) {
        out.insert(out.end(), chunk.begin(), chunk.end());
    });
    if (result != nullptr) {
        *result = std::move(r);
    }
    return out;
}

}  // namespace sw::pdfunpack
