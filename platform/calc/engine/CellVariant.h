// Cell values as automation variants and back: what a Range's Value reads
// and stores, one cell or one block element at a time.
#pragma once

#include <cstdint>
#include <string_view>

#include "platform/automation/Bstr.h"
#include "platform/automation/Variant.h"
#include "platform/calc/engine/AutomationObject.h"
#include "platform/calc/engine/Sheet.h"

namespace calc {

// Errors a cell value carries as VT_ERROR: 0x800A0000 + the error's number.
inline constexpr uint32_t kCellErrorBase = 0x800A0000U;
// The 1900 date system ends with 31 December 9999.
inline constexpr double kLastSerial = 2958466.0;

struct ErrorMap {
    CellError error;
    uint16_t number;
};
inline constexpr ErrorMap kCellErrors[] = {
    {CellError::Null, 2000}, {CellError::Div0, 2007}, {CellError::Value, 2015}, {CellError::Ref, 2023},
    {CellError::Name, 2029}, {CellError::Num, 2036},  {CellError::NA, 2042}};

// The variant a cell reads as; a date-formatted number is a VT_DATE.
void CellToVariant(const Sheet& sheet, const Cell& cell, VARIANT& out);

// Whether a cell can store the value: inline, since a block put asks it of
// every element before storing any.
inline bool IsStorable(const VARIANT& raw) {
    const VARIANT& v = Deref(raw);
    switch (v.vt) {
        case VT_EMPTY:
        case VT_NULL:
        case VT_I1:
        case VT_I2:
        case VT_I4:
        case VT_I8:
        case VT_INT:
        case VT_UI1:
        case VT_UI2:
        case VT_UI4:
        case VT_UI8:
        case VT_UINT:
        case VT_R4:
        case VT_R8:
        case VT_CY:
        case VT_DATE:
        case VT_BSTR:
        case VT_BOOL:
            return true;
        case VT_ERROR: {
            auto code = static_cast<uint32_t>(v.scode);
            for (const ErrorMap& e : kCellErrors) {
                if (code == kCellErrorBase + e.number) {
                    return true;
                }
            }
            return false;
        }
        default:
            return false;
    }
}

inline std::wstring_view TypedText(const VARIANT& v) {
    return std::wstring_view(v.bstrVal ? v.bstrVal : L"", SysStringLen(v.bstrVal));
}

// Stores one value; the caller has checked IsStorable.
void PutVariant(Sheet& sheet, int32_t row, int32_t col, const VARIANT& raw);

// A borrowed variant view of one element of a typed array; false for an
// element type a block cannot hold.
bool ElementView(VARTYPE vt, const void* p, VARIANT& out);

}  // namespace calc
