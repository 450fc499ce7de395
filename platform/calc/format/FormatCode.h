// The parsed form of a number format code, private to the format library:
// codes are tokenised once (FormatTokens.cpp) into sections that the
// renderers turn into text (NumberRender.cpp, DateRender.cpp,
// GeneralNumber.cpp); NumberFormat.cpp picks the section for a value.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/calc/format/NumberFormat.h"

namespace calc::format {

enum class Tok : uint8_t {
    Lit,
    Digit,    // ch = '0', '#' or '?'
    Point,    // the first unquoted '.' of a number section
    Exp,      // E+ / E- (ch = '+' or '-')
    Slash,    // fraction bar between digit placeholders
    Comma,    // resolved after tokenizing into grouping, scaling or a literal
    At,       // the text value
    General,  // "General" inside a section
    Year2,
    Year4,
    MonthOrMin1,  // m: month unless next to an hour or seconds token
    MonthOrMin2,  // mm
    Month3,
    Month4,
    Month5,
    Day1,
    Day2,
    Day3,
    Day4,
    Hour1,
    Hour2,
    Min1,
    Min2,
    Month1,
    Month2,
    Sec1,
    Sec2,
    SubSec,    // n = fraction digits of the second
    AmPm,      // text = "AM/PM" / "A/P" as written
    ElapsedH,  // n = minimum width
    ElapsedM,
    ElapsedS,
};

enum class Part : uint8_t { Int, Frac, ExpDigits, Num, Den };

struct Token {
    Tok kind = Tok::Lit;
    wchar_t ch = 0;
    int n = 0;
    Part part = Part::Int;
    std::wstring text;
};

struct Section {
    std::vector<Token> toks;
    bool isDate = false;
    bool hasDate = false;  // y, d, month tokens
    bool hasTime = false;  // h, minute, s, AM/PM, elapsed
    bool hasAmPm = false;
    bool hasText = false;  // '@'
    bool hasGeneral = false;
    bool group = false;
    bool sci = false;
    bool fraction = false;
    bool currency = false;
    int percent = 0;
    int scale = 0;  // divide by 1000 per trailing comma
    int subSecDigits = 0;
    int nInt = 0, nFrac = 0, nExp = 0, nNum = 0, nDen = 0;
    bool intHasHash = false;
    // Literals, one run of integer placeholders, an optional point with fraction
    // placeholders, literals: the shape of nearly every number format in use.
    bool simple = false;
    bool hasPoint = false;
    std::wstring prefix, suffix, intPh, fracPh;
    long fixedDen = 0;  // "# ?/8" style denominators
    bool empty() const { return toks.empty(); }
};

struct ParsedFormat {
    bool general = false;
    std::vector<Section> sections;
    int textSection = -1;
    std::vector<int> numSections;  // indices of the sections that show numbers
};

using Parsed = ParsedFormat;

// The parsed form of a code, from a bounded cache shared by all threads;
// Lookup keeps the last one of each thread at hand, for callers that ask for
// the same code cell after cell.
std::shared_ptr<const Parsed> LookupShared(const std::wstring& code);
const Parsed& Lookup(const std::wstring& code);

// The General rule for a standard-width column.
std::wstring GeneralNumber(double v);
// A number section shown for a magnitude `a` (sign, percent and scaling
// applied by the caller where the section is simple).
void RenderSimple(const Section& sec, double a, std::wstring& out);
std::wstring RenderNumber(const Section& sec, double a, bool& anyNonZero);
// A date or time section shown for a serial.
std::wstring RenderDate(const Section& sec, double v);
// The text section shown for a text.
std::wstring RenderText(const Section& sec, const std::wstring& text);

}  // namespace calc::format
