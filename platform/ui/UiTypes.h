// The framework's basic window types: handles, points, sizes, rectangles,
// colours and message parameters, with the meanings they have on Windows.
#pragma once

#include <cstdint>

#include "platform/base/WinTypes.h"

using LONG_PTR = std::intptr_t;
using UINT_PTR = std::uintptr_t;
using ULONG_PTR = std::uintptr_t;
using WPARAM = UINT_PTR;
using LPARAM = LONG_PTR;
using LRESULT = LONG_PTR;
using COLORREF = DWORD;

// Opaque handles; only the platform layer looks inside.
struct HDC__;
using HDC = HDC__*;

using RECT = CRect;
using LPRECT = CRect*;
using LPCRECT = const CRect*;

struct CPoint {
    long x = 0;
    long y = 0;
    CPoint() = default;
    CPoint(long px, long py) : x(px), y(py) {}
    bool operator==(const CPoint&) const = default;
};
using POINT = CPoint;
using LPPOINT = CPoint*;

struct CSize {
    long cx = 0;
    long cy = 0;
    CSize() = default;
    CSize(long w, long h) : cx(w), cy(h) {}
    bool operator==(const CSize&) const = default;
};

// Rectangle helpers of the Windows API.
inline BOOL PtInRect(LPCRECT rect, CPoint point) {
    return point.x >= rect->left && point.x < rect->right && point.y >= rect->top && point.y < rect->bottom;
}
inline BOOL InflateRect(LPRECT rect, long dx, long dy) {
    rect->left -= dx;
    rect->top -= dy;
    rect->right += dx;
    rect->bottom += dy;
    return TRUE;
}
inline BOOL OffsetRect(LPRECT rect, long dx, long dy) {
    rect->left += dx;
    rect->right += dx;
    rect->top += dy;
    rect->bottom += dy;
    return TRUE;
}
inline BOOL IsRectEmpty(LPCRECT rect) {
    return rect->right <= rect->left || rect->bottom <= rect->top;
}

constexpr COLORREF RGB(unsigned r, unsigned g, unsigned b) {
    return static_cast<COLORREF>((r & 0xFFU) | ((g & 0xFFU) << 8U) | ((b & 0xFFU) << 16U));
}
constexpr BYTE GetRValue(COLORREF c) {
    return static_cast<BYTE>(c & 0xFFU);
}
constexpr BYTE GetGValue(COLORREF c) {
    return static_cast<BYTE>((c >> 8U) & 0xFFU);
}
constexpr BYTE GetBValue(COLORREF c) {
    return static_cast<BYTE>((c >> 16U) & 0xFFU);
}

constexpr WORD LOWORD(UINT_PTR v) {
    return static_cast<WORD>(v & 0xFFFFU);
}
constexpr WORD HIWORD(UINT_PTR v) {
    return static_cast<WORD>((v >> 16U) & 0xFFFFU);
}
