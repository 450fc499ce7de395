// Saved workbooks read back through independent readers (dump_workbook.py
// beside this file: python3-xlrd for .xls, python3-openpyxl for .xlsx), so
// tests check the file, not what our own code believes it wrote.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <utility>

// The dumper's output for a file: kind "xls" or "xlsx" lists every sheet,
// "cells" the first sheet of an .xls as ReadWorkbook takes it. Status 3 or
// 127 when the reader module or python3 is missing.
struct WorkbookText {
    int status = -1;
    std::string text;
};
WorkbookText DumpWorkbook(const std::string& kind, const std::string& path);

struct WorkbookCell {
    std::string type;  // text, number, date, bool, error
    std::string font;
    int size = 0;
    int bold = 0;
    int italic = 0;
    int underline = 0;
    std::string format;
    std::string value;
};

struct WorkbookDump {
    bool ok = false;
    std::string error;
    int sheets = 0;
    int rows = 0;
    int columns = 0;
    std::optional<std::pair<int, int>> active;  // zero-based row, column
    std::map<int, int> widths;                  // column -> width in 1/256 character
    std::map<std::pair<int, int>, WorkbookCell> cells;

    const WorkbookCell* At(int row, int column) const {
        auto it = cells.find({row, column});
        return it == cells.end() ? nullptr : &it->second;
    }
    // The value of a cell, "" when there is none.
    std::string Value(int row, int column) const {
        const WorkbookCell* cell = At(row, column);
        return cell ? cell->value : std::string();
    }
    // The last row holding a value; formatted blank cells past the data do
    // not count. -1 for a sheet without values.
    int LastDataRow() const {
        int last = -1;
        for (const auto& [rc, cell] : cells) {
            if (!cell.value.empty() && rc.first > last) {
                last = rc.first;
            }
        }
        return last;
    }
};

// The first sheet of an .xls; ok is false (and error says why) when it cannot be read.
WorkbookDump ReadWorkbook(const std::string& path);
