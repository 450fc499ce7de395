#include "platform/calc/format/NumberFormat.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

using calc::format::Classify;
using calc::format::FormatClass;
using calc::format::FormatText;
using calc::format::FormatValue;
using calc::format::IsDateTimeFormat;

namespace {

// 2005-01-31 10:30:00
constexpr double kJan31At1030 = 38383.4375;

struct Case {
    double value;
    const wchar_t* code;
    const wchar_t* shown;
};

void ExpectAll(std::initializer_list<Case> cases) {
    for (const Case& c : cases) {
        EXPECT_EQ(FormatValue(c.value, c.code), c.shown)
            << "value " << c.value << " code " << std::string(c.code, c.code + wcslen(c.code));
    }
}

TEST(number_format_test, general_uses_eleven_characters_then_scientific) {
    ExpectAll({
        {0, L"General", L"0"},
        {1234.5, L"General", L"1234.5"},
        {-2147483648.0, L"General", L"-2147483648"},
        {99999999999.0, L"General", L"99999999999"},
        {1.0 / 3.0, L"General", L"0.333333333"},
        {2000.0 / 3.0, L"General", L"666.6666667"},
        {3.14159265358979, L"General", L"3.141592654"},
        {1234567.891234, L"General", L"1234567.891"},
        {0.00001, L"General", L"0.00001"},
        {0.0000123, L"General", L"0.0000123"},
        {1.23456e-6, L"General", L"1.23456E-06"},
        {123456789012.0, L"General", L"1.23457E+11"},
        {1e11, L"General", L"1E+11"},
        {1e-10, L"general", L"1E-10"},
        {-0.5, L"General", L"-0.5"},
        {0.1 + 0.2, L"General", L"0.3"},
        {1e300, L"", L"1E+300"},
    });
}

TEST(number_format_test, fixed_decimals_round_half_away_from_zero) {
    ExpectAll({
        {1234.5, L"0", L"1235"},
        {-1234.5, L"0", L"-1235"},
        {1.005, L"0.00", L"1.01"},
        {2.675, L"0.00", L"2.68"},
        {0.5, L"0.00", L"0.50"},
        {0, L"0.00", L"0.00"},
        {0.5, L"#.00", L".50"},
        {5, L"0.", L"5."},
        {1.5, L"0.0#", L"1.5"},
        {1.25, L"0.0#", L"1.25"},
        {7, L"000", L"007"},
        {1.5, L"0.??", L"1.5 "},
        {123456789, L"0", L"123456789"},
        {9.995, L"0.00", L"10.00"},
    });
}

TEST(number_format_test, fixed_digits_past_fifteen_places_and_carries_through_nines) {
    ExpectAll({
        {999999.995, L"#,##0.00", L"1,000,000.00"},
        {-99.95, L"0.0", L"-100.0"},
        {0.006, L"0.00", L"0.01"},
        {0.004, L"0.00", L"0.00"},
        {0.05, L"0.0", L"0.1"},
        {0.0049, L"0.0", L"0.0"},
        {123456789012345678.0, L"0", L"123456789012346000"},
        {1e20, L"#,##0", L"100,000,000,000,000,000,000"},
        {1.0 / 3.0, L"0.00000000000000000000", L"0.33333333333333300000"},
        {2.5, L"0.##########", L"2.5"},
        {-7.25, L"$#,##0.00;($#,##0.00)", L"($7.25)"},
        // Stored just below a half unit, shown from 15 digits that end in the half.
        {0.285, L"0.00", L"0.29"},
        {4.35, L"0.0", L"4.4"},
        {-8.345, L"#,##0.00", L"-8.35"},
        {1e12 + 0.005, L"0.00", L"1000000000000.01"},
        {249999999999.995, L"#,##0.00", L"250,000,000,000.00"},
        {99999999999999.5, L"0", L"100000000000000"},
        {0.0000000005, L"0.000000000", L"0.000000001"},
        {1234.5678905, L"0.0000000", L"1234.5678905"},
    });
    // More digits than fit a small buffer: 301 integer digits, 150 decimals.
    const std::wstring huge = FormatValue(1e300, L"0.00");
    EXPECT_EQ(huge, L"1" + std::wstring(300, L'0') + L".00");
    const std::wstring tiny = FormatValue(0.125, L"0." + std::wstring(150, L'0'));
    EXPECT_EQ(tiny, L"0.125" + std::wstring(147, L'0'));
}

TEST(number_format_test, a_formatter_shows_what_format_value_shows_and_replaces_its_output) {
    std::wstring out = L"a much longer text held before";
    const calc::format::ValueFormatter money(L"#,##0.00");
    money.format(1234.5, out);
    EXPECT_EQ(out, L"1,234.50");
    money.format(-0.004, out);
    EXPECT_EQ(out, FormatValue(-0.004, L"#,##0.00"));
    calc::format::ValueFormatter(L"0.0").format(-3, out);
    EXPECT_EQ(out, L"-3.0");
    calc::format::ValueFormatter(L"m/d/yyyy").format(38383, out);
    EXPECT_EQ(out, L"1/31/2005");
    calc::format::ValueFormatter(L"General").format(0.5, out);
    EXPECT_EQ(out, L"0.5");
    calc::format::ValueFormatter(L"0;-0;").format(0, out);
    EXPECT_EQ(out, L"");
    // A formatter outlives the cache's eviction of its code.
    const calc::format::ValueFormatter early(L"0.000");
    for (int i = 0; i < 5000; ++i) {
        FormatValue(
            1, L"0." + std::wstring(static_cast<size_t>(i % 40) + 1, L'0') + std::to_wstring(i) + L"\"x\"");
    }
    early.format(2.5, out);
    EXPECT_EQ(out, L"2.500");
}

TEST(number_format_test, thousands_grouping_and_scaling) {
    ExpectAll({
        {1234.5, L"#,##0.00", L"1,234.50"},
        {-1234567.891, L"#,##0.00", L"-1,234,567.89"},
        {999.999, L"#,##0.00", L"1,000.00"},
        {0.5, L"#,##0.00", L"0.50"},
        {12, L"#,##0", L"12"},
        {1234567, L"#,##0", L"1,234,567"},
        {1234567, L"#,##0,", L"1,235"},
        {1234567, L"0.0,,", L"1.2"},
    });
}

TEST(number_format_test, currency_and_percent) {
    ExpectAll({
        {1234.5, L"$#,##0.00", L"$1,234.50"},
        {-5, L"$#,##0.00", L"-$5.00"},
        {1234.5678, L"$#,##0.000", L"$1,234.568"},
        {0.125, L"0.0%", L"12.5%"},
        {0.5, L"0%", L"50%"},
        {-0.1, L"0%", L"-10%"},
        {0.12345, L"0.00%", L"12.35%"},
        {12.5, L"$#,##0.00_);($#,##0.00)", L"$12.50 "},
        {-12.5, L"$#,##0.00_);($#,##0.00)", L"($12.50)"},
        {-12.5, L"$#,##0.00_);[Red]($#,##0.00)", L"($12.50)"},
        {12.5, L"\"$\"#,##0.00_);\\(\"$\"#,##0.00\\)", L"$12.50 "},
        {3, L"[$\u20ac-407]#,##0.00", L"\u20ac3.00"},
    });
}

TEST(number_format_test, sections_pick_by_sign_and_zero) {
    ExpectAll({
        {5, L"0.00;(0.00);\"zero\"", L"5.00"},
        {-5, L"0.00;(0.00);\"zero\"", L"(5.00)"},
        {0, L"0.00;(0.00);\"zero\"", L"zero"},
        {0, L"0.00;(0.00)", L"0.00"},
        {-3, L"0;;", L""},
        {0, L"0;-0;;@", L""},
        {5, L"\"up\";\"down\"", L"up"},
        {-5, L"\"up\";\"down\"", L"down"},
        {0, L"\"up\";\"down\";\"flat\"", L"flat"},
        {-5, L"General;(General)", L"(5)"},
        {-2.5, L"0.0;-General", L"-2.5"},
        {-0.001, L"0.00", L"-0.00"},
    });
    EXPECT_EQ(FormatText(L"abc", L"0;-0;0;\"[\"@\"]\""), L"[abc]");
    EXPECT_EQ(FormatText(L"abc", L"0.00"), L"abc");
    EXPECT_EQ(FormatText(L"abc", L"yyyy-mm-dd;@"), L"abc");
    EXPECT_EQ(FormatText(L"abc", L"\"<\"@\">\""), L"<abc>");
    EXPECT_EQ(FormatText(L"x", L"General"), L"x");
}

TEST(number_format_test, scientific_and_fractions) {
    ExpectAll({
        {12345.678, L"0.00E+00", L"1.23E+04"},
        {0.00012, L"0.00E+00", L"1.20E-04"},
        {0.00012, L"0.00E-00", L"1.20E-04"},
        {12345.678, L"0.00E-00", L"1.23E04"},
        {9.999, L"0.00E+00", L"1.00E+01"},
        {0, L"0.00E+00", L"0.00E+00"},
        {12345, L"##0.0E+0", L"12.3E+3"},
        {1.5, L"# ?/?", L"1 1/2"},
        {1.125, L"# ?/8", L"1 1/8"},
        {2.75, L"# \?\?/\?\?", L"2  3/4 "},
        {3, L"# ?/?", L"3    "},
    });
}

TEST(number_format_test, profile_date_formats) {
    ExpectAll({
        {kJan31At1030, L"m/d/yyyy", L"1/31/2005"},
        {kJan31At1030, L"m/d/yy", L"1/31/05"},
        {kJan31At1030, L"dddd, mmmm dd, yyyy", L"Monday, January 31, 2005"},
        {kJan31At1030, L"mm/dd/yyyy", L"01/31/2005"},
        {kJan31At1030, L"d-mmm-yy", L"31-Jan-05"},
        {kJan31At1030, L"yyyy-mm-dd;@", L"2005-01-31"},
        {38353, L"dddd, mmmm dd, yyyy", L"Saturday, January 01, 2005"},
        {kJan31At1030, L"h:mm:ss AM/PM", L"10:30:00 AM"},
        {0.9375, L"h:mm:ss AM/PM", L"10:30:00 PM"},
        {0, L"h:mm:ss AM/PM", L"12:00:00 AM"},
        {0.5, L"h:mm AM/PM", L"12:00 PM"},
    });
}

TEST(number_format_test, custom_date_tokens_and_minute_rule) {
    ExpectAll({
        {kJan31At1030, L"ddd d mmm", L"Mon 31 Jan"},
        {kJan31At1030, L"mmmmm", L"J"},
        {kJan31At1030, L"yy", L"05"},
        {kJan31At1030, L"yyy", L"2005"},
        {kJan31At1030, L"hh:mm", L"10:30"},
        {kJan31At1030, L"h \"h\" m \"min\"", L"10 h 30 min"},
        {kJan31At1030, L"mm:ss", L"30:00"},
        {kJan31At1030, L"m", L"1"},
        {kJan31At1030, L"HH:MM", L"10:30"},
        {kJan31At1030 + 5.0 / 86400, L"m/d h:mm:ss", L"1/31 10:30:05"},
        {0.9375, L"h A/P", L"10 P"},
        {0.25, L"h a/p", L"6 a"},
        {0.25, L"h am/pm", L"6 am"},
        {kJan31At1030, L"[$-409]d\\-mmm\\-yyyy;@", L"31-Jan-2005"},
        {kJan31At1030, L"[Blue]dd/mm", L"31/01"},
        {1.0625, L"[h]:mm:ss", L"25:30:00"},
        {0.0625, L"[mm]:ss", L"90:00"},
        {0.5 + 1.5 / 86400, L"h:mm:ss.0", L"12:00:01.5"},
    });
    EXPECT_EQ(FormatValue(kJan31At1030, L"\"Date: \"m/d/yyyy"), L"Date: 1/31/2005");
}

TEST(number_format_test, dates_around_the_fictitious_leap_day) {
    ExpectAll({
        {0, L"m/d/yyyy", L"1/0/1900"},
        {1, L"m/d/yyyy", L"1/1/1900"},
        {1, L"dddd", L"Sunday"},
        {59, L"m/d/yyyy", L"2/28/1900"},
        {60, L"m/d/yyyy", L"2/29/1900"},
        {61, L"m/d/yyyy", L"3/1/1900"},
        {61, L"dddd", L"Thursday"},
        {32, L"d-mmm-yy", L"1-Feb-00"},
        {36585, L"m/d/yyyy", L"2/29/2000"},
        {2958465, L"m/d/yyyy", L"12/31/9999"},
        {-1, L"m/d/yyyy", L"########"},
        {2958466, L"m/d/yyyy", L"########"},
    });
}

TEST(number_format_test, times_round_to_the_shown_unit_and_carry_past_midnight) {
    ExpectAll({
        {0.99999, L"h:mm", L"23:59"},
        {0.999999, L"h:mm:ss", L"0:00:00"},
        {38383.999999, L"m/d/yyyy h:mm:ss", L"2/1/2005 0:00:00"},
        {0.999999, L"h:mm:ss.000", L"23:59:59.914"},
        {0.5 + 0.4 / 86400, L"h:mm:ss", L"12:00:00"},
        {0.5 + 0.6 / 86400, L"h:mm:ss", L"12:00:01"},
    });
}

TEST(number_format_test, literals_escapes_padding_and_fill) {
    ExpectAll({
        {5, L"0\" units\"", L"5 units"},
        {5, L"\\#0", L"#5"},
        {5, L"0_)", L"5 "},
        {5, L"*-0", L"5"},
        {123456789, L"000-00-0000", L"123-45-6789"},
        {5, L"\"a;b\"0", L"a;b5"},
        {5, L"(0)", L"(5)"},
        {1234567890, L"000-00-0000", L"1234-56-7890"},
    });
}

TEST(number_format_test, classification_follows_the_first_section) {
    EXPECT_EQ(Classify(L"General"), FormatClass::General);
    EXPECT_EQ(Classify(L"0.00"), FormatClass::Number);
    EXPECT_EQ(Classify(L"#,##0.00"), FormatClass::Number);
    EXPECT_EQ(Classify(L"0%"), FormatClass::Percent);
    EXPECT_EQ(Classify(L"$#,##0.00"), FormatClass::Currency);
    EXPECT_EQ(Classify(L"m/d/yyyy"), FormatClass::Date);
    EXPECT_EQ(Classify(L"h:mm:ss AM/PM"), FormatClass::Time);
    EXPECT_EQ(Classify(L"mm:ss"), FormatClass::Time);
    EXPECT_EQ(Classify(L"m/d/yyyy h:mm"), FormatClass::DateTime);
    EXPECT_EQ(Classify(L"@"), FormatClass::Text);
    EXPECT_EQ(Classify(L"\"abc\""), FormatClass::Other);

    EXPECT_TRUE(IsDateTimeFormat(L"yyyy-mm-dd;@"));
    EXPECT_TRUE(IsDateTimeFormat(L"[h]:mm"));
    EXPECT_TRUE(IsDateTimeFormat(L"[$-409]h:mm AM/PM"));
    EXPECT_FALSE(IsDateTimeFormat(L"General"));
    EXPECT_FALSE(IsDateTimeFormat(L"\"day\" 0"));
    EXPECT_FALSE(IsDateTimeFormat(L"0.00E+00"));
    EXPECT_FALSE(IsDateTimeFormat(L"[Red]0.00"));
    EXPECT_FALSE(IsDateTimeFormat(L"@"));
    EXPECT_FALSE(IsDateTimeFormat(L"\\d0"));
}

// Thousands of distinct codes from several threads: the parsed-code cache is
// emptied when full while other threads still render with entries from it.
TEST(number_format_test, cache_serves_many_codes_from_many_threads) {
    auto work = [](int seed, int* wrong) {
        for (int i = 0; i < 6000; ++i) {
            int decimals = (i + seed) % 7;
            std::wstring code =
                L"\"#" + std::to_wstring(i * 4 + seed) + L" \"0." + std::wstring(decimals, L'0');
            std::wstring expect =
                L"#" + std::to_wstring(i * 4 + seed) + L" 2." + std::wstring(decimals, L'0');
            if (FormatValue(2, code) != expect) {
                ++*wrong;
            }
        }
    };
    int wrong[4] = {};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back(work, t, &wrong[t]);
    }
    for (auto& th : threads) {
        th.join();
    }
    EXPECT_EQ(wrong[0] + wrong[1] + wrong[2] + wrong[3], 0);
}

TEST(number_format_test, odd_codes_never_crash) {
    for (const wchar_t* code : {L"\"", L"[", L"\\", L"_", L"*", L";;;;;", L"E+", L"0/", L"/0", L"[h", L"#,",
                                L",", L"0.0.0", L"0E+0E+0", L"?/?", L"[$", L"a/p/m"}) {
        for (double v : {0.0, -1.5, 12345.678, 1e300, -1e-300}) {
            (void)FormatValue(v, code);
        }
        (void)FormatText(L"t", code);
        (void)Classify(code);
    }
    EXPECT_EQ(FormatValue(1.0 / 0.0, L"0.00"), L"#NUM!");
}

}  // namespace
