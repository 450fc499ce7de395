#include <gtest/gtest.h>

#include <climits>
#include <string>

#include "parser/parse/KVExcelFileFieldInfoToken.h"

namespace {

void ExpectEmpty(const KVExcelFileFieldInfoToken& t) {
    EXPECT_EQ(t.m_nLineIndex, -1);
    EXPECT_EQ(t.m_nColumnKey, -1);
    EXPECT_EQ(t.m_nN2, -1);
    EXPECT_EQ(t.m_nN3, -1);
    EXPECT_EQ(t.m_nN4, -1);
    EXPECT_EQ(t.m_nN5, -1);
    EXPECT_FALSE(t.m_bBold || t.m_bUnderline || t.m_bItalic);
    EXPECT_TRUE(t.m_strName.empty());
    EXPECT_TRUE(t.m_strText.empty());
}

}  // namespace

TEST(token_test, a_line_gives_its_runs_one_at_a_time) {
    std::wstring line =
        L"[[120,40,300,52][9][BNN][Arial]]Total Sales   [[400,41,460,53][10][nUi][Courier New]]1,234.50";
    KVExcelFileFieldInfoToken t;
    ASSERT_TRUE(t.ParseLine(3, line));
    EXPECT_EQ(t.m_nLineIndex, 3);
    EXPECT_EQ(t.m_nColumnKey, 120);
    EXPECT_EQ(t.m_nN2, 40);
    EXPECT_EQ(t.m_nN3, 300);
    EXPECT_EQ(t.m_nN4, 52);
    EXPECT_EQ(t.m_nN5, 9);
    EXPECT_TRUE(t.m_bBold);
    EXPECT_FALSE(t.m_bUnderline);
    EXPECT_FALSE(t.m_bItalic);
    EXPECT_EQ(t.m_strName, L"Arial");
    EXPECT_EQ(t.m_strText, L"Total Sales");
    EXPECT_EQ(line, L"[[400,41,460,53][10][nUi][Courier New]]1,234.50");

    t.Reset();
    ASSERT_TRUE(t.ParseLine(3, line));
    EXPECT_EQ(t.m_nColumnKey, 400);
    EXPECT_EQ(t.m_nN2, 41);
    EXPECT_EQ(t.m_nN3, 460);
    EXPECT_EQ(t.m_nN4, 53);
    EXPECT_EQ(t.m_nN5, 10);
    EXPECT_FALSE(t.m_bBold);
    EXPECT_TRUE(t.m_bUnderline);
    EXPECT_TRUE(t.m_bItalic);
    EXPECT_EQ(t.m_strName, L"Courier New");
    EXPECT_EQ(t.m_strText, L"1,234.50");
    EXPECT_TRUE(line.empty());
}

TEST(token_test, style_takes_exactly_three_characters) {
    KVExcelFileFieldInfoToken t;
    // Two letters: the third character is the "]" that closes them.
    std::wstring line = L"[[10,1,20,2][9][BU][Arial]]x";
    ASSERT_TRUE(t.ParseLine(0, line));
    EXPECT_TRUE(t.m_bBold);
    EXPECT_TRUE(t.m_bUnderline);
    EXPECT_FALSE(t.m_bItalic);
    EXPECT_EQ(t.m_strName, L"Arial");
    EXPECT_EQ(t.m_strText, L"x");

    // Letters in the wrong place set nothing.
    line = L"[[10,1,20,2][9][IBU][Arial]]x";
    ASSERT_TRUE(t.ParseLine(0, line));
    EXPECT_FALSE(t.m_bBold || t.m_bUnderline || t.m_bItalic);

    // A longer style is cut to three characters; the name starts after "][".
    line = L"[[10,1,20,2][9][bUIb][Arial]]x";
    ASSERT_TRUE(t.ParseLine(0, line));
    EXPECT_TRUE(t.m_bBold && t.m_bUnderline && t.m_bItalic);
    EXPECT_EQ(t.m_strName, L"Arial");
}

TEST(token_test, header_numbers_read_like_atol) {
    EXPECT_EQ(KVReadHeaderNumber(L"  -5,", 0), -5);
    EXPECT_EQ(KVReadHeaderNumber(L"\t+17x", 0), 17);
    EXPECT_EQ(KVReadHeaderNumber(L"12 3", 0), 12);
    EXPECT_EQ(KVReadHeaderNumber(L"- 3", 0), 0);
    EXPECT_EQ(KVReadHeaderNumber(L"abc", 0), 0);
    EXPECT_EQ(KVReadHeaderNumber(L"", 0), 0);
    EXPECT_EQ(KVReadHeaderNumber(L"[[42,", 2), 42);
    EXPECT_EQ(KVReadHeaderNumber(L"[[", 5), 0);
    // At most 19 characters are looked at.
    EXPECT_EQ(KVReadHeaderNumber(std::wstring(18, L' ') + L"7", 0), 7);
    EXPECT_EQ(KVReadHeaderNumber(std::wstring(19, L' ') + L"7", 0), 0);
    EXPECT_EQ(KVReadHeaderNumber(L"1234567890123456789012", 0), INT_MAX);
    // Out-of-range values saturate instead of wrapping.
    EXPECT_EQ(KVReadHeaderNumber(L"2147483647", 0), INT_MAX);
    EXPECT_EQ(KVReadHeaderNumber(L"2147483648", 0), INT_MAX);
    EXPECT_EQ(KVReadHeaderNumber(L"-2147483648", 0), INT_MIN);
    EXPECT_EQ(KVReadHeaderNumber(L"-99999999999", 0), INT_MIN);

    KVExcelFileFieldInfoToken t;
    std::wstring line = L"[[ -7, +8 ,9x,10 ][ 11 ][NNN][]]text";
    ASSERT_TRUE(t.ParseLine(0, line));
    EXPECT_EQ(t.m_nColumnKey, -7);
    EXPECT_EQ(t.m_nN2, 8);
    EXPECT_EQ(t.m_nN3, 9);
    EXPECT_EQ(t.m_nN4, 10);
    EXPECT_EQ(t.m_nN5, 11);
    EXPECT_EQ(t.m_strName, L"");
}

