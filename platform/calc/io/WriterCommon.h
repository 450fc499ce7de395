// Checks and helpers shared by the .xls and .xlsx writers.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/calc/io/SheetView.h"

namespace calc::io::detail {

std::string Utf8(const std::wstring& s);

// "General" in any case, or no code at all: the format that shows a value as it is.
bool IsGeneralFormat(const std::wstring& code);

// "B7" for zero-based (6, 1).
std::string CellName(int32_t row, int32_t col);

// "65,536"
std::string Thousands(uint64_t n);

// Sheet names: 1-31 characters, none of : \ / ? * [ ], not starting or ending with an
// apostrophe, unique ignoring case. Also refuses an empty workbook.
bool CheckSheets(const std::vector<const SheetView*>& sheets, std::string* error);

// Used range within maxRows x maxCols; `kind` names the file type in the message.
bool CheckExtent(const SheetView& sheet, int32_t maxRows, int32_t maxCols, const char* kind,
                 std::string* error);
// The same for the extent (lastRow, lastCol) already read from the sheet, which
// a writer that needs it again reads once.
bool CheckUsedRange(const SheetView& sheet, int32_t lastRow, int32_t lastCol, int32_t maxRows,
                    int32_t maxCols, const char* kind, std::string* error);

}  // namespace calc::io::detail
