#include "platform/calc/engine/StringPool.h"

namespace calc {

uint32_t StringPool::intern(std::wstring_view text) {
    return intern(text, io::TextIndex::Hash(text));
}

uint32_t StringPool::intern(std::wstring_view text, uint32_t hash) {
    const auto fresh = static_cast<uint32_t>(strings_.size());
    const uint32_t id = index_.findOrAdd(text, hash, fresh,
                                         [this](uint32_t i) -> const std::wstring& { return strings_[i]; });
    if (id == fresh) {
        strings_.emplace_back(text);
    }
    return id;
}

void StringPool::clear() {
    index_.clear();
    strings_.clear();
}

}  // namespace calc
