// Bounded text copies, code-page conversions and the length helper behind every
// case-insensitive whole-string comparison.
#pragma once

#include "lib/util/KVLibApi.h"
#include "lib/util/KVWinTypes.h"

class KVLIB_API KVLibUtility {
public:
    // The greatest length among `first` and the further wide strings; the list
    // ends with a null pointer. `first` must not be null.
    static long GetLongestStringLength(LPCTSTR first, ...);

    // Zero-fills `capacity` characters of `dest`, then copies at most
    // capacity - 1 characters of `source`. Null arguments do nothing.
    static void CopyLPCTSTRToLPTSTR(LPCTSTR source, LPTSTR dest, long capacity);

    // Locale narrow text to wide text, at most `capacity` characters, no
    // terminator written. Bytes invalid in the locale's encoding decode as
    // Windows-1252. A result that does not fit writes nothing.
    static void CopyLPSTRtoLPTSTR(LPCSTR source, LPTSTR dest, long capacity);

    // Wide text to the locale's narrow encoding, at most `capacity` bytes, no
    // terminator written; characters the encoding cannot hold become '?'. A
    // result that does not fit writes nothing.
    static void CopyLPTSTRtoLPSTR(LPCTSTR source, LPSTR dest, long capacity);
};

// The copy helpers as free functions, forwarding to the class.
KVLIB_API void CopyLPCTSTRToLPTSTR(LPCTSTR source, LPTSTR dest, long capacity);
KVLIB_API void CopyLPSTRtoLPTSTR(LPCSTR source, LPTSTR dest, long capacity);
KVLIB_API void CopyLPTSTRtoLPSTR(LPCTSTR source, LPSTR dest, long capacity);
