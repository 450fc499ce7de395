// Conversions between the wide text of the automation interface and the
// UTF-8 of file names and the writers' messages.
#pragma once

#include <string>
#include <string_view>

namespace calc {

std::string ToUtf8(std::wstring_view text);
// Bytes that do not form UTF-8 are kept as Latin-1 characters.
std::wstring FromUtf8(std::string_view text);

}  // namespace calc
