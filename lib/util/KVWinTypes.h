// The framework's basic types as the library's interface uses them: text
// pointers, BOOL and the rectangle of an anchor's area. Framework collections
// map onto standard containers.
#pragma once

#include <string>

using BOOL = int;
#ifndef TRUE
#define TRUE 1
#endif
#ifndef FALSE
#define FALSE 0
#endif

using LPCTSTR = const wchar_t*;
using LPTSTR = wchar_t*;
using LPCSTR = const char*;
using LPSTR = char*;
using CString = std::wstring;

// Capacity of every option text buffer and of every path buffer, in characters.
inline constexpr long KV_TEXT_CAPACITY = 1024;
inline constexpr long KV_PATH_CAPACITY = 260;

#ifndef SW_CRECT_DEFINED
#define SW_CRECT_DEFINED
// A rectangle as four longs: left, top, right, bottom.
struct CRect {
    long left = 0;
    long top = 0;
    long right = 0;
    long bottom = 0;

    CRect() = default;
    CRect(long l, long t, long r, long b) : left(l), top(t), right(r), bottom(b) {}
    void SetRect(long l, long t, long r, long b) {
        left = l;
        top = t;
        right = r;
        bottom = b;
    }
    void SetRectEmpty() { SetRect(0, 0, 0, 0); }
    long Width() const { return right - left; }
    long Height() const { return bottom - top; }
    bool operator==(const CRect&) const = default;
};
#endif
