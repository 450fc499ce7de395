#include "platform/calc/engine/CellVariant.h"

#include <cmath>

#include "platform/calc/engine/TypedInput.h"

namespace calc {

void CellToVariant(const Sheet& sheet, const Cell& cell, VARIANT& out) {
    switch (cell.kind) {
        case io::CellKind::Empty:
            out.vt = VT_EMPTY;
            return;
        case io::CellKind::Text: {
            const std::wstring& text = sheet.text(cell);
            out.vt = VT_BSTR;
            out.bstrVal = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
            return;
        }
        case io::CellKind::Boolean:
            out.vt = VT_BOOL;
            out.boolVal = cell.number != 0.0 ? VARIANT_TRUE : VARIANT_FALSE;
            return;
        case io::CellKind::Error: {
            out.vt = VT_ERROR;
            out.scode = static_cast<SCODE>(kCellErrorBase + 2042);
            for (const ErrorMap& e : kCellErrors) {
                if (static_cast<double>(static_cast<uint8_t>(e.error)) == cell.number) {
                    out.scode = static_cast<SCODE>(kCellErrorBase + e.number);
                }
            }
            return;
        }
        case io::CellKind::Number:
            if (sheet.dateTimeFormat(cell.style) && cell.number >= 0.0 && cell.number < kLastSerial) {
                out.vt = VT_DATE;
                out.date = OleDateFromSerial(cell.number);
            } else {
                out.vt = VT_R8;
                out.dblVal = cell.number;
            }
            return;
    }
}

void PutVariant(Sheet& sheet, int32_t row, int32_t col, const VARIANT& raw) {
    const VARIANT& v = Deref(raw);
    // No cell holds an infinite or undefined number: it is the #NUM! error,
    // as the saved files have it.
    if ((v.vt == VT_R8 && !std::isfinite(v.dblVal)) || (v.vt == VT_DATE && !std::isfinite(v.date)) ||
        (v.vt == VT_R4 && !std::isfinite(v.fltVal))) {
        sheet.putError(row, col, CellError::Num);
        return;
    }
    switch (v.vt) {
        case VT_EMPTY:
        case VT_NULL:
            sheet.clearContents(row, col);
            return;
        case VT_BSTR:
            sheet.putTyped(row, col, TypedText(v));
            return;
        case VT_R8:
            sheet.putNumber(row, col, RoundToCellPrecision(v.dblVal));
            return;
        case VT_I4:
            sheet.putNumber(row, col, v.lVal);
            return;
        case VT_I2:
            sheet.putNumber(row, col, v.iVal);
            return;
        case VT_DATE: {
            double serial = SerialFromOleDate(v.date);
            std::wstring_view format = L"m/d/yyyy h:mm";
            if (serial >= 0.0 && serial < 1.0) {
                format = L"h:mm:ss";
            } else if (serial == std::floor(serial)) {
                format = L"m/d/yyyy";
            }
            sheet.putNumber(row, col, serial, format);
            return;
        }
        case VT_CY:
            sheet.putNumber(row, col, static_cast<double>(v.cyVal.int64) / 10000.0,
                            L"$#,##0.00_);($#,##0.00)");
            return;
        case VT_BOOL:
            sheet.putBoolean(row, col, v.boolVal != VARIANT_FALSE);
            return;
        case VT_ERROR:
            for (const ErrorMap& e : kCellErrors) {
                if (static_cast<uint32_t>(v.scode) == kCellErrorBase + e.number) {
                    sheet.putError(row, col, e.error);
                }
            }
            return;
        default:
            sheet.putNumber(row, col, Args::ToDouble(v));
            return;
    }
}

bool ElementView(VARTYPE vt, const void* p, VARIANT& out) {
    VariantInit(&out);
    out.vt = vt;
    switch (vt) {
        case VT_VARIANT:
            out = *static_cast<const VARIANT*>(p);
            return true;
        case VT_BSTR:
            out.bstrVal = *static_cast<const BSTR*>(p);
            return true;
        case VT_R8:
        case VT_DATE:
            out.dblVal = *static_cast<const double*>(p);
            return true;
        case VT_I4:
            out.lVal = *static_cast<const LONG*>(p);
            return true;
        case VT_I2:
        case VT_BOOL:
            out.iVal = *static_cast<const SHORT*>(p);
            return true;
        default:
            return false;
    }
}

}  // namespace calc
