#include "platform/calc/engine/CellAddress.h"

#include <algorithm>

namespace calc {

namespace {

bool IsAsciiLetter(wchar_t ch) {
    return (ch >= L'A' && ch <= L'Z') || (ch >= L'a' && ch <= L'z');
}

}  // namespace

std::optional<CellPos> ParseCellName(std::wstring_view name) {
    size_t i = 0;
    if (i < name.size() && name[i] == L'$') {
        ++i;
    }
    int64_t col = 0;
    size_t letters = 0;
    while (i < name.size() && IsAsciiLetter(name[i])) {
        if (++letters > 3) {
            return std::nullopt;
        }
        wchar_t up = name[i] >= L'a' ? static_cast<wchar_t>(name[i] - L'a' + L'A') : name[i];
        col = col * 26 + (up - L'A' + 1);
        ++i;
    }
    if (letters == 0) {
        return std::nullopt;
    }
    if (i < name.size() && name[i] == L'$') {
        ++i;
    }
    int64_t row = 0;
    size_t digits = 0;
    while (i < name.size() && name[i] >= L'0' && name[i] <= L'9') {
        if (++digits > 7) {
            return std::nullopt;
        }
        row = row * 10 + (name[i] - L'0');
        ++i;
    }
    if (digits == 0 || i != name.size() || row < 1 || row > kMaxRows || col > kMaxCols) {
        return std::nullopt;
    }
    return CellPos{static_cast<int32_t>(row - 1), static_cast<int32_t>(col - 1)};
}

namespace {

// "A:C" (whole columns) or "2:5" (whole rows).
std::optional<Rect> ParseWholeSpan(std::wstring_view first, std::wstring_view second) {
    auto letters = [](std::wstring_view s) -> int32_t {
        if (s.empty() || !std::all_of(s.begin(), s.end(), IsAsciiLetter)) {
            return -1;
        }
        auto pos = ParseCellName(std::wstring(s) + L"1");
        return pos ? pos->col : -1;
    };
    auto number = [](std::wstring_view s) -> int32_t {
        if (s.empty() ||
            !std::all_of(s.begin(), s.end(), [](wchar_t ch) { return ch >= L'0' && ch <= L'9'; })) {
            return -1;
        }
        auto pos = ParseCellName(L"A" + std::wstring(s));
        return pos ? pos->row : -1;
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
