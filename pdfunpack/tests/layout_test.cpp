// Text placed by Tm, Td, T* and the quote operators: one output line per
// printed line, a tab between runs that stand apart.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "pdfunpack/text_interpreter.h"

namespace sw::pdfunpack {
namespace {

std::string WindowRulesOnly(std::string_view stream) {
    InterpreterOptions options;
    options.layoutOperators = false;
    return InterpretStream(stream, options);
}

// The page description ghostscript writes for a plain-text listing.
constexpr std::string_view kListing =
    "q 0.1 0 0 0.1 0 0 cm\n0 g\nq\n10 0 0 10 0 0 cm BT\n/R7 10 Tf\n1 0 0 1 23 793 Tm\n"
    "(SALES REPORT            Page 1)Tj\n11 TL\n(Name      Qty)'\n(Smith     12)'\nET\nQ\nQ\n";

TEST(pdfunpack_layout_test, quote_operator_starts_a_new_line) {
    EXPECT_EQ(InterpretStream(kListing),
              "SALES REPORT            Page 1\r\nName      Qty\r\nSmith     12\r\n");
    // Without the tracker the same listing is one line.
    EXPECT_EQ(WindowRulesOnly(kListing), "SALES REPORT            Page 1Name      QtySmith     12\r\n");
}

TEST(pdfunpack_layout_test, tm_per_line_with_tj_arrays_gives_lines_and_tabs) {
    const std::string stream =
        "q BT\n1 0 0 1 72.000 818.000 Tm\n/F5 10 Tf\n0 Tw [(Name) -4812.000 (Qty)] TJ\n"
        "1 0 0 1 72.000 806.000 Tm\n0 Tw [(Smith) -4810.000 (12)] TJ\n"
        "1 0 0 1 238.500 50.000 Tm\nET Q\n";
    EXPECT_EQ(InterpretStream(stream), "Name\tQty\r\nSmith\t12\r\n");
    EXPECT_EQ(WindowRulesOnly(stream), "Name\tQtySmith\t12\r\n");
}

TEST(pdfunpack_layout_test, td_moves_split_columns_but_not_kerned_words) {
    // Columns placed 128 units apart at size 10: far beyond the text before them.
    EXPECT_EQ(InterpretStream("BT /F1 10 Tf 72 720 Td (Item) Tj 128 0 Td (Qty) Tj 100 0 Td (Price) Tj ET\nQ"),
              "Item\tQty\tPrice\r\n");
    // A word continued after a kerning move stays whole.
    EXPECT_EQ(
        InterpretStream("BT /F5 10 Tf 1 0 0 1 72 830 Tm (INVENT) Tj 37.03 0 Td (OR) Tj 13.24 0 Td (Y) Tj "
                        "ET\nQ"),
        "INVENTORY\r\n");
    // Moving back along the line (overprinting) adds nothing.
    EXPECT_EQ(InterpretStream("BT /F1 10 Tf 72 720 Td (Bold) Tj 0.3 0 Td (Bold) Tj ET\nQ"), "BoldBold\r\n");
}

TEST(pdfunpack_layout_test, vertical_moves_start_new_lines_but_superscripts_do_not) {
    EXPECT_EQ(InterpretStream("BT /F1 10 Tf 72 720 Td (one) Tj 0 -12 Td (two) Tj ET\nQ"), "one\r\ntwo\r\n");
    EXPECT_EQ(InterpretStream("BT /F1 10 Tf 72 720 Td (x) Tj 6 3 Td (2) Tj ET\nQ"), "x2\r\n");
    // Without a font size any vertical move of more than one unit counts.
    EXPECT_EQ(InterpretStream("BT 72 720 Td (a) Tj 0 -2 Td (b) Tj ET\nQ"), "a\r\nb\r\n");
}

TEST(pdfunpack_layout_test, t_star_and_double_quote_use_the_leading) {
    EXPECT_EQ(InterpretStream("BT /F1 10 Tf 14 TL 72 700 Td (a) Tj T* (b) Tj ET\nQ"), "a\r\nb\r\n");
    EXPECT_EQ(InterpretStream("BT /F1 10 Tf 14 TL 72 700 Td (a) Tj 1 0 (b) \" ET\nQ"), "a\r\nb\r\n");
    // Leading set by TD is used by T* as well.
    EXPECT_EQ(InterpretStream("BT /F1 10 Tf 72 700 TD (a) Tj 0 -14 TD (b) Tj T* (c) Tj ET\nQ"),
              "\r\na\r\nb\r\nc\r\n");
}

TEST(pdfunpack_layout_test, no_empty_lines_from_moves_at_line_start) {
    // The first positioning of a block, and moves without text, add nothing.
    EXPECT_EQ(InterpretStream("BT /F1 10 Tf 1 0 0 1 72 700 Tm (a) Tj ET\nBT 1 0 0 1 72 680 Tm (b) Tj "
                              "1 0 0 1 300 40 Tm ET\nQ"),
              "a\r\nb\r\n");
    EXPECT_EQ(InterpretStream("BT /F1 10 Tf 12 TL (first)' (second)' ET\nQ"), "first\r\nsecond\r\n");
}

TEST(pdfunpack_layout_test, td_still_decides_where_it_is_used) {
    // After TD has ended the line the tracker adds nothing more.
    EXPECT_EQ(InterpretStream("BT /F1 10 Tf 1 0 0 1 72 700 Tm (a) Tj 0 -14 TD (b) Tj ET\nQ"), "a\r\nb\r\n");
}

TEST(pdfunpack_layout_test, character_and_word_spacing_open_gaps_inside_a_string) {
    // Each glyph followed by 5 em: the two letters stand apart.
    EXPECT_EQ(InterpretStream("BT /R7 10 Tf 1 0 0 1 72 700 Tm 50.5 Tc (YW) Tj ET\nQ"), "Y\tW\r\n");
    // A third of an em between letters is a word space.
    EXPECT_EQ(InterpretStream("BT /R7 10 Tf 1 0 0 1 72 700 Tm 3.5 Tc (rt) Tj ET\nQ"), "r t\r\n");
    // Tracking of a tenth of an em is not.
    EXPECT_EQ(InterpretStream("BT /R7 10 Tf 1 0 0 1 72 700 Tm 1 Tc (rt) Tj ET\nQ"), "rt\r\n");
    // A blank widened by 9 em is a column gap; one narrowed to nothing is no word space.
    EXPECT_EQ(InterpretStream("BT /R7 10 Tf 1 0 0 1 72 700 Tm 89.5 Tw (rt Count) Tj ET\nQ"), "rt\tCount\r\n");
    EXPECT_EQ(InterpretStream("BT /R7 10 Tf 1 0 0 1 72 700 Tm -1.35 Tc -0.91 Tw (AVA T) Tj ET\nQ"),
              "AVAT\r\n");
    // Without any of the positioning operators the strings stay as written.
    EXPECT_EQ(InterpretStream("BT /R7 10 Tf 72 700 TD 50.5 Tc 89.5 Tw (YW rt) Tj ET\nQ"), "\r\nYW rt\r\n");
}

TEST(pdfunpack_layout_test, hex_glyph_strings_yield_no_text) {
    const std::string stream =
        "BT\n294.3 774.589 Td /F1 10 Tf[<01>3<01>]TJ\nET\nQ\nBT\n57.713 754.298 Td /F1 10.006 Tf"
        "[<08>2<05>-3<04>]TJ\nET\nQ\nBT /F2 12 Tf 1 0 0 1 72 700 Tm <0041> Tj 0 -14 Td <0042> Tj ET\nQ";
    EXPECT_EQ(InterpretStream(stream), "\r\n\r\n\r\n");
}

TEST(pdfunpack_layout_test, very_long_string_before_quote_is_written_whole) {
    const std::string longText(300000, 'x');
    InterpreterOptions options;
    options.maxHeldBytes = 1000;
    const std::string out =
        InterpretStream("BT /F1 10 Tf 12 TL (a) Tj (" + longText + ")' (b)' ET\nQ", options);
    // Too long to hold back for the line end, but nothing is lost or reordered.
    EXPECT_EQ(out, "a" + longText + "\r\nb\r\n");
    // Held back within the limit, the line end goes in front.
    EXPECT_EQ(InterpretStream("BT /F1 10 Tf 12 TL (a) Tj (" + longText + ")' ET\nQ"),
              "a\r\n" + longText + "\r\n");
}

TEST(pdfunpack_layout_test, streams_without_layout_operators_are_unchanged) {
    std::mt19937 rng(2024);
    const std::string pieces[] = {"BT ",
                                  "ET\n",
                                  " 0 -14 TD ",
                                  " 100 0 TD ",
                                  " 72 712 TD ",
                                  "(Name:) Tj ",
                                  "[(A) -1500 (B) -250 (C)] TJ ",
                                  "/F1 12 Tf ",
                                  "14 TL ",
                                  " Q\n",
                                  "(a\\)b) ",
                                  "<0041> Tj ",
                                  "( ) Tj "};
    for (int round = 0; round < 500; ++round) {
        std::string stream;
        const int n = static_cast<int>(rng() % 30);
        for (int i = 0; i < n; ++i) {
            stream += pieces[rng() % std::size(pieces)];
        }
        ASSERT_EQ(InterpretStream(stream), WindowRulesOnly(stream)) << stream;
    }
}

}  // namespace
}  // namespace sw::pdfunpack
