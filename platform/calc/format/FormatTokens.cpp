// Format codes tokenised into sections: literals, digit placeholders, date
// and time tokens, brackets, and the shape of a section.
#include <algorithm>
#include <cwctype>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/calc/format/FormatCode.h"

namespace calc::format {
namespace {

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

// The tokens of a section's text, with the flags the tokens themselves set.
Section TokenizeSection(const std::wstring& s) {
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
    return sec;
}

// m and mm are minutes next to an hour (before) or seconds (after) token,
// else months; the section's date and time flags follow from its tokens.
void ResolveDateTokens(Section& sec) {
    auto& toks = sec.toks;
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
}

// Number-only tokens mean nothing in a date section; they show as typed.
void ShowNumberTokensAsTyped(Section& sec) {
    for (Token& t : sec.toks) {
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
}

// A number section's fraction bar, and the part (integer, fraction,
// exponent, numerator, denominator) of each digit placeholder.
void MarkNumberParts(Section& sec) {
    auto& toks = sec.toks;
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
}

// Commas: between integer placeholders they group; a run right after the last
// digit placeholder before the point (or the end) scales by 1000 each; any
// other comma is shown as typed.
void ResolveCommas(Section& sec) {
    auto& toks = sec.toks;
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
}

Section ParseSection(const std::wstring& s) {
    Section sec = TokenizeSection(s);
    ResolveDateTokens(sec);
    if (sec.isDate) {
        ShowNumberTokensAsTyped(sec);
        return sec;
    }
    MarkNumberParts(sec);
    ResolveCommas(sec);
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

}  // namespace

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

}  // namespace calc::format
