// Reads a saved workbook back through an independent reader (python3-xlrd)
// so the tests check the file, not what our own code believes it wrote.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <utility>

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

WorkbookDump ReadWorkbook(const std::string& path);
