// Number format codes: classification and rendering to the text a cell shows.
#pragma once

#include <memory>
#include <string>

namespace calc::format {

enum class FormatClass { General, Number, Percent, Currency, Date, Time, DateTime, Text, Other };

// What kind of value a format code shows (first section decides; a code with
// both date and time tokens is DateTime; "@" is Text).
FormatClass Classify(const std::wstring& formatCode);

// True when the code shows dates and/or times (d, m, y, h, s tokens outside
// quotes/escapes, or [h]/[m]/[s]).
bool IsDateTimeFormat(const std::wstring& formatCode);

// The text a cell holding `value` shows under `formatCode`, US English
// (month and day names, AM/PM, "." decimal, "," thousands). Dates use the 1900
// system with its leap-year bug. "General" follows the application's rules for
// a standard-width column (up to 11 characters, then scientific).
std::wstring FormatValue(double value, const std::wstring& formatCode);

struct ParsedFormat;

// A format code looked up once, for showing many values under it.
class ValueFormatter {
public:
    explicit ValueFormatter(const std::wstring& formatCode);
    // FormatValue's text in `out`, replacing what it held (and reusing its storage).
    void format(double value, std::wstring& out) const;

private:
    std::shared_ptr<const ParsedFormat> parsed_;
};

// The text a cell holding a string shows (the "@" section, or the text as is).
std::wstring FormatText(const std::wstring& text, const std::wstring& formatCode);

}  // namespace calc::format
