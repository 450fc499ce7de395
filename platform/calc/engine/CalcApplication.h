// The in-process spreadsheet application answering to the program identifier
// "Excel.Application": Application, Workbooks, Workbook, Sheets, Worksheet,
// Range and Font objects reached through IDispatch::Invoke by fixed member
// identifiers. See platform/calc/README.md for the members and behaviour.
#pragma once

#include "platform/automation/Guid.h"
#include "platform/automation/StatusCodes.h"

namespace calc {

// Class identifier under which the application is registered.
inline constexpr CLSID kCalcApplicationClsid = {
    0x5C1A7E20, 0x3B9D, 0x4F61, {0x9A, 0x52, 0x7E, 0x0D, 0x41, 0x6B, 0xC8, 0x13}};

// Registers the application's class factory with the automation run time,
// so CoCreateInstance of CLSIDFromProgID(L"Excel.Application") creates it.
// Idempotent. Returns the run time's status.
HRESULT RegisterExcelApplication();

}  // namespace calc
