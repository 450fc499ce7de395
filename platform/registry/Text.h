// Text conversions of the store: names are kept as UTF-8 in the database and
// compared through a locale-independent upper-case fold; string data is kept
// as UTF-16LE.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace sw::registry::detail {

// wchar_t text to UTF-8. Lone surrogates survive (encoded as three bytes, as
// UTF-8 would encode them were they allowed) so every name round-trips;
// values beyond U+10FFFF become U+FFFD.
std::string ToUtf8(std::wstring_view text);
std::wstring FromUtf8(std::string_view bytes);

// Upper-case fold used to compare names. It must not depend on the process
// locale: two programs with different locales share one file.
std::wstring FoldCase(std::wstring_view text);
std::string FoldKey(std::wstring_view text);

// wchar_t text to UTF-16LE bytes (pairs for characters beyond the BMP) and back.
// An odd trailing byte is dropped on decoding; lone surrogates are kept.
std::string ToUtf16le(std::wstring_view text);
std::wstring FromUtf16le(std::string_view bytes);

// Types whose data crosses the API as wchar_t text.
bool IsStringType(unsigned type);

}  // namespace sw::registry::detail
