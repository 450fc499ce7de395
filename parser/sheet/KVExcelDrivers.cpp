#include "parser/sheet/KVExcelDrivers.h"

namespace xl {
namespace {

VARIANT Empty() {
    VARIANT v;
    VariantInit(&v);
    return v;
}

}  // namespace

LPDISPATCH Driver::GetObject(DISPID id) {
    LPDISPATCH result = nullptr;
    if (m_lpDispatch) {
        InvokeHelper(id, DISPATCH_PROPERTYGET, VT_DISPATCH, &result, nullptr);
    }
    return result;
}

LPDISPATCH Driver::GetObject(DISPID id, const VARIANT& a) {
    LPDISPATCH result = nullptr;
    if (m_lpDispatch) {
        static const BYTE params[] = VTS_VARIANT;
        InvokeHelper(id, DISPATCH_PROPERTYGET, VT_DISPATCH, &result, params, &a);
    }
    return result;
}

LPDISPATCH Driver::GetObject(DISPID id, const VARIANT& a, const VARIANT& b) {
    LPDISPATCH result = nullptr;
    if (m_lpDispatch) {
        static const BYTE params[] = VTS_VARIANT VTS_VARIANT;
        InvokeHelper(id, DISPATCH_PROPERTYGET, VT_DISPATCH, &result, params, &a, &b);
    }
    return result;
}

VARIANT Driver::GetVariant(DISPID id) {
    VARIANT result = Empty();
    if (m_lpDispatch) {
        InvokeHelper(id, DISPATCH_PROPERTYGET, VT_VARIANT, &result, nullptr);
    }
    return result;
}

void Driver::PutVariant(DISPID id, const VARIANT& value) {
    if (m_lpDispatch) {
        static const BYTE params[] = VTS_VARIANT;
        InvokeHelper(id, DISPATCH_PROPERTYPUT, VT_EMPTY, nullptr, params, &value);
    }
}

void Driver::PutBool(DISPID id, bool value) {
    if (m_lpDispatch) {
        static const BYTE params[] = VTS_BOOL;
        InvokeHelper(id, DISPATCH_PROPERTYPUT, VT_EMPTY, nullptr, params, value ? TRUE : FALSE);
    }
}

VARIANT Driver::Method(DISPID id) {
    VARIANT result = Empty();
    if (m_lpDispatch) {
        InvokeHelper(id, DISPATCH_METHOD, VT_VARIANT, &result, nullptr);
    }
    return result;
}

VARIANT Driver::Method(DISPID id, const VARIANT& a) {
    VARIANT result = Empty();
    if (m_lpDispatch) {
        static const BYTE params[] = VTS_VARIANT;
        InvokeHelper(id, DISPATCH_METHOD, VT_VARIANT, &result, params, &a);
    }
    return result;
}

long Range::GetCount() {
    long result = 0;
    if (m_lpDispatch) {
        InvokeHelper(0x76, DISPATCH_PROPERTYGET, VT_I4, &result, nullptr);
    }
    return result;
}

void Workbook::SaveAs(const VARIANT& fileName, const VARIANT& fileFormat, const VARIANT& password,
                      const VARIANT& writeResPassword, const VARIANT& readOnlyRecommended,
                      const VARIANT& createBackup, LONG accessMode, const VARIANT& conflictResolution,
                      const VARIANT& addToMru, const VARIANT& textCodepage, const VARIANT& textVisualLayout) {
    if (m_lpDispatch) {
        static const BYTE params[] = VTS_VARIANT VTS_VARIANT VTS_VARIANT VTS_VARIANT VTS_VARIANT VTS_VARIANT
            VTS_I4 VTS_VARIANT VTS_VARIANT VTS_VARIANT VTS_VARIANT;
        InvokeHelper(0x11C, DISPATCH_METHOD, VT_EMPTY, nullptr, params, &fileName, &fileFormat, &password,
                     &writeResPassword, &readOnlyRecommended, &createBackup, accessMode, &conflictResolution,
                     &addToMru, &textCodepage, &textVisualLayout);
    }
}

LPDISPATCH Workbooks::Add(const VARIANT& templateArg) {
    LPDISPATCH result = nullptr;
    if (m_lpDispatch) {
        static const BYTE params[] = VTS_VARIANT;
        InvokeHelper(0xB5, DISPATCH_METHOD, VT_DISPATCH, &result, params, &templateArg);
    }
    return result;
}

void Application::Quit() {
    if (m_lpDispatch) {
        InvokeHelper(0x12E, DISPATCH_METHOD, VT_EMPTY, nullptr, nullptr);
    }
}

}  // namespace xl
