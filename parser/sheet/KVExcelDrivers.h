// Dispatch drivers for the spreadsheet application's objects. Each member is
// one Invoke with the object's fixed dispatch identifier; no name is looked
// up at run time. A driver that holds no object calls nothing: members then
// yield no object, an empty VARIANT or 0.
#pragma once

#include "platform/automation/Automation.h"

namespace xl {

// Members whose result is an object hand it back attached to a driver with
// auto-release on, so every returned reference is released exactly once.
class Driver : public COleDispatchDriver {
public:
    Driver() = default;
    explicit Driver(LPDISPATCH dispatch) : COleDispatchDriver(dispatch, TRUE) {}
    bool IsAttached() const { return m_lpDispatch != nullptr; }

protected:
    LPDISPATCH GetObject(DISPID id);
    LPDISPATCH GetObject(DISPID id, const VARIANT& a);
    LPDISPATCH GetObject(DISPID id, const VARIANT& a, const VARIANT& b);
    VARIANT GetVariant(DISPID id);
    void PutVariant(DISPID id, const VARIANT& value);
    void PutBool(DISPID id, bool value);
    VARIANT Method(DISPID id);
    VARIANT Method(DISPID id, const VARIANT& a);
};

class Font : public Driver {
public:
    using Driver::Driver;
    void SetName(const VARIANT& v) { PutVariant(0x6E, v); }
    void SetSize(const VARIANT& v) { PutVariant(0x68, v); }
    void SetBold(const VARIANT& v) { PutVariant(0x60, v); }
    void SetItalic(const VARIANT& v) { PutVariant(0x65, v); }
    void SetUnderline(const VARIANT& v) { PutVariant(0x6A, v); }
};

class Range : public Driver {
public:
    using Driver::Driver;
    VARIANT GetValue() { return GetVariant(0x6); }
    void SetValue(const VARIANT& v) { PutVariant(0x6, v); }
    VARIANT GetNumberFormat() { return GetVariant(0xC1); }
    void SetNumberFormat(const VARIANT& v) { PutVariant(0xC1, v); }
    long GetCount();
    LPDISPATCH GetFont() { return GetObject(0x92); }
    LPDISPATCH GetEntireRow() { return GetObject(0xF7); }
    LPDISPATCH GetEntireColumn() { return GetObject(0xF6); }
    VARIANT Delete(const VARIANT& shift) { return Method(0x75, shift); }
    VARIANT Clear() { return Method(0x6F); }
    VARIANT AutoFit() { return Method(0xED); }
    VARIANT Select() { return Method(0xEB); }
    void SetColumnWidth(const VARIANT& v) { PutVariant(0xF2, v); }
    void SetHorizontalAlignment(const VARIANT& v) { PutVariant(0x88, v); }
    LPDISPATCH GetOffset(const VARIANT& rowOffset, const VARIANT& columnOffset) {
        return GetObject(0xFE, rowOffset, columnOffset);
    }
};

class Worksheet : public Driver {
public:
    using Driver::Driver;
    LPDISPATCH GetRange(const VARIANT& first, const VARIANT& second) {
        return GetObject(0xC5, first, second);
    }
    LPDISPATCH GetColumns() { return GetObject(0xF1); }
    LPDISPATCH GetRows() { return GetObject(0x102); }
};

class Sheets : public Driver {
public:
    using Driver::Driver;
    LPDISPATCH GetItem(const VARIANT& index) { return GetObject(0xAA, index); }
};

class Workbook : public Driver {
public:
    using Driver::Driver;
    LPDISPATCH GetSheets() { return GetObject(0x1E5); }
    void SaveAs(const VARIANT& fileName, const VARIANT& fileFormat, const VARIANT& password,
                const VARIANT& writeResPassword, const VARIANT& readOnlyRecommended,
                const VARIANT& createBackup, LONG accessMode, const VARIANT& conflictResolution,
                const VARIANT& addToMru, const VARIANT& textCodepage, const VARIANT& textVisualLayout);
};

class Workbooks : public Driver {
public:
    using Driver::Driver;
    LPDISPATCH Add(const VARIANT& templateArg);
    LPDISPATCH GetItem(const VARIANT& index) { return GetObject(0xAA, index); }
};

class Application : public Driver {
public:
    using Driver::Driver;
    LPDISPATCH GetWorkbooks() { return GetObject(0x23C); }
    void SetDisplayAlerts(bool v) { PutBool(0x157, v); }
    void Quit();
    void SetUserControl(bool v) { PutBool(0x4BA, v); }
    void SetVisible(bool v) { PutBool(0x22E, v); }
};

}  // namespace xl
