// Ids of distinct texts, found by their content: a sheet's string pool and
// a workbook's shared-string table each keep one over texts they store
// themselves.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

namespace calc::io {

class TextIndex {
public:
    // The id of the recorded text equal to `text`, or `fresh` once recorded
    // for it; textOf(id) gives a recorded text. The caller stores the text
    // under `fresh` when that is returned.
    template <typename TextOf>
    uint32_t findOrAdd(std::wstring_view text, uint32_t fresh, TextOf&& textOf) {
        return findOrAdd(text, Hash(text), fresh, textOf);
    }
    // The same with Hash(text) made beforehand.
    template <typename TextOf>
    uint32_t findOrAdd(std::wstring_view text, uint32_t hash, uint32_t fresh, TextOf&& textOf) {
        return find<std::wstring_view>(text, hash, fresh, textOf);
    }
    // The same over 8-bit texts (textOf gives a std::string_view).
    template <typename TextOf>
    uint32_t findOrAdd(std::string_view text, uint32_t hash, uint32_t fresh, TextOf&& textOf) {
        return find<std::string_view>(text, hash, fresh, textOf);
    }
    void clear() {
        slots_.clear();
        count_ = 0;
    }

    static uint32_t Hash(std::wstring_view text);
    static uint32_t Hash(std::string_view text);

private:
    template <typename View, typename TextOf>
    uint32_t find(View text, uint32_t hash, uint32_t fresh, TextOf& textOf) {
        if ((count_ + 1) * 2 > slots_.size()) {
            grow();
        }
        const size_t mask = slots_.size() - 1;
        for (size_t i = hash & mask;; i = (i + 1) & mask) {
            const uint64_t slot = slots_[i];
            if (slot == 0) {
                slots_[i] = (uint64_t{hash} << 32) | (uint64_t{fresh} + 1);
                ++count_;
                return fresh;
            }
            const auto id = static_cast<uint32_t>(slot) - 1;
            if (static_cast<uint32_t>(slot >> 32) == hash && View(textOf(id)) == text) {
                return id;
            }
        }
    }
    void grow();

    // Open addressing, at most half full: a slot holds a text's hash over
    // its id + 1 (0: free), so a probe compares texts only when the hashes
    // agree and growing needs no text again. A node per text, as a general
    // map keeps, cost an allocation and a cache miss for each.
    std::vector<uint64_t> slots_;
    size_t count_ = 0;
};

}  // namespace calc::io
