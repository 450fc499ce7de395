// Unicode for fonts that a PDF gives none for. Some generators (among them
// the plain-text filter of cups-filters) embed a TrueType font under
// Identity-H with no ToUnicode map, so its codes are glyph numbers: a text
// extractor reads them as letters some places off and takes the glyphs
// numbered like tab or line feed ("&", "(", ")") for blanks. The embedded
// font's own cmap says which character each glyph draws; the repair writes
// that into the PDF as a ToUnicode map, and names the font by its family.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <unordered_map>

namespace sw::driver {

struct FontRepair {
    std::unordered_map<std::uint32_t, char32_t> unicode;  // code (glyph) -> character
    std::string name;                                     // "Family-Style" from the font's name table
};

// Text extraction keeps only what lies on the page, but a report printed
// for a larger paper than the queue's (A4 on Letter) runs over its edges
// and is still the report. Every page's box is widened by this much on each
// side, so the text past the edges is read too; positions are given back
// relative to the page's own corner.
inline constexpr double kPageMargin = 2000.0;

// Rewrites the PDF for reading its text: fonts repaired as above, page
// boxes widened by kPageMargin. True with the new PDF in `prepared`; false
// (and the PDF to be read as it came, without margin) when qpdf cannot
// rewrite it. Never throws.
bool PrepareForText(const char* data, std::size_t size, std::string& prepared);

// The ToUnicode CMap of a repair.
std::string ToUnicodeCMap(const FontRepair& repair);

// The characters of a TrueType/OpenType font file by glyph, and its family
// and style names; false when the file holds no usable cmap.
bool ReadTrueTypeFont(const unsigned char* data, std::size_t size, FontRepair& out);

}  // namespace sw::driver
