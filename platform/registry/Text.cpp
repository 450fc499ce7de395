#include "platform/registry/Text.h"
#include "platform/base/TextCodec.h"

#include <cstdint>

namespace sw::registry::detail {

namespace {

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

std::wstring FoldCase(std::wstring_view text) {
    std::wstring out;
    out.reserve(text.size());
    for (wchar_t w : text) {
        out += static_cast<wchar_t>(UpperOf(static_cast<char32_t>(static_cast<std::uint32_t>(w))));
    }
    return out;
}

std::string FoldKey(std::wstring_view text) {
    return sw::base::ToUtf8(FoldCase(text));
}

bool IsStringType(unsigned type) {
    return type == 1 || type == 2 || type == 7;
}

}  // namespace sw::registry::detail
