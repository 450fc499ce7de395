// Excel 97-2003 workbook: a BIFF8 Workbook stream inside a compound file.
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <map>
#include <tuple>
#include <utility>

#include "platform/calc/io/AtomicFile.h"
#include "platform/calc/io/Biff8.h"
#include "platform/calc/io/KnownTexts.h"
#include "platform/calc/io/SheetView.h"
#include "platform/calc/io/WriterCommon.h"

namespace calc::io {
namespace {

using biff::Bytes;
using detail::CellName;
using detail::Thousands;
using detail::Utf8;

constexpr uint16_t kDefaultCellXf = 15;
constexpr uint16_t kFirstCellXf = 16;
constexpr uint16_t kFirstOwnFont = 5;  // font index 4 does not exist
constexpr uint16_t kFirstCustomFormat = 164;
constexpr size_t kMaxFontRecords = 510;
constexpr size_t kMaxCustomFormats = 210;
constexpr size_t kMaxXfs = 4050;
constexpr int32_t kRowBlock = 32;

struct BuiltinFormat {
    uint16_t index;
    const wchar_t* code;    // as the user types it (US)
    const wchar_t* stored;  // the FORMAT record's text, for the locale-dependent ones
};

// The built-ins every reader knows by number; the currency group is also written out
// because its symbol depends on the locale.
const BuiltinFormat kBuiltins[] = {
    {1, L"0", nullptr},
    {2, L"0.00", nullptr},
    {3, L"#,##0", nullptr},
    {4, L"#,##0.00", nullptr},
    {5, L"$#,##0_);($#,##0)", L"\"$\"#,##0_);\\(\"$\"#,##0\\)"},
    {6, L"$#,##0_);[Red]($#,##0)", L"\"$\"#,##0_);[Red]\\(\"$\"#,##0\\)"},
    {7, L"$#,##0.00_);($#,##0.00)", L"\"$\"#,##0.00_);\\(\"$\"#,##0.00\\)"},
    {8, L"$#,##0.00_);[Red]($#,##0.00)", L"\"$\"#,##0.00_);[Red]\\(\"$\"#,##0.00\\)"},
    {9, L"0%", nullptr},
    {10, L"0.00%", nullptr},
    {11, L"0.00E+00", nullptr},
    {12, L"# ?/?", nullptr},
    {13, L"# ?\?/??", nullptr},
    {14, L"m/d/yyyy", nullptr},
    {15, L"d-mmm-yy", nullptr},
    {16, L"d-mmm", nullptr},
    {17, L"mmm-yy", nullptr},
    {18, L"h:mm AM/PM", nullptr},
    {19, L"h:mm:ss AM/PM", nullptr},
    {20, L"h:mm", nullptr},
    {21, L"h:mm:ss", nullptr},
    {22, L"m/d/yyyy h:mm", nullptr},
    {37, L"#,##0_);(#,##0)", nullptr},
    {38, L"#,##0_);[Red](#,##0)", nullptr},
    {39, L"#,##0.00_);(#,##0.00)", nullptr},
    {40, L"#,##0.00_);[Red](#,##0.00)", nullptr},
    {41, L"_(* #,##0_);_(* (#,##0);_(* \"-\"_);_(@_)", L"_(* #,##0_);_(* \\(#,##0\\);_(* \"-\"_);_(@_)"},
    {42, L"_($* #,##0_);_($* (#,##0);_($* \"-\"_);_(@_)",
     L"_(\"$\"* #,##0_);_(\"$\"* \\(#,##0\\);_(\"$\"* \"-\"_);_(@_)"},
    {43, L"_(* #,##0.00_);_(* (#,##0.00);_(* \"-\"??_);_(@_)",
     L"_(* #,##0.00_);_(* \\(#,##0.00\\);_(* \"-\"?\?_);_(@_)"},
    {44, L"_($* #,##0.00_);_($* (#,##0.00);_($* \"-\"??_);_(@_)",
     L"_(\"$\"* #,##0.00_);_(\"$\"* \\(#,##0.00\\);_(\"$\"* \"-\"?\?_);_(@_)"},
    {45, L"mm:ss", nullptr},
    {46, L"[h]:mm:ss", nullptr},
    {47, L"mm:ss.0", nullptr},
    {48, L"##0.0E+0", nullptr},
    {49, L"@", nullptr},
};

// Fonts, number formats and cell XFs of the whole workbook.
class StyleTable {
public:
    // XF index for a style, or 0 with *error set when a table is full.
    uint16_t xfFor(const CellStyle& style, std::string* error) {
        uint16_t font = fontFor(style.font, error);
        if (!error->empty()) {
            return 0;
        }
        uint16_t format = formatFor(style.numberFormat, error);
        if (!error->empty()) {
            return 0;
        }
        if (font == 0 && format == 0 && style.align == HAlign::General) {
            return kDefaultCellXf;
        }
        auto key = std::make_tuple(font, format, static_cast<int32_t>(style.align));
        auto it = xfs_.find(key);
        if (it != xfs_.end()) {
            return it->second;
        }
        if (xfOrder_.size() + kFirstCellXf >= kMaxXfs) {
            *error = "The workbook uses more than " + Thousands(kMaxXfs - kFirstCellXf) +
                     " different cell formats, more than an Excel 97-2003 workbook can hold.";
            return 0;
        }
        auto xf = static_cast<uint16_t>(kFirstCellXf + xfOrder_.size());
        xfs_.emplace(key, xf);
        xfOrder_.push_back(key);
        return xf;
    }

