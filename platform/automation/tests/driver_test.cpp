#include <gtest/gtest.h>

#include <cstdio>
#include <cwchar>
#include <string>

#include "platform/automation/Automation.h"
#include "platform/automation/tests/TestObjects.h"

namespace {

using automation_test::Probe;
using automation_test::Recorder;

// The driver classes of the converter: one member per call shape.
class RecorderDriver : public COleDispatchDriver {
public:
    using COleDispatchDriver::COleDispatchDriver;
};

std::wstring Text(const VARIANT& v) {
    return std::wstring(v.bstrVal, SysStringLen(v.bstrVal));
}

}  // namespace

TEST(automation_test, invoke_helper_passes_each_parameter_type) {
    const long strings = sw::automation::LiveBstrCount();
    auto* rec = new Recorder;
    auto* other = new Probe;
    {
        RecorderDriver d(rec);  // takes over the creation reference
        COleVariant passed(L"as is");
        CY money{25000};
        static BYTE parms[] = VTS_I2 VTS_I4 VTS_R4 VTS_R8 VTS_CY VTS_DATE VTS_BSTR VTS_DISPATCH VTS_SCODE
            VTS_BOOL VTS_VARIANT VTS_UNKNOWN VTS_UI1;
        d.InvokeHelper(
            1, DISPATCH_METHOD, VT_EMPTY, nullptr, parms, static_cast<short>(-7), static_cast<LONG>(70000),
            1.5f, 2.25, money, 38383.5, L"text", static_cast<IDispatch*>(other), DISP_E_PARAMNOTFOUND, TRUE,
            static_cast<const VARIANT*>(&passed), static_cast<IUnknown*>(other), static_cast<BYTE>(200));
        ASSERT_EQ(rec->received.size(), 13U);
        const auto& r = rec->received;
        EXPECT_EQ(r[0].vt, VT_I2);
        EXPECT_EQ(r[0].iVal, -7);
        EXPECT_EQ(r[1].vt, VT_I4);
        EXPECT_EQ(r[1].lVal, 70000);
        EXPECT_EQ(r[2].vt, VT_R4);
        EXPECT_EQ(r[2].fltVal, 1.5f);
        EXPECT_EQ(r[3].vt, VT_R8);
        EXPECT_EQ(r[3].dblVal, 2.25);
        EXPECT_EQ(r[4].vt, VT_CY);
        EXPECT_EQ(r[4].cyVal.int64, 25000);
        EXPECT_EQ(r[5].vt, VT_DATE);
        EXPECT_EQ(r[5].date, 38383.5);
        EXPECT_EQ(r[6].vt, VT_BSTR);
        EXPECT_EQ(Text(r[6]), L"text");
        EXPECT_EQ(r[7].vt, VT_DISPATCH);
        EXPECT_EQ(r[7].pdispVal, other);
        EXPECT_EQ(r[8].vt, VT_ERROR);
        EXPECT_EQ(r[8].scode, DISP_E_PARAMNOTFOUND);
        EXPECT_EQ(r[9].vt, VT_BOOL);
        EXPECT_EQ(r[9].boolVal, VARIANT_TRUE);
        EXPECT_EQ(r[10].vt, VT_BSTR);
        EXPECT_EQ(Text(r[10]), L"as is");
        EXPECT_EQ(r[11].vt, VT_UNKNOWN);
        EXPECT_EQ(r[12].vt, VT_UI1);
        EXPECT_EQ(r[12].bVal, 200);
        rec->Reset();
        // The caller's objects are borrowed, not taken.
        EXPECT_EQ(other->RefCount(), 1U);

        // By reference: the server writes through to the caller's variable.
        LONG counter = 41;
        static BYTE byRef[] = VTS_PI4;
        d.InvokeHelper(4, DISPATCH_METHOD, VT_EMPTY, nullptr, byRef, &counter);
        EXPECT_EQ(counter, 42);

        d.InvokeHelper(1, DISPATCH_METHOD, VT_EMPTY, nullptr, VTS_NONE);
        EXPECT_TRUE(rec->received.empty());
    }
    other->Release();
    EXPECT_EQ(sw::automation::DispatchObject::LiveCount(), 0);
    EXPECT_EQ(sw::automation::LiveBstrCount(), strings);
}

