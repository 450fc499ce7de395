#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/automation/Automation.h"
#include "platform/automation/tests/TestObjects.h"

namespace {

using sw::automation::DispArgs;
using sw::automation::DispatchObject;

// A sheet-like object: a cell factory, argument checks, a failing member.
class Sheet : public DispatchObject {
public:
    explicit Sheet(int* deleted) : deleted_(deleted) {
        AddProperty(0xC5, L"Range", 1, 2, [this](DispArgs& args, VARIANT& result) {
            const std::wstring first = args.String(0);
            const std::wstring second = args.StringOr(1, first);
            lastRange = first + L":" + second;
            sw::automation::SetDispatchResult(result, new automation_test::Probe(deleted_));
        });
        AddProperty(0xFE, L"Offset", 2, 2, [this](DispArgs& args, VARIANT& result) {
            offset[0] = args.Long(0);
            offset[1] = args.Long(1);
            sw::automation::SetLongResult(result, offset[0] * 1000 + offset[1]);
        });
        AddProperty(
            0xF2, L"ColumnWidth", 0, 0,
            [this](DispArgs&, VARIANT& result) { sw::automation::SetDoubleResult(result, width); },
            [this](DispArgs& args, const VARIANT&) { width = args.Double(DispArgs::kValue); });
        AddProperty(0x76, L"Count", 0, 0,
                    [](DispArgs&, VARIANT& result) { sw::automation::SetLongResult(result, 42); });
        AddMethod(0x75, L"Delete", 0, 1, [this](DispArgs& args, VARIANT&) { shift = args.LongOr(0, -4162); });
        AddMethod(0x11C, L"SaveAs", 1, 11, [](DispArgs& args, VARIANT&) {
            if (args.String(0).empty()) {
                sw::automation::ThrowApplicationError(L"The file name is empty.");
            }
        });
        AddMethod(0x12E, L"Quit", 0, 0, [this](DispArgs&, VARIANT&) {
            // The caller's reference may be the last one; the call must still finish safely.
            Release();
            quitRan = true;
        });
    }
    std::wstring ErrorSource() const override { return L"Sheetwise Calc"; }

    std::wstring lastRange;
    LONG offset[2] = {0, 0};
    double width = 8.43;
    LONG shift = 0;
    bool quitRan = false;

private:
    int* deleted_;
};

VARIANT Str(const wchar_t* s) {
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_BSTR;
    v.bstrVal = SysAllocString(s);
    return v;
}

VARIANT Long(LONG n) {
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_I4;
    v.lVal = n;
    return v;
}

// Calls with the arguments given in call order, reversing them as callers must.
HRESULT Call(IDispatch* d, DISPID id, WORD flags, std::vector<VARIANT> args, VARIANT* result,
             EXCEPINFO* excep = nullptr, UINT* argErr = nullptr) {
    std::vector<VARIANT> rg(args.rbegin(), args.rend());
    DISPID named = DISPID_PROPERTYPUT;
    DISPPARAMS p{rg.empty() ? nullptr : rg.data(), nullptr, static_cast<UINT>(rg.size()), 0};
    if ((flags & DISPATCH_PROPERTYPUT) != 0) {
        p.rgdispidNamedArgs = &named;
        p.cNamedArgs = 1;
    }
    const HRESULT hr = d->Invoke(id, IID_NULL, 0, flags, &p, result, excep, argErr);
    for (auto& v : rg) {
        VariantClear(&v);
    }
    return hr;
}

}  // namespace

TEST(automation_test, invoke_reads_arguments_last_to_first) {
    int deleted = 0;
    auto* sheet = new Sheet(&deleted);
    VARIANT r;
    ASSERT_EQ(Call(sheet, 0xFE, DISPATCH_PROPERTYGET, {Long(3), Long(-2)}, &r), S_OK);
    EXPECT_EQ(sheet->offset[0], 3);
    EXPECT_EQ(sheet->offset[1], -2);
    EXPECT_EQ(r.lVal, 2998);

    ASSERT_EQ(Call(sheet, 0xC5, DISPATCH_PROPERTYGET, {Str(L"A1"), Str(L"C4")}, &r), S_OK);
    EXPECT_EQ(sheet->lastRange, L"A1:C4");
    ASSERT_EQ(r.vt, VT_DISPATCH);
    VariantClear(&r);
    EXPECT_EQ(deleted, 1);

    // Callers may pass variants by reference; the members see the values.
    VARIANT row = Long(7);
    VARIANT column = Long(8);
    VARIANT byRef[2];
    VariantInit(&byRef[0]);
    VariantInit(&byRef[1]);
    byRef[0].vt = VT_VARIANT | VT_BYREF;
    byRef[0].pvarVal = &column;
    byRef[1].vt = VT_VARIANT | VT_BYREF;
    byRef[1].pvarVal = &row;
    DISPPARAMS refs{byRef, nullptr, 2, 0};
    ASSERT_EQ(
        sheet->Invoke(0xFE, IID_NULL, 0, DISPATCH_PROPERTYGET | DISPATCH_METHOD, &refs, &r, nullptr, nullptr),
        S_OK);
    EXPECT_EQ(r.lVal, 7008);

    // A put's value is rgvarg[0], named DISPID_PROPERTYPUT; text is converted.
    ASSERT_EQ(Call(sheet, 0xF2, DISPATCH_PROPERTYPUT, {Str(L"12.5")}, nullptr), S_OK);
    EXPECT_EQ(sheet->width, 12.5);
    sheet->Release();
    EXPECT_EQ(sw::automation::DispatchObject::LiveCount(), 0);
}