    void write(Bytes& out) const {
        const FontSpec normal;
        for (int k = 0; k < 4; ++k) {
            biff::WriteFont(out, normal);
        }
        for (const FontSpec& f : fonts_) {
            biff::WriteFont(out, f);
        }
        for (const BuiltinFormat& b : kBuiltins) {
            if (b.stored) {
                biff::WriteFormat(out, b.index, b.stored);
            }
        }
        for (size_t i = 0; i < customFormats_.size(); ++i) {
            biff::WriteFormat(out, static_cast<uint16_t>(kFirstCustomFormat + i), customFormats_[i]);
        }
        static const uint16_t kStyleFonts[15] = {0, 1, 1, 2, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
        for (int k = 0; k < 15; ++k) {
            biff::WriteStyleXf(out, kStyleFonts[k], k == 0);
        }
        biff::WriteDefaultCellXf(out);
        for (const auto& [font, format, align] : xfOrder_) {
            biff::WriteCellXf(out, font, format, static_cast<HAlign>(align));
        }
    }

private:
    uint16_t fontFor(const FontSpec& font, std::string* error) {
        if (font == FontSpec()) {
            return 0;
        }
        for (size_t i = 0; i < fonts_.size(); ++i) {
            if (fonts_[i] == font) {
                return static_cast<uint16_t>(kFirstOwnFont + i);
            }
        }
        if (font.name.empty() || font.name.size() > 255) {
            *error = "The font name \"" + Utf8(font.name) +
                     "\" cannot be stored; a font name needs 1 to 255 characters.";
            return 0;
        }
        if (fonts_.size() + 4 >= kMaxFontRecords) {
            *error = "The workbook uses more than " + std::to_string(kMaxFontRecords - 4) +
                     " different fonts, more than an Excel 97-2003 workbook can hold.";
            return 0;
        }
        fonts_.push_back(font);
        return static_cast<uint16_t>(kFirstOwnFont + fonts_.size() - 1);
    }

    uint16_t formatFor(const std::wstring& code, std::string* error) {
        if (detail::IsGeneralFormat(code)) {
            return 0;
        }
        for (const BuiltinFormat& b : kBuiltins) {
            if (code == b.code) {
                return b.index;
            }
        }
        for (size_t i = 0; i < customFormats_.size(); ++i) {
            if (customFormats_[i] == code) {
                return static_cast<uint16_t>(kFirstCustomFormat + i);
            }
        }
        if (code.size() > 255) {
            *error = "The number format \"" + Utf8(code.substr(0, 40)) + "...\" has " +
                     Thousands(code.size()) + " characters; a number format may have at most 255.";
            return 0;
        }
        if (customFormats_.size() >= kMaxCustomFormats) {
            *error = "The workbook uses more than " + std::to_string(kMaxCustomFormats) +
                     " different number formats, more than an Excel 97-2003 workbook can hold.";
            return 0;
        }
        customFormats_.push_back(code);
        return static_cast<uint16_t>(kFirstCustomFormat + customFormats_.size() - 1);
    }

    std::vector<FontSpec> fonts_;
    std::vector<std::wstring> customFormats_;
    std::map<std::tuple<uint16_t, uint16_t, int32_t>, uint16_t> xfs_;
    std::vector<std::tuple<uint16_t, uint16_t, int32_t>> xfOrder_;
};

// Row height for the tallest font of a row, in twips: the default 12.75 pt for
// 10 pt text, and about the same proportion of line spacing for larger fonts.
uint16_t RowHeightTwips(double maxPoints) {
    if (maxPoints <= 10.0) {
        return 255;
    }
    double px = std::round(maxPoints * 96.0 / 72.0 * 1.15) + 2.0;
    return static_cast<uint16_t>(std::min(px * 15.0, 8180.0));  // 1 px = 15 twips at 96 DPI
}

struct RowInfo {
    uint16_t row;
    uint16_t firstCol;
    uint16_t lastCol;
    double maxPoints;
};

class SheetBuilder {
public:
    SheetBuilder(const SheetView& view, const std::vector<uint16_t>& xfOf,
                 const std::vector<double>& pointsOf, biff::SharedStrings& sst)
        : view_(view), xfOf_(xfOf), pointsOf_(pointsOf), sst_(sst), texts_(view.textNumbers()) {}

