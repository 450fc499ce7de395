#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "platform/calc/engine/Model.h"
#include "platform/calc/engine/Sheet.h"
#include "platform/calc/engine/TextMeasure.h"

namespace calc {
namespace {

constexpr int kYear = 2026;

// AutoFit of whole columns against each cell's displayed text measured on its own.
void CheckWholeColumnsFitTheirWidestText(TextMeasure* second, int32_t kRows) {
    Sheet s(L"Sheet1", kYear);
    std::mt19937 rng(7);
    const std::vector<std::wstring> names = {
        L"Quarterly total", L"North", L"South-east region", L"\u00c5rhus", L"\u65e5\u672c\u8a9e", L"W"};
    for (int32_t r = 0; r < kRows; ++r) {
        s.putText(r, 0, names[rng() % names.size()]);
        s.putNumber(r, 1, 38000 + static_cast<double>(rng() % 400), L"m/d/yyyy");
        s.putNumber(r, 2, static_cast<double>(rng() % 86400) / 86400.0, L"h:mm:ss AM/PM");
        s.putNumber(r, 3, (static_cast<double>(rng() % 2000000) - 1000000.0) / 100.0, L"#,##0.00");
        s.putText(r, 4, names[rng() % names.size()]);
        s.putNumber(r, 5, static_cast<double>(rng() % 50), L"General");
    }
    // The longest text in the last rows of the text columns, whatever the draw.
    for (int32_t r = kRows - 5; r < kRows; ++r) {
        s.putText(r, 0, names[2]);
        s.putText(r, 4, names[2]);
    }
    // The same texts and values again in the last rows, styled otherwise: a width
    // remembered for a text or value must not serve another font or format.
    s.changeFont(Rect{kRows - 5, 0, kRows - 1, 0}, [](io::FontSpec& f) { f.bold = true; });
    s.changeFont(Rect{kRows - 3, 5, kRows - 1, 5}, [](io::FontSpec& f) { f.size = 14; });
    s.setNumberFormat(Rect{kRows - 2, 1, kRows - 1, 1}, L"dddd, mmmm dd, yyyy");
    s.setNumberFormat(Rect{kRows - 2, 4, kRows - 1, 4}, L"\"Ref: \"@");
    s.putBoolean(kRows, 5, true);
    s.putError(kRows + 1, 5, CellError::Div0);

    TextMeasure m;
    const int32_t lastCol = s.lastCol();
    std::vector<double> widest(static_cast<size_t>(lastCol) + 1, -1.0);
    for (int32_t r = 0; r <= s.lastRow(); ++r) {
        for (const Cell& c : s.rowCells(r)) {
            if (c.kind != io::CellKind::Empty) {
                double& w = widest[c.col];
                w = std::max(w, m.width(DisplayText(s, c), s.style(c).font));
            }
        }
    }
    AutoFitColumns(s, m, Rect{0, 0, kMaxRows - 1, lastCol}, second);
    const int mdw = m.maxDigitWidth(io::FontSpec{});
    for (int32_t c = 0; c <= lastCol; ++c) {
        EXPECT_EQ(s.columnWidth(c), ColumnWidthForPixels(widest[static_cast<size_t>(c)], mdw))
            << "column " << c;
    }
    // The styled last rows are the widest of their columns.
    const std::vector<double> before = widest;
    s.clear(Rect{kRows - 5, 0, kRows + 1, lastCol});
    AutoFitColumns(s, m, Rect{0, 0, kMaxRows - 1, lastCol}, second);
    for (int32_t c : {0, 1, 4, 5}) {
        EXPECT_LT(s.columnWidth(c), ColumnWidthForPixels(before[static_cast<size_t>(c)], mdw))
            << "column " << c;
    }
    // A few rows of a column, fewer cells than the pool has texts.
    ASSERT_GT(s.pooledTexts(), 2u);
    double two = -1.0;
    for (int32_t r = 0; r < 2; ++r) {
        two = std::max(two, m.width(DisplayText(s, s.cell(r, 4)), s.style(s.cell(r, 4)).font));
    }
    AutoFitColumns(s, m, Rect{0, 4, 1, 4});
    EXPECT_EQ(s.columnWidth(4), ColumnWidthForPixels(two, mdw));
}

TEST(autofit_test, whole_columns_fit_the_widest_displayed_text_of_each_cell) {
    CheckWholeColumnsFitTheirWidestText(nullptr, 3000);
}

// Many rows are shared with a second thread and the second measure, which
// takes the styled last rows.
TEST(autofit_test, whole_columns_measured_on_two_threads_fit_the_same) {
    TextMeasure second;
    CheckWholeColumnsFitTheirWidestText(&second, 40000);
}

}  // namespace
}  // namespace calc
