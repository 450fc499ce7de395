#include "parser/parse/KVExcelFileFieldInfoToken.h"

#include <algorithm>
#include <climits>
#include <cstdint>

#include "parser/parse/KVTextFile.h"

namespace {

constexpr std::wstring_view kOpen = L"[[";
constexpr std::wstring_view kClose = L"]]";
constexpr std::size_t kNumberFieldLength = 19;

bool StyleIs(wchar_t c, wchar_t upper) {
    return c == upper || c == static_cast<wchar_t>(upper + 32);
}

}  // namespace

int KVReadHeaderNumber(std::wstring_view text, std::size_t pos) {
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
    const std::size_t open = line.find(kOpen);
    if (open == std::wstring_view::npos) {
        return false;
    }
    const std::size_t close = line.find(kClose);
    if (close == std::wstring_view::npos || close < open) {
        // An unterminated header, or a stray "]]" ahead of the first header:
        // nothing on this line can be trusted to be a run.
        line = {};
        return false;
    }
    const std::wstring_view header = line.substr(open, close + kClose.size() - open);
    std::wstring_view rest = line.substr(close + kClose.size());
    const std::size_t next = rest.find(kOpen);
    // The text of a run ends at the next header. Text after the last header
    // is taken whole, even when it holds "]]": nothing after it could be a
    // header, so cutting it would only lose printed characters.
    const std::wstring_view text = KVTrim(next == std::wstring_view::npos ? rest : rest.substr(0, next));
    m_strText.assign(text);

    // The header is read from header + text, so a header that runs short may
    // take its missing parts from the text, exactly as the reader always has.
    thread_local std::wstring run;
    run.assign(header);
    run.append(text);
    const bool ok = ParseHeader(nLineIndex, run);
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

    std::size_t at = s.find(L',');
    if (at == std::wstring_view::npos) {
        return fail();
    }
    const int n1 = KVReadHeaderNumber(s, kOpen.size());
    s.remove_prefix(at + 1);

    at = s.find(L',');
    if (at == std::wstring_view::npos) {
        return fail();
    }
    const int n2 = KVReadHeaderNumber(s, 0);
    s.remove_prefix(at + 1);

    at = s.find(L',');
    if (at == std::wstring_view::npos) {
        return fail();
    }
    const int n3 = KVReadHeaderNumber(s, 0);
    s.remove_prefix(at + 1);

    // N4 and N5 are each closed by "]" and followed by one separator character.
    at = s.find(L']');
    if (at == std::wstring_view::npos) {
        return fail();
    }
    const int n4 = KVReadHeaderNumber(s, 0);
    s.remove_prefix(std::min(at + 2, s.size()));

    at = s.find(L']');
    if (at == std::wstring_view::npos) {
        return fail();
    }
    const int n5 = KVReadHeaderNumber(s, 0);
    s.remove_prefix(std::min(at + 2, s.size()));

    // The style is the three characters in front of the next "][", whatever
    // they are: a two-letter style borrows the "]" that closes it.
    at = s.find(L"][");
    if (at == std::wstring_view::npos || s.size() < 4) {
        return fail();
    }
    const std::wstring_view style = s.substr(0, 3);
    s.remove_prefix(at + 2);

    at = s.find(kClose);
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
