// The same workbook written through libxlsxwriter (constant memory mode), as
// the .xlsx writer once did: the reference the writer's output is compared with.
#include "platform/calc/io/tests/ReferenceXlsxWriter.h"

#include <xlsxwriter.h>

#include <cmath>
#include <cstdio>
#include <map>

#include "platform/calc/io/AtomicFile.h"
#include "platform/calc/io/SheetView.h"
#include "platform/calc/io/WriterCommon.h"

namespace calc::io::test {
namespace {

using detail::CellName;
using detail::Thousands;
using detail::Utf8;

constexpr int32_t kMaxRows = LXW_ROW_MAX;
constexpr int32_t kMaxCols = LXW_COL_MAX;
constexpr size_t kMaxTextLength = 32767;

uint8_t AlignOf(HAlign a) {
    switch (a) {
        case HAlign::Left:
            return LXW_ALIGN_LEFT;
        case HAlign::Center:
            return LXW_ALIGN_CENTER;
        case HAlign::Right:
            return LXW_ALIGN_RIGHT;
        case HAlign::Fill:
            return LXW_ALIGN_FILL;
        case HAlign::Justify:
            return LXW_ALIGN_JUSTIFY;
        case HAlign::CenterAcrossSelection:
            return LXW_ALIGN_CENTER_ACROSS;
        case HAlign::General:
            break;
    }
    return LXW_ALIGN_NONE;
}

const char* ErrorLiteral(double code) {
    double c = code >= 2000 ? code - 2000 : code;
    if (c == 0x00) {
        return "=#NULL!";
    }
    if (c == 0x07) {
        return "=#DIV/0!";
    }
    if (c == 0x0F) {
        return "=#VALUE!";
    }
    if (c == 0x17) {
        return "=#REF!";
    }
    if (c == 0x1D) {
        return "=#NAME?";
    }
    if (c == 0x24) {
        return "=#NUM!";
    }
    return "=#N/A";
}

// Owns a libxlsxwriter workbook until it is closed (closing writes the file).
class Workbook {
public:
    explicit Workbook(const std::string& path) {
        lxw_workbook_options options{};
        options.constant_memory = LXW_TRUE;
        wb_ = workbook_new_opt(path.c_str(), &options);
    }
    ~Workbook() {
        if (wb_) {
            workbook_close(wb_);
        }
    }
    Workbook(const Workbook&) = delete;
    Workbook& operator=(const Workbook&) = delete;
    lxw_workbook* get() const { return wb_; }
    lxw_error close() {
        lxw_error e = workbook_close(wb_);
        wb_ = nullptr;
        return e;
    }

private:
    lxw_workbook* wb_ = nullptr;
};

class FormatCache {
public:
    explicit FormatCache(lxw_workbook* wb) : wb_(wb) {}

