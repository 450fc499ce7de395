#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "platform/automation/Automation.h"
#include "platform/automation/tests/TestObjects.h"

namespace {

VARIANT I4(LONG v) {
    VARIANT x;
    VariantInit(&x);
    x.vt = VT_I4;
    x.lVal = v;
    return x;
}

VARIANT R8(double v) {
    VARIANT x;
    VariantInit(&x);
    x.vt = VT_R8;
    x.dblVal = v;
    return x;
}

VARIANT Date(double v) {
    VARIANT x = R8(v);
    x.vt = VT_DATE;
    return x;
}

VARIANT Bool(bool v) {
    VARIANT x;
    VariantInit(&x);
    x.vt = VT_BOOL;
    x.boolVal = v ? VARIANT_TRUE : VARIANT_FALSE;
    return x;
}

VARIANT Cy(LONGLONG scaled) {
    VARIANT x;
    VariantInit(&x);
    x.vt = VT_CY;
    x.cyVal.int64 = scaled;
    return x;
}

VARIANT Text(const wchar_t* t) {
    VARIANT x;
    VariantInit(&x);
    x.vt = VT_BSTR;
    x.bstrVal = SysAllocString(t);
    return x;
}

VARIANT Missing() {
    VARIANT x;
    VariantInit(&x);
    x.vt = VT_ERROR;
    x.scode = DISP_E_PARAMNOTFOUND;
    return x;
}

VARIANT Typed(VARTYPE vt) {
    VARIANT x;
    VariantInit(&x);
    x.vt = vt;
    return x;
}

// A row of the coercion table: source, target type and flags, expected result.
struct Row {
    const char* name;
    VARIANT (*make)();
    VARTYPE to;
    USHORT flags;
    HRESULT hr;
    double number;        // expected numeric value (as double) when hr is S_OK and `to` is numeric
    const wchar_t* text;  // expected text when `to` is VT_BSTR
};

double NumberOf(const VARIANT& v) {
    switch (v.vt) {
        case VT_I2:
            return v.iVal;
        case VT_I4:
            return v.lVal;
        case VT_UI1:
            return v.bVal;
        case VT_R4:
            return v.fltVal;
        case VT_R8:
            return v.dblVal;
        case VT_DATE:
            return v.date;
        case VT_CY:
            return static_cast<double>(v.cyVal.int64);
        case VT_BOOL:
            return v.boolVal;
        case VT_ERROR:
            return v.scode;
        default:
            return std::numeric_limits<double>::quiet_NaN();
    }
}

#define SRC(expr) [] { return expr; }
#define TEXT(t) [] { return Text(t); }

}  // namespace

