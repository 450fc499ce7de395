#include "parser/parse/KVExcelFileFieldInfoToken.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cwchar>

#include "parser/parse/KVTextFile.h"

namespace {

constexpr std::wstring_view kOpen = L"[[";
constexpr std::wstring_view kClose = L"]]";
constexpr std::size_t kNumberFieldLength = 19;

bool StyleIs(wchar_t c, wchar_t upper) {
    return c == upper || c == static_cast<wchar_t>(upper + 32);
}

// The first `first` followed by `second`. The library's search for two
// characters makes two calls per candidate: on stretches as short as the
// parts of a header a plain loop is much cheaper.
std::size_t FindTwo(std::wstring_view s, wchar_t first, wchar_t second) {
    const wchar_t* p = s.data();
    const std::size_t n = s.size();
    for (std::size_t i = 0; i + 1 < n; ++i) {
        if (p[i] == first && p[i + 1] == second) {
            return i;
        }
    }
    return std::wstring_view::npos;
}

// The first "cc" in `s`. For the text of a run, which is longer and seldom
// holds `c` at all: the library scans for one character fastest.
std::size_t FindPair(std::wstring_view s, wchar_t c) {
    std::size_t from = 0;
    while (s.size() - from >= 2) {
        const wchar_t* hit = std::wmemchr(s.data() + from, c, s.size() - from - 1);
        if (hit == nullptr) {
            break;
        }
        const auto at = static_cast<std::size_t>(hit - s.data());
        if (s[at + 1] == c) {
            return at;
        }
        from = at + 2;  // s[at + 1] is not `c`, so no pair starts there
    }
    return std::wstring_view::npos;
}

std::size_t FindOne(std::wstring_view s, wchar_t c) {
    const wchar_t* p = s.data();
    const std::size_t n = s.size();
    for (std::size_t i = 0; i < n; ++i) {
        if (p[i] == c) {
            return i;
        }
    }
    return std::wstring_view::npos;
}

// Kept inline: the header parser reads five numbers from every run.
inline int ReadNumber(std::wstring_view text, std::size_t pos) {
    if (pos >= text.size()) {
        return 0;
    }
    const std::wstring_view field = text.substr(pos, kNumberFieldLength);
    std::size_t i = 0;
    while (i < field.size() && KVIsBlank(field[i])) {
        ++i;
    }
    bool negative = false;
    if (i < field.size() && (field[i] == L'+' || field[i] == L'-')) {
        negative = field[i] == L'-';
        ++i;
    }
    std::int64_t value = 0;
    constexpr std::int64_t kCap = static_cast<std::int64_t>(INT_MAX) + 1;
    for (; i < field.size() && field[i] >= L'0' && field[i] <= L'9'; ++i) {
        value = value * 10 + (field[i] - L'0');
        if (value > kCap) {
            value = kCap;
        }
    }
    if (negative) {
        return static_cast<int>(-value);  // -2^31 at most, which fits
    }
    return value > INT_MAX ? INT_MAX : static_cast<int>(value);
}

// A header exactly as the printer driver writes it: [[N1,N2,N3,N4][N5][sss][name]]
// with plain numbers of at most nine digits, a three-character style and no
// "]" in the style or the name.
struct PlainHeader {
    int n[5];
    wchar_t style[3];
    std::wstring_view name;
    std::size_t nEnd;  // just past the closing "]]"
};

// Reads a plain header starting at the "[[" at `pos`. For such a header the
// general reading finds each of its parts in the header itself, so the two
// agree; anything else is left to the general reading.
bool ReadPlainHeader(std::wstring_view line, std::size_t pos, PlainHeader& header) {
    // What closes each number: N1..N3 a comma, N4 and N5 "][".
    static constexpr wchar_t kAfter[5][2] = {{L',', 0}, {L',', 0}, {L',', 0}, {L']', L'['}, {L']', L'['}};
    const wchar_t* p = line.data();
    const std::size_t n = line.size();
    pos += kOpen.size();
    for (std::size_t k = 0; k < 5; ++k) {
        const bool negative = pos < n && p[pos] == L'-';
        if (negative) {
            ++pos;
        }
        const std::size_t first = pos;
        int magnitude = 0;
        for (; pos < n && pos - first < 9 && p[pos] >= L'0' && p[pos] <= L'9'; ++pos) {
            magnitude = magnitude * 10 + (p[pos] - L'0');
        }
        // Ten digits or more may saturate: left to the general reading.
        if (pos == first || n - pos < 2 || p[pos] != kAfter[k][0]) {
            return false;
        }
        ++pos;
        if (kAfter[k][1] != 0 && p[pos++] != kAfter[k][1]) {
            return false;
        }
        header.n[k] = negative ? -magnitude : magnitude;
    }
    if (n - pos < 5 || p[pos] == L']' || p[pos + 1] == L']' || p[pos + 2] == L']' || p[pos + 3] != L']' ||
        p[pos + 4] != L'[') {
        return false;
    }
    header.style[0] = p[pos];
    header.style[1] = p[pos + 1];
    header.style[2] = p[pos + 2];
    pos += 5;
    const std::size_t name = pos;
    while (pos < n && p[pos] != L']') {
        ++pos;
    }
    if (n - pos < 2 || p[pos + 1] != L']') {
        return false;
    }
    header.name = line.substr(name, pos - name);
    header.nEnd = pos + kClose.size();
    return true;
}

}  // namespace

int KVReadHeaderNumber(std::wstring_view text, std::size_t pos) {
    return ReadNumber(text, pos);
}

KVExcelFileFieldInfoToken::KVExcelFileFieldInfoToken() {
    Reset();
}

KVExcelFileFieldInfoToken::~KVExcelFileFieldInfoToken() = default;

