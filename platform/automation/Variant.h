// VARIANT and its coercion rules. Conversions follow the automation run
// time in the US English locale whatever LCID is passed: "." decimals, ","
// thousands, "$" currency, M/D/Y dates, "True"/"False" booleans.
#pragma once

#include "platform/automation/Bstr.h"
#include "platform/automation/StatusCodes.h"

struct IUnknown;
struct IDispatch;
struct SAFEARRAY;

using VARTYPE = unsigned short;
using VARIANT_BOOL = SHORT;
using DATE = double;  // days since 30 December 1899; the fraction is the time of day

inline constexpr VARIANT_BOOL VARIANT_TRUE = -1;
inline constexpr VARIANT_BOOL VARIANT_FALSE = 0;

// Currency: a 64-bit integer scaled by 10,000.
struct CY {
    LONGLONG int64;
};

enum VARENUM : VARTYPE {
    VT_EMPTY = 0,
    VT_NULL = 1,
    VT_I2 = 2,
    VT_I4 = 3,
    VT_R4 = 4,
    VT_R8 = 5,
    VT_CY = 6,
    VT_DATE = 7,
    VT_BSTR = 8,
    VT_DISPATCH = 9,
    VT_ERROR = 10,
    VT_BOOL = 11,
    VT_VARIANT = 12,
    VT_UNKNOWN = 13,
    VT_DECIMAL = 14,
    VT_I1 = 16,
    VT_UI1 = 17,
    VT_UI2 = 18,
    VT_UI4 = 19,
    VT_I8 = 20,
    VT_UI8 = 21,
    VT_INT = 22,
    VT_UINT = 23,
    VT_VOID = 24,
    VT_HRESULT = 25,
    VT_ARRAY = 0x2000,
    VT_BYREF = 0x4000,
    VT_RESERVED = 0x8000,
    VT_ILLEGAL = 0xFFFF,
    VT_ILLEGALMASKED = 0x0FFF,
    VT_TYPEMASK = 0x0FFF,
};

struct VARIANT {
    VARTYPE vt;
    WORD wReserved1;
    WORD wReserved2;
    WORD wReserved3;
    union {
        LONGLONG llVal;
        LONG lVal;
        BYTE bVal;
        SHORT iVal;
        FLOAT fltVal;
        DOUBLE dblVal;
        VARIANT_BOOL boolVal;
        SCODE scode;
        CY cyVal;
        DATE date;
        BSTR bstrVal;
        IUnknown* punkVal;
        IDispatch* pdispVal;
        SAFEARRAY* parray;
        BYTE* pbVal;
        SHORT* piVal;
        LONG* plVal;
        LONGLONG* pllVal;
        FLOAT* pfltVal;
        DOUBLE* pdblVal;
        VARIANT_BOOL* pboolVal;
        SCODE* pscode;
        CY* pcyVal;
        DATE* pdate;
        BSTR* pbstrVal;
        IUnknown** ppunkVal;
        IDispatch** ppdispVal;
        SAFEARRAY** pparray;
        VARIANT* pvarVal;
        void* byref;
        CHAR cVal;
        USHORT uiVal;
        ULONG ulVal;
        ULONGLONG ullVal;
        INT intVal;
        UINT uintVal;
        CHAR* pcVal;
        USHORT* puiVal;
        ULONG* pulVal;
        ULONGLONG* pullVal;
        INT* pintVal;
        UINT* puintVal;
    };
};
using VARIANTARG = VARIANT;
using LPVARIANT = VARIANT*;
using LPCVARIANT = const VARIANT*;
using LPVARIANTARG = VARIANT*;

#define V_VT(v) ((v)->vt)
#define V_ISBYREF(v) (((v)->vt & VT_BYREF) != 0)
#define V_ISARRAY(v) (((v)->vt & VT_ARRAY) != 0)
#define V_I2(v) ((v)->iVal)
#define V_I4(v) ((v)->lVal)
#define V_R4(v) ((v)->fltVal)
#define V_R8(v) ((v)->dblVal)
#define V_CY(v) ((v)->cyVal)
#define V_DATE(v) ((v)->date)
#define V_BSTR(v) ((v)->bstrVal)
#define V_DISPATCH(v) ((v)->pdispVal)
#define V_UNKNOWN(v) ((v)->punkVal)
#define V_ERROR(v) ((v)->scode)
#define V_BOOL(v) ((v)->boolVal)
#define V_UI1(v) ((v)->bVal)
#define V_ARRAY(v) ((v)->parray)
#define V_VARIANTREF(v) ((v)->pvarVal)
#define V_BYREF(v) ((v)->byref)

// VariantChangeType(Ex) flags.
inline constexpr USHORT VARIANT_NOVALUEPROP = 0x01;  // do not ask an object for its value
inline constexpr USHORT VARIANT_ALPHABOOL = 0x02;    // VT_BOOL -> "True"/"False" rather than "-1"/"0"
inline constexpr USHORT VARIANT_NOUSEROVERRIDE = 0x04;
inline constexpr USHORT VARIANT_LOCALBOOL = 0x10;  // localized boolean names (the same in US English)

// VarBstrFromDate / VarDateFromStr flags.
inline constexpr ULONG VAR_TIMEVALUEONLY = 0x00000001;
inline constexpr ULONG VAR_DATEVALUEONLY = 0x00000002;

void VariantInit(VARIANTARG* v);
// Frees what the variant owns (string, array, one object reference) and
// leaves it VT_EMPTY. DISP_E_ARRAYISLOCKED when its array is locked,
// DISP_E_BADVARTYPE for an unknown type; the variant is then left as it was.
HRESULT VariantClear(VARIANTARG* v);
// dest is cleared first; strings and arrays are duplicated, objects AddRef'ed.
HRESULT VariantCopy(VARIANTARG* dest, const VARIANTARG* src);
// As VariantCopy, but a VT_BYREF source is copied as the value it points at.
HRESULT VariantCopyInd(VARIANT* dest, const VARIANTARG* src);
// Converts src into type vt and stores it in dest (dest may be src). On
// failure dest is left untouched. Errors: DISP_E_TYPEMISMATCH (no such
// conversion or unreadable text), DISP_E_OVERFLOW (out of the target's
// range), DISP_E_BADVARTYPE (unknown type).
HRESULT VariantChangeType(VARIANTARG* dest, const VARIANTARG* src, USHORT flags, VARTYPE vt);
HRESULT VariantChangeTypeEx(VARIANTARG* dest, const VARIANTARG* src, LCID lcid, USHORT flags, VARTYPE vt);

// Single conversions the run time also offers directly.
HRESULT VarR8FromStr(LPCOLESTR text, LCID lcid, ULONG flags, DOUBLE* out);
HRESULT VarI4FromStr(LPCOLESTR text, LCID lcid, ULONG flags, LONG* out);
HRESULT VarDateFromStr(LPCOLESTR text, LCID lcid, ULONG flags, DATE* out);
HRESULT VarBstrFromR8(DOUBLE value, LCID lcid, ULONG flags, BSTR* out);
HRESULT VarBstrFromDate(DATE value, LCID lcid, ULONG flags, BSTR* out);
HRESULT VarI4FromR8(DOUBLE value, LONG* out);  // rounds half to even; DISP_E_OVERFLOW

// Return TRUE on success, FALSE for a date outside 1 January 100 .. 31 December 9999.
INT SystemTimeToVariantTime(const SYSTEMTIME* st, DATE* out);
INT VariantTimeToSystemTime(DATE value, SYSTEMTIME* st);
