// The framework's basic types as the library's interface uses them (text
// pointers, BOOL, CString, the rectangle of an anchor's area), and the
// capacities of its fixed text buffers.
#pragma once

#include "platform/base/WinTypes.h"

// Capacity of every option text buffer and of every path buffer, in characters.
inline constexpr long KV_TEXT_CAPACITY = 1024;
inline constexpr long KV_PATH_CAPACITY = 260;