TEST(automation_test, invoke_helper_keeps_the_order_of_short_and_long_argument_lists) {
    const long strings = sw::automation::LiveBstrCount();
    auto* rec = new Recorder;
    {
        RecorderDriver d(rec);
        auto texts = [&] {
            std::wstring all;
            for (const VARIANT& v : rec->received) {
                all += v.vt == VT_BSTR ? Text(v) : std::to_wstring(v.lVal);
                all += L' ';
            }
            return all;
        };
        static BYTE one[] = VTS_BSTR;
        d.InvokeHelper(1, DISPATCH_METHOD, VT_EMPTY, nullptr, one, L"a");
        EXPECT_EQ(texts(), L"a ");
        static BYTE four[] = VTS_BSTR VTS_I4 VTS_BSTR VTS_I4;
        d.InvokeHelper(1, DISPATCH_METHOD, VT_EMPTY, nullptr, four, L"a", LONG{2}, L"c", LONG{4});
        EXPECT_EQ(texts(), L"a 2 c 4 ");
        static BYTE five[] = VTS_I4 VTS_I4 VTS_I4 VTS_I4 VTS_BSTR;
        d.InvokeHelper(1, DISPATCH_METHOD, VT_EMPTY, nullptr, five, LONG{1}, LONG{2}, LONG{3}, LONG{4}, L"e");
        EXPECT_EQ(texts(), L"1 2 3 4 e ");
        static BYTE twelve[] =
            VTS_BSTR VTS_I4 VTS_I4 VTS_I4 VTS_I4 VTS_I4 VTS_I4 VTS_I4 VTS_I4 VTS_I4 VTS_I4 VTS_BSTR;
        d.InvokeHelper(1, DISPATCH_METHOD, VT_EMPTY, nullptr, twelve, L"first", LONG{2}, LONG{3}, LONG{4},
                       LONG{5}, LONG{6}, LONG{7}, LONG{8}, LONG{9}, LONG{10}, LONG{11}, L"last");
        EXPECT_EQ(texts(), L"first 2 3 4 5 6 7 8 9 10 11 last ");
        static BYTE fourteen[] = VTS_I4 VTS_I4 VTS_I4 VTS_I4 VTS_I4 VTS_I4 VTS_I4 VTS_I4 VTS_I4 VTS_I4 VTS_I4
            VTS_I4 VTS_I4 VTS_BSTR;
        d.InvokeHelper(1, DISPATCH_METHOD, VT_EMPTY, nullptr, fourteen, LONG{1}, LONG{2}, LONG{3}, LONG{4},
                       LONG{5}, LONG{6}, LONG{7}, LONG{8}, LONG{9}, LONG{10}, LONG{11}, LONG{12}, LONG{13},
                       L"n");
        EXPECT_EQ(texts(), L"1 2 3 4 5 6 7 8 9 10 11 12 13 n ");
        rec->Reset();

        // A bad code after a string was made: the call is refused and the string freed.
        static const BYTE bad[] = {VT_BSTR, 0x0E, 0};
        try {
            d.InvokeHelper(1, DISPATCH_METHOD, VT_EMPTY, nullptr, bad, L"made", LONG{0});
            FAIL() << "no failure object";
        } catch (COleException* e) {
            EXPECT_EQ(e->m_sc, DISP_E_BADVARTYPE);
            e->Delete();
        }
        EXPECT_TRUE(rec->received.empty());
    }
    EXPECT_EQ(sw::automation::LiveBstrCount(), strings);
}

