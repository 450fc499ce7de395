// Decimal digits of a double as the spreadsheet shows them: 15 significant
// digits, rounded half away from zero, in fixed or scientific notation.
#pragma once

#include <cstddef>
#include <string>

namespace calc::format {

// |v| to 15 significant digits: value = 0.D * 10^(exp10 + 1), D = 15 digits.
struct Digits15 {
    char d[16] = {};
    int exp10 = 0;  // exponent of the first digit
    bool zero = true;
};

Digits15 ToDigits(double a);
// `keep` significant digits of x; exp10 receives the exponent of the first.
std::string RoundSig(const Digits15& x, int keep, int& exp10);
// Room FixedInto needs for the integer digits of x.
size_t FixedIntRoom(const Digits15& x);
// Fixed notation with exactly `decimals` fraction digits (see DecimalDigits.cpp).
size_t FixedInto(const Digits15& x, int decimals, char* intPart, char* frac);
// FixedInto for a value with at most kMaxQuickDecimals decimals, in integer
// arithmetic where that gives the same digits; false otherwise.
inline constexpr size_t kMaxQuickDecimals = 9;
bool FixedQuick(double a, int decimals, char* intPart, char* frac, size_t* intLen);
void Fixed(double a, int decimals, std::string& intPart, std::string& frac);
std::string FixedString(const Digits15& x, int decimals);
// Scientific notation with six significant digits, as General shows it.
std::string SciGeneral(const Digits15& x);
// ASCII digits as wide text.
std::wstring Widen(const std::string& s);

}  // namespace calc::format
