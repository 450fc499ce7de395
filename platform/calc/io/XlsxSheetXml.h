// A worksheet part of an .xlsx workbook (xl/worksheets/sheetN.xml), written
// straight from the sheet's cells into the deflate stream of its entry.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/calc/io/ParallelDeflate.h"
#include "platform/calc/io/SheetView.h"
#include "platform/calc/io/XlsxSharedStrings.h"

namespace calc::io {

// The grid of an .xlsx sheet.
inline constexpr int32_t kXlsxMaxRows = 1048576;
inline constexpr int32_t kXlsxMaxCols = 16384;

struct SheetXmlInput {
    const SheetView& view;
    int32_t lastRow;  // the sheet's extent, as checked
    int32_t lastCol;
    bool selected;                          // the workbook's active sheet
    const std::vector<uint32_t>& formatOf;  // cell format of each of the view's styles
};

// False with *error set when a cell cannot be stored (its text too long, its
// place beyond the grid); the part is then incomplete and must be discarded.
bool WriteSheetXml(const SheetXmlInput& in, XlsxSharedStrings& strings, ParallelDeflate& out,
                   std::string* error);

// An upper bound of the part's length, from the sheet's extent: whether its
// entry may need 64-bit sizes.
uint64_t SheetXmlBound(int32_t lastRow, int32_t lastCol);

}  // namespace calc::io
