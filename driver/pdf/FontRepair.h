// Unicode for fonts that a PDF gives none for. Some generators (among them
// the plain-text filter of cups-filters) embed a TrueType font under
// Identity-H with no ToUnicode map, so its codes are glyph numbers and a
// text extractor reads them as letters three places off. The embedded font's
// own cmap says which character each glyph draws; this reads it back.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <unordered_map>

namespace sw::driver {

struct FontRepair {
    std::unordered_map<std::uint32_t, char32_t> unicode;  // code (glyph) -> character
    std::string name;                                     // "Family-Style" from the font's name table
};

// By the font's BaseFont name, as the text extraction reports it.
using FontRepairs = std::map<std::string, FontRepair>;

// Looks through the fonts the pages use; never throws. A damaged PDF gives
// what could be found.
FontRepairs FindFontRepairs(const char* data, std::size_t size);

// The characters of a TrueType/OpenType font file by glyph, and its family
// and style names; false when the file holds no usable cmap.
bool ReadTrueTypeFont(const unsigned char* data, std::size_t size, FontRepair& out);

}  // namespace sw::driver
