#include "platform/calc/engine/Utf8.h"
#include "platform/text/Utf8.h"

#include <cstdint>

namespace calc {

// Shared with the writers so wide text meets the file system one way only.
std::string ToUtf8(std::wstring_view text) {
    return sw::text::ToUtf8(text);
}

std::wstring FromUtf8(std::string_view text) {
    std::wstring out;
    out.reserve(text.size());
    size_t i = 0;
    while (i < text.size()) {
        const auto b = static_cast<unsigned char>(text[i]);
        size_t len = b < 0x80 ? 1 : (b >> 5) == 0x6 ? 2 : (b >> 4) == 0xE ? 3 : (b >> 3) == 0x1E ? 4 : 0;
        uint32_t cp = len == 2 ? (b & 0x1Fu) : len == 3 ? (b & 0x0Fu) : len == 4 ? (b & 0x07u) : b;
        bool ok = len > 0 && i + len <= text.size();
        for (size_t k = 1; ok && k < len; ++k) {
            const auto c = static_cast<unsigned char>(text[i + k]);
            ok = (c & 0xC0) == 0x80;
            cp = (cp << 6) | (c & 0x3Fu);
        }
        if (!ok) {
            out += static_cast<wchar_t>(b);
            ++i;
            continue;
        }
        out += static_cast<wchar_t>(cp);
        i += len;
    }
    return out;
}

}  // namespace calc
