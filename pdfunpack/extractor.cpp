#include "pdfunpack/extractor.h"

#include "pdfunpack/inflate.h"
#include "pdfunpack/stream_scanner.h"

namespace sw::pdfunpack {

namespace {

constexpr std::size_t kMaxWarnings = 100;

}  // namespace

std::string Warning::ToString() const {
    std::string s;
    if (object >= 0) {
        s = "object " + std::to_string(object) + " @ ";
    }
    s += "byte " + std::to_string(offset) + ": " + text;
    return s;
}

void Extractor::Warn(std::size_t offset, long object, std::string text) {
    if (warnings_.size() >= kMaxWarnings) {
        ++droppedWarnings_;
        return;
    }
    warnings_.push_back(Warning{offset, object, std::move(text)});
}

ExtractStatus Extractor::Run(std::span<const std::uint8_t> pdf, const Writer& writer) {
    StreamScanner scanner(pdf);
    InflateStream inflater;
    bool writeFailed = false;
    bool atLineStart = true;
    auto write = [&](std::string_view text) {
        if (writeFailed || text.empty()) {
            return;
        }
        atLineStart = text.back() == '\n';
        if (!writer(text)) {
            writeFailed = true;
        }
    };

    StreamLocation where;
    while (scanner.Next(where)) {
        ++streamsFound_;
        if (where.image) {
            // Pictures hold no page text; inflating them would only spend the
            // inflate limit that guards the text.
            continue;
        }
        TextInterpreter interpreter(write, options_.interpreter, atLineStart);
        const std::size_t room = options_.maxInflatedBytes - inflatedBytes_;
        const InflateResult result =
            inflater.Run(scanner.InflateInput(where), room, [&](std::span<const std::uint8_t> chunk) {
                if (!writeFailed) {
                    interpreter.Feed(chunk);
                }
            });
        interpreter.Finish();
        inflatedBytes_ += result.produced;
        if (writeFailed) {
            return ExtractStatus::WriteFailed;
        }
        switch (result.status) {
            case InflateStatus::Complete:
                ++streamsInflated_;
                break;
            case InflateStatus::NotDeflate:
                // Uncompressed data and images in other codings carry no text for us.
                break;
            case InflateStatus::Truncated:
            case InflateStatus::Corrupt: {
                std::string text = ToString(result.status);
                if (!result.detail.empty()) {
                    text += " (" + result.detail + ")";
                }
                if (result.produced > 0) {
                    text += "; kept the text of the first " + std::to_string(result.produced) + " bytes";
                }
                Warn(where.keywordOffset, where.objectNumber, std::move(text));
                break;
            }
            case InflateStatus::NeedsDictionary:
                Warn(where.keywordOffset, where.objectNumber, ToString(result.status));
                break;
            case InflateStatus::LimitReached:
                limitWarning_ = Warning{where.keywordOffset, where.objectNumber,
                                        "inflated data exceeds the limit of " +
                                            std::to_string(options_.maxInflatedBytes >> 20) + " MB"};
                Warn(limitWarning_.offset, limitWarning_.object, limitWarning_.text);
                return ExtractStatus::LimitReached;
        }
    }
    if (scanner.stop() != ScanStop::NoMoreStreams) {
        Warn(scanner.stopOffset(), ObjectNumberBefore(pdf, scanner.stopOffset()),
             std::string("scan stopped: ") + ToString(scanner.stop()));
    }
    return ExtractStatus::Ok;
}

}  // namespace sw::pdfunpack
