// Internal text helpers of the library (not installed, not exported).
#pragma once

#include <cstddef>
#include <string>

namespace kvlib {

// Locale narrow bytes to wide text; invalid bytes decode as Windows-1252.
std::wstring NarrowToWide(const char* text, std::size_t length);

// Wide text to the locale's narrow encoding; unrepresentable characters
// become '?'. Stops before a character whose bytes would exceed `maxBytes`,
// so a multi-byte character is never split.
std::string WideToNarrow(const wchar_t* text, std::size_t length, std::size_t maxBytes = std::string::npos);

// Whole-string equality ignoring case: a text never equals a proper prefix.
bool EqualsNoCase(const wchar_t* a, const wchar_t* b);

// Bounded copy into a fixed buffer of `capacity` characters.
void CopyText(const wchar_t* source, wchar_t* dest, long capacity);

}  // namespace kvlib
