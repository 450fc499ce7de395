#include "platform/automation/VariantText.h"
#include "platform/base/Calendar.h"

#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <cwctype>
#include <string>
#include <vector>

namespace sw::automation::detail {
namespace {

bool IsBlank(wchar_t c) {
    return c == L' ' || c == L'\t' || c == L'\r' || c == L'\n' || c == 0xA0;
}

std::wstring Trim(const std::wstring& s) {
    std::size_t b = 0;
    std::size_t e = s.size();
    while (b < e && IsBlank(s[b])) {
        ++b;
    }
    while (e > b && IsBlank(s[e - 1])) {
        --e;
    }
    return s.substr(b, e - b);
}

std::wstring Lower(std::wstring s) {
    for (auto& c : s) {
        c = static_cast<wchar_t>(std::towlower(static_cast<wint_t>(c)));
    }
    return s;
}

bool IsDigit(wchar_t c) {
    return c >= L'0' && c <= L'9';
}

HRESULT ParseRadix(const std::wstring& digits, int radix, double* out) {
    if (digits.empty()) {
        return DISP_E_TYPEMISMATCH;
    }
    double v = 0;
    for (wchar_t c : digits) {
        int d = -1;
        if (IsDigit(c)) {
            d = c - L'0';
        } else if (c >= L'a' && c <= L'f') {
            d = c - L'a' + 10;
        } else if (c >= L'A' && c <= L'F') {
            d = c - L'A' + 10;
        }
        if (d < 0 || d >= radix) {
            return DISP_E_TYPEMISMATCH;
        }
        v = v * radix + d;
    }
    *out = v;
    return S_OK;
}

}  // namespace

HRESULT ParseNumber(const std::wstring& input, double* out) {
    const std::wstring s = Trim(input);
    if (s.size() >= 2 && s[0] == L'&') {
        const wchar_t kind = static_cast<wchar_t>(std::towlower(static_cast<wint_t>(s[1])));
        if (kind == L'h') {
            return ParseRadix(s.substr(2), 16, out);
        }
        if (kind == L'o') {
            return ParseRadix(s.substr(2), 8, out);
        }
        return DISP_E_TYPEMISMATCH;
    }
    std::size_t i = 0;
    const std::size_t n = s.size();
    bool negative = false;
    bool signSeen = false;
    bool parens = false;
    bool currency = false;
    // Leading decorations in any order: "(", sign, "$".
    for (;;) {
        if (i < n && s[i] == L'(' && !parens && !signSeen) {
            parens = true;
            ++i;
        } else if (i < n && (s[i] == L'-' || s[i] == L'+') && !signSeen) {
            signSeen = true;
            negative = s[i] == L'-';
            ++i;
        } else if (i < n && s[i] == L'$' && !currency) {
            currency = true;
            ++i;
        } else {
            break;
        }
    }
    std::string number;
    bool digits = false;
    bool lastWasDigit = false;
    while (i < n && (IsDigit(s[i]) || (s[i] == L',' && lastWasDigit))) {
        if (s[i] != L',') {
            number += static_cast<char>(s[i]);
            digits = true;
            lastWasDigit = true;
        }
        ++i;
    }
    if (i < n && s[i] == L'.') {
        number += '.';
        ++i;
        while (i < n && IsDigit(s[i])) {
            number += static_cast<char>(s[i]);
            digits = true;
            ++i;
        }
    }
    if (!digits) {
        return DISP_E_TYPEMISMATCH;
    }
    if (i < n && (s[i] == L'e' || s[i] == L'E' || s[i] == L'd' || s[i] == L'D')) {
        std::size_t j = i + 1;
        std::string exponent = "e";
        if (j < n && (s[j] == L'-' || s[j] == L'+')) {
            exponent += static_cast<char>(s[j]);
            ++j;
        }
        if (j < n && IsDigit(s[j])) {
            while (j < n && IsDigit(s[j])) {
                exponent += static_cast<char>(s[j]);
                ++j;
            }
            number += exponent;
            i = j;
        } else {
            return DISP_E_TYPEMISMATCH;
        }
    }
    // Trailing decorations: "$", sign, ")".
    for (;;) {
        if (i < n && s[i] == L'$' && !currency) {
            currency = true;
            ++i;
        } else if (i < n && (s[i] == L'-' || s[i] == L'+') && !signSeen) {
            signSeen = true;
            negative = s[i] == L'-';
            ++i;
        } else if (i < n && s[i] == L')' && parens) {
            parens = false;
            negative = true;
            ++i;
            // A sign inside parentheses contradicts them.
            if (signSeen) {
                return DISP_E_TYPEMISMATCH;
            }
            signSeen = true;
        } else {
            break;
        }
    }
    if (i != n || parens) {
        return DISP_E_TYPEMISMATCH;
    }
    char* end = nullptr;
    double v = std::strtod(number.c_str(), &end);
    if (std::isinf(v)) {
        return DISP_E_OVERFLOW;
    }
    if (negative) {
        v = -v;
    }
    if (v == 0) {
        v = 0;  // no negative zero
    }
    *out = v;
    return S_OK;
}

HRESULT ParseBool(const std::wstring& input, bool* out) {
    const std::wstring s = Lower(Trim(input));
    if (s == L"true" || s == L"#true#") {
        *out = true;
        return S_OK;
    }
    if (s == L"false" || s == L"#false#") {
        *out = false;
        return S_OK;
    }
    double v = 0;
    const HRESULT hr = ParseNumber(input, &v);
    if (FAILED(hr)) {
        return hr;
    }
    *out = v != 0;
    return S_OK;
}

std::wstring FormatReal(double value, int significantDigits) {
    if (value == 0) {
        return L"0";
    }
    if (std::isnan(value)) {
        return L"NaN";
    }
    if (std::isinf(value)) {
        return value > 0 ? L"Infinity" : L"-Infinity";
    }
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.*G", significantDigits, value);
    return std::wstring(buf, buf + std::char_traits<char>::length(buf));
}

std::wstring FormatCurrency(LONGLONG scaled) {
    const bool negative = scaled < 0;
    const unsigned long long magnitude =
        negative ? 0ULL - static_cast<unsigned long long>(scaled) : static_cast<unsigned long long>(scaled);
    std::wstring text = std::to_wstring(magnitude / 10000ULL);
    unsigned long long fraction = magnitude % 10000ULL;
    if (fraction != 0) {
        std::wstring f = std::to_wstring(fraction);
        f.insert(0, 4 - f.size(), L'0');
        while (!f.empty() && f.back() == L'0') {
            f.pop_back();
        }
        text += L'.';
        text += f;
    }
    return negative ? L"-" + text : text;
}

bool IsValidCivil(long long y, unsigned m, unsigned d) {
    return y >= 100 && y <= 9999 && sw::base::IsValidDate(y, m, d);
}

std::wstring FormatDate(DATE value, ULONG flags) {
    double whole = std::trunc(value);
    long long seconds = std::llround(std::fabs(value - whole) * 86400.0);
    long long day = static_cast<long long>(whole);
    if (seconds >= 86400) {
        seconds -= 86400;
        ++day;  // the next calendar day, whatever the sign of the serial
    }
    const sw::base::CivilDate date = sw::base::CivilFromDays(day);
    wchar_t dateText[32];
    std::swprintf(dateText, 32, L"%u/%u/%lld", date.month, date.day, static_cast<long long>(date.year));
    const int hour = static_cast<int>(seconds / 3600);
    const int minute = static_cast<int>(seconds / 60 % 60);
    const int second = static_cast<int>(seconds % 60);
    wchar_t timeText[32];
    std::swprintf(timeText, 32, L"%d:%02d:%02d %ls", hour % 12 == 0 ? 12 : hour % 12, minute, second,
                  hour < 12 ? L"AM" : L"PM");
    if ((flags & VAR_DATEVALUEONLY) != 0) {
        return dateText;
    }
    if ((flags & VAR_TIMEVALUEONLY) != 0) {
        return timeText;
    }
    if (seconds == 0 && day != 0) {
        return dateText;
    }
    if (day == 0) {
        return timeText;
    }
    return std::wstring(dateText) + L" " + timeText;
}

namespace {

struct Token {
    enum Kind { Number, Word, Sep };
    explicit Token(Kind k) : kind(k) {}
    Kind kind;
    long long value = 0;
    int digits = 0;
    std::wstring text;  // Word: lower case; Sep: the character
};

bool Tokenize(const std::wstring& s, std::vector<Token>* out) {
    std::size_t i = 0;
    while (i < s.size()) {
        const wchar_t c = s[i];
        if (IsDigit(c)) {
            Token t(Token::Number);
            while (i < s.size() && IsDigit(s[i])) {
                if (t.digits < 9) {
                    t.value = t.value * 10 + (s[i] - L'0');
                }
                ++t.digits;
                ++i;
            }
            if (t.digits > 9) {
                return false;
            }
            out->push_back(t);
        } else if (std::iswalpha(static_cast<wint_t>(c))) {
            Token t(Token::Word);
            while (i < s.size() && std::iswalpha(static_cast<wint_t>(s[i]))) {
                t.text += static_cast<wchar_t>(std::towlower(static_cast<wint_t>(s[i])));
                ++i;
            }
            out->push_back(t);
        } else if (IsBlank(c)) {
            ++i;
            if (!out->empty() && out->back().kind != Token::Sep) {
                Token t(Token::Sep);
                t.text = L" ";
                out->push_back(t);
            }
        } else if (c == L'/' || c == L'-' || c == L'.' || c == L',' || c == L':') {
            // A separator absorbs the blanks around it.
            if (!out->empty() && out->back().kind == Token::Sep && out->back().text == L" ") {
                out->pop_back();
            }
            Token t(Token::Sep);
            t.text = std::wstring(1, c);
            out->push_back(t);
            ++i;
            while (i < s.size() && IsBlank(s[i])) {
                ++i;
            }
        } else {
            return false;
        }
    }
    if (!out->empty() && out->back().kind == Token::Sep && out->back().text == L" ") {
        out->pop_back();
    }
    return true;
}

int MonthFromWord(const std::wstring& w) {
    static const wchar_t* const kMonths[12] = {L"january",   L"february", L"march",    L"april",
                                               L"may",       L"june",     L"july",     L"august",
                                               L"september", L"october",  L"november", L"december"};
    if (w.size() < 3) {
        return 0;
    }
    for (int i = 0; i < 12; ++i) {
        const std::wstring name = kMonths[i];
        if (w == name || (w.size() <= name.size() && name.compare(0, w.size(), w) == 0)) {
            return i + 1;
        }
    }
    return 0;
}

bool IsWeekday(const std::wstring& w) {
    static const wchar_t* const kDays[7] = {L"sunday",   L"monday", L"tuesday", L"wednesday",
                                            L"thursday", L"friday", L"saturday"};
    if (w.size() < 3) {
        return false;
    }
    for (const wchar_t* day : kDays) {
        const std::wstring name = day;
        if (w.size() <= name.size() && name.compare(0, w.size(), w) == 0) {
            return true;
        }
    }
    return false;
}

int AmPm(const std::wstring& w) {
    if (w == L"am" || w == L"a") {
        return 1;
    }
    if (w == L"pm" || w == L"p") {
        return 2;
    }
    return 0;
}

long long CurrentYear() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return local.tm_year + 1900LL;
}

long long ExpandYear(const Token& t) {
    if (t.digits <= 2) {
        return t.value < 30 ? 2000 + t.value : 1900 + t.value;
    }
    return t.value;
}

}  // namespace

