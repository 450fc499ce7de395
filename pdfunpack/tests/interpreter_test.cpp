// The window rules of the text interpreter, on streams given directly.
#include <gtest/gtest.h>

#include <array>
#include <random>
#include <string>

#include "pdfunpack/text_interpreter.h"

namespace sw::pdfunpack {
namespace {

// The window rules alone, without the layout tracker.
std::string Plain(std::string_view stream) {
    InterpreterOptions options;
    options.layoutOperators = false;
    return InterpretStream(stream, options);
}

// Streams of the window rules must come out the same with the tracker on.
std::string Both(std::string_view stream) {
    const std::string plain = Plain(stream);
    EXPECT_EQ(InterpretStream(stream), plain) << "tracker changed a stream without its operators: " << stream;
    return plain;
}

TEST(pdfunpack_interpreter_test, td_second_operand_chooses_line_end_tab_or_nothing) {
    EXPECT_EQ(Both("BT 72 712 TD (Name:) Tj 100 0 TD (Smith) Tj ET\nQ"), "\r\nName:\tSmith\r\n");
    EXPECT_EQ(Both("BT 72 712 TD (Name:) Tj 100 0 TD (Smith) Tj 0 -14 TD (Next) Tj ET\nQ"),
              "\r\nName:\tSmith\r\nNext\r\n");
    // Exactly 1 writes nothing; the sign is not read, so -0.5 is 0.5.
    EXPECT_EQ(Both("BT (a) Tj 5 1 TD (b) Tj 5 1.0 TD (c) Tj ET\nQ"), "abc\r\n");
    EXPECT_EQ(Both("BT (a) Tj 5 -0.5 TD (b) Tj 5 1.5 TD (c) Tj ET\nQ"), "a\tb\r\nc\r\n");
    // Only the second operand counts.
    EXPECT_EQ(Both("BT (a) Tj 0.5 5 TD (b) Tj 500 0.25 TD (c) Tj ET\nQ"), "a\r\nb\tc\r\n");
}

TEST(pdfunpack_interpreter_test, operators_need_line_space_on_both_sides) {
    // CR and LF count like blanks; a tab or a glued operand does not.
    EXPECT_EQ(Both("BT\r(a) Tj\n0 -9 TD\r(b) Tj\rET\r\r"), "a\r\nb\r\n");
    EXPECT_EQ(Both("\tBT\t(a) Tj ET\n\n"), "");
    EXPECT_EQ(Both("xBT (a) Tj ET\n\n"), "");
    EXPECT_EQ(Both("BT (a) Tj 0 -9 TD(b) Tj ET\n\n"), "ab\r\n");
    EXPECT_EQ(Both("BT (a) Tj 0 -9TD (b) Tj ET\n\n"), "ab\r\n");
}

TEST(pdfunpack_interpreter_test, et_needs_two_more_bytes_to_end_the_line) {
    EXPECT_EQ(Both("BT (a) Tj ET"), "a");
    EXPECT_EQ(Both("BT (a) Tj ET\n"), "a");
    EXPECT_EQ(Both("BT (a) Tj ET\nQ"), "a\r\n");
    // Strings after ET are outside any text block again.
    EXPECT_EQ(Both("BT (a) Tj ET\n(b) Tj BT (c) Tj ET\nQ"), "a\r\nc\r\n");
}

TEST(pdfunpack_interpreter_test, strings_outside_text_blocks_are_never_written) {
    EXPECT_EQ(Both("(hello) Tj 0 -20 TD (x) Tj"), "");
    EXPECT_EQ(Both("/Span << /ActualText (no) >> BDC BT (yes) Tj ET\nQ"), "yes\r\n");
}

TEST(pdfunpack_interpreter_test, tj_array_spacing_from_number_before_string) {
    EXPECT_EQ(Both("BT [(A) -1500 (B) -250 (C)] TJ ET\nQ"), "A\tB C\r\n");
    // Boundaries: 100 and below nothing, up to 1000 a blank, above a tab; magnitude only.
    EXPECT_EQ(Both("BT [(a) 100 (b) 100.5 (c) 1000 (d) 1000.5 (e) 2000 (f)] TJ ET\nQ"), "ab c d\te\tf\r\n");
    // The number must stand right before "(", blanks allowed.
    EXPECT_EQ(Both("BT [(a) -5000   (b) -5000x(c)] TJ ET\nQ"), "a\tbc\r\n");
}

TEST(pdfunpack_interpreter_test, escapes_are_taken_literally) {
    EXPECT_EQ(Both("BT (a\\)b) Tj ET\nQ"), "a)b\r\n");
    EXPECT_EQ(Both("BT (x\\\\y) Tj ET\nQ"), "x\\y\r\n");
    EXPECT_EQ(Both("BT (\\n\\t\\101) Tj ET\nQ"), "nt101\r\n");
    EXPECT_EQ(Both("BT (a\\(b) Tj ET\nQ"), "a(b\r\n");
}

TEST(pdfunpack_interpreter_test, nested_parenthesis_ends_the_string_early) {
    // The first unescaped ")" closes the string; what follows is outside it.
    EXPECT_EQ(Both("BT (a(b)c) Tj ET\nQ"), "a(b\r\n");
    // A stray ")" outside a string is ignored, an unclosed "(" runs to the end.
    EXPECT_EQ(Both("BT ) ) (a) Tj ET\nQ"), "a\r\n");
    EXPECT_EQ(Both("BT (never closed ET\nQ more"), "never closed ETQ more");
}

TEST(pdfunpack_interpreter_test, only_printable_ascii_is_written) {
    EXPECT_EQ(Both(std::string("BT (a\x01\x1f\x7f\x80\xff") + "b\tc\nd~ ) Tj ET\nQ"), "abcd~ \r\n");
    EXPECT_EQ(Both(std::string("BT (x\0y", 7) + ") Tj ET\nQ"), "xy\r\n");
}

TEST(pdfunpack_interpreter_test, numbers_are_read_like_scanf_float) {
    using W = std::array<char, 15>;
    auto window = [](std::string_view tail) {
        W w;
        w.fill(' ');
        for (std::size_t i = 0; i < tail.size(); ++i) {
            w[15 - tail.size() + i] = tail[i];
        }
        return w;
    };
    EXPECT_FLOAT_EQ(TextInterpreter::NumberEndingAt(window("-1500 "), 14), 1500.0F);
    EXPECT_FLOAT_EQ(TextInterpreter::NumberEndingAt(window("12.5.3"), 14), 12.5F);
    EXPECT_FLOAT_EQ(TextInterpreter::NumberEndingAt(window(".5"), 14), 0.5F);
    EXPECT_FLOAT_EQ(TextInterpreter::NumberEndingAt(window("7."), 14), 7.0F);
    EXPECT_FLOAT_EQ(TextInterpreter::NumberEndingAt(window("."), 14), -1.0F);
    EXPECT_FLOAT_EQ(TextInterpreter::NumberEndingAt(window("Tj"), 14), -1.0F);
    EXPECT_FLOAT_EQ(TextInterpreter::NumberEndingAt(window("["), 14), -1.0F);
    EXPECT_FLOAT_EQ(TextInterpreter::NumberEndingAt(window("3\n"), 14), -1.0F);
    // All fifteen bytes digits: the whole window is the number.
    EXPECT_FLOAT_EQ(TextInterpreter::NumberEndingAt(window("123456789012345"), 14), 123456789012345.0F);
    // Ending at byte 10, as for TD's operand.
    EXPECT_FLOAT_EQ(TextInterpreter::NumberEndingAt(window("0 -14 TD "), 10), 14.0F);
    // An unreadable TD operand is -1, which is less than 1: a tab.
    EXPECT_EQ(Both("BT (a) Tj 0 . TD (b) Tj ET\nQ"), "a\tb\r\n");
}

TEST(pdfunpack_interpreter_test, window_is_fresh_for_every_interpreter) {
    // Initially blanks, so BT at the very start counts.
    EXPECT_EQ(Both("BT (x) Tj ET\nQ"), "x\r\n");
    EXPECT_EQ(Both("BT"), "");
}

TEST(pdfunpack_interpreter_test, chunk_boundaries_do_not_change_output) {
    std::mt19937 rng(7);
    const std::string pieces[] = {"BT ",
                                  "ET\n",
                                  " 0 -12 TD ",
                                  " 5 0 Td ",
                                  "(ab\\)c) ",
                                  "[(x) -2000 (y)] TJ ",
                                  "1 0 0 1 72 700 Tm ",
                                  "12 TL ",
                                  "(q)' ",
                                  "/F1 10 Tf ",
                                  "BBT ",
                                  "B",
                                  "T",
                                  " "};
    for (int round = 0; round < 200; ++round) {
        std::string stream;
        const int n = static_cast<int>(rng() % 40);
        for (int i = 0; i < n; ++i) {
            stream += pieces[rng() % std::size(pieces)];
        }
        const std::string whole = InterpretStream(stream);
        for (const std::size_t chunk : {1U, 2U, 3U, 16U}) {
            std::string out;
            TextInterpreter interpreter([&out](std::string_view s) { out.append(s); });
            for (std::size_t i = 0; i < stream.size(); i += chunk) {
                interpreter.Feed(std::string_view(stream).substr(i, chunk));
            }
            interpreter.Finish();
            ASSERT_EQ(out, whole) << "chunk " << chunk << " of: " << stream;
        }
    }
}

}  // namespace
}  // namespace sw::pdfunpack