TEST(automation_test, coercion_table) {
    const Row rows[] = {
        // Integers with range checks.
        {"i4 fits i2", SRC(I4(-32768)), VT_I2, 0, S_OK, -32768, nullptr},
        {"i4 overflows i2", SRC(I4(70000)), VT_I2, 0, DISP_E_OVERFLOW, 0, nullptr},
        {"negative to ui1", SRC(I4(-1)), VT_UI1, 0, DISP_E_OVERFLOW, 0, nullptr},
        {"256 to ui1", SRC(I4(256)), VT_UI1, 0, DISP_E_OVERFLOW, 0, nullptr},
        // Doubles round half to even.
        {"2.5 to i4", SRC(R8(2.5)), VT_I4, 0, S_OK, 2, nullptr},
        {"3.5 to i4", SRC(R8(3.5)), VT_I4, 0, S_OK, 4, nullptr},
        {"-2.5 to i4", SRC(R8(-2.5)), VT_I4, 0, S_OK, -2, nullptr},
        {"2.6 to i2", SRC(R8(2.6)), VT_I2, 0, S_OK, 3, nullptr},
        {"i4 max", SRC(R8(2147483647.4)), VT_I4, 0, S_OK, 2147483647.0, nullptr},
        {"past i4 max", SRC(R8(2147483648.0)), VT_I4, 0, DISP_E_OVERFLOW, 0, nullptr},
        {"nan to i4", SRC(R8(std::nan(""))), VT_I4, 0, DISP_E_OVERFLOW, 0, nullptr},
        {"huge to r4", SRC(R8(1e39)), VT_R4, 0, DISP_E_OVERFLOW, 0, nullptr},
        {"date out of range", SRC(R8(1e7)), VT_DATE, 0, DISP_E_OVERFLOW, 0, nullptr},
        {"r8 to cy rounds to 4 places", SRC(R8(1.23456)), VT_CY, 0, S_OK, 12346, nullptr},
        {"cy to i4 rounds half even", SRC(Cy(25000)), VT_I4, 0, S_OK, 2, nullptr},
        {"date to i4", SRC(Date(38383.75)), VT_I4, 0, S_OK, 38384, nullptr},
        // Text to numbers, US locale.
        {"grouped decimal", TEXT(L"1,234.50"), VT_R8, 0, S_OK, 1234.5, nullptr},
        {"blanks and sign", TEXT(L"  -12 "), VT_I4, 0, S_OK, -12, nullptr},
        {"parentheses", TEXT(L"(5)"), VT_I4, 0, S_OK, -5, nullptr},
        {"trailing minus", TEXT(L"5-"), VT_I4, 0, S_OK, -5, nullptr},
        {"currency sign", TEXT(L"$1,000"), VT_R8, 0, S_OK, 1000, nullptr},
        {"exponent", TEXT(L"1.5e3"), VT_R8, 0, S_OK, 1500, nullptr},
        {"hexadecimal", TEXT(L"&H1F"), VT_I4, 0, S_OK, 31, nullptr},
        {"text to i2 overflow", TEXT(L"99999"), VT_I2, 0, DISP_E_OVERFLOW, 0, nullptr},
        {"word", TEXT(L"abc"), VT_I4, 0, DISP_E_TYPEMISMATCH, 0, nullptr},
        {"empty text", TEXT(L""), VT_R8, 0, DISP_E_TYPEMISMATCH, 0, nullptr},
        {"number then word", TEXT(L"12abc"), VT_R8, 0, DISP_E_TYPEMISMATCH, 0, nullptr},
        {"two signs", TEXT(L"-5-"), VT_R8, 0, DISP_E_TYPEMISMATCH, 0, nullptr},
        {"unclosed parenthesis", TEXT(L"(5"), VT_R8, 0, DISP_E_TYPEMISMATCH, 0, nullptr},
        {"european decimal comma", TEXT(L"1,5"), VT_R8, 0, S_OK, 15, nullptr},
        {"overflowing text", TEXT(L"1e400"), VT_R8, 0, DISP_E_OVERFLOW, 0, nullptr},
        // Booleans: true is -1.
        {"true to i4", SRC(Bool(true)), VT_I4, 0, S_OK, -1, nullptr},
        {"true to ui1", SRC(Bool(true)), VT_UI1, 0, S_OK, 255, nullptr},
        {"5 to bool", SRC(I4(5)), VT_BOOL, 0, S_OK, VARIANT_TRUE, nullptr},
        {"0.0 to bool", SRC(R8(0.0)), VT_BOOL, 0, S_OK, VARIANT_FALSE, nullptr},
        {"text true", TEXT(L"true"), VT_BOOL, 0, S_OK, VARIANT_TRUE, nullptr},
        {"text False", TEXT(L" False "), VT_BOOL, 0, S_OK, VARIANT_FALSE, nullptr},
        {"text 0", TEXT(L"0"), VT_BOOL, 0, S_OK, VARIANT_FALSE, nullptr},
        {"text 2", TEXT(L"2"), VT_BOOL, 0, S_OK, VARIANT_TRUE, nullptr},
        {"text yes", TEXT(L"yes"), VT_BOOL, 0, DISP_E_TYPEMISMATCH, 0, nullptr},
        {"true as number text", SRC(Bool(true)), VT_BSTR, 0, S_OK, 0, L"-1"},
        {"false as number text", SRC(Bool(false)), VT_BSTR, 0, S_OK, 0, L"0"},
        {"true as word", SRC(Bool(true)), VT_BSTR, VARIANT_ALPHABOOL, S_OK, 0, L"True"},
        {"false as local word", SRC(Bool(false)), VT_BSTR, VARIANT_LOCALBOOL, S_OK, 0, L"False"},
        // Empty, null and error values.
        {"empty to i4", SRC(Typed(VT_EMPTY)), VT_I4, 0, S_OK, 0, nullptr},
        {"empty to text", SRC(Typed(VT_EMPTY)), VT_BSTR, 0, S_OK, 0, L""},
        {"null to i4", SRC(Typed(VT_NULL)), VT_I4, 0, DISP_E_TYPEMISMATCH, 0, nullptr},
        {"null to text", SRC(Typed(VT_NULL)), VT_BSTR, 0, DISP_E_TYPEMISMATCH, 0, nullptr},
        {"missing to i4", SRC(Missing()), VT_I4, 0, DISP_E_TYPEMISMATCH, 0, nullptr},
        {"i4 to error", SRC(I4(5)), VT_ERROR, 0, S_OK, 5, nullptr},
        {"unknown type", SRC(Typed(0x0FF0)), VT_I4, 0, DISP_E_BADVARTYPE, 0, nullptr},
        {"to unknown type", SRC(I4(1)), 0x0FF0, 0, DISP_E_BADVARTYPE, 0, nullptr},
        // Numbers to text.
        {"i4 text", SRC(I4(-42)), VT_BSTR, 0, S_OK, 0, L"-42"},
        {"tenth", SRC(R8(0.1)), VT_BSTR, 0, S_OK, 0, L"0.1"},
        {"third", SRC(R8(1.0 / 3.0)), VT_BSTR, 0, S_OK, 0, L"0.333333333333333"},
        {"large", SRC(R8(1e20)), VT_BSTR, 0, S_OK, 0, L"1E+20"},
        {"small", SRC(R8(0.00001)), VT_BSTR, 0, S_OK, 0, L"1E-05"},
        {"fraction", SRC(R8(-1234567.25)), VT_BSTR, 0, S_OK, 0, L"-1234567.25"},
        {"currency text", SRC(Cy(12345)), VT_BSTR, 0, S_OK, 0, L"1.2345"},
        {"whole currency", SRC(Cy(-50000)), VT_BSTR, 0, S_OK, 0, L"-5"},
        // Dates to text and back.
        {"date only", SRC(Date(38383)), VT_BSTR, 0, S_OK, 0, L"1/31/2005"},
        {"date and time", SRC(Date(38383.4375)), VT_BSTR, 0, S_OK, 0, L"1/31/2005 10:30:00 AM"},
        {"time only", SRC(Date(0.9375)), VT_BSTR, 0, S_OK, 0, L"10:30:00 PM"},
        {"midnight of day zero", SRC(Date(0)), VT_BSTR, 0, S_OK, 0, L"12:00:00 AM"},
        {"before day zero", SRC(Date(-1.25)), VT_BSTR, 0, S_OK, 0, L"12/29/1899 6:00:00 AM"},
        {"noon", SRC(Date(38383.5)), VT_BSTR, 0, S_OK, 0, L"1/31/2005 12:00:00 PM"},
        {"us date", TEXT(L"1/31/2005"), VT_DATE, 0, S_OK, 38383, nullptr},
        {"two digit year", TEXT(L"1/31/05"), VT_DATE, 0, S_OK, 38383, nullptr},
        {"last century", TEXT(L"1/31/99"), VT_DATE, 0, S_OK, 36191, nullptr},
        {"iso date", TEXT(L"2005-01-31"), VT_DATE, 0, S_OK, 38383, nullptr},
        {"day month name", TEXT(L"31-Jan-05"), VT_DATE, 0, S_OK, 38383, nullptr},
        {"month name first", TEXT(L"Jan 31, 2005"), VT_DATE, 0, S_OK, 38383, nullptr},
        {"full month and pm", TEXT(L"January 31, 2005 10:30 PM"), VT_DATE, 0, S_OK, 38383.9375, nullptr},
        {"date and 24h time", TEXT(L"1/31/2005 22:30"), VT_DATE, 0, S_OK, 38383.9375, nullptr},
        {"weekday ignored", TEXT(L"Monday, January 31, 2005"), VT_DATE, 0, S_OK, 38383, nullptr},
        {"time", TEXT(L"10:30"), VT_DATE, 0, S_OK, 0.4375, nullptr},
        {"twelve am", TEXT(L"12:00 AM"), VT_DATE, 0, S_OK, 0, nullptr},
        {"bad month", TEXT(L"13/45/2005"), VT_DATE, 0, DISP_E_TYPEMISMATCH, 0, nullptr},
        {"no leap day", TEXT(L"2/29/2005"), VT_DATE, 0, DISP_E_TYPEMISMATCH, 0, nullptr},
        {"leap day", TEXT(L"2/29/2004"), VT_DATE, 0, S_OK, 38046, nullptr},
        {"bad minutes", TEXT(L"10:61"), VT_DATE, 0, DISP_E_TYPEMISMATCH, 0, nullptr},
        {"thirteen pm", TEXT(L"13:00 PM"), VT_DATE, 0, DISP_E_TYPEMISMATCH, 0, nullptr},
        {"plain number is no date", TEXT(L"5"), VT_DATE, 0, DISP_E_TYPEMISMATCH, 0, nullptr},
        {"word is no date", TEXT(L"hello"), VT_DATE, 0, DISP_E_TYPEMISMATCH, 0, nullptr},
    };
    const long strings = sw::automation::LiveBstrCount();
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        VARIANT src = row.make();
        VARIANT dst;
        VariantInit(&dst);
        const HRESULT hr = VariantChangeType(&dst, &src, row.flags, row.to);
        EXPECT_EQ(hr, row.hr);
        if (SUCCEEDED(row.hr) && hr == row.hr) {
            EXPECT_EQ(dst.vt, row.to);
            if (row.to == VT_BSTR) {
                EXPECT_EQ(std::wstring(dst.bstrVal, SysStringLen(dst.bstrVal)), row.text);
            } else if (row.to == VT_DATE) {
                EXPECT_NEAR(NumberOf(dst), row.number, 1e-9);
            } else {
                EXPECT_EQ(NumberOf(dst), row.number);
            }
        } else {
            EXPECT_EQ(dst.vt, VT_EMPTY);  // untouched on failure
        }
        VariantClear(&dst);
        VariantClear(&src);
    }
    EXPECT_EQ(sw::automation::LiveBstrCount(), strings);
}

