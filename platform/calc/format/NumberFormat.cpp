// Number format codes: parsed once into sections of tokens, then rendered per value.
#include "platform/calc/format/NumberFormat.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cwctype>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace calc::format {
namespace {

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

}  // namespace

// Named so that a ValueFormatter can hold one; the sections stay private here.
struct ParsedFormat {
    bool general = false;
    std::vector<Section> sections;
    int textSection = -1;
    std::vector<int> numSections;  // indices of the sections that show numbers
};

namespace {

using Parsed = ParsedFormat;

wchar_t Lower(wchar_t c) {
    return static_cast<wchar_t>(std::towlower(static_cast<wint_t>(c)));
}

bool IEquals(const std::wstring& a, size_t pos, const wchar_t* word) {
    for (size_t i = 0; word[i]; ++i) {
        if (pos + i >= a.size() || Lower(a[pos + i]) != Lower(word[i])) {
            return false;
        }
    }
    return true;
}

void AddLit(std::vector<Token>& toks, const std::wstring& s) {
    if (s.empty()) {
        return;
    }
    if (!toks.empty() && toks.back().kind == Tok::Lit) {
        toks.back().text += s;
        return;
    }
    Token t;
    t.kind = Tok::Lit;
    t.text = s;
    toks.push_back(std::move(t));
}

void AddTok(std::vector<Token>& toks, Tok kind, int n = 0, wchar_t ch = 0) {
    Token t;
    t.kind = kind;
    t.n = n;
    t.ch = ch;
    toks.push_back(std::move(t));
}

bool IsDateTok(Tok k) {
    return k >= Tok::Year2 && k <= Tok::ElapsedS;
}
bool IsHourTok(Tok k) {
    return k == Tok::Hour1 || k == Tok::Hour2 || k == Tok::ElapsedH;
}
bool IsSecTok(Tok k) {
    return k == Tok::Sec1 || k == Tok::Sec2 || k == Tok::ElapsedS;
}

// Bracketed block: colours and locale tags vanish, [$sym-lcid] keeps the symbol,
// [h]/[m]/[s] are elapsed-time tokens. Conditions are not supported and are dropped.
size_t ParseBracket(const std::wstring& s, size_t i, Section& sec) {
    size_t close = s.find(L']', i);
    if (close == std::wstring::npos) {
        AddLit(sec.toks, s.substr(i));
        return s.size();
    }
    std::wstring body = s.substr(i + 1, close - i - 1);
    if (!body.empty() && body[0] == L'$') {
        size_t dash = body.find(L'-');
        std::wstring sym = body.substr(1, dash == std::wstring::npos ? std::wstring::npos : dash - 1);
        if (!sym.empty()) {
            AddLit(sec.toks, sym);
            sec.currency = true;
        }
        return close + 1;
    }
    if (!body.empty()) {
        wchar_t c0 = Lower(body[0]);
        bool same = true;
        for (wchar_t c : body) {
            same = same && Lower(c) == c0;
        }
        if (same && (c0 == L'h' || c0 == L'm' || c0 == L's')) {
            AddTok(sec.toks,
                   c0 == L'h'   ? Tok::ElapsedH
                   : c0 == L'm' ? Tok::ElapsedM
                                : Tok::ElapsedS,
                   static_cast<int>(body.size()));
            sec.hasTime = true;
        }
    }
    return close + 1;
}

void DetectSimple(Section& sec) {
    if (sec.sci || sec.fraction || sec.hasText || sec.hasGeneral) {
        return;
    }
    int state = 0;  // 0 prefix, 1 integer digits, 2 fraction digits, 3 suffix
    for (const Token& t : sec.toks) {
        if (t.kind == Tok::Lit) {
            (state == 0 ? sec.prefix : sec.suffix) += t.text;
            if (state > 0) {
                state = 3;
            }
        } else if (t.kind == Tok::Digit && t.part == Part::Int && state <= 1) {
            state = 1;
            sec.intPh += t.ch;
        } else if (t.kind == Tok::Point && state <= 1) {
            state = 2;
            sec.hasPoint = true;
        } else if (t.kind == Tok::Digit && t.part == Part::Frac && state == 2) {
            sec.fracPh += t.ch;
        } else {
            sec.prefix.clear();
            sec.suffix.clear();
            sec.intPh.clear();
            sec.fracPh.clear();
            sec.hasPoint = false;
            return;
        }
    }
    sec.simple = true;
}

Section ParseSection(const std::wstring& s) {
    Section sec;
    auto& toks = sec.toks;
    size_t i = 0;
    const size_t n = s.size();
    auto runOf = [&](size_t at, wchar_t lower) {
        size_t j = at;
        while (j < n && Lower(s[j]) == lower) {
            ++j;
        }
        return j - at;
    };
    while (i < n) {
        wchar_t c = s[i];
        wchar_t lc = Lower(c);
        if (c == L'"') {
            size_t close = s.find(L'"', i + 1);
            if (close == std::wstring::npos) {
                close = n;
            }
            AddLit(toks, s.substr(i + 1, close - i - 1));
            i = close + 1;
        } else if (c == L'\\') {
            if (i + 1 < n) {
                AddLit(toks, std::wstring(1, s[i + 1]));
            }
            i += 2;
        } else if (c == L'_') {
            AddLit(toks, L" ");
            i += 2;
        } else if (c == L'*') {
            i += 2;  // fill character: widens to the column, contributes nothing here
        } else if (c == L'[') {
            i = ParseBracket(s, i, sec);
        } else if (IEquals(s, i, L"general")) {
            AddTok(toks, Tok::General);
            sec.hasGeneral = true;
            i += 7;
        } else if (IEquals(s, i, L"am/pm") || IEquals(s, i, L"a/p")) {
            size_t len = IEquals(s, i, L"am/pm") ? 5 : 3;
            Token t;
            t.kind = Tok::AmPm;
            t.text = s.substr(i, len);
            toks.push_back(std::move(t));
            sec.hasAmPm = sec.hasTime = true;
            i += len;
        } else if (c == L'0' || c == L'#' || c == L'?') {
            AddTok(toks, Tok::Digit, 0, c);
            ++i;
        } else if (c == L'.') {
            // After seconds, ".00" is a fraction of the second.
            bool afterSec = false;
            for (auto it = toks.rbegin(); it != toks.rend(); ++it) {
                if (IsDateTok(it->kind)) {
                    afterSec = IsSecTok(it->kind);
                    break;
                }
            }
            size_t zeros = 0;
            while (i + 1 + zeros < n && s[i + 1 + zeros] == L'0') {
                ++zeros;
            }
            if (afterSec && zeros > 0) {
                AddTok(toks, Tok::SubSec, static_cast<int>(std::min<size_t>(zeros, 3)));
                i += 1 + zeros;
            } else {
                AddTok(toks, Tok::Point);
                ++i;
            }
        } else if ((c == L'E' || c == L'e') && i + 1 < n && (s[i + 1] == L'+' || s[i + 1] == L'-')) {
            AddTok(toks, Tok::Exp, 0, s[i + 1]);
            i += 2;
        } else if (c == L',') {
            AddTok(toks, Tok::Comma);
            ++i;
        } else if (c == L'%') {
            ++sec.percent;
            AddLit(toks, L"%");
            ++i;
        } else if (c == L'@') {
            AddTok(toks, Tok::At);
            sec.hasText = true;
            ++i;
        } else if (c == L'/') {
            AddTok(toks, Tok::Slash);
            ++i;
        } else if (lc == L'y' || lc == L'e') {
            size_t r = runOf(i, lc);
            AddTok(toks, (lc == L'e' || r > 2) ? Tok::Year4 : Tok::Year2);
            sec.hasDate = true;
            i += r;
        } else if (lc == L'd') {
            size_t r = runOf(i, lc);
            AddTok(toks, r == 1 ? Tok::Day1 : r == 2 ? Tok::Day2 : r == 3 ? Tok::Day3 : Tok::Day4);
            sec.hasDate = true;
            i += r;
        } else if (lc == L'm') {
            size_t r = runOf(i, lc);
            AddTok(toks, r == 1   ? Tok::MonthOrMin1
                         : r == 2 ? Tok::MonthOrMin2
                         : r == 3 ? Tok::Month3
                         : r == 4 ? Tok::Month4
                                  : Tok::Month5);
            i += r;
        } else if (lc == L'h') {
            size_t r = runOf(i, lc);
            AddTok(toks, r == 1 ? Tok::Hour1 : Tok::Hour2);
            sec.hasTime = true;
            i += r;
        } else if (lc == L's') {
            size_t r = runOf(i, lc);
            AddTok(toks, r == 1 ? Tok::Sec1 : Tok::Sec2);
            sec.hasTime = true;
            i += r;
        } else {
            if (c == L'$') {
                sec.currency = true;
            }
            AddLit(toks, std::wstring(1, c));
            ++i;
        }
    }

    // m / mm: minutes next to an hour (before) or seconds (after) token, else month.
    for (size_t k = 0; k < toks.size(); ++k) {
        Tok kind = toks[k].kind;
        if (kind != Tok::MonthOrMin1 && kind != Tok::MonthOrMin2) {
            continue;
        }
        bool minute = false;
        for (size_t j = k; j-- > 0;) {
            if (IsDateTok(toks[j].kind)) {
                minute = IsHourTok(toks[j].kind);
                break;
            }
        }
        if (!minute) {
            for (size_t j = k + 1; j < toks.size(); ++j) {
                if (IsDateTok(toks[j].kind)) {
                    minute = IsSecTok(toks[j].kind);
                    break;
                }
            }
        }
        bool one = kind == Tok::MonthOrMin1;
        toks[k].kind = minute ? (one ? Tok::Min1 : Tok::Min2) : (one ? Tok::Month1 : Tok::Month2);
        (minute ? sec.hasTime : sec.hasDate) = true;
    }
    for (const Token& t : toks) {
        if (t.kind == Tok::Month3 || t.kind == Tok::Month4 || t.kind == Tok::Month5) {
            sec.hasDate = true;
        }
        if (t.kind == Tok::SubSec) {
            sec.subSecDigits = std::max(sec.subSecDigits, t.n);
        }
    }
    sec.isDate = sec.hasDate || sec.hasTime;
    if (sec.isDate) {
        // Number-only tokens mean nothing in a date section; show them as typed.
        for (Token& t : toks) {
            if (t.kind == Tok::Digit) {
                t.kind = Tok::Lit;
                t.text = std::wstring(1, t.ch);
            } else if (t.kind == Tok::Point || t.kind == Tok::Comma || t.kind == Tok::Slash) {
                wchar_t ch = t.kind == Tok::Point ? L'.' : t.kind == Tok::Comma ? L',' : L'/';
                t.kind = Tok::Lit;
                t.text = std::wstring(1, ch);
            } else if (t.kind == Tok::Exp) {
                t.kind = Tok::Lit;
                t.text = std::wstring(1, L'E') + t.ch;
            }
        }
        return sec;
    }

    // Number section: fraction bar, parts of each placeholder, commas.
    int slash = -1;
    for (size_t k = 0; k < toks.size(); ++k) {
        if (toks[k].kind == Tok::Slash) {
            bool before = k > 0 && toks[k - 1].kind == Tok::Digit;
            bool after =
                k + 1 < toks.size() && (toks[k + 1].kind == Tok::Digit ||
                                        (toks[k + 1].kind == Tok::Lit && std::iswdigit(toks[k + 1].text[0])));
            if (before && after && slash < 0) {
                slash = static_cast<int>(k);
            } else {
                toks[k].kind = Tok::Lit;
                toks[k].text = L"/";
            }
        }
    }
    if (slash >= 0) {
        sec.fraction = true;
        // Numerator: the digit run right before the bar; whole part: digits before that.
        int k = slash - 1;
        while (k >= 0 && toks[k].kind == Tok::Digit) {
            toks[k].part = Part::Num;
            ++sec.nNum;
            --k;
        }
        for (int j = 0; j <= k; ++j) {
            if (toks[j].kind == Tok::Digit) {
                toks[j].part = Part::Int;
                ++sec.nInt;
            }
        }
        size_t j = slash + 1;
        if (toks[j].kind == Tok::Lit) {
            sec.fixedDen = std::clamp(std::wcstol(toks[j].text.c_str(), nullptr, 10), 0L, 1000000000L);
        }
        for (; j < toks.size(); ++j) {
            if (toks[j].kind == Tok::Digit) {
                toks[j].part = Part::Den;
                ++sec.nDen;
            }
        }
    } else {
        Part part = Part::Int;
        for (Token& t : toks) {
            if (t.kind == Tok::Point && part == Part::Int) {
                part = Part::Frac;
            } else if (t.kind == Tok::Point) {
                t.kind = Tok::Lit;
                t.text = L".";
            } else if (t.kind == Tok::Exp) {
                if (sec.sci) {
                    t.kind = Tok::Lit;
                    t.text = std::wstring(1, L'E') + t.ch;
                } else {
                    sec.sci = true;
                    part = Part::ExpDigits;
                }
            } else if (t.kind == Tok::Digit) {
                t.part = part;
                if (part == Part::Int) {
                    ++sec.nInt;
                    sec.intHasHash = sec.intHasHash || t.ch == L'#';
                } else if (part == Part::Frac) {
                    ++sec.nFrac;
                } else {
                    ++sec.nExp;
                }
            }
        }
    }
    // Commas: between integer placeholders they group; a run right after the last
    // digit placeholder before the point (or the end) scales by 1000 each.
    std::vector<Token> out;
    out.reserve(toks.size());
    for (size_t k = 0; k < toks.size(); ++k) {
        if (toks[k].kind != Tok::Comma) {
            out.push_back(std::move(toks[k]));
            continue;
        }
        size_t e = k;
        while (e < toks.size() && toks[e].kind == Tok::Comma) {
            ++e;
        }
        bool prevDigit = k > 0 && toks[k - 1].kind == Tok::Digit;
        bool nextDigit = e < toks.size() && toks[e].kind == Tok::Digit && toks[e].part == Part::Int;
        if (prevDigit && nextDigit && toks[k - 1].part == Part::Int) {
            sec.group = true;
        } else if (prevDigit && !nextDigit &&
                   (toks[k - 1].part == Part::Int || toks[k - 1].part == Part::Frac)) {
            sec.scale += static_cast<int>(e - k);
        } else {
            for (size_t j = k; j < e; ++j) {
                AddLit(out, L",");
            }
        }
        k = e - 1;
    }
    sec.toks = std::move(out);
    DetectSimple(sec);
    return sec;
}

std::unique_ptr<Parsed> Parse(const std::wstring& code) {
    auto p = std::make_unique<Parsed>();
    std::vector<std::wstring> parts;
    std::wstring cur;
    bool inQuote = false, inBracket = false;
    for (size_t i = 0; i < code.size(); ++i) {
        wchar_t c = code[i];
        if (inQuote) {
            inQuote = c != L'"';
        } else if (inBracket) {
            inBracket = c != L']';
        } else if (c == L'"') {
            inQuote = true;
        } else if (c == L'[') {
            inBracket = true;
        } else if ((c == L'\\' || c == L'_' || c == L'*') && i + 1 < code.size()) {
            cur += c;
            c = code[++i];
        } else if (c == L';') {
            parts.push_back(std::move(cur));
            cur.clear();
            continue;
        }
        cur += c;
    }
    parts.push_back(std::move(cur));
    if (parts.size() > 4) {
        parts.resize(4);
    }
    if (parts.size() == 1 &&
        (parts[0].empty() || (parts[0].size() == 7 && IEquals(parts[0], 0, L"general")))) {
        p->general = true;
    }
    for (const auto& s : parts) {
        p->sections.push_back(ParseSection(s));
    }
    if (p->sections.size() == 4) {
        p->textSection = 3;
    } else {
        for (size_t i = 0; i < p->sections.size(); ++i) {
            if (p->sections[i].hasText) {
                p->textSection = static_cast<int>(i);
                break;
            }
        }
    }
    for (size_t i = 0; i < p->sections.size() && p->numSections.size() < 3; ++i) {
        if (static_cast<int>(i) != p->textSection) {
            p->numSections.push_back(static_cast<int>(i));
        }
    }
    return p;
}

// Parsed codes are kept for the life of the process (bounded); the engine asks for
// the same few codes once per cell.
std::shared_ptr<const Parsed> LookupShared(const std::wstring& code) {
    constexpr size_t kMaxCached = 4096;
    struct Cache {
        std::mutex mu;
        std::unordered_map<std::wstring, std::shared_ptr<const Parsed>> map;
    };
    static Cache cache;
    std::shared_ptr<const Parsed> found;
    {
        std::lock_guard<std::mutex> lock(cache.mu);
        auto it = cache.map.find(code);
        if (it != cache.map.end()) {
            found = it->second;
        }
    }
    if (!found) {
        found = std::shared_ptr<const Parsed>(Parse(code));
        std::lock_guard<std::mutex> lock(cache.mu);
        if (cache.map.size() >= kMaxCached) {
            cache.map.clear();  // held entries stay alive through their shared_ptr
        }
        cache.map.emplace(code, found);
    }
    return found;
}

const Parsed& Lookup(const std::wstring& code) {
    thread_local std::wstring lastCode;
    thread_local std::shared_ptr<const Parsed> last;
    if (last && lastCode == code) {
        return *last;
    }
    last = LookupShared(code);
    lastCode = code;
    return *last;
}

// ---------------------------------------------------------------- decimal digits

// |v| to 15 significant digits: value = 0.D * 10^(exp10 + 1), D = 15 digits.
struct Digits15 {
    char d[16] = {};
    int exp10 = 0;  // exponent of the first digit
    bool zero = true;
};

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
constexpr size_t kMaxQuickDecimals = 9;
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

void FixedDigits(const Digits15& x, int decimals, std::string& intPart, std::string& frac) {
    intPart.resize(FixedIntRoom(x));
    frac.resize(static_cast<size_t>(std::max(decimals, 0)));
    intPart.resize(FixedInto(x, decimals, intPart.data(), frac.data()));
}

void Fixed(double a, int decimals, std::string& intPart, std::string& frac) {
    FixedDigits(ToDigits(a), decimals, intPart, frac);
}

std::wstring Widen(const std::string& s) {
    return std::wstring(s.begin(), s.end());
}

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

std::wstring GeneralNumber(double v) {
    if (std::isnan(v) || std::isinf(v)) {
        return L"#NUM!";
    }
    if (v == 0) {
        return L"0";
    }
    double a = std::fabs(v);
    if (a < 1e11 && a == std::floor(a)) {
        char buf[24];
        auto res = std::to_chars(buf, buf + sizeof buf, static_cast<long long>(v));
        return std::wstring(buf, res.ptr);
    }
    const Digits15 x = ToDigits(a);
    const int e = x.exp10;
    std::string out;
    if (e >= 11 || e <= -10) {
        out = SciGeneral(x);
    } else if (e >= -4 && e <= -1) {
        out = FixedString(x, 9);
    } else if (e == 10) {
        out = FixedString(x, 0);
    } else {
        out = FixedString(x, 12);
        if (out.size() > 11) {
            out = FixedString(x, std::max(0, 9 - e));
        }
    }
    // Too long even so (tiny values, or rounding that carried into a twelfth digit).
    if (out.size() > 11) {
        out = SciGeneral(x);
    }
    std::wstring w;
    w.reserve(out.size() + 1);
    if (v < 0) {
        w += L'-';
    }
    w.append(out.begin(), out.end());
    return w;
}

// ---------------------------------------------------------------- numbers

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

// ---------------------------------------------------------------- dates

const wchar_t* const kMonths[] = {L"January",   L"February", L"March",    L"April",
                                  L"May",       L"June",     L"July",     L"August",
                                  L"September", L"October",  L"November", L"December"};
const wchar_t* const kDays[] = {L"Sunday",   L"Monday", L"Tuesday", L"Wednesday",
                                L"Thursday", L"Friday", L"Saturday"};

struct Ymd {
    int y, m, d;
};

// Serial day (1900 system, with its fictitious 29 February 1900) to a calendar date.
Ymd SerialToDate(long serial) {
    if (serial == 0) {
        return {1900, 1, 0};
    }
    if (serial == 60) {
        return {1900, 2, 29};
    }
    if (serial < 60) {
        return serial <= 31 ? Ymd{1900, 1, static_cast<int>(serial)}
                            : Ymd{1900, 2, static_cast<int>(serial - 31)};
    }
    // Days since 1899-12-30 -> civil date (proleptic Gregorian).
    long z = serial - 25569 + 719468;  // 25569 = serial of 1970-01-01
    long era = (z >= 0 ? z : z - 146096) / 146097;
    long doe = z - era * 146097;
    long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    long y = yoe + era * 400;
    long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    long mp = (5 * doy + 2) / 153;
    long d = doy - (153 * mp + 2) / 5 + 1;
    long m = mp < 10 ? mp + 3 : mp - 9;
    return {static_cast<int>(y + (m <= 2)), static_cast<int>(m), static_cast<int>(d)};
}

void AppendInt(std::wstring& out, long long v) {
    char buf[24];
    auto res = std::to_chars(buf, buf + sizeof buf, v);
    out.append(buf, res.ptr);
}

void Pad2(std::wstring& out, long v) {
    if (v < 10) {
        out += L'0';
    }
    AppendInt(out, v);
}

std::wstring RenderDate(const Section& sec, double v) {
    constexpr double kMaxSerial = 2958466.0;  // 10000-01-01
    if (v < 0 || v >= kMaxSerial || std::isnan(v)) {
        return L"########";
    }
    // Round to the smallest unit shown: whole seconds, or the fraction digits after them.
    long long unitsPerSec = 1;
    for (int k = 0; k < sec.subSecDigits; ++k) {
        unitsPerSec *= 10;
    }
    const long long unitsPerDay = 86400LL * unitsPerSec;
    double dayPart = std::floor(v);
    long long units = std::llround((v - dayPart) * static_cast<double>(unitsPerDay));
    long long day = static_cast<long long>(dayPart);
    if (units >= unitsPerDay) {
        units -= unitsPerDay;
        ++day;
    }
    long long secs = units / unitsPerSec;
    long long sub = units % unitsPerSec;
    int hour = static_cast<int>(secs / 3600);
    int minute = static_cast<int>(secs / 60 % 60);
    int second = static_cast<int>(secs % 60);
    Ymd ymd = SerialToDate(static_cast<long>(day));
    int weekday = static_cast<int>((day + 6) % 7);

    std::wstring out;
    out.reserve(32);
    for (const Token& t : sec.toks) {
        switch (t.kind) {
            case Tok::Lit:
                out += t.text;
                break;
            case Tok::Year2:
                Pad2(out, ymd.y % 100);
                break;
            case Tok::Year4:
                AppendInt(out, ymd.y);
                break;
            case Tok::Month1:
                AppendInt(out, ymd.m);
                break;
            case Tok::Month2:
                Pad2(out, ymd.m);
                break;
            case Tok::Month3:
                out.append(kMonths[ymd.m - 1], 3);
                break;
            case Tok::Month4:
                out += kMonths[ymd.m - 1];
                break;
            case Tok::Month5:
                out += kMonths[ymd.m - 1][0];
                break;
            case Tok::Day1:
                AppendInt(out, ymd.d);
                break;
            case Tok::Day2:
                Pad2(out, ymd.d);
                break;
            case Tok::Day3:
                out.append(kDays[weekday], 3);
                break;
            case Tok::Day4:
                out += kDays[weekday];
                break;
            case Tok::Hour1:
            case Tok::Hour2: {
                int h = hour;
                if (sec.hasAmPm) {
                    h = hour % 12 == 0 ? 12 : hour % 12;
                }
                if (t.kind == Tok::Hour2) {
                    Pad2(out, h);
                } else {
                    AppendInt(out, h);
                }
                break;
            }
            case Tok::Min1:
                AppendInt(out, minute);
                break;
            case Tok::Min2:
                Pad2(out, minute);
                break;
            case Tok::Sec1:
                AppendInt(out, second);
                break;
            case Tok::Sec2:
                Pad2(out, second);
                break;
            case Tok::SubSec: {
                std::wstring digits = std::to_wstring(sub);
                digits.insert(0, static_cast<size_t>(sec.subSecDigits) - digits.size(), L'0');
                out += L'.';
                out += digits.substr(0, static_cast<size_t>(t.n));
                break;
            }
            case Tok::AmPm: {
                bool pm = hour >= 12;
                if (t.text.size() == 5) {
                    // Prints the half of "AM/PM" that applies, in the case it was written.
                    out += pm ? t.text.substr(3, 2) : t.text.substr(0, 2);
                } else {
                    out += pm ? t.text[2] : t.text[0];
                }
                break;
            }
            case Tok::ElapsedH:
            case Tok::ElapsedM:
            case Tok::ElapsedS: {
                long long total = day * 86400LL + secs;
                long long val = t.kind == Tok::ElapsedH   ? total / 3600
                                : t.kind == Tok::ElapsedM ? total / 60
                                                          : total;
                std::wstring s = std::to_wstring(val);
                if (static_cast<int>(s.size()) < t.n) {
                    s.insert(0, static_cast<size_t>(t.n) - s.size(), L'0');
                }
                out += s;
                break;
            }
            default:
                break;
        }
    }
    return out;
}

FormatClass ClassifySection(const Section& s) {
    if (s.hasDate && s.hasTime) {
        return FormatClass::DateTime;
    }
    if (s.hasDate) {
        return FormatClass::Date;
    }
    if (s.hasTime) {
        return FormatClass::Time;
    }
    if (s.hasText) {
        return FormatClass::Text;
    }
    if (s.hasGeneral) {
        return FormatClass::General;
    }
    if (s.percent > 0) {
        return FormatClass::Percent;
    }
    if (s.currency) {
        return FormatClass::Currency;
    }
    if (s.nInt + s.nFrac + s.nNum > 0) {
        return FormatClass::Number;
    }
    return FormatClass::Other;
}

}  // namespace

