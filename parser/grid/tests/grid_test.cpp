#include <gtest/gtest.h>

#include <climits>
#include <cstddef>
#include <cstring>
#include <map>
#include <random>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "parser/grid/KVExcelFileMgr.h"
#include "parser/parse/KVExcelFileFieldInfoParser.h"
#include "parser/parse/tests/test_files.h"

namespace {

std::string Header(int key, const std::string& text, const std::string& style = "NNN") {
    return "[[" + std::to_string(key) + ",11,22,33][9][" + style + "][Arial]]" + text;
}

// A cell's text read character by character: the sanitizers check each of
// those reads, where the library's copy of a whole text may go unchecked.
std::wstring Read(std::wstring_view text) {
    std::wstring read;
    for (const wchar_t c : text) {
        read.push_back(c);
    }
    return read;
}

std::wstring TextAt(const KVExcelFileMgr& grid, int row, int column) {
    const auto* cell = grid.GetValue(row, column);
    return cell == nullptr ? L"<none>" : Read(cell->GetText());
}

KVExcelFileFieldValue* Cell(int row, int column, const std::wstring& text) {
    return new KVExcelFileFieldValue(row, column, text);
}

// Printer text as bytes: runs with keys that collide after number reading,
// repeated keys on a line, broken headers, stray brackets, CR LF and
// Windows-1252 bytes.
std::string RandomPrinterText(std::mt19937& rng) {
    static const char* const keys[] = {"0",          "-0",          "+5",          "5",    " -40", "120",
                                       "2147483647", "99999999999", "-2147483648", "0012", "x",    "40"};
    static const char* const styles[] = {"BUI", "bui", "NNN", "BU", "NnI", ""};
    static const char* const texts[] = {"",        " Total ", "1,234.50",     "a]]b", "][",
                                        "[",       "]",       "\xE9",         "\x80", "\xC3\xA9",
                                        "\t x \t", "\r",      "[[1,2][bad]]", "[[",   "]]"};
    std::string bytes;
    const int lines = std::uniform_int_distribution<int>(0, 25)(rng);
    for (int line = 0; line < lines; ++line) {
        const int runs = std::uniform_int_distribution<int>(0, 6)(rng);
        for (int run = 0; run < runs; ++run) {
            if (rng() % 6 == 0) {
                bytes += texts[rng() % std::size(texts)];
                continue;
            }
            bytes += std::string("[[") + keys[rng() % std::size(keys)] + "," + std::to_string(rng() % 100) +
                     ",-" + std::to_string(rng() % 100) + "," + std::to_string(rng() % 100) + "][" +
                     std::to_string(rng() % 30) + "][" + styles[rng() % std::size(styles)] + "][Arial]]" +
                     texts[rng() % std::size(texts)];
        }
        bytes += rng() % 2 == 0 ? "\r\n" : "\n";
    }
    if (rng() % 3 == 0) {
        bytes += Header(static_cast<int>(rng() % 500), "unterminated last line");
    }
    return bytes;
}

// Loads a printer text file and checks every position of the grid against
// the column walk over the parser's sorted keys: the k-th key in column 2k,
// the first run of a position kept.
void ExpectTheKeyWalkPlacement(const std::wstring& path) {
    KVExcelFileFieldInfoParser parser;
    ASSERT_TRUE(parser.ReadFile(path));
    std::map<std::pair<int, int>, const KVExcelFileFieldInfoToken*> expected;
    int column = 0;
    int rowLimit = 0;
    int columnLimit = 0;
    for (int key : parser.GetKeyList()) {
        const auto& tokens = *parser.GetTokenArray(key);
        for (const auto& token : tokens) {
            expected.try_emplace({token.m_nLineIndex, column}, &token);
        }
        rowLimit = std::max(rowLimit, tokens.back().m_nLineIndex + 1);
        column += 2;
    }
    if (column > columnLimit) {
        columnLimit = column + 1;
    }

    KVExcelFileMgr grid;
    ASSERT_TRUE(grid.Load(path));
    ASSERT_EQ(grid.GetRowLimit(), rowLimit);
    ASSERT_EQ(grid.GetColumnLimit(), columnLimit);
    for (const auto& [position, token] : expected) {
        const auto [row, c] = position;
        const auto* cell = grid.GetValue(row, c);
        ASSERT_NE(cell, nullptr) << row << "," << c;
        EXPECT_EQ(cell->GetRow(), row);
        EXPECT_EQ(cell->GetColumn(), c);
        EXPECT_EQ(cell->GetText(), token->m_strText);
        EXPECT_EQ(cell->m_nColumnKey, token->m_nColumnKey);
        EXPECT_EQ(cell->m_nN2, token->m_nN2);
        EXPECT_EQ(cell->m_nN3, token->m_nN3);
        EXPECT_EQ(cell->m_nN4, token->m_nN4);
        EXPECT_EQ(cell->m_nN5, token->m_nN5);
        EXPECT_EQ(cell->m_bBold, token->m_bBold);
        EXPECT_EQ(cell->m_bUnderline, token->m_bUnderline);
        EXPECT_EQ(cell->m_bItalic, token->m_bItalic);
        if (::testing::Test::HasFailure()) {
            return;
        }
    }
    // Every expected cell is there; no other cell may be.
    std::size_t visited = 0;
    for (int row = 0; row < rowLimit; ++row) {
        int last = -1;
        grid.ForEachInRow(row, [&](int c, const KVExcelFileFieldValue& cell) {
            EXPECT_GT(c, last) << row;
            EXPECT_EQ(expected.count({row, c}), 1U) << row << "," << c;
            EXPECT_EQ(&cell, grid.GetValue(row, c));
            last = c;
            ++visited;
        });
    }
    EXPECT_EQ(visited, expected.size());
    EXPECT_EQ(grid.GetCellCount(), expected.size());
}

}  // namespace

