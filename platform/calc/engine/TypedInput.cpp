#include "platform/calc/engine/TypedInput.h"
#include "platform/base/Calendar.h"

#include <array>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <vector>

namespace calc {

namespace {

constexpr std::wstring_view kGeneral = L"General";
constexpr std::wstring_view kDateFormat = L"d-mmm-yy";
constexpr std::wstring_view kDateTimeFormat = L"m/d/yyyy h:mm";

bool IsDigit(wchar_t ch) {
    return ch >= L'0' && ch <= L'9';
}
bool IsBlank(wchar_t ch) {
    return ch == L' ' || ch == L'\t' || ch == L'\u00a0';
}
wchar_t Lower(wchar_t ch) {
    return (ch >= L'A' && ch <= L'Z') ? static_cast<wchar_t>(ch - L'A' + L'a') : ch;
}

std::wstring_view Trim(std::wstring_view s) {
    while (!s.empty() && IsBlank(s.front())) {
        s.remove_prefix(1);
    }
    while (!s.empty() && IsBlank(s.back())) {
        s.remove_suffix(1);
    }
    return s;
}

bool EqualsNoCase(std::wstring_view a, std::wstring_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (size_t i = 0; i < a.size(); ++i) {
        if (Lower(a[i]) != b[i]) {
            return false;
        }
    }
    return true;
}

// Digits of a short run as an integer; the run is at most 9 digits long.
int64_t DigitsValue(std::wstring_view digits) {
    int64_t v = 0;
    for (wchar_t ch : digits) {
        v = v * 10 + (ch - L'0');
    }
    return v;
}

// The days of month m of year y; 0 for a month that does not exist.
int DaysInMonth(int y, int m) {
    return m < 1 ? 0 : static_cast<int>(sw::base::DaysInMonth(y, static_cast<unsigned>(m)));
}

// ---- numbers ---------------------------------------------------------------

struct NumberParse {
    double value = 0.0;
    std::wstring_view format = kGeneral;
};

// Parses the unsigned body "1,234.5", ".5", "1e3" into value; grouping,
// decimals and exponent tell the format.
struct Body {
    double value = 0.0;
    bool grouped = false;
    bool decimals = false;
    bool exponent = false;
};

std::optional<Body> ParseBody(std::wstring_view s) {
    char buf[400];
    size_t n = 0;
    size_t i = 0;
    Body body;
    size_t intDigits = 0;
    size_t groupLen = 0;
    size_t firstGroup = 0;
    while (i < s.size() && (IsDigit(s[i]) || s[i] == L',')) {
        if (s[i] == L',') {
            // A thousands separator follows a first group of 1-3 digits and
            // separates groups of exactly three.
            if (!body.grouped) {
                if (intDigits == 0 || intDigits > 3) {
                    return std::nullopt;
                }
                firstGroup = intDigits;
            } else if (groupLen != 3) {
                return std::nullopt;
            }
            body.grouped = true;
            groupLen = 0;
        } else {
            if (n + 1 >= sizeof buf) {
                return std::nullopt;
            }
            buf[n++] = static_cast<char>(s[i]);
            ++intDigits;
            ++groupLen;
        }
        ++i;
    }
    (void)firstGroup;
    if (body.grouped && groupLen != 3) {
        return std::nullopt;
    }
    size_t fracDigits = 0;
    if (i < s.size() && s[i] == L'.') {
        buf[n++] = '.';
        ++i;
        while (i < s.size() && IsDigit(s[i])) {
            if (n + 1 >= sizeof buf) {
                return std::nullopt;
            }
            buf[n++] = static_cast<char>(s[i]);
            ++fracDigits;
            ++i;
        }
        body.decimals = fracDigits > 0;
    }
    if (intDigits + fracDigits == 0) {
        return std::nullopt;
    }
    if (i < s.size() && (s[i] == L'e' || s[i] == L'E')) {
        if (body.grouped) {
            return std::nullopt;
        }
        buf[n++] = 'e';
        ++i;
        if (i < s.size() && (s[i] == L'+' || s[i] == L'-')) {
            buf[n++] = static_cast<char>(s[i]);
            ++i;
        }
        size_t expDigits = 0;
        while (i < s.size() && IsDigit(s[i])) {
            if (n + 1 >= sizeof buf || ++expDigits > 4) {
                return std::nullopt;
            }
            buf[n++] = static_cast<char>(s[i]);
            ++i;
        }
        if (expDigits == 0) {
            return std::nullopt;
        }
        body.exponent = true;
    }
    if (i != s.size()) {
        return std::nullopt;
    }
    double v = 0.0;
    auto [ptr, ec] = std::from_chars(buf, buf + n, v);
    if (ec != std::errc() || ptr != buf + n || !std::isfinite(v)) {
        return std::nullopt;
    }
    body.value = intDigits + fracDigits > 15 ? RoundToCellPrecision(v) : v;
    return body;
}

std::optional<NumberParse> ParseNumber(std::wstring_view s) {
    bool paren = false;
    bool negative = false;
    bool sign = false;
    bool currency = false;
    bool percent = false;
    if (!s.empty() && s.front() == L'(') {
        if (s.back() != L')') {
            return std::nullopt;
        }
        paren = true;
        s = s.substr(1, s.size() - 2);
    }
    // Sign and dollar sign in either order: "-$5", "$-5".
    for (int k = 0; k < 2 && !s.empty(); ++k) {
        if (!sign && !paren && (s.front() == L'-' || s.front() == L'+')) {
            sign = true;
            negative = s.front() == L'-';
            s.remove_prefix(1);
        } else if (!currency && s.front() == L'$') {
            currency = true;
            s.remove_prefix(1);
        }
    }
    if (!currency && !s.empty() && s.back() == L'%') {
        percent = true;
        s.remove_suffix(1);
    }
    auto body = ParseBody(s);
    if (!body) {
        return std::nullopt;
    }
    if ((percent || currency) && body->exponent) {
        return std::nullopt;
    }
    NumberParse out;
    out.value = (negative || paren) ? -body->value : body->value;
    if (percent) {
        out.value = RoundToCellPrecision(out.value / 100.0);
        out.format = body->decimals ? L"0.00%" : L"0%";
    } else if (currency) {
        out.format = body->decimals ? L"$#,##0.00_);($#,##0.00)" : L"$#,##0_);($#,##0)";
    } else if (body->exponent) {
        out.format = L"0.00E+00";
    } else if (body->grouped) {
        out.format = body->decimals ? L"#,##0.00" : L"#,##0";
    }
    if (out.value == 0.0) {
        out.value = 0.0;  // no negative zero in a cell
    }
    return out;
}

// "1 1/2", "-0 3/16": whole part, one blank, numerator/denominator.
std::optional<NumberParse> ParseFraction(std::wstring_view s) {
    bool negative = false;
    if (!s.empty() && (s.front() == L'-' || s.front() == L'+')) {
        negative = s.front() == L'-';
        s.remove_prefix(1);
    }
    size_t i = 0;
    auto digitsRun = [&](size_t maxLen) -> std::optional<std::wstring_view> {
        size_t start = i;
        while (i < s.size() && IsDigit(s[i])) {
            ++i;
        }
        if (i == start || i - start > maxLen) {
            return std::nullopt;
        }
        return s.substr(start, i - start);
    };
    auto whole = digitsRun(9);
    if (!whole || i >= s.size() || s[i] != L' ') {
        return std::nullopt;
    }
    ++i;
    auto num = digitsRun(2);
    if (!num || i >= s.size() || s[i] != L'/') {
        return std::nullopt;
    }
    ++i;
    auto den = digitsRun(2);
    if (!den || i != s.size()) {
        return std::nullopt;
    }
    int64_t d = DigitsValue(*den);
    if (d == 0) {
        return std::nullopt;
    }
    double v = static_cast<double>(DigitsValue(*whole)) +
               static_cast<double>(DigitsValue(*num)) / static_cast<double>(d);
    NumberParse out;
    out.value = negative ? -v : v;
    out.format = den->size() > 1 ? L"# ?\?/?\?" : L"# ?/?";
    return out;
}

// ---- times -----------------------------------------------------------------

struct TimeParse {
    double value = 0.0;
    std::wstring_view format;
};

std::optional<TimeParse> ParseTime(std::wstring_view s) {
    // Split off a trailing AM/PM marker: "AM", "PM", "A", "P", any case,
    // with or without a blank before it.
    int meridiem = 0;  // 0 none, 1 am, 2 pm
    {
        std::wstring_view rest = s;
        auto tryMarker = [&](std::wstring_view marker, int which) {
            if (rest.size() > marker.size() &&
                EqualsNoCase(rest.substr(rest.size() - marker.size()), marker)) {
                meridiem = which;
                rest.remove_suffix(marker.size());
                return true;
            }
            return false;
        };
        if (tryMarker(L"am", 1) || tryMarker(L"pm", 2) || tryMarker(L"a", 1) || tryMarker(L"p", 2)) {
            while (!rest.empty() && rest.back() == L' ') {
                rest.remove_suffix(1);
            }
            s = rest;
        }
    }
    std::array<std::wstring_view, 3> parts;
    size_t count = 0;
    size_t start = 0;
    for (size_t i = 0; i <= s.size(); ++i) {
        if (i == s.size() || s[i] == L':') {
            if (count == 3) {
                return std::nullopt;
            }
            parts[count++] = s.substr(start, i - start);
            start = i + 1;
        }
    }
    if (count == 1 && meridiem == 0) {
        return std::nullopt;  // a bare number is no time
    }
    // Seconds may carry a decimal fraction.
    double secondsFraction = 0.0;
    if (count == 3) {
        size_t dot = parts[2].find(L'.');
        if (dot != std::wstring_view::npos) {
            std::wstring_view frac = parts[2].substr(dot + 1);
            if (frac.empty() || frac.size() > 3) {
                return std::nullopt;
            }
            for (wchar_t ch : frac) {
                if (!IsDigit(ch)) {
                    return std::nullopt;
                }
            }
            secondsFraction =
                static_cast<double>(DigitsValue(frac)) / std::pow(10.0, static_cast<double>(frac.size()));
            parts[2] = parts[2].substr(0, dot);
        }
    }
    std::array<int64_t, 3> v{0, 0, 0};
    for (size_t k = 0; k < count; ++k) {
        size_t maxLen = k == 0 ? 4 : 2;
        if (parts[k].empty() || parts[k].size() > maxLen) {
            return std::nullopt;
        }
        for (wchar_t ch : parts[k]) {
            if (!IsDigit(ch)) {
                return std::nullopt;
            }
        }
        v[k] = DigitsValue(parts[k]);
    }
    if (v[1] > 59 || v[2] > 59) {
        return std::nullopt;
    }
    int64_t hour = v[0];
    TimeParse out;
    if (meridiem != 0) {
        if (hour > 12) {
            return std::nullopt;
        }
        hour = hour % 12 + (meridiem == 2 ? 12 : 0);
        out.format = count == 3 ? L"h:mm:ss AM/PM" : L"h:mm AM/PM";
    } else if (hour >= 24) {
        if (hour > 9999) {
            return std::nullopt;
        }
        out.format = L"[h]:mm:ss";
    } else {
        out.format = count == 3 ? L"h:mm:ss" : L"h:mm";
    }
    double seconds = static_cast<double>(hour * 3600 + v[1] * 60 + v[2]) + secondsFraction;
    out.value = seconds / 86400.0;
    return out;
}

// ---- dates -----------------------------------------------------------------

int MonthFromName(std::wstring_view word) {
    static constexpr std::array<std::wstring_view, 12> kMonths{
        L"january", L"february", L"march",     L"april",   L"may",      L"june",
        L"july",    L"august",   L"september", L"october", L"november", L"december"};
    for (size_t m = 0; m < kMonths.size(); ++m) {
        if (EqualsNoCase(word, kMonths[m]) ||
            (word.size() == 3 && EqualsNoCase(word, kMonths[m].substr(0, 3)))) {
            return static_cast<int>(m) + 1;
        }
    }
    return 0;
}

struct DateToken {
    bool isMonthName = false;
    int value = 0;         // number or month
    size_t digits = 0;     // digits of a number
    wchar_t sepAfter = 0;  // '/', '-', ' ', ',' (", " counts as ',') or 0 at the end
};

std::optional<int> YearFrom(int value, size_t digits) {
    if (digits == 1 || digits == 2) {
        return value < 30 ? 2000 + value : 1900 + value;
    }
    if (digits == 4 && value >= 1900) {
        return value;
    }
    return std::nullopt;
}

std::optional<double> ParseDate(std::wstring_view s, int currentYear) {
    std::array<DateToken, 4> tokens;
    size_t count = 0;
    size_t i = 0;
    while (i < s.size()) {
        if (count == 3) {
            return std::nullopt;
        }
        DateToken tok;
        size_t start = i;
        if (IsDigit(s[i])) {
            while (i < s.size() && IsDigit(s[i])) {
                ++i;
            }
            tok.digits = i - start;
            if (tok.digits > 4) {
                return std::nullopt;
            }
            tok.value = static_cast<int>(DigitsValue(s.substr(start, i - start)));
        } else {
            while (i < s.size() && ((s[i] >= L'a' && s[i] <= L'z') || (s[i] >= L'A' && s[i] <= L'Z'))) {
                ++i;
            }
            tok.value = MonthFromName(s.substr(start, i - start));
            if (tok.value == 0) {
                return std::nullopt;
            }
            tok.isMonthName = true;
        }
        if (i < s.size()) {
            wchar_t sep = s[i];
            if (sep == L',') {
                ++i;
                if (i < s.size() && s[i] == L' ') {
                    ++i;
                }
            } else if (sep == L'/' || sep == L'-' || sep == L' ') {
                ++i;
            } else {
                return std::nullopt;
            }
            if (i == s.size()) {
                return std::nullopt;  // a trailing separator
            }
            tok.sepAfter = sep;
        }
        tokens[count++] = tok;
    }
    if (count < 2) {
        return std::nullopt;
    }
    auto make = [](int y, int m, int d) -> std::optional<double> {
        if (m < 1 || m > 12 || d < 1 || d > DaysInMonth(y, m)) {
            return std::nullopt;
        }
        return DateSerial(y, m, d);
    };
    // "Jan 5" is the 5th of January this year, "Jan 32" January 1932.
    auto monthAndNumber = [&](int month, const DateToken& n) -> std::optional<double> {
        if (month < 1 || month > 12) {
            return std::nullopt;
        }
        if (n.digits <= 2 && n.value >= 1 && n.value <= DaysInMonth(currentYear, month)) {
            return make(currentYear, month, n.value);
        }
        auto year = YearFrom(n.value, n.digits);
        if (!year) {
            return std::nullopt;
        }
        return make(*year, month, 1);
    };
    const DateToken& a = tokens[0];
    const DateToken& b = tokens[1];
    int names =
        (a.isMonthName ? 1 : 0) + (b.isMonthName ? 1 : 0) + (count == 3 && tokens[2].isMonthName ? 1 : 0);
    if (names == 0) {
        // Numeric forms use one separator, '/' or '-', throughout.
        if (a.sepAfter != L'/' && a.sepAfter != L'-') {
            return std::nullopt;
        }
        if (count == 3 && b.sepAfter != a.sepAfter) {
            return std::nullopt;
        }
        if (count == 2) {
            if (a.digits > 2) {
                return std::nullopt;
            }
            return monthAndNumber(a.value, b);
        }
        const DateToken& c = tokens[2];
        if (a.digits == 4) {  // 2005-01-31, 2005/1/31
            if (b.digits > 2 || c.digits > 2) {
                return std::nullopt;
            }
            auto year = YearFrom(a.value, a.digits);
            return year ? make(*year, b.value, c.value) : std::nullopt;
        }
        if (a.digits > 2 || b.digits > 2) {
            return std::nullopt;
        }
        auto year = YearFrom(c.value, c.digits);
        return year ? make(*year, a.value, b.value) : std::nullopt;
    }
    if (names != 1) {
        return std::nullopt;
    }
    auto sepOk = [](wchar_t sep) { return sep == L'-' || sep == L'/' || sep == L' '; };
    if (count == 2) {
        if (!sepOk(a.sepAfter)) {
            return std::nullopt;
        }
        if (a.isMonthName) {  // Jan 31, Jan-05, Jan 2005
            return monthAndNumber(a.value, b);
        }
        if (a.digits > 2) {  // 31-Jan
            return std::nullopt;
        }
        return make(currentYear, b.value, a.value);
    }
    const DateToken& c = tokens[2];
    if (c.isMonthName) {
        return std::nullopt;
    }
    if (b.isMonthName) {  // 31-Jan-05, 31 January 2005
        if (!sepOk(a.sepAfter) || !sepOk(b.sepAfter) || a.digits > 2) {
            return std::nullopt;
        }
        auto year = YearFrom(c.value, c.digits);
        return year ? make(*year, b.value, a.value) : std::nullopt;
    }
    // January 31, 2005; Jan 31 2005; Jan-31-2005
    if (!sepOk(a.sepAfter) || !(sepOk(b.sepAfter) || b.sepAfter == L',') || b.digits > 2) {
        return std::nullopt;
    }
    auto year = YearFrom(c.value, c.digits);
    return year ? make(*year, a.value, b.value) : std::nullopt;
}

bool MayStartValue(wchar_t ch) {
    switch (Lower(ch)) {
        case L'+':
        case L'-':
        case L'.':
        case L'(':
        case L'$':
        // First letters of the month names.
        case L'j':
        case L'f':
        case L'm':
        case L'a':
        case L's':
        case L'o':
        case L'n':
        case L'd':
            return true;
        default:
            return IsDigit(ch);
    }
}

}  // namespace

std::optional<double> DateSerial(int year, int month, int day) {
    if (year < 1900 || year > 9999 || month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, month)) {
        return std::nullopt;
    }
    int64_t days = sw::base::DaysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day));
    if (days < 61) {
        --days;  // serial 60 is the 29 February 1900 that never was
    }
    return static_cast<double>(days);
}

