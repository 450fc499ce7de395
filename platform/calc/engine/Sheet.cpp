#include "platform/calc/engine/Sheet.h"

#include <algorithm>
#include <cwctype>

#include "platform/calc/engine/TypedInput.h"
#include "platform/calc/format/NumberFormat.h"

namespace calc {

namespace {

// Beyond this many cells a format change is limited to the stored area, so a
// rectangle named "A1:XFD1048576" cannot exhaust memory.
constexpr int64_t kMaxFormatCells = int64_t{1} << 24;

const Cell kBlank;
const std::vector<Cell> kNoCells;  // a row beyond the stored ones

}  // namespace

// ---- Sheet -----------------------------------------------------------------

Sheet::Sheet(std::wstring name, int currentYear) : name_(std::move(name)), currentYear_(currentYear) {}

// Stored cells that show nothing (a block's cleared or restyled positions)
// do not count: the extent ends at the last position showing something.
int32_t Sheet::lastRow() const {
    const Rect& b = block_.area;
    size_t top = rows_.size();
    if (block_.on) {
        top = std::max(top, static_cast<size_t>(b.r2) + 1);
    }
    for (size_t r = top; r > 0; --r) {
        const auto row = static_cast<int32_t>(r - 1);
        const bool inBlock = block_.on && row >= b.r1 && row <= b.r2;
        if (r > rows_.size()) {
            if (inBlock) {
                return row;
            }
            continue;
        }
        const Row& cells = rowAt(r - 1);
        if (std::any_of(cells.begin(), cells.end(), [](const Cell& c) { return !c.blank(); })) {
            return row;
        }
        // A block position without a cell of its own shows the block's style.
        if (inBlock && rowCells(row, b.c1, b.c2).size() < static_cast<size_t>(b.cols())) {
            return row;
        }
    }
    return -1;
}

int32_t Sheet::lastCol() const {
    int32_t widest = -1;
    for (size_t r = 0; r < rows_.size(); ++r) {
        const Row& row = rowAt(r);
        auto shown = std::find_if(row.rbegin(), row.rend(), [](const Cell& c) { return !c.blank(); });
        if (shown != row.rend()) {
            widest = std::max(widest, static_cast<int32_t>(shown->col));
        }
    }
    if (!block_.on || widest >= block_.area.c2) {
        return widest;
    }
    // The block's last column showing its style: one where some block row
    // stores no cell of its own.
    const Rect& b = block_.area;
    if (static_cast<size_t>(b.r2) >= rows_.size()) {
        return b.c2;
    }
    std::vector<int32_t> covered(static_cast<size_t>(b.cols()), 0);
    for (int32_t row = b.r1; row <= b.r2; ++row) {
        for (const Cell& c : rowCells(row, b.c1, b.c2)) {
            ++covered[static_cast<size_t>(c.col - b.c1)];
        }
    }
    for (int32_t col = b.c2; col >= b.c1 && col > widest; --col) {
        if (covered[static_cast<size_t>(col - b.c1)] < b.rows()) {
            return col;
        }
    }
    return widest;
}

void Sheet::forEachCell(const std::function<void(const io::CellRef&)>& visit) const {
    io::CellRef ref;
    auto emit = [&](size_t r, int32_t c, const Cell& cell) {
        if (cell.blank()) {
            return;
        }
        ref.row = static_cast<int32_t>(r);
        ref.col = c;
        ref.kind = cell.kind;
        ref.style = cell.style;
        if (cell.kind == io::CellKind::Text) {
            ref.number = 0.0;
            ref.text = &strings_.at(cell.text);
            ref.textNumber = cell.text;
        } else {
            ref.number = cell.kind == io::CellKind::Empty ? 0.0 : cell.number;
            ref.text = nullptr;
            ref.textNumber = io::CellRef::kNoTextNumber;
        }
        visit(ref);
    };
    const size_t rowCount =
        std::max(rows_.size(), block_.on ? static_cast<size_t>(block_.area.r2) + 1 : size_t{0});
    for (size_t r = 0; r < rowCount; ++r) {
        const std::vector<Cell>& row = r < rows_.size() ? rowAt(r) : kNoCells;
        const bool inBlock = block_.on && static_cast<int32_t>(r) >= block_.area.r1 &&
                             static_cast<int32_t>(r) <= block_.area.r2;
        auto it = row.begin();
        if (inBlock) {
            // The block's empty positions come between the stored cells.
            for (; it != row.end() && it->col < block_.area.c1; ++it) {
                emit(r, it->col, *it);
            }
            for (int32_t c = block_.area.c1; c <= block_.area.c2; ++c) {
                if (it != row.end() && it->col == c) {
                    emit(r, c, *it++);
                } else {
                    emit(r, c, block_.blank);
                }
            }
        }
        for (; it != row.end(); ++it) {
            emit(r, it->col, *it);
        }
    }
}

double Sheet::columnWidth(int32_t col) const {
    return hasColumnWidth(col) ? widths_[static_cast<size_t>(col)] : defaultColumnWidth();
}

bool Sheet::hasColumnWidth(int32_t col) const {
    return col >= 0 && static_cast<size_t>(col) < widths_.size() && widths_[static_cast<size_t>(col)] >= 0.0;
}

void Sheet::setColumnWidth(int32_t col, double width) {
    if (col < 0 || col >= kMaxCols) {
        return;
    }
    if (widths_.size() <= static_cast<size_t>(col)) {
        widths_.resize(static_cast<size_t>(col) + 1, -1.0);
    }
    widths_[static_cast<size_t>(col)] = width;
}

void Sheet::resetColumnWidth(int32_t col) {
    if (hasColumnWidth(col)) {
        widths_[static_cast<size_t>(col)] = -1.0;
    }
}

const Cell& Sheet::cell(int32_t row, int32_t col) const {
    if (row >= 0 && col >= 0 && static_cast<size_t>(row) < rows_.size()) {
        const Row& r = rowAt(static_cast<size_t>(row));
        auto it = firstAtOrAfter(r, col);
        if (it != r.end() && it->col == col) {
            return *it;
        }
    }
    return styleBeyond(row, col) != 0 ? block_.blank : kBlank;
}

std::span<const Cell> Sheet::rowCells(int32_t row, int32_t first, int32_t last) const {
    if (row < 0 || static_cast<size_t>(row) >= rows_.size() || last < first) {
        return {};
    }
    const Row& cells = rowAt(static_cast<size_t>(row));
    auto from = firstAtOrAfter(cells, first);
    auto to = last >= kMaxCols - 1 ? cells.end() : firstAtOrAfter(cells, last + 1);
    return {from, to};
}

void Sheet::reserveRow(int32_t row, size_t n) {
    if (row < 0 || row >= kMaxRows || n == 0) {
        return;
    }
    auto r = static_cast<size_t>(row);
    if (r >= rows_.size()) {
        rows_.resize(r + 1);
    }
    rowAt(r).reserve(rowAt(r).size() + n);
}

size_t Sheet::storedCells() const {
    size_t n = 0;
    for (size_t r = 0; r < rows_.size(); ++r) {
        n += rowAt(r).size();
    }
    return n;
}

void Sheet::settle(Row& row) const {
    for (; row.settledCuts < orderedCutsFrom_; ++row.settledCuts) {
        const ColumnCut& cut = cuts_[row.settledCuts];
        auto from = firstAtOrAfter(row, cut.first);
        if (from == row.end()) {
            continue;
        }
        from = row.erase(from, firstAtOrAfter(row, cut.first + cut.count));
        for (; from != row.end(); ++from) {
            from->col = static_cast<uint16_t>(from->col - cut.count);
        }
    }
    // The cuts left are in left-to-right order, as a sweep over the columns
    // makes them, and are taken in one pass over the row: in the row's
    // present columns each starts where it says plus the columns the cuts
    // before it removed.
    int32_t shift = 0;
    size_t next = row.settledCuts;
    auto kept = row.begin();
    for (auto it = row.begin(); it != row.end(); ++it) {
        const int32_t col = it->col;
        while (next < cuts_.size() && cuts_[next].first + shift + cuts_[next].count <= col) {
            shift += cuts_[next].count;
            ++next;
        }
        if (next < cuts_.size() && cuts_[next].first + shift <= col) {
            continue;  // in a cut column
        }
        *kept = *it;
        kept->col = static_cast<uint16_t>(col - shift);
        ++kept;
    }
    row.erase(kept, row.end());
    row.settledCuts = static_cast<uint32_t>(cuts_.size());
    if (row.empty() && row.capacity() != 0) {
        std::vector<Cell>().swap(row);
    }
}

Cell& Sheet::slot(int32_t row, int32_t col) {
    ++generation_;
    auto r = static_cast<size_t>(row);
    if (r >= rows_.size()) {
        rows_.resize(r + 1);
    }
    Row& cells = rowAt(r);
    auto it = firstAtOrAfter(cells, col);
    if (it != cells.end() && it->col == col) {
        return *it;
    }
    Cell fresh(col);
    fresh.style = styleBeyond(row, col);
    maxCols_ = std::max(maxCols_, static_cast<size_t>(col) + 1);
    if (colCells_.size() <= static_cast<size_t>(col)) {
        colCells_.resize(static_cast<size_t>(col) + 1, 0);
    }
    ++colCells_[static_cast<size_t>(col)];
    return *cells.insert(it, fresh);
}

void Sheet::recountColumns() {
    std::fill(colCells_.begin(), colCells_.end(), 0);
    for (size_t r = 0; r < rows_.size(); ++r) {
        for (const Cell& c : rowAt(r)) {
            if (colCells_.size() <= c.col) {
                colCells_.resize(static_cast<size_t>(c.col) + 1, 0);
            }
            ++colCells_[c.col];
        }
    }
}

void Sheet::trimRow(size_t index, int32_t first, int32_t last) {
    Row& row = rowAt(index);
    const auto r = static_cast<int32_t>(index);
    // An empty cell goes when its position reads the same without it.
    const auto from = firstAtOrAfter(row, first);
    const auto to = last >= kMaxCols - 1 ? row.end() : firstAtOrAfter(row, last + 1);
    const auto kept = std::remove_if(from, to, [&](const Cell& c) {
        if (c.kind == io::CellKind::Empty && c.style == styleBeyond(r, c.col)) {
            uncount(c);
            return true;
        }
        return false;
    });
    row.erase(kept, to);
    if (row.empty()) {
        Row().swap(row);  // give the memory back
    }
}

void Sheet::putTyped(int32_t row, int32_t col, std::wstring_view typed) {
    Cell& c = slot(row, col);
    storeTyped(c, row, col,
               styles_.isText(c.style) ? TypedValue{InputKind::Text, 0.0, {}, typed}
                                       : ConvertTypedInput(typed, currentYear_));
}

void Sheet::putConverted(int32_t row, int32_t col, std::wstring_view typed, const TypedValue& converted,
                         uint32_t textHash) {
    Cell& c = slot(row, col);
    if (styles_.isText(c.style)) {
        storeText(c, row, col, typed);
    } else if (converted.kind == InputKind::Text) {
        storeText(c, row, col, converted.text, textHash);
    } else {
        storeTyped(c, row, col, converted);
    }
}

void Sheet::storeTyped(Cell& c, int32_t row, int32_t col, const TypedValue& v) {
    if (v.kind == InputKind::Text) {
        storeText(c, row, col, v.text);  // the cell at hand, not looked up again
        return;
    }
    c.kind = io::CellKind::Number;
    c.number = v.value;
    if (styles_.isGeneral(c.style) && v.format != L"General") {
        c.style = styles_.withNumberFormat(c.style, v.format);
    }
}

void Sheet::putText(int32_t row, int32_t col, std::wstring_view text) {
    if (text.empty()) {
        clearContents(row, col);
        return;
    }
    storeText(slot(row, col), row, col, text);
}

void Sheet::storeText(Cell& c, int32_t row, int32_t col, std::wstring_view text) {
    storeText(c, row, col, text, io::TextIndex::Hash(text));
}

void Sheet::storeText(Cell& c, int32_t row, int32_t col, std::wstring_view text, uint32_t hash) {
    if (text.empty()) {
        clearContents(row, col);
        return;
    }
    c.kind = io::CellKind::Text;
    c.text = strings_.intern(text, hash);
    if (strings_.size() >= nextCompaction_) {
        compactStringsIfWasteful();
    }
}

void Sheet::putNumber(int32_t row, int32_t col, double value, std::wstring_view format) {
    Cell& c = slot(row, col);
    c.kind = io::CellKind::Number;
    c.number = value == 0.0 ? 0.0 : value;
    if (!format.empty() && styles_.isGeneral(c.style)) {
        c.style = styles_.withNumberFormat(c.style, format);
    }
}

void Sheet::putBoolean(int32_t row, int32_t col, bool value) {
    Cell& c = slot(row, col);
    c.kind = io::CellKind::Boolean;
    c.number = value ? 1.0 : 0.0;
}

void Sheet::putError(int32_t row, int32_t col, CellError error) {
    Cell& c = slot(row, col);
    c.kind = io::CellKind::Error;
    c.number = static_cast<double>(static_cast<uint8_t>(error));
}

void Sheet::clearContents(int32_t row, int32_t col) {
    if (row < 0 || static_cast<size_t>(row) >= rows_.size()) {
        return;
    }
    Row& r = rowAt(static_cast<size_t>(row));
    auto it = firstAtOrAfter(r, col);
    if (it == r.end() || it->col != col) {
        return;
    }
    ++generation_;
    if (it->style == styleBeyond(row, col)) {
        uncount(*it);
        r.erase(it);
        if (r.empty()) {
            Row().swap(r);
        }
        return;
    }
    it->kind = io::CellKind::Empty;
    it->number = 0.0;
}

bool Sheet::clipToUsed(const Rect& r, Rect& out) const {
    // Cleared and shifted-up rows stay stored, empty, below the last used one.
    size_t rows = rows_.size();
    while (rows > 0 && rowAt(rows - 1).empty()) {
        --rows;
    }
    // Cleared and restyled cells leave the widest row's width behind them.
    size_t cols = std::min(maxCols_, colCells_.size());
    while (cols > 0 && colCells_[cols - 1] == 0) {
        --cols;
    }
    if (block_.on) {
        rows = std::max(rows, static_cast<size_t>(block_.area.r2) + 1);
        cols = std::max(cols, static_cast<size_t>(block_.area.c2) + 1);
    }
    if (rows == 0 || cols == 0) {
        return false;
    }
    out = r;
    out.r2 = std::min(out.r2, static_cast<int32_t>(rows) - 1);
    out.c2 = std::min(out.c2, static_cast<int32_t>(cols) - 1);
    return out.r1 <= out.r2 && out.c1 <= out.c2;
}

bool Sheet::formatArea(const Rect& r, Rect& out) const {
    if (r.wholeRows() || r.wholeCols() || r.cells() > kMaxFormatCells) {
        return clipToUsed(r, out);
    }
    out = r;
    return true;
}

void Sheet::setNumberFormat(const Rect& r, std::wstring_view format) {
    restyle(r, [&](uint32_t old) { return styles_.withNumberFormat(old, format); });
}

void Sheet::setAlignment(const Rect& r, io::HAlign align) {
    restyle(r, [&](uint32_t old) {
        io::CellStyle s = styles_.at(old);
        s.align = align;
        return styles_.intern(s);
    });
}

void Sheet::clear(const Rect& r) {
    Rect clip;
    if (!clipToUsed(r, clip)) {
        return;
    }
    ++generation_;
    // The block's part in the rectangle: its positions there must read as
    // unstyled, so they get a plain cell each unless the block can shrink.
    Rect hole{0, 0, -1, -1};
    if (block_.on) {
        const Rect& b = block_.area;
        const bool overlaps = r.r1 <= b.r2 && r.r2 >= b.r1 && r.c1 <= b.c2 && r.c2 >= b.c1;
        const bool allCols = r.c1 <= b.c1 && r.c2 >= b.c2;
        if (overlaps && allCols && r.r1 <= b.r1 && r.r2 >= b.r2) {
            block_.on = false;
        } else if (overlaps && allCols && r.r2 >= b.r2) {
            block_.area.r2 = r.r1 - 1;  // the block's last rows
        } else if (overlaps && allCols && r.r1 <= b.r1) {
            block_.area.r1 = r.r2 + 1;  // its first rows
        } else if (overlaps) {
            hole =
                Rect{std::max(r.r1, b.r1), std::max(r.c1, b.c1), std::min(r.r2, b.r2), std::min(r.c2, b.c2)};
        }
    }
    const bool holed = hole.r1 <= hole.r2;
    if (holed && rows_.size() <= static_cast<size_t>(hole.r2)) {
        rows_.resize(static_cast<size_t>(hole.r2) + 1);
    }
    if (holed && colCells_.size() <= static_cast<size_t>(hole.c2)) {
        colCells_.resize(static_cast<size_t>(hole.c2) + 1, 0);
    }
    const auto endRow = std::min(static_cast<size_t>(clip.r2) + 1, rows_.size());
    for (auto row = static_cast<size_t>(clip.r1); row < endRow; ++row) {
        Row& cells = rowAt(row);
        auto from = firstAtOrAfter(cells, clip.c1);
        auto to = firstAtOrAfter(cells, clip.c2 + 1);
        uncount(from, to);
        from = cells.erase(from, to);
        const auto r32 = static_cast<int32_t>(row);
        if (holed && r32 >= hole.r1 && r32 <= hole.r2) {
            std::vector<Cell> plain;
            plain.reserve(static_cast<size_t>(hole.cols()));
            for (int32_t col = hole.c1; col <= hole.c2; ++col) {
                plain.emplace_back(col);
                ++colCells_[static_cast<size_t>(col)];
            }
            cells.insert(from, plain.begin(), plain.end());
        }
        if (cells.empty()) {
            Row().swap(cells);
        }
    }
}

void Sheet::deleteShiftUp(const Rect& r) {
    const size_t width = std::max(maxCols_, block_.on ? static_cast<size_t>(block_.area.c2) + 1 : size_t{0});
    const bool wholeRows = r.wholeRows() || (r.c1 == 0 && static_cast<size_t>(r.c2) + 1 >= width);
    ++generation_;
    if (block_.on) {
        if (wholeRows) {
            blockRowsDeleted(r.r1, r.rows());
        } else if (r.c1 <= block_.area.c2 && r.c2 >= block_.area.c1 && r.r1 <= block_.area.r2) {
            materialiseBlock();
        }
    }
    if (static_cast<size_t>(r.r1) >= rows_.size()) {
        return;
    }
    auto first = static_cast<size_t>(r.r1);
    auto last = std::min(static_cast<size_t>(r.r2) + 1, rows_.size());
    // Rows whose every stored column is in the range move up as whole rows,
    // which costs moving row handles rather than cells.
    if (wholeRows) {
        for (size_t row = first; row < last; ++row) {
            uncount(rowAt(row).begin(), rowAt(row).end());
        }
        rows_.erase(first, last);
        fitWidthToCounts();
        return;
    }
    const size_t count = static_cast<size_t>(r.rows());
    std::vector<Cell> merged;
    for (size_t row = first; row < rows_.size(); ++row) {
        Row& dst = rowAt(row);
        const size_t from = row + count;
        const Row* src = from < rows_.size() ? &rowAt(from) : nullptr;
        // The row keeps its cells left and right of the range and takes those
        // of the row `count` below within it.
        merged.clear();
        auto mid = firstAtOrAfter(dst, r.c1);
        auto tail = firstAtOrAfter(dst, r.c2 + 1);
        merged.insert(merged.end(), dst.begin(), mid);
        if (src) {
            auto srcFrom = firstAtOrAfter(*src, r.c1);
            auto srcTo = firstAtOrAfter(*src, r.c2 + 1);
            merged.insert(merged.end(), srcFrom, srcTo);
        }
        merged.insert(merged.end(), tail, dst.end());
        dst.swap(merged);
        trimRow(row);
    }
    recountColumns();
    fitWidthToCounts();
}

void Sheet::fitWidthToCounts() {
    size_t width = colCells_.size();
    while (width > 0 && colCells_[width - 1] == 0) {
        --width;
    }
    maxCols_ = std::min(maxCols_, width);
}

void Sheet::indexColumns() const {
    if (byColumn_.generation == generation_) {
        return;
    }
    byColumn_.rows.clear();
    byColumn_.cells.clear();
    for (size_t r = 0; r < rows_.size(); ++r) {
        for (const Cell& c : rowAt(r)) {
            if (byColumn_.rows.size() <= c.col) {
                byColumn_.rows.resize(static_cast<size_t>(c.col) + 1);
                byColumn_.cells.resize(static_cast<size_t>(c.col) + 1);
            }
            byColumn_.rows[c.col].push_back(static_cast<uint32_t>(r));
            byColumn_.cells[c.col].push_back(c);
        }
    }
    byColumn_.generation = generation_;
}

std::span<const uint32_t> Sheet::rowsWithCells(int32_t col) const {
    indexColumns();
    if (col < 0 || static_cast<size_t>(col) >= byColumn_.rows.size()) {
        return {};
    }
    return byColumn_.rows[static_cast<size_t>(col)];
}

std::span<const Cell> Sheet::cellsWithRows(int32_t col) const {
    indexColumns();
    if (col < 0 || static_cast<size_t>(col) >= byColumn_.cells.size()) {
        return {};
    }
    return byColumn_.cells[static_cast<size_t>(col)];
}

void Sheet::deleteShiftLeft(const Rect& r) {
    // The column index follows a deletion of whole columns; any other
    // change leaves it to be built again.
    const bool indexed = byColumn_.generation == generation_;
    ++generation_;
    if (block_.on && r.r1 <= block_.area.r2 && r.r2 >= block_.area.r1 && r.c1 <= block_.area.c2) {
        if (r.r1 <= block_.area.r1 && r.r2 >= block_.area.r2) {
            blockColsDeleted(r.c1, r.cols());
        } else {
            materialiseBlock();
        }
    }
    const auto firstRow = static_cast<size_t>(r.r1);
    const size_t endRow = std::min(static_cast<size_t>(r.r2) + 1, rows_.size());
    const auto count = static_cast<uint16_t>(std::min<int32_t>(r.cols(), kMaxCols));
    const bool everyRow = firstRow == 0 && endRow == rows_.size();
    if (everyRow) {
        // Each row takes the cut when it is next used.
        if (!cuts_.empty() && r.c1 < cuts_.back().first) {
            orderedCutsFrom_ = cuts_.size();
        }
        cuts_.push_back(ColumnCut{r.c1, count});
    }
    for (size_t row = firstRow; row < endRow && !everyRow; ++row) {
        Row& cells = rowAt(row);
        auto from = firstAtOrAfter(cells, r.c1);
        if (from == cells.end()) {
            continue;
        }
        auto to = firstAtOrAfter(cells, r.c2 + 1);
        uncount(from, to);
        from = cells.erase(from, to);
        for (; from != cells.end(); ++from) {
            from->col = static_cast<uint16_t>(from->col - count);
        }
        if (cells.empty()) {
            Row().swap(cells);
        }
    }
    // Every stored row lost the columns: their counts go too. Otherwise the
    // columns right of the range hold other cells than before.
    if (everyRow && indexed) {
        auto cut = [&r](auto& index) {
            if (static_cast<size_t>(r.c1) < index.size()) {
                index.erase(index.begin() + r.c1,
                            index.begin() + static_cast<ptrdiff_t>(
                                                std::min(static_cast<size_t>(r.c2) + 1, index.size())));
            }
        };
        cut(byColumn_.rows);
        cut(byColumn_.cells);
        byColumn_.generation = generation_;
    }
    if (everyRow) {
        if (static_cast<size_t>(r.c1) < colCells_.size()) {
            colCells_.erase(colCells_.begin() + r.c1,
                            colCells_.begin() + static_cast<ptrdiff_t>(std::min(static_cast<size_t>(r.c2) + 1,
                                                                                colCells_.size())));
        }
    } else {
        recountColumns();
    }
    fitWidthToCounts();
    if (r.wholeCols() && static_cast<size_t>(r.c1) < widths_.size()) {
        widths_.erase(widths_.begin() + r.c1,
                      widths_.begin() +
                          static_cast<ptrdiff_t>(std::min(static_cast<size_t>(r.c2) + 1, widths_.size())));
    }
}

namespace {

// What is left of the span [lo, hi] when [first, first + count) is removed
// and what follows moves back; false when nothing is left.
bool SpanAfterDeletion(int32_t& lo, int32_t& hi, int32_t first, int32_t count) {
    const int64_t last = int64_t{first} + count - 1;
    auto map = [&](int64_t p) -> int64_t { return p < first ? p : (p > last ? p - count : first); };
    const int64_t newLo = map(lo);
    // Removed positions at the span's end shorten it from there.
    const int64_t newHi = hi <= last && hi >= first ? int64_t{first} - 1 : map(hi);
    if (newHi < newLo) {
        return false;
    }
    lo = static_cast<int32_t>(newLo);
    hi = static_cast<int32_t>(newHi);
    return true;
}

}  // namespace

void Sheet::blockRowsDeleted(int32_t first, int32_t count) {
    block_.on = SpanAfterDeletion(block_.area.r1, block_.area.r2, first, count);
}

void Sheet::blockColsDeleted(int32_t first, int32_t count) {
    block_.on = SpanAfterDeletion(block_.area.c1, block_.area.c2, first, count);
}

void Sheet::materialiseBlock() {
    if (!block_.on) {
        return;
    }
    const Rect b = block_.area;
    const uint32_t style = block_.blank.style;
    block_.on = false;
    ++generation_;
    if (rows_.size() <= static_cast<size_t>(b.r2)) {
        rows_.resize(static_cast<size_t>(b.r2) + 1);
    }
    std::vector<Cell> merged;
    for (auto r = static_cast<size_t>(b.r1); r <= static_cast<size_t>(b.r2); ++r) {
        Row& cells = rowAt(r);
        merged.clear();
        auto it = cells.begin();
        for (; it != cells.end() && it->col < b.c1; ++it) {
            merged.push_back(*it);
        }
        for (int32_t c = b.c1; c <= b.c2; ++c) {
            if (it != cells.end() && it->col == c) {
                // A cleared position of the block held a plain cell only
                // to hide the block's style.
                if (!it->blank()) {
                    merged.push_back(*it);
                }
                ++it;
            } else {
                merged.emplace_back(c).style = style;
            }
        }
        merged.insert(merged.end(), it, cells.end());
        cells.swap(merged);
    }
    maxCols_ = std::max(maxCols_, static_cast<size_t>(b.c2) + 1);
    recountColumns();
}

void Sheet::compactStringsIfWasteful() {
    size_t live = 0;
    for (size_t r = 0; r < rows_.size(); ++r) {
        for (const Cell& c : rowAt(r)) {
            live += c.kind == io::CellKind::Text ? 1 : 0;
        }
    }
    if (live * 2 < strings_.size()) {
        StringPool fresh;
        for (size_t r = 0; r < rows_.size(); ++r) {
            for (Cell& c : rowAt(r)) {
                if (c.kind == io::CellKind::Text) {
                    c.text = fresh.intern(strings_.at(c.text));
                }
            }
        }
        // Swap through a temporary: the pool's keys point into its own deque,
        // which a move keeps in place.
        strings_ = std::move(fresh);
        live = strings_.size();
    }
    nextCompaction_ = std::max<size_t>(65536, live * 2 + 1);
}

}  // namespace calc
