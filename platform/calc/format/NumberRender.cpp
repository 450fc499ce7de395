// Number sections: digit placeholders, grouping, scaling, percent,
// exponents and fractions.
#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "platform/calc/format/DecimalDigits.h"
#include "platform/calc/format/FormatCode.h"

namespace calc::format {

namespace {

void EmitDigitsRightAligned(const std::vector<const Token*>& slots, const std::string& digits,
                            std::vector<std::wstring>& fill) {
    // Digits fill placeholders from the right; extra digits go into the leftmost one.
    fill.assign(slots.size(), std::wstring());
    int d = static_cast<int>(digits.size()) - 1;
    for (int k = static_cast<int>(slots.size()) - 1; k >= 0; --k) {
        if (d >= 0) {
            fill[k] = static_cast<wchar_t>(digits[d--]);
        } else {
            fill[k] = slots[k]->ch == L'0' ? L"0" : slots[k]->ch == L'?' ? L" " : L"";
        }
    }
    if (d >= 0 && !slots.empty()) {
        fill[0] = Widen(digits.substr(0, d + 1)) + fill[0];
    }
}
}  // namespace

namespace {

std::wstring Group(const std::wstring& s) {
    // Groups the digit characters of an integer rendering, keeping padding spaces.
    size_t first = s.find_first_of(L"0123456789");
    if (first == std::wstring::npos) {
        return s;
    }
    std::wstring digits = s.substr(first);
    std::wstring out;
    int n = static_cast<int>(digits.size());
    for (int k = 0; k < n; ++k) {
        if (k > 0 && (n - k) % 3 == 0) {
            out += L',';
        }
        out += digits[k];
    }
    return s.substr(0, first) + out;
}
}  // namespace

std::wstring RenderText(const Section& sec, const std::wstring& text) {
    std::wstring out;
    for (const Token& t : sec.toks) {
        if (t.kind == Tok::At) {
            out += text;
        } else if (t.kind == Tok::Lit) {
            out += t.text;
        }
    }
    return out;
}

namespace {

void BestFraction(double f, int denDigits, long fixedDen, long& num, long& den) {
    if (fixedDen > 0) {
        den = fixedDen;
        num = std::lround(f * static_cast<double>(fixedDen));
        return;
    }
    long maxDen = 1;
    for (int k = 0; k < std::min(denDigits, 4); ++k) {
        maxDen *= 10;
    }
    maxDen = std::max(1L, maxDen - 1);
    double best = 2;
    num = 0;
    den = 1;
    for (long q = 1; q <= maxDen; ++q) {
        long p = std::lround(f * static_cast<double>(q));
        double err = std::fabs(f - static_cast<double>(p) / static_cast<double>(q));
        if (err < best - 1e-12) {
            best = err;
            num = p;
            den = q;
        }
    }
}
}  // namespace

// Appends the value to `out`. The digits are laid out in place: this is the
// shape of nearly every number a sheet shows, formatted cell after cell.
void RenderSimple(const Section& sec, double a, std::wstring& out) {
    const auto nFrac = static_cast<size_t>(sec.nFrac);
    char local[128];
    std::string heap;
    char* buf = local;
    char* fr = nullptr;
    size_t ipLen = 0;
    if (nFrac <= kMaxQuickDecimals && FixedQuick(a, sec.nFrac, local, local + 32, &ipLen)) {
        fr = local + 32;
    } else {
        const Digits15 x = ToDigits(a);
        const size_t intRoom = FixedIntRoom(x);
        if (intRoom + nFrac > sizeof local) {
            heap.resize(intRoom + nFrac);
            buf = heap.data();
        }
        fr = buf + intRoom;
        ipLen = FixedInto(x, sec.nFrac, buf, fr);
    }
    const std::string_view ip(buf, ipLen);
    out.reserve(out.size() + sec.prefix.size() + sec.suffix.size() + ipLen + nFrac + sec.intPh.size() + 8);
    out += sec.prefix;
    // Unfilled integer placeholders on the left: '0' pads with zeros, '?' with spaces;
    // grouping counts the padding zeros as digits.
    size_t np = sec.intPh.size();
    size_t pad = np > ip.size() ? np - ip.size() : 0;
    size_t zeros = 0;
    for (size_t k = 0; k < pad; ++k) {
        zeros += sec.intPh[k] == L'0';
    }
    const size_t n = zeros + ip.size();
    size_t emitted = 0;
    auto digit = [&](wchar_t d) {
        if (sec.group && emitted > 0 && (n - emitted) % 3 == 0) {
            out += L',';
        }
        out += d;
        ++emitted;
    };
    for (size_t k = 0; k < pad; ++k) {
        wchar_t ph = sec.intPh[k];
        if (ph == L'0') {
            digit(L'0');
        } else if (ph == L'?') {
            out += L' ';
        }
    }
    if (np > 0) {  // a code without integer placeholders shows no integer digits
        for (char d : ip) {
            digit(static_cast<wchar_t>(d));
        }
    }
    if (sec.hasPoint) {
        out += L'.';
    }
    const std::string_view frac(fr, nFrac);
    size_t lastNonZero = frac.find_last_not_of('0');
    for (size_t pos = 0; pos < sec.fracPh.size(); ++pos) {
        bool trailing = lastNonZero == std::string_view::npos || pos > lastNonZero;
        wchar_t ph = sec.fracPh[pos];
        if (!trailing || ph == L'0') {
            out += static_cast<wchar_t>(frac[pos]);
        } else if (ph == L'?') {
            out += L' ';
        }
    }
    out += sec.suffix;
}

std::wstring RenderNumber(const Section& sec, double a, bool& anyNonZero) {
    for (int k = 0; k < sec.percent; ++k) {
        a *= 100;
    }
    for (int k = 0; k < sec.scale; ++k) {
        a /= 1000;
    }
    std::string intDigits, fracDigits, expDigits;
    bool expNeg = false;
    long num = 0, den = 0;
    bool fractionBlank = false;
    if (sec.sci) {
        Digits15 x = ToDigits(a);
        int k = std::max(sec.nInt, 1);
        int e = x.zero ? 0 : x.exp10;
        auto chooseExp = [&](int e10) {
            if (sec.nInt > 1 && sec.intHasHash) {
                int q = e10 >= 0 ? e10 / k : -((-e10 + k - 1) / k);
                return q * k;
            }
            return e10 - (sec.nInt > 0 ? k - 1 : -1);
        };
        int expo = chooseExp(e);
        int intLen = e - expo + 1;  // digits before the point
        int e2 = 0;
        std::string sig = RoundSig(x, intLen + sec.nFrac, e2);
        if (e2 != e) {
            e = e2;
            expo = chooseExp(e);
            intLen = e - expo + 1;
            sig = "1" + std::string(std::max(0, intLen + sec.nFrac - 1), '0');
        }
        if (x.zero) {
            expo = 0;
            intLen = 1;
            sig.clear();
        }
        sig.resize(static_cast<size_t>(std::max(0, intLen + sec.nFrac)), '0');
        intDigits = sig.substr(0, static_cast<size_t>(std::max(0, intLen)));
        fracDigits = sig.substr(static_cast<size_t>(std::max(0, intLen)));
        size_t nz = intDigits.find_first_not_of('0');
        intDigits = nz == std::string::npos ? std::string() : intDigits.substr(nz);
        expNeg = expo < 0;
        expDigits = std::to_string(std::abs(expo));
        if (expDigits == "0") {
            expDigits.clear();
        }
    } else if (sec.fraction) {
        double whole = sec.nInt > 0 ? std::floor(a) : 0.0;
        double f = a - whole;
        BestFraction(f, sec.nDen, sec.fixedDen, num, den);
        if (den > 0 && num >= den && sec.nInt > 0) {
            whole += static_cast<double>(num / den);
            num %= den;
        }
        std::string fr;
        Fixed(whole, 0, intDigits, fr);
        fractionBlank = num == 0 && sec.nInt > 0;
        if (fractionBlank && intDigits.empty()) {
            intDigits = "0";
        }
    } else {
        Fixed(a, sec.nFrac, intDigits, fracDigits);
    }
    anyNonZero = intDigits.find_first_not_of('0') != std::string::npos ||
                 fracDigits.find_first_not_of('0') != std::string::npos || num != 0;

    std::vector<const Token*> intSlots, expSlots, numSlots, denSlots;
    for (const Token& t : sec.toks) {
        if (t.kind != Tok::Digit) {
            continue;
        }
        if (t.part == Part::Int) {
            intSlots.push_back(&t);
        } else if (t.part == Part::ExpDigits) {
            expSlots.push_back(&t);
        } else if (t.part == Part::Num) {
            numSlots.push_back(&t);
        } else if (t.part == Part::Den) {
            denSlots.push_back(&t);
        }
    }
    std::vector<std::wstring> intFill, expFill, numFill, denFill;
    EmitDigitsRightAligned(intSlots, intDigits, intFill);
    EmitDigitsRightAligned(expSlots, expDigits, expFill);
    if (sec.fraction) {
        EmitDigitsRightAligned(numSlots, std::to_string(num), numFill);
        // Denominators are left-aligned: "3/4 " under "??/??".
        std::string denText = std::to_string(den);
        denFill.assign(denSlots.size(), std::wstring());
        for (size_t k = 0; k < denSlots.size(); ++k) {
            if (k < denText.size()) {
                denFill[k] = static_cast<wchar_t>(denText[k]);
            } else {
                denFill[k] = denSlots[k]->ch == L'0' ? L"0" : denSlots[k]->ch == L'?' ? L" " : L"";
            }
        }
        if (denText.size() > denSlots.size() && !denSlots.empty()) {
            denFill.back() += Widen(denText.substr(denSlots.size()));
        }
        if (fractionBlank) {
            for (auto* v : {&numFill, &denFill}) {
                for (auto& s : *v) {
                    s.assign(std::max<size_t>(s.size(), 1), L' ');
                }
            }
        }
    }
    // Fraction digits: '#' drops trailing zeros, '?' turns them into spaces.
    size_t lastNonZero = fracDigits.find_last_not_of('0');
    std::wstring out;
    std::wstring intRun;  // grouped formats collect the integer digits first
    size_t iInt = 0, iFrac = 0, iExp = 0, iNum = 0, iDen = 0;
    bool intFlushed = false;
    bool afterSlash = false;
    auto flushInt = [&] {
        if (!intFlushed && sec.group) {
            out += Group(intRun);
        }
        intFlushed = true;
    };
    for (const Token& t : sec.toks) {
        switch (t.kind) {
            case Tok::Digit:
                if (t.part == Part::Int) {
                    if (sec.group) {
                        intRun += intFill[iInt++];
                    } else {
                        out += intFill[iInt++];
                    }
                    continue;
                }
                flushInt();
                if (t.part == Part::Frac) {
                    size_t pos = iFrac++;
                    bool trailing = lastNonZero == std::string::npos || pos > lastNonZero;
                    if (!trailing || t.ch == L'0') {
                        out += static_cast<wchar_t>(fracDigits[pos]);
                    } else if (t.ch == L'?') {
                        out += L' ';
                    }
                } else if (t.part == Part::ExpDigits) {
                    out += expFill[iExp++];
                } else if (t.part == Part::Num) {
                    out += numFill[iNum++];
                } else {
                    out += denFill[iDen++];
                }
                break;
            case Tok::Point:
                flushInt();
                out += L'.';
                break;
            case Tok::Exp:
                flushInt();
                out += L'E';
                if (expNeg) {
                    out += L'-';
                } else if (t.ch == L'+') {
                    out += L'+';
                }
                break;
            case Tok::Slash:
                flushInt();
                afterSlash = true;
                out += fractionBlank ? L' ' : L'/';
                break;
            case Tok::Lit:
                if (sec.group && !intFlushed && !intRun.empty()) {
                    flushInt();
                }
                if (fractionBlank && afterSlash && sec.fixedDen > 0 && iDen == 0) {
                    // A written denominator vanishes with the fraction it belongs to.
                    out.append(t.text.size(), L' ');
                    afterSlash = false;
                    break;
                }
                out += t.text;
                break;
            case Tok::General:
                flushInt();
                out += GeneralNumber(a);
                break;
            default:
                break;
        }
    }
    flushInt();
    return out;
}

}  // namespace calc::format
