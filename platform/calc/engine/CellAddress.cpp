#include "platform/calc/engine/CellAddress.h"

#include <algorithm>

namespace calc {

namespace {

bool IsAsciiLetter(wchar_t ch) {
    return (ch >= L'A' && ch <= L'Z') || (ch >= L'a' && ch <= L'z');
}

// Reads up to three column letters from name[i]; the zero-based column, or
// -1 when there are none, more than three or the column lies beyond the grid.
int32_t ReadColumn(std::wstring_view name, size_t& i) {
    int32_t col = 0;
    size_t letters = 0;
    while (i < name.size() && IsAsciiLetter(name[i])) {
        if (++letters > 3) {
            return -1;
        }
        const wchar_t up = name[i] >= L'a' ? static_cast<wchar_t>(name[i] - L'a' + L'A') : name[i];
        col = col * 26 + (up - L'A' + 1);
        ++i;
    }
    return letters == 0 || col > kMaxCols ? -1 : col - 1;
}

// Reads up to seven row digits from name[i]; the zero-based row, or -1 when
// there are none, more than seven or the row lies outside the grid.
int32_t ReadRow(std::wstring_view name, size_t& i) {
    int32_t row = 0;
    size_t digits = 0;
    while (i < name.size() && name[i] >= L'0' && name[i] <= L'9') {
        if (++digits > 7) {
            return -1;
        }
        row = row * 10 + (name[i] - L'0');
        ++i;
    }
    return digits == 0 || row < 1 || row > kMaxRows ? -1 : row - 1;
}

}  // namespace

std::optional<CellPos> ParseCellName(std::wstring_view name) {
    size_t i = 0;
    if (i < name.size() && name[i] == L'$') {
        ++i;
    }
    const int32_t col = ReadColumn(name, i);
    if (col < 0) {
        return std::nullopt;
    }
    if (i < name.size() && name[i] == L'$') {
        ++i;
    }
    const int32_t row = ReadRow(name, i);
    if (row < 0 || i != name.size()) {
        return std::nullopt;
    }
    return CellPos{row, col};
}

namespace {

// "A:C" (whole columns) or "2:5" (whole rows).
std::optional<Rect> ParseWholeSpan(std::wstring_view first, std::wstring_view second) {
    // The whole text must be letters alone, or digits alone.
    auto letters = [](std::wstring_view s) -> int32_t {
        size_t i = 0;
        const int32_t col = ReadColumn(s, i);
        return i == s.size() ? col : -1;
    };
    auto number = [](std::wstring_view s) -> int32_t {
        size_t i = 0;
        const int32_t row = ReadRow(s, i);
        return i == s.size() ? row : -1;
    };
    int32_t a = letters(first);
    int32_t b = letters(second);
    if (a >= 0 && b >= 0) {
        return Rect{0, std::min(a, b), kMaxRows - 1, std::max(a, b)};
    }
    a = number(first);
    b = number(second);
    if (a >= 0 && b >= 0) {
        return Rect{std::min(a, b), 0, std::max(a, b), kMaxCols - 1};
    }
    return std::nullopt;
}

}  // namespace

std::optional<Rect> ParseRangeName(std::wstring_view name) {
    size_t colon = name.find(L':');
    if (colon != std::wstring_view::npos) {
        if (auto whole = ParseWholeSpan(name.substr(0, colon), name.substr(colon + 1))) {
            return whole;
        }
    }
    auto first = ParseCellName(name.substr(0, colon));
    if (!first) {
        return std::nullopt;
    }
    CellPos second = *first;
    if (colon != std::wstring_view::npos) {
        auto parsed = ParseCellName(name.substr(colon + 1));
        if (!parsed) {
            return std::nullopt;
        }
        second = *parsed;
    }
    return Rect{std::min(first->row, second.row), std::min(first->col, second.col),
                std::max(first->row, second.row), std::max(first->col, second.col)};
}

std::wstring ColumnLetters(int32_t col) {
    std::wstring out;
    int32_t n = col + 1;
    while (n > 0) {
        int32_t rem = (n - 1) % 26;
        out.insert(out.begin(), static_cast<wchar_t>(L'A' + rem));
        n = (n - 1) / 26;
    }
    return out;
}

std::wstring CellName(int32_t row, int32_t col) {
    return ColumnLetters(col) + std::to_wstring(row + 1);
}

}  // namespace calc
