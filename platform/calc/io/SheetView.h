// What a workbook writer needs to know of a sheet, independent of how the
// calc engine stores it. The engine implements SheetView; the .xls and .xlsx
// writers only read through it.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace calc::io {

struct FontSpec {
    std::wstring name = L"Arial";
    double size = 10.0;  // points
    bool bold = false;
    bool italic = false;
    bool underline = false;  // single underline
    bool operator==(const FontSpec&) const = default;
};

// Horizontal alignment, with the spreadsheet application's xlHAlign values.
enum class HAlign : int32_t {
    General = 1,
    Left = -4131,
    Center = -4108,
    Right = -4152,
    Fill = 5,
    Justify = -4130,
    CenterAcrossSelection = 7,
};

struct CellStyle {
    std::wstring numberFormat = L"General";  // format code as typed, e.g. L"#,##0.00"
    FontSpec font;
    HAlign align = HAlign::General;
    bool operator==(const CellStyle&) const = default;
};

enum class CellKind : uint8_t { Empty, Number, Text, Boolean, Error };

// One stored cell. Dates and times are numbers (serial days, 1900 system)
// whose style carries a date/time format.
struct CellRef {
    int32_t row = 0;  // zero-based
    int32_t col = 0;  // zero-based
    CellKind kind = CellKind::Empty;
    double number = 0.0;  // Number, Boolean (0/1), Error (code)
    // Text only. Stays valid, at the same address, for the whole visit, and an
    // address stands for one text: writers remember a text by its address.
    const std::wstring* text = nullptr;
    // Text only: the text's number, below SheetView::textNumbers(), the same
    // for every cell holding that text; kNoTextNumber when the sheet does
    // not number its texts.
    uint32_t textNumber = kNoTextNumber;
    uint32_t style = 0;  // index into SheetView::styles()

    static constexpr uint32_t kNoTextNumber = UINT32_MAX;
};

class SheetView {
public:
    virtual ~SheetView() = default;

    virtual std::wstring name() const = 0;

    // Styles in use; index 0 is the sheet default (General, default font).
    virtual const std::vector<CellStyle>& styles() const = 0;

    // Extent of the used range, zero-based and inclusive; -1 when the sheet is empty.
    virtual int32_t lastRow() const = 0;
    virtual int32_t lastCol() const = 0;

    // Visits every non-empty cell, and every empty cell that carries a style
    // other than 0, in row-major order (row ascending, then column ascending).
    virtual void forEachCell(const std::function<void(const CellRef&)>& visit) const = 0;
    // How many numbers CellRef::textNumber may take; 0 when texts are not numbered.
    virtual uint32_t textNumbers() const { return 0; }

    // Column width in the application's character units (ColumnWidth), and
    // whether it was set (otherwise the writer leaves the column default).
    virtual double columnWidth(int32_t col) const = 0;
    virtual bool hasColumnWidth(int32_t col) const = 0;
    virtual double defaultColumnWidth() const { return 8.43; }

    // The active (selected) cell, zero-based.
    virtual int32_t activeRow() const = 0;
    virtual int32_t activeCol() const = 0;
};

// Writes a workbook of one or more sheets. On failure returns false and puts a
// sentence for the user in *error; the destination is then left untouched
// (writers build a temporary file beside it and rename it into place).
struct WriteResult {
    bool ok = false;
    std::string error;
};

// Excel 97-2003 (BIFF8 in a compound file). Refuses sheets beyond 65,536 rows
// or 256 columns with a clear error rather than truncating.
WriteResult WriteXls(const std::vector<const SheetView*>& sheets, const std::string& path);

// Office Open XML (.xlsx). Limits 1,048,576 rows x 16,384 columns.
WriteResult WriteXlsx(const std::vector<const SheetView*>& sheets, const std::string& path);

}  // namespace calc::io