TEST(automation_test, invoke_helper_converts_each_result_type) {
    const long strings = sw::automation::LiveBstrCount();
    auto* rec = new Recorder;
    COleDispatchDriver d(rec);
    auto answer = [&](const VARIANT& v) { VariantCopy(&rec->answer, &v); };

    answer(COleVariant(2.5));
    LONG asLong = 0;
    d.InvokeHelper(1, DISPATCH_METHOD, VT_I4, &asLong, nullptr);
    EXPECT_EQ(asLong, 2);  // half to even
    short asShort = 0;
    d.GetProperty(2, VT_I2, &asShort);
    EXPECT_EQ(asShort, 2);
    float asFloat = 0;
    d.InvokeHelper(1, DISPATCH_METHOD, VT_R4, &asFloat, nullptr);
    EXPECT_EQ(asFloat, 2.5f);
    CY asCy{};
    d.InvokeHelper(1, DISPATCH_METHOD, VT_CY, &asCy, nullptr);
    EXPECT_EQ(asCy.int64, 25000);
    BYTE asByte = 0;
    d.InvokeHelper(1, DISPATCH_METHOD, VT_UI1, &asByte, nullptr);
    EXPECT_EQ(asByte, 2);

    answer(COleVariant(L"1.5"));
    double asDouble = 0;
    d.InvokeHelper(1, DISPATCH_METHOD, VT_R8, &asDouble, nullptr);
    EXPECT_EQ(asDouble, 1.5);

    answer(COleVariant(L"1/31/2005"));
    DATE asDate = 0;
    d.InvokeHelper(1, DISPATCH_METHOD, VT_DATE, &asDate, nullptr);
    EXPECT_EQ(asDate, 38383.0);

    answer(COleVariant(42));
    std::wstring asText = L"old";
    d.InvokeHelper(1, DISPATCH_METHOD, VT_BSTR, &asText, nullptr);
    EXPECT_EQ(asText, L"42");

    answer(COleVariant(static_cast<short>(1), VT_BOOL));
    BOOL asBool = FALSE;
    d.InvokeHelper(1, DISPATCH_METHOD, VT_BOOL, &asBool, nullptr);
    EXPECT_EQ(asBool, TRUE);

    answer(COleVariant(DISP_E_PARAMNOTFOUND, VT_ERROR));
    SCODE asError = 0;
    d.InvokeHelper(1, DISPATCH_METHOD, VT_ERROR, &asError, nullptr);
    EXPECT_EQ(asError, DISP_E_PARAMNOTFOUND);

    answer(COleVariant(L"raw"));
    VARIANT asVariant;
    d.InvokeHelper(1, DISPATCH_METHOD, VT_VARIANT, &asVariant, nullptr);
    EXPECT_EQ(asVariant.vt, VT_BSTR);
    VariantClear(&asVariant);

    // An object result carries one reference, owned by the caller.
    int deleted = 0;
    auto* probe = new Probe(&deleted);
    VARIANT object;
    VariantInit(&object);
    object.vt = VT_DISPATCH;
    object.pdispVal = probe;
    answer(object);
    probe->Release();  // now only the recorder's answer holds it
    IDispatch* asDispatch = nullptr;
    d.InvokeHelper(1, DISPATCH_METHOD, VT_DISPATCH, &asDispatch, nullptr);
    EXPECT_EQ(asDispatch, probe);
    EXPECT_EQ(probe->RefCount(), 2U);
    COleDispatchDriver held;
    held.AttachDispatch(asDispatch);
    IUnknown* asUnknown = nullptr;
    d.InvokeHelper(1, DISPATCH_METHOD, VT_UNKNOWN, &asUnknown, nullptr);
    EXPECT_EQ(probe->RefCount(), 3U);
    asUnknown->Release();
    held.ReleaseDispatch();
    EXPECT_EQ(probe->RefCount(), 1U);

    // A result that does not convert is an OLE failure with the conversion's code.
    answer(COleVariant(L"not a number"));
    try {
        d.InvokeHelper(1, DISPATCH_METHOD, VT_I4, &asLong, nullptr);
        FAIL() << "no failure object";
    } catch (COleException* e) {
        EXPECT_EQ(e->m_sc, DISP_E_TYPEMISMATCH);
        e->Delete();
    }
    VariantClear(&rec->answer);
    d.ReleaseDispatch();
    EXPECT_EQ(deleted, 1);
    EXPECT_EQ(sw::automation::LiveBstrCount(), strings);
}

TEST(automation_test, property_put_names_its_value) {
    auto* rec = new Recorder;
    COleDispatchDriver d(rec);
    COleVariant width(static_cast<LONG>(12));
    static BYTE parms[] = VTS_VARIANT;
    d.InvokeHelper(2, DISPATCH_PROPERTYPUT, VT_EMPTY, nullptr, parms, static_cast<const VARIANT*>(&width));
    ASSERT_EQ(rec->received.size(), 1U);
    EXPECT_EQ(rec->received[0].lVal, 12);
    EXPECT_EQ(rec->putIndexArgs, 0U);
    d.SetProperty(2, VT_BSTR, L"General");
    ASSERT_EQ(rec->received.size(), 1U);
    EXPECT_EQ(Text(rec->received[0]), L"General");
    d.SetProperty(2, VT_BOOL, TRUE);
    EXPECT_EQ(rec->received[0].boolVal, VARIANT_TRUE);
}

