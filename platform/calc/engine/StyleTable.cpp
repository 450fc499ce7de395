#include "platform/calc/engine/StyleTable.h"

#include <cwctype>

#include "platform/calc/format/NumberFormat.h"

namespace calc {

namespace {

bool IsGeneralCode(std::wstring_view code) {
    constexpr std::wstring_view kGeneral = L"general";
    if (code.empty()) {
        return true;
    }
    if (code.size() != kGeneral.size()) {
        return false;
    }
    for (size_t i = 0; i < code.size(); ++i) {
        if (std::towlower(code[i]) != static_cast<wint_t>(kGeneral[i])) {
            return false;
        }
    }
    return true;
}

}  // namespace

size_t CellStyleHash::operator()(const io::CellStyle& s) const {
    size_t h = std::hash<std::wstring>()(s.numberFormat);
    auto mix = [&h](size_t v) { h ^= v + 0x9e3779b97f4a7c15ULL + (h << 6) + (h >> 2); };
    mix(std::hash<std::wstring>()(s.font.name));
    mix(std::hash<double>()(s.font.size));
    mix((s.font.bold ? 1u : 0u) | (s.font.italic ? 2u : 0u) | (s.font.underline ? 4u : 0u));
    mix(static_cast<size_t>(static_cast<int32_t>(s.align)));
    return h;
}

StyleTable::StyleTable() {
    intern(io::CellStyle{});
}

uint32_t StyleTable::intern(const io::CellStyle& style) {
    auto it = index_.find(style);
    if (it != index_.end()) {
        return it->second;
    }
    auto id = static_cast<uint32_t>(styles_.size());
    styles_.push_back(style);
    FormatKind kind = FormatKind::Other;
    if (IsGeneralCode(style.numberFormat)) {
        kind = FormatKind::General;
    } else if (style.numberFormat == L"@") {
        kind = FormatKind::Text;
    } else if (format::IsDateTimeFormat(style.numberFormat)) {
        kind = FormatKind::DateTime;
    }
    kinds_.push_back(kind);
    index_.emplace(style, id);
    return id;
}

uint32_t StyleTable::withNumberFormat(uint32_t from, std::wstring_view format) {
    for (const RecentChange& r : recent_) {
        if (r.from == from && r.format == format) {
            return r.to;
        }
    }
    FormatKey key{from, std::wstring(format)};
    auto it = formatMemo_.find(key);
    uint32_t id = 0;
    if (it != formatMemo_.end()) {
        id = it->second;
    } else {
        io::CellStyle s = styles_[from];
        s.numberFormat = format;
        id = intern(s);
        formatMemo_.emplace(std::move(key), id);
    }
    RecentChange& slot = recent_[nextRecent_];
    nextRecent_ = (nextRecent_ + 1) % recent_.size();
    slot.from = from;
    slot.format = format;
    slot.to = id;
    return id;
}

}  // namespace calc
