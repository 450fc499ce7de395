#include "platform/calc/io/XmlText.h"

namespace calc::io::xml {
namespace {

bool IsHex(wchar_t c) {
    return (c >= L'0' && c <= L'9') || (c >= L'A' && c <= L'F') || (c >= L'a' && c <= L'f');
}

// "_x0041_" in the text itself would be read back as "A": its underscore is escaped.
bool LooksEscaped(std::wstring_view text, size_t i) {
    return i + 6 < text.size() && text[i + 1] == L'x' && IsHex(text[i + 2]) && IsHex(text[i + 3]) &&
           IsHex(text[i + 4]) && IsHex(text[i + 5]) && text[i + 6] == L'_';
}

void AppendEscapedUnit(std::string& out, uint32_t unit) {
    static const char kHex[] = "0123456789ABCDEF";
    const char code[] = {'_',
                         'x',
                         kHex[(unit >> 12) & 0xF],
                         kHex[(unit >> 8) & 0xF],
                         kHex[(unit >> 4) & 0xF],
                         kHex[unit & 0xF],
                         '_'};
    out.append(code, sizeof code);
}

void AppendUtf8(std::string& out, uint32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        const char b[] = {static_cast<char>(0xC0 | (c >> 6)), static_cast<char>(0x80 | (c & 0x3F))};
        out.append(b, 2);
    } else if (c < 0x10000) {
        const char b[] = {static_cast<char>(0xE0 | (c >> 12)), static_cast<char>(0x80 | ((c >> 6) & 0x3F)),
                          static_cast<char>(0x80 | (c & 0x3F))};
        out.append(b, 3);
    } else {
        const char b[] = {static_cast<char>(0xF0 | (c >> 18)), static_cast<char>(0x80 | ((c >> 12) & 0x3F)),
                          static_cast<char>(0x80 | ((c >> 6) & 0x3F)), static_cast<char>(0x80 | (c & 0x3F))};
        out.append(b, 4);
    }
}

void Append(std::string& out, std::wstring_view text, bool attribute) {
    out.reserve(out.size() + text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<uint32_t>(text[i]);
        switch (c) {
            case '&':
                out += "&amp;";
                continue;
            case '<':
                out += "&lt;";
                continue;
            case '>':
                out += "&gt;";
                continue;
            case '"':
                out += attribute ? "&quot;" : "\"";
                continue;
            case '\t':
                out += attribute ? "&#9;" : "\t";
                continue;
            case '\n':
                out += attribute ? "&#10;" : "\n";
                continue;
            case '\r':
                // A literal carriage return would be read back as a line feed.
                out += "&#13;";
                continue;
            case '_':
                if (LooksEscaped(text, i)) {
                    AppendEscapedUnit(out, '_');
                } else {
                    out += '_';
                }
                continue;
            default:
                break;
        }
        if (c < 0x20 || c == 0xFFFE || c == 0xFFFF || (c >= 0xD800 && c <= 0xDFFF)) {
            AppendEscapedUnit(out, c);
        } else if (c > 0x10FFFF) {
            AppendUtf8(out, 0xFFFD);
        } else {
            AppendUtf8(out, c);
        }
    }
}

bool IsBlank(wchar_t c) {
    return c == L' ' || c == L'\t' || c == L'\n' || c == L'\r';
}

}  // namespace

void AppendText(std::string& out, std::wstring_view text) {
    Append(out, text, false);
}

void AppendAttribute(std::string& out, std::wstring_view text) {
    Append(out, text, true);
}

bool NeedsPreserve(std::wstring_view text) {
    return !text.empty() && (IsBlank(text.front()) || IsBlank(text.back()));
}

size_t Utf16Length(std::wstring_view text) {
    size_t units = text.size();
    for (wchar_t c : text) {
        units += static_cast<uint32_t>(c) >= 0x10000 && static_cast<uint32_t>(c) <= 0x10FFFF ? 1 : 0;
    }
    return units;
}

}  // namespace calc::io::xml
