// Worksheet storage: rows of compact cells, a pooled string table
// (StringPool.h) and a deduplicated style table (StyleTable.h). A row holds only the cells it stores, in
// column order, so a printed report's sparse lines cost what they hold and a column deletion moves a few
// cells per row. Rows are held by handle so that deleting a row moves handles, never cells.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <deque>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/calc/engine/CellAddress.h"
#include "platform/calc/engine/RowList.h"
#include "platform/calc/engine/StringPool.h"
#include "platform/calc/engine/StyleTable.h"
#include "platform/calc/engine/TypedInput.h"
#include "platform/calc/io/SheetView.h"
#include "platform/calc/io/TextIndex.h"

namespace calc {

struct BlockView;

struct Cell {
    union {
        double number;  // Number, Boolean (0/1), Error (code)
        uint32_t text;  // Text: index into the sheet's string pool
    };
    uint32_t style = 0;
    io::CellKind kind = io::CellKind::Empty;
    uint16_t col = 0;  // the cell's column within its row

    Cell() : number(0.0) {}
    explicit Cell(int32_t column) : number(0.0), col(static_cast<uint16_t>(column)) {}
    bool blank() const { return kind == io::CellKind::Empty && style == 0; }
};
static_assert(kMaxCols - 1 <= UINT16_MAX, "a column must fit a cell's column field");
static_assert(sizeof(Cell) == 16, "cells are packed two to a cache line's quarter");

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
    // A text's number is its place in the string pool.
    uint32_t textNumbers() const override { return static_cast<uint32_t>(strings_.size()); }
    double columnWidth(int32_t col) const override;
    bool hasColumnWidth(int32_t col) const override;
    int32_t activeRow() const override { return active_.row; }
    int32_t activeCol() const override { return active_.col; }

