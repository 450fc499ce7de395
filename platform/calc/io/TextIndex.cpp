#include "platform/calc/io/TextIndex.h"

#include <algorithm>
#include <cstring>

namespace calc::io {

namespace {

// Eight bytes a step: texts are hashed once per cell.
uint32_t HashBytes(const char* p, size_t n, uint64_t length) {
    constexpr uint64_t kMul = 0x9E3779B97F4A7C15ULL;
    uint64_t h = length * kMul;
    for (; n >= 8; p += 8, n -= 8) {
        uint64_t w;
        std::memcpy(&w, p, 8);
        h = (h ^ w) * kMul;
        h ^= h >> 29;
    }
    if (n > 0) {
        uint64_t w = 0;
        std::memcpy(&w, p, n);
        h = (h ^ w) * kMul;
        h ^= h >> 29;
    }
    h *= kMul;
    return static_cast<uint32_t>(h >> 32);
}

}  // namespace

uint32_t TextIndex::Hash(std::wstring_view text) {
    return HashBytes(reinterpret_cast<const char*>(text.data()), text.size() * sizeof(wchar_t), text.size());
}

uint32_t TextIndex::Hash(std::string_view text) {
    return HashBytes(text.data(), text.size(), text.size());
}

void TextIndex::grow() {
    std::vector<uint64_t> old = std::move(slots_);
    slots_.assign(std::max<size_t>(1024, old.size() * 2), 0);
    const size_t mask = slots_.size() - 1;
    for (const uint64_t slot : old) {
        if (slot == 0) {
            continue;
        }
        size_t i = static_cast<uint32_t>(slot >> 32) & mask;
        while (slots_[i] != 0) {
            i = (i + 1) & mask;
        }
        slots_[i] = slot;
    }
}

}  // namespace calc::io
