// The cell styles of a sheet, each stored once, with what their number
// formats show.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/calc/io/SheetView.h"

namespace calc {

struct CellStyleHash {
    size_t operator()(const io::CellStyle& s) const;
};

// Deduplicated cell styles; index 0 is the default style.
class StyleTable {
public:
    StyleTable();
    uint32_t intern(const io::CellStyle& style);
    const io::CellStyle& at(uint32_t id) const { return styles_[id]; }
    const std::vector<io::CellStyle>& all() const { return styles_; }
    bool isGeneral(uint32_t id) const { return kinds_[id] == FormatKind::General; }
    bool isText(uint32_t id) const { return kinds_[id] == FormatKind::Text; }
    bool isDateTime(uint32_t id) const { return kinds_[id] == FormatKind::DateTime; }
    // The style `from` with its number format replaced; memoised because the
    // same few formats are applied to many cells one at a time.
    uint32_t withNumberFormat(uint32_t from, std::wstring_view format);

private:
    enum class FormatKind : uint8_t { General, Text, DateTime, Other };
    std::vector<io::CellStyle> styles_;
    std::vector<FormatKind> kinds_;
    std::unordered_map<io::CellStyle, uint32_t, CellStyleHash> index_;
    struct FormatKey {
        uint32_t from;
        std::wstring format;
        bool operator==(const FormatKey&) const = default;
    };
    struct FormatKeyHash {
        size_t operator()(const FormatKey& k) const {
            return std::hash<std::wstring>()(k.format) * 31 + k.from;
        }
    };
    std::unordered_map<FormatKey, uint32_t, FormatKeyHash> formatMemo_;
    // The last changes asked for: callers format cell after cell alike, a
    // report's numbers, dates and times in turn. A report's row holds more
    // formats than four, which made every row miss; sixteen hold them.
    struct RecentChange {
        uint32_t from = UINT32_MAX;
        std::wstring format;
        uint32_t to = 0;
    };
    std::array<RecentChange, 16> recent_;
    size_t nextRecent_ = 0;
};

}  // namespace calc
