#include "platform/calc/engine/CalcObjects.h"

#include <algorithm>
#include <span>

#include "platform/calc/engine/BlockView.h"
#include "platform/calc/engine/CellVariant.h"

namespace calc {

namespace {

// Why a number format code cannot be used, or nothing when it can. Codes the
// application would refuse are refused when they are put, so that no cell
// carries one into a file that then cannot be saved or read.
std::optional<std::wstring> FormatCodeProblem(std::wstring_view code) {
    constexpr size_t kMaxFormatLength = 255;
    constexpr int kMaxSections = 4;
    if (code.size() > kMaxFormatLength) {
        return L"has " + std::to_wstring(code.size()) + L" characters; a number format may have at most 255";
    }
    int sections = 1;
    size_t i = 0;
    // Moves i to the closing character; false when there is none.
    auto skipTo = [&](wchar_t close) {
        const size_t at = code.find(close, i + 1);
        i = at == std::wstring_view::npos ? i : at;
        return at != std::wstring_view::npos;
    };
    for (; i < code.size(); ++i) {
        switch (code[i]) {
            case L'"':
                if (!skipTo(L'"')) {
                    return std::wstring(L"has a quoted text without its closing quote");
                }
                break;
            case L'[':
                if (!skipTo(L']')) {
                    return std::wstring(L"has a \"[\" without its closing \"]\"");
                }
                break;
            case L'\\':
            case L'_':
            case L'*':
                // Each takes the next character as it is.
                if (i + 1 >= code.size()) {
                    return L"ends with \"" + std::wstring(1, code[i]) +
                           L"\", which needs a character after it";
                }
                ++i;
                break;
            case L';':
                if (++sections > kMaxSections) {
                    return std::wstring(L"has more than four sections");
                }
                break;
            default:
                break;
        }
    }
    return std::nullopt;
}

// Locks an array's data for the duration of a scope.
class ArrayAccess {
public:
    explicit ArrayAccess(SAFEARRAY* psa) : psa_(psa) {
        if (FAILED(SafeArrayAccessData(psa, &data_))) {
            throw StatusError{DISP_E_TYPEMISMATCH};
        }
    }
    ~ArrayAccess() { SafeArrayUnaccessData(psa_); }
    ArrayAccess(const ArrayAccess&) = delete;
    ArrayAccess& operator=(const ArrayAccess&) = delete;
    char* data() const { return static_cast<char*>(data_); }

private:
    SAFEARRAY* psa_;
    void* data_ = nullptr;
};

}  // namespace

template <typename T, typename Get>
std::optional<T> RangeObject::Uniform(Get get) const {
    return UniformStyle<T>(*h_.sheet, rect_, get);
}

void RangeObject::GetValue(VARIANT& result) const {
    const Sheet& sheet = *h_.sheet;
    if (rect_.cells() == 1) {
        CellToVariant(sheet, sheet.cell(rect_.r1, rect_.c1), result);
        return;
    }
    if (rect_.cells() > kMaxBlockCells) {
        throw AppError{L"The range has " + std::to_wstring(rect_.cells()) +
                       L" cells, too many to read in one block."};
    }
    SAFEARRAYBOUND bounds[2];
    bounds[0].cElements = static_cast<ULONG>(rect_.rows());
    bounds[0].lLbound = 1;
    bounds[1].cElements = static_cast<ULONG>(rect_.cols());
    bounds[1].lLbound = 1;
    SAFEARRAY* psa = SafeArrayCreate(VT_VARIANT, 2, bounds);
    if (!psa) {
        throw StatusError{E_OUTOFMEMORY};
    }
    {
        ArrayAccess access(psa);
        auto* cells = reinterpret_cast<VARIANT*>(access.data());
        const auto rows = static_cast<size_t>(rect_.rows());
        const int32_t lastRow = std::min(rect_.r2, static_cast<int32_t>(sheet.storedRows()) - 1);
        if (rect_.c1 == rect_.c2 && rect_.rows() > 64) {
            // A tall column: only the rows that store something in it (none
            // at all for a column that stores nothing), read from the
            // column's copies of their cells.
            const bool stores = sheet.columnStoresCells(rect_.c1);
            const std::span<const uint32_t> holding =
                stores ? sheet.rowsWithCells(rect_.c1) : std::span<const uint32_t>();
            const std::span<const Cell> held =
                stores ? sheet.cellsWithRows(rect_.c1) : std::span<const Cell>();
            for (size_t n = 0; n < holding.size() && n < held.size(); ++n) {
                const uint32_t row = holding[n];
                if (static_cast<int32_t>(row) < rect_.r1 || static_cast<int32_t>(row) > lastRow) {
                    continue;
                }
                if (held[n].kind != io::CellKind::Empty) {
                    CellToVariant(sheet, held[n], cells[row - static_cast<uint32_t>(rect_.r1)]);
                }
            }
        } else {
            // The array runs down columns and the sheet along rows;
            // consecutive rows write neighbouring elements of each column, so
            // the columns' cache lines are reused rather than refetched.
            for (int32_t row = rect_.r1; row <= lastRow; ++row) {
                VARIANT* first = cells + static_cast<size_t>(row - rect_.r1);
                for (const Cell& c : sheet.rowCells(row, rect_.c1, rect_.c2)) {
                    if (c.kind != io::CellKind::Empty) {
                        CellToVariant(sheet, c, first[static_cast<size_t>(c.col - rect_.c1) * rows]);
                    }
                }
            }
        }
    }
    result.vt = VT_ARRAY | VT_VARIANT;
    result.parray = psa;
}

void RangeObject::PutArray(SAFEARRAY* psa) {
    if (!psa) {
        throw StatusError{DISP_E_TYPEMISMATCH};
    }
    UINT dims = SafeArrayGetDim(psa);
    VARTYPE vt = VT_EMPTY;
    if ((dims != 1 && dims != 2) || FAILED(SafeArrayGetVartype(psa, &vt))) {
        throw StatusError{DISP_E_TYPEMISMATCH};
    }
    // A one-dimensional array is one row.
    LONG lb1 = 0;
    LONG ub1 = -1;
    LONG lb2 = 0;
    LONG ub2 = 0;
    if (dims == 2) {
        SafeArrayGetLBound(psa, 1, &lb1);
        SafeArrayGetUBound(psa, 1, &ub1);
        SafeArrayGetLBound(psa, 2, &lb2);
        SafeArrayGetUBound(psa, 2, &ub2);
    } else {
        SafeArrayGetLBound(psa, 1, &lb2);
        SafeArrayGetUBound(psa, 1, &ub2);
        ub1 = lb1;
    }
    const int64_t arrRows = int64_t{ub1} - lb1 + 1;
    const int64_t arrCols = int64_t{ub2} - lb2 + 1;
    if (rect_.cells() > kMaxBlockCells) {
        throw AppError{L"The range has " + std::to_wstring(rect_.cells()) +
                       L" cells, too many to fill in one block."};
    }
    ArrayAccess access(psa);
    BlockView block{vt, access.data(), SafeArrayGetElemsize(psa), arrRows, arrCols, {}};
    VARIANT probe;
    if (arrRows > 0 && arrCols > 0 && !ElementView(vt, block.data, probe)) {
        throw StatusError{DISP_E_TYPEMISMATCH};
    }
    if (vt == VT_VARIANT && block.elementBytes == sizeof(VARIANT)) {
        block.untouched = sw::automation::FindUntouchedPages(psa);
    }
    if (!h_.sheet->putBlock(rect_, block)) {
        throw StatusError{DISP_E_TYPEMISMATCH};
    }
}

void RangeObject::PutValue(const VARIANT& value) {
    if ((value.vt & VT_ARRAY) != 0) {
        SAFEARRAY* psa =
            (value.vt & VT_BYREF) != 0 ? (value.pparray ? *value.pparray : nullptr) : value.parray;
        PutArray(psa);
        return;
    }
    if (!IsStorable(value)) {
        throw StatusError{DISP_E_TYPEMISMATCH, Args::kValue};
    }
    Sheet& sheet = *h_.sheet;
    const VARIANT& v = Deref(value);
    Rect area = rect_;
    if (v.vt == VT_EMPTY || v.vt == VT_NULL) {
        if (!sheet.clipToUsed(rect_, area)) {
            return;
        }
    } else if (rect_.cells() > kMaxBlockCells) {
        throw AppError{L"The range has " + std::to_wstring(rect_.cells()) +
                       L" cells, too many to fill at once."};
    }
    for (int32_t r = area.r1; r <= area.r2; ++r) {
        for (int32_t c = area.c1; c <= area.c2; ++c) {
            PutVariant(sheet, r, c, v);
        }
    }
}

void RangeObject::Delete(const Args& args) {
    Sheet& sheet = *h_.sheet;
    if (mode_ == RangeMode::Rows || rect_.wholeRows()) {
        Rect rows = rect_;
        rows.c1 = 0;
        rows.c2 = kMaxCols - 1;
        sheet.deleteShiftUp(rows);
        return;
    }
    if (mode_ == RangeMode::Columns || rect_.wholeCols()) {
        Rect cols = rect_;
        cols.r1 = 0;
        cols.r2 = kMaxRows - 1;
        sheet.deleteShiftLeft(cols);
        return;
    }
    int32_t shift = rect_.cols() >= rect_.rows() ? kShiftUp : kShiftToLeft;
    if (!args.missing(0)) {
        shift = args.int32At(0);
    }
    if (shift == kShiftUp) {
        sheet.deleteShiftUp(rect_);
    } else if (shift == kShiftToLeft) {
        sheet.deleteShiftLeft(rect_);
    } else {
        throw AppError{L"Delete: the shift must be up (-4162) or to the left (-4159), not " +
                       std::to_wstring(shift) + L"."};
    }
}

void RangeObject::AutoFit() {
    Sheet& sheet = *h_.sheet;
    if (mode_ == RangeMode::Rows) {
        return;  // row heights follow their fonts already
    }
    Rect area = rect_;
    if (mode_ == RangeMode::Columns || rect_.wholeCols()) {
        area.r1 = 0;
        area.r2 = kMaxRows - 1;
    }
    // Columns past the stored cells hold nothing to fit; a single named
    // column is still fitted (back to the standard width when empty).
    Rect used;
    int32_t lastUsed = sheet.clipToUsed(Rect{0, 0, kMaxRows - 1, kMaxCols - 1}, used) ? used.c2 : -1;
    area.c2 = std::min(area.c2, std::max(lastUsed, area.c1));
    AutoFitColumns(sheet, h_.state->measure, area, &h_.state->secondMeasure);
}

void RangeObject::Call(DISPID member, Kind kind, const Args& args, VARIANT& result) {
    Sheet& sheet = *h_.sheet;
    // A range of several areas takes a number format, which formats many
    // cells in one call; nothing else is offered on it.
    if (!areas_.empty() && (member != id::kNumberFormat || kind != Kind::Put)) {
        throw AppError{L"This member cannot be used on a range of several areas."};
    }
    switch (member) {
        case DISPID_VALUE:
        case id::kValue:
            if (kind == Kind::Put) {
                PutValue(args.value());
            } else {
                GetValue(result);
            }
            return;
        case id::kNumberFormat:
            if (kind == Kind::Put) {
                std::wstring storage;
                std::wstring_view format = Args::TextView(args.value(), storage);
                if (auto problem = FormatCodeProblem(format)) {
                    std::wstring shown(format.substr(0, 40));
                    throw AppError{L"NumberFormat: the format \"" + shown +
                                   (format.size() > 40 ? L"..." : L"") + L"\" " + *problem + L"."};
                }
                const std::wstring_view code = format.empty() ? std::wstring_view(L"General") : format;
                for (const Rect& area :
                     areas_.empty() ? std::span<const Rect>(&rect_, 1) : std::span(areas_)) {
                    sheet.setNumberFormat(area, code);
                }
            } else {
                auto format = Uniform<std::wstring>([](const io::CellStyle& s) { return s.numberFormat; });
                if (format) {
                    ReturnText(result, *format);
                } else {
                    result.vt = VT_NULL;
                }
            }
            return;
        case id::kCount: {
            Require(kind, Kind::Get);
            int64_t n = mode_ == RangeMode::Rows      ? rect_.rows()
                        : mode_ == RangeMode::Columns ? rect_.cols()
                                                      : rect_.cells();
            if (n > INT32_MAX) {
                throw StatusError{DISP_E_OVERFLOW};
            }
            result.vt = VT_I4;
            result.lVal = static_cast<LONG>(n);
            return;
        }
        case id::kRow:
        case id::kColumn:
            Require(kind, Kind::Get);
            result.vt = VT_I4;
            result.lVal = (member == id::kRow ? rect_.r1 : rect_.c1) + 1;
            return;
        case id::kFont:
            Require(kind, Kind::Get);
            ReturnObject(result, new FontObject(h_, rect_));
            return;
        case id::kEntireRow:
            Require(kind, Kind::Get);
            ReturnObject(result,
                         new RangeObject(h_, Rect{rect_.r1, 0, rect_.r2, kMaxCols - 1}, RangeMode::Rows));
            return;
        case id::kEntireColumn:
            Require(kind, Kind::Get);
            ReturnObject(result,
                         new RangeObject(h_, Rect{0, rect_.c1, kMaxRows - 1, rect_.c2}, RangeMode::Columns));
            return;
        case id::kDelete:
            Require(kind, Kind::Method);
            args.atMost(1);
            Delete(args);
            ReturnBool(result, true);
            return;
        case id::kClear:
            Require(kind, Kind::Method);
            sheet.clear(rect_);
            ReturnBool(result, true);
            return;
        case id::kAutoFit:
            Require(kind, Kind::Method);
            AutoFit();
            ReturnBool(result, true);
            return;
        case id::kSelect:
            Require(kind, Kind::Method);
            sheet.select(CellPos{rect_.r1, rect_.c1});
            ReturnBool(result, true);
            return;
        case id::kColumnWidth:
            if (kind == Kind::Put) {
                double width = Args::ToDouble(args.value());
                if (!(width >= 0.0 && width <= 255.0)) {
                    throw AppError{L"ColumnWidth must be between 0 and 255 characters."};
                }
                for (int32_t c = rect_.c1; c <= rect_.c2; ++c) {
                    sheet.setColumnWidth(c, width);
                }
            } else {
                double first = sheet.columnWidth(rect_.c1);
                bool same = true;
                for (int32_t c = rect_.c1 + 1; c <= rect_.c2 && same; ++c) {
                    same = sheet.columnWidth(c) == first;
                }
                result.vt = same ? VT_R8 : VT_NULL;
                result.dblVal = same ? first : 0.0;
            }
            return;
        case id::kHorizontalAlignment:
            if (kind == Kind::Put) {
                int32_t align = Args::ToInt32(args.value());
                switch (static_cast<io::HAlign>(align)) {
                    case io::HAlign::General:
                    case io::HAlign::Left:
                    case io::HAlign::Center:
                    case io::HAlign::Right:
                    case io::HAlign::Fill:
                    case io::HAlign::Justify:
                    case io::HAlign::CenterAcrossSelection:
                        sheet.setAlignment(rect_, static_cast<io::HAlign>(align));
                        return;
                }
                throw AppError{L"HorizontalAlignment: " + std::to_wstring(align) + L" is not an alignment."};
            } else {
                auto align = Uniform<io::HAlign>([](const io::CellStyle& s) { return s.align; });
                result.vt = align ? VT_I4 : VT_NULL;
                result.lVal = align ? static_cast<LONG>(*align) : 0;
            }
            return;
        case id::kOffset: {
            Require(kind, Kind::Get);
            args.atMost(2);
            int64_t dr = args.missing(0) ? 0 : args.int32At(0);
            int64_t dc = args.missing(1) ? 0 : args.int32At(1);
            if (rect_.r1 + dr < 0 || rect_.r2 + dr >= kMaxRows || rect_.c1 + dc < 0 ||
                rect_.c2 + dc >= kMaxCols) {
                throw AppError{L"Offset: the range would lie outside the worksheet."};
            }
            Rect moved{static_cast<int32_t>(rect_.r1 + dr), static_cast<int32_t>(rect_.c1 + dc),
                       static_cast<int32_t>(rect_.r2 + dr), static_cast<int32_t>(rect_.c2 + dc)};
            ReturnObject(result, new RangeObject(h_, moved, mode_));
            return;
        }
        default:
            throw StatusError{DISP_E_MEMBERNOTFOUND};
    }
}

}  // namespace calc
