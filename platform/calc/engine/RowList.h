// The rows of a sheet, held in a gap buffer. Deleting rows moves the gap to
// them and widens it, so a clean-up pass that deletes rows from the top of a
// sheet to its bottom moves each row handle about once, instead of moving
// every row below each deleted one.
#pragma once

#include <algorithm>
#include <cstddef>
#include <vector>

namespace calc {

template <typename Row>
class RowList {
public:
    size_t size() const { return rows_.size() - gapLen_; }
    bool empty() const { return size() == 0; }

    Row& operator[](size_t i) { return rows_[i < gapAt_ ? i : i + gapLen_]; }
    const Row& operator[](size_t i) const { return rows_[i < gapAt_ ? i : i + gapLen_]; }

    // Grows with empty rows or drops rows from the end.
    void resize(size_t n) {
        if (n <= size()) {
            erase(n, size());
            return;
        }
        closeGap();
        rows_.resize(n);
    }

    // Removes rows [first, last); those below move up.
    void erase(size_t first, size_t last) {
        last = std::min(last, size());
        if (first >= last) {
            return;
        }
        moveGap(first);
        for (size_t p = first + gapLen_; p < last + gapLen_; ++p) {
            Row().swap(rows_[p]);  // give the memory back now
        }
        gapLen_ += last - first;
    }

    class const_iterator {
    public:
        const_iterator(const RowList* list, size_t i) : list_(list), i_(i) {}
        const Row& operator*() const { return (*list_)[i_]; }
        const_iterator& operator++() {
            ++i_;
            return *this;
        }
        bool operator!=(const const_iterator& other) const { return i_ != other.i_; }

    private:
        const RowList* list_;
        size_t i_;
    };
    class iterator {
    public:
        iterator(RowList* list, size_t i) : list_(list), i_(i) {}
        Row& operator*() const { return (*list_)[i_]; }
        iterator& operator++() {
            ++i_;
            return *this;
        }
        bool operator!=(const iterator& other) const { return i_ != other.i_; }

    private:
        RowList* list_;
        size_t i_;
    };
    const_iterator begin() const { return {this, 0}; }
    const_iterator end() const { return {this, size()}; }
    iterator begin() { return {this, 0}; }
    iterator end() { return {this, size()}; }

private:
    // Rows at positions [gapAt_, gapAt_ + gapLen_) of rows_ are unused.
    void moveGap(size_t at) {
        if (gapLen_ == 0) {
            gapAt_ = at;
            return;
        }
        auto base = rows_.begin();
        if (at < gapAt_) {
            std::move_backward(base + static_cast<ptrdiff_t>(at), base + static_cast<ptrdiff_t>(gapAt_),
                               base + static_cast<ptrdiff_t>(gapAt_ + gapLen_));
        } else if (at > gapAt_) {
            std::move(base + static_cast<ptrdiff_t>(gapAt_ + gapLen_),
                      base + static_cast<ptrdiff_t>(at + gapLen_), base + static_cast<ptrdiff_t>(gapAt_));
        }
        gapAt_ = at;
    }
    void closeGap() {
        moveGap(size());
        rows_.resize(size());
        gapLen_ = 0;
        gapAt_ = 0;
    }

    std::vector<Row> rows_;
    size_t gapAt_ = 0;
    size_t gapLen_ = 0;
};

}  // namespace calc
