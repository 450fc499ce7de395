#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <random>
#include <span>

#include <string>
#include <vector>

#include "platform/calc/engine/CellAddress.h"
#include "platform/calc/engine/Model.h"
#include "platform/calc/engine/Sheet.h"

namespace calc {
namespace {

constexpr int kYear = 2026;

std::wstring TextAt(const Sheet& s, int32_t r, int32_t c) {
    const Cell& cell = s.cell(r, c);
    return cell.kind == io::CellKind::Text ? s.text(cell) : L"<not text>";
}

// A sheet whose cell (r, c) holds the text "r,c" for r < rows, c < cols.
Sheet Labelled(int32_t rows, int32_t cols) {
    Sheet s(L"Sheet1", kYear);
    for (int32_t r = 0; r < rows; ++r) {
        for (int32_t c = 0; c < cols; ++c) {
            s.putText(r, c, std::to_wstring(r) + L"," + std::to_wstring(c));
        }
    }
    return s;
}

TEST(sheet_test, cell_names_parse_within_the_grid_only) {
    EXPECT_EQ(ParseCellName(L"A1"), (CellPos{0, 0}));
    EXPECT_EQ(ParseCellName(L"az12"), (CellPos{11, 51}));
    EXPECT_EQ(ParseCellName(L"$IV$65536"), (CellPos{65535, 255}));
    EXPECT_EQ(ParseCellName(L"XFD1048576"), (CellPos{1048575, 16383}));
    for (const wchar_t* bad :
         {L"", L"A", L"1", L"A0", L"XFE1", L"A1048577", L"A1B", L"AAAA1", L"A-1", L"Ä1", L"A 1"}) {
        EXPECT_FALSE(ParseCellName(bad).has_value()) << std::string(bad, bad + std::wcslen(bad)).size();
    }
    EXPECT_EQ(ParseRangeName(L"C3:A1"), (Rect{0, 0, 2, 2}));
    EXPECT_EQ(ParseRangeName(L"B:C"), (Rect{0, 1, kMaxRows - 1, 2}));
    EXPECT_EQ(ParseRangeName(L"3:4"), (Rect{2, 0, 3, kMaxCols - 1}));
    EXPECT_FALSE(ParseRangeName(L"A1:").has_value());
    EXPECT_EQ(CellName(0, 25), L"Z1");
    EXPECT_EQ(CellName(0, 26), L"AA1");
    EXPECT_EQ(CellName(11, 51), L"AZ12");
    EXPECT_EQ(CellName(0, 16383), L"XFD1");
}

TEST(sheet_test, typed_text_into_a_formatted_cell_keeps_the_format) {
    Sheet s(L"Sheet1", kYear);
    s.setNumberFormat(Rect{0, 0, 0, 1}, L"0.00");
    s.putTyped(0, 0, L"10%");
    EXPECT_EQ(s.cell(0, 0).kind, io::CellKind::Number);
    EXPECT_DOUBLE_EQ(s.cell(0, 0).number, 0.1);
    EXPECT_EQ(s.style(s.cell(0, 0)).numberFormat, L"0.00");
    // A text-formatted cell takes everything as text.
    s.setNumberFormat(Rect{1, 0, 1, 0}, L"@");
    s.putTyped(1, 0, L"1/31/2005");
    EXPECT_EQ(TextAt(s, 1, 0), L"1/31/2005");
    // A General cell takes the conversion's format.
    s.putTyped(2, 0, L"1,234");
    EXPECT_EQ(s.style(s.cell(2, 0)).numberFormat, L"#,##0");
}

TEST(sheet_test, equal_styles_and_texts_are_stored_once) {
    Sheet s(L"Sheet1", kYear);
    for (int32_t r = 0; r < 100; ++r) {
        s.putText(r, 0, L"same");
        s.putTyped(r, 1, L"12%");
    }
    EXPECT_EQ(s.cell(0, 0).text, s.cell(99, 0).text);
    EXPECT_EQ(s.styles().size(), 2u);  // default + "0%"
    s.changeFont(Rect{0, 0, 99, 1}, [](io::FontSpec& f) { f.bold = true; });
    EXPECT_EQ(s.styles().size(), 4u);  // bold General, bold 0%
}

TEST(sheet_test, deleting_whole_rows_moves_later_rows_up) {
    Sheet s = Labelled(5, 3);
    s.deleteShiftUp(Rect{1, 0, 2, kMaxCols - 1});
    EXPECT_EQ(TextAt(s, 0, 0), L"0,0");
    EXPECT_EQ(TextAt(s, 1, 2), L"3,2");
    EXPECT_EQ(TextAt(s, 2, 0), L"4,0");
    EXPECT_EQ(s.lastRow(), 2);
    // Deleting beyond the stored rows changes nothing.
    s.deleteShiftUp(Rect{100, 0, 100, kMaxCols - 1});
    EXPECT_EQ(s.lastRow(), 2);
}

TEST(sheet_test, deleting_part_of_rows_shifts_only_those_columns_up) {
    Sheet s = Labelled(4, 3);
    s.deleteShiftUp(Rect{1, 1, 1, 1});  // B2
    EXPECT_EQ(TextAt(s, 1, 0), L"1,0");
    EXPECT_EQ(TextAt(s, 1, 1), L"2,1");
    EXPECT_EQ(TextAt(s, 2, 1), L"3,1");
    EXPECT_EQ(s.cell(3, 1).kind, io::CellKind::Empty);
    EXPECT_EQ(TextAt(s, 3, 2), L"3,2");
}

TEST(sheet_test, deleting_a_span_over_every_stored_column_moves_rows_up) {
    Sheet s = Labelled(4, 3);
    s.setNumberFormat(Rect{3, 0, 3, 0}, L"0.00");
    s.deleteShiftUp(Rect{1, 0, 1, 3});  // A2:D2, one column past the data
    EXPECT_EQ(TextAt(s, 1, 0), L"2,0");
    EXPECT_EQ(TextAt(s, 2, 2), L"3,2");
    EXPECT_EQ(s.style(s.cell(2, 0)).numberFormat, L"0.00");
    EXPECT_EQ(s.lastRow(), 2);
    // A narrower span leaves the columns beyond it in place.
    s.deleteShiftUp(Rect{0, 0, 0, 1});
    EXPECT_EQ(TextAt(s, 0, 0), L"2,0");
    EXPECT_EQ(TextAt(s, 0, 2), L"0,2");
}

TEST(sheet_test, deleting_columns_moves_cells_and_widths_left) {
    Sheet s = Labelled(2, 4);
    s.setColumnWidth(2, 20.0);
    s.deleteShiftLeft(Rect{0, 1, kMaxRows - 1, 1});  // column B
    EXPECT_EQ(TextAt(s, 0, 1), L"0,2");
    EXPECT_EQ(TextAt(s, 1, 2), L"1,3");
    EXPECT_EQ(s.lastCol(), 2);
    EXPECT_DOUBLE_EQ(s.columnWidth(1), 20.0);
    EXPECT_FALSE(s.hasColumnWidth(2));
    // Part of a column: only that row's cells move.
    s.deleteShiftLeft(Rect{0, 0, 0, 0});
    EXPECT_EQ(TextAt(s, 0, 0), L"0,2");
    EXPECT_EQ(TextAt(s, 1, 0), L"1,0");
}

TEST(sheet_test, clear_removes_values_and_formats) {
    Sheet s = Labelled(3, 3);
    s.setNumberFormat(Rect{0, 0, 2, 2}, L"0.00");
    s.clear(Rect{1, 1, 5, 5});
    EXPECT_TRUE(s.cell(1, 1).blank());
    EXPECT_TRUE(s.cell(2, 2).blank());
    EXPECT_EQ(s.style(s.cell(1, 0)).numberFormat, L"0.00");
    EXPECT_EQ(s.lastCol(), 2);  // row 0 still reaches C
}

TEST(sheet_test, whole_column_formats_touch_only_stored_cells) {
    Sheet s = Labelled(3, 2);
    s.setNumberFormat(Rect{0, 0, kMaxRows - 1, 0}, L"0%");
    EXPECT_EQ(s.style(s.cell(2, 0)).numberFormat, L"0%");
    EXPECT_EQ(s.storedRows(), 3u);
    // A bounded rectangle formats its empty cells too.
    s.setNumberFormat(Rect{5, 5, 5, 5}, L"0.0");
    EXPECT_EQ(s.style(s.cell(5, 5)).numberFormat, L"0.0");
    EXPECT_EQ(s.lastRow(), 5);
}

// A format that leaves empty positions reading as before stores nothing for
// them, whether it names one cell, a small rectangle or the used rows; the
// cells that hold values keep them.
TEST(sheet_test, general_format_on_empty_positions_stores_nothing) {
    Sheet s = Labelled(3, 2);
    const size_t stored = s.storedCells();
    s.setNumberFormat(Rect{6, 6, 6, 6}, L"General");
    s.setNumberFormat(Rect{4, 1, 5, 4}, L"General");
    s.setNumberFormat(Rect{0, 0, 2, 9}, L"General");
    EXPECT_EQ(s.storedCells(), stored);
    EXPECT_EQ(s.lastRow(), 2);
    EXPECT_EQ(s.lastCol(), 1);
    EXPECT_EQ(TextAt(s, 2, 1), L"2,1");
    // A font over the whole used area, a row of which holds an empty cell
    // with a format, then that format taken off again.
    s.setNumberFormat(Rect{1, 3, 1, 3}, L"0.00");
    s.changeFont(Rect{0, 0, kMaxRows - 1, kMaxCols - 1}, [](io::FontSpec& f) { f.bold = true; });
    s.changeFont(Rect{0, 0, kMaxRows - 1, kMaxCols - 1}, [](io::FontSpec& f) { f.bold = false; });
    s.setNumberFormat(Rect{1, 3, 1, 3}, L"General");
    EXPECT_EQ(s.storedCells(), stored);
    EXPECT_EQ(s.lastCol(), 1);

    // An empty cell made bold on its own reads as its neighbours once a
    // large area around it is made bold.
    Sheet t = Labelled(100, 50);
    t.clear(Rect{5, 5, 5, 5});
    const size_t held = t.storedCells();
    t.changeFont(Rect{5, 5, 5, 5}, [](io::FontSpec& f) { f.bold = true; });
    EXPECT_EQ(t.storedCells(), held + 1);
    t.changeFont(Rect{0, 0, kMaxRows - 1, kMaxCols - 1}, [](io::FontSpec& f) { f.bold = true; });
    EXPECT_EQ(t.storedCells(), held);
    EXPECT_TRUE(t.style(t.cell(5, 5)).font.bold);
    EXPECT_TRUE(t.style(t.cell(5, 6)).font.bold);
}

TEST(sheet_test, visits_cells_row_by_row_with_their_texts) {
    Sheet s(L"Sheet1", kYear);
    s.putText(2, 1, L"b");
    s.putNumber(0, 3, 4.5);
    s.setNumberFormat(Rect{1, 0, 1, 0}, L"0.00");  // empty but styled
    std::vector<std::wstring> seen;
    s.forEachCell([&](const io::CellRef& c) {
        seen.push_back(CellName(c.row, c.col) + L"=" + (c.text ? *c.text : std::to_wstring(c.number)));
    });
    EXPECT_EQ(seen, (std::vector<std::wstring>{L"D1=4.500000", L"A2=0.000000", L"B3=b"}));
    EXPECT_EQ(s.lastRow(), 2);
    EXPECT_EQ(s.lastCol(), 3);
}

TEST(sheet_test, overwritten_texts_do_not_accumulate) {
    Sheet s(L"Sheet1", kYear);
    for (int round = 0; round < 4; ++round) {
        for (int32_t r = 0; r < 50000; ++r) {
            s.putText(r, 0, L"round " + std::to_wstring(round) + L" row " + std::to_wstring(r));
        }
    }
    EXPECT_EQ(TextAt(s, 49999, 0), L"round 3 row 49999");
    EXPECT_EQ(TextAt(s, 0, 0), L"round 3 row 0");
    EXPECT_LE(s.pooledTexts(), 100001u);  // 200,000 texts were written
}

// Every position of the sheet's used area as "kind:style-description",
// through both the cell lookup and the visit the file writers use.
std::vector<std::wstring> Snapshot(const Sheet& s) {
    std::vector<std::wstring> out;
    auto describe = [&](int32_t r, int32_t c, io::CellKind kind, uint32_t style) {
        const io::CellStyle& st = s.styleAt(style);
        return CellName(r, c) + L":" + std::to_wstring(static_cast<int>(kind)) + L":" + st.numberFormat +
               L":" + st.font.name + L":" + std::to_wstring(st.font.bold) + std::to_wstring(st.font.size);
    };
    out.push_back(L"last " + std::to_wstring(s.lastRow()) + L"," + std::to_wstring(s.lastCol()));
    for (int32_t r = 0; r <= s.lastRow() + 1; ++r) {
        for (int32_t c = 0; c <= s.lastCol() + 1; ++c) {
            const Cell& cell = s.cell(r, c);
            out.push_back(describe(r, c, cell.kind, cell.style));
        }
    }
    s.forEachCell(
        [&](const io::CellRef& c) { out.push_back(L"visit " + describe(c.row, c.col, c.kind, c.style)); });
    return out;
}

// Styling a large rectangle keeps the style of its empty positions as one
// block; every later operation must see the same cells as when each position
// was styled on its own.
TEST(sheet_test, a_styled_block_reads_like_styling_each_cell) {
    const Rect block{2, 1, 129, 60};  // 7,680 cells
    auto build = [&](bool asBlock) {
        Sheet s(L"Sheet1", kYear);
        for (int32_t r = 0; r < 140; r += 3) {
            for (int32_t c = 0; c < 70; c += 2 + r % 5) {
                s.putText(r, c, L"t" + std::to_wstring(r * 100 + c));
            }
        }
        auto font = [&](const Rect& r, auto change) {
            if (asBlock) {
                s.changeFont(r, change);
                return;
            }
            for (int32_t row = r.r1; row <= r.r2; ++row) {
                for (int32_t col = r.c1; col <= r.c2; ++col) {
                    s.changeFont(Rect{row, col, row, col}, change);
                }
            }
        };
        font(block, [](io::FontSpec& f) { f.name = L"Courier New"; });
        font(block, [](io::FontSpec& f) { f.size = 9.0; });              // the same block again
        font(Rect{0, 0, 4, 3}, [](io::FontSpec& f) { f.bold = true; });  // across its corner
        s.putTyped(50, 40, L"12.5");  // an empty styled position gets a value
        s.setNumberFormat(Rect{60, 30, 60, 30}, L"0.00");
        s.clearContents(3, 1);
        return s;
    };
    Sheet blockSheet = build(true);
    Sheet cellSheet = build(false);
    EXPECT_LT(blockSheet.storedCells() * 2, cellSheet.storedCells());
    ASSERT_EQ(Snapshot(blockSheet), Snapshot(cellSheet));

    // Operations that move, clear or restyle parts of the block.
    std::vector<std::function<void(Sheet&)>> steps = {
        [](Sheet& s) {
            s.deleteShiftUp(Rect{10, 0, 14, kMaxCols - 1});
        },  // rows inside
        [](Sheet& s) {
            s.deleteShiftUp(Rect{0, 0, 2, kMaxCols - 1});
        },  // its first row
        [](Sheet& s) {
            s.deleteShiftLeft(Rect{0, 5, kMaxRows - 1, 7});
        },  // columns inside
        [](Sheet& s) {
            s.deleteShiftLeft(Rect{0, 0, kMaxRows - 1, 0});
        },  // left of it
        [](Sheet& s) {
            s.clear(Rect{100, 0, kMaxRows - 1, kMaxCols - 1});
        },  // its last rows
        [](Sheet& s) {
            s.clear(Rect{0, 0, 1, kMaxCols - 1});
        },  // its first rows
        [](Sheet& s) {
            s.setNumberFormat(Rect{0, 0, kMaxRows - 1, 9}, L"@");
        },  // whole columns
        [](Sheet& s) {
            s.clear(Rect{20, 20, 22, 22});
        },  // a hole
        [](Sheet& s) {
            s.deleteShiftUp(Rect{30, 10, 31, 12});
        },  // part of rows
        [](Sheet& s) {
            s.deleteShiftLeft(Rect{40, 0, 41, 3});
        },  // part of columns
    };
    for (size_t i = 0; i < steps.size(); ++i) {
        steps[i](blockSheet);
        steps[i](cellSheet);
        ASSERT_EQ(Snapshot(blockSheet), Snapshot(cellSheet)) << "after step " << i;
    }
}

// Random edits against a plain grid of texts: every position must read as the
// grid says, rows must keep their cells in column order, and the per-column
// bookkeeping must agree with the cells actually stored.
TEST(sheet_test, sparse_rows_agree_with_a_plain_grid_under_random_edits) {
    constexpr int32_t kRows = 40;
    constexpr int32_t kCols = 24;
    std::mt19937 rng(20261207);
    auto pick = [&](int32_t n) { return static_cast<int32_t>(rng() % static_cast<uint32_t>(n)); };
    for (int round = 0; round < 30; ++round) {
        Sheet s(L"Sheet1", kYear);
        std::vector<std::vector<std::wstring>> grid(kRows, std::vector<std::wstring>(kCols));
        auto rect = [&]() {
            int32_t r1 = pick(kRows);
            int32_t c1 = pick(kCols);
            return Rect{r1, c1, r1 + pick(std::min(8, kRows - r1)), c1 + pick(std::min(6, kCols - c1))};
        };
        // The rows holding cells in each column, as the sheet's column index
        // must give them; consulted between edits so that the index is kept
        // across some of them.
        auto checkIndex = [&](int step) {
            for (int32_t col = 0; col < kCols + 2; ++col) {
                std::vector<uint32_t> want;
                for (int32_t row = 0; row < kRows + 8; ++row) {
                    for (const Cell& c : s.rowCells(row)) {
                        if (c.col == col) {
                            want.push_back(static_cast<uint32_t>(row));
                        }
                    }
                }
                std::span<const uint32_t> got = s.rowsWithCells(col);
                ASSERT_EQ(std::vector<uint32_t>(got.begin(), got.end()), want)
                    << "round " << round << " step " << step << " column " << col;
                // The column's copies read as the cells themselves.
                std::span<const Cell> copies = s.cellsWithRows(col);
                ASSERT_EQ(copies.size(), want.size());
                for (size_t n = 0; n < want.size(); ++n) {
                    const Cell& cell = s.cell(static_cast<int32_t>(want[n]), col);
                    ASSERT_EQ(copies[n].kind, cell.kind) << "column " << col << " row " << want[n];
                    ASSERT_EQ(copies[n].style, cell.style) << "column " << col << " row " << want[n];
                    if (cell.kind == io::CellKind::Text) {
                        ASSERT_EQ(s.text(copies[n]), s.text(cell)) << "column " << col << " row " << want[n];
                    }
                }
            }
        };
        for (int step = 0; step < 200; ++step) {
            if (pick(4) == 0) {
                static_cast<void>(s.rowsWithCells(0));
            }
            if (step % 25 == 0) {
                checkIndex(step);
            }
            const int op = pick(9);
            if (op <= 2) {
                const int32_t r = pick(kRows);
                const int32_t c = pick(kCols);
                grid[r][c] = L"v" + std::to_wstring(step);
                s.putText(r, c, grid[r][c]);
            } else if (op == 3) {
                const int32_t r = pick(kRows);
                const int32_t c = pick(kCols);
                grid[r][c].clear();
                s.clearContents(r, c);
            } else if (op == 4) {
                const Rect r = rect();
                for (int32_t row = r.r1; row <= r.r2; ++row) {
                    for (int32_t col = r.c1; col <= r.c2; ++col) {
                        grid[row][col].clear();
                    }
                }
                s.clear(r);
            } else if (op == 5) {
                // Styles, in blocks or cell by cell, change no value.
                const Rect r =
                    pick(2) ? Rect{pick(4), pick(4), kRows - 1 - pick(4), kCols - 1 - pick(4)} : rect();
                s.changeFont(r, [&](io::FontSpec& f) { f.bold = !f.bold; });
            } else if (op == 6 || op == 7) {
                // Shift up: whole rows or part of them.
                Rect r = rect();
                if (op == 6) {
                    r.c1 = 0;
                    r.c2 = kMaxCols - 1;
                }
                const int32_t lastCol = std::min(r.c2, kCols - 1);
                for (int32_t col = r.c1; col <= lastCol; ++col) {
                    for (int32_t row = r.r1; row < kRows; ++row) {
                        const int32_t from = row + r.rows();
                        grid[row][col] = from < kRows ? grid[from][col] : L"";
                    }
                }
                s.deleteShiftUp(r);
            } else {
                // Shift left: whole columns or part of them.
                Rect r = rect();
                if (pick(2)) {
                    r.r1 = 0;
                    r.r2 = kMaxRows - 1;
                }
                const int32_t lastRow = std::min(r.r2, kRows - 1);
                for (int32_t row = r.r1; row <= lastRow; ++row) {
                    for (int32_t col = r.c1; col < kCols; ++col) {
                        const int32_t from = col + r.cols();
                        grid[row][col] = from < kCols ? grid[row][from] : L"";
                    }
                }
                s.deleteShiftLeft(r);
            }
        }
        checkIndex(200);
        std::vector<size_t> stored(kCols + 8, 0);
        for (int32_t row = 0; row < kRows + 8; ++row) {
            std::span<const Cell> cells = s.rowCells(row);
            for (size_t k = 0; k < cells.size(); ++k) {
                ASSERT_LT(cells[k].col, stored.size());
                ++stored[cells[k].col];
                if (k > 0) {
                    ASSERT_LT(cells[k - 1].col, cells[k].col) << "row " << row << " out of column order";
                }
            }
            for (int32_t col = 0; col < kCols + 8; ++col) {
                const std::wstring want = row < kRows && col < kCols ? grid[row][col] : L"";
                const Cell& cell = s.cell(row, col);
                ASSERT_EQ(cell.kind == io::CellKind::Text ? s.text(cell) : L"", want)
                    << "round " << round << " at " << row << "," << col;
            }
        }
        for (int32_t col = 0; col < kCols + 8; ++col) {
            ASSERT_EQ(s.columnStoresCells(col), stored[static_cast<size_t>(col)] != 0) << "column " << col;
        }
    }
}

// Values and bold positions of a sheet as a plain map from position to what
// it shows, edited the obvious way; the sheet must read, visit and measure
// exactly like it. Columns come from the left edge and from the right edge
// of the grid, so cuts, shifts and styled blocks reach the last column.
TEST(sheet_test, styles_visits_and_extent_agree_with_a_plain_map_near_both_edges) {
    struct Shown {
        std::wstring text;
        bool bold = false;
    };
    using Pos = std::pair<int32_t, int32_t>;
    constexpr int32_t kRows = 48;
    constexpr int32_t kBand = 100;
    std::mt19937 rng(8122026);
    auto pick = [&](int32_t n) { return static_cast<int32_t>(rng() % static_cast<uint32_t>(n)); };
    auto pickCol = [&]() { return pick(2) ? pick(kBand) : kMaxCols - 1 - pick(kBand); };
    for (int round = 0; round < 6; ++round) {
        Sheet s(L"Sheet1", kYear);
        std::map<Pos, Shown> model;
        auto rect = [&]() {
            const int32_t r1 = pick(kRows + 10);
            const int32_t r2 = r1 + pick(8);
            switch (pick(4)) {
                case 0: {
                    const int32_t c1 = kMaxCols - 1 - pick(kBand);
                    return Rect{r1, c1, r2, kMaxCols - 1};
                }
                case 1:
                    return Rect{r1, 1 + pick(kBand - 1), r2, kMaxCols - 1 - pick(kBand)};
                default: {
                    const int32_t c1 = pickCol();
                    return Rect{r1, c1, r2, std::min(c1 + pick(6), kMaxCols - 1)};
                }
            }
        };
        auto inside = [](const Rect& r, const Pos& p) {
            return p.first >= r.r1 && p.first <= r.r2 && p.second >= r.c1 && p.second <= r.c2;
        };
        auto check = [&](int step) {
            SCOPED_TRACE("round " + std::to_string(round) + " step " + std::to_string(step));
            int32_t lastRow = -1;
            int32_t lastCol = -1;
            for (const auto& [pos, shown] : model) {
                const Cell& c = s.cell(pos.first, pos.second);
                ASSERT_EQ(c.kind == io::CellKind::Text ? s.text(c) : L"", shown.text)
                    << pos.first << "," << pos.second;
                ASSERT_EQ(s.style(c).font.bold, shown.bold) << pos.first << "," << pos.second;
                lastRow = std::max(lastRow, pos.first);
                lastCol = std::max(lastCol, pos.second);
            }
            for (int probe = 0; probe < 64; ++probe) {
                const Pos pos{pick(kRows + 20), pickCol()};
                if (!model.contains(pos)) {
                    ASSERT_TRUE(s.cell(pos.first, pos.second).blank()) << pos.first << "," << pos.second;
                }
            }
            std::vector<std::pair<Pos, Shown>> visited;
            s.forEachCell([&](const io::CellRef& ref) {
                visited.push_back(
                    {{ref.row, ref.col}, {ref.text ? *ref.text : L"", s.styles()[ref.style].font.bold}});
            });
            ASSERT_EQ(visited.size(), model.size());
            auto want = model.begin();
            for (const auto& [pos, shown] : visited) {
                ASSERT_EQ(pos, want->first);
                ASSERT_EQ(shown.text, want->second.text) << pos.first << "," << pos.second;
                ASSERT_EQ(shown.bold, want->second.bold) << pos.first << "," << pos.second;
                ++want;
            }
            EXPECT_EQ(s.lastRow(), lastRow);
            EXPECT_EQ(s.lastCol(), lastCol);
            // Stored cells, their column counts and the column index agree.
            std::map<int32_t, std::vector<uint32_t>> rowsOf;
            size_t stored = 0;
            for (int32_t row = 0; static_cast<size_t>(row) < s.storedRows(); ++row) {
                std::span<const Cell> cells = s.rowCells(row);
                stored += cells.size();
                for (size_t k = 0; k < cells.size(); ++k) {
                    ASSERT_TRUE(k == 0 || cells[k - 1].col < cells[k].col) << "row " << row;
                    ASSERT_EQ(&s.cell(row, cells[k].col), &cells[k]);
                    rowsOf[cells[k].col].push_back(static_cast<uint32_t>(row));
                }
            }
            EXPECT_EQ(s.storedCells(), stored);
            for (int32_t col = 0; col < kMaxCols; col = col == kBand ? kMaxCols - kBand - 1 : col + 1) {
                ASSERT_EQ(s.columnStoresCells(col), rowsOf.contains(col)) << "column " << col;
                std::span<const uint32_t> got = s.rowsWithCells(col);
                ASSERT_EQ(std::vector<uint32_t>(got.begin(), got.end()), rowsOf[col]) << "column " << col;
            }
        };
        for (int step = 0; step < 160; ++step) {
            const int op = pick(12);
            if (op <= 3) {
                const Pos pos{pick(kRows + 10), pickCol()};
                model[pos].text = L"v" + std::to_wstring(step);
                s.putText(pos.first, pos.second, model[pos].text);
            } else if (op == 4) {
                const Pos pos{pick(kRows + 10), pickCol()};
                if (auto it = model.find(pos); it != model.end()) {
                    it->second.text.clear();
                    if (!it->second.bold) {
                        model.erase(it);
                    }
                }
                s.clearContents(pos.first, pos.second);
            } else if (op == 5) {
                Rect r = rect();
                if (pick(4) == 0) {
                    r.c1 = 0;
                    r.c2 = kMaxCols - 1;
                }
                std::erase_if(model, [&](const auto& e) { return inside(r, e.first); });
                s.clear(r);
            } else if (op <= 7) {
                // Large rectangles make a styled block; later ones restyle it
                // or go cell by cell.
                Rect r = rect();
                if (pick(3) == 0) {
                    const int32_t c1 = pick(2) ? pick(3) : kMaxCols - kBand + pick(3);
                    r = Rect{pick(3), c1, kRows - 1 + pick(10), c1 + kBand - 4};
                } else if (r.cols() > kBand) {
                    r.c2 = r.c1 + pick(6);  // spans cell by cell stay small
                }
                if (pick(8) == 0) {
                    // Whole rows or columns are formatted over the used area.
                    r = pick(2) ? Rect{r.r1, 0, r.r1 + pick(2), kMaxCols - 1}
                                : Rect{0, r.c1, kMaxRows - 1, r.c2};
                }
                const bool bold = pick(3) != 0;
                const Rect asked = r;
                if (!s.formatArea(asked, r)) {
                    r = Rect{0, 0, -1, -1};
                } else if (asked.wholeRows()) {
                    // No further than the columns that show or store something.
                    int32_t widest = s.lastCol();
                    for (int32_t row = 0; static_cast<size_t>(row) < s.storedRows(); ++row) {
                        std::span<const Cell> cells = s.rowCells(row);
                        widest = cells.empty() ? widest : std::max<int32_t>(widest, cells.back().col);
                    }
                    ASSERT_LE(r.c2, widest) << "round " << round << " step " << step;
                } else if (asked.wholeCols()) {
                    int32_t lowest = s.lastRow();
                    for (int32_t row = 0; static_cast<size_t>(row) < s.storedRows(); ++row) {
                        lowest = s.rowCells(row).empty() ? lowest : std::max(lowest, row);
                    }
                    ASSERT_LE(r.r2, lowest) << "round " << round << " step " << step;
                }
                for (int32_t row = r.r1; row <= r.r2; ++row) {
                    for (int32_t col = r.c1; col <= r.c2; ++col) {
                        Shown& shown = model[{row, col}];
                        shown.bold = bold;
                        if (!bold && shown.text.empty()) {
                            model.erase({row, col});
                        }
                    }
                }
                s.changeFont(asked, [&](io::FontSpec& f) { f.bold = bold; });
            } else if (op <= 9) {
                Rect r = rect();
                if (op == 9) {
                    r.c1 = 0;
                    r.c2 = kMaxCols - 1;
                }
                std::map<Pos, Shown> next;
                for (auto& [pos, shown] : model) {
                    if (pos.second < r.c1 || pos.second > r.c2 || pos.first < r.r1) {
                        next[pos] = shown;
                    } else if (pos.first > r.r2) {
                        next[{pos.first - r.rows(), pos.second}] = shown;
                    }
                }
                model.swap(next);
                s.deleteShiftUp(r);
            } else {
                Rect r = rect();
                if (op == 11) {
                    r.r1 = 0;
                    r.r2 = kMaxRows - 1;
                }
                std::map<Pos, Shown> next;
                for (auto& [pos, shown] : model) {
                    if (pos.first < r.r1 || pos.first > r.r2 || pos.second < r.c1) {
                        next[pos] = shown;
                    } else if (pos.second > r.c2) {
                        next[{pos.first, pos.second - r.cols()}] = shown;
                    }
                }
                model.swap(next);
                s.deleteShiftLeft(r);
            }
            if (pick(3) == 0) {
                static_cast<void>(s.rowsWithCells(pickCol()));
            }
            if (model.size() < 1500 || step % 8 == 0) {
                check(step);
                if (HasFatalFailure() || HasNonfatalFailure()) {
                    return;
                }
            }
        }
    }
}

// Positions that show nothing once a styled block is gone take no part in
// the sheet's extent: a cleared position of the block, and a block whose
// every position was restyled one by one.
TEST(sheet_test, the_extent_ends_at_the_last_position_showing_something) {
    auto bold = [](bool on) { return [on](io::FontSpec& f) { f.bold = on; }; };
    {
        Sheet s(L"Sheet1", kYear);
        s.changeFont(Rect{0, 0, 49, 99}, bold(true));
        s.clear(Rect{49, 99, 49, 99});
        EXPECT_FALSE(s.style(s.cell(49, 99)).font.bold);
        s.deleteShiftLeft(Rect{0, 0, 0, 0});  // moves part of the block
        s.clear(Rect{49, 0, 49, 98});
        EXPECT_FALSE(s.style(s.cell(49, 99)).font.bold);
        EXPECT_TRUE(s.style(s.cell(48, 99)).font.bold);
        EXPECT_EQ(s.lastRow(), 48);
        EXPECT_EQ(s.lastCol(), 99);
        EXPECT_EQ(s.storedCells(), 49u * 100u - 1u);  // row 0 moved left by one
    }
    {
        Sheet s(L"Sheet1", kYear);
        s.changeFont(Rect{0, 0, 49, 99}, bold(true));
        s.changeFont(Rect{0, 0, 60, 120}, bold(false));
        EXPECT_FALSE(s.style(s.cell(10, 10)).font.bold);
        EXPECT_EQ(s.lastRow(), -1);
        EXPECT_EQ(s.lastCol(), -1);
        EXPECT_EQ(s.storedCells(), 0u);
        s.putText(3, 4, L"x");
        s.changeFont(Rect{0, 0, 49, 99}, bold(true));
        s.changeFont(Rect{0, 0, 49, 99}, bold(true));
        EXPECT_TRUE(s.style(s.cell(3, 4)).font.bold);
        EXPECT_TRUE(s.style(s.cell(49, 99)).font.bold);
        // Made bold over and beyond the block, which changes nothing inside
        // it: every position there stays bold once the block has gone.
        s.changeFont(Rect{0, 0, 60, 120}, bold(true));
        for (const CellPos at : {CellPos{0, 0}, CellPos{3, 4}, CellPos{49, 99}, CellPos{60, 120}}) {
            EXPECT_TRUE(s.style(s.cell(at.row, at.col)).font.bold) << at.row << "," << at.col;
        }
        EXPECT_EQ(s.lastRow(), 60);
        EXPECT_EQ(s.lastCol(), 120);
    }
}

// Whole rows are formatted over the used columns only, and columns deleted
// from every row are no longer used.
TEST(sheet_test, deleted_columns_leave_the_used_area) {
    Sheet s(L"Sheet1", kYear);
    s.putText(0, 0, L"a");
    s.putText(1, kMaxCols - 1, L"far");
    s.putText(2, 40, L"mid");
    s.deleteShiftLeft(Rect{0, kMaxCols - 1, kMaxRows - 1, kMaxCols - 1});
    s.deleteShiftLeft(Rect{0, 30, kMaxRows - 1, 30});
    s.changeFont(Rect{0, 0, 0, kMaxCols - 1}, [](io::FontSpec& f) { f.bold = true; });
    EXPECT_TRUE(s.style(s.cell(0, 0)).font.bold);
    EXPECT_TRUE(s.style(s.cell(0, 39)).font.bold);
    EXPECT_FALSE(s.style(s.cell(0, 40)).font.bold);
    EXPECT_EQ(s.lastCol(), 39);
    Rect used;
    ASSERT_TRUE(s.clipToUsed(Rect{0, 0, kMaxRows - 1, kMaxCols - 1}, used));
    EXPECT_EQ(used, (Rect{0, 0, 2, 39}));

    // Cleared cells no longer widen it either.
    s.clear(Rect{0, 1, 2, 38});
    s.clearContents(2, 39);
    s.clear(Rect{0, 39, 0, 39});
    s.changeFont(Rect{0, 0, 0, kMaxCols - 1}, [](io::FontSpec& f) { f.italic = true; });
    EXPECT_TRUE(s.style(s.cell(0, 0)).font.italic);
    EXPECT_FALSE(s.style(s.cell(0, 1)).font.italic);
    EXPECT_EQ(s.lastCol(), 0);

    // Likewise rows cleared at the bottom for whole columns.
    s.putText(7, 0, L"low");
    s.clear(Rect{3, 0, 7, kMaxCols - 1});
    s.changeFont(Rect{0, 0, kMaxRows - 1, 0}, [](io::FontSpec& f) { f.underline = true; });
    EXPECT_TRUE(s.style(s.cell(0, 0)).font.underline);
    EXPECT_FALSE(s.style(s.cell(7, 0)).font.underline);
    EXPECT_EQ(s.lastRow(), 0);
}

// The last row and column of the grid: a styled block in the corner, whole
// row and column deletions there, and a clear of the whole grid.
TEST(sheet_test, the_grid_corner_keeps_values_styles_and_extent) {
    constexpr int32_t kLastRow = kMaxRows - 1;
    constexpr int32_t kLastCol = kMaxCols - 1;
    Sheet s(L"Sheet1", kYear);
    s.putText(0, 0, L"a");
    s.putText(kLastRow, kLastCol, L"corner");
    EXPECT_EQ(s.lastRow(), kLastRow);
    EXPECT_EQ(s.lastCol(), kLastCol);
    s.changeFont(Rect{kLastRow - 99, kLastCol - 99, kLastRow, kLastCol},
                 [](io::FontSpec& f) { f.bold = true; });
    EXPECT_EQ(s.storedCells(), 2u);
    EXPECT_TRUE(s.style(s.cell(kLastRow, kLastCol)).font.bold);
    EXPECT_TRUE(s.style(s.cell(kLastRow - 99, kLastCol - 99)).font.bold);
    EXPECT_FALSE(s.style(s.cell(kLastRow - 100, kLastCol)).font.bold);

    s.deleteShiftLeft(Rect{0, kLastCol, kLastRow, kLastCol});
    EXPECT_TRUE(s.cell(kLastRow, kLastCol).blank());
    EXPECT_TRUE(s.style(s.cell(kLastRow, kLastCol - 1)).font.bold);
    EXPECT_EQ(s.lastCol(), kLastCol - 1);
    EXPECT_FALSE(s.columnStoresCells(kLastCol));
    EXPECT_TRUE(s.rowsWithCells(kLastCol).empty());

    s.putText(kLastRow, kLastCol - 1, L"edge");
    s.deleteShiftUp(Rect{kLastRow - 1, 0, kLastRow - 1, kLastCol});
    EXPECT_EQ(TextAt(s, kLastRow - 1, kLastCol - 1), L"edge");
    EXPECT_TRUE(s.style(s.cell(kLastRow - 1, kLastCol - 1)).font.bold);
    EXPECT_TRUE(s.cell(kLastRow, kLastCol - 1).blank());
    EXPECT_EQ(s.lastRow(), kLastRow - 1);

    size_t visited = 0;
    s.forEachCell([&](const io::CellRef& ref) {
        ++visited;
        EXPECT_TRUE(ref.row == 0 || (ref.row >= kLastRow - 99 && ref.col >= kLastCol - 99)) << ref.row;
    });
    EXPECT_EQ(visited, 1u + 99u * 99u);

    s.clear(Rect{0, 0, kLastRow, kLastCol});
    EXPECT_EQ(s.lastRow(), -1);
    EXPECT_EQ(s.lastCol(), -1);
    EXPECT_EQ(s.storedCells(), 0u);
    s.forEachCell([](const io::CellRef& ref) { ADD_FAILURE() << ref.row << "," << ref.col; });
}

// Compacting the string pool renumbers the texts of rows that have not yet
// taken a column deletion as well as those that have.
TEST(sheet_test, compacted_texts_survive_pending_column_deletions) {
    Sheet s(L"Sheet1", kYear);
    for (int32_t row = 0; row < 50; ++row) {
        s.putText(row, 3, L"keep" + std::to_wstring(row));
    }
    s.deleteShiftLeft(Rect{0, 0, kMaxRows - 1, 0});
    for (int i = 0; i < 70000; ++i) {
        s.putText(60, 1, L"t" + std::to_wstring(i));
    }
    EXPECT_LT(s.pooledTexts(), 10000u);  // compacted once on the way
    for (int32_t row = 0; row < 50; ++row) {
        EXPECT_EQ(TextAt(s, row, 2), L"keep" + std::to_wstring(row));
    }
    EXPECT_EQ(TextAt(s, 60, 1), L"t69999");
}

// Whole-height column deletions made left to right, as a sweep for empty
// columns makes them, some of one column and some of several, some of
// columns holding cells; rows are read at different points of the sweep, so
// each takes a different share of the deletions at once.
TEST(sheet_test, a_left_to_right_sweep_of_column_deletions_agrees_with_a_plain_grid) {
    constexpr int32_t kRows = 30;
    constexpr int32_t kCols = 60;
    std::mt19937 rng(20261208);
    for (int round = 0; round < 20; ++round) {
        Sheet s(L"Sheet1", kYear);
        std::vector<std::vector<std::wstring>> grid(kRows, std::vector<std::wstring>(kCols));
        for (int32_t r = 0; r < kRows; ++r) {
            for (int32_t c = 0; c < kCols; ++c) {
                if (rng() % 4 == 0) {
                    grid[r][c] = std::to_wstring(r) + L"," + std::to_wstring(c);
                    s.putText(r, c, grid[r][c]);
                }
            }
        }
        // An earlier deletion out of order, which the sweep's rows take
        // first, one deletion at a time.
        if (round % 2 == 1) {
            const int32_t c = 40 + static_cast<int32_t>(rng() % 10);
            for (auto& row : grid) {
                row.erase(row.begin() + c);
                row.emplace_back();
            }
            s.deleteShiftLeft(Rect{0, c, kMaxRows - 1, c});
            static_cast<void>(s.cell(static_cast<int32_t>(rng() % kRows), 0));
        }
        int32_t col = 0;
        while (col < kCols - 3) {
            const auto count = static_cast<int32_t>(1 + rng() % 3);
            for (auto& row : grid) {
                row.erase(row.begin() + col, row.begin() + col + count);
                row.resize(kCols);
            }
            s.deleteShiftLeft(Rect{0, col, kMaxRows - 1, col + count - 1});
            // Another deletion at the same place now and then.
            col += static_cast<int32_t>(rng() % 3);
            const auto r = static_cast<int32_t>(rng() % kRows);
            ASSERT_EQ(s.cell(r, col).kind == io::CellKind::Text ? s.text(s.cell(r, col)) : L"", grid[r][col])
                << "round " << round << " at " << r << "," << col;
        }
        for (int32_t r = 0; r < kRows; ++r) {
            for (int32_t c = 0; c < kCols; ++c) {
                ASSERT_EQ(s.cell(r, c).kind == io::CellKind::Text ? s.text(s.cell(r, c)) : L"", grid[r][c])
                    << "round " << round << " at " << r << "," << c;
            }
        }
    }
}
TEST(sheet_test, row_list_deletes_like_a_vector) {
    std::mt19937 rng(7);
    RowList<std::vector<int>> list;
    std::vector<std::vector<int>> plain;
    for (int step = 0; step < 3000; ++step) {
        const size_t n = plain.size();
        if (n == 0 || rng() % 3 == 0) {
            const size_t grown = n + 1 + rng() % 20;
            list.resize(grown);
            plain.resize(grown);
            for (size_t i = n; i < grown; ++i) {
                list[i].push_back(step);
                plain[i].push_back(step);
            }
        } else {
            // Mostly walking down, as a clean-up pass does, sometimes back up.
            const size_t first = rng() % n;
            const size_t last = std::min(n, first + 1 + rng() % 4);
            list.erase(first, last);
            plain.erase(plain.begin() + static_cast<ptrdiff_t>(first),
                        plain.begin() + static_cast<ptrdiff_t>(last));
        }
        ASSERT_EQ(list.size(), plain.size());
        size_t i = 0;
        for (const std::vector<int>& row : list) {
            ASSERT_EQ(row, plain[i++]) << "step " << step;
        }
    }
    list.resize(2);
    EXPECT_EQ(list.size(), 2u);
    EXPECT_EQ(list[1], plain[1]);
}

TEST(sheet_test, a_styled_block_follows_its_rows_and_columns) {
    Sheet s(L"Sheet1", kYear);
    s.putText(0, 0, L"x");
    s.changeFont(Rect{10, 10, 109, 109}, [](io::FontSpec& f) { f.bold = true; });
    EXPECT_EQ(s.storedCells(), 1u);
    EXPECT_EQ(s.lastRow(), 109);
    EXPECT_EQ(s.lastCol(), 109);
    EXPECT_TRUE(s.style(s.cell(10, 10)).font.bold);
    EXPECT_FALSE(s.style(s.cell(9, 10)).font.bold);
    // Whole rows above it and columns left of it move it; deleting all of it
    // leaves nothing styled.
    s.deleteShiftUp(Rect{1, 0, 5, kMaxCols - 1});
    s.deleteShiftLeft(Rect{0, 1, kMaxRows - 1, 5});
    EXPECT_TRUE(s.style(s.cell(5, 5)).font.bold);
    EXPECT_FALSE(s.style(s.cell(4, 5)).font.bold);
    EXPECT_EQ(s.lastRow(), 104);
    s.deleteShiftUp(Rect{5, 0, 104, kMaxCols - 1});
    EXPECT_EQ(s.lastRow(), 0);
    EXPECT_EQ(s.lastCol(), 0);
    EXPECT_FALSE(s.style(s.cell(5, 5)).font.bold);

    // A position of the block given the default style back keeps it.
    Sheet t(L"Sheet1", kYear);
    t.setNumberFormat(Rect{0, 0, 99, 99}, L"0%");
    t.setNumberFormat(Rect{5, 99, 5, 99}, L"General");
    EXPECT_EQ(t.style(t.cell(5, 99)).numberFormat, L"General");
    EXPECT_EQ(t.style(t.cell(5, 98)).numberFormat, L"0%");
}

}  // namespace
}  // namespace calc
