// Raw deflate of one long byte stream on several threads.
//
// The stream is cut into chunks of about a megabyte, each compressed on its
// own (primed with the 32 KB before it where that is at hand, so little is
// lost at the cuts) and ended on a byte boundary without the last-block mark,
// except the last one: joined in order, the pieces are one valid deflate
// stream, as parallel gzip tools make them. The caller fills the chunks, or
// hands over pieces for the workers to render; worker threads compress them
// while the caller goes on producing the next ones.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <functional>
#include <memory>
#include <string_view>

namespace calc::io {

class ParallelDeflate {
public:
    // Receives the compressed bytes in stream order; false stops the stream
    // (the destination could not take them).
    using Sink = std::function<bool(const uint8_t* data, size_t size)>;

    // `threads` workers at most, started when a second chunk is begun: a
    // stream that fits in one chunk is compressed on the calling thread.
    explicit ParallelDeflate(Sink sink, unsigned threads = DefaultThreads());
    ~ParallelDeflate();
    ParallelDeflate(const ParallelDeflate&) = delete;
    ParallelDeflate& operator=(const ParallelDeflate&) = delete;

    // Room for at least `n` bytes, valid until the next call; advance(k) keeps
    // the first k of them (k <= n).
    char* room(size_t n) {
        if (end_ - at_ < static_cast<std::ptrdiff_t>(n)) {
            nextChunk(n);
        }
        return at_;
    }
    void advance(size_t k) { at_ += k; }

    void write(const void* data, size_t n);
    void write(std::string_view s) { write(s.data(), s.size()); }

    // Appends a piece of the stream that `make` writes, later, on a worker
    // thread: the caller hands over what is costly to render and goes on.
    // `make` gets room for `bound` bytes and returns how many it wrote.
    // Pieces keep their place in the stream.
    using Maker = std::function<size_t(uint8_t* piece)>;
    void defer(size_t bound, Maker make);

    // Compresses the rest and ends the stream. False when the sink refused
    // bytes or compression failed; the stream is unusable afterwards either way.
    bool finish();

    // Of the whole stream, once finished: CRC-32 and length of the input,
    // length of the output.
    uint32_t crc() const { return crc_; }
    uint64_t size() const { return size_; }
    uint64_t compressedSize() const { return compressedSize_; }

    // The processors this process may use, at least one.
    static unsigned DefaultThreads();

private:
    struct Chunk;
    struct Shared;

    void nextChunk(size_t need);
    std::unique_ptr<Chunk> freshChunk();
    void submit(bool last);
    void hand(std::unique_ptr<Chunk> c);
    bool retireOldest();
    void startWorkers();

    Sink sink_;
    unsigned threads_;
    std::unique_ptr<Shared> shared_;
    std::unique_ptr<Chunk> current_;
    char* at_ = nullptr;
    char* end_ = nullptr;
    uint32_t crc_ = 0;
    uint64_t size_ = 0;
    uint64_t compressedSize_ = 0;
    bool failed_ = false;
    bool finished_ = false;
};

}  // namespace calc::io
