#include <gtest/gtest.h>

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

}  // namespace

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