TEST(grid_test, token_mode_matches_the_key_walk_over_the_parsed_runs) {
    ScratchDir dir;
    std::mt19937 rng(73);
    for (int round = 0; round < 300; ++round) {
        const std::string bytes = RandomPrinterText(rng);
        SCOPED_TRACE("round " + std::to_string(round) + ":\n" + bytes);
        ExpectTheKeyWalkPlacement(dir.Write("job" + std::to_string(round) + ".txt", bytes));
        if (HasFailure()) {
            return;
        }
    }
}

TEST(grid_test, a_long_file_places_its_runs_as_the_key_walk_does) {
    // Far more lines and runs than the loader takes in one go, so that lines
    // and their runs are handed on many times; the smallest key comes last
    // and moves every column, and each line repeats a key now and then.
    ScratchDir dir;
    std::mt19937 rng(74);
    std::string bytes;
    for (int chunk = 0; chunk < 1500; ++chunk) {
        std::string text = RandomPrinterText(rng);
        if (!text.empty() && text.back() != '\n') {
            text += "\r\n";
        }
        bytes += text;
        if (chunk % 7 == 0) {
            bytes += Header(chunk % 50, "x" + std::to_string(chunk)) + Header(700, "wide") + "\n\n";
        }
    }
    bytes += Header(-1000, "smallest key, last line") + "\r\n";
    ExpectTheKeyWalkPlacement(dir.Write("long.txt", bytes));
}

TEST(grid_test, column_keys_become_even_columns_by_rank) {
    ScratchDir dir;
    const auto path = dir.Write("job.txt", Header(300, "C") + Header(40, "A", "BUI") + "\n" +  //
                                               "\n" +                                          //
                                               Header(120, "B") + "\n");
    KVExcelFileMgr grid;
    ASSERT_TRUE(grid.Load(path));
    EXPECT_EQ(grid.GetColumnLimit(), 7);
    EXPECT_EQ(grid.GetRowLimit(), 3);
    EXPECT_EQ(TextAt(grid, 0, 0), L"A");
    EXPECT_EQ(TextAt(grid, 2, 2), L"B");
    EXPECT_EQ(TextAt(grid, 0, 4), L"C");
    for (int row = 0; row < 3; ++row) {
        for (int column : {1, 3, 5, 6}) {
            EXPECT_EQ(grid.GetValue(row, column), nullptr);
        }
    }
    EXPECT_EQ(grid.GetCellCount(), 3U);

    // The cell carries what its run carried.
    const auto* a = grid.GetValue(0, 0);
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a->GetRow(), 0);
    EXPECT_EQ(a->GetColumn(), 0);
    EXPECT_EQ(a->m_nColumnKey, 40);
    EXPECT_EQ(a->m_nN2, 11);
    EXPECT_EQ(a->m_nN3, 22);
    EXPECT_EQ(a->m_nN4, 33);
    EXPECT_EQ(a->m_nN5, 9);
    EXPECT_TRUE(a->m_bBold && a->m_bUnderline && a->m_bItalic);
    EXPECT_FALSE(grid.GetValue(0, 4)->m_bBold);
}