TEST(token_test, run_text_is_trimmed_and_text_before_the_first_header_ignored) {
    KVExcelFileFieldInfoToken t;
    std::wstring line = L"Page 1 of 3 [[5,0,9,9][9][NNN][A]] \t  two  words \t [[6,0,9,9][9][NNN][A]]\t";
    ASSERT_TRUE(t.ParseLine(0, line));
    EXPECT_EQ(t.m_nColumnKey, 5);
    EXPECT_EQ(t.m_strText, L"two  words");
    EXPECT_EQ(line, L"[[6,0,9,9][9][NNN][A]]\t");
    ASSERT_TRUE(t.ParseLine(0, line));
    EXPECT_EQ(t.m_nColumnKey, 6);
    EXPECT_EQ(t.m_strText, L"");
    EXPECT_TRUE(line.empty());
}

TEST(token_test, text_holding_brackets_is_kept_whole) {
    KVExcelFileFieldInfoToken t;
    // After the last header nothing can be a header any more.
    std::wstring line = L"[[5,0,9,9][9][NNN][A]]see [note]] here";
    ASSERT_TRUE(t.ParseLine(0, line));
    EXPECT_EQ(t.m_strText, L"see [note]] here");
    EXPECT_EQ(t.m_strName, L"A");

    // Before another header the text ends at that header's "[[".
    line = L"[[5,0,9,9][9][NNN][A]]a]]b [[6,0,9,9][9][NNN][A]]c";
    ASSERT_TRUE(t.ParseLine(0, line));
    EXPECT_EQ(t.m_strText, L"a]]b");
    ASSERT_TRUE(t.ParseLine(0, line));
    EXPECT_EQ(t.m_strText, L"c");
}

TEST(token_test, lines_without_a_complete_run_give_nothing) {
    KVExcelFileFieldInfoToken t;
    std::wstring line;
    EXPECT_FALSE(t.ParseLine(0, line));

    line = L"no header here ]]";
    EXPECT_FALSE(t.ParseLine(0, line));
    EXPECT_EQ(line, L"no header here ]]");

    line = L"[[5,0,9,9][9][NNN][A] never closed";
    EXPECT_FALSE(t.ParseLine(0, line));
    EXPECT_TRUE(line.empty());
    ExpectEmpty(t);

    line = L"x]] [[5,0,9,9][9][NNN][A]]y";
    EXPECT_FALSE(t.ParseLine(0, line));
    EXPECT_TRUE(line.empty());
    ExpectEmpty(t);
}

TEST(token_test, a_bad_header_resets_the_token_and_ends_the_line) {
    const wchar_t* bad[] = {
        L"[[5][9][NNN][A]]text",      // no commas
        L"[[5,0,9][9][NNN][A]]text",  // N4 missing: too few commas
        L"[[5,0,9,9,9,9]]text",       // no "]" left for N5
        L"[[5,0,9,9][9]]text",        // no style part
        L"[[5,0,9,9][9][N]]",         // no "][" before the name
    };
    for (const wchar_t* text : bad) {
        KVExcelFileFieldInfoToken t;
        std::wstring line = std::wstring(text) + L" [[6,0,9,9][9][NNN][A]]good";
        EXPECT_FALSE(t.ParseLine(4, line)) << text;
        EXPECT_TRUE(line.empty()) << text;
        ExpectEmpty(t);
    }

    KVExcelFileFieldInfoToken t;
    t.m_nColumnKey = 99;
    t.m_strText = L"old";
    EXPECT_FALSE(t.ParseHeader(1, L"[[1,2,3,4][5][NNN][no close"));
    ExpectEmpty(t);
    EXPECT_TRUE(t.ParseHeader(1, L"[[1,2,3,4][5][NNN][name]]"));
    EXPECT_EQ(t.m_strName, L"name");
    EXPECT_EQ(t.m_nLineIndex, 1);

    // The style needs four characters left, its three and more after them.
    EXPECT_FALSE(t.ParseHeader(1, L"[[1,2,3,4][5][][x"));
    ExpectEmpty(t);
    EXPECT_TRUE(t.ParseHeader(1, L"[[1,2,3,4][5][][xy]]"));
    EXPECT_EQ(t.m_strName, L"xy");
}

TEST(token_test, short_header_borrows_from_its_text) {
    // The header is read from header + text, so a header missing its style
    // and name finds them in the text that follows it.
    KVExcelFileFieldInfoToken t;
    std::wstring line = L"[[1,2,3,4][5]]B][font]]";
    ASSERT_TRUE(t.ParseLine(0, line));
    EXPECT_EQ(t.m_nColumnKey, 1);
    EXPECT_EQ(t.m_strText, L"B][font]]");
    EXPECT_EQ(t.m_nN5, 5);
    EXPECT_TRUE(t.m_bBold);  // style "B]["
    EXPECT_EQ(t.m_strName, L"font");
}
