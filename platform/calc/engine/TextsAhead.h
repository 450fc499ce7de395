// Typed input converted on a second thread ahead of its storing.
#pragma once

#include <array>
#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string_view>
#include <thread>
#include <vector>

#include "platform/calc/engine/TypedInput.h"

namespace calc {

// Converts the typed texts of a list of elements on a second thread, ahead
// of their storing. A conversion needs nothing of the sheet, so every text
// is converted; the sheet takes the result only where it would convert (not
// in a cell formatted as text), and texts are interned as they are stored,
// in order, so the sheet ends as a put of one element at a time leaves it.
// Chunks are taken in order: the storing thread converts its next chunk
// itself when the other has not begun it, or has begun it but does not
// finish soon (another program holds its core); while it waits for one, it
// converts the first one not begun. Results live in a ring of a
// few chunks, which the converting thread never runs more than a ring ahead
// of the storing.
class TextsAhead {
public:
    static constexpr size_t kChunk = 1024;
    // Fewer elements are converted where they are stored: a thread's start
    // costs about what converting a few thousand does.
    static constexpr size_t kWorthIt = 16 * kChunk;

    // A text element's conversion, held small: the storing thread reads it
    // from the other's cache.
    struct Converted {
        double value;
        const wchar_t* format;  // nullptr for a text
        uint32_t textHash;      // Sheet::TextHash of the text kept
        uint16_t size;          // of the format, or where the text kept starts in the typed one
        InputKind kind;

        // ConvertTypedInput(typed, currentYear) as the converting thread had it.
        TypedValue in(std::wstring_view typed) const {
            return format ? TypedValue{kind, value, std::wstring_view(format, size), {}}
                          : TypedValue{kind, 0.0, {}, typed.substr(size)};
        }
    };

    // textOf(i): element i's typed text, nothing for an element of another
    // type; called from both threads while this lives. Without `worker` the
    // storing thread converts every chunk itself.
    TextsAhead(size_t count, std::function<std::optional<std::wstring_view>(size_t)> textOf, int currentYear,
               bool worker = true);
    ~TextsAhead();
    TextsAhead(const TextsAhead&) = delete;
    TextsAhead& operator=(const TextsAhead&) = delete;

    // The conversions of the elements of chunk `chunk` (elements chunk *
    // kChunk on; those of texts only), asked for in order, each once the
    // chunk before is stored.
    const Converted* converted(size_t chunk);
    // Chunk `chunk` is stored: its place in the ring is free.
    void stored(size_t chunk);

private:
    static constexpr size_t kRing = 16;
    static constexpr size_t kStop = SIZE_MAX;
    // A begun chunk is waited for this long: converting one takes some tens
    // of microseconds.
    static constexpr std::chrono::microseconds kPatience{200};

    void run();
    void convert(size_t chunk, Converted* out) const;

    size_t count_;
    std::function<std::optional<std::wstring_view>(size_t)> textOf_;
    int year_;
    size_t chunks_;
    std::vector<Converted> ring_;
    std::vector<Converted> own_;    // a chunk the storing thread converts itself
    std::vector<Converted> ahead_;  // one it converted ahead, while waiting for another
    size_t aheadChunk_ = SIZE_MAX;
    std::array<std::atomic<size_t>, kRing> ready_{};
    std::atomic<size_t> claimed_{0};
    std::atomic<size_t> stored_{0};
    std::thread worker_;
};

}  // namespace calc