TEST(grid_test, row_limit_follows_the_last_line_with_a_run) {
    ScratchDir dir;
    // The run on line 9 has the smallest key, the later keys lie on earlier
    // lines, and nothing after line 9 holds a run.
    std::string text = Header(5, "late") + "\n";
    std::string bytes = Header(900, "x") + "\n" + Header(700, "y") + "\n";
    for (int i = 2; i < 9; ++i) {
        bytes += "no runs on this line\n";
    }
    bytes += text + "\n   \ntrailing text without runs\n";
    KVExcelFileMgr grid;
    ASSERT_TRUE(grid.Load(dir.Write("job.txt", bytes)));
    EXPECT_EQ(grid.GetRowLimit(), 10);
    EXPECT_EQ(grid.GetColumnLimit(), 7);
    EXPECT_EQ(TextAt(grid, 9, 0), L"late");
    EXPECT_EQ(TextAt(grid, 1, 2), L"y");
    EXPECT_EQ(TextAt(grid, 0, 4), L"x");
}

TEST(grid_test, first_run_of_a_position_wins) {
    ScratchDir dir;
    KVExcelFileMgr grid;
    ASSERT_TRUE(
        grid.Load(dir.Write("job.txt", Header(-8, "first") + Header(50, "other") + Header(-8, "second") +
                                           "\n" + Header(-8, "next line") + "\n")));
    EXPECT_EQ(TextAt(grid, 0, 0), L"first");
    EXPECT_EQ(TextAt(grid, 0, 2), L"other");
    EXPECT_EQ(TextAt(grid, 1, 0), L"next line");
    EXPECT_EQ(grid.GetCellCount(), 3U);
    EXPECT_EQ(grid.GetColumnLimit(), 5);
}

TEST(grid_test, token_mode_places_runs_as_the_parser_groups_them) {
    ScratchDir dir;
    // A mix of every kind of line; the grid must agree with the key walk
    // over the parser's groups.
    std::string bytes;
    const int keys[] = {300, -5, 0, 120, 2147483647, -2147483647, 120, 33};
    for (int line = 0; line < 60; ++line) {
        switch (line % 6) {
            case 0:
                bytes += Header(keys[line % 8], "r" + std::to_string(line)) + "  " +
                         Header(keys[(line + 3) % 8], "s" + std::to_string(line), "BNN");
                break;
            case 1:
                bytes += "text only";
                break;
            case 2:
                bytes += Header(keys[(line * 7) % 8], " t\xE9xt ]] with brackets ") + "\r";
                break;
            case 3:
                bytes += "[[1,2][broken]]x" + Header(77, "lost");
                break;
            case 4:
                bytes += Header(keys[line % 8], "a") + Header(keys[line % 8], "b");
                break;
            default:
                break;
        }
        bytes += "\r\n";
    }
    const auto path = dir.Write("mixed.txt", bytes);
    KVExcelFileFieldInfoParser parser;
    ASSERT_TRUE(parser.ReadFile(path));
    KVExcelFileMgr grid;
    ASSERT_TRUE(grid.Load(path));

    int column = 0;
    int rowLimit = 0;
    std::size_t stored = 0;
    for (int key : parser.GetKeyList()) {
        int lastLine = -1;
        for (const auto& token : *parser.GetTokenArray(key)) {
            const auto* cell = grid.GetValue(token.m_nLineIndex, column);
            ASSERT_NE(cell, nullptr);
            if (token.m_nLineIndex != lastLine) {
                EXPECT_EQ(cell->GetText(), token.m_strText);
                EXPECT_EQ(cell->m_nColumnKey, key);
                EXPECT_EQ(cell->m_bBold, token.m_bBold);
                ++stored;
            }
            lastLine = token.m_nLineIndex;
            rowLimit = std::max(rowLimit, token.m_nLineIndex + 1);
        }
        column += 2;
    }
    EXPECT_EQ(parser.GetKeyList().size(), 7U);
    EXPECT_EQ(grid.GetCellCount(), stored);
    EXPECT_EQ(grid.GetRowLimit(), rowLimit);
    EXPECT_EQ(grid.GetColumnLimit(), column + 1);
    // Key 120 ranks fifth of -2147483647, -5, 0, 33, 120, 300, 2147483647.
    EXPECT_EQ(TextAt(grid, 2, 2 * 4), L"t\u00E9xt ]] with brackets");
    EXPECT_EQ(TextAt(grid, 0, 2 * 5), L"r0");
}