TEST(automation_test, variant_clear_frees_what_it_owns) {
    const long strings = sw::automation::LiveBstrCount();
    const long arrays = sw::automation::LiveSafeArrayCount();
    int deleted = 0;
    {
        VARIANT v;
        VariantInit(&v);
        v.vt = VT_BSTR;
        v.bstrVal = SysAllocString(L"text");
        EXPECT_EQ(VariantClear(&v), S_OK);
        EXPECT_EQ(v.vt, VT_EMPTY);

        v.vt = VT_DISPATCH;
        v.pdispVal = new automation_test::Probe(&deleted);
        EXPECT_EQ(VariantClear(&v), S_OK);
        EXPECT_EQ(deleted, 1);

        SAFEARRAYBOUND b[1] = {{2, 0}};
        v.vt = VT_ARRAY | VT_BSTR;
        v.parray = SafeArrayCreate(VT_BSTR, 1, b);
        LONG i = 1;
        BSTR mine = SysAllocString(L"mine");
        ASSERT_EQ(SafeArrayPutElement(v.parray, &i, mine), S_OK);
        EXPECT_EQ(VariantClear(&v), S_OK);
        // The array held its own copy: the caller's string is still alive and its own.
        EXPECT_EQ(sw::automation::LiveBstrCount(), strings + 1);
        EXPECT_EQ(std::wstring(mine), L"mine");
        SysFreeString(mine);
    }
    EXPECT_EQ(sw::automation::LiveBstrCount(), strings);
    EXPECT_EQ(sw::automation::LiveSafeArrayCount(), arrays);
}

