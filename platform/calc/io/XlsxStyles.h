// The cell formats of an .xlsx workbook: fonts, number formats and
// alignments of every sheet's styles, and the styles part that lists them.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <tuple>
#include <vector>

#include "platform/calc/io/SheetView.h"

namespace calc::io {

class XlsxStyles {
public:
    XlsxStyles();

    // The cell format (index into cellXfs) for a style; equal styles share one.
    // Format 0 is the sheet default: General in the default font. A font name
    // or number format the file cannot carry gives 0 with *error set.
    uint32_t formatFor(const CellStyle& style, std::string* error);

    // xl/styles.xml
    std::string xml() const;

private:
    uint32_t fontFor(const FontSpec& font);
    uint32_t numberFormatFor(const std::wstring& code);

    std::vector<FontSpec> fonts_;
    std::vector<std::wstring> codes_;                     // custom number formats, numbered from 164
    using Key = std::tuple<uint32_t, uint32_t, int32_t>;  // font, number format, alignment
    std::map<Key, uint32_t> formats_;
    std::vector<Key> order_;
};

}  // namespace calc::io