TEST(automation_test, invoke_argument_errors) {
    int deleted = 0;
    auto* sheet = new Sheet(&deleted);
    VARIANT r;
    UINT argErr = 99;
    EXPECT_EQ(Call(sheet, 0xFE, DISPATCH_PROPERTYGET, {Long(1)}, &r), DISP_E_BADPARAMCOUNT);
    EXPECT_EQ(Call(sheet, 0xFE, DISPATCH_PROPERTYGET, {Long(1), Long(2), Long(3)}, &r), DISP_E_BADPARAMCOUNT);
    EXPECT_EQ(Call(sheet, 0x999, DISPATCH_METHOD, {}, &r), DISP_E_MEMBERNOTFOUND);
    EXPECT_EQ(Call(sheet, 0x76, DISPATCH_PROPERTYPUT, {Long(1)}, nullptr), DISP_E_MEMBERNOTFOUND);
    EXPECT_EQ(Call(sheet, 0x75, DISPATCH_PROPERTYPUT, {Long(1)}, nullptr), DISP_E_MEMBERNOTFOUND);

    // The second argument is rgvarg[0].
    EXPECT_EQ(Call(sheet, 0xFE, DISPATCH_PROPERTYGET, {Long(1), Str(L"wide")}, &r, nullptr, &argErr),
              DISP_E_TYPEMISMATCH);
    EXPECT_EQ(argErr, 0U);
    EXPECT_EQ(Call(sheet, 0xFE, DISPATCH_PROPERTYGET, {Str(L"tall"), Long(1)}, &r, nullptr, &argErr),
              DISP_E_TYPEMISMATCH);
    EXPECT_EQ(argErr, 1U);
    EXPECT_EQ(Call(sheet, 0xFE, DISPATCH_PROPERTYGET, {Long(1), Str(L"1e12")}, &r, nullptr, &argErr),
              DISP_E_OVERFLOW);
    EXPECT_EQ(argErr, 0U);
    EXPECT_EQ(Call(sheet, 0xF2, DISPATCH_PROPERTYPUT, {Str(L"wide")}, nullptr, nullptr, &argErr),
              DISP_E_TYPEMISMATCH);
    EXPECT_EQ(argErr, 0U);

    // A required argument passed as missing; an optional one takes its default.
    VARIANT missing;
    VariantInit(&missing);
    missing.vt = VT_ERROR;
    missing.scode = DISP_E_PARAMNOTFOUND;
    EXPECT_EQ(Call(sheet, 0xC5, DISPATCH_PROPERTYGET, {missing}, &r, nullptr, &argErr), DISP_E_PARAMNOTFOUND);
    EXPECT_EQ(argErr, 0U);
    EXPECT_EQ(Call(sheet, 0x75, DISPATCH_METHOD, {missing}, &r), S_OK);
    EXPECT_EQ(sheet->shift, -4162);
    EXPECT_EQ(Call(sheet, 0x75, DISPATCH_METHOD, {Long(-4159)}, &r), S_OK);
    EXPECT_EQ(sheet->shift, -4159);
    EXPECT_EQ(r.vt, VT_EMPTY);

    // Parameter blocks the object must refuse.
    VARIANT arg = Long(1);
    DISPID named = 7;
    DISPPARAMS namedArgs{&arg, &named, 1, 1};
    EXPECT_EQ(sheet->Invoke(0x75, IID_NULL, 0, DISPATCH_METHOD, &namedArgs, &r, nullptr, nullptr),
              DISP_E_NONAMEDARGS);
    DISPPARAMS unnamedPut{&arg, nullptr, 1, 0};
    EXPECT_EQ(sheet->Invoke(0xF2, IID_NULL, 0, DISPATCH_PROPERTYPUT, &unnamedPut, nullptr, nullptr, nullptr),
              DISP_E_PARAMNOTFOUND);
    DISPPARAMS none{nullptr, nullptr, 0, 0};
    EXPECT_EQ(sheet->Invoke(0x76, IID_IDispatch, 0, DISPATCH_PROPERTYGET, &none, &r, nullptr, nullptr),
              DISP_E_UNKNOWNINTERFACE);
    EXPECT_EQ(sheet->Invoke(0x76, IID_NULL, 0, DISPATCH_PROPERTYGET, nullptr, &r, nullptr, nullptr),
              E_INVALIDARG);
    DISPPARAMS dangling{nullptr, nullptr, 2, 0};
    EXPECT_EQ(sheet->Invoke(0x76, IID_NULL, 0, DISPATCH_PROPERTYGET, &dangling, &r, nullptr, nullptr),
              E_INVALIDARG);
    sheet->Release();
}

