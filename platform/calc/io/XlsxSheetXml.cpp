#include "platform/calc/io/XlsxSheetXml.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstring>
#include <memory>
#include <mutex>

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

// A number as its shortest text, quickly for the common ones: whole numbers
// and those of up to four decimals (amounts, percentages) are printed from an
// integer, once that integer is known to give back the very same double.
char* PutValue(char* p, double v) {
    constexpr double kScale = 10000.0;
    if (std::fabs(v) < 1e11 && !(v == 0 && std::signbit(v))) {
        const double whole = std::trunc(v);
        if (whole == v) {
            return std::to_chars(p, p + 24, static_cast<int64_t>(v)).ptr;
        }
        const int64_t scaled = std::llround(v * kScale);
        if (static_cast<double>(scaled) / kScale == v) {
            if (scaled < 0) {
                *p++ = '-';
            }
            char digits[24];
            char* end = std::to_chars(digits, digits + sizeof digits, scaled < 0 ? -scaled : scaled).ptr;
            auto n = static_cast<size_t>(end - digits);
            if (n <= 4) {  // below one: "0.0042"
                std::memmove(digits + (5 - n), digits, n);
                std::memset(digits, '0', 5 - n);
                n = 5;
            }
            const size_t integral = n - 4;
            p = Put(p, digits, integral);
            size_t decimals = 4;
            while (decimals > 0 && digits[integral + decimals - 1] == '0') {
                --decimals;
            }
            if (decimals > 0) {
                *p++ = '.';
                p = Put(p, digits + integral, decimals);
            }
            return p;
        }
    }
    return std::to_chars(p, p + 32, v).ptr;
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

// A cell as the sheet's XML will show it, its format and shared string found.
struct CellRecord {
    double value;  // the number, the shared string's number, 0/1, or the error code
    int32_t row;
    uint32_t format;
    uint16_t col;
    CellKind kind;  // Text: a shared string; Empty: no value
};

// The <row> elements of a run of whole rows.
size_t RenderRows(const std::vector<CellRecord>& cells, char* const begin) {
    const ColumnNames& columns = Columns();
    char* p = begin;
    char rowText[32];
    size_t rowDigits = 0;
    int32_t row = -1;
    for (const CellRecord& cell : cells) {
        if (cell.row != row) {
            if (row >= 0) {
                p = Put(p, "</row>");
            }
            row = cell.row;
            rowDigits = static_cast<size_t>(PutNumber(rowText, static_cast<int64_t>(row) + 1) - rowText);
            p = Put(p, "<row r=\"");
            p = Put(p, rowText, rowDigits);
            p = Put(p, "\">");
        }
        p = Put(p, "<c r=\"");
        p = columns.put(p, cell.col);
        p = Put(p, rowText, rowDigits);
        *p++ = '"';
        if (cell.format != 0) {
            p = Put(p, " s=\"");
            p = PutNumber(p, cell.format);
            *p++ = '"';
        }
        switch (cell.kind) {
            case CellKind::Number:
                if (std::isfinite(cell.value)) {
                    p = Put(p, "><v>");
                    p = PutValue(p, cell.value);
                    p = Put(p, "</v></c>");
                } else {
                    p = Put(p, " t=\"e\"><v>#NUM!</v></c>");
                }
                break;
            case CellKind::Text:
                p = Put(p, " t=\"s\"><v>");
                p = PutNumber(p, static_cast<uint32_t>(cell.value));
                p = Put(p, "</v></c>");
                break;
            case CellKind::Boolean:
                p = Put(p, cell.value != 0 ? " t=\"b\"><v>1</v></c>" : " t=\"b\"><v>0</v></c>");
                break;
            case CellKind::Error: {
                const char* name = ErrorName(cell.value);
                p = Put(p, " t=\"e\"><v>");
                p = Put(p, name, std::strlen(name));
                p = Put(p, "</v></c>");
                break;
            }
            case CellKind::Empty:
                p = Put(p, "/>");
                break;
        }
    }
    if (row >= 0) {
        p = Put(p, "</row>");
    }
    return static_cast<size_t>(p - begin);
}

// The runs' storage, passed back once rendered: a fresh run each time
// would take its memory from the system again, a page fault per 4 KB.
class RunPool {
public:
    std::vector<CellRecord> take() {
        std::lock_guard<std::mutex> lock(mutex_);
        if (free_.empty()) {
            return {};
        }
        std::vector<CellRecord> run = std::move(free_.back());
        free_.pop_back();
        return run;
    }
    void give(std::vector<CellRecord> run) {
        run.clear();
        std::lock_guard<std::mutex> lock(mutex_);
        free_.push_back(std::move(run));
    }

private:
    std::mutex mutex_;
    std::vector<std::vector<CellRecord>> free_;
};

// Reads the sheet's cells in order and hands them over to the deflate
// stream's workers in runs of whole rows, which they render and compress:
// this thread only finds each cell's format and shared string.
class SheetXml {
public:
    SheetXml(const SheetXmlInput& in, XlsxSharedStrings& strings, ParallelDeflate& out, std::string* error)
        : in_(in), strings_(strings), out_(out), error_(error) {}

    bool write() {
        out_.write(Header(in_));
        bool ok = true;
        in_.view.forEachCell([&](const CellRef& cell) {
            if (ok) {
                ok = add(cell);
            }
        });
        if (!ok) {
            return false;
        }
        handOver();
        out_.write(std::string_view(
            "</sheetData><pageMargins left=\"0.7\" right=\"0.7\" top=\"0.75\" bottom=\"0.75\" header=\"0.3\" "
            "footer=\"0.3\"/></worksheet>"));
        return true;
    }

private:
    // Cells of a run handed over: about 600 KB of XML.
    static constexpr size_t kRunCells = 16384;

    bool add(const CellRef& cell) {
        if (cell.row < 0 || cell.col < 0 || cell.row >= kXlsxMaxRows || cell.col >= kXlsxMaxCols) {
            *error_ = "The sheet \"" + Utf8(in_.view.name()) + "\" has a cell at " +
                      CellName(cell.row, cell.col) +
                      ", beyond the 1,048,576 rows and 16,384 columns a workbook holds; nothing was saved.";
            return false;
        }
        const bool newRow = run_.empty() || cell.row != run_.back().row;
        if (newRow && run_.size() >= kRunCells) {
            handOver();
        }
        rows_ += newRow ? 1 : 0;
        CellRecord record{cell.number, cell.row, 0, static_cast<uint16_t>(cell.col), cell.kind};
        if (cell.kind == CellKind::Text) {
            if (!cell.text || cell.text->empty()) {
                record.kind = CellKind::Empty;
            } else {
                const uint32_t index = strings_.indexOf(cell);
                if (index == XlsxSharedStrings::kTooLong) {
                    *error_ = "Cell " + CellName(cell.row, cell.col) + " of the sheet \"" +
                              Utf8(in_.view.name()) + "\" holds " + Thousands(cell.text->size()) +
                              " characters; a cell holds at most 32,767, so nothing was saved.";
                    return false;
                }
                record.value = index;
            }
        }
        const uint32_t style = cell.style < in_.formatOf.size() ? cell.style : 0;
        record.format = in_.formatOf.empty() ? 0 : in_.formatOf[style];
        run_.push_back(record);
        return true;
    }

    void handOver() {
        if (run_.empty()) {
            return;
        }
        const size_t bound = run_.size() * kCellBytes + rows_ * kRowBytes;
        // The pool lives as long as the last piece that needs it, which may
        // be rendered after this writer is gone.
        out_.defer(bound, [run = std::move(run_), pool = pool_](uint8_t* piece) mutable {
            const size_t n = RenderRows(run, reinterpret_cast<char*>(piece));
            pool->give(std::move(run));
            return n;
        });
        run_ = pool_->take();
        run_.reserve(kRunCells + 1024);
        rows_ = 0;
    }

    const SheetXmlInput& in_;
    XlsxSharedStrings& strings_;
    ParallelDeflate& out_;
    std::string* error_;
    std::shared_ptr<RunPool> pool_ = std::make_shared<RunPool>();
    std::vector<CellRecord> run_;
    size_t rows_ = 0;  // rows in the run
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
