#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cwchar>
#include <cwctype>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "parser/parse/KVExcelFileFieldInfoParser.h"
#include "parser/parse/tests/test_files.h"

namespace {

std::wstring Header(int key, const std::wstring& text, const std::wstring& style = L"NNN") {
    return L"[[" + std::to_wstring(key) + L",10,20,30][9][" + style + L"][Arial]]" + text;
}

// "key@line:text" for every run, keys ascending, runs in order.
std::vector<std::wstring> Dump(const KVExcelFileFieldInfoParser& parser) {
    std::vector<std::wstring> out;
    for (int key : parser.GetKeyList()) {
        const auto* tokens = parser.GetTokenArray(key);
        EXPECT_NE(tokens, nullptr);
        if (tokens == nullptr) {
            continue;
        }
        for (const auto& t : *tokens) {
            EXPECT_EQ(t.m_nColumnKey, key);
            out.push_back(std::to_wstring(key) + L"@" + std::to_wstring(t.m_nLineIndex) + L":" + t.m_strText);
        }
    }
    return out;
}

// A second, deliberately plain reading of the run format: whole-string
// find and substr, the C library's number reader and isspace, an ordered
// map for the keys. The tokenizer must agree with it on any line at all.
namespace plain {

struct Run {
    int line = -1, key = -1, n2 = -1, n3 = -1, n4 = -1, n5 = -1;
    bool bold = false, underline = false, italic = false;
    std::wstring name, text;
};

std::wstring Trim(const std::wstring& s) {
    std::size_t b = 0;
    std::size_t e = s.size();
    while (b < e && std::iswspace(static_cast<wint_t>(s[b]))) {
        ++b;
    }
    while (e > b && std::iswspace(static_cast<wint_t>(s[e - 1]))) {
        --e;
    }
    return s.substr(b, e - b);
}

std::wstring From(const std::wstring& s, std::size_t pos) {
    return pos >= s.size() ? std::wstring() : s.substr(pos);
}

int Number(const std::wstring& s) {
    const std::wstring field = s.substr(0, 19);
    const long value = std::wcstol(field.c_str(), nullptr, 10);
    return static_cast<int>(std::clamp<long>(value, INT_MIN, INT_MAX));
}

bool Header(int line, std::wstring s, Run& run) {
    std::size_t at = s.find(L',');
    if (at == std::wstring::npos) {
        return false;
    }
    run.key = Number(From(s, 2));
    s = From(s, at + 1);
    at = s.find(L',');
    if (at == std::wstring::npos) {
        return false;
    }
    run.n2 = Number(s);
    s = From(s, at + 1);
    at = s.find(L',');
    if (at == std::wstring::npos) {
        return false;
    }
    run.n3 = Number(s);
    s = From(s, at + 1);
    at = s.find(L']');
    if (at == std::wstring::npos) {
        return false;
    }
    run.n4 = Number(s);
    s = From(s, at + 2);
    at = s.find(L']');
    if (at == std::wstring::npos) {
        return false;
    }
    run.n5 = Number(s);
    s = From(s, at + 2);
    at = s.find(L"][");
    if (at == std::wstring::npos || s.size() < 4) {
        return false;
    }
    const std::wstring style = s.substr(0, 3);
    s = From(s, at + 2);
    at = s.find(L"]]");
    if (at == std::wstring::npos) {
        return false;
    }
    run.name = s.substr(0, at);
    run.line = line;
    run.bold = std::towupper(static_cast<wint_t>(style[0])) == L'B';
    run.underline = std::towupper(static_cast<wint_t>(style[1])) == L'U';
    run.italic = std::towupper(static_cast<wint_t>(style[2])) == L'I';
    return true;
}

bool TakeRun(int line, std::wstring& s, Run& run) {
    const std::size_t p = s.find(L"[[");
    const std::size_t q = s.find(L"]]");
    if (s.empty() || p == std::wstring::npos) {
        return false;
    }
    if (q == std::wstring::npos || q < p) {
        return false;
    }
    const std::wstring header = s.substr(p, q + 2 - p);
    s = From(s, q + 2);
    const std::size_t next = s.find(L"[[");
    run.text = Trim(next == std::wstring::npos ? s : s.substr(0, next));
    if (!Header(line, header + run.text, run)) {
        return false;
    }
    s = next == std::wstring::npos ? std::wstring() : s.substr(next);
    return true;
}

std::map<int, std::vector<Run>> Parse(const std::vector<std::wstring>& lines) {
    std::map<int, std::vector<Run>> groups;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        std::wstring s = lines[i];
        while (!s.empty()) {
            s = Trim(s);
            Run run;
            if (!TakeRun(static_cast<int>(i), s, run)) {
                break;
            }
            groups[run.key].push_back(run);
        }
    }
    return groups;
}

}  // namespace plain