double OleDateFromSerial(double serial) {
    return serial >= 1.0 && serial < 60.0 ? serial + 1.0 : serial;
}

double SerialFromOleDate(double oleDate) {
    return oleDate >= 2.0 && oleDate < 61.0 ? oleDate - 1.0 : oleDate;
}

double RoundToCellPrecision(double value) {
    if (value == 0.0 || !std::isfinite(value)) {
        return value;
    }
    char buf[40];
    int len = std::snprintf(buf, sizeof buf, "%.14e", value);
    double out = value;
    std::from_chars(buf, buf + len, out);
    return out;
}

TypedValue ConvertTypedInput(std::wstring_view typed, int currentYear) {
    TypedValue out;
    out.text = typed;
    out.format = kGeneral;
    if (!typed.empty() && typed.front() == L'\'') {
        out.text = typed.substr(1);  // an apostrophe asks for text as typed
        return out;
    }
    std::wstring_view s = Trim(typed);
    if (s.empty() || s.size() > 64 || !MayStartValue(s.front())) {
        return out;
    }
    if (auto n = ParseNumber(s)) {
        out.kind = InputKind::Number;
        out.value = n->value;
        out.format = n->format;
        return out;
    }
    if (auto f = ParseFraction(s)) {
        out.kind = InputKind::Number;
        out.value = f->value;
        out.format = f->format;
        return out;
    }
    if (auto d = ParseDate(s, currentYear)) {
        out.kind = InputKind::Date;
        out.value = *d;
        out.format = kDateFormat;
        return out;
    }
    if (auto t = ParseTime(s)) {
        out.kind = InputKind::Time;
        out.value = t->value;
        out.format = t->format;
        return out;
    }
    // Date and time: "1/31/2005 10:30", "Jan 31, 2005 10:30 PM".
    for (size_t blank = s.find(L' '); blank != std::wstring_view::npos; blank = s.find(L' ', blank + 1)) {
        auto d = ParseDate(s.substr(0, blank), currentYear);
        if (!d) {
            continue;
        }
        auto t = ParseTime(Trim(s.substr(blank + 1)));
        if (t && t->value < 1.0) {
            out.kind = InputKind::DateTime;
            out.value = *d + t->value;
            out.format = kDateTimeFormat;
            return out;
        }
    }
    return out;
}

}  // namespace calc
