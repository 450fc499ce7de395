// Worksheet storage: rows of compact cells, a pooled string table and a
// deduplicated style table. Rows are held by handle so that deleting a row
// moves handles, never cells.
#pragma once

#include <cstdint>
#include <deque>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/calc/engine/CellAddress.h"
#include "platform/calc/io/SheetView.h"

namespace calc {

struct Cell {
    union {
        double number;  // Number, Boolean (0/1), Error (code)
        uint32_t text;  // Text: index into the sheet's string pool
    };
    uint32_t style = 0;
    io::CellKind kind = io::CellKind::Empty;

    Cell() : number(0.0) {}
    bool blank() const { return kind == io::CellKind::Empty && style == 0; }
};

// Error values a cell can hold, by the codes the older file format stores.
enum class CellError : uint8_t {
    Null = 0x00,
    Div0 = 0x07,
    Value = 0x0F,
    Ref = 0x17,
    Name = 0x1D,
    Num = 0x24,
    NA = 0x2A
};

// Interned texts, so equal strings share one copy.
class StringPool {
public:
    uint32_t intern(std::wstring_view text);
    const std::wstring& at(uint32_t id) const { return strings_[id]; }
    size_t size() const { return strings_.size(); }
    void clear();

private:
    std::deque<std::wstring> strings_;  // stable addresses for the index keys
    std::unordered_map<std::wstring_view, uint32_t> index_;
};

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
    // The last change asked for, since callers format cell after cell alike.
    uint32_t lastFrom_ = UINT32_MAX;
    std::wstring lastFormat_;
    uint32_t lastTo_ = 0;
};

// Rectangles of at least this many cells keep the style of their empty
// positions as a block rather than cell by cell.
inline constexpr int64_t kMinStyledBlock = 4096;

class Sheet : public io::SheetView {
public:
    explicit Sheet(std::wstring name, int currentYear);

    // io::SheetView
    std::wstring name() const override { return name_; }
    const std::vector<io::CellStyle>& styles() const override { return styles_.all(); }
    int32_t lastRow() const override;
    int32_t lastCol() const override;
    void forEachCell(const std::function<void(const io::CellRef&)>& visit) const override;
    double columnWidth(int32_t col) const override;
    bool hasColumnWidth(int32_t col) const override;
    int32_t activeRow() const override { return active_.row; }
    int32_t activeCol() const override { return active_.col; }

    // Cell access; a cell outside the stored area reads as blank.
    const Cell& cell(int32_t row, int32_t col) const;
    // The cells stored in a row, for scans over many cells: positions past
    // its end hold no value (they may be styled, see cell()).
    std::span<const Cell> rowCells(int32_t row) const {
        return row >= 0 && static_cast<size_t>(row) < rows_.size()
                   ? std::span<const Cell>(rows_[static_cast<size_t>(row)])
                   : std::span<const Cell>();
    }
    const std::wstring& text(const Cell& c) const { return strings_.at(c.text); }
    const io::CellStyle& style(const Cell& c) const { return styles_.at(c.style); }
    const io::CellStyle& styleAt(uint32_t id) const { return styles_.at(id); }
    bool generalFormat(uint32_t style) const { return styles_.isGeneral(style); }
    bool dateTimeFormat(uint32_t style) const { return styles_.isDateTime(style); }

    // Values. Typed text is converted (see TypedInput.h); a cell whose format
    // is not General keeps its format, and one formatted as text ("@") keeps
    // any text as text.
    void putTyped(int32_t row, int32_t col, std::wstring_view typed);
    void putText(int32_t row, int32_t col, std::wstring_view text);
    // A number; `format` replaces a General format when given.
    void putNumber(int32_t row, int32_t col, double value, std::wstring_view format = {});
    void putBoolean(int32_t row, int32_t col, bool value);
    void putError(int32_t row, int32_t col, CellError error);
    void clearContents(int32_t row, int32_t col);

    // Formats. Rectangles are clipped to the used area, so whole rows and
    // columns cost no more than the cells they hold.
    void setNumberFormat(const Rect& r, std::wstring_view format);
    void setAlignment(const Rect& r, io::HAlign align);
    template <typename Fn>
    void changeFont(const Rect& r, Fn&& change);  // change(io::FontSpec&)

    // Clears contents and formats.
    void clear(const Rect& r);