// Lines built from the pieces the format is made of, well-formed or not.
std::wstring RandomLine(std::mt19937& rng) {
    static const wchar_t* const pieces[] = {
        L"[[",         L"]]",
        L"][",         L"[",
        L"]",          L",",
        L" ",          L"\t",
        L"\r",         L"-",
        L"+",          L"0",
        L"7",          L"-3",
        L"42",         L"B",
        L"u",          L"I",
        L"n",          L"x y",
        L"Arial",      L"\u00E9",
        L"\u00C9",     L"\u20AC",
        L"2147483648", L"-99999999999999999999",
        L"   12",
    };
    static const wchar_t* const keys[] = {L"0", L"-0", L"+5", L"5", L" -40", L"120", L"2147483647",
                                          L"99999999999", L"-2147483648", L"0012", L"x",
                                          // the number field ends after 19 characters
                                          L"                  8", L"                   9"};
    static const wchar_t* const styles[] = {L"BUI", L"bui", L"NNN", L"BU", L"IUB", L"B", L"", L"bUiX"};
    std::wstring line;
    const int count = std::uniform_int_distribution<int>(0, 12)(rng);
    for (int i = 0; i < count; ++i) {
        if (std::uniform_int_distribution<int>(0, 2)(rng) == 0) {
            line += pieces[rng() % std::size(pieces)];
            continue;
        }
        line += L"[[";
        line += keys[rng() % std::size(keys)];
        for (const wchar_t* separator : {L",", L",", L",", L"]["}) {
            line += separator;
            line += rng() % 2 == 0 ? L"1" : keys[rng() % std::size(keys)];
        }
        line += L"][";
        line += styles[rng() % std::size(styles)];
        line += L"][Arial]]";
        line += pieces[rng() % std::size(pieces)];
        line += pieces[rng() % std::size(pieces)];
    }
    return line;
}

// Headers as the driver writes them, each part now and then a little off:
// numbers at and past nine digits, signs and blanks, a style or name holding
// brackets, a header cut short, text before the first header.
std::wstring RandomDriverLine(std::mt19937& rng) {
    static const wchar_t* const numbers[] = {
        L"0",          L"7",           L"-7",         L"-0",  L"123456789", L"-123456789", L"999999999",
        L"1234567890", L"-1234567890", L"2147483648", L"+5",  L" 5",        L"5 ",         L"",
        L"-",          L"000000012",   L"0000000012", L"12x", L"\u0663"};
    static const wchar_t* const styles[] = {L"NNN", L"BUI", L"bui", L"BU",  L"B",    L"",        L"[[[",
                                            L"a]b", L"NN]", L"N][", L"][N", L"NNNN", L"\u00E9UI"};
    static const wchar_t* const names[] = {L"Arial", L"", L"Courier New", L"a[b", L"a]b", L"[[", L"x]", L"]"};
    static const wchar_t* const closers[] = {L"]]", L"]]", L"]]", L"]", L"", L"]]]"};
    static const wchar_t* const texts[] = {L"",  L"Total", L"  1,234.50  ", L"a]]b",
                                           L"[", L"]",     L"x [",          L"	"};
    static const wchar_t* const before[] = {L"", L"", L"", L"Page 1 ", L"x]] ", L"]", L"[ "};
    const auto pick = [&rng](const auto& list) { return std::wstring(list[rng() % std::size(list)]); };
    // Mostly the separator the driver writes, sometimes another one.
    const auto separator = [&rng](const wchar_t* usual) {
        static const wchar_t* const others[] = {L"", L",,", L"]", L"][", L"[", L" ,", L"]]"};
        return rng() % 8 != 0 ? std::wstring(usual) : std::wstring(others[rng() % std::size(others)]);
    };
    std::wstring line = pick(before);
    const int count = std::uniform_int_distribution<int>(1, 5)(rng);
    for (int i = 0; i < count; ++i) {
        line += rng() % 16 != 0 ? L"[[" : L"[";
        line += pick(numbers) + separator(L",") + pick(numbers) + separator(L",") + pick(numbers) +
                separator(L",") + pick(numbers) + separator(L"][") + pick(numbers) + separator(L"][");
        line += pick(styles) + separator(L"][") + pick(names) + pick(closers) + pick(texts);
    }
    return line;
}

}  // namespace

