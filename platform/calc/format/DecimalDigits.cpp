#include "platform/calc/format/DecimalDigits.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>

namespace calc::format {

Digits15 ToDigits(double a) {
    Digits15 r;
    if (!(a > 0) || !std::isfinite(a)) {
        std::fill(r.d, r.d + 15, '0');
        return r;
    }
    char buf[40];
    auto res = std::to_chars(buf, buf + sizeof buf - 1, a, std::chars_format::scientific, 14);
    *res.ptr = '\0';
    r.d[0] = buf[0];
    std::copy(buf + 2, buf + 16, r.d + 1);
    // "d.dddddddddddddde+XX": the exponent's sign, then two or three digits.
    int exp10 = 0;
    for (const char* e = buf + 18; e < res.ptr; ++e) {
        exp10 = exp10 * 10 + (*e - '0');
    }
    r.exp10 = buf[17] == '-' ? -exp10 : exp10;
    r.zero = false;
    return r;
}

namespace {

// Keeps `keep` significant digits rounding half away from zero; may bump exp10.
// Writes them to `sig` (room for 15) and returns how many.
int RoundSigInto(const Digits15& x, int keep, int& exp10, char* sig) {
    exp10 = x.exp10;
    if (x.zero || keep <= 0) {
        if (!x.zero && keep == 0 && x.d[0] >= '5') {
            exp10 += 1;
            sig[0] = '1';
            return 1;
        }
        return 0;
    }
    const int n = std::min(keep, 15);
    std::copy(x.d, x.d + n, sig);
    if (keep < 15 && x.d[keep] >= '5') {
        int k = n - 1;
        while (k >= 0 && sig[k] == '9') {
            sig[k--] = '0';
        }
        if (k < 0) {
            // All nines carried: one digit more in front, the last one dropped.
            std::copy_backward(sig, sig + n - 1, sig + n);
            sig[0] = '1';
            exp10 += 1;
        } else {
            ++sig[k];
        }
    }
    return n;
}
}  // namespace

std::string RoundSig(const Digits15& x, int keep, int& exp10) {
    char sig[15];
    return std::string(sig, static_cast<size_t>(RoundSigInto(x, keep, exp10, sig)));
}

// Room FixedInto needs for the integer digits of x.
size_t FixedIntRoom(const Digits15& x) {
    return static_cast<size_t>(std::max(x.exp10 + 2, 1));
}

// Fixed notation with exactly `decimals` fraction digits, written to `frac`;
// the integer part, without leading zeros (none for zero), goes to `intPart`
// (room for FixedIntRoom(x)) and its length is returned.
size_t FixedInto(const Digits15& x, int decimals, char* intPart, char* frac) {
    char sig[15];
    int exp10 = 0;
    const int n = RoundSigInto(x, x.exp10 + 1 + decimals, exp10, sig);
    std::fill(frac, frac + std::max(decimals, 0), '0');
    if (n == 0) {
        return 0;
    }
    // Digit k of sig has weight 10^(exp10 - k).
    size_t len = 0;
    for (int k = 0; k < n; ++k) {
        const int w = exp10 - k;
        if (w >= 0) {
            intPart[len++] = sig[k];
        } else if (-w <= decimals) {
            frac[-w - 1] = sig[k];
        }
    }
    if (exp10 >= n) {
        std::fill(intPart + len, intPart + len + (exp10 + 1 - n), '0');
        len += static_cast<size_t>(exp10 + 1 - n);
    }
    size_t nz = 0;
    while (nz < len && intPart[nz] == '0') {
        ++nz;
    }
    std::copy(intPart + nz, intPart + len, intPart);
    return len - nz;
}

// FixedInto's digits for a value shown with few decimals, in integer
// arithmetic, where they are sure to be the same: the value scaled to whole
// units of its last decimal is below 2.5e13, so its 15 significant digits hold
// every digit shown and one more, and it is not so near a half unit that the
// rounding to 15 digits or the scaling could carry it across. False otherwise.
bool FixedQuick(double a, int decimals, char* intPart, char* frac, size_t* intLen) {
    static constexpr double kScale[kMaxQuickDecimals + 1] = {1e0, 1e1, 1e2, 1e3, 1e4,
                                                             1e5, 1e6, 1e7, 1e8, 1e9};
    const double q = a * kScale[decimals];
    if (!(q >= 0.0 && q < 2.5e13)) {
        return false;
    }
    const double whole = std::floor(q);
    const double part = q - whole;
    // Both roundings move the value by under 1e-14 of it in these units.
    if (std::fabs(part - 0.5) <= q * 2e-14 + 1e-300) {
        return false;
    }
    auto units = static_cast<uint64_t>(whole) + (part > 0.5 ? 1 : 0);
    for (int k = decimals - 1; k >= 0; --k) {
        frac[k] = static_cast<char>('0' + units % 10);
        units /= 10;
    }
    char digits[20];
    size_t n = 0;
    for (; units > 0; units /= 10) {
        digits[n++] = static_cast<char>('0' + units % 10);
    }
    for (size_t k = 0; k < n; ++k) {
        intPart[k] = digits[n - 1 - k];
    }
    *intLen = n;
    return true;
}

namespace {

void FixedDigits(const Digits15& x, int decimals, std::string& intPart, std::string& frac) {
    intPart.resize(FixedIntRoom(x));
    frac.resize(static_cast<size_t>(std::max(decimals, 0)));
    intPart.resize(FixedInto(x, decimals, intPart.data(), frac.data()));
}
}  // namespace

void Fixed(double a, int decimals, std::string& intPart, std::string& frac) {
    FixedDigits(ToDigits(a), decimals, intPart, frac);
}

std::wstring Widen(const std::string& s) {
    return std::wstring(s.begin(), s.end());
}

namespace {

void StripZeros(std::string& s) {
    if (s.find('.') == std::string::npos) {
        return;
    }
    while (!s.empty() && s.back() == '0') {
        s.pop_back();
    }
    if (!s.empty() && s.back() == '.') {
        s.pop_back();
    }
}
}  // namespace

std::string FixedString(const Digits15& x, int decimals) {
    std::string ip, fr;
    FixedDigits(x, decimals, ip, fr);
    std::string s = ip.empty() ? "0" : ip;
    if (decimals > 0) {
        s += '.';
        s += fr;
    }
    StripZeros(s);
    return s;
}

std::string SciGeneral(const Digits15& x) {
    int e = 0;
    std::string sig = RoundSig(x, 6, e);
    std::string m(1, sig[0]);
    std::string rest = sig.substr(1);
    while (!rest.empty() && rest.back() == '0') {
        rest.pop_back();
    }
    if (!rest.empty()) {
        m += '.' + rest;
    }
    char buf[16];
    std::snprintf(buf, sizeof buf, "E%c%02d", e < 0 ? '-' : '+', std::abs(e));
    return m + buf;
}

}  // namespace calc::format