    // `lastRow` and `lastCol`: the sheet's extent, as checked.
    bool build(Bytes& out, int32_t lastRow, int32_t lastCol, bool activeSheet, std::string* error) {
        // Room for a dense used range (about 12 bytes a cell) so the buffer is not
        // copied as it grows; pages never written cost nothing.
        constexpr uint64_t kBytesPerCell = 12, kMaxReserve = uint64_t{64} << 20;
        uint64_t range =
            static_cast<uint64_t>(std::max(lastRow + 1, 0)) * static_cast<uint64_t>(std::max(lastCol + 1, 0));
        out.data().reserve(static_cast<size_t>(std::min(range * kBytesPerCell + 4096, kMaxReserve)));
        biff::WriteBof(out, 0x0010);
        size_t b = out.begin(biff::rec::kDefcolwidth);
        out.u16(8);
        out.end(b);
        writeColumns(out);
        b = out.begin(biff::rec::kDimensions);
        size_t dims = out.size();
        out.u32(0);
        out.u32(0);
        out.u16(0);
        out.u16(0);
        out.u16(0);
        out.end(b);

        bool ok = true;
        view_.forEachCell([&](const CellRef& cell) {
            if (ok) {
                ok = addCell(out, cell, error);
            }
        });
        if (!ok) {
            return false;
        }
        flushBlock(out);
        if (minRow_ <= maxRow_) {
            std::vector<uint8_t>& d = out.data();
            Bytes patch;
            patch.u32(static_cast<uint32_t>(minRow_));
            patch.u32(static_cast<uint32_t>(maxRow_ + 1));
            patch.u16(static_cast<uint16_t>(minCol_));
            patch.u16(static_cast<uint16_t>(maxCol_ + 1));
            std::copy(patch.data().begin(), patch.data().end(),
                      d.begin() + static_cast<std::ptrdiff_t>(dims));
        }

        b = out.begin(biff::rec::kWindow2);
        out.u16(activeSheet ? 0x06B6 : 0x00B6);
        out.u16(0);   // top row shown
        out.u16(0);   // left column shown
        out.u16(64);  // automatic grid colour
        out.u16(0);
        out.u16(0);  // page break preview zoom: default
        out.u16(0);  // normal zoom: default
        out.u32(0);
        out.end(b);
        // A selection outside the grid (the converter may place it one past the data)
        // is kept at the grid's edge rather than refusing the file for it.
        int32_t ar = std::clamp(view_.activeRow(), 0, biff::kMaxRows - 1);
        int32_t ac = std::clamp(view_.activeCol(), 0, biff::kMaxCols - 1);
        biff::WriteSelection(out, static_cast<uint16_t>(ar), static_cast<uint16_t>(ac));
        b = out.begin(biff::rec::kEof);
        out.end(b);
        return true;
    }

private:
    void writeColumns(Bytes& out) {
        int32_t c = 0;
        while (c < biff::kMaxCols) {
            if (!view_.hasColumnWidth(c)) {
                ++c;
                continue;
            }
            double w = view_.columnWidth(c);
            uint16_t units = biff::ColumnWidthUnits(w);
            int32_t last = c;
            while (last + 1 < biff::kMaxCols && view_.hasColumnWidth(last + 1) &&
                   biff::ColumnWidthUnits(view_.columnWidth(last + 1)) == units) {
                ++last;
            }
            biff::WriteColInfo(out, static_cast<uint16_t>(c), static_cast<uint16_t>(last), units, units == 0);
            c = last + 1;
        }
    }