TEST(grid_test, empty_unreadable_and_failing_files) {
    ScratchDir dir;
    KVExcelFileMgr grid;
    for (bool plain : {false, true}) {
        grid.SetPlainMode(plain);
        EXPECT_TRUE(grid.Load(dir.Path("missing.txt")));
        EXPECT_EQ(grid.GetRowLimit(), 0);
        EXPECT_EQ(grid.GetColumnLimit(), 0);
        EXPECT_TRUE(grid.Load(dir.Root().wstring()));
        EXPECT_EQ(grid.GetCellCount(), 0U);
    }
    grid.SetPlainMode(false);
    EXPECT_TRUE(grid.Load(dir.Write("empty.txt", "")));
    EXPECT_EQ(grid.GetRowLimit(), 0);
    EXPECT_EQ(grid.GetColumnLimit(), 0);
    EXPECT_TRUE(grid.Load(dir.Write("noruns.txt", "just text\n\n")));
    EXPECT_EQ(grid.GetRowLimit(), 0);
    EXPECT_EQ(grid.GetColumnLimit(), 0);

    // Printer text that fails part-way leaves nothing behind.
    ASSERT_TRUE(grid.Load(dir.Write("one.txt", Header(1, "x") + "\n")));
    EXPECT_FALSE(grid.Load(L"/proc/self/mem"));
    EXPECT_EQ(grid.GetLoadError(), L"/proc/self/mem: reading it failed (Input/output error)");
    EXPECT_EQ(grid.GetCellCount(), 0U);
    EXPECT_EQ(grid.GetRowLimit(), 0);

    // In plain mode even an empty file has its row counter.
    grid.SetPlainMode(true);
    EXPECT_TRUE(grid.Load(dir.Write("empty2.txt", "")));
    EXPECT_EQ(grid.GetRowLimit(), 1);
    EXPECT_EQ(grid.GetColumnLimit(), 0);
    EXPECT_TRUE(grid.Load(L"/proc/self/mem"));
}

TEST(grid_test, plain_mode_splits_lines_at_tabs) {
    ScratchDir dir;
    KVExcelFileMgr grid;
    grid.SetPlainMode(true);
    ASSERT_TRUE(grid.Load(dir.Write("pdf.txt",
                                    "a\t\tb\r\n"     // row 1
                                    "a\t\r\n"        // row 2
                                    "\r\n"           // row 3: empty
                                    "\tx\t\n"        // row 4
                                    " pad \t\xE9\n"  // row 5
                                    "in\rner\r\r\n"  // row 6
                                    "\t\n"           // row 7
                                    "last")));       // row 8
    EXPECT_EQ(TextAt(grid, 1, 1), L"a");
    EXPECT_EQ(TextAt(grid, 1, 2), L"");
    EXPECT_TRUE(grid.GetValue(1, 2)->IsEmpty());
    EXPECT_EQ(TextAt(grid, 1, 3), L"b");
    EXPECT_EQ(TextAt(grid, 2, 1), L"a");
    EXPECT_EQ(grid.GetValue(2, 2), nullptr);
    EXPECT_EQ(grid.GetValue(3, 1), nullptr);
    EXPECT_EQ(TextAt(grid, 4, 1), L"");
    EXPECT_EQ(TextAt(grid, 4, 2), L"x");
    EXPECT_EQ(grid.GetValue(4, 3), nullptr);
    EXPECT_EQ(TextAt(grid, 5, 1), L" pad ");
    EXPECT_EQ(TextAt(grid, 5, 2), L"\u00E9");
    EXPECT_EQ(TextAt(grid, 6, 1), L"inner");
    EXPECT_EQ(TextAt(grid, 7, 1), L"");
    EXPECT_EQ(grid.GetValue(7, 2), nullptr);
    EXPECT_EQ(TextAt(grid, 8, 1), L"last");
    EXPECT_EQ(grid.GetRowLimit(), 9);
    EXPECT_EQ(grid.GetColumnLimit(), 4);
    for (int column = 0; column < 4; ++column) {
        EXPECT_EQ(grid.GetValue(0, column), nullptr);
    }
    for (int row = 0; row < 9; ++row) {
        EXPECT_EQ(grid.GetValue(row, 0), nullptr);
    }
    EXPECT_EQ(grid.GetCellCount(), 11U);
}

