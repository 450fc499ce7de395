// Runs every content stream of a PDF file through inflation and the text
// interpreter, collecting warnings instead of stopping at damaged streams.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "pdfunpack/text_interpreter.h"

namespace sw::pdfunpack {

// Inflated bytes accepted from one file, over all its streams together.
inline constexpr std::size_t kDefaultInflateLimit = std::size_t{256} << 20;

struct ExtractOptions {
    std::size_t maxInflatedBytes = kDefaultInflateLimit;
    InterpreterOptions interpreter;
};

struct Warning {
    std::size_t offset = 0;  // byte offset in the file
    long object = -1;        // object number, -1 when unknown
    std::string text;

    // "object 12 @ byte 4711: deflate data ends early"
    std::string ToString() const;
};

enum class ExtractStatus {
    Ok,
    LimitReached,  // the inflate limit stopped the extraction; the text so far was written
    WriteFailed,   // the writer refused output
};

class Extractor {
public:
    // Receives the text; returning false stops the extraction.
    using Writer = std::function<bool(std::string_view)>;

    explicit Extractor(ExtractOptions options = {}) : options_(options) {}

    ExtractStatus Run(std::span<const std::uint8_t> pdf, const Writer& writer);

    const std::vector<Warning>& warnings() const { return warnings_; }
    // Warnings beyond the stored ones are only counted.
    std::size_t droppedWarnings() const { return droppedWarnings_; }
    std::size_t streamsFound() const { return streamsFound_; }
    std::size_t streamsInflated() const { return streamsInflated_; }
    std::size_t inflatedBytes() const { return inflatedBytes_; }
    // Where the inflate limit was reached, when it was.
    const Warning& limitWarning() const { return limitWarning_; }

private:
    void Warn(std::size_t offset, long object, std::string text);

    ExtractOptions options_;
    std::vector<Warning> warnings_;
    std::size_t droppedWarnings_ = 0;
    std::size_t streamsFound_ = 0;
    std::size_t streamsInflated_ = 0;
    std::size_t inflatedBytes_ = 0;
    Warning limitWarning_;
};

}  // namespace sw::pdfunpack
