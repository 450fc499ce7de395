// The texts of a sheet, each stored once.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>
#include <string_view>

#include "platform/calc/io/TextIndex.h"

namespace calc {

// Interned texts, so equal strings share one copy.
class StringPool {
public:
    uint32_t intern(std::wstring_view text);
    uint32_t intern(std::wstring_view text, uint32_t hash);  // hash: io::TextIndex::Hash(text)
    const std::wstring& at(uint32_t id) const { return strings_[id]; }
    size_t size() const { return strings_.size(); }
    void clear();

private:
    std::deque<std::wstring> strings_;  // stable addresses for at()
    io::TextIndex index_;
};

}  // namespace calc