TEST(grid_test, plain_mode_lines_without_tabs_fill_column_one) {
    ScratchDir dir;
    KVExcelFileMgr grid;
    grid.SetPlainMode(true);
    ASSERT_TRUE(grid.Load(dir.Write("pdf.txt", "one\ntwo\n\nfour\n")));
    EXPECT_EQ(grid.GetColumnLimit(), 2);
    EXPECT_EQ(grid.GetRowLimit(), 5);
    EXPECT_EQ(TextAt(grid, 1, 1), L"one");
    EXPECT_EQ(TextAt(grid, 2, 1), L"two");
    EXPECT_EQ(grid.GetValue(3, 1), nullptr);
    EXPECT_EQ(TextAt(grid, 4, 1), L"four");
    EXPECT_EQ(grid.GetCellCount(), 3U);
}

TEST(grid_test, loading_again_replaces_everything) {
    ScratchDir dir;
    KVExcelFileMgr grid;
    grid.SetPlainMode(true);
    ASSERT_TRUE(grid.Load(dir.Write("long.txt", "a\tb\tc\n\n\n\n\nz\n")));
    ASSERT_TRUE(grid.Load(dir.Write("short.txt", "new\n")));
    EXPECT_EQ(grid.GetRowLimit(), 2);
    EXPECT_EQ(grid.GetColumnLimit(), 2);
    EXPECT_EQ(TextAt(grid, 1, 1), L"new");
    EXPECT_EQ(grid.GetValue(1, 2), nullptr);
    EXPECT_EQ(grid.GetValue(6, 1), nullptr);

    grid.SetPlainMode(false);
    ASSERT_TRUE(grid.Load(dir.Write("tokens.txt", "\n\n\n\n" + Header(1, "deep") + "\n")));
    ASSERT_TRUE(grid.Load(dir.Write("tokens2.txt", Header(1, "top") + "\n")));
    EXPECT_EQ(grid.GetRowLimit(), 1);
    EXPECT_EQ(grid.GetColumnLimit(), 3);
    EXPECT_EQ(grid.GetCellCount(), 1U);
}

TEST(grid_test, add_value_keeps_one_cell_per_position) {
    KVExcelFileMgr grid;
    EXPECT_EQ(grid.GetValue(0, 0), nullptr);
    EXPECT_FALSE(grid.AddValue(nullptr));

    ASSERT_TRUE(grid.AddValue(Cell(3, 12, L"first")));
    auto* second = Cell(3, 12, L"second");
    EXPECT_FALSE(grid.AddValue(second));
    delete second;  // refused cells stay with the caller
    EXPECT_EQ(TextAt(grid, 3, 12), L"first");

    auto* negative = Cell(-1, 2, L"x");
    EXPECT_FALSE(grid.AddValue(negative));
    negative->m_nRow = 2;
    negative->m_nColumn = -4;
    EXPECT_FALSE(grid.AddValue(negative));
    negative->m_nColumn = INT_MAX;
    EXPECT_FALSE(grid.AddValue(negative));
    delete negative;
    EXPECT_EQ(grid.GetValue(-1, 2), nullptr);
    EXPECT_EQ(grid.GetValue(2, -4), nullptr);

    // Cells added out of order, and far away, are all found; the limits
    // always bound every cell.
    ASSERT_TRUE(grid.AddValue(Cell(3, 2, L"left")));
    ASSERT_TRUE(grid.AddValue(Cell(3, 7, L"middle")));
    ASSERT_TRUE(grid.AddValue(Cell(0, 0, L"origin")));
    ASSERT_TRUE(grid.AddValue(Cell(90000000, 5, L"far")));
    ASSERT_TRUE(grid.AddValue(Cell(2000, 1, L"near")));
    auto* farAgain = Cell(90000000, 5, L"dup");
    EXPECT_FALSE(grid.AddValue(farAgain));
    delete farAgain;
    EXPECT_EQ(TextAt(grid, 3, 2), L"left");
    EXPECT_EQ(TextAt(grid, 3, 7), L"middle");
    EXPECT_EQ(TextAt(grid, 3, 12), L"first");
    EXPECT_EQ(TextAt(grid, 0, 0), L"origin");
    EXPECT_EQ(TextAt(grid, 90000000, 5), L"far");
    EXPECT_EQ(TextAt(grid, 2000, 1), L"near");
    EXPECT_EQ(grid.GetValue(90000000, 4), nullptr);
    EXPECT_EQ(grid.GetValue(3, 3), nullptr);
    EXPECT_EQ(grid.GetCellCount(), 6U);
    EXPECT_EQ(grid.GetRowLimit(), 90000001);
    EXPECT_EQ(grid.GetColumnLimit(), 13);

    grid.Clear();
    EXPECT_EQ(grid.GetValue(90000000, 5), nullptr);
    EXPECT_EQ(grid.GetValue(3, 12), nullptr);
    EXPECT_EQ(grid.GetRowLimit(), 0);
    EXPECT_EQ(grid.GetColumnLimit(), 0);
    ASSERT_TRUE(grid.AddValue(Cell(3, 12, L"again")));
    EXPECT_EQ(TextAt(grid, 3, 12), L"again");
}

