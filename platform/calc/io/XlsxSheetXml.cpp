#include "platform/calc/io/XlsxSheetXml.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstring>

#include "platform/calc/io/Biff8.h"
#include "platform/calc/io/WriterCommon.h"
#include "platform/calc/io/XmlText.h"

namespace calc::io {
namespace {

using detail::CellName;
using detail::Thousands;
using detail::Utf8;

// The longest cell element, <c r="XFD1048576" s="4294967295" t="e"><v>-2.2250738585072014e-308</v></c>,
// is 74 bytes; the end of a row and the start of the next add 23.
constexpr size_t kCellBytes = 80;
constexpr size_t kRowBytes = 32;
constexpr size_t kCellRoom = kCellBytes + kRowBytes;

template <size_t N>
char* Put(char* p, const char (&literal)[N]) {
    std::memcpy(p, literal, N - 1);
    return p + N - 1;
}

char* Put(char* p, const char* s, size_t n) {
    std::memcpy(p, s, n);
    return p + n;
}

template <typename T>
char* PutNumber(char* p, T value) {
    return std::to_chars(p, p + 32, value).ptr;
}

const char* ErrorName(double code) {
    switch (biff::ErrorCode(code)) {
        case 0x00:
            return "#NULL!";
        case 0x07:
            return "#DIV/0!";
        case 0x0F:
            return "#VALUE!";
        case 0x17:
            return "#REF!";
        case 0x1D:
            return "#NAME?";
        case 0x24:
            return "#NUM!";
        default:
            return "#N/A";
    }
}

// Column letters, "A" to "XFD", made once.
class ColumnNames {
public:
    ColumnNames() {
        for (int32_t c = 0; c < kXlsxMaxCols; ++c) {
            Name& n = names_[static_cast<size_t>(c)];
            char reversed[3];
            for (int64_t v = c + 1; v > 0; v = (v - 1) / 26) {
                reversed[n.length++] = static_cast<char>('A' + (v - 1) % 26);
            }
            for (uint8_t i = 0; i < n.length; ++i) {
                n.letters[i] = reversed[n.length - 1 - i];
            }
        }
    }
    char* put(char* p, int32_t col) const {
        const Name& n = names_[static_cast<size_t>(col)];
        std::memcpy(p, n.letters, 4);
        return p + n.length;
    }

private:
    struct Name {
        char letters[4] = {};
        uint8_t length = 0;
    };
    std::array<Name, kXlsxMaxCols> names_;
};

const ColumnNames& Columns() {
    static const ColumnNames names;
    return names;
}

std::string Header(const SheetXmlInput& in) {
    std::string h =
        "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
        "<worksheet xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\">";
    h += "<dimension ref=\"A1";
    if (in.lastRow >= 0 && in.lastCol >= 0) {
        h += ":" + CellName(in.lastRow, in.lastCol);
    }
    h += "\"/><sheetViews><sheetView ";
    if (in.selected) {
        h += "tabSelected=\"1\" ";
    }
    // A selection outside the grid (the converter may place it one past the
    // data) is kept at the grid's edge rather than refusing the file for it.
    const std::string active = CellName(std::clamp(in.view.activeRow(), 0, kXlsxMaxRows - 1),
                                        std::clamp(in.view.activeCol(), 0, kXlsxMaxCols - 1));
    h += "workbookViewId=\"0\"><selection activeCell=\"" + active + "\" sqref=\"" + active +
         "\"/></sheetView></sheetViews>";
    // Row height of the default font (Arial 10), as the file's reader would
    // otherwise take its own default font's.
    h += "<sheetFormatPr defaultRowHeight=\"12.75\"/>";
    // Widths in the file count the cell padding, as the older format's do:
    // both are the same 1/256 characters.
    std::string cols;
    for (int32_t c = 0; c < kXlsxMaxCols;) {
        if (!in.view.hasColumnWidth(c)) {
            ++c;
            continue;
        }
        const uint16_t units = biff::ColumnWidthUnits(in.view.columnWidth(c));
        int32_t last = c;
        while (last + 1 < kXlsxMaxCols && in.view.hasColumnWidth(last + 1) &&
               biff::ColumnWidthUnits(in.view.columnWidth(last + 1)) == units) {
            ++last;
        }
        char width[32];
        char* end = PutNumber(width, units / 256.0);
        cols += "<col min=\"" + std::to_string(c + 1) + "\" max=\"" + std::to_string(last + 1) +
                "\" width=\"" + std::string(width, end) + (units == 0 ? "\" hidden=\"1" : "") +
                "\" customWidth=\"1\"/>";
        c = last + 1;
    }
    if (!cols.empty()) {
        h += "<cols>" + cols + "</cols>";
    }
    h += "<sheetData>";
    return h;
}

class SheetXml {
public:
    SheetXml(const SheetXmlInput& in, XlsxSharedStrings& strings, ParallelDeflate& out, std::string* error)
        : in_(in), strings_(strings), out_(out), error_(error), columns_(Columns()) {}

