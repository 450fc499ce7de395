#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "platform/base/TextCodec.h"
#include "platform/calc/engine/TextMeasure.h"

namespace calc {
namespace {

TEST(text_measure_test, widths_follow_the_font) {
    TextMeasure m;
    ASSERT_TRUE(m.measuresFonts()) << "no metric-compatible Arial (fonts-liberation) found";
    io::FontSpec arial;
    EXPECT_EQ(m.maxDigitWidth(arial), 7);  // the width unit of Arial 10
    EXPECT_NEAR(m.width(L"Hello", arial), 30.4, 0.6);
    EXPECT_NEAR(m.width(L"Monday, January 31, 2005", arial), 157.8, 1.5);
    io::FontSpec bold = arial;
    bold.bold = true;
    EXPECT_GT(m.width(L"Hello", bold), m.width(L"Hello", arial));
    io::FontSpec big = arial;
    big.size = 12;
    EXPECT_EQ(m.maxDigitWidth(big), 9);
    EXPECT_DOUBLE_EQ(m.width(L"", arial), 0.0);
    // Column widths in characters of the standard font's digits, capped at 255.
    EXPECT_NEAR(ColumnWidthForPixels(140.0, 7), 20.29, 0.01);
    EXPECT_DOUBLE_EQ(ColumnWidthForPixels(5000.0, 7), 255.0);
}

TEST(text_measure_test, a_text_measures_the_sum_of_its_characters_in_order) {
    TextMeasure m;
    io::FontSpec arial;
    for (const wchar_t* text : {L"Invoice 4711", L"Caf\u00e9 \u00e0 la carte", L"\u03a9mega \u65e5\u672c x",
                                L"\U0001F600 and more", L"\u00ff\u0100\u00fe"}) {
        const std::wstring_view t(text);
        double sum = 0.0;
        for (size_t i = 0; i < t.size(); ++i) {
            sum += m.width(t.substr(i, 1), arial);
        }
        // Once with every character measured before, once with none (a fresh measure).
        EXPECT_EQ(m.width(t, arial), sum) << sw::base::ToUtf8(std::wstring(t));
        TextMeasure fresh;
        EXPECT_EQ(fresh.width(t, arial), sum) << sw::base::ToUtf8(std::wstring(t));
    }
}

TEST(text_measure_test, a_face_measures_as_its_font_and_is_shared_by_fonts_of_equal_widths) {
    TextMeasure m;
    io::FontSpec arial;
    io::FontSpec underlined = arial;
    underlined.underline = true;
    io::FontSpec bold = arial;
    bold.bold = true;
    io::FontSpec larger = arial;
    larger.size = 11;
    const TextMeasure::Face face = m.face(arial);
    EXPECT_TRUE(m.face(underlined) == face);
    EXPECT_FALSE(m.face(bold) == face);
    EXPECT_FALSE(m.face(larger) == face);
    EXPECT_TRUE(m.face(arial) == face);  // after other fonts were looked up
    for (const io::FontSpec& font : {arial, bold, larger}) {
        EXPECT_EQ(m.width(L"Quarterly \u00e9t\u00e9 \u03a9", m.face(font)),
                  m.width(L"Quarterly \u00e9t\u00e9 \u03a9", font));
    }
}

}  // namespace
}  // namespace calc
