#include <algorithm>
#include <optional>
#include <thread>
#include <vector>

#include "platform/calc/engine/BlockView.h"
#include "platform/calc/engine/CellVariant.h"
#include "platform/calc/engine/Sheet.h"
#include "platform/calc/engine/TextsAhead.h"

namespace calc {

namespace {

// Blocks of at least this many elements are checked and listed on two threads.
constexpr size_t kTwoHalvesElements = size_t{1} << 20;

// A block element to store, a shallow copy of it; the array keeps owning
// what it points to.
struct Pending {
    VARIANT value;
    int32_t col;
};

}  // namespace

bool Sheet::putBlock(const Rect& area, const BlockView& block) {
    Sheet& sheet = *this;
    const int64_t rows = std::min<int64_t>(area.rows(), block.rows);
    const int64_t cols = std::min<int64_t>(area.cols(), block.cols);
    // Check every element before storing any, so a bad one changes nothing.
    // The values each row gets are counted on the way, so that its cells are
    // allocated once.
    std::vector<uint32_t> filled;
    // A block is mostly empty elements that no one wrote: those are known
    // empty without reading them, which would bring their pages into memory.
    const sw::automation::UntouchedPages& untouched = block.untouched;
    // A large block's columns are taken in two halves, the second on a
    // second thread, both to check and count its elements and to list them;
    // the halves count apart, so each knows where its cells go in a row.
    const auto height = static_cast<size_t>(std::max<int64_t>(block.rows, 0));
    const auto usedColumns = static_cast<size_t>(std::max<int64_t>(cols, 0));
    const size_t split = height * usedColumns >= kTwoHalvesElements ? usedColumns / 2 : usedColumns;
    std::vector<uint32_t> filledRight;
    if (block.vt == VT_VARIANT) {
        // The usual block: the elements are read where they lie, a column at a time.
        const auto* all = reinterpret_cast<const VARIANT*>(block.data);
        auto count = [&](size_t fromColumn, size_t toColumn, std::vector<uint32_t>& counts) {
            counts.assign(static_cast<size_t>(std::max<int64_t>(rows, 0)), 0);
            bool storable = true;
            untouched.forWrittenElements(sizeof(VARIANT), height, fromColumn * height, toColumn * height,
                                         [&](size_t k, size_t i, size_t) {
                                             if (static_cast<int64_t>(i) >= rows || all[k].vt == VT_EMPTY) {
                                                 return;
                                             }
                                             storable = storable && IsStorable(all[k]);
                                             ++counts[i];
                                         });
            return storable;
        };
        bool rightStorable = true;
        std::jthread right;
        if (split < usedColumns) {
            right = std::jthread([&] { rightStorable = count(split, usedColumns, filledRight); });
        }
        const bool leftStorable = count(0, split, filled);
        if (right.joinable()) {
            right.join();
        }
        if (!leftStorable || !rightStorable) {
            return false;
        }
        for (size_t i = 0; i < filledRight.size(); ++i) {
            filled[i] += filledRight[i];
        }
    } else {
        for (int64_t i = 0; i < rows; ++i) {
            for (int64_t j = 0; j < cols; ++j) {
                VARIANT v;
                block.element(i, j, v);
                if (!IsStorable(v)) {
                    return false;
                }
            }
        }
    }
    if (block.vt != VT_VARIANT) {
        for (int32_t r = area.r1; r <= area.r2; ++r) {
            for (int32_t c = area.c1; c <= area.c2; ++c) {
                const int64_t i = r - area.r1;
                const int64_t j = c - area.c1;
                if (i < rows && j < cols) {
                    VARIANT v;
                    block.element(i, j, v);
                    PutVariant(sheet, r, c, v);
                } else {
                    sheet.putError(r, c, CellError::NA);  // the range is larger than the array
                }
            }
        }
        return true;
    }
    const auto* all = reinterpret_cast<const VARIANT*>(block.data);
    // An empty element empties its cell; only a stored cell has anything to
    // lose, so the stored cells are visited rather than every position.
    if (rows > 0 && cols > 0) {
        std::vector<int32_t> emptied;
        const auto lastRow = static_cast<int32_t>(std::min<int64_t>(area.r1 + rows, kMaxRows) - 1);
        const auto lastCol = static_cast<int32_t>(area.c1 + cols - 1);
        for (int32_t r = area.r1; r <= lastRow; ++r) {
            emptied.clear();
            for (const Cell& c : sheet.rowCells(r, area.c1, lastCol)) {
                const auto k = static_cast<size_t>((r - area.r1) + int64_t{c.col - area.c1} * block.rows);
                if (untouched.at(k * sizeof(VARIANT)) || all[k].vt == VT_EMPTY) {
                    emptied.push_back(c.col);
                }
            }
            for (const int32_t c : emptied) {
                sheet.clearContents(r, c);
            }
            sheet.reserveRow(r, filled[static_cast<size_t>(r - area.r1)]);
        }
    }
    // The values, row by row as the sheet holds them. The array runs down
    // columns, so its non-empty elements are first listed row by row, in
    // one pass down its columns: stepping along a row of the array would
    // cross to another page at every element, and most of its elements are
    // empty. The list holds a shallow copy of each, so that storing them
    // reads it in order.
    std::vector<size_t> next(filled.size() + 1, 0);
    for (size_t i = 0; i < filled.size(); ++i) {
        next[i + 1] = next[i] + filled[i];
    }
    std::vector<Pending> byRow(next.back());
    auto list = [&](size_t fromColumn, size_t toColumn, std::vector<size_t>& at) {
        untouched.forWrittenElements(
            sizeof(VARIANT), height, fromColumn * height, toColumn * height,
            [&](size_t k, size_t i, size_t j) {
                if (static_cast<int64_t>(i) < rows && all[k].vt != VT_EMPTY) {
                    byRow[at[i]++] = Pending{all[k], static_cast<int32_t>(area.c1 + static_cast<int64_t>(j))};
                }
            });
    };
    if (split < usedColumns) {
        // A row's cells of the right half follow those of the left.
        std::vector<size_t> nextRight(filledRight.size());
        for (size_t i = 0; i < filledRight.size(); ++i) {
            nextRight[i] = next[i] + (filled[i] - filledRight[i]);
        }
        std::jthread right([&] { list(split, usedColumns, nextRight); });
        list(0, split, next);
    } else {
        list(0, usedColumns, next);
    }
    size_t at = 0;
    if (byRow.size() < TextsAhead::kWorthIt) {
        for (size_t i = 0; i < filled.size(); ++i) {
            const auto r = static_cast<int32_t>(area.r1 + static_cast<int64_t>(i));
            for (const size_t end = at + filled[i]; at < end; ++at) {
                PutVariant(sheet, r, byRow[at].col, byRow[at].value);
            }
        }
    } else {
        // Typed texts are converted on a second thread meanwhile; a
        // cell's format still decides, as it is stored, whether its text
        // converts.
        TextsAhead ahead(
            byRow.size(),
            [&byRow](size_t k) -> std::optional<std::wstring_view> {
                const VARIANT& v = Deref(byRow[k].value);
                return v.vt == VT_BSTR ? std::optional(TypedText(v)) : std::nullopt;
            },
            sheet.currentYear());
        const TextsAhead::Converted* converted = nullptr;
        for (size_t i = 0; i < filled.size(); ++i) {
            const auto r = static_cast<int32_t>(area.r1 + static_cast<int64_t>(i));
            for (const size_t end = at + filled[i]; at < end; ++at) {
                if (at % TextsAhead::kChunk == 0) {
                    if (at != 0) {
                        ahead.stored(at / TextsAhead::kChunk - 1);
                    }
                    converted = ahead.converted(at / TextsAhead::kChunk);
                }
                const VARIANT& v = Deref(byRow[at].value);
                if (v.vt == VT_BSTR) {
                    const std::wstring_view typed = TypedText(v);
                    const TextsAhead::Converted& done = converted[at % TextsAhead::kChunk];
                    sheet.putConverted(r, byRow[at].col, typed, done.in(typed), done.textHash);
                } else {
                    PutVariant(sheet, r, byRow[at].col, byRow[at].value);
                }
            }
        }
    }
    // The range is larger than the array.
    for (int32_t r = area.r1; r <= area.r2; ++r) {
        const int32_t firstCol = r - area.r1 < rows ? static_cast<int32_t>(area.c1 + cols) : area.c1;
        for (int32_t c = firstCol; c <= area.c2; ++c) {
            sheet.putError(r, c, CellError::NA);
        }
    }
    return true;
}

}  // namespace calc
