// Conversion of text put into a cell, as a user typing it into a General
// cell in the US English locale would see it converted. Every rule is listed
// in platform/calc/README.md.
#pragma once

#include <optional>
#include <string_view>

namespace calc {

enum class InputKind { Text, Number, Date, Time, DateTime };

struct TypedValue {
    InputKind kind = InputKind::Text;
    double value = 0.0;        // serial day number for dates and times
    std::wstring_view format;  // number format the conversion assigns (static text)
    std::wstring_view text;    // Text: what the cell keeps (leading apostrophe removed)
};

// currentYear completes dates typed without a year ("1/31", "Jan 31").
TypedValue ConvertTypedInput(std::wstring_view typed, int currentYear);

// Serial day number of a calendar date in the 1900 date system, which counts
// the non-existent 29 February 1900 (serial 60). Nothing for dates outside
// 1 January 1900 .. 31 December 9999 and for impossible dates.
std::optional<double> DateSerial(int year, int month, int day);

// The 1900-system serial and the automation date (days since 30 December
// 1899) differ by one day before 1 March 1900.
double OleDateFromSerial(double serial);
double SerialFromOleDate(double oleDate);

// Keeps the 15 significant digits a cell holds.
double RoundToCellPrecision(double value);

}  // namespace calc