FormatClass Classify(const std::wstring& formatCode) {
    const Parsed& p = Lookup(formatCode);
    if (p.general) {
        return FormatClass::General;
    }
    return ClassifySection(p.sections.front());
}

bool IsDateTimeFormat(const std::wstring& formatCode) {
    const Parsed& p = Lookup(formatCode);
    for (int i : p.numSections) {
        if (p.sections[i].isDate) {
            return true;
        }
    }
    return false;
}

namespace {

void FormatParsed(double value, const Parsed& p, std::wstring& out) {
    out.clear();
    if (p.general || p.numSections.empty()) {
        out += GeneralNumber(value);
        return;
    }
    if (std::isnan(value) || std::isinf(value)) {
        out += L"#NUM!";
        return;
    }
    const auto& ns = p.numSections;
    const Section* sec = &p.sections[ns[0]];
    bool autoMinus = false;
    if (ns.size() == 1) {
        autoMinus = value < 0;
    } else if (value < 0) {
        sec = &p.sections[ns[1]];
    } else if (value == 0 && ns.size() >= 3) {
        sec = &p.sections[ns[2]];
    }
    if (sec->empty()) {
        return;
    }
    if (sec->isDate) {
        out += autoMinus ? std::wstring(L"########") : RenderDate(*sec, std::fabs(value));
        return;
    }
    if (autoMinus) {
        out += L'-';
    }
    if (sec->hasGeneral && sec->toks.size() == 1) {
        out += GeneralNumber(std::fabs(value));
        return;
    }
    double a = std::fabs(value);
    if (sec->simple) {
        for (int k = 0; k < sec->percent; ++k) {
            a *= 100;
        }
        for (int k = 0; k < sec->scale; ++k) {
            a /= 1000;
        }
        RenderSimple(*sec, a, out);
        return;
    }
    bool anyNonZero = false;
    out += RenderNumber(*sec, a, anyNonZero);
}

}  // namespace

std::wstring FormatValue(double value, const std::wstring& formatCode) {
    std::wstring out;
    FormatParsed(value, Lookup(formatCode), out);
    return out;
}

ValueFormatter::ValueFormatter(const std::wstring& formatCode) : parsed_(LookupShared(formatCode)) {}

void ValueFormatter::format(double value, std::wstring& out) const {
    FormatParsed(value, *parsed_, out);
}

std::wstring FormatText(const std::wstring& text, const std::wstring& formatCode) {
    const Parsed& p = Lookup(formatCode);
    if (p.general || p.textSection < 0) {
        return text;
    }
    return RenderText(p.sections[p.textSection], text);
}

}  // namespace calc::format
