// The printer text file: one text line per printed line, pages in order, each
// run as "[[N1,N2,N3,N4][N5][STYLE][NAME]]text" (platform/vendor/README.md
// says what each field carries).
#pragma once

#include <cstddef>
#include <ostream>
#include <string>
#include <vector>

#include "driver/layout/TextLayout.h"

namespace sw::driver {

// The longest line written; longer printed lines continue on the next line
// so that a reader with a line limit loses nothing.
inline constexpr std::size_t kMaxTextLineBytes = 60000;

// The header and text of one run.
std::string FormatRun(const Run& run, double unitsPerPoint);
// The same without its opening "[[" and key: ",N2,N3,N4][N5][STYLE][NAME]]text".
std::string FormatRunTail(const Run& run, double unitsPerPoint);

// Writes every page's lines, with the empty printed lines between them.
// Returns the number of lines written.
std::size_t WritePrinterText(std::ostream& out, const std::vector<PageLayout>& pages, double unitsPerPoint);

}  // namespace sw::driver
