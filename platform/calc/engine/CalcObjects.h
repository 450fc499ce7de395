// The automation objects of the spreadsheet application, private to the
// engine: each object's members are answered in its own file
// (ApplicationObject.cpp, WorkbooksObject.cpp, ...); CalcApplication.cpp
// registers the application.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/automation/SafeArray.h"
#include "platform/calc/engine/AutomationObject.h"
#include "platform/calc/engine/Model.h"

namespace calc {

// Member identifiers.
namespace id {
// Application
inline constexpr DISPID kWorkbooks = 0x23C;
inline constexpr DISPID kDisplayAlerts = 0x157;
inline constexpr DISPID kQuit = 0x12E;
inline constexpr DISPID kUserControl = 0x4BA;
inline constexpr DISPID kVisible = 0x22E;
inline constexpr DISPID kActiveCell = 0x131;
// Collections
inline constexpr DISPID kAdd = 0xB5;
inline constexpr DISPID kItem = 0xAA;
inline constexpr DISPID kCount = 0x76;
// Workbook and worksheet
inline constexpr DISPID kSheets = 0x1E5;
inline constexpr DISPID kSaveAs = 0x11C;
inline constexpr DISPID kName = 0x6E;
inline constexpr DISPID kRange = 0xC5;
inline constexpr DISPID kColumns = 0xF1;
inline constexpr DISPID kRows = 0x102;
// Range
inline constexpr DISPID kValue = 0x6;
inline constexpr DISPID kNumberFormat = 0xC1;
inline constexpr DISPID kFont = 0x92;
inline constexpr DISPID kEntireRow = 0xF7;
inline constexpr DISPID kEntireColumn = 0xF6;
inline constexpr DISPID kDelete = 0x75;
inline constexpr DISPID kClear = 0x6F;
inline constexpr DISPID kAutoFit = 0xED;
inline constexpr DISPID kSelect = 0xEB;
inline constexpr DISPID kColumnWidth = 0xF2;
inline constexpr DISPID kHorizontalAlignment = 0x88;
inline constexpr DISPID kOffset = 0xFE;
inline constexpr DISPID kRow = 0x101;
inline constexpr DISPID kColumn = 0xF0;
// Font
inline constexpr DISPID kSize = 0x68;
inline constexpr DISPID kBold = 0x60;
inline constexpr DISPID kItalic = 0x65;
inline constexpr DISPID kUnderline = 0x6A;
}  // namespace id

inline constexpr int32_t kShiftUp = -4162;
inline constexpr int32_t kShiftToLeft = -4159;
inline constexpr int32_t kUnderlineSingle = 2;
inline constexpr int32_t kUnderlineNone = -4142;
inline constexpr int32_t kUnderlineSingleAccounting = 4;
inline constexpr int32_t kFileFormatXlsx = 51;
inline constexpr int32_t kFileFormatXls = 56;
inline constexpr int32_t kFileFormatNormal = -4143;
// The largest block read or written in one call.
inline constexpr int64_t kMaxBlockCells = int64_t{1} << 24;

enum class RangeMode { Cells, Rows, Columns };

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

}  // namespace calc