    // Cell access; a cell outside the stored area reads as blank.
    const Cell& cell(int32_t row, int32_t col) const;
    // The cells stored in a row, in column order, for scans over many cells:
    // a position without one holds no value (it may be styled, see cell()).
    std::span<const Cell> rowCells(int32_t row) const {
        return row >= 0 && static_cast<size_t>(row) < rows_.size()
                   ? std::span<const Cell>(rowAt(static_cast<size_t>(row)))
                   : std::span<const Cell>();
    }
    // The stored cells of a row from column first to column last.
    std::span<const Cell> rowCells(int32_t row, int32_t first, int32_t last) const;
    // Room for n stored cells in a row, before a block write fills it.
    void reserveRow(int32_t row, size_t n);
    // The rows that store a cell in a column, in order: reading a column of
    // a tall sheet then visits the rows that hold something there, not every
    // row. Kept across deletions of whole columns, rebuilt after any other
    // change.
    std::span<const uint32_t> rowsWithCells(int32_t col) const;
    // Copies of those rows' cells in the column, one for each: a tall
    // column is then read without visiting its rows, each a wait on memory.
    // Their col fields are not kept up to date.
    std::span<const Cell> cellsWithRows(int32_t col) const;
    // False when no row stores a cell in the column, which spares a scan of
    // every row for a column that holds nothing.
    bool columnStoresCells(int32_t col) const {
        return col >= 0 && static_cast<size_t>(col) < colCells_.size() &&
               colCells_[static_cast<size_t>(col)] != 0;
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
    // putTyped with the conversion made beforehand (perhaps on another
    // thread): `converted` is ConvertTypedInput(typed, currentYear()), taken
    // only where putTyped would convert, and textHash is TextHash of its
    // text when that is a text.
    void putConverted(int32_t row, int32_t col, std::wstring_view typed, const TypedValue& converted,
                      uint32_t textHash);
    static uint32_t TextHash(std::wstring_view text) { return io::TextIndex::Hash(text); }
    void putText(int32_t row, int32_t col, std::wstring_view text);
    // A number; `format` replaces a General format when given.
    void putNumber(int32_t row, int32_t col, double value, std::wstring_view format = {});
    void putBoolean(int32_t row, int32_t col, bool value);
    void putError(int32_t row, int32_t col, CellError error);
    void clearContents(int32_t row, int32_t col);
    // Stores a block's elements into `area` from its top left, one a cell;
    // the positions of `area` past the block get #N/A. Every element is
    // checked first: false, with nothing changed, when one cannot be stored.
    bool putBlock(const Rect& area, const BlockView& block);

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

    // Changes with every change of a cell's value or style, so that figures
    // derived from the cells can be kept until they no longer hold.
    uint64_t generation() const { return generation_; }
    // The widest displayed value of every column, in pixels, as measured at
    // `generation`: fitting columns one call at a time measures each cell once.
    struct ColumnFit {
        uint64_t generation = UINT64_MAX;
        std::vector<double> pixels;  // < 0: nothing shown
    };
    ColumnFit& columnFit() { return fit_; }

private:
    // A row's cells, and how many of the sheet's column cuts it has taken.
    struct Row : std::vector<Cell> {
        uint32_t settledCuts = 0;
    };
    // A deletion of whole-height columns, applied to each row when the row is
    // next used: deleting an empty column then visits no row at all.
    struct ColumnCut {
        int32_t first;
        int32_t count;
    };
    // The row brought up to date with every column cut.
    Row& rowAt(size_t r) const {
        Row& row = rows_[r];
        if (row.settledCuts != cuts_.size()) {
            settle(row);
        }
        return row;
    }
    void settle(Row& row) const;
    Cell& slot(int32_t row, int32_t col);
    // The first stored cell of a row at or right of a column.
    template <typename Cells>
    static auto firstAtOrAfter(Cells& cells, int32_t col) {
        // Cells are written left to right, so most lookups are at the end.
        if (cells.empty() || cells.back().col < col) {
            return cells.end();
        }
        return std::lower_bound(cells.begin(), cells.end(), col,
                                [](const Cell& c, int32_t column) { return c.col < column; });
    }
    template <typename Fn>
    void restyle(const Rect& r, Fn&& newStyle);  // newStyle(uint32_t old) -> uint32_t
    // Puts a text into the cell at (row, col), found already; an empty text
    // clears it.
    void storeText(Cell& c, int32_t row, int32_t col, std::wstring_view text);
    void storeText(Cell& c, int32_t row, int32_t col, std::wstring_view text, uint32_t hash);
    void storeTyped(Cell& c, int32_t row, int32_t col, const TypedValue& v);
    // Drops the empty cells of a row, from column first to last, that read
    // the same without being stored.
    void trimRow(size_t row, int32_t first = 0, int32_t last = kMaxCols - 1);
    void uncount(const Cell& c) { --colCells_[c.col]; }
    void uncount(Row::const_iterator first, Row::const_iterator last) {
        for (; first != last; ++first) {
            uncount(*first);
        }
    }
    void recountColumns();
    // Deletions leave no stored cell right of the last counted column, and
    // whole rows are formatted no further than that.
    void fitWidthToCounts();
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
    // Rows are brought up to date with the column cuts as they are read, so
    // reading changes them.
    mutable RowList<Row> rows_;
    std::vector<ColumnCut> cuts_;
    // The cuts from this one on start each at or right of the one before.
    size_t orderedCutsFrom_ = 0;
    struct ColumnIndex {
        uint64_t generation = UINT64_MAX;
        std::vector<std::vector<uint32_t>> rows;  // per column
        std::vector<std::vector<Cell>> cells;     // per column, beside rows
    };
    void indexColumns() const;
    mutable ColumnIndex byColumn_;
    std::vector<uint32_t> colCells_;  // stored cells per column
    StringPool strings_;
    StyleTable styles_;
    size_t maxCols_ = 0;          // no stored row is longer
    std::vector<double> widths_;  // < 0: not set
    CellPos active_;
    size_t nextCompaction_ = 65536;
    uint64_t generation_ = 0;
    ColumnFit fit_;
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
    ++generation_;
    // Cells hold a handful of styles: each is changed once. A single cell,
    // the usual call, needs no table.
    std::vector<uint32_t> memo;
    if (clip.cells() > 1) {
        memo.assign(styles_.all().size(), UINT32_MAX);
    }
    auto changed = [&](uint32_t old) {
        if (old >= memo.size()) {
            return newStyle(old);
        }
        if (memo[old] == UINT32_MAX) {
            memo[old] = newStyle(old);
        }
        return memo[old];
    };
    // A rectangle that is the styled block, or a large one when there is no
    // block yet, restyles only its stored cells and keeps the style of its
    // empty positions as the block's.
    const bool sameBlock = block_.on && block_.area == clip;
    if (sameBlock || (!block_.on && clip.cells() >= kMinStyledBlock)) {
        const uint32_t beyond = changed(sameBlock ? block_.blank.style : 0);
        // The block changes first: trimming a row compares with it.
        block_.area = clip;
        block_.blank.style = beyond;
        block_.on = beyond != 0;
        const auto lastRow = std::min(static_cast<size_t>(clip.r2) + 1, rows_.size());
        for (auto row = static_cast<size_t>(clip.r1); row < lastRow; ++row) {
            Row& cells = rowAt(row);
            bool empty = false;
            for (auto it = firstAtOrAfter(cells, clip.c1); it != cells.end() && it->col <= clip.c2; ++it) {
                it->style = changed(it->style);
                empty = empty || it->kind == io::CellKind::Empty;
            }
            // Only an empty cell can go; when the rectangle spans the whole
            // row, the loop above has seen them all.
            const bool spansRow = cells.empty() || (static_cast<int32_t>(cells.front().col) >= clip.c1 &&
                                                    static_cast<int32_t>(cells.back().col) <= clip.c2);
            if (empty || !spansRow) {
                trimRow(row);
            }
        }
        return;
    }
    // A rectangle over the whole block gives each of its positions a style of
    // its own: the block then styles nothing and goes, and the rows are
    // trimmed only after it has gone.
    const Rect& b = block_.area;
    const bool swallowsBlock =
        block_.on && clip.r1 <= b.r1 && clip.r2 >= b.r2 && clip.c1 <= b.c1 && clip.c2 >= b.c2;
    for (int32_t row = clip.r1; row <= clip.r2; ++row) {
        bool empty = false;
        for (int32_t col = clip.c1; col <= clip.c2; ++col) {
            Cell& c = slot(row, col);
            c.style = changed(c.style);
            empty = empty || c.kind == io::CellKind::Empty;
        }
        // Trimming takes only empty cells, and only those of the rectangle.
        if (!swallowsBlock && empty) {
            trimRow(static_cast<size_t>(row), clip.c1, clip.c2);
        }
    }
    if (swallowsBlock) {
        block_.on = false;
        for (int32_t row = clip.r1; row <= clip.r2; ++row) {
            trimRow(static_cast<size_t>(row));
        }
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