TEST(automation_test, variant_clear_refuses_a_locked_array_and_bad_types) {
    VARIANT v;
    VariantInit(&v);
    SAFEARRAYBOUND b[1] = {{2, 0}};
    v.vt = VT_ARRAY | VT_VARIANT;
    v.parray = SafeArrayCreate(VT_VARIANT, 1, b);
    ASSERT_EQ(SafeArrayLock(v.parray), S_OK);
    EXPECT_EQ(VariantClear(&v), DISP_E_ARRAYISLOCKED);
    EXPECT_EQ(v.vt, VT_ARRAY | VT_VARIANT);
    ASSERT_EQ(SafeArrayUnlock(v.parray), S_OK);
    EXPECT_EQ(VariantClear(&v), S_OK);

    v.vt = 0x0FF0;
    EXPECT_EQ(VariantClear(&v), DISP_E_BADVARTYPE);
    v.vt = VT_VARIANT;  // only by reference or inside arrays
    EXPECT_EQ(VariantClear(&v), DISP_E_BADVARTYPE);
}

TEST(automation_test, variant_copy_is_deep_and_counts_references) {
    const long strings = sw::automation::LiveBstrCount();
    int deleted = 0;
    auto* probe = new automation_test::Probe(&deleted);
    {
        COleVariant text(std::wstring(L"a\0b", 3));
        COleVariant copy(text);
        EXPECT_NE(copy.bstrVal, text.bstrVal);
        EXPECT_EQ(SysStringLen(copy.bstrVal), 3U);
        EXPECT_TRUE(copy == text);

        VARIANT object;
        VariantInit(&object);
        object.vt = VT_DISPATCH;
        object.pdispVal = probe;
        COleVariant held(object);  // AddRef'ed
        EXPECT_EQ(probe->RefCount(), 2U);
        held = text;  // releases the object, holds a new string
        EXPECT_EQ(probe->RefCount(), 1U);
        EXPECT_EQ(VariantCopy(&held, &held), S_OK);
        EXPECT_TRUE(held == text);
    }
    EXPECT_EQ(sw::automation::LiveBstrCount(), strings);
    EXPECT_EQ(deleted, 0);
    probe->Release();
    EXPECT_EQ(deleted, 1);
}