namespace {

// The table entry of a virtual operation; the destructor fills entries 0
// and 1 in this ABI.
template <class F>
long Slot(F function) {
    static_assert(sizeof(F) == 2 * sizeof(std::ptrdiff_t));
    std::ptrdiff_t words[2];
    std::memcpy(words, &function, sizeof(words));
    // A virtual member pointer holds 1 + the entry's byte offset.
    return (words[0] & 1) != 0
               ? static_cast<long>((words[0] - 1) / static_cast<std::ptrdiff_t>(sizeof(void*)))
               : -1;
}

}  // namespace

TEST(grid_test, released_rows_lose_their_cells_and_keep_the_limits) {
    KVExcelFileMgr grid;
    for (int r = 0; r < 3; ++r) {
        for (int c = 0; c < 4; ++c) {
            ASSERT_TRUE(grid.AddValue(new KVExcelFileFieldValue(r, c, L"x")));
        }
    }
    ASSERT_TRUE(grid.AddValue(new KVExcelFileFieldValue(5000000, 1, L"far")));
    grid.ReleaseRow(1);
    grid.ReleaseRow(-1);
    grid.ReleaseRow(99);
    EXPECT_EQ(grid.GetValue(1, 0), nullptr);
    EXPECT_EQ(grid.GetValue(1, 3), nullptr);
    ASSERT_NE(grid.GetValue(0, 3), nullptr);
    ASSERT_NE(grid.GetValue(2, 0), nullptr);
    ASSERT_NE(grid.GetValue(5000000, 1), nullptr);
    EXPECT_EQ(grid.GetCellCount(), 9u);
    EXPECT_EQ(grid.GetRowLimit(), 5000001);
    EXPECT_EQ(grid.GetColumnLimit(), 4);
    // Walking a row visits its cells left to right, with or without cells
    // far beyond the dense rows.
    auto walk = [&](int row) {
        std::vector<int> columns;
        grid.ForEachInRow(row, [&](int j, const KVExcelFileFieldValue& cell) {
            EXPECT_EQ(cell.GetColumn(), j);
            columns.push_back(j);
        });
        return columns;
    };
    EXPECT_EQ(walk(0), (std::vector<int>{0, 1, 2, 3}));
    EXPECT_TRUE(walk(1).empty());
    EXPECT_EQ(walk(5000000), (std::vector<int>{1}));
    KVExcelFileMgr dense;
    ASSERT_TRUE(dense.AddValue(new KVExcelFileFieldValue(2, 7, L"b")));
    ASSERT_TRUE(dense.AddValue(new KVExcelFileFieldValue(2, 3, L"a")));
    std::vector<std::wstring> texts;
    dense.ForEachInRow(2,
                       [&](int, const KVExcelFileFieldValue& cell) { texts.emplace_back(cell.GetText()); });
    EXPECT_EQ(texts, (std::vector<std::wstring>{L"a", L"b"}));
    dense.ForEachInRow(-1, [&](int, const KVExcelFileFieldValue&) { ADD_FAILURE() << "no such row"; });
    dense.ForEachInRow(3, [&](int, const KVExcelFileFieldValue&) { ADD_FAILURE() << "no such row"; });
    // A released row can be filled again.
    EXPECT_TRUE(grid.AddValue(new KVExcelFileFieldValue(1, 2, L"again")));
    EXPECT_EQ(grid.GetValue(1, 2)->GetText(), L"again");
}

