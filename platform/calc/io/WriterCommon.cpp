#include "platform/calc/io/WriterCommon.h"
#include "platform/base/TextCodec.h"

#include <cwctype>

namespace calc::io::detail {

std::string Utf8(const std::wstring& s) {
    return sw::base::ToUtf8(s);
}

bool IsGeneralFormat(const std::wstring& code) {
    if (code.empty()) {
        return true;
    }
    static const wchar_t kGeneral[] = L"general";
    if (code.size() != 7) {
        return false;
    }
    for (size_t i = 0; i < 7; ++i) {
        if (std::towlower(static_cast<wint_t>(code[i])) != static_cast<wint_t>(kGeneral[i])) {
            return false;
        }
    }
    return true;
}

std::string CellName(int32_t row, int32_t col) {
    std::string letters;
    for (int64_t c = static_cast<int64_t>(col) + 1; c > 0; c = (c - 1) / 26) {
        letters.insert(letters.begin(), static_cast<char>('A' + (c - 1) % 26));
    }
    return letters + std::to_string(static_cast<int64_t>(row) + 1);
}

std::string Thousands(uint64_t n) {
    std::string digits = std::to_string(n);
    std::string out;
    for (size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0) {
            out += ',';
        }
        out += digits[i];
    }
    return out;
}

bool CheckSheets(const std::vector<const SheetView*>& sheets, std::string* error) {
    if (sheets.empty()) {
        *error = "The workbook has no sheet to save.";
        return false;
    }
    std::vector<std::wstring> seen;
    for (const SheetView* sheet : sheets) {
        if (!sheet) {
            *error = "The workbook lists a sheet that does not exist.";
            return false;
        }
        std::wstring name = sheet->name();
        std::string shown = Utf8(name);
        if (name.empty()) {
            *error = "A sheet has an empty name; every sheet needs a name of 1 to 31 characters.";
            return false;
        }
        if (name.size() > 31) {
            *error = "The sheet name \"" + shown + "\" has " + std::to_string(name.size()) +
                     " characters; a sheet name may have at most 31.";
            return false;
        }
        if (name.find_first_of(L":\\/?*[]") != std::wstring::npos) {
            *error = "The sheet name \"" + shown +
                     "\" contains one of the characters : \\ / ? * [ ], which a sheet "
                     "name may not contain.";
            return false;
        }
        if (name.front() == L'\'' || name.back() == L'\'') {
            *error = "The sheet name \"" + shown +
                     "\" begins or ends with an apostrophe, which a sheet name may not.";
            return false;
        }
        std::wstring folded;
        for (wchar_t c : name) {
            folded += static_cast<wchar_t>(std::towupper(static_cast<wint_t>(c)));
        }
        for (const auto& other : seen) {
            if (other == folded) {
                *error = "Two sheets are named \"" + shown + "\"; sheet names must differ (ignoring case).";
                return false;
            }
        }
        seen.push_back(folded);
    }
    return true;
}

bool CheckExtent(const SheetView& sheet, int32_t maxRows, int32_t maxCols, const char* kind,
                 std::string* error) {
    return CheckUsedRange(sheet, sheet.lastRow(), sheet.lastCol(), maxRows, maxCols, kind, error);
}

bool CheckUsedRange(const SheetView& sheet, int32_t lastRow, int32_t lastCol, int32_t maxRows,
                    int32_t maxCols, const char* kind, std::string* error) {
    int32_t rows = lastRow + 1;
    int32_t cols = lastCol + 1;
    std::string name = Utf8(sheet.name());
    if (rows > maxRows) {
        *error = "The sheet \"" + name + "\" uses " + Thousands(static_cast<uint64_t>(rows)) + " rows, but " +
                 kind + " holds at most " + Thousands(static_cast<uint64_t>(maxRows)) +
                 " rows per sheet; nothing was saved.";
        return false;
    }
    if (cols > maxCols) {
        *error = "The sheet \"" + name + "\" uses " + Thousands(static_cast<uint64_t>(cols)) +
                 " columns, but " + kind + " holds at most " + Thousands(static_cast<uint64_t>(maxCols)) +
                 " columns per sheet; nothing was saved.";
        return false;
    }
    return true;
}

}  // namespace calc::io::detail