    bool addCell(Bytes& out, const CellRef& cell, std::string* error) {
        if (cell.row < 0 || cell.col < 0 || cell.row >= biff::kMaxRows || cell.col >= biff::kMaxCols) {
            *error = "The sheet \"" + Utf8(view_.name()) + "\" has a cell at " +
                     CellName(cell.row, cell.col) +
                     ", beyond the 65,536 rows and 256 columns an Excel 97-2003 workbook holds; nothing was "
                     "saved.";
            return false;
        }
        uint32_t style = cell.style < xfOf_.size() ? cell.style : 0;
        uint16_t xf = xfOf_[style];
        auto row = static_cast<uint16_t>(cell.row);
        auto col = static_cast<uint16_t>(cell.col);
        if (cell.row / kRowBlock != block_) {
            flushBlock(out);
            block_ = cell.row / kRowBlock;
        }
        if (rows_.empty() || rows_.back().row != row) {
            rows_.push_back({row, col, col, 0.0});
        }
        RowInfo& ri = rows_.back();
        ri.firstCol = std::min(ri.firstCol, col);
        ri.lastCol = std::max(ri.lastCol, col);
        ri.maxPoints = std::max(ri.maxPoints, pointsOf_[style]);
        minRow_ = std::min(minRow_, cell.row);
        maxRow_ = std::max(maxRow_, cell.row);
        minCol_ = std::min(minCol_, cell.col);
        maxCol_ = std::max(maxCol_, cell.col);

        if (cells_.size() - staged_ < biff::kMaxCellRecord) {
            cells_.resize(std::max<size_t>(4096, 2 * cells_.size()));
        }
        uint8_t* at = cells_.data() + staged_;
        switch (cell.kind) {
            case CellKind::Text: {
                uint32_t index = 0;
                if (!textIndex(cell, &index, error)) {
                    return false;
                }
                staged_ += biff::PutLabelSst(at, row, col, xf, index);
                break;
            }
            case CellKind::Number:
                if (std::isfinite(cell.number)) {
                    staged_ += biff::PutNumber(at, row, col, xf, cell.number);
                } else {
                    staged_ += biff::PutBoolErr(at, row, col, xf, 0x24, true);  // #NUM!
                }
                break;
            case CellKind::Boolean:
                staged_ += biff::PutBoolErr(at, row, col, xf, cell.number != 0 ? 1 : 0, false);
                break;
            case CellKind::Error:
                staged_ += biff::PutBoolErr(at, row, col, xf, biff::ErrorCode(cell.number), true);
                break;
            case CellKind::Empty:
                staged_ += biff::PutBlank(at, row, col, xf);
                break;
        }
        return true;
    }