TEST(grid_test, virtual_operations_keep_their_order) {
    EXPECT_EQ(Slot(&KVExcelFileMgr::Load), 2);
    EXPECT_EQ(Slot(&KVExcelFileMgr::GetValue), 3);
    EXPECT_EQ(Slot(&KVExcelFileMgr::GetRowLimit), 4);
    EXPECT_EQ(Slot(&KVExcelFileMgr::GetColumnLimit), 5);
    EXPECT_EQ(Slot(&KVExcelFileMgr::Clear), 6);
    EXPECT_EQ(Slot(&KVExcelFileMgr::AddValue), 7);
    EXPECT_EQ(Slot(&KVExcelFileMgr::GetCellKey), 8);
}

TEST(grid_test, cell_keys_name_row_then_column) {
    KVExcelFileMgr grid;
    std::wstring key = L"unchanged";
    EXPECT_TRUE(grid.GetCellKey(3, 12, key));
    EXPECT_EQ(key, L"ROW3COL12");
    EXPECT_TRUE(grid.GetCellKey(0, 0, key));
    EXPECT_EQ(key, L"ROW0COL0");
    EXPECT_TRUE(grid.GetCellKey(31, 2, key));
    EXPECT_EQ(key, L"ROW31COL2");  // not the same key as row 3, column 12
    EXPECT_FALSE(grid.GetCellKey(-1, 0, key));
    EXPECT_FALSE(grid.GetCellKey(0, -1, key));
}

TEST(grid_test, cells_after_a_million_empty_lines_land_in_place) {
    ScratchDir dir;
    const std::string gap(1100000, '\n');
    constexpr int kFar = 1100001;
    KVExcelFileMgr grid;
    ASSERT_TRUE(grid.Load(dir.Write("runs.txt", Header(50, "a") + "\n" + gap + Header(10, "b") +
                                                    Header(50, "c") + Header(10, "dup") + "\n")));
    EXPECT_EQ(TextAt(grid, 0, 2), L"a");
    EXPECT_EQ(TextAt(grid, kFar, 0), L"b");
    EXPECT_EQ(TextAt(grid, kFar, 2), L"c");
    EXPECT_EQ(grid.GetValue(kFar, 0)->GetColumn(), 0);
    EXPECT_EQ(grid.GetCellCount(), 3U);
    EXPECT_EQ(grid.GetRowLimit(), kFar + 1);
    EXPECT_EQ(grid.GetColumnLimit(), 5);

    grid.SetPlainMode(true);
    ASSERT_TRUE(grid.Load(dir.Write("plain.txt", "x\n" + gap + "y\tz\n")));
    EXPECT_EQ(TextAt(grid, 1, 1), L"x");
    EXPECT_EQ(TextAt(grid, kFar + 1, 1), L"y");
    EXPECT_EQ(TextAt(grid, kFar + 1, 2), L"z");
    EXPECT_EQ(grid.GetCellCount(), 3U);
    EXPECT_EQ(grid.GetRowLimit(), kFar + 2);
    EXPECT_EQ(grid.GetColumnLimit(), 3);
}

TEST(grid_test, a_million_cells_load_in_both_modes) {
    ScratchDir dir;
    constexpr int kLines = 100000;
    constexpr int kRuns = 10;
    std::string printer;
    std::string plain;
    for (int line = 0; line < kLines; ++line) {
        for (int run = 0; run < kRuns; ++run) {
            const std::string text = std::to_string(line) + "." + std::to_string(run);
            printer += Header(60 + 70 * run + (line % 3), text);
            plain += text;
            plain += run + 1 < kRuns ? "\t" : "\r\n";
        }
        printer += "\r\n";
    }
    KVExcelFileMgr grid;
    ASSERT_TRUE(grid.Load(dir.Write("printer.txt", printer)));
    EXPECT_EQ(grid.GetCellCount(), static_cast<std::size_t>(kLines) * kRuns);
    EXPECT_EQ(grid.GetRowLimit(), kLines);
    EXPECT_EQ(grid.GetColumnLimit(), 2 * kRuns * 3 + 1);
    EXPECT_EQ(TextAt(grid, 0, 0), L"0.0");
    EXPECT_EQ(TextAt(grid, 99999, 2 * (3 * 9 + 99999 % 3)), L"99999.9");
    EXPECT_EQ(TextAt(grid, 50001, 2 * (3 * 4 + 50001 % 3)), L"50001.4");

    grid.SetPlainMode(true);
    ASSERT_TRUE(grid.Load(dir.Write("plain.txt", plain)));
    EXPECT_EQ(grid.GetCellCount(), static_cast<std::size_t>(kLines) * kRuns);
    EXPECT_EQ(grid.GetRowLimit(), kLines + 1);
    EXPECT_EQ(grid.GetColumnLimit(), kRuns + 1);
    EXPECT_EQ(TextAt(grid, 1, 1), L"0.0");
    EXPECT_EQ(TextAt(grid, kLines, kRuns), L"99999.9");
}