HRESULT ParseDate(const std::wstring& input, DATE* out) {
    std::vector<Token> tokens;
    if (!Tokenize(input, &tokens) || tokens.empty()) {
        return DISP_E_TYPEMISMATCH;
    }
    // The time: h:mm[:ss[.fff]] [am|pm], or h am|pm.
    bool haveTime = false;
    long long hour = 0;
    long long minute = 0;
    long long second = 0;
    std::vector<Token> rest;
    for (std::size_t i = 0; i < tokens.size(); ++i) {
        const Token& t = tokens[i];
        const bool colonTime = t.kind == Token::Number && i + 2 < tokens.size() &&
                               tokens[i + 1].kind == Token::Sep && tokens[i + 1].text == L":" &&
                               tokens[i + 2].kind == Token::Number;
        auto ampmAt = [&](std::size_t j) -> std::size_t {
            // Index of an am/pm word at j or after one blank; 0 when none.
            if (j < tokens.size() && tokens[j].kind == Token::Word && AmPm(tokens[j].text) != 0) {
                return j;
            }
            if (j + 1 < tokens.size() && tokens[j].kind == Token::Sep && tokens[j].text == L" " &&
                tokens[j + 1].kind == Token::Word && AmPm(tokens[j + 1].text) != 0) {
                return j + 1;
            }
            return 0;
        };
        if (colonTime || (t.kind == Token::Number && ampmAt(i + 1) != 0)) {
            if (haveTime) {
                return DISP_E_TYPEMISMATCH;
            }
            haveTime = true;
            hour = t.value;
            std::size_t j = i + 1;
            if (colonTime) {
                if (tokens[i + 2].digits > 2) {
                    return DISP_E_TYPEMISMATCH;
                }
                minute = tokens[i + 2].value;
                j = i + 3;
                if (j + 1 < tokens.size() && tokens[j].kind == Token::Sep && tokens[j].text == L":" &&
                    tokens[j + 1].kind == Token::Number) {
                    if (tokens[j + 1].digits > 2) {
                        return DISP_E_TYPEMISMATCH;
                    }
                    second = tokens[j + 1].value;
                    j += 2;
                    // Fractions of a second are read and dropped.
                    if (j + 1 < tokens.size() && tokens[j].kind == Token::Sep && tokens[j].text == L"." &&
                        tokens[j + 1].kind == Token::Number) {
                        j += 2;
                    }
                }
            }
            const std::size_t a = ampmAt(j);
            if (a != 0) {
                const int ap = AmPm(tokens[a].text);
                if (hour < 1 || hour > 12) {
                    return DISP_E_TYPEMISMATCH;
                }
                hour = (hour % 12) + (ap == 2 ? 12 : 0);
                j = a + 1;
            }
            if (hour > 23 || minute > 59 || second > 59) {
                return DISP_E_TYPEMISMATCH;
            }
            i = j - 1;
            continue;
        }
        rest.push_back(t);
    }
    // The date: numbers and at most one month name.
    std::vector<Token> numbers;
    int month = 0;
    int monthPos = -1;
    for (const Token& t : rest) {
        if (t.kind == Token::Sep) {
            if (t.text == L":") {
                return DISP_E_TYPEMISMATCH;
            }
            continue;
        }
        if (t.kind == Token::Word) {
            if (IsWeekday(t.text)) {
                continue;
            }
            const int mo = MonthFromWord(t.text);
            if (mo == 0 || month != 0) {
                return DISP_E_TYPEMISMATCH;
            }
            month = mo;
            monthPos = static_cast<int>(numbers.size());
            continue;
        }
        numbers.push_back(t);
    }
    long long y = 1899;
    long long m = 12;
    long long d = 30;
    bool haveDate = true;
    if (month != 0) {
        m = month;
        if (numbers.size() == 2) {
            const Token& a = numbers[0];
            const Token& b = numbers[1];
            if (monthPos == 0 || monthPos == 1 || a.digits <= 2) {
                // Jan 31, 2005 / 31-Jan-05 / 31 Jan 2005
                if (a.digits > 2) {
                    return DISP_E_TYPEMISMATCH;
                }
                d = a.value;
                y = ExpandYear(b);
            } else {
                y = ExpandYear(a);
                d = b.value;
            }
        } else if (numbers.size() == 1) {
            const Token& a = numbers[0];
            if (a.digits <= 2 && a.value >= 1 && a.value <= 31) {
                d = a.value;
                y = CurrentYear();
            } else {
                d = 1;
                y = ExpandYear(a);
            }
        } else {
            return DISP_E_TYPEMISMATCH;
        }
    } else if (numbers.size() == 3) {
        const Token& a = numbers[0];
        if (a.digits >= 3 || a.value > 31) {
            y = ExpandYear(a);
            m = numbers[1].value;
            d = numbers[2].value;
        } else {
            m = a.value;
            d = numbers[1].value;
            y = ExpandYear(numbers[2]);
        }
    } else if (numbers.size() == 2) {
        const Token& b = numbers[1];
        m = numbers[0].value;
        if (b.digits >= 3 || b.value > 31) {
            d = 1;
            y = ExpandYear(b);
        } else {
            d = b.value;
            y = CurrentYear();
        }
    } else if (numbers.empty()) {
        haveDate = false;
    } else {
        return DISP_E_TYPEMISMATCH;
    }
    if (!haveDate && !haveTime) {
        return DISP_E_TYPEMISMATCH;
    }
    double serial = 0;
    if (haveDate) {
        if (m < 1 || m > 12 || d < 1 ||
            !IsValidCivil(y, static_cast<unsigned>(m), static_cast<unsigned>(d))) {
            return DISP_E_TYPEMISMATCH;
        }
        serial = static_cast<double>(
            sw::base::DaysFromCivil(y, static_cast<unsigned>(m), static_cast<unsigned>(d)));
    }
    const double fraction = static_cast<double>(hour * 3600 + minute * 60 + second) / 86400.0;
    *out = serial < 0 ? serial - fraction : serial + fraction;
    return S_OK;
}

}  // namespace sw::automation::detail
