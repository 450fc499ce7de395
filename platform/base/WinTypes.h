// The Windows scalar, text-pointer and status types the system's code is
// written in, with the widths they have on Windows: LONG and HRESULT are 32
// bits even where `long` is 64. Every layer takes them from here, so no two
// headers declare the same name.
//
// Code that prints a status code with "%08lx" must widen it through ULONG
// first: static_cast<unsigned long>(static_cast<ULONG>(sc)).
#pragma once

#include <cstdint>
#include <string>

using BYTE = std::uint8_t;
using WORD = std::uint16_t;
using DWORD = std::uint32_t;
using CHAR = char;
using SHORT = std::int16_t;
using USHORT = std::uint16_t;
using INT = int;
using UINT = unsigned int;
using LONG = std::int32_t;
using ULONG = std::uint32_t;
using LONGLONG = std::int64_t;
using ULONGLONG = std::uint64_t;
using FLOAT = float;
using DOUBLE = double;
using BOOL = int;
using PUINT = UINT*;
using LPDWORD = DWORD*;
using LPBYTE = BYTE*;

using WCHAR = wchar_t;
using OLECHAR = wchar_t;
using TCHAR = wchar_t;
using LPOLESTR = OLECHAR*;
using LPCOLESTR = const OLECHAR*;
using LPWSTR = wchar_t*;
using LPCWSTR = const wchar_t*;
using LPTSTR = wchar_t*;
using LPCTSTR = const wchar_t*;
using LPSTR = char*;
using LPCSTR = const char*;
using LPVOID = void*;
using HANDLE = void*;
using LPHANDLE = HANDLE*;
// Window handles are opaque; only the user-interface layer looks inside.
struct HWND__;
using HWND = HWND__*;
using PSECURITY_DESCRIPTOR = void*;

using HRESULT = LONG;
using SCODE = LONG;
using LCID = DWORD;

// Macros, as C headers of other libraries may define them too.
#ifndef TRUE
#define TRUE 1
#endif
#ifndef FALSE
#define FALSE 0
#endif
#ifndef SUCCEEDED
#define SUCCEEDED(hr) (static_cast<HRESULT>(hr) >= 0)
#endif
#ifndef FAILED
#define FAILED(hr) (static_cast<HRESULT>(hr) < 0)
#endif

// 100-nanosecond intervals since 1601-01-01 UTC.
struct FILETIME {
    DWORD dwLowDateTime;
    DWORD dwHighDateTime;
};
using PFILETIME = FILETIME*;
using LPFILETIME = FILETIME*;

struct SYSTEMTIME {
    WORD wYear;
    WORD wMonth;
    WORD wDayOfWeek;  // 0 = Sunday
    WORD wDay;
    WORD wHour;
    WORD wMinute;
    WORD wSecond;
    WORD wMilliseconds;
};

// Accepted and ignored where a call takes it: nothing here has per-object security.
struct SECURITY_ATTRIBUTES {
    DWORD nLength;
    void* lpSecurityDescriptor;
    int bInheritHandle;
};
using PSECURITY_ATTRIBUTES = SECURITY_ATTRIBUTES*;
using LPSECURITY_ATTRIBUTES = SECURITY_ATTRIBUTES*;

// The framework's text class is a standard wide string.
using CString = std::wstring;

// The framework's rectangle: four longs, left, top, right, bottom.
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