namespace {

// A printer text file of `lines` lines with four runs each, every text naming
// its line and run; long enough that its texts fill many blocks.
std::string ManyLines(int lines) {
    std::string printer;
    for (int line = 0; line < lines; ++line) {
        for (int run = 0; run < 4; ++run) {
            printer += Header(10 * (run + 1), "line " + std::to_string(line) + " run " + std::to_string(run));
        }
        printer += "\n";
    }
    return printer;
}

std::wstring TextOf(int line, int run) {
    return L"line " + std::to_wstring(line) + L" run " + std::to_wstring(run);
}

}  // namespace

TEST(grid_test, released_rows_leave_the_texts_of_the_rows_held) {
    constexpr int kLines = 6000;
    ScratchDir dir;
    const std::wstring path = dir.Write("runs.txt", ManyLines(kLines));
    const auto expectHeld = [](const KVExcelFileMgr& grid, int line) {
        for (int run = 0; run < 4; ++run) {
            ASSERT_EQ(TextAt(grid, line, 2 * run), TextOf(line, run)) << line;
        }
    };
    KVExcelFileMgr grid;
    ASSERT_TRUE(grid.Load(path));
    // Out of turn, and twice: a row released again must not take its
    // texts' block from the rows that still use it.
    for (int line = 1; line < kLines; line += 2) {
        grid.ReleaseRow(line);
        grid.ReleaseRow(line);
    }
    for (int line = 0; line < kLines; line += 2) {
        expectHeld(grid, line);
    }
    for (int line = kLines - 2; line > 0; line -= 2) {
        grid.ReleaseRow(line);
    }
    expectHeld(grid, 0);
    EXPECT_EQ(grid.GetCellCount(), 4U);
    // A cell added to a released row, and the grid's next load, stand alone.
    ASSERT_TRUE(grid.AddValue(new KVExcelFileFieldValue(1, 0, L"added to a released row")));
    grid.ReleaseRow(0);
    EXPECT_EQ(TextAt(grid, 1, 0), L"added to a released row");
    ASSERT_TRUE(grid.Load(path));
    expectHeld(grid, 0);
    expectHeld(grid, kLines - 1);

    grid.SetPlainMode(true);
    ASSERT_TRUE(grid.Load(dir.Write("plain.txt", std::string(kLines, 'x') + "\tlast\n" + "a\tb\n")));
    grid.ReleaseRow(1);
    grid.ReleaseRow(1);
    EXPECT_EQ(TextAt(grid, 2, 1), L"a");
    EXPECT_EQ(TextAt(grid, 2, 2), L"b");
}

TEST(grid_test, a_cell_taken_from_a_loaded_row_keeps_its_text_once_the_row_goes) {
    ScratchDir dir;
    const std::wstring path = dir.Write("runs.txt", ManyLines(3000));
    KVExcelFileMgr grid;
    ASSERT_TRUE(grid.Load(path));
    const KVExcelFileFieldValue copied = *grid.GetValue(0, 0);
    KVExcelFileFieldValue assigned(7, 7, L"before");
    assigned = *grid.GetValue(0, 2);
    // Moved out of its row, then handed to the grids.
    auto* moved = new KVExcelFileFieldValue(std::move(*grid.GetValue(1, 0)));
    auto* movedElsewhere = new KVExcelFileFieldValue(std::move(*grid.GetValue(2, 0)));
    moved->m_nRow = 5000;
    ASSERT_TRUE(grid.AddValue(moved));
    KVExcelFileMgr other;
    ASSERT_TRUE(other.AddValue(movedElsewhere));
    for (int line = 0; line < 3000; ++line) {
        grid.ReleaseRow(line);
    }
    EXPECT_EQ(Read(copied.GetText()), TextOf(0, 0));
    EXPECT_EQ(Read(assigned.GetText()), TextOf(0, 1));
    EXPECT_EQ(TextAt(grid, 5000, 0), TextOf(1, 0));
    grid.Clear();
    EXPECT_EQ(Read(copied.GetText()), TextOf(0, 0));
    EXPECT_EQ(TextAt(other, 2, 0), TextOf(2, 0));
}