    // The shared-string index of a label's text.
    bool textIndex(const CellRef& cell, uint32_t* index, std::string* error) {
        if (texts_.find(cell, index)) {
            *index = sst_.reuse(*index);
            return true;
        }
        static const std::wstring kEmpty;
        const std::wstring& text = cell.text ? *cell.text : kEmpty;
        if (text.size() > biff::kMaxTextLength / 2 && biff::ToUtf16(text).size() > biff::kMaxTextLength) {
            *error = "Cell " + CellName(cell.row, cell.col) + " of the sheet \"" + Utf8(view_.name()) +
                     "\" holds " + Thousands(text.size()) +
                     " characters; a cell holds at most 32,767, so nothing was saved.";
            return false;
        }
        *index = sst_.intern(text);
        texts_.add(cell, *index);
        return true;
    }

    void flushBlock(Bytes& out) {
        for (const RowInfo& ri : rows_) {
            uint8_t rec[20];
            Bytes::Put16(rec, biff::rec::kRow);
            Bytes::Put16(rec + 2, 16);
            Bytes::Put16(rec + 4, ri.row);
            Bytes::Put16(rec + 6, ri.firstCol);
            Bytes::Put16(rec + 8, static_cast<uint16_t>(ri.lastCol + 1));
            Bytes::Put16(rec + 10, RowHeightTwips(ri.maxPoints));
            Bytes::Put32(rec + 12, 0);
            Bytes::Put32(rec + 16, 0x000F0100);  // default XF 15, reserved bit set
            out.raw(rec, sizeof rec);
        }
        rows_.clear();
        out.raw(cells_.data(), staged_);
        staged_ = 0;
    }

