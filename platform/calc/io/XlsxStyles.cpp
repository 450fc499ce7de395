#include "platform/calc/io/XlsxStyles.h"

#include <charconv>

#include "platform/calc/io/WriterCommon.h"
#include "platform/calc/io/XmlText.h"

namespace calc::io {
namespace {

// Custom number formats are numbered from here; below are the built-in ones.
constexpr uint32_t kFirstCustomFormat = 164;

const char* AlignmentName(HAlign a) {
    switch (a) {
        case HAlign::Left:
            return "left";
        case HAlign::Center:
            return "center";
        case HAlign::Right:
            return "right";
        case HAlign::Fill:
            return "fill";
        case HAlign::Justify:
            return "justify";
        case HAlign::CenterAcrossSelection:
            return "centerContinuous";
        case HAlign::General:
            break;
    }
    return nullptr;
}

void AppendNumber(std::string& out, double v) {
    char buf[32];
    auto r = std::to_chars(buf, buf + sizeof buf, v);
    out.append(buf, r.ptr);
}

void AppendFont(std::string& out, const FontSpec& f) {
    out += "<font>";
    if (f.bold) {
        out += "<b/>";
    }
    if (f.italic) {
        out += "<i/>";
    }
    if (f.underline) {
        out += "<u/>";
    }
    out += "<sz val=\"";
    AppendNumber(out, f.size);
    out += "\"/><name val=\"";
    xml::AppendAttribute(out, f.name);
    out += "\"/></font>";
}

}  // namespace

XlsxStyles::XlsxStyles() {
    fonts_.emplace_back();
    formats_.emplace(Key{0, 0, static_cast<int32_t>(HAlign::General)}, 0);
    order_.emplace_back(0, 0, static_cast<int32_t>(HAlign::General));
}

uint32_t XlsxStyles::formatFor(const CellStyle& style, std::string* error) {
    if (style.font.name.empty() || style.font.name.size() > 255) {
        *error = "The font name \"" + detail::Utf8(style.font.name) +
                 "\" cannot be stored; a font name needs 1 to 255 characters.";
        return 0;
    }
    if (style.numberFormat.size() > 255) {
        *error = "The number format \"" + detail::Utf8(style.numberFormat.substr(0, 40)) + "...\" has " +
                 detail::Thousands(style.numberFormat.size()) +
                 " characters; a number format may have at most 255.";
        return 0;
    }
    Key key{fontFor(style.font), numberFormatFor(style.numberFormat), static_cast<int32_t>(style.align)};
    auto [it, added] = formats_.emplace(key, static_cast<uint32_t>(order_.size()));
    if (added) {
        order_.push_back(key);
    }
    return it->second;
}

uint32_t XlsxStyles::fontFor(const FontSpec& font) {
    for (size_t i = 0; i < fonts_.size(); ++i) {
        if (fonts_[i] == font) {
            return static_cast<uint32_t>(i);
        }
    }
    fonts_.push_back(font);
    return static_cast<uint32_t>(fonts_.size() - 1);
}

uint32_t XlsxStyles::numberFormatFor(const std::wstring& code) {
    if (detail::IsGeneralFormat(code)) {
        return 0;
    }
    // Every other code is written out, built-in or not, so that each reader
    // shows exactly the code the sheet holds rather than its own idea of a
    // built-in number.
    for (size_t i = 0; i < codes_.size(); ++i) {
        if (codes_[i] == code) {
            return kFirstCustomFormat + static_cast<uint32_t>(i);
        }
    }
    codes_.push_back(code);
    return kFirstCustomFormat + static_cast<uint32_t>(codes_.size() - 1);
}

std::string XlsxStyles::xml() const {
    std::string out =
        "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
        "<styleSheet xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\">";
    if (!codes_.empty()) {
        out += "<numFmts count=\"" + std::to_string(codes_.size()) + "\">";
        for (size_t i = 0; i < codes_.size(); ++i) {
            out += "<numFmt numFmtId=\"" + std::to_string(kFirstCustomFormat + i) + "\" formatCode=\"";
            xml::AppendAttribute(out, codes_[i]);
            out += "\"/>";
        }
        out += "</numFmts>";
    }
    out += "<fonts count=\"" + std::to_string(fonts_.size()) + "\">";
    for (const FontSpec& f : fonts_) {
        AppendFont(out, f);
    }
    out +=
        "</fonts><fills count=\"2\"><fill><patternFill patternType=\"none\"/></fill>"
        "<fill><patternFill patternType=\"gray125\"/></fill></fills>"
        "<borders count=\"1\"><border><left/><right/><top/><bottom/><diagonal/></border></borders>"
        "<cellStyleXfs count=\"1\"><xf numFmtId=\"0\" fontId=\"0\" fillId=\"0\" "
        "borderId=\"0\"/></cellStyleXfs>";
    out += "<cellXfs count=\"" + std::to_string(order_.size()) + "\">";
    for (const auto& [font, format, align] : order_) {
        out += "<xf numFmtId=\"" + std::to_string(format) + "\" fontId=\"" + std::to_string(font) +
               "\" fillId=\"0\" borderId=\"0\" xfId=\"0\"";
        if (format != 0) {
            out += " applyNumberFormat=\"1\"";
        }
        if (font != 0) {
            out += " applyFont=\"1\"";
        }
        const char* alignment = AlignmentName(static_cast<HAlign>(align));
        if (alignment) {
            out += " applyAlignment=\"1\"><alignment horizontal=\"";
            out += alignment;
            out += "\"/></xf>";
        } else {
            out += "/>";
        }
    }
    out +=
        "</cellXfs><cellStyles count=\"1\"><cellStyle name=\"Normal\" xfId=\"0\" "
        "builtinId=\"0\"/></cellStyles>"
        "<dxfs count=\"0\"/><tableStyles count=\"0\"/></styleSheet>";
    return out;
}

}  // namespace calc::io
