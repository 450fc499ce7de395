// Each group below is one row of the typed-input table in platform/calc/README.md.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>

#include "platform/calc/engine/TypedInput.h"

namespace calc {
namespace {

constexpr int kYear = 2026;
constexpr double kJan31of2005 = 38383.0;

struct Expect {
    const wchar_t* typed;
    InputKind kind;
    double value;
    const wchar_t* format;
};

void Check(const Expect& e) {
    SCOPED_TRACE(testing::Message() << "typed: \"" << std::string(e.typed, e.typed + std::wcslen(e.typed))
                                    << "\"");
    TypedValue v = ConvertTypedInput(e.typed, kYear);
    ASSERT_EQ(static_cast<int>(v.kind), static_cast<int>(e.kind));
    EXPECT_DOUBLE_EQ(v.value, e.value);
    EXPECT_EQ(std::wstring(v.format), std::wstring(e.format));
}

void CheckText(const wchar_t* typed) {
    SCOPED_TRACE(testing::Message() << "typed: \"" << std::string(typed, typed + std::wcslen(typed)) << "\"");
    TypedValue v = ConvertTypedInput(typed, kYear);
    EXPECT_EQ(static_cast<int>(v.kind), static_cast<int>(InputKind::Text));
    EXPECT_EQ(std::wstring(v.text), std::wstring(typed));
    EXPECT_EQ(std::wstring(v.format), L"General");
}

double Serial(int y, int m, int d) {
    return *DateSerial(y, m, d);
}

TEST(typed_input_test, plain_numbers_stay_general) {
    for (const Expect& e :
         {Expect{L"1234", InputKind::Number, 1234, L"General"},
          Expect{L"1234.5", InputKind::Number, 1234.5, L"General"},
          Expect{L".5", InputKind::Number, 0.5, L"General"}, Expect{L"+5", InputKind::Number, 5, L"General"},
          Expect{L"5.", InputKind::Number, 5, L"General"},
          Expect{L"00123", InputKind::Number, 123, L"General"},
          Expect{L"-123", InputKind::Number, -123, L"General"},
          Expect{L"-0", InputKind::Number, 0, L"General"},
          Expect{L"  123  ", InputKind::Number, 123, L"General"}}) {
        Check(e);
    }
    EXPECT_FALSE(std::signbit(ConvertTypedInput(L"-0", kYear).value));
}

TEST(typed_input_test, thousands_separators_choose_grouped_formats) {
    Check({L"1,234", InputKind::Number, 1234, L"#,##0"});
    Check({L"12,345,678", InputKind::Number, 12345678, L"#,##0"});
    Check({L"1,234.5", InputKind::Number, 1234.5, L"#,##0.00"});
    Check({L"-1,234.56", InputKind::Number, -1234.56, L"#,##0.00"});
    for (const wchar_t* bad : {L"12,34", L"1,2345", L"1,234,56", L",123", L"1234,567", L"1,234e3"}) {
        CheckText(bad);
    }
}

TEST(typed_input_test, parentheses_make_negative_numbers) {
    Check({L"(123)", InputKind::Number, -123, L"General"});
    Check({L"(1,234.50)", InputKind::Number, -1234.5, L"#,##0.00"});
    CheckText(L"(123");
    CheckText(L"(-123)");
}

TEST(typed_input_test, percentages_divide_by_hundred) {
    Check({L"10%", InputKind::Number, 0.1, L"0%"});
    Check({L"-10%", InputKind::Number, -0.1, L"0%"});
    Check({L"12.25%", InputKind::Number, 0.1225, L"0.00%"});
    CheckText(L"%10");
    CheckText(L"10%%");
}

TEST(typed_input_test, exponents_choose_scientific_format) {
    Check({L"1E3", InputKind::Number, 1000, L"0.00E+00"});
    Check({L"1.5e-3", InputKind::Number, 0.0015, L"0.00E+00"});
    Check({L"-2E+2", InputKind::Number, -200, L"0.00E+00"});
    CheckText(L"1E");
    CheckText(L"1E99999");
}

TEST(typed_input_test, mixed_fractions_become_numbers) {
    Check({L"1 1/2", InputKind::Number, 1.5, L"# ?/?"});
    Check({L"0 3/16", InputKind::Number, 0.1875, L"# ?\?/?\?"});
    Check({L"-2 1/4", InputKind::Number, -2.25, L"# ?/?"});
    CheckText(L"1 1/0");
    CheckText(L"1  1/2");
}

TEST(typed_input_test, dollar_amounts_get_currency_formats) {
    Check({L"$1,234.50", InputKind::Number, 1234.5, L"$#,##0.00_);($#,##0.00)"});
    Check({L"$1234.5", InputKind::Number, 1234.5, L"$#,##0.00_);($#,##0.00)"});
    Check({L"$5", InputKind::Number, 5, L"$#,##0_);($#,##0)"});
    Check({L"-$5", InputKind::Number, -5, L"$#,##0_);($#,##0)"});
    Check({L"$-5", InputKind::Number, -5, L"$#,##0_);($#,##0)"});
    Check({L"($5)", InputKind::Number, -5, L"$#,##0_);($#,##0)"});
    CheckText(L"$");
    CheckText(L"$$5");
    CheckText(L"$5%");
}

TEST(typed_input_test, long_numbers_keep_fifteen_digits) {
    TypedValue v = ConvertTypedInput(L"12345678901234567890", kYear);
    ASSERT_EQ(static_cast<int>(v.kind), static_cast<int>(InputKind::Number));
    EXPECT_DOUBLE_EQ(v.value, 1.23456789012346e19);
    EXPECT_DOUBLE_EQ(ConvertTypedInput(L"0.1234567890123456789", kYear).value, 0.123456789012346);
}

TEST(typed_input_test, numeric_month_day_year_dates) {
    for (const wchar_t* typed :
         {L"1/31/2005", L"1/31/05", L"1-31-2005", L"01/31/2005", L"2005-01-31", L"2005/1/31"}) {
        Check({typed, InputKind::Date, kJan31of2005, L"d-mmm-yy"});
    }
    CheckText(L"1/31-2005");  // separators must agree
}

TEST(typed_input_test, dates_with_month_names) {
    for (const wchar_t* typed :
         {L"31-Jan-05", L"31-Jan-2005", L"31 Jan 2005", L"31/Jan/2005", L"31 January 2005", L"Jan 31, 2005",
          L"January 31, 2005", L"jan 31 2005", L"JANUARY 31,2005"}) {
        Check({typed, InputKind::Date, kJan31of2005, L"d-mmm-yy"});
    }
    CheckText(L"Janu 31, 2005");
    CheckText(L"31 Jan Feb");
}

TEST(typed_input_test, dates_without_year_take_the_current_year) {
    for (const wchar_t* typed : {L"1/31", L"1-31", L"31-Jan", L"Jan 31", L"jan-31"}) {
        Check({typed, InputKind::Date, Serial(kYear, 1, 31), L"d-mmm-yy"});
    }
    Check({L"Jan-05", InputKind::Date, Serial(kYear, 1, 5), L"d-mmm-yy"});
}

TEST(typed_input_test, month_and_year_give_the_first_of_the_month) {
    for (const wchar_t* typed : {L"Jan 2005", L"January 2005", L"Jan-2005", L"1/2005"}) {
        Check({typed, InputKind::Date, Serial(2005, 1, 1), L"d-mmm-yy"});
    }
    Check({L"Jan-32", InputKind::Date, Serial(1932, 1, 1), L"d-mmm-yy"});
    Check({L"5/80", InputKind::Date, Serial(1980, 5, 1), L"d-mmm-yy"});
    Check({L"2/30", InputKind::Date, Serial(1930, 2, 1), L"d-mmm-yy"});
}

TEST(typed_input_test, two_digit_years_pivot_at_thirty) {
    Check({L"1/1/29", InputKind::Date, Serial(2029, 1, 1), L"d-mmm-yy"});
    Check({L"1/1/30", InputKind::Date, Serial(1930, 1, 1), L"d-mmm-yy"});
    Check({L"1/1/00", InputKind::Date, Serial(2000, 1, 1), L"d-mmm-yy"});
}

TEST(typed_input_test, impossible_dates_stay_text) {
    for (const wchar_t* typed : {L"13/1/2005", L"2/30/2005", L"2/29/2005", L"1.31.2005", L"12/31/1899",
                                 L"0/5/2005", L"1/31/205", L"1/31/", L"32-Jan-05"}) {
        CheckText(typed);
    }
    Check({L"2/29/2004", InputKind::Date, Serial(2004, 2, 29), L"d-mmm-yy"});
    // Month numbers beyond twelve in the month-and-day forms.
    for (const wchar_t* typed : {L"13/21", L"13/2005", L"0/5", L"13/21 /005 10:3309"}) {
        CheckText(typed);
    }
}

TEST(typed_input_test, times_of_day) {
    Check({L"10:30", InputKind::Time, 0.4375, L"h:mm"});
    Check({L"22:30", InputKind::Time, 0.9375, L"h:mm"});
    Check({L"10:30:15", InputKind::Time, (10 * 3600 + 30 * 60 + 15) / 86400.0, L"h:mm:ss"});
    for (const wchar_t* typed : {L"10:30 PM", L"10:30 pm", L"10:30 p", L"10:30PM"}) {
        Check({typed, InputKind::Time, 0.9375, L"h:mm AM/PM"});
    }
    Check({L"10:30:15 AM", InputKind::Time, (10 * 3600 + 30 * 60 + 15) / 86400.0, L"h:mm:ss AM/PM"});
    Check({L"10 PM", InputKind::Time, 22 / 24.0, L"h:mm AM/PM"});
    Check({L"12:00 AM", InputKind::Time, 0.0, L"h:mm AM/PM"});
    Check({L"12:00 PM", InputKind::Time, 0.5, L"h:mm AM/PM"});
    Check({L"25:30", InputKind::Time, 1.0625, L"[h]:mm:ss"});
    for (const wchar_t* typed : {L"10:61", L"10:30:60", L"13:00 PM", L"10:", L":30", L"1:2:3:4", L"10 XM"}) {
        CheckText(typed);
    }
}

TEST(typed_input_test, date_with_time) {
    Check({L"1/31/2005 10:30", InputKind::DateTime, kJan31of2005 + 0.4375, L"m/d/yyyy h:mm"});
    Check({L"1/31/2005 10:30 PM", InputKind::DateTime, kJan31of2005 + 0.9375, L"m/d/yyyy h:mm"});
    Check({L"2005-01-31 10:30:15", InputKind::DateTime, kJan31of2005 + (10 * 3600 + 30 * 60 + 15) / 86400.0,
           L"m/d/yyyy h:mm"});
    Check({L"Jan 31, 2005 10:30", InputKind::DateTime, kJan31of2005 + 0.4375, L"m/d/yyyy h:mm"});
    CheckText(L"1/31/2005 25:00");
}

TEST(typed_input_test, apostrophe_keeps_text_as_typed) {
    TypedValue v = ConvertTypedInput(L"'00123", kYear);
    EXPECT_EQ(static_cast<int>(v.kind), static_cast<int>(InputKind::Text));
    EXPECT_EQ(std::wstring(v.text), L"00123");
    EXPECT_EQ(std::wstring(ConvertTypedInput(L"'1/31/2005", kYear).text), L"1/31/2005");
}

TEST(typed_input_test, everything_else_stays_text) {
    for (const wchar_t* typed : {L"123abc", L"1.2.3", L"N/A", L"TRUE", L"=A1", L"-----", L"#N/A", L"Total",
                                 L"March madness", L"Invoice 1/31/2005", L"", L"   ", L"+", L"-", L"."}) {
        CheckText(typed);
    }
}

TEST(typed_input_test, date_serials_count_the_phantom_leap_day) {
    EXPECT_DOUBLE_EQ(Serial(1900, 1, 1), 1.0);
    EXPECT_DOUBLE_EQ(Serial(1900, 2, 28), 59.0);
    EXPECT_DOUBLE_EQ(Serial(1900, 3, 1), 61.0);
    EXPECT_DOUBLE_EQ(Serial(2005, 1, 31), kJan31of2005);
    EXPECT_DOUBLE_EQ(Serial(9999, 12, 31), 2958465.0);
    EXPECT_FALSE(DateSerial(1899, 12, 31).has_value());
    EXPECT_DOUBLE_EQ(OleDateFromSerial(1.0), 2.0);  // 1 January 1900 is automation day 2
    EXPECT_DOUBLE_EQ(OleDateFromSerial(61.0), 61.0);
    EXPECT_DOUBLE_EQ(OleDateFromSerial(0.5), 0.5);  // a time alone stays on day 0
    EXPECT_DOUBLE_EQ(SerialFromOleDate(OleDateFromSerial(59.0)), 59.0);
}

}  // namespace
}  // namespace calc