TEST(automation_test, failures_become_the_two_failure_objects) {
    const long strings = sw::automation::LiveBstrCount();
    COleDispatchDriver d(new Recorder);
    try {
        d.InvokeHelper(3, DISPATCH_METHOD, VT_EMPTY, nullptr, nullptr);
        FAIL() << "no failure object";
    } catch (COleDispatchException* e) {
        EXPECT_EQ(e->m_wCode, 0);
        EXPECT_EQ(e->m_scError, sw::automation::kApplicationErrorCode);
        EXPECT_EQ(e->m_strDescription, L"Range class failed");
        // The diagnostic text a caller makes of it.
        wchar_t text[200];
        std::swprintf(text, 200, L"COleDispatchException. SCODE: %08lx,Description: \"%ls\".",
                      static_cast<unsigned long>(static_cast<ULONG>(e->m_scError)),
                      e->m_strDescription.c_str());
        EXPECT_EQ(std::wstring(text),
                  L"COleDispatchException. SCODE: 800a03ec,Description: \"Range class failed\".");
        EXPECT_EQ(e->ErrorMessage(), L"Range class failed");
        e->Delete();
    }
    try {
        d.InvokeHelper(0x999, DISPATCH_METHOD, VT_EMPTY, nullptr, nullptr);
        FAIL() << "no failure object";
    } catch (COleException* e) {
        EXPECT_EQ(e->m_sc, DISP_E_MEMBERNOTFOUND);
        EXPECT_EQ(e->ErrorMessage(), L"Member not found.");
        wchar_t small[8];
        EXPECT_TRUE(e->GetErrorMessage(small, 8));
        EXPECT_EQ(std::wstring(small), L"Member ");
        e->Delete();
    }
    // Both are CExceptions to a catch-all handler.
    try {
        static BYTE parms[] = VTS_I4;
        d.InvokeHelper(2, DISPATCH_PROPERTYGET, VT_EMPTY, nullptr, parms, static_cast<LONG>(1));
        d.InvokeHelper(1, DISPATCH_METHOD, VT_EMPTY, nullptr, parms, static_cast<LONG>(1));
        d.InvokeHelper(2, DISPATCH_PROPERTYGET, VT_EMPTY, nullptr, nullptr);
        static BYTE two[] = VTS_I4 VTS_I4;
        d.InvokeHelper(2, DISPATCH_PROPERTYGET, VT_EMPTY, nullptr, two, static_cast<LONG>(1),
                       static_cast<LONG>(2));
        FAIL() << "no failure object";
    } catch (CException* e) {
        EXPECT_EQ(COleException::Process(e), DISP_E_BADPARAMCOUNT);
        e->Delete();
    }
    EXPECT_EQ(sw::automation::LiveBstrCount(), strings);
}

TEST(automation_test, failure_object_reports_itself_in_a_message_box) {
    std::wstring shown;
    UINT shownType = 0;
    auto previous = sw::ui::SetMessageBoxHandler([&](const std::wstring& text, UINT type) {
        shown = text;
        shownType = type;
        return IDOK;
    });
    auto* e = new COleException(DISP_E_TYPEMISMATCH);
    EXPECT_EQ(e->ReportError(MB_ICONEXCLAMATION), IDOK);
    e->Delete();
    sw::ui::SetMessageBoxHandler(previous);
    EXPECT_EQ(shown, L"Type mismatch.");
    EXPECT_EQ(shownType, MB_ICONEXCLAMATION);
    EXPECT_EQ(AfxStatusCodeMessage(static_cast<SCODE>(0x80001234U)), L"Unknown error 0x80001234.");

    // A failure object that is not heap-owned survives Delete.
    COleException local(E_FAIL);
    local.m_bAutoDelete = FALSE;
    local.Delete();
    EXPECT_EQ(local.m_sc, E_FAIL);
}

TEST(automation_test, driver_owns_exactly_one_reference) {
    int deleted = 0;
    auto* probe = new Probe(&deleted);
    {
        COleDispatchDriver a;
        a.AttachDispatch(probe);  // takes the creation reference
        {
            COleDispatchDriver b(a);  // shares: AddRef
            EXPECT_EQ(probe->RefCount(), 2U);
            COleDispatchDriver c;
            c = b;
            const COleDispatchDriver& alias = c;
            c = alias;  // assigning a driver its own object keeps the reference
            EXPECT_EQ(probe->RefCount(), 3U);
        }
        EXPECT_EQ(probe->RefCount(), 1U);
        // A getter handing back the object already held gives a reference of
        // its own: attaching it lets go of the old one.
        probe->AddRef();
        a.AttachDispatch(probe);
        EXPECT_EQ(probe->RefCount(), 1U);
        { COleDispatchDriver borrowed(probe, FALSE); }
        EXPECT_EQ(probe->RefCount(), 1U);
        IDispatch* taken = a.DetachDispatch();
        EXPECT_EQ(a.m_lpDispatch, nullptr);
        a.ReleaseDispatch();  // nothing held: nothing released
        a.AttachDispatch(taken);
    }
    EXPECT_EQ(deleted, 1);
}

TEST(automation_test, empty_driver_makes_no_call) {
    COleDispatchDriver d;
    IDispatch* object = reinterpret_cast<IDispatch*>(0x1);
    d.InvokeHelper(0x23C, DISPATCH_PROPERTYGET, VT_DISPATCH, &object, nullptr);
    EXPECT_EQ(object, nullptr);
    VARIANT v;
    v.vt = VT_I4;
    d.InvokeHelper(0x6, DISPATCH_PROPERTYGET, VT_VARIANT, &v, nullptr);
    EXPECT_EQ(v.vt, VT_EMPTY);
    LONG count = 5;
    d.GetProperty(0x76, VT_I4, &count);
    EXPECT_EQ(count, 0);
    std::wstring text = L"x";
    d.GetProperty(0xC1, VT_BSTR, &text);
    EXPECT_TRUE(text.empty());
    d.SetProperty(0x22E, VT_BOOL, TRUE);
}
