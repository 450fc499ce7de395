#include "platform/registry/Text.h"
#include "platform/text/Utf8.h"

#include <cstdint>

namespace sw::registry::detail {

namespace {

constexpr char32_t kReplacement = 0xFFFD;

char32_t UpperOf(char32_t c) {
    if (c < 0x80) {
        return (c >= U'a' && c <= U'z') ? c - 0x20 : c;
    }
    // Latin-1 Supplement.
    if ((c >= 0xE0 && c <= 0xFE && c != 0xF7)) {
        return c - 0x20;
    }
    if (c == 0xFF) {
        return 0x178;
    }
    // Latin Extended-A: mostly upper/lower pairs at even/odd positions.
    if (c >= 0x100 && c <= 0x137 && (c & 1)) {
        return c - 1;
    }
    if (c >= 0x139 && c <= 0x148 && !(c & 1)) {
        return c - 1;
    }
    if (c >= 0x14A && c <= 0x177 && (c & 1)) {
        return c - 1;
    }
    if ((c == 0x17A || c == 0x17C || c == 0x17E)) {
        return c - 1;
    }
    // Greek.
    if (c >= 0x3B1 && c <= 0x3C9 && c != 0x3C2) {
        return c - 0x20;
    }
    if (c == 0x3C2) {
        return 0x3A3;
    }
    // Cyrillic.
    if (c >= 0x430 && c <= 0x44F) {
        return c - 0x20;
    }
    if (c >= 0x450 && c <= 0x45F) {
        return c - 0x50;
    }
    // Fullwidth Latin.
    if (c >= 0xFF41 && c <= 0xFF5A) {
        return c - 0x20;
    }
    return c;
}

}  // namespace

std::string ToUtf8(std::wstring_view text) {
    return sw::text::ToUtf8(text);
}

std::wstring FromUtf8(std::string_view bytes) {
    std::wstring out;
    out.reserve(bytes.size());
    std::size_t i = 0;
    while (i < bytes.size()) {
        auto b = static_cast<unsigned char>(bytes[i]);
        int extra = b < 0x80 ? 0 : b >= 0xF0 ? 3 : b >= 0xE0 ? 2 : b >= 0xC0 ? 1 : -1;
        if (extra < 0 || i + static_cast<std::size_t>(extra) >= bytes.size()) {
            out += static_cast<wchar_t>(kReplacement);
            ++i;
            continue;
        }
        char32_t c = extra == 0 ? b : extra == 1 ? (b & 0x1F) : extra == 2 ? (b & 0x0F) : (b & 0x07);
        bool ok = true;
        for (int k = 1; k <= extra; ++k) {
            auto cont = static_cast<unsigned char>(bytes[i + static_cast<std::size_t>(k)]);
            if ((cont & 0xC0) != 0x80) {
                ok = false;
                break;
            }
            c = (c << 6) | (cont & 0x3F);
        }
        if (!ok) {
            out += static_cast<wchar_t>(kReplacement);
            ++i;
            continue;
        }
        out += static_cast<wchar_t>(c);
        i += static_cast<std::size_t>(extra) + 1;
    }
    return out;
}

std::wstring FoldCase(std::wstring_view text) {
    std::wstring out;
    out.reserve(text.size());
    for (wchar_t w : text) {
        out += static_cast<wchar_t>(UpperOf(static_cast<char32_t>(static_cast<std::uint32_t>(w))));
    }
    return out;
}

std::string FoldKey(std::wstring_view text) {
    return ToUtf8(FoldCase(text));
}

std::string ToUtf16le(std::wstring_view text) {
    std::string out;
    out.reserve(text.size() * 2);
    auto unit = [&out](std::uint32_t u) {
        out += static_cast<char>(u & 0xFF);
        out += static_cast<char>((u >> 8) & 0xFF);
    };
    for (wchar_t w : text) {
        auto c = static_cast<std::uint32_t>(w);
        if (c > 0x10FFFF) {
            c = kReplacement;
        }
        if (c >= 0x10000) {
            c -= 0x10000;
            unit(0xD800 | (c >> 10));
            unit(0xDC00 | (c & 0x3FF));
        } else {
            unit(c);
        }
    }
    return out;
}

std::wstring FromUtf16le(std::string_view bytes) {
    std::wstring out;
    std::size_t count = bytes.size() / 2;
    out.reserve(count);
    auto unit = [&bytes](std::size_t k) {
        return static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[2 * k])) |
               (static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[2 * k + 1])) << 8);
    };
    for (std::size_t k = 0; k < count; ++k) {
        std::uint32_t u = unit(k);
        if (u >= 0xD800 && u <= 0xDBFF && k + 1 < count) {
            std::uint32_t low = unit(k + 1);
            if (low >= 0xDC00 && low <= 0xDFFF) {
                out += static_cast<wchar_t>(0x10000 + ((u - 0xD800) << 10) + (low - 0xDC00));
                ++k;
                continue;
            }
        }
        out += static_cast<wchar_t>(u);
    }
    return out;
}

bool IsStringType(unsigned type) {
    return type == 1 || type == 2 || type == 7;
}

}  // namespace sw::registry::detail