    // Deletion. Whole rows always shift up and whole columns left.
    void deleteShiftUp(const Rect& r);
    void deleteShiftLeft(const Rect& r);

    void setColumnWidth(int32_t col, double width);
    void resetColumnWidth(int32_t col);
    void select(CellPos pos) { active_ = pos; }

    // The area of stored cells clipped to r; false when r lies beyond it.
    bool clipToUsed(const Rect& r, Rect& out) const;
    // The cells a format change touches: whole rows and columns, and very
    // large rectangles, are clipped to the stored area.
    bool formatArea(const Rect& r, Rect& out) const;

    size_t storedRows() const { return rows_.size(); }
    // Cells held one by one (a styled block's empty positions are not).
    size_t storedCells() const;
    size_t pooledTexts() const { return strings_.size(); }
    int currentYear() const { return currentYear_; }

private:
    using Row = std::vector<Cell>;
    Cell& slot(int32_t row, int32_t col);
    template <typename Fn>
    void restyle(const Rect& r, Fn&& newStyle);  // newStyle(uint32_t old) -> uint32_t
    void trimRow(size_t row);
    // The style a position reads as when no cell is stored there.
    uint32_t styleBeyond(int32_t row, int32_t col) const {
        return block_.on && row >= block_.area.r1 && row <= block_.area.r2 && col >= block_.area.c1 &&
                       col <= block_.area.c2
                   ? block_.blank.style
                   : 0;
    }
    // Stores the block's empty positions as cells and forgets the block, for
    // the operations that move or clear part of it.
    void materialiseBlock();
    // Rows [first, first + count) are gone and those below move up; columns
    // likewise for the column variant.
    void blockRowsDeleted(int32_t first, int32_t count);
    void blockColsDeleted(int32_t first, int32_t count);
    void compactStringsIfWasteful();

    std::wstring name_;
    int currentYear_;
    std::vector<Row> rows_;
    StringPool strings_;
    StyleTable styles_;
    size_t maxCols_ = 0;          // no stored row is longer
    std::vector<double> widths_;  // < 0: not set
    CellPos active_;
    size_t nextCompaction_ = 65536;
    // A style put on a large rectangle: its empty positions read as styled
    // without a cell stored for each, which on a sparse block would take
    // most of the sheet's memory. Stored cells override it.
    struct StyledBlock {
        bool on = false;
        Rect area;
        Cell blank;  // Empty, with the block's style
    };
    StyledBlock block_;
};

template <typename Fn>
void Sheet::restyle(const Rect& r, Fn&& newStyle) {
    Rect clip;
    if (!formatArea(r, clip)) {
        return;
    }
    uint32_t lastOld = UINT32_MAX;
    uint32_t lastNew = 0;
    auto restyleCell = [&](Cell& c) {
        if (c.style != lastOld) {
            lastOld = c.style;
            lastNew = newStyle(c.style);
        }
        c.style = lastNew;
    };
    // A rectangle that is the styled block, or a large one when there is no
    // block yet, restyles only its stored cells and keeps the style of its
    // empty positions as the block's.
    const bool sameBlock = block_.on && block_.area == clip;
    if (sameBlock || (!block_.on && clip.cells() >= kMinStyledBlock)) {
        const uint32_t beyond = newStyle(sameBlock ? block_.blank.style : 0);
        // The block changes first: trimming a row compares with it.
        block_.area = clip;
        block_.blank.style = beyond;
        block_.on = beyond != 0;
        const auto lastRow = std::min(static_cast<size_t>(clip.r2) + 1, rows_.size());
        for (auto row = static_cast<size_t>(clip.r1); row < lastRow; ++row) {
            Row& cells = rows_[row];
            const auto end = std::min(cells.size(), static_cast<size_t>(clip.c2) + 1);
            for (auto col = static_cast<size_t>(clip.c1); col < end; ++col) {
                restyleCell(cells[col]);
            }
            trimRow(row);
        }
        return;
    }
    for (int32_t row = clip.r1; row <= clip.r2; ++row) {
        for (int32_t col = clip.c1; col <= clip.c2; ++col) {
            restyleCell(slot(row, col));
        }
        trimRow(static_cast<size_t>(row));
    }
}

template <typename Fn>
void Sheet::changeFont(const Rect& r, Fn&& change) {
    restyle(r, [&](uint32_t old) {
        io::CellStyle s = styles_.at(old);
        change(s.font);
        return styles_.intern(s);
    });
}

}  // namespace calc
