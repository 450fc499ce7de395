// Text at the edges of the system: file names, command lines, 8-bit file
// formats and the settings store.
//
// Wide text inside the system is UTF-32 (wchar_t). What crosses into the file
// system or an 8-bit format is UTF-8, or the locale's narrow encoding where the
// system speaks of the "ANSI code page". Bytes that are not valid there come
// from older 8-bit files and are read as Windows-1252, so no byte is dropped.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace sw::base {

// The Windows-1252 character of one byte; the five bytes that code page leaves
// undefined map to the C1 control of the same value, as Windows does.
wchar_t Cp1252ToWide(unsigned char byte);

// Encodes wide text as UTF-8; surrogates and values beyond U+10FFFF become U+FFFD.
std::string ToUtf8(std::wstring_view text);
// The same for one character, appended to `out`.
void AppendUtf8(std::string& out, char32_t c);

// Decodes UTF-8, appending to `out`; each byte of an invalid, overlong or
// truncated sequence is taken as a Windows-1252 character instead.
void AppendUtf8OrCp1252(std::string_view bytes, std::wstring& out);
std::wstring FromUtf8OrCp1252(std::string_view bytes);

// Whether the locale's narrow encoding (LC_CTYPE) is UTF-8. The plain "C"
// locale counts as UTF-8: a program that never chose a locale should still
// read today's files alike.
bool LocaleIsUtf8();

// Decodes the locale's narrow encoding, appending to `out`; a byte that is
// not valid there is taken as Windows-1252 and decoding starts afresh after it.
void AppendLocaleOrCp1252(std::string_view bytes, std::wstring& out);
std::wstring FromLocaleOrCp1252(std::string_view bytes);

// Encodes wide text in the locale's narrow encoding; a character it cannot
// hold becomes '?'. Stops before a character whose bytes would pass
// `maxBytes`, so a multi-byte character is never split.
std::string ToLocale(std::wstring_view text, std::size_t maxBytes = std::string::npos);

// Wide text to UTF-16LE bytes (pairs for characters beyond the BMP; values
// beyond U+10FFFF become U+FFFD) and back. An odd trailing byte is dropped on
// decoding; lone surrogates are kept both ways.
std::string ToUtf16le(std::wstring_view text);
std::wstring FromUtf16le(std::string_view bytes);

}  // namespace sw::base