TEST(automation_test, invoke_reports_application_errors_in_excepinfo) {
    const long strings = sw::automation::LiveBstrCount();
    int deleted = 0;
    auto* sheet = new Sheet(&deleted);
    EXCEPINFO excep;
    std::memset(&excep, 0xAB, sizeof excep);  // the callee must fill every field it leaves to the caller
    VARIANT r;
    EXPECT_EQ(Call(sheet, 0x11C, DISPATCH_METHOD, {Str(L"")}, &r, &excep), DISP_E_EXCEPTION);
    EXPECT_EQ(excep.wCode, 0);
    EXPECT_EQ(excep.scode, sw::automation::kApplicationErrorCode);
    EXPECT_EQ(std::wstring(excep.bstrDescription), L"The file name is empty.");
    EXPECT_EQ(std::wstring(excep.bstrSource), L"Sheetwise Calc");
    EXPECT_EQ(excep.bstrHelpFile, nullptr);
    EXPECT_EQ(excep.pfnDeferredFillIn, nullptr);
    EXPECT_EQ(r.vt, VT_EMPTY);
    SysFreeString(excep.bstrDescription);
    SysFreeString(excep.bstrSource);
    // Without an EXCEPINFO the failure is still reported.
    EXPECT_EQ(Call(sheet, 0x11C, DISPATCH_METHOD, {Str(L"")}, &r), DISP_E_EXCEPTION);
    sheet->Release();
    EXPECT_EQ(sw::automation::LiveBstrCount(), strings);
}

TEST(automation_test, unwanted_results_are_released) {
    int deleted = 0;
    auto* sheet = new Sheet(&deleted);
    EXPECT_EQ(Call(sheet, 0xC5, DISPATCH_PROPERTYGET, {Str(L"B2")}, nullptr), S_OK);
    EXPECT_EQ(sheet->lastRange, L"B2:B2");
    EXPECT_EQ(deleted, 1);
    sheet->AddRef();
    EXPECT_EQ(Call(sheet, 0x12E, DISPATCH_METHOD, {}, nullptr), S_OK);
    EXPECT_TRUE(sheet->quitRan);
    EXPECT_EQ(sheet->RefCount(), 1U);
    sheet->Release();
    EXPECT_EQ(sw::automation::DispatchObject::LiveCount(), 0);
}

TEST(automation_test, dispatch_object_identity_and_names) {
    int deleted = 0;
    auto* sheet = new Sheet(&deleted);
    IUnknown* unknown = nullptr;
    ASSERT_EQ(sheet->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&unknown)), S_OK);
    EXPECT_EQ(sheet->RefCount(), 2U);
    IDispatch* dispatch = nullptr;
    ASSERT_EQ(unknown->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&dispatch)), S_OK);
    EXPECT_EQ(static_cast<IUnknown*>(dispatch), unknown);
    const IID other = {0x12345678, 1, 2, {1, 2, 3, 4, 5, 6, 7, 8}};
    void* none = reinterpret_cast<void*>(1);
    EXPECT_EQ(sheet->QueryInterface(other, &none), E_NOINTERFACE);
    EXPECT_EQ(none, nullptr);
    dispatch->Release();
    unknown->Release();
    EXPECT_EQ(sheet->RefCount(), 1U);

    wchar_t name[] = L"columnwidth";
    wchar_t bad[] = L"Nothing";
    LPOLESTR names[1] = {name};
    DISPID id = 0;
    EXPECT_EQ(sheet->GetIDsOfNames(IID_NULL, names, 1, 0, &id), S_OK);
    EXPECT_EQ(id, 0xF2);
    names[0] = bad;
    EXPECT_EQ(sheet->GetIDsOfNames(IID_NULL, names, 1, 0, &id), DISP_E_UNKNOWNNAME);
    EXPECT_EQ(id, DISPID_UNKNOWN);
    UINT count = 9;
    EXPECT_EQ(sheet->GetTypeInfoCount(&count), S_OK);
    EXPECT_EQ(count, 0U);
    sheet->Release();
    EXPECT_EQ(deleted, 0);
}
