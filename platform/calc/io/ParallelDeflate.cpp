#include "platform/calc/io/ParallelDeflate.h"

#include <isa-l/crc.h>
#include <isa-l/igzip_lib.h>
#include <zlib.h>

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

namespace calc::io {
namespace {

constexpr size_t kChunk = size_t{1} << 20;
constexpr size_t kWindow = 32 * 1024;  // deflate's look-back distance
// The fastest level: XML of a sheet compresses about as well at this level as
// at the next two (measured), three times faster than zlib's fastest.
constexpr uint32_t kLevel = 1;
constexpr uint32_t kLevelBuffer = ISAL_DEF_LVL1_DEFAULT;

}  // namespace

struct ParallelDeflate::Chunk {
    std::unique_ptr<uint8_t[]> in;
    size_t capacity = 0;
    size_t used = 0;
    Maker make;  // when set, the worker makes the chunk's bytes first
    size_t bound = 0;
    std::vector<uint8_t> dict;  // the stream's bytes just before this chunk
    std::vector<uint8_t> out;
    size_t outSize = 0;
    uint32_t crc = 0;
    bool last = false;
    bool done = false;
    bool ok = false;

    void reserve(size_t n) {
        if (capacity < n) {
            in.reset(new uint8_t[n]);
            capacity = n;
        }
    }
};

namespace {

// One compression state (a few hundred KB), kept by each thread for its chunks.
class Compressor {
public:
    Compressor() : stream_(std::make_unique<isal_zstream>()), levelBuffer_(new uint8_t[kLevelBuffer]) {}

    bool run(const uint8_t* in, size_t size, const std::vector<uint8_t>& dict, bool last,
             std::vector<uint8_t>& out, size_t* outSize) {
        isal_zstream& s = *stream_;
        isal_deflate_init(&s);
        s.level = kLevel;
        s.level_buf = levelBuffer_.get();
        s.level_buf_size = kLevelBuffer;
        s.gzip_flag = IGZIP_DEFLATE;
        if (!dict.empty() && isal_deflate_set_dict(&s, const_cast<uint8_t*>(dict.data()),
                                                   static_cast<uint32_t>(dict.size())) != COMP_OK) {
            return false;
        }
        s.end_of_stream = last ? 1 : 0;
        // A sync flush ends the piece on a byte boundary with an empty stored
        // block and leaves the last-block mark to the final chunk.
        s.flush = last ? NO_FLUSH : SYNC_FLUSH;
        s.next_in = const_cast<uint8_t*>(in);
        s.avail_in = static_cast<uint32_t>(size);
        // Deflate grows incompressible input by a few bytes per 64 KB block.
        size_t written = 0;
        out.resize(std::max(out.size(), size + size / 64 + 1024));
        for (;;) {
            s.next_out = out.data() + written;
            s.avail_out = static_cast<uint32_t>(out.size() - written);
            if (isal_deflate(&s) != COMP_OK) {
                return false;
            }
            written = out.size() - s.avail_out;
            const bool complete =
                s.avail_in == 0 && (last ? s.internal_state.state == ZSTATE_END : s.avail_out > 0);
            if (complete) {
                break;
            }
            out.resize(out.size() * 2);
        }
        *outSize = written;
        return true;
    }

private:
    std::unique_ptr<isal_zstream> stream_;
    std::unique_ptr<uint8_t[]> levelBuffer_;
};

}  // namespace

struct ParallelDeflate::Shared {
    std::mutex mutex;
    std::condition_variable work;
    std::condition_variable finished;
    std::deque<Chunk*> pending;
    bool stop = false;
    std::vector<std::thread> workers;
    // Chunks handed over, in stream order; only the producing thread uses the list.
    std::deque<std::unique_ptr<Chunk>> inFlight;
    std::vector<std::unique_ptr<Chunk>> spare;
    Compressor local;  // for a stream that fits in one chunk

    static void Compress(Compressor& compressor, Chunk& c) {
        try {
            if (c.make) {
                c.reserve(c.bound);
                c.used = c.make(c.in.get());
                c.make = nullptr;
            }
            c.crc = crc32_gzip_refl(0, c.in.get(), c.used);
            c.ok = compressor.run(c.in.get(), c.used, c.dict, c.last, c.out, &c.outSize);
        } catch (const std::bad_alloc&) {
            c.ok = false;
        }
    }

