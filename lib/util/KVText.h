// Internal text helpers of the library (not installed, not exported).
#pragma once

#include <cstddef>
#include <string>

namespace kvlib {

// Whole-string equality ignoring case: a text never equals a proper prefix.
bool EqualsNoCase(const wchar_t* a, const wchar_t* b);

// Bounded copy into a fixed buffer of `capacity` characters.
void CopyText(const wchar_t* source, wchar_t* dest, long capacity);

}  // namespace kvlib
