#include "platform/calc/engine/CalcApplication.h"

#include <cmath>
#include <cwctype>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <thread>

#include "platform/automation/Bstr.h"
#include "platform/automation/ComRuntime.h"
#include "platform/automation/SafeArray.h"
#include "platform/calc/engine/AutomationObject.h"
#include "platform/calc/engine/Model.h"
#include "platform/calc/engine/TextsAhead.h"
#include "platform/calc/engine/TypedInput.h"

namespace calc {

namespace {

// Member identifiers.
namespace id {
// Application
constexpr DISPID kWorkbooks = 0x23C;
constexpr DISPID kDisplayAlerts = 0x157;
constexpr DISPID kQuit = 0x12E;
constexpr DISPID kUserControl = 0x4BA;
constexpr DISPID kVisible = 0x22E;
constexpr DISPID kActiveCell = 0x131;
// Collections
constexpr DISPID kAdd = 0xB5;
constexpr DISPID kItem = 0xAA;
constexpr DISPID kCount = 0x76;
// Workbook and worksheet
constexpr DISPID kSheets = 0x1E5;
constexpr DISPID kSaveAs = 0x11C;
constexpr DISPID kName = 0x6E;
constexpr DISPID kRange = 0xC5;
constexpr DISPID kColumns = 0xF1;
constexpr DISPID kRows = 0x102;
// Range
constexpr DISPID kValue = 0x6;
constexpr DISPID kNumberFormat = 0xC1;
constexpr DISPID kFont = 0x92;
constexpr DISPID kEntireRow = 0xF7;
constexpr DISPID kEntireColumn = 0xF6;
constexpr DISPID kDelete = 0x75;
constexpr DISPID kClear = 0x6F;
constexpr DISPID kAutoFit = 0xED;
constexpr DISPID kSelect = 0xEB;
constexpr DISPID kColumnWidth = 0xF2;
constexpr DISPID kHorizontalAlignment = 0x88;
constexpr DISPID kOffset = 0xFE;
constexpr DISPID kRow = 0x101;
constexpr DISPID kColumn = 0xF0;
// Font
constexpr DISPID kSize = 0x68;
constexpr DISPID kBold = 0x60;
constexpr DISPID kItalic = 0x65;
constexpr DISPID kUnderline = 0x6A;
}  // namespace id

constexpr int32_t kShiftUp = -4162;
constexpr int32_t kShiftToLeft = -4159;
constexpr int32_t kUnderlineSingle = 2;
constexpr int32_t kUnderlineNone = -4142;
constexpr int32_t kUnderlineSingleAccounting = 4;
constexpr int32_t kFileFormatXlsx = 51;
constexpr int32_t kFileFormatXls = 56;
constexpr int32_t kFileFormatNormal = -4143;
// Errors a cell value carries as VT_ERROR: 0x800A0000 + the error's number.
constexpr uint32_t kCellErrorBase = 0x800A0000U;
// The largest block read or written in one call.
constexpr int64_t kMaxBlockCells = int64_t{1} << 24;
// Blocks of at least this many elements are checked and listed on two threads.
constexpr size_t kTwoHalvesElements = size_t{1} << 20;
// The 1900 date system ends with 31 December 9999.
constexpr double kLastSerial = 2958466.0;

enum class RangeMode { Cells, Rows, Columns };

// ---- cell values <-> variants ---------------------------------------------

struct ErrorMap {
    CellError error;
    uint16_t number;
};
constexpr ErrorMap kErrors[] = {{CellError::Null, 2000}, {CellError::Div0, 2007}, {CellError::Value, 2015},
                                {CellError::Ref, 2023},  {CellError::Name, 2029}, {CellError::Num, 2036},
                                {CellError::NA, 2042}};

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
            for (const ErrorMap& e : kErrors) {
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

bool IsStorable(const VARIANT& raw) {
    const VARIANT& v = Deref(raw);
    switch (v.vt) {
        case VT_EMPTY:
        case VT_NULL:
        case VT_I1:
        case VT_I2:
        case VT_I4:
        case VT_I8:
        case VT_INT:
        case VT_UI1:
        case VT_UI2:
        case VT_UI4:
        case VT_UI8:
        case VT_UINT:
        case VT_R4:
        case VT_R8:
        case VT_CY:
        case VT_DATE:
        case VT_BSTR:
        case VT_BOOL:
            return true;
        case VT_ERROR: {
            auto code = static_cast<uint32_t>(v.scode);
            for (const ErrorMap& e : kErrors) {
                if (code == kCellErrorBase + e.number) {
                    return true;
                }
            }
            return false;
        }
        default:
            return false;
    }
}

// A block element to store, a shallow copy of it; the array keeps owning
// what it points to.
struct Pending {
    VARIANT value;
    int32_t col;
};

std::wstring_view TypedText(const VARIANT& v) {
    return std::wstring_view(v.bstrVal ? v.bstrVal : L"", SysStringLen(v.bstrVal));
}

// Stores one value; the caller has checked IsStorable.
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
            for (const ErrorMap& e : kErrors) {
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

// A borrowed variant view of one element of a typed array.
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

// The value of one style attribute shared by every cell of r, or nothing
// when the cells differ. Cells outside the stored area have the default style.
template <typename T, typename Get>
std::optional<T> UniformStyle(const Sheet& sheet, const Rect& r, Get get) {
    std::optional<T> seen;
    auto see = [&](uint32_t style) {
        T value = get(sheet.styleAt(style));
        if (seen && !(*seen == value)) {
            return false;
        }
        seen = std::move(value);
        return true;
    };
    Rect clip;
    const bool stored = sheet.clipToUsed(r, clip);
    if (stored) {
        uint32_t last = UINT32_MAX;
        for (int32_t row = clip.r1; row <= clip.r2; ++row) {
            for (int32_t col = clip.c1; col <= clip.c2; ++col) {
                uint32_t style = sheet.cell(row, col).style;
                if (style != last && !see(style)) {
                    return std::nullopt;
                }
                last = style;
            }
        }
    }
    if ((!stored || clip != r) && !see(0)) {
        return std::nullopt;
    }
    return seen;
}

// ---- objects ---------------------------------------------------------------

class RangeObject;

class ApplicationObject final : public AutomationObject {
public:
    explicit ApplicationObject(std::shared_ptr<AppState> state) : state_(std::move(state)) {}

protected:
    ~ApplicationObject() override;
    void Call(DISPID member, Kind kind, const Args& args, VARIANT& result) override;

private:
    std::shared_ptr<AppState> state_;
};

class WorkbooksObject final : public AutomationObject {
public:
    explicit WorkbooksObject(std::shared_ptr<AppState> state) : state_(std::move(state)) {}

protected:
    void Call(DISPID member, Kind kind, const Args& args, VARIANT& result) override;

private:
    std::shared_ptr<AppState> state_;
};

class WorkbookObject final : public AutomationObject {
public:
    WorkbookObject(std::shared_ptr<AppState> state, std::shared_ptr<WorkbookModel> book)
        : state_(std::move(state)), book_(std::move(book)) {}

protected:
    void Call(DISPID member, Kind kind, const Args& args, VARIANT& result) override;

private:
    std::shared_ptr<AppState> state_;
    std::shared_ptr<WorkbookModel> book_;
};

class SheetsObject final : public AutomationObject {
public:
    SheetsObject(std::shared_ptr<AppState> state, std::shared_ptr<WorkbookModel> book)
        : state_(std::move(state)), book_(std::move(book)) {}

protected:
    void Call(DISPID member, Kind kind, const Args& args, VARIANT& result) override;

private:
    std::shared_ptr<AppState> state_;
    std::shared_ptr<WorkbookModel> book_;
};

// What every object below a worksheet holds: the workbook (kept alive) and
// the sheet in it.
struct SheetHandle {
    std::shared_ptr<AppState> state;
    std::shared_ptr<WorkbookModel> book;
    Sheet* sheet = nullptr;
};

class WorksheetObject final : public AutomationObject {
public:
    explicit WorksheetObject(SheetHandle handle) : h_(std::move(handle)) {}

protected:
    void Call(DISPID member, Kind kind, const Args& args, VARIANT& result) override;

private:
    Rect RectOf(const VARIANT& v, UINT argIndex) const;
    // The range of the areas a list such as "B5,D7:D9" names.
    RangeObject* AreasRange(std::wstring_view names) const;
    SheetHandle h_;
};

class RangeObject final : public AutomationObject {
public:
    RangeObject(SheetHandle handle, Rect rect, RangeMode mode)
        : h_(std::move(handle)), rect_(rect), mode_(mode) {}
    // A range of several areas, named "B5,D7,F2:F9"; rect is their bounds.
    RangeObject(SheetHandle handle, Rect rect, std::vector<Rect> areas)
        : h_(std::move(handle)), rect_(rect), mode_(RangeMode::Cells), areas_(std::move(areas)) {}
    const Rect& rect() const { return rect_; }
    const Sheet* sheet() const { return h_.sheet; }

protected:
    void Call(DISPID member, Kind kind, const Args& args, VARIANT& result) override;

private:
    void GetValue(VARIANT& result) const;
    void PutValue(const VARIANT& value);
    void PutArray(SAFEARRAY* psa);
    void Delete(const Args& args);
    void AutoFit();
    template <typename T, typename Get>
    std::optional<T> Uniform(Get get) const;

    SheetHandle h_;
    Rect rect_;
    RangeMode mode_;
    std::vector<Rect> areas_;  // empty: the one area rect_
};

class FontObject final : public AutomationObject {
public:
    FontObject(SheetHandle handle, Rect rect) : h_(std::move(handle)), rect_(rect) {}

protected:
    void Call(DISPID member, Kind kind, const Args& args, VARIANT& result) override;

private:
    SheetHandle h_;
    Rect rect_;
};

// ---- Application -----------------------------------------------------------

ApplicationObject::~ApplicationObject() {
    // Released visible and under user control: the user takes the workbooks over.
    if (!state_->quit && state_->visible && state_->userControl) {
        for (const auto& book : state_->workbooks) {
            try {
                HandOver(*book);
            } catch (...) {
                // Nothing to tell anyone at release time: the workbook stays
                // wherever it was saved.
            }
        }
    }
}

void ApplicationObject::Call(DISPID member, Kind kind, const Args& args, VARIANT& result) {
    auto flag = [&](bool& field) {
        if (kind == Kind::Put) {
            field = Args::ToBool(args.value());
        } else {
            ReturnBool(result, field);
        }
    };
    switch (member) {
        case id::kWorkbooks:
            Require(kind, Kind::Get);
            ReturnObject(result, new WorkbooksObject(state_));
            return;
        case id::kDisplayAlerts:
            flag(state_->displayAlerts);
            return;
        case id::kUserControl:
            flag(state_->userControl);
            return;
        case id::kVisible:
            flag(state_->visible);
            return;
        case id::kQuit:
            Require(kind, Kind::Method);
            // Unsaved work is discarded without asking.
            state_->quit = true;
            state_->workbooks.clear();
            return;
        case id::kActiveCell: {
            Require(kind, Kind::Get);
            if (state_->workbooks.empty()) {
                throw AppError{L"There is no active cell: no workbook is open."};
            }
            auto book = state_->workbooks.back();
            Sheet* sheet = book->sheets.front().get();
            CellPos p{sheet->activeRow(), sheet->activeCol()};
            ReturnObject(result, new RangeObject(SheetHandle{state_, book, sheet},
                                                 Rect{p.row, p.col, p.row, p.col}, RangeMode::Cells));
            return;
        }
        default:
            throw StatusError{DISP_E_MEMBERNOTFOUND};
    }
}

// ---- collections -----------------------------------------------------------

// A 1-based position, or a name compared without regard to case.
template <typename Named>
size_t ItemIndex(const Args& args, const std::vector<Named>& items,
                 const std::function<std::wstring(const Named&)>& name) {
    const VARIANT* v = args.at(0);
    if (!v || args.missing(0)) {
        throw StatusError{DISP_E_PARAMNOTFOUND};
    }
    if (v->vt == VT_BSTR) {
        std::wstring wanted = Args::ToText(*v, 0);
        auto lower = [](std::wstring s) {
            for (wchar_t& ch : s) {
                ch = static_cast<wchar_t>(std::towlower(ch));
            }
            return s;
        };
        for (size_t i = 0; i < items.size(); ++i) {
            if (lower(name(items[i])) == lower(wanted)) {
                return i;
            }
        }
        throw StatusError{DISP_E_BADINDEX};
    }
    int32_t index = Args::ToInt32(*v, 0);
    if (index < 1 || static_cast<size_t>(index) > items.size()) {
        throw StatusError{DISP_E_BADINDEX};
    }
    return static_cast<size_t>(index - 1);
}

void WorkbooksObject::Call(DISPID member, Kind kind, const Args& args, VARIANT& result) {
    switch (member) {
        case id::kAdd:
            Require(kind, Kind::Method);
            args.atMost(1);
            if (!args.missing(0)) {
                throw AppError{L"Workbooks.Add: only a new blank workbook can be created (no template)."};
            }
            ReturnObject(result, new WorkbookObject(state_, state_->addWorkbook()));
            return;
        case DISPID_VALUE:
        case id::kItem: {
            Require(kind, Kind::Get);
            args.atMost(1);
            size_t i = ItemIndex<std::shared_ptr<WorkbookModel>>(
                args, state_->workbooks, [](const std::shared_ptr<WorkbookModel>& b) { return b->name; });
            ReturnObject(result, new WorkbookObject(state_, state_->workbooks[i]));
            return;
        }
        case id::kCount:
            Require(kind, Kind::Get);
            result.vt = VT_I4;
            result.lVal = static_cast<LONG>(state_->workbooks.size());
            return;
        default:
            throw StatusError{DISP_E_MEMBERNOTFOUND};
    }
}

void WorkbookObject::Call(DISPID member, Kind kind, const Args& args, VARIANT& result) {
    switch (member) {
        case id::kSheets:
            Require(kind, Kind::Get);
            ReturnObject(result, new SheetsObject(state_, book_));
            return;
        case id::kName:
            Require(kind, Kind::Get);
            ReturnText(result, book_->name);
            return;
        case id::kSaveAs: {
            Require(kind, Kind::Method);
            args.atMost(12);
            std::wstring path = args.textAt(0);
            FileKind fileKind = FileKindForPath(path);
            if (!args.missing(1)) {
                int32_t format = args.int32At(1);
                if (format == kFileFormatXlsx) {
                    fileKind = FileKind::Xlsx;
                } else if (format == kFileFormatXls || format == kFileFormatNormal) {
                    fileKind = FileKind::Xls;
                } else {
                    throw AppError{L"SaveAs: file format " + std::to_wstring(format) +
                                   L" is not supported; use 51 (.xlsx) or 56 (.xls)."};
                }
            }
            SaveWorkbook(*book_, path, fileKind);
            ReturnBool(result, true);
            return;
        }
        default:
            throw StatusError{DISP_E_MEMBERNOTFOUND};
    }
}

void SheetsObject::Call(DISPID member, Kind kind, const Args& args, VARIANT& result) {
    switch (member) {
        case DISPID_VALUE:
        case id::kItem: {
            Require(kind, Kind::Get);
            args.atMost(1);
            size_t i = ItemIndex<std::unique_ptr<Sheet>>(
                args, book_->sheets, [](const std::unique_ptr<Sheet>& s) { return s->name(); });
            ReturnObject(result, new WorksheetObject(SheetHandle{state_, book_, book_->sheets[i].get()}));
            return;
        }
        case id::kCount:
            Require(kind, Kind::Get);
            result.vt = VT_I4;
            result.lVal = static_cast<LONG>(book_->sheets.size());
            return;
        default:
            throw StatusError{DISP_E_MEMBERNOTFOUND};
    }
}

// ---- Worksheet -------------------------------------------------------------

namespace {

// The rectangle a cell or range name gives; an application error otherwise.
Rect NamedRect(std::wstring_view name) {
    auto rect = ParseRangeName(name);
    if (!rect) {
        throw AppError{L"Range: \"" + std::wstring(name) + L"\" is not a cell reference (A1 to XFD1048576)."};
    }
    return *rect;
}

// The smallest rectangle holding both.
Rect Bounds(const Rect& a, const Rect& b) {
    return Rect{std::min(a.r1, b.r1), std::min(a.c1, b.c1), std::max(a.r2, b.r2), std::max(a.c2, b.c2)};
}

}  // namespace

RangeObject* WorksheetObject::AreasRange(std::wstring_view names) const {
    constexpr size_t kMaxNamesLength = 255;
    if (names.size() > kMaxNamesLength) {
        throw AppError{L"Range: a list of areas may have at most 255 characters; this one has " +
                       std::to_wstring(names.size()) + L"."};
    }
    std::vector<Rect> areas;
    Rect bounds{kMaxRows, kMaxCols, -1, -1};
    for (size_t from = 0; from <= names.size();) {
        size_t comma = names.find(L',', from);
        if (comma == std::wstring_view::npos) {
            comma = names.size();
        }
        const Rect area = NamedRect(names.substr(from, comma - from));
        areas.push_back(area);
        bounds = Bounds(bounds, area);
        from = comma + 1;
    }
    return new RangeObject(h_, bounds, std::move(areas));
}

Rect WorksheetObject::RectOf(const VARIANT& raw, UINT argIndex) const {
    const VARIANT& v = Deref(raw);
    if (v.vt == VT_DISPATCH) {
        auto* range = dynamic_cast<RangeObject*>(v.pdispVal);
        if (!range || range->sheet() != h_.sheet) {
            throw AppError{L"Range: the cell argument is not a range of this worksheet."};
        }
        return range->rect();
    }
    std::wstring storage;
    std::wstring_view name = Args::TextView(v, storage, argIndex);
    return NamedRect(name);
}

void WorksheetObject::Call(DISPID member, Kind kind, const Args& args, VARIANT& result) {
    switch (member) {
        case id::kRange: {
            Require(kind, Kind::Get);
            args.atMost(2);
            if (args.missing(0)) {
                throw StatusError{DISP_E_PARAMNOTFOUND, 0};
            }
            if (args.missing(1) && Deref(*args.at(0)).vt == VT_BSTR) {
                std::wstring storage;
                const std::wstring_view names = Args::TextView(*args.at(0), storage, 0);
                if (names.find(L',') != std::wstring_view::npos) {
                    ReturnObject(result, AreasRange(names));
                    return;
                }
            }
            Rect rect = RectOf(*args.at(0), 0);
            // A single cell is often named by one string passed twice.
            const VARIANT& first = Deref(*args.at(0));
            const bool twice = !args.missing(1) && first.vt == VT_BSTR && Deref(*args.at(1)).vt == VT_BSTR &&
                               Deref(*args.at(1)).bstrVal == first.bstrVal;
            if (!args.missing(1) && !twice) {
                rect = Bounds(rect, RectOf(*args.at(1), 1));
            }
            ReturnObject(result, new RangeObject(h_, rect, RangeMode::Cells));
            return;
        }
        case id::kColumns:
            Require(kind, Kind::Get);
            ReturnObject(result,
                         new RangeObject(h_, Rect{0, 0, kMaxRows - 1, kMaxCols - 1}, RangeMode::Columns));
            return;
        case id::kRows:
            Require(kind, Kind::Get);
            ReturnObject(result,
                         new RangeObject(h_, Rect{0, 0, kMaxRows - 1, kMaxCols - 1}, RangeMode::Rows));
            return;
        case id::kName:
            Require(kind, Kind::Get);
            ReturnText(result, h_.sheet->name());
            return;
        default:
            throw StatusError{DISP_E_MEMBERNOTFOUND};
    }
}

// ---- Range -----------------------------------------------------------------

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
    const size_t elemSize = SafeArrayGetElemsize(psa);
    ArrayAccess access(psa);
    VARIANT probe;
    if (arrRows > 0 && arrCols > 0 && !ElementView(vt, access.data(), probe)) {
        throw StatusError{DISP_E_TYPEMISMATCH};
    }
    auto element = [&](int64_t i, int64_t j, VARIANT& out) {
        const char* p = access.data() + static_cast<size_t>(i + j * arrRows) * elemSize;
        ElementView(vt, p, out);
    };
    const int64_t rows = std::min<int64_t>(rect_.rows(), arrRows);
    const int64_t cols = std::min<int64_t>(rect_.cols(), arrCols);
    // Check every element before storing any, so a bad one changes nothing.
    // The values each row gets are counted on the way, so that its cells are
    // allocated once.
    std::vector<uint32_t> filled;
    // A block is mostly empty elements that no one wrote: those are known
    // empty without reading them, which would bring their pages into memory.
    const sw::automation::UntouchedPages untouched = vt == VT_VARIANT && elemSize == sizeof(VARIANT)
                                                         ? sw::automation::FindUntouchedPages(psa)
                                                         : sw::automation::UntouchedPages{};
    // A large block's columns are taken in two halves, the second on a
    // second thread, both to check and count its elements and to list them;
    // the halves count apart, so each knows where its cells go in a row.
    const auto height = static_cast<size_t>(std::max<int64_t>(arrRows, 0));
    const auto usedColumns = static_cast<size_t>(std::max<int64_t>(cols, 0));
    const size_t split = height * usedColumns >= kTwoHalvesElements ? usedColumns / 2 : usedColumns;
    std::vector<uint32_t> filledRight;
    if (vt == VT_VARIANT) {
        // The usual block: the elements are read where they lie, a column at a time.
        const auto* all = reinterpret_cast<const VARIANT*>(access.data());
        auto count = [&](size_t fromColumn, size_t toColumn, std::vector<uint32_t>& counts) {
            counts.assign(static_cast<size_t>(std::max<int64_t>(rows, 0)), 0);
            bool storable = true;
            untouched.forWrittenElements(sizeof(VARIANT), height, fromColumn * height, toColumn * height,
                                         [&](size_t k, size_t i, size_t) {
                                             if (static_cast<int64_t>(i) >= rows || all[k].vt == VT_EMPTY) {
                                                 return;
                                             }
                                             storable = storable && IsStorable(all[k]);
                                             ++counts[i];
                                         });
            return storable;
        };
        bool rightStorable = true;
        std::jthread right;
        if (split < usedColumns) {
            right = std::jthread([&] { rightStorable = count(split, usedColumns, filledRight); });
        }
        const bool leftStorable = count(0, split, filled);
        if (right.joinable()) {
            right.join();
        }
        if (!leftStorable || !rightStorable) {
            throw StatusError{DISP_E_TYPEMISMATCH};
        }
        for (size_t i = 0; i < filledRight.size(); ++i) {
            filled[i] += filledRight[i];
        }
    } else {
        for (int64_t i = 0; i < rows; ++i) {
            for (int64_t j = 0; j < cols; ++j) {
                VARIANT v;
                element(i, j, v);
                if (!IsStorable(v)) {
                    throw StatusError{DISP_E_TYPEMISMATCH};
                }
            }
        }
    }
    Sheet& sheet = *h_.sheet;
    if (vt != VT_VARIANT) {
        for (int32_t r = rect_.r1; r <= rect_.r2; ++r) {
            for (int32_t c = rect_.c1; c <= rect_.c2; ++c) {
                const int64_t i = r - rect_.r1;
                const int64_t j = c - rect_.c1;
                if (i < rows && j < cols) {
                    VARIANT v;
                    element(i, j, v);
                    PutVariant(sheet, r, c, v);
                } else {
                    sheet.putError(r, c, CellError::NA);  // the range is larger than the array
                }
            }
        }
        return;
    }
    const auto* all = reinterpret_cast<const VARIANT*>(access.data());
    // An empty element empties its cell; only a stored cell has anything to
    // lose, so the stored cells are visited rather than every position.
    if (rows > 0 && cols > 0) {
        std::vector<int32_t> emptied;
        const auto lastRow = static_cast<int32_t>(std::min<int64_t>(rect_.r1 + rows, kMaxRows) - 1);
        const auto lastCol = static_cast<int32_t>(rect_.c1 + cols - 1);
        for (int32_t r = rect_.r1; r <= lastRow; ++r) {
            emptied.clear();
            for (const Cell& c : sheet.rowCells(r, rect_.c1, lastCol)) {
                const auto k = static_cast<size_t>((r - rect_.r1) + int64_t{c.col - rect_.c1} * arrRows);
                if (untouched.at(k * sizeof(VARIANT)) || all[k].vt == VT_EMPTY) {
                    emptied.push_back(c.col);
                }
            }
            for (const int32_t c : emptied) {
                sheet.clearContents(r, c);
            }
            sheet.reserveRow(r, filled[static_cast<size_t>(r - rect_.r1)]);
        }
    }
    // The values, row by row as the sheet holds them. The array runs down
    // columns, so its non-empty elements are first listed row by row, in
    // one pass down its columns: stepping along a row of the array would
    // cross to another page at every element, and most of its elements are
    // empty. The list holds a shallow copy of each, so that storing them
    // reads it in order.
    std::vector<size_t> next(filled.size() + 1, 0);
    for (size_t i = 0; i < filled.size(); ++i) {
        next[i + 1] = next[i] + filled[i];
    }
    std::vector<Pending> byRow(next.back());
    auto list = [&](size_t fromColumn, size_t toColumn, std::vector<size_t>& at) {
        untouched.forWrittenElements(
            sizeof(VARIANT), height, fromColumn * height, toColumn * height,
            [&](size_t k, size_t i, size_t j) {
                if (static_cast<int64_t>(i) < rows && all[k].vt != VT_EMPTY) {
                    byRow[at[i]++] =
                        Pending{all[k], static_cast<int32_t>(rect_.c1 + static_cast<int64_t>(j))};
                }
            });
    };
    if (split < usedColumns) {
        // A row's cells of the right half follow those of the left.
        std::vector<size_t> nextRight(filledRight.size());
        for (size_t i = 0; i < filledRight.size(); ++i) {
            nextRight[i] = next[i] + (filled[i] - filledRight[i]);
        }
        std::jthread right([&] { list(split, usedColumns, nextRight); });
        list(0, split, next);
    } else {
        list(0, usedColumns, next);
    }
    size_t at = 0;
    if (byRow.size() < TextsAhead::kWorthIt) {
        for (size_t i = 0; i < filled.size(); ++i) {
            const auto r = static_cast<int32_t>(rect_.r1 + static_cast<int64_t>(i));
            for (const size_t end = at + filled[i]; at < end; ++at) {
                PutVariant(sheet, r, byRow[at].col, byRow[at].value);
            }
        }
    } else {
        // Typed texts are converted on a second thread meanwhile; a
        // cell's format still decides, as it is stored, whether its text
        // converts.
        TextsAhead ahead(
            byRow.size(),
            [&byRow](size_t k) -> std::optional<std::wstring_view> {
                const VARIANT& v = Deref(byRow[k].value);
                return v.vt == VT_BSTR ? std::optional(TypedText(v)) : std::nullopt;
            },
            sheet.currentYear());
        const TextsAhead::Converted* converted = nullptr;
        for (size_t i = 0; i < filled.size(); ++i) {
            const auto r = static_cast<int32_t>(rect_.r1 + static_cast<int64_t>(i));
            for (const size_t end = at + filled[i]; at < end; ++at) {
                if (at % TextsAhead::kChunk == 0) {
                    if (at != 0) {
                        ahead.stored(at / TextsAhead::kChunk - 1);
                    }
                    converted = ahead.converted(at / TextsAhead::kChunk);
                }
                const VARIANT& v = Deref(byRow[at].value);
                if (v.vt == VT_BSTR) {
                    const std::wstring_view typed = TypedText(v);
                    const TextsAhead::Converted& done = converted[at % TextsAhead::kChunk];
                    sheet.putConverted(r, byRow[at].col, typed, done.in(typed), done.textHash);
                } else {
                    PutVariant(sheet, r, byRow[at].col, byRow[at].value);
                }
            }
        }
    }
    // The range is larger than the array.
    for (int32_t r = rect_.r1; r <= rect_.r2; ++r) {
        const int32_t firstCol = r - rect_.r1 < rows ? static_cast<int32_t>(rect_.c1 + cols) : rect_.c1;
        for (int32_t c = firstCol; c <= rect_.c2; ++c) {
            sheet.putError(r, c, CellError::NA);
        }
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

// ---- Font ------------------------------------------------------------------

void FontObject::Call(DISPID member, Kind kind, const Args& args, VARIANT& result) {
    Sheet& sheet = *h_.sheet;
    auto uniform = [&](auto get) {
        using T = decltype(get(io::FontSpec{}));
        return UniformStyle<T>(sheet, rect_, [&](const io::CellStyle& style) { return get(style.font); });
    };
    switch (member) {
        case id::kName:
            if (kind == Kind::Put) {
                std::wstring name = Args::ToText(args.value());
                if (name.empty() || name.size() > 255) {
                    throw AppError{L"Font.Name needs 1 to 255 characters."};
                }
                sheet.changeFont(rect_, [&](io::FontSpec& f) { f.name = name; });
            } else if (auto v = uniform([](const io::FontSpec& f) { return f.name; })) {
                ReturnText(result, *v);
            } else {
                result.vt = VT_NULL;
            }
            return;
        case id::kSize:
            if (kind == Kind::Put) {
                double size = Args::ToDouble(args.value());
                if (!(size >= 1.0 && size <= 409.0)) {
                    throw AppError{L"Font.Size must be between 1 and 409 points."};
                }
                sheet.changeFont(rect_, [&](io::FontSpec& f) { f.size = size; });
            } else if (auto v = uniform([](const io::FontSpec& f) { return f.size; })) {
                result.vt = VT_R8;
                result.dblVal = *v;
            } else {
                result.vt = VT_NULL;
            }
            return;
        case id::kBold:
        case id::kItalic: {
            const bool bold = member == id::kBold;
            if (kind == Kind::Put) {
                bool on = Args::ToBool(args.value());
                sheet.changeFont(rect_, [&](io::FontSpec& f) { (bold ? f.bold : f.italic) = on; });
            } else if (auto v = uniform([bold](const io::FontSpec& f) { return bold ? f.bold : f.italic; })) {
                ReturnBool(result, *v);
            } else {
                result.vt = VT_NULL;
            }
            return;
        }
        case id::kUnderline:
            if (kind == Kind::Put) {
                const VARIANT& value = args.value();
                bool on = false;
                if (value.vt == VT_BOOL) {
                    on = value.boolVal != VARIANT_FALSE;
                } else {
                    int32_t style = Args::ToInt32(value);
                    if (style == kUnderlineNone || style == 0) {
                        on = false;
                    } else if (style == kUnderlineSingle || style == kUnderlineSingleAccounting ||
                               style == 1 || style == -4119 || style == 5) {
                        on = true;  // double underlines are kept as single ones
                    } else {
                        throw AppError{L"Font.Underline: " + std::to_wstring(style) +
                                       L" is not an underline style."};
                    }
                }
                sheet.changeFont(rect_, [&](io::FontSpec& f) { f.underline = on; });
            } else if (auto v = uniform([](const io::FontSpec& f) { return f.underline; })) {
                result.vt = VT_I4;
                result.lVal = *v ? kUnderlineSingle : kUnderlineNone;
            } else {
                result.vt = VT_NULL;
            }
            return;
        default:
            throw StatusError{DISP_E_MEMBERNOTFOUND};
    }
}

}  // namespace

HRESULT RegisterExcelApplication() {
    return sw::automation::RegisterClassFactory(
        L"Excel.Application", kCalcApplicationClsid, [](REFIID riid, void** ppv) -> HRESULT {
            if (!ppv) {
                return E_POINTER;
            }
            auto* app = new ApplicationObject(std::make_shared<AppState>());
            HRESULT hr = app->QueryInterface(riid, ppv);
            app->Release();
            return hr;
        });
}

}  // namespace calc
