// Text forms of numbers, booleans and dates in the US English locale, as
// the run time reads and writes them. Internal to the library.
#pragma once

#include <string>

#include "platform/automation/Variant.h"

namespace sw::automation::detail {

// Number text: blanks around, one sign (leading or trailing) or parentheses
// for negatives, "$", "," thousands separators, "." decimals, exponent,
// "&H" hexadecimal and "&O" octal. DISP_E_TYPEMISMATCH when unreadable,
// DISP_E_OVERFLOW beyond a double.
HRESULT ParseNumber(const std::wstring& text, double* out);
// "True"/"False" in any case; numbers as ParseNumber, non-zero is true.
HRESULT ParseBool(const std::wstring& text, bool* out);
// Dates and times in the common US forms; DISP_E_TYPEMISMATCH otherwise.
HRESULT ParseDate(const std::wstring& text, DATE* out);

std::wstring FormatReal(double value, int significantDigits);
std::wstring FormatCurrency(LONGLONG scaled);
// "1/31/2005", "10:30:00 AM", "1/31/2005 10:30:00 PM"; flags VAR_DATEVALUEONLY / VAR_TIMEVALUEONLY.
std::wstring FormatDate(DATE value, ULONG flags);

// A date that exists and lies in the years a DATE holds (100 to 9999); day
// numbers and dates convert through platform/base/Calendar.h.
bool IsValidCivil(long long y, unsigned m, unsigned d);

inline constexpr double kMinDate = -657434.0;           // 1 January 100
inline constexpr double kMaxDateExclusive = 2958466.0;  // 1 January 10000

}  // namespace sw::automation::detail