    lxw_format* get(const CellStyle& style) {
        for (auto& [s, f] : formats_) {
            if (s == style) {
                return f;
            }
        }
        lxw_format* f = workbook_add_format(wb_);
        if (!f) {
            return nullptr;
        }
        format_set_font_name(f, Utf8(style.font.name).c_str());
        format_set_font_size(f, style.font.size);
        if (style.font.bold) {
            format_set_bold(f);
        }
        if (style.font.italic) {
            format_set_italic(f);
        }
        if (style.font.underline) {
            format_set_underline(f, LXW_UNDERLINE_SINGLE);
        }
        const std::wstring& code = style.numberFormat;
        if (!code.empty() && code != L"General" && code != L"general" && code != L"GENERAL") {
            format_set_num_format(f, Utf8(code).c_str());
        }
        uint8_t align = AlignOf(style.align);
        if (align != LXW_ALIGN_NONE) {
            format_set_align(f, align);
        }
        formats_.emplace_back(style, f);
        return f;
    }

private:
    lxw_workbook* wb_;
    std::vector<std::pair<CellStyle, lxw_format*>> formats_;
};

std::string Describe(lxw_error e) {
    const char* text = lxw_strerror(e);
    return text ? text : "unknown error";
}

bool WriteSheet(lxw_workbook* wb, FormatCache& formats, const SheetView& view, bool first,
                std::string* error) {
    lxw_worksheet* ws = workbook_add_worksheet(wb, Utf8(view.name()).c_str());
    if (!ws) {
        *error = "Cannot add the sheet \"" + Utf8(view.name()) + "\" to the workbook.";
        return false;
    }
    const std::vector<CellStyle>& styles = view.styles();
    std::vector<lxw_format*> formatOf(std::max<size_t>(styles.size(), 1), nullptr);
    const CellStyle defaultStyle;
    for (size_t i = 0; i < formatOf.size(); ++i) {
        formatOf[i] = formats.get(i < styles.size() ? styles[i] : defaultStyle);
        if (!formatOf[i]) {
            *error = "Cannot create a cell format for the workbook (out of memory).";
            return false;
        }
    }
    for (int32_t c = 0; c < kMaxCols; ++c) {
        if (view.hasColumnWidth(c)) {
            double w = std::clamp(view.columnWidth(c), 0.0, 255.0);
            lxw_error e =
                worksheet_set_column(ws, static_cast<lxw_col_t>(c), static_cast<lxw_col_t>(c), w, nullptr);
            if (e != LXW_NO_ERROR) {
                *error = "Cannot set the width of a column: " + Describe(e) + ".";
                return false;
            }
        }
    }
    bool ok = true;
    view.forEachCell([&](const CellRef& cell) {
        if (!ok) {
            return;
        }
        if (cell.row < 0 || cell.col < 0 || cell.row >= kMaxRows || cell.col >= kMaxCols) {
            *error = "The sheet \"" + Utf8(view.name()) + "\" has a cell at " + CellName(cell.row, cell.col) +
                     ", beyond the 1,048,576 rows and 16,384 columns a workbook holds; nothing was saved.";
            ok = false;
            return;
        }
        lxw_format* f = formatOf[cell.style < formatOf.size() ? cell.style : 0];
        auto r = static_cast<lxw_row_t>(cell.row);
        auto c = static_cast<lxw_col_t>(cell.col);
        lxw_error e = LXW_NO_ERROR;
        switch (cell.kind) {
            case CellKind::Text: {
                static const std::wstring kEmpty;
                const std::wstring& text = cell.text ? *cell.text : kEmpty;
                std::string utf8 = Utf8(text);
                // Excel counts UTF-16 units; characters beyond the BMP take two.
                size_t units = 0;
                for (wchar_t ch : text) {
                    units += static_cast<uint32_t>(ch) >= 0x10000 ? 2 : 1;
                }
                if (units > kMaxTextLength) {
                    *error = "Cell " + CellName(cell.row, cell.col) + " of the sheet \"" + Utf8(view.name()) +
                             "\" holds " + Thousands(text.size()) +
                             " characters; a cell holds at most 32,767, so nothing was saved.";
                    ok = false;
                    return;
                }
                e = text.empty() ? worksheet_write_blank(ws, r, c, f)
                                 : worksheet_write_string(ws, r, c, utf8.c_str(), f);
                break;
            }
            case CellKind::Number:
                e = std::isfinite(cell.number) ? worksheet_write_number(ws, r, c, cell.number, f)
                                               : worksheet_write_formula_str(ws, r, c, "=#NUM!", f, "#NUM!");
                break;
            case CellKind::Boolean:
                e = worksheet_write_boolean(ws, r, c, cell.number != 0 ? 1 : 0, f);
                break;
            case CellKind::Error:
                // The error literal as a formula, with the error text as its cached
                // result for readers that do not recalculate on load.
                e = worksheet_write_formula_str(ws, r, c, ErrorLiteral(cell.number), f,
                                                ErrorLiteral(cell.number) + 1);
                break;
            case CellKind::Empty:
                e = worksheet_write_blank(ws, r, c, f);
                break;
        }
        if (e != LXW_NO_ERROR) {
            *error = "Cannot write cell " + CellName(cell.row, cell.col) + " of the sheet \"" +
                     Utf8(view.name()) + "\": " + Describe(e) + ".";
            ok = false;
        }
    });
    if (!ok) {
        return false;
    }
    int32_t ar = std::clamp(view.activeRow(), 0, kMaxRows - 1);
    int32_t ac = std::clamp(view.activeCol(), 0, kMaxCols - 1);
    worksheet_set_selection(ws, static_cast<lxw_row_t>(ar), static_cast<lxw_col_t>(ac),
                            static_cast<lxw_row_t>(ar), static_cast<lxw_col_t>(ac));
    if (first) {
        worksheet_activate(ws);
    }
    return true;
}

}  // namespace

WriteResult WriteXlsxWithLibrary(const std::vector<const SheetView*>& sheets, const std::string& path) {
    WriteResult result;
    std::string error;
    if (!detail::CheckSheets(sheets, &error)) {
        result.error = error;
        return result;
    }
    for (const SheetView* sheet : sheets) {
        if (!detail::CheckExtent(*sheet, kMaxRows, kMaxCols, "a workbook (.xlsx)", &error)) {
            result.error = error;
            return result;
        }
    }
    std::string temp = CreateSiblingTempFile(path, &error);
    if (temp.empty()) {
        result.error = error;
        return result;
    }
    bool ok = true;
    {
        Workbook wb(temp);
        if (!wb.get()) {
            error = "Cannot start the workbook " + path + ".";
            ok = false;
        } else {
            FormatCache formats(wb.get());
            for (size_t s = 0; s < sheets.size() && ok; ++s) {
                ok = WriteSheet(wb.get(), formats, *sheets[s], s == 0, &error);
            }
            lxw_error e = wb.close();
            if (ok && e != LXW_NO_ERROR) {
                error = "Cannot write the workbook " + path + ": " + Describe(e) + ".";
                ok = false;
            }
        }
    }
    if (!ok) {
        std::remove(temp.c_str());
        result.error = error;
        return result;
    }
    if (!CommitTempFile(temp, path, &error)) {
        result.error = error;
        return result;
    }
    result.ok = true;
    return result;
}

}  // namespace calc::io::test
