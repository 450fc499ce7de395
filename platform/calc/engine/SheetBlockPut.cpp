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

// Checks a block of typed scalars and stores it, an element at a time.
bool PutScalarBlock(Sheet& sheet, const Rect& area, const BlockView& block) {
    const int64_t rows = std::min<int64_t>(area.rows(), block.rows);
    const int64_t cols = std::min<int64_t>(area.cols(), block.cols);
    for (int64_t i = 0; i < rows; ++i) {
        for (int64_t j = 0; j < cols; ++j) {
            VARIANT v;
            block.element(i, j, v);
            if (!IsStorable(v)) {
                return false;
            }
        }
    }
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

// The usual block, of variants, stored in steps: check and count, empty the
// cells of empty elements, list the values row by row, store them.
class VariantBlockPut {
public:
    VariantBlockPut(Sheet& sheet, const Rect& area, const BlockView& block)
        : sheet_(sheet),
          area_(area),
          all_(reinterpret_cast<const VARIANT*>(block.data)),
          untouched_(block.untouched),
          arrayRows_(block.rows),
          rows_(std::min<int64_t>(area.rows(), block.rows)),
          cols_(std::min<int64_t>(area.cols(), block.cols)),
          height_(static_cast<size_t>(std::max<int64_t>(block.rows, 0))),
          usedColumns_(static_cast<size_t>(std::max<int64_t>(cols_, 0))),
          split_(height_ * usedColumns_ >= kTwoHalvesElements ? usedColumns_ / 2 : usedColumns_) {}

    int64_t rows() const { return rows_; }
    int64_t cols() const { return cols_; }

    // Checks every element before any is stored, so a bad one changes
    // nothing; counts on the way the values each row gets, so that its cells
    // are allocated once. A large block's columns are taken in two halves,
    // the second on a second thread, here and in listing; the halves count
    // apart, so each knows where its cells go in a row.
    bool checkAndCount() {
        auto count = [&](size_t fromColumn, size_t toColumn, std::vector<uint32_t>& counts) {
            counts.assign(static_cast<size_t>(std::max<int64_t>(rows_, 0)), 0);
            bool storable = true;
            untouched_.forWrittenElements(
                sizeof(VARIANT), height_, fromColumn * height_, toColumn * height_,
                [&](size_t k, size_t i, size_t) {
                    if (static_cast<int64_t>(i) >= rows_ || all_[k].vt == VT_EMPTY) {
                        return;
                    }
                    storable = storable && IsStorable(all_[k]);
                    ++counts[i];
                });
            return storable;
        };
        bool rightStorable = true;
        std::jthread right;
        if (split_ < usedColumns_) {
            right = std::jthread([&] { rightStorable = count(split_, usedColumns_, filledRight_); });
        }
        const bool leftStorable = count(0, split_, filled_);
        if (right.joinable()) {
            right.join();
        }
        if (!leftStorable || !rightStorable) {
            return false;
        }
        for (size_t i = 0; i < filledRight_.size(); ++i) {
            filled_[i] += filledRight_[i];
        }
        return true;
    }

    // An empty element empties its cell; only a stored cell has anything to
    // lose, so the stored cells are visited rather than every position.
    void clearEmptied() {
        if (rows_ <= 0 || cols_ <= 0) {
            return;
        }
        std::vector<int32_t> emptied;
        const auto lastRow = static_cast<int32_t>(std::min<int64_t>(area_.r1 + rows_, kMaxRows) - 1);
        const auto lastCol = static_cast<int32_t>(area_.c1 + cols_ - 1);
        for (int32_t r = area_.r1; r <= lastRow; ++r) {
            emptied.clear();
            for (const Cell& c : sheet_.rowCells(r, area_.c1, lastCol)) {
                const auto k = static_cast<size_t>((r - area_.r1) + int64_t{c.col - area_.c1} * arrayRows_);
                if (untouched_.at(k * sizeof(VARIANT)) || all_[k].vt == VT_EMPTY) {
                    emptied.push_back(c.col);
                }
            }
            for (const int32_t c : emptied) {
                sheet_.clearContents(r, c);
            }
            sheet_.reserveRow(r, filled_[static_cast<size_t>(r - area_.r1)]);
        }
    }

    // The array runs down columns and the sheet along rows: its non-empty
    // elements are listed row by row in one pass down its columns (stepping
    // along a row of the array would cross to another page at every element,
    // and most of its elements are empty). The list holds a shallow copy of
    // each, so that storing them reads it in order.
    void listByRow() {
        std::vector<size_t> next(filled_.size() + 1, 0);
        for (size_t i = 0; i < filled_.size(); ++i) {
            next[i + 1] = next[i] + filled_[i];
        }
        byRow_.resize(next.back());
        auto list = [&](size_t fromColumn, size_t toColumn, std::vector<size_t>& at) {
            untouched_.forWrittenElements(
                sizeof(VARIANT), height_, fromColumn * height_, toColumn * height_,
                [&](size_t k, size_t i, size_t j) {
                    if (static_cast<int64_t>(i) < rows_ && all_[k].vt != VT_EMPTY) {
                        byRow_[at[i]++] =
                            Pending{all_[k], static_cast<int32_t>(area_.c1 + static_cast<int64_t>(j))};
                    }
                });
        };
        if (split_ < usedColumns_) {
            // A row's cells of the right half follow those of the left.
            std::vector<size_t> nextRight(filledRight_.size());
            for (size_t i = 0; i < filledRight_.size(); ++i) {
                nextRight[i] = next[i] + (filled_[i] - filledRight_[i]);
            }
            std::jthread right([&] { list(split_, usedColumns_, nextRight); });
            list(0, split_, next);
        } else {
            list(0, usedColumns_, next);
        }
    }

    // The listed values, row by row as the sheet holds them.
    void store() {
        size_t at = 0;
        if (byRow_.size() < TextsAhead::kWorthIt) {
            for (size_t i = 0; i < filled_.size(); ++i) {
                const auto r = static_cast<int32_t>(area_.r1 + static_cast<int64_t>(i));
                for (const size_t end = at + filled_[i]; at < end; ++at) {
                    PutVariant(sheet_, r, byRow_[at].col, byRow_[at].value);
                }
            }
            return;
        }
        // Typed texts are converted on a second thread meanwhile; a cell's
        // format still decides, as it is stored, whether its text converts.
        TextsAhead ahead(
            byRow_.size(),
            [this](size_t k) -> std::optional<std::wstring_view> {
                const VARIANT& v = Deref(byRow_[k].value);
                return v.vt == VT_BSTR ? std::optional(TypedText(v)) : std::nullopt;
            },
            sheet_.currentYear());
        const TextsAhead::Converted* converted = nullptr;
        for (size_t i = 0; i < filled_.size(); ++i) {
            const auto r = static_cast<int32_t>(area_.r1 + static_cast<int64_t>(i));
            for (const size_t end = at + filled_[i]; at < end; ++at) {
                if (at % TextsAhead::kChunk == 0) {
                    if (at != 0) {
                        ahead.stored(at / TextsAhead::kChunk - 1);
                    }
                    converted = ahead.converted(at / TextsAhead::kChunk);
                }
                const VARIANT& v = Deref(byRow_[at].value);
                if (v.vt == VT_BSTR) {
                    const std::wstring_view typed = TypedText(v);
                    const TextsAhead::Converted& done = converted[at % TextsAhead::kChunk];
                    sheet_.putConverted(r, byRow_[at].col, typed, done.in(typed), done.textHash);
                } else {
                    PutVariant(sheet_, r, byRow_[at].col, byRow_[at].value);
                }
            }
        }
    }

private:
    Sheet& sheet_;
    const Rect& area_;
    const VARIANT* all_;
    // A block is mostly empty elements that no one wrote: those are known
    // empty without reading them, which would bring their pages into memory.
    const sw::automation::UntouchedPages& untouched_;
    int64_t arrayRows_;
    int64_t rows_;
    int64_t cols_;
    size_t height_;
    size_t usedColumns_;
    size_t split_;
    std::vector<uint32_t> filled_;
    std::vector<uint32_t> filledRight_;
    std::vector<Pending> byRow_;
};

}  // namespace

bool Sheet::putBlock(const Rect& area, const BlockView& block) {
    if (block.vt != VT_VARIANT) {
        return PutScalarBlock(*this, area, block);
    }
    VariantBlockPut put(*this, area, block);
    if (!put.checkAndCount()) {
        return false;
    }
    put.clearEmptied();
    put.listByRow();
    put.store();
    // The range is larger than the array.
    for (int32_t r = area.r1; r <= area.r2; ++r) {
        const int32_t firstCol =
            r - area.r1 < put.rows() ? static_cast<int32_t>(area.c1 + put.cols()) : area.c1;
        for (int32_t c = firstCol; c <= area.c2; ++c) {
            putError(r, c, CellError::NA);
        }
    }
    return true;
}

}  // namespace calc
