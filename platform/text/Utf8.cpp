#include "platform/text/Utf8.h"

#include <cstddef>
#include <cstdint>

namespace sw::text {
namespace {

// 0x80-0x9F of Windows-1252; undefined positions keep their own value.
constexpr char16_t kCp1252High[32] = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                      0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                                      0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                      0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

constexpr uint32_t kReplacement = 0xFFFD;

}  // namespace

wchar_t Cp1252ToWide(unsigned char byte) {
    if (byte >= 0x80 && byte < 0xA0) {
        return static_cast<wchar_t>(kCp1252High[byte - 0x80]);
    }
    return static_cast<wchar_t>(byte);
}

std::string ToUtf8(std::wstring_view text) {
    std::string out;
    out.reserve(text.size());
    for (wchar_t wc : text) {
        auto c = static_cast<uint32_t>(wc);
        if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
            c = kReplacement;
        }
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (c >> 18));
            out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

std::wstring FromUtf8OrCp1252(std::string_view bytes) {
    std::wstring out;
    out.reserve(bytes.size());
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const size_t n = bytes.size();
    size_t i = 0;
    while (i < n) {
        const unsigned char b = p[i];
        if (b < 0x80) {
            out += static_cast<wchar_t>(b);
            ++i;
            continue;
        }
        size_t len = 0;
        uint32_t c = 0;
        uint32_t minimum = 0;
        if ((b & 0xE0) == 0xC0) {
            len = 2, c = b & 0x1FU, minimum = 0x80;
        } else if ((b & 0xF0) == 0xE0) {
            len = 3, c = b & 0x0FU, minimum = 0x800;
        } else if ((b & 0xF8) == 0xF0) {
            len = 4, c = b & 0x07U, minimum = 0x10000;
        }
        bool valid = len != 0 && i + len <= n;
        for (size_t k = 1; valid && k < len; ++k) {
            if ((p[i + k] & 0xC0) != 0x80) {
                valid = false;
            } else {
                c = (c << 6) | (p[i + k] & 0x3FU);
            }
        }
        if (valid && (c < minimum || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF))) {
            valid = false;
        }
        if (valid) {
            out += static_cast<wchar_t>(c);
            i += len;
        } else {
            out += Cp1252ToWide(b);
            ++i;
        }
    }
    return out;
}

}  // namespace sw::text