    void serve() {
        Compressor compressor;
        std::unique_lock<std::mutex> lock(mutex);
        for (;;) {
            work.wait(lock, [&] { return stop || !pending.empty(); });
            if (stop) {
                return;
            }
            Chunk* c = pending.front();
            pending.pop_front();
            lock.unlock();
            Compress(compressor, *c);
            lock.lock();
            c->done = true;
            finished.notify_all();
        }
    }
};

ParallelDeflate::ParallelDeflate(Sink sink, unsigned threads)
    : sink_(std::move(sink)), threads_(std::max(1u, threads)), shared_(std::make_unique<Shared>()) {
    current_ = std::make_unique<Chunk>();
    current_->reserve(kChunk);
    at_ = reinterpret_cast<char*>(current_->in.get());
    end_ = at_ + current_->capacity;
}

ParallelDeflate::~ParallelDeflate() {
    {
        std::lock_guard<std::mutex> lock(shared_->mutex);
        shared_->stop = true;
    }
    shared_->work.notify_all();
    for (std::thread& t : shared_->workers) {
        t.join();
    }
}

unsigned ParallelDeflate::DefaultThreads() {
    return std::clamp(std::thread::hardware_concurrency(), 1u, 8u);
}

void ParallelDeflate::write(const void* data, size_t n) {
    const auto* p = static_cast<const char*>(data);
    while (n > 0) {
        size_t k = std::min(n, kChunk);
        std::memcpy(room(k), p, k);
        advance(k);
        p += k;
        n -= k;
    }
}

std::unique_ptr<ParallelDeflate::Chunk> ParallelDeflate::freshChunk() {
    std::unique_ptr<Chunk> c;
    if (!shared_->spare.empty()) {
        c = std::move(shared_->spare.back());
        shared_->spare.pop_back();
    } else {
        c = std::make_unique<Chunk>();
    }
    c->used = 0;
    c->done = false;
    c->last = false;
    c->dict.clear();
    return c;
}

void ParallelDeflate::nextChunk(size_t need) {
    submit(false);
    std::unique_ptr<Chunk> next = freshChunk();
    next->reserve(std::max(kChunk, need));
    // Primed with the end of the chunk just handed over (written here, so its
    // bytes are known already).
    const Chunk& previous = *shared_->inFlight.back();
    const size_t tail = std::min(previous.used, kWindow);
    next->dict.assign(previous.in.get() + previous.used - tail, previous.in.get() + previous.used);
    current_ = std::move(next);
    at_ = reinterpret_cast<char*>(current_->in.get());
    end_ = at_ + current_->capacity;
}

void ParallelDeflate::defer(size_t bound, Maker make) {
    if (at_ != reinterpret_cast<char*>(current_->in.get())) {
        submit(false);
    } else {
        at_ = end_ = nullptr;
    }
    std::unique_ptr<Chunk> piece = freshChunk();
    piece->make = std::move(make);
    piece->bound = bound;
    hand(std::move(piece));
    // What is written next starts a chunk of its own, unprimed: the piece
    // before it does not exist yet.
    if (!current_) {
        current_ = freshChunk();
        current_->reserve(kChunk);
    }
    at_ = reinterpret_cast<char*>(current_->in.get());
    end_ = at_ + current_->capacity;
}

void ParallelDeflate::startWorkers() {
    for (unsigned i = 0; i < threads_; ++i) {
        shared_->workers.emplace_back([s = shared_.get()] { s->serve(); });
    }
}

void ParallelDeflate::submit(bool last) {
    std::unique_ptr<Chunk> c = std::move(current_);
    c->used = static_cast<size_t>(at_ - reinterpret_cast<char*>(c->in.get()));
    c->last = last;
    at_ = end_ = nullptr;
    if (last && shared_->inFlight.empty()) {
        Shared::Compress(shared_->local, *c);
        c->done = true;
        shared_->inFlight.push_back(std::move(c));
        return;
    }
    hand(std::move(c));
}

void ParallelDeflate::hand(std::unique_ptr<Chunk> c) {
    if (shared_->workers.empty()) {
        startWorkers();
    }
    {
        std::lock_guard<std::mutex> lock(shared_->mutex);
        shared_->pending.push_back(c.get());
    }
    shared_->work.notify_one();
    shared_->inFlight.push_back(std::move(c));
    // Bounded memory: a chunk waiting for each worker and one more being filled.
    while (shared_->inFlight.size() > threads_ + 1) {
        retireOldest();
    }
}

bool ParallelDeflate::retireOldest() {
    std::unique_ptr<Chunk> c = std::move(shared_->inFlight.front());
    shared_->inFlight.pop_front();
    {
        std::unique_lock<std::mutex> lock(shared_->mutex);
        shared_->finished.wait(lock, [&] { return c->done; });
    }
    if (!c->ok) {
        failed_ = true;
    }
    if (!failed_ && c->outSize > 0 && !sink_(c->out.data(), c->outSize)) {
        failed_ = true;
    }
    crc_ = static_cast<uint32_t>(crc32_combine(crc_, c->crc, static_cast<z_off_t>(c->used)));
    size_ += c->used;
    compressedSize_ += c->outSize;
    shared_->spare.push_back(std::move(c));
    return !failed_;
}

bool ParallelDeflate::finish() {
    if (finished_) {
        return !failed_;
    }
    finished_ = true;
    submit(true);
    while (!shared_->inFlight.empty()) {
        retireOldest();
    }
    return !failed_;
}

}  // namespace calc::io
