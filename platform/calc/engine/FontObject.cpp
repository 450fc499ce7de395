#include "platform/calc/engine/CalcObjects.h"

namespace calc {

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

}  // namespace calc