    bool write() {
        out_.write(Header(in_));
        bool ok = true;
        in_.view.forEachCell([&](const CellRef& cell) {
            if (ok) {
                ok = put(cell);
            }
        });
        if (!ok) {
            return false;
        }
        if (row_ >= 0) {
            out_.write(std::string_view("</row>"));
        }
        out_.write(std::string_view(
            "</sheetData><pageMargins left=\"0.7\" right=\"0.7\" top=\"0.75\" bottom=\"0.75\" header=\"0.3\" "
            "footer=\"0.3\"/></worksheet>"));
        return true;
    }

private:
    bool put(const CellRef& cell) {
        if (cell.row < 0 || cell.col < 0 || cell.row >= kXlsxMaxRows || cell.col >= kXlsxMaxCols) {
            *error_ = "The sheet \"" + Utf8(in_.view.name()) + "\" has a cell at " +
                      CellName(cell.row, cell.col) +
                      ", beyond the 1,048,576 rows and 16,384 columns a workbook holds; nothing was saved.";
            return false;
        }
        uint32_t index = 0;
        const bool isText = cell.kind == CellKind::Text && cell.text && !cell.text->empty();
        if (isText) {
            index = strings_.indexOf(cell);
            if (index == XlsxSharedStrings::kTooLong) {
                *error_ = "Cell " + CellName(cell.row, cell.col) + " of the sheet \"" +
                          Utf8(in_.view.name()) + "\" holds " + Thousands(cell.text->size()) +
                          " characters; a cell holds at most 32,767, so nothing was saved.";
                return false;
            }
        }
        char* const begin = out_.room(kCellRoom);
        char* p = begin;
        if (cell.row != row_) {
            if (row_ >= 0) {
                p = Put(p, "</row>");
            }
            row_ = cell.row;
            rowDigits_ = static_cast<size_t>(PutNumber(rowText_, static_cast<int64_t>(row_) + 1) - rowText_);
            p = Put(p, "<row r=\"");
            p = Put(p, rowText_, rowDigits_);
            p = Put(p, "\">");
        }
        p = Put(p, "<c r=\"");
        p = columns_.put(p, cell.col);
        p = Put(p, rowText_, rowDigits_);
        *p++ = '"';
        const uint32_t style = cell.style < in_.formatOf.size() ? cell.style : 0;
        const uint32_t format = in_.formatOf.empty() ? 0 : in_.formatOf[style];
        if (format != 0) {
            p = Put(p, " s=\"");
            p = PutNumber(p, format);
            *p++ = '"';
        }
        switch (cell.kind) {
            case CellKind::Number:
                if (std::isfinite(cell.number)) {
                    p = Put(p, "><v>");
                    p = PutNumber(p, cell.number);
                    p = Put(p, "</v></c>");
                } else {
                    p = Put(p, " t=\"e\"><v>#NUM!</v></c>");
                }
                break;
            case CellKind::Text:
                if (isText) {
                    p = Put(p, " t=\"s\"><v>");
                    p = PutNumber(p, index);
                    p = Put(p, "</v></c>");
                } else {
                    p = Put(p, "/>");
                }
                break;
            case CellKind::Boolean:
                p = Put(p, cell.number != 0 ? " t=\"b\"><v>1</v></c>" : " t=\"b\"><v>0</v></c>");
                break;
            case CellKind::Error: {
                const char* name = ErrorName(cell.number);
                p = Put(p, " t=\"e\"><v>");
                p = Put(p, name, std::strlen(name));
                p = Put(p, "</v></c>");
                break;
            }
            case CellKind::Empty:
                p = Put(p, "/>");
                break;
        }
        out_.advance(static_cast<size_t>(p - begin));
        return true;
    }

    const SheetXmlInput& in_;
    XlsxSharedStrings& strings_;
    ParallelDeflate& out_;
    std::string* error_;
    const ColumnNames& columns_;
    int32_t row_ = -1;
    char rowText_[16] = {};
    size_t rowDigits_ = 0;
};

}  // namespace

bool WriteSheetXml(const SheetXmlInput& in, XlsxSharedStrings& strings, ParallelDeflate& out,
                   std::string* error) {
    return SheetXml(in, strings, out, error).write();
}

uint64_t SheetXmlBound(int32_t lastRow, int32_t lastCol) {
    const uint64_t rows = static_cast<uint64_t>(std::max(lastRow + 1, 0));
    const uint64_t cols = static_cast<uint64_t>(std::max(lastCol + 1, 0));
    return rows * (cols * kCellBytes + kRowBytes) + (uint64_t{1} << 20);
}

}  // namespace calc::io