void KVExcelFileFieldInfoToken::Reset() {
    m_nLineIndex = -1;
    m_nColumnKey = -1;
    m_nN3 = -1;
    m_nN2 = -1;
    m_nN4 = -1;
    m_bBold = false;
    m_bUnderline = false;
    m_bItalic = false;
    m_nN5 = -1;
    m_strName.clear();
    m_strText.clear();
}

bool KVExcelFileFieldInfoToken::ParseLine(int nLineIndex, std::wstring& strLine) {
    std::wstring_view rest(strLine);
    const bool ok = ParseLine(nLineIndex, rest);
    if (rest.empty()) {
        strLine.clear();
    } else {
        const auto offset = static_cast<std::size_t>(rest.data() - strLine.data());
        const std::size_t length = rest.size();
        strLine.erase(offset + length);
        strLine.erase(0, offset);
    }
    return ok;
}

bool KVExcelFileFieldInfoToken::ParseLine(int nLineIndex, std::wstring_view& line) {
    if (line.empty()) {
        return false;
    }
    const std::size_t open = FindTwo(line, L'[', L'[');
    if (open == std::wstring_view::npos) {
        return false;
    }
    // Nearly every header is plain and read in one pass; the general reading
    // below looks at each header three times over.
    PlainHeader plain{};
    const bool isPlain = ReadPlainHeader(line, open, plain) &&
                         FindTwo(line.substr(0, open), L']', L']') == std::wstring_view::npos;
    std::size_t headerEnd = plain.nEnd;
    if (!isPlain) {
        const std::size_t close = FindTwo(line, L']', L']');
        if (close == std::wstring_view::npos || close < open) {
            // An unterminated header, or a stray "]]" ahead of the first
            // header: nothing on this line can be trusted to be a run.
            line = {};
            return false;
        }
        headerEnd = close + kClose.size();
    }
    std::wstring_view rest = line.substr(headerEnd);
    const std::size_t next = FindPair(rest, L'[');
    // The text of a run ends at the next header. Text after the last header
    // is taken whole, even when it holds "]]": nothing after it could be a
    // header, so cutting it would only lose printed characters.
    const std::wstring_view text = KVTrim(next == std::wstring_view::npos ? rest : rest.substr(0, next));
    m_strText.assign(text);

    // The header is read from header + text, so a header that runs short may
    // take its missing parts from the text, exactly as the reader always has.
    bool ok = false;
    if (isPlain) {
        m_strName.assign(plain.name);
        m_nLineIndex = nLineIndex;
        m_nColumnKey = plain.n[0];
        m_nN2 = plain.n[1];
        m_nN3 = plain.n[2];
        m_nN4 = plain.n[3];
        m_nN5 = plain.n[4];
        m_bBold = StyleIs(plain.style[0], L'B');
        m_bUnderline = StyleIs(plain.style[1], L'U');
        m_bItalic = StyleIs(plain.style[2], L'I');
        ok = true;
    } else if (text.empty() || text.data() == line.data() + headerEnd) {
        // Text right behind its header, as the driver writes it: the two
        // stand together in the line already.
        ok = ParseHeader(nLineIndex, line.substr(open, headerEnd - open + text.size()));
    } else {
        thread_local std::wstring run;
        run.assign(line.substr(open, headerEnd - open));
        run.append(text);
        ok = ParseHeader(nLineIndex, run);
    }
    if (next == std::wstring_view::npos || !ok) {
        line = {};
        return ok;
    }
    line = rest.substr(next);
    return true;
}

bool KVExcelFileFieldInfoToken::ParseHeader(int nLineIndex, std::wstring_view run) {
    auto fail = [this] {
        Reset();
        return false;
    };
    std::wstring_view s = run;

    std::size_t at = FindOne(s, L',');
    if (at == std::wstring_view::npos) {
        return fail();
    }
    const int n1 = ReadNumber(s, kOpen.size());
    s.remove_prefix(at + 1);

    at = FindOne(s, L',');
    if (at == std::wstring_view::npos) {
        return fail();
    }
    const int n2 = ReadNumber(s, 0);
    s.remove_prefix(at + 1);

    at = FindOne(s, L',');
    if (at == std::wstring_view::npos) {
        return fail();
    }
    const int n3 = ReadNumber(s, 0);
    s.remove_prefix(at + 1);

    // N4 and N5 are each closed by "]" and followed by one separator character.
    at = FindOne(s, L']');
    if (at == std::wstring_view::npos) {
        return fail();
    }
    const int n4 = ReadNumber(s, 0);
    s.remove_prefix(std::min(at + 2, s.size()));

    at = FindOne(s, L']');
    if (at == std::wstring_view::npos) {
        return fail();
    }
    const int n5 = ReadNumber(s, 0);
    s.remove_prefix(std::min(at + 2, s.size()));

    // The style is the three characters in front of the next "][", whatever
    // they are: a two-letter style borrows the "]" that closes it.
    at = FindTwo(s, L']', L'[');
    if (at == std::wstring_view::npos || s.size() < 4) {
        return fail();
    }
    const std::wstring_view style = s.substr(0, 3);
    s.remove_prefix(at + 2);

    at = FindTwo(s, L']', L']');
    if (at == std::wstring_view::npos) {
        return fail();
    }
    m_strName.assign(s.substr(0, at));

    m_nLineIndex = nLineIndex;
    m_nColumnKey = n1;
    m_nN2 = n2;
    m_nN3 = n3;
    m_nN4 = n4;
    m_nN5 = n5;
    m_bBold = StyleIs(style[0], L'B');
    m_bUnderline = StyleIs(style[1], L'U');
    m_bItalic = StyleIs(style[2], L'I');
    return true;
}
