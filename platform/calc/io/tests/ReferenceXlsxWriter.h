// libxlsxwriter's rendering of a workbook, for comparing the .xlsx writer with.
#pragma once

#include <string>
#include <vector>

#include "platform/calc/io/SheetView.h"

namespace calc::io::test {

WriteResult WriteXlsxWithLibrary(const std::vector<const SheetView*>& sheets, const std::string& path);

}  // namespace calc::io::test