TEST(field_info_parser_test, driver_headers_read_as_the_plain_reading_does) {
    std::mt19937 rng(20261208);
    std::size_t runs = 0;
    for (int round = 0; round < 3000; ++round) {
        const std::vector<std::wstring> lines = {RandomDriverLine(rng), RandomDriverLine(rng)};
        const auto expected = plain::Parse(lines);
        KVExcelFileFieldInfoParser parser;
        ASSERT_TRUE(parser.Parse(lines));
        for (const auto& [key, group] : expected) {
            const auto* tokens = parser.GetTokenArray(key);
            ASSERT_NE(tokens, nullptr) << "round " << round << " key " << key;
            ASSERT_EQ(tokens->size(), group.size()) << "round " << round << " key " << key;
            for (std::size_t i = 0; i < group.size(); ++i) {
                const auto& t = (*tokens)[i];
                const auto& r = group[i];
                const bool same = t.m_nLineIndex == r.line && t.m_nN2 == r.n2 && t.m_nN3 == r.n3 &&
                                  t.m_nN4 == r.n4 && t.m_nN5 == r.n5 && t.m_bBold == r.bold &&
                                  t.m_bUnderline == r.underline && t.m_bItalic == r.italic &&
                                  t.m_strName == r.name && t.m_strText == r.text;
                ASSERT_TRUE(same) << "round " << round << " line " << r.line << ": " << lines[r.line];
            }
            runs += group.size();
        }
        ASSERT_EQ(parser.GetKeyList().size(), expected.size()) << "round " << round;
    }
    // Most headers are well formed, so most lines give runs.
    EXPECT_GT(runs, 3000U);
}

TEST(field_info_parser_test, random_lines_tokenize_as_the_plain_reading_does) {
    std::mt19937 rng(20261207);
    for (int round = 0; round < 400; ++round) {
        std::vector<std::wstring> lines(std::uniform_int_distribution<int>(1, 8)(rng));
        for (auto& line : lines) {
            line = RandomLine(rng);
        }
        const auto expected = plain::Parse(lines);
        KVExcelFileFieldInfoParser parser;
        ASSERT_TRUE(parser.Parse(lines));

        std::vector<int> keys;
        for (const auto& group : expected) {
            keys.push_back(group.first);
        }
        ASSERT_EQ(parser.GetKeyList(), keys) << "round " << round;
        for (const auto& [key, runs] : expected) {
            const auto* tokens = parser.GetTokenArray(key);
            ASSERT_NE(tokens, nullptr);
            ASSERT_EQ(tokens->size(), runs.size()) << "round " << round << " key " << key;
            for (std::size_t i = 0; i < runs.size(); ++i) {
                const auto& t = (*tokens)[i];
                const auto& r = runs[i];
                SCOPED_TRACE("round " + std::to_string(round) + " key " + std::to_string(key));
                EXPECT_EQ(t.m_nLineIndex, r.line);
                EXPECT_EQ(t.m_nColumnKey, r.key);
                EXPECT_EQ(t.m_nN2, r.n2);
                EXPECT_EQ(t.m_nN3, r.n3);
                EXPECT_EQ(t.m_nN4, r.n4);
                EXPECT_EQ(t.m_nN5, r.n5);
                EXPECT_EQ(t.m_bBold, r.bold);
                EXPECT_EQ(t.m_bUnderline, r.underline);
                EXPECT_EQ(t.m_bItalic, r.italic);
                EXPECT_EQ(t.m_strName, r.name);
                EXPECT_EQ(t.m_strText, r.text);
            }
        }
    }
}

TEST(field_info_parser_test, runs_group_by_key_with_keys_in_signed_order) {
    KVExcelFileFieldInfoParser parser;
    const std::vector<std::wstring> lines = {
        L"[[120,40,300,52][9][BNN][Arial]]Total Sales   [[400,40,460,52][9][NNN][Arial]]1,234.50",
        L"",
        Header(400, L"9.00") + Header(-5, L"neg") + Header(0, L"zero"),
        L"   \t  ",
        Header(120, L"again") + L"  " + Header(120, L"same line"),
        L"plain text without any header",
        Header(-40, L"far left"),
    };
    EXPECT_TRUE(parser.Parse(lines));
    EXPECT_EQ(parser.GetKeyList(), (std::vector<int>{-40, -5, 0, 120, 400}));
    const std::vector<std::wstring> expected = {
        L"-40@6:far left", L"-5@2:neg",        L"0@2:zero",       L"120@0:Total Sales",
        L"120@4:again",    L"120@4:same line", L"400@0:1,234.50", L"400@2:9.00",
    };
    EXPECT_EQ(Dump(parser), expected);
    EXPECT_EQ(parser.GetTokenArray(7), nullptr);

    const auto& first = parser.GetTokenArray(120)->front();
    EXPECT_TRUE(first.m_bBold);
    EXPECT_FALSE(parser.GetTokenArray(400)->front().m_bBold);

    // A new parse starts from nothing.
    EXPECT_TRUE(parser.Parse({Header(7, L"only")}));
    EXPECT_EQ(Dump(parser), std::vector<std::wstring>{L"7@0:only"});
    parser.Clear();
    EXPECT_TRUE(parser.GetKeyList().empty());
    EXPECT_EQ(parser.GetTokenArray(7), nullptr);
}

