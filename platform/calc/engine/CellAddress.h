// A1-style cell names and the rectangles they span.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace calc {

// Grid limits of a worksheet (the newer file format's grid; the older one is
// smaller and checked when saving).
inline constexpr int32_t kMaxRows = 1048576;
inline constexpr int32_t kMaxCols = 16384;

// Zero-based, inclusive rectangle of cells.
struct Rect {
    int32_t r1 = 0;
    int32_t c1 = 0;
    int32_t r2 = 0;
    int32_t c2 = 0;

    int32_t rows() const { return r2 - r1 + 1; }
    int32_t cols() const { return c2 - c1 + 1; }
    int64_t cells() const { return int64_t{rows()} * cols(); }
    bool wholeRows() const { return c1 == 0 && c2 == kMaxCols - 1; }
    bool wholeCols() const { return r1 == 0 && r2 == kMaxRows - 1; }
    bool operator==(const Rect&) const = default;
};

struct CellPos {
    int32_t row = 0;  // zero-based
    int32_t col = 0;  // zero-based
    bool operator==(const CellPos&) const = default;
};

// Parses "B7", "$B$7" or "xfd1048576"; nothing for anything else or beyond
// the grid.
std::optional<CellPos> ParseCellName(std::wstring_view name);

// Parses a cell name, "A1:C3" (either corner order), "A:C" (whole columns)
// or "2:5" (whole rows).
std::optional<Rect> ParseRangeName(std::wstring_view name);

// "A".."XFD" for zero-based column 0..16383.
std::wstring ColumnLetters(int32_t col);

// "B7" for zero-based (6, 1).
std::wstring CellName(int32_t row, int32_t col);

}  // namespace calc