TEST(automation_test, variant_copy_and_clear_of_plain_values_free_what_the_target_held) {
    const long strings = sw::automation::LiveBstrCount();
    VARIANT number;
    VariantInit(&number);
    number.vt = VT_R8;
    number.dblVal = 2.5;
    VARIANT target;
    VariantInit(&target);
    target.vt = VT_BSTR;
    target.bstrVal = SysAllocString(L"held");
    // A plain value over a string: the string is freed, the value copied.
    ASSERT_EQ(VariantCopy(&target, &number), S_OK);
    EXPECT_EQ(target.vt, VT_R8);
    EXPECT_EQ(target.dblVal, 2.5);
    EXPECT_EQ(sw::automation::LiveBstrCount(), strings);
    // Over another plain value, every field comes along.
    VARIANT date;
    VariantInit(&date);
    date.vt = VT_DATE;
    date.wReserved1 = 7;
    date.date = 38383.25;
    ASSERT_EQ(VariantCopy(&target, &date), S_OK);
    EXPECT_EQ(target.vt, VT_DATE);
    EXPECT_EQ(target.wReserved1, 7);
    EXPECT_EQ(target.date, 38383.25);
    // A target of no known type is refused and left as it was.
    VARIANT odd;
    VariantInit(&odd);
    odd.vt = 0x0FFF;
    odd.lVal = 99;
    EXPECT_EQ(VariantCopy(&odd, &number), DISP_E_BADVARTYPE);
    EXPECT_EQ(odd.vt, 0x0FFF);
    EXPECT_EQ(odd.lVal, 99);
    EXPECT_EQ(VariantClear(&odd), DISP_E_BADVARTYPE);
    EXPECT_EQ(odd.vt, 0x0FFF);
    // Clearing a plain value or a string leaves every field zero.
    ASSERT_EQ(VariantClear(&target), S_OK);
    EXPECT_EQ(target.vt, VT_EMPTY);
    EXPECT_EQ(target.wReserved1, 0);
    EXPECT_EQ(target.llVal, 0);
    target.vt = VT_BSTR;
    target.bstrVal = SysAllocString(L"again");
    ASSERT_EQ(VariantClear(&target), S_OK);
    EXPECT_EQ(target.vt, VT_EMPTY);
    EXPECT_EQ(target.bstrVal, nullptr);
    EXPECT_EQ(sw::automation::LiveBstrCount(), strings);
}

