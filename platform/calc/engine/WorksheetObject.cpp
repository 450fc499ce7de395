#include "platform/calc/engine/CalcObjects.h"

#include <algorithm>

#include "platform/calc/engine/CellAddress.h"

namespace calc {

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

}  // namespace calc
