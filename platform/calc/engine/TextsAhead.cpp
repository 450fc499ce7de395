#include "platform/calc/engine/TextsAhead.h"

#include <algorithm>

#include "platform/calc/engine/Sheet.h"

namespace calc {

TextsAhead::TextsAhead(size_t count, std::function<std::optional<std::wstring_view>(size_t)> textOf,
                       int currentYear, bool worker)
    : count_(count),
      textOf_(std::move(textOf)),
      year_(currentYear),
      chunks_((count + kChunk - 1) / kChunk),
      ring_(worker ? kRing * kChunk : 0),
      own_(kChunk),
      ahead_(worker ? kChunk : 0) {
    if (worker) {
        worker_ = std::thread([this] { run(); });
    }
}

TextsAhead::~TextsAhead() {
    if (worker_.joinable()) {
        claimed_.store(chunks_);
        stored_.store(kStop);
        stored_.notify_one();
        worker_.join();
    }
}

const TextsAhead::Converted* TextsAhead::converted(size_t chunk) {
    if (aheadChunk_ == chunk) {
        return ahead_.data();
    }
    if (!worker_.joinable()) {
        convert(chunk, own_.data());
        return own_.data();
    }
    const size_t slot = chunk % kRing;
    const std::atomic<size_t>& ready = ready_[slot];
    if (ready.load(std::memory_order_acquire) == chunk + 1) {
        return &ring_[slot * kChunk];
    }
    size_t next = chunk;
    if (claimed_.compare_exchange_strong(next, chunk + 1)) {
        convert(chunk, own_.data());
        return own_.data();
    }
    // Begun by the worker: rather than wait, the first chunk it has not
    // begun is converted meanwhile, and is then at hand when asked for.
    const bool aheadFree = aheadChunk_ == SIZE_MAX || aheadChunk_ < chunk;
    if (aheadFree && next < chunks_ && claimed_.compare_exchange_strong(next, next + 1)) {
        convert(next, ahead_.data());
        aheadChunk_ = next;
    }
    const auto until = std::chrono::steady_clock::now() + kPatience;
    do {
        if (ready.load(std::memory_order_acquire) == chunk + 1) {
            return &ring_[slot * kChunk];
        }
    } while (std::chrono::steady_clock::now() < until);
    convert(chunk, own_.data());
    return own_.data();
}

void TextsAhead::stored(size_t chunk) {
    stored_.store(chunk + 1, std::memory_order_release);
    stored_.notify_one();
}

void TextsAhead::run() {
    for (size_t chunk = claimed_.fetch_add(1); chunk < chunks_; chunk = claimed_.fetch_add(1)) {
        for (size_t s = stored_.load(std::memory_order_acquire); s != kStop && s + kRing <= chunk;
             s = stored_.load(std::memory_order_acquire)) {
            stored_.wait(s, std::memory_order_acquire);
        }
        if (stored_.load(std::memory_order_acquire) == kStop) {
            return;
        }
        convert(chunk, &ring_[(chunk % kRing) * kChunk]);
        ready_[chunk % kRing].store(chunk + 1, std::memory_order_release);
    }
}

void TextsAhead::convert(size_t chunk, Converted* out) const {
    const size_t end = std::min(count_, (chunk + 1) * kChunk);
    for (size_t i = chunk * kChunk; i < end; ++i, ++out) {
        const std::optional<std::wstring_view> typed = textOf_(i);
        if (!typed) {
            continue;
        }
        const TypedValue t = ConvertTypedInput(*typed, year_);
        out->kind = t.kind;
        if (t.kind == InputKind::Text) {
            out->format = nullptr;
            out->size = static_cast<uint16_t>(t.text.data() - typed->data());
            out->textHash = Sheet::TextHash(t.text);
        } else {
            out->value = t.value;
            out->format = t.format.data();
            out->size = static_cast<uint16_t>(t.format.size());
        }
    }
}

}  // namespace calc
