// UTF-8 at the edges of the system: file names, command lines, file formats.
//
// Wide text inside the system is UTF-32 (wchar_t); what crosses into the file
// system or an 8-bit format is UTF-8. Bytes that are not valid UTF-8 come from
// older 8-bit files and are read as Windows-1252, so nothing is ever dropped.
#pragma once

#include <string>
#include <string_view>

namespace sw::text {

// Encodes wide text as UTF-8; surrogates and values beyond U+10FFFF become U+FFFD.
std::string ToUtf8(std::wstring_view text);

// Decodes UTF-8; each byte of an invalid, overlong or truncated sequence is
// taken as a Windows-1252 character instead (the five bytes Windows-1252
// leaves undefined map to the control characters of the same value).
std::wstring FromUtf8OrCp1252(std::string_view bytes);

// The Windows-1252 character of one byte.
wchar_t Cp1252ToWide(unsigned char byte);

}  // namespace sw::text
