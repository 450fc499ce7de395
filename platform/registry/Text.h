// Names of the store: kept as UTF-8 in the database (platform/base codecs)
// and compared through a locale-independent upper-case fold.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace sw::registry::detail {

// Upper-case fold used to compare names. It must not depend on the process
// locale: two programs with different locales share one file.
std::wstring FoldCase(std::wstring_view text);
std::string FoldKey(std::wstring_view text);

// Types whose data crosses the API as wchar_t text.
bool IsStringType(unsigned type);

}  // namespace sw::registry::detail