    const SheetView& view_;
    const std::vector<uint16_t>& xfOf_;
    const std::vector<double>& pointsOf_;
    biff::SharedStrings& sst_;
    KnownTexts texts_;
    // The cell records of the current block of rows, which follow its ROW records.
    std::vector<uint8_t> cells_;
    size_t staged_ = 0;
    std::vector<RowInfo> rows_;
    int32_t block_ = -1;
    int32_t minRow_ = INT32_MAX, maxRow_ = -1, minCol_ = INT32_MAX, maxCol_ = -1;
};

void WriteGlobals(Bytes& out, const StyleTable& styles, const std::vector<const SheetView*>& sheets,
                  const biff::SharedStrings& sst, std::vector<size_t>* sheetOffsetFields) {
    biff::WriteBof(out, 0x0005);
    size_t b = out.begin(biff::rec::kCodepage);
    out.u16(1200);  // UTF-16
    out.end(b);
    b = out.begin(biff::rec::kWindow1);
    out.u16(0);
    out.u16(0);
    out.u16(0x3000);
    out.u16(0x2000);
    out.u16(0x0038);  // scroll bars and sheet tabs shown
    out.u16(0);       // active sheet
    out.u16(0);       // first visible tab
    out.u16(1);       // selected sheets
    out.u16(600);     // tab bar width, per mille
    out.end(b);
    b = out.begin(biff::rec::kDatemode);
    out.u16(0);  // 1900 date system
    out.end(b);
    styles.write(out);
    b = out.begin(biff::rec::kStyle);
    out.u16(0x8000);  // built-in style on XF 0
    out.u8(0);        // Normal
    out.u8(0xFF);
    out.end(b);
    for (const SheetView* sheet : sheets) {
        std::u16string name = biff::ToUtf16(sheet->name());
        bool compressed = std::all_of(name.begin(), name.end(), [](char16_t c) { return c <= 0xFF; });
        b = out.begin(biff::rec::kBoundsheet);
        sheetOffsetFields->push_back(out.size());
        out.u32(0);  // patched once the sheet positions are known
        out.u8(0);   // visible
        out.u8(0);   // worksheet
        out.u8(static_cast<uint8_t>(name.size()));
        out.u8(compressed ? 0 : 1);
        for (char16_t c : name) {
            if (compressed) {
                out.u8(static_cast<uint8_t>(c));
            } else {
                out.u16(static_cast<uint16_t>(c));
            }
        }
        out.end(b);
    }
    if (sst.unique() > 0) {
        sst.write(out, 0);  // the globals open the stream
    }
    b = out.begin(biff::rec::kEof);
    out.end(b);
}

bool WriteAll(std::FILE* f, const void* p, size_t n) {
    return n == 0 || std::fwrite(p, 1, n, f) == n;
}

}  // namespace

WriteResult WriteXls(const std::vector<const SheetView*>& sheets, const std::string& path) {
    WriteResult result;
    std::string error;
    if (!detail::CheckSheets(sheets, &error)) {
        result.error = error;
        return result;
    }
    // Finding a sheet's extent may scan its rows: it is read once.
    std::vector<std::pair<int32_t, int32_t>> extents;
    for (const SheetView* sheet : sheets) {
        const int32_t lastRow = sheet->lastRow(), lastCol = sheet->lastCol();
        if (!detail::CheckUsedRange(*sheet, lastRow, lastCol, biff::kMaxRows, biff::kMaxCols,
                                    "an Excel 97-2003 workbook (.xls)", &error)) {
            result.error = error;
            return result;
        }
        extents.emplace_back(lastRow, lastCol);
    }

    StyleTable styles;
    biff::SharedStrings sst;
    std::vector<Bytes> bodies(sheets.size());
    for (size_t s = 0; s < sheets.size(); ++s) {
        const SheetView& view = *sheets[s];
        const std::vector<CellStyle>& viewStyles = view.styles();
        std::vector<uint16_t> xfOf(std::max<size_t>(viewStyles.size(), 1), kDefaultCellXf);
        std::vector<double> pointsOf(xfOf.size(), 10.0);
        for (size_t i = 0; i < viewStyles.size(); ++i) {
            xfOf[i] = styles.xfFor(viewStyles[i], &error);
            if (!error.empty()) {
                result.error = error;
                return result;
            }
            pointsOf[i] = viewStyles[i].font.size;
        }
        SheetBuilder builder(view, xfOf, pointsOf, sst);
        if (!builder.build(bodies[s], extents[s].first, extents[s].second, s == 0, &error)) {
            result.error = error;
            return result;
        }
    }

    Bytes globals;
    std::vector<size_t> offsetFields;
    WriteGlobals(globals, styles, sheets, sst, &offsetFields);
    uint64_t pos = globals.size();
    for (size_t s = 0; s < sheets.size(); ++s) {
        if (pos > 0xFFFFFFFFULL) {
            break;
        }
        globals.patchU32(offsetFields[s], static_cast<uint32_t>(pos));
        pos += bodies[s].size();
    }
    cfb::Layout layout;
    if (!cfb::LayOut(pos, &layout)) {
        result.error =
            "The workbook would be larger than the 4 GB an Excel 97-2003 file can hold; nothing was saved.";
        return result;
    }

    bool ok = WriteFileAtomically(
        path,
        [&](std::FILE* f, std::string* err) {
            static const uint8_t kZeros[cfb::kSector] = {};
            bool good = WriteAll(f, layout.header.data(), layout.header.size()) &&
                        WriteAll(f, globals.data().data(), globals.size());
            for (const Bytes& body : bodies) {
                good = good && WriteAll(f, body.data().data(), body.size());
            }
            uint64_t padding = static_cast<uint64_t>(layout.streamSectors) * cfb::kSector - pos;
            while (good && padding > 0) {
                size_t n = static_cast<size_t>(std::min<uint64_t>(padding, sizeof kZeros));
                good = WriteAll(f, kZeros, n);
                padding -= n;
            }
            good = good && WriteAll(f, layout.tail.data(), layout.tail.size());
            if (!good) {
                *err = "Cannot write the workbook " + path + " (is the disk full?).";
            }
            return good;
        },
        &error);
    if (!ok) {
        result.error = error;
        return result;
    }
    result.ok = true;
    return result;
}

}  // namespace calc::io