TEST(automation_test, variant_change_type_in_place_and_by_reference) {
    const long strings = sw::automation::LiveBstrCount();
    COleVariant v(L"42");
    EXPECT_EQ(VariantChangeType(&v, &v, 0, VT_I4), S_OK);
    EXPECT_EQ(v.vt, VT_I4);
    EXPECT_EQ(v.lVal, 42);
    EXPECT_EQ(sw::automation::LiveBstrCount(), strings);

    LONG target = 7;
    VARIANT ref;
    VariantInit(&ref);
    ref.vt = VT_I4 | VT_BYREF;
    ref.plVal = &target;
    VARIANT text;
    VariantInit(&text);
    EXPECT_EQ(VariantChangeType(&text, &ref, 0, VT_BSTR), S_OK);
    EXPECT_EQ(std::wstring(text.bstrVal), L"7");
    VariantClear(&text);

    VARIANT copy;
    VariantInit(&copy);
    EXPECT_EQ(VariantCopyInd(&copy, &ref), S_OK);
    EXPECT_EQ(copy.vt, VT_I4);
    EXPECT_EQ(copy.lVal, 7);
}

TEST(automation_test, object_converts_through_its_value_property) {
    auto* probe = new automation_test::Probe();
    probe->value.vt = VT_R8;
    probe->value.dblVal = 12.5;
    VARIANT object;
    VariantInit(&object);
    object.vt = VT_DISPATCH;
    object.pdispVal = probe;
    VARIANT out;
    VariantInit(&out);
    EXPECT_EQ(VariantChangeType(&out, &object, 0, VT_BSTR), S_OK);
    EXPECT_EQ(std::wstring(out.bstrVal), L"12.5");
    VariantClear(&out);
    EXPECT_EQ(VariantChangeType(&out, &object, VARIANT_NOVALUEPROP, VT_R8), DISP_E_TYPEMISMATCH);
    EXPECT_EQ(probe->RefCount(), 1U);
    VariantClear(&object);
}

TEST(automation_test, system_time_round_trip) {
    SYSTEMTIME st{};
    ASSERT_TRUE(VariantTimeToSystemTime(38383.4375, &st));
    EXPECT_EQ(st.wYear, 2005);
    EXPECT_EQ(st.wMonth, 1);
    EXPECT_EQ(st.wDay, 31);
    EXPECT_EQ(st.wDayOfWeek, 1);  // a Monday
    EXPECT_EQ(st.wHour, 10);
    EXPECT_EQ(st.wMinute, 30);
    DATE back = 0;
    ASSERT_TRUE(SystemTimeToVariantTime(&st, &back));
    EXPECT_DOUBLE_EQ(back, 38383.4375);

    // Just before midnight rounds into the next day, not to "24:00".
    ASSERT_TRUE(VariantTimeToSystemTime(38383.99999999, &st));
    EXPECT_EQ(st.wDay, 1);
    EXPECT_EQ(st.wMonth, 2);
    EXPECT_EQ(st.wHour, 0);

    st = SYSTEMTIME{};
    st.wYear = 2005;
    st.wMonth = 2;
    st.wDay = 29;
    EXPECT_FALSE(SystemTimeToVariantTime(&st, &back));
    EXPECT_FALSE(VariantTimeToSystemTime(3e6, &st));
}

TEST(automation_test, ole_variant_idioms) {
    COleVariant vOpt(DISP_E_PARAMNOTFOUND, VT_ERROR);
    EXPECT_EQ(vOpt.vt, VT_ERROR);
    EXPECT_EQ(vOpt.scode, DISP_E_PARAMNOTFOUND);
    COleVariant one(static_cast<short>(1));
    EXPECT_EQ(one.vt, VT_I2);
    COleVariant flag(static_cast<short>(5), VT_BOOL);
    EXPECT_EQ(flag.boolVal, VARIANT_TRUE);
    COleVariant when(38383.0, VT_DATE);
    EXPECT_EQ(when.vt, VT_DATE);

    COleVariant v(L"x1");
    try {
        v.ChangeType(VT_I4);
        FAIL() << "no failure object";
    } catch (COleException* e) {
        EXPECT_EQ(e->m_sc, DISP_E_TYPEMISMATCH);
        e->Delete();
    }
    EXPECT_EQ(v.vt, VT_BSTR);  // unchanged

    VARIANT raw = v.Detach();
    EXPECT_EQ(v.vt, VT_EMPTY);
    COleVariant again;
    again.Attach(raw);
    EXPECT_EQ(raw.vt, VT_EMPTY);
    EXPECT_EQ(std::wstring(again.bstrVal), L"x1");
}