TEST(field_info_parser_test, a_bad_run_ends_its_line_but_not_the_file) {
    KVExcelFileFieldInfoParser parser;
    EXPECT_TRUE(parser.Parse({
        Header(1, L"kept") + L"[[bad]]oops" + Header(2, L"lost"),
        L"[[3,0,0,0][9][NNN][A] unterminated",
        Header(5, L"next line"),
        // A header reaches from the first "[[" to the first "]]", so an
        // unclosed one swallows the next header into its name.
        L"[[6,0,0,0][9][NNN][A] unclosed " + Header(7, L"text"),
    }));
    EXPECT_EQ(Dump(parser), (std::vector<std::wstring>{L"1@0:kept", L"5@2:next line", L"6@3:text"}));
    EXPECT_EQ(parser.GetTokenArray(6)->front().m_strName, L"A] unclosed [[7,10,20,30][9][NNN][Arial");
}

TEST(field_info_parser_test, contains_text_matches_whole_runs_ignoring_case) {
    KVExcelFileFieldInfoParser parser;
    EXPECT_FALSE(parser.ContainsText(L"Monthly Report"));
    parser.Parse(
        {Header(10, L"  Monthly Report  ") + Header(300, L"Page 1"), Header(10, L"M\u00FCller GmbH")});
    EXPECT_TRUE(parser.ContainsText(L"Monthly Report"));
    EXPECT_TRUE(parser.ContainsText(L"MONTHLY report"));
    EXPECT_TRUE(parser.ContainsText(L"page 1"));
    EXPECT_TRUE(parser.ContainsText(L"M\u00DCLLER GMBH"));
    EXPECT_FALSE(parser.ContainsText(L"Monthly"));
    EXPECT_FALSE(parser.ContainsText(L"Monthly Report Page 1"));
    EXPECT_FALSE(parser.ContainsText(L"Arial"));
    EXPECT_FALSE(parser.ContainsText(L"10"));
}

TEST(field_info_parser_test, read_file_tokenizes_like_parse) {
    ScratchDir dir;
    // CR LF and LF ends mixed, a Windows-1252 byte, a blank line, a line
    // without runs, and two runs of one key on one line.
    const std::string bytes =
        "REPORT TITLE\r\n"
        "[[300,1,2,3][9][NNN][Arial]]M\xFCller\r\n"
        "\r\n"
        "[[40,1,2,3][9][BNN][Arial]]Name  [[300,1,2,3][9][NNN][Arial]]12.50 [[40,5,6,7][9][NNN][Arial]]dup\n"
        "[[-3,1,2,3][9][NNN][Arial]]last\r";
    const std::wstring path = dir.Write("job.txt", bytes);

    KVExcelFileFieldInfoParser fromFile;
    EXPECT_TRUE(fromFile.ReadFile(path));
    KVExcelFileFieldInfoParser fromLines;
    fromLines.Parse({
        L"REPORT TITLE",
        L"[[300,1,2,3][9][NNN][Arial]]M\u00FCller",
        L"",
        L"[[40,1,2,3][9][BNN][Arial]]Name  [[300,1,2,3][9][NNN][Arial]]12.50 [[40,5,6,7][9][NNN][Arial]]dup",
        L"[[-3,1,2,3][9][NNN][Arial]]last\r",
    });
    const std::vector<std::wstring> expected = {L"-3@4:last", L"40@3:Name", L"40@3:dup", L"300@1:M\u00FCller",
                                                L"300@3:12.50"};
    EXPECT_EQ(Dump(fromFile), expected);
    EXPECT_EQ(Dump(fromLines), expected);
    EXPECT_TRUE(fromFile.ContainsText(L"m\u00FCller"));
}

TEST(field_info_parser_test, unreadable_files_read_as_empty) {
    ScratchDir dir;
    KVExcelFileFieldInfoParser parser;
    parser.Parse({Header(1, L"from before")});
    // Missing files and folders read as empty, successfully, and leave no
    // runs of an earlier file behind.
    EXPECT_TRUE(parser.ReadFile(dir.Path("missing.txt")));
    EXPECT_TRUE(parser.GetKeyList().empty());
    EXPECT_FALSE(parser.ContainsText(L"from before"));
    parser.Parse({Header(1, L"from before")});
    EXPECT_TRUE(parser.ReadFile(dir.Root().wstring()));
    EXPECT_TRUE(parser.GetKeyList().empty());
    EXPECT_TRUE(parser.ReadFile(dir.Write("empty.txt", "")));
    EXPECT_TRUE(parser.GetKeyList().empty());
    // A read error is a failure.
    EXPECT_FALSE(parser.ReadFile(L"/proc/self/mem"));
    EXPECT_TRUE(parser.GetKeyList().empty());
}
