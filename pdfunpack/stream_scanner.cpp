#include "pdfunpack/stream_scanner.h"

#include <algorithm>
#include <cstring>
#include <string_view>

namespace sw::pdfunpack {

namespace {

constexpr std::string_view kStream = "stream";
constexpr std::string_view kEndstream = "endstream";
// How far back an object header is looked for; dictionaries before "stream" are short.
constexpr std::size_t kObjectLookBack = 512;

std::size_t Find(std::span<const std::uint8_t> data, std::size_t from, std::string_view what) {
    if (from >= data.size()) {
        return std::string_view::npos;
    }
    const void* hit = memmem(data.data() + from, data.size() - from, what.data(), what.size());
    if (hit == nullptr) {
        return std::string_view::npos;
    }
    return static_cast<std::size_t>(static_cast<const std::uint8_t*>(hit) - data.data());
}

bool IsDigit(std::uint8_t c) {
    return c >= '0' && c <= '9';
}
bool IsSpace(std::uint8_t c) {
    return c == ' ' || c == '\r' || c == '\n' || c == '\t' || c == '\f' || c == 0;
}

}  // namespace

const char* ToString(ScanStop stop) {
    switch (stop) {
        case ScanStop::NotYet:
            return "scanning";
        case ScanStop::NoMoreStreams:
            return "no more streams";
        case ScanStop::MissingEndstream:
            return "\"stream\" without \"endstream\"";
        case ScanStop::StreamAtStart:
            return "\"stream\" at the start of the remaining data";
        case ScanStop::EndstreamFirst:
            return "\"endstream\" before the next \"stream\"";
    }
    return "unknown";
}

bool StreamScanner::Next(StreamLocation& location) {
    if (stop_ != ScanStop::NotYet) {
        return false;
    }
    const std::size_t a = Find(file_, pos_, kStream);
    const std::size_t b = Find(file_, pos_, kEndstream);
    auto halt = [&](ScanStop why, std::size_t at) {
        stop_ = why;
        stopOffset_ = at;
        return false;
    };
    if (a == std::string_view::npos) {
        return halt(ScanStop::NoMoreStreams, file_.size());
    }
    if (b == std::string_view::npos) {
        return halt(ScanStop::MissingEndstream, a);
    }
    if (a == pos_) {
        return halt(ScanStop::StreamAtStart, a);
    }
    if (b <= a) {
        return halt(ScanStop::EndstreamFirst, b);
    }

    std::size_t start = a + kStream.size();
    if (start + 1 < file_.size() && file_[start] == '\r' && file_[start + 1] == '\n') {
        start += 2;
    } else if (start < file_.size() && file_[start] == '\n') {
        start += 1;
    }
    std::size_t end = b;
    if (end >= 2 && file_[end - 2] == '\r' && file_[end - 1] == '\n') {
        end -= 2;
    } else if (end >= 1 && file_[end - 1] == '\n') {
        end -= 1;
    }

    location.keywordOffset = a;
    location.dataOffset = start;
    // "stream" directly followed by its line end and "endstream" leaves nothing between them.
    location.dataLength = end > start ? end - start : 0;
    location.objectNumber = ObjectNumberBefore(file_, a);
    location.image = DeclaresImage(file_, pos_, a);
    pos_ = end + 7;
    return true;
}

std::span<const std::uint8_t> StreamScanner::InflateInput(const StreamLocation& location) const {
    if (location.dataOffset >= file_.size()) {
        return {};
    }
    const std::size_t length = std::min(location.dataLength + 1, file_.size() - location.dataOffset);
    return file_.subspan(location.dataOffset, length);
}

bool DeclaresImage(std::span<const std::uint8_t> file, std::size_t from, std::size_t keyword) {
    constexpr std::string_view kSubtype = "/Subtype";
    constexpr std::string_view kImage = "/Image";
    keyword = std::min(keyword, file.size());
    if (from >= keyword) {
        return false;
    }
    const std::span<const std::uint8_t> before = file.first(keyword);
    // Earlier objects without streams (pages, fonts) lie in the same stretch.
    for (std::size_t at = from;;) {
        const std::size_t hit = Find(before, at, "obj");
        if (hit == std::string_view::npos) {
            break;
        }
        from = hit;
        at = hit + 1;
    }
    for (std::size_t at = from;;) {
        const std::size_t hit = Find(before, at, kSubtype);
        if (hit == std::string_view::npos) {
            return false;
        }
        std::size_t i = hit + kSubtype.size();
        while (i < keyword && IsSpace(file[i])) {
            ++i;
        }
        const std::size_t nameEnd = i + kImage.size();
        if (nameEnd <= keyword && std::memcmp(file.data() + i, kImage.data(), kImage.size()) == 0 &&
            (nameEnd == keyword || IsSpace(file[nameEnd]) || file[nameEnd] == '/' || file[nameEnd] == '>')) {
            return true;
        }
        at = hit + 1;
    }
}

long ObjectNumberBefore(std::span<const std::uint8_t> file, std::size_t offset) {
    offset = std::min(offset, file.size());
    const std::size_t from = offset > kObjectLookBack ? offset - kObjectLookBack : 0;
    std::size_t found = std::string_view::npos;
    for (std::size_t at = from; at + 3 <= offset;) {
        const std::size_t hit = Find(file.first(offset), at, "obj");
        if (hit == std::string_view::npos) {
            break;
        }
        found = hit;
        at = hit + 1;
    }
    if (found == std::string_view::npos) {
        return -1;
    }
    // Walk back over " G " and "N ".
    std::size_t i = found;
    auto skipSpaces = [&] {
        while (i > from && IsSpace(file[i - 1])) {
            --i;
        }
    };
    auto skipDigits = [&] {
        const std::size_t endDigits = i;
        while (i > from && IsDigit(file[i - 1])) {
            --i;
        }
        return endDigits - i;
    };
    skipSpaces();
    if (skipDigits() == 0) {
        return -1;
    }
    skipSpaces();
    const std::size_t numberEnd = i;
    const std::size_t digits = skipDigits();
    if (digits == 0 || digits > 9) {
        return -1;
    }
    long number = 0;
    for (std::size_t k = i; k < numberEnd; ++k) {
        number = number * 10 + (file[k] - '0');
    }
    return number;
}

}  // namespace sw::pdfunpack
