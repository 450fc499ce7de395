// Text as the workbook's XML parts carry it: UTF-8 with the XML-special
// characters escaped, and the characters XML cannot hold at all (control
// characters, lone surrogates, U+FFFE, U+FFFF) written as _xHHHH_, which
// spreadsheet readers decode back.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace calc::io::xml {

// Appends `text` escaped for an element's content.
void AppendText(std::string& out, std::wstring_view text);
// Appends `text` escaped for a double-quoted attribute value; tabs and line
// breaks are written as character references, which attribute parsing would
// otherwise turn into spaces.
void AppendAttribute(std::string& out, std::wstring_view text);

// Leading or trailing white space, which the element's xml:space="preserve" keeps.
bool NeedsPreserve(std::wstring_view text);

// Length in UTF-16 units, as the format's limit of 32,767 characters a cell counts it.
size_t Utf16Length(std::wstring_view text);

}  // namespace calc::io::xml
