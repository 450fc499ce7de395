#include "parser/sheet/KVSpreadSheet.h"

#include <atomic>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cwchar>
#include <cwctype>
#include <memory>

#include "parser/sheet/KVDebugLog.h"
#include "platform/automation/SafeArray.h"
#include "platform/shell/Shell.h"
#include "platform/ui/MessageBox.h"

const wchar_t* const KVSpreadSheet::msc_sRetryQuestion =
    L"The specified file is either open or read only.  Retry?";

namespace {

VARIANT MakeI2(SHORT value) {
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_I2;
    v.iVal = value;
    return v;
}

VARIANT MakeI4(LONG value) {
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_I4;
    v.lVal = value;
    return v;
}

// Owns a VARIANT for the length of one operation.
class ScopedVariant {
public:
    ScopedVariant() { VariantInit(&m_v); }
    explicit ScopedVariant(const VARIANT& v) : m_v(v) {}
    ScopedVariant(const ScopedVariant&) = delete;
    ScopedVariant& operator=(const ScopedVariant&) = delete;
    ~ScopedVariant() { VariantClear(&m_v); }
    VARIANT& operator*() { return m_v; }
    VARIANT* operator->() { return &m_v; }

private:
    VARIANT m_v;
};

class ScopedBstrVariant : public ScopedVariant {
public:
    explicit ScopedBstrVariant(const std::wstring& text) : ScopedBstrVariant(text.data(), text.size()) {}
    ScopedBstrVariant(const wchar_t* text, std::size_t length) {
        (**this).vt = VT_BSTR;
        (**this).bstrVal = SysAllocStringLen(text, static_cast<UINT>(length));
    }
};

std::wstring TextOf(const VARIANT& v) {
    if (v.vt != VT_BSTR || !v.bstrVal) {
        return {};
    }
    return std::wstring(v.bstrVal, SysStringLen(v.bstrVal));
}

bool EqualsNoCase(const std::wstring& a, const std::wstring& b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (size_t i = 0; i < a.size(); ++i) {
        if (std::towupper(static_cast<wint_t>(a[i])) != std::towupper(static_cast<wint_t>(b[i]))) {
            return false;
        }
    }
    return true;
}

// A missing format counts as empty, and empty is as good as General.
bool IsGeneralFormat(const std::wstring& format) {
    return format.empty() || EqualsNoCase(format, L"General");
}

// Room for the longest name GetCellName can give: fourteen letters cover
// any column a long can number, then a signed row of up to twenty digits.
constexpr std::size_t kCellNameRoom = 40;

// Writes the A1 name of (nRow, nColumn) into `out`, unterminated; returns
// its length. Columns are letters in bijective base 26: A..Z, AA..ZZ, then
// AAA.. for sheets wider than 702 columns; a column below 1 has no letters.
std::size_t FormatCellName(wchar_t* out, long nRow, long nColumn) {
    wchar_t letters[16];
    std::size_t nLetters = 0;
    for (long c = nColumn; c > 0; c = (c - 1) / 26) {
        letters[nLetters++] = static_cast<wchar_t>(L'A' + (c - 1) % 26);
    }
    std::size_t n = 0;
    while (nLetters > 0) {
        out[n++] = letters[--nLetters];
    }
    // The row's digits, last first, then turned around.
    unsigned long long magnitude =
        nRow < 0 ? 0ULL - static_cast<unsigned long long>(nRow) : static_cast<unsigned long long>(nRow);
    wchar_t digits[24];
    std::size_t nDigits = 0;
    do {
        digits[nDigits++] = static_cast<wchar_t>(L'0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude != 0);
    if (nRow < 0) {
        out[n++] = L'-';
    }
    while (nDigits > 0) {
        out[n++] = digits[--nDigits];
    }
    return n;
}

// A cell's A1 name held where it is made, for the call that names the cell.
struct CellName {
    CellName(long nRow, long nColumn) : length(FormatCellName(text, nRow, nColumn)) {}
    wchar_t text[kCellNameRoom];
    std::size_t length;
};

std::wstring Hex8(SCODE sc) {
    wchar_t buffer[16];
    std::swprintf(buffer, 16, L"%08lx", static_cast<unsigned long>(static_cast<ULONG>(sc)));
    return buffer;
}

}  // namespace

KVSpreadSheet::KVSpreadSheet(const std::wstring& strOutputPath)
    : m_strOutputPath(strOutputPath), m_bAbandoned(0), m_bStarted(0) {
    VariantInit(&m_varMissing);
    m_varMissing.vt = VT_ERROR;
    m_varMissing.scode = DISP_E_PARAMNOTFOUND;
    m_varOne = MakeI2(1);
    m_varZero = MakeI2(0);
    VariantInit(&m_varFormat);
    Open();
}

const VARIANT& KVSpreadSheet::FormatArgument(const std::wstring& strFormat) {
    const bool held = m_varFormat.vt == VT_BSTR && SysStringLen(m_varFormat.bstrVal) == strFormat.size() &&
                      std::wmemcmp(m_varFormat.bstrVal, strFormat.data(), strFormat.size()) == 0;
    if (!held) {
        BSTR text = SysAllocStringLen(strFormat.data(), static_cast<UINT>(strFormat.size()));
        VariantClear(&m_varFormat);
        m_varFormat.vt = VT_BSTR;
        m_varFormat.bstrVal = text;
    }
    return m_varFormat;
}

KVSpreadSheet::~KVSpreadSheet() {
    try {
        if (!m_bAbandoned) {
            m_application.SetVisible(true);
            m_application.SetUserControl(true);
        } else if (m_bStarted) {
            m_application.Quit();
        }
    } catch (...) {
        NoteFailure("~KVSpreadSheet");
    }
    try {
        m_worksheet.ReleaseDispatch();
        m_application.SetDisplayAlerts(true);
    } catch (...) {
        NoteFailure("~KVSpreadSheet");
    }
    try {
        m_application.ReleaseDispatch();
    } catch (...) {
        NoteFailure("~KVSpreadSheet");
    }
    VariantClear(&m_varFormat);
}

void KVSpreadSheet::NoteFailure(const char* pszOperation) {
    std::wstring text;
    try {
        throw;
    } catch (COleDispatchException* e) {
        const SCODE code = e->m_scError != 0 ? e->m_scError : static_cast<SCODE>(e->m_wCode);
        text = L"COleDispatchException. SCODE: " + Hex8(code) + L",Description: \"" + e->m_strDescription +
               L"\".";
        e->Delete();
    } catch (COleException* e) {
        text = L"COleException. SCODE: " + Hex8(e->m_sc) + L".";
        e->Delete();
    } catch (CException* e) {
        e->Delete();
        return;
    } catch (...) {
        return;
    }
    kvdebug::Log(sw::shell::FromNarrow(pszOperation) + L": " + text);
}

void KVSpreadSheet::GetCellName(std::wstring* pstrName, long nRow, long nColumn) {
    if (!pstrName) {
        return;
    }
    const CellName name(nRow, nColumn);
    pstrName->assign(name.text, name.length);
}

void KVSpreadSheet::SelectCell(long nRow, long nColumn) {
    OnCell(nRow, nColumn, "SelectCell", [&](xl::Range& range) { ScopedVariant result(range.Select()); });
}

void KVSpreadSheet::SetCellValueGetRange(long nRow, long nColumn, const VARIANT& value, xl::Range* pRange) {
    if (!pRange) {
        return;
    }
    try {
        if (GetCellRange(nRow, nColumn, pRange) && pRange->IsAttached()) {
            pRange->SetValue(value);
        }
    } catch (...) {
        NoteFailure("SetCellValueGetRange");
    }
}

void KVSpreadSheet::SetCellValueFormatted(long nRow, long nColumn, const VARIANT& value,
                                          const std::wstring& strFontName, long nFontSize, bool bBold,
                                          bool bUnderline, bool bItalic, const std::wstring& strDateFormat,
                                          const std::wstring& strNumberFormat) {
    xl::Range range;
    SetCellValueGetRange(nRow, nColumn, value, &range);
    if (range.IsAttached()) {
        SetRangeFont(range, strFontName, static_cast<LONG>(nFontSize), bBold, bUnderline, bItalic);
        SetRangeDateFormat(range, strDateFormat, 0);
        SetRangeNumberFormat(range, strNumberFormat, 0);
    }
}

void KVSpreadSheet::SetCellValue(long nRow, long nColumn, const VARIANT& value) {
    xl::Range range;
    SetCellValueGetRange(nRow, nColumn, value, &range);
}

void KVSpreadSheet::SetColumnWidth(long nColumn, LONG nWidth) {
    OnCell(1, nColumn, "SetColumnWidth", [&](xl::Range& range) { range.SetColumnWidth(MakeI4(nWidth)); });
}

LONG KVSpreadSheet::GetColumnCount() {
    try {
        if (!m_worksheet.IsAttached()) {
            return -1;
        }
        xl::Range columns(m_worksheet.GetColumns());
        if (!columns.IsAttached()) {
            return -1;
        }
        return static_cast<LONG>(columns.GetCount());
    } catch (...) {
        NoteFailure("GetColumnCount");
    }
    return -1;
}

LONG KVSpreadSheet::GetRowCount() {
    try {
        if (!m_worksheet.IsAttached()) {
            return -1;
        }
        xl::Range rows(m_worksheet.GetRows());
        if (!rows.IsAttached()) {
            return -1;
        }
        return static_cast<LONG>(rows.GetCount());
    } catch (...) {
        NoteFailure("GetRowCount");
    }
    return -1;
}

bool KVSpreadSheet::IsCellEmpty(long nRow, long nColumn) {
    try {
        xl::Range range;
        if (GetCellRange(nRow, nColumn, &range) && range.IsAttached()) {
            ScopedVariant value(range.GetValue());
            return value->vt == VT_EMPTY;
        }
    } catch (...) {
        NoteFailure("IsCellEmpty");
    }
    return false;
}

void KVSpreadSheet::DeleteRow(long nRow) {
    OnCell(nRow, 1, "DeleteRow", [&](xl::Range& range) {
        xl::Range entire(range.GetEntireRow());
        ScopedVariant result(entire.Delete(MakeI4(msc_nShiftUp)));
    });
}

void KVSpreadSheet::DeleteColumn(long nColumn) {
    OnCell(1, nColumn, "DeleteColumn", [&](xl::Range& range) {
        xl::Range entire(range.GetEntireColumn());
        ScopedVariant result(entire.Delete(MakeI4(msc_nShiftToLeft)));
    });
}

bool KVSpreadSheet::DeleteRowIfEmpty(long nRow, long nLastColumn) {
    return DeleteSpanIfEmpty(nRow, 1, nRow, nLastColumn, true);
}

bool KVSpreadSheet::DeleteColumnIfEmpty(long nColumn, long nLastRow) {
    return DeleteSpanIfEmpty(1, nColumn, nLastRow, nColumn, false);
}

bool KVSpreadSheet::DeleteSpanIfEmpty(long nFirstRow, long nFirstColumn, long nLastRow, long nLastColumn,
                                      bool bRow) {
    try {
        xl::Range range;
        if (!GetSpanRange(nFirstRow, nFirstColumn, nLastRow, nLastColumn, &range) || !range.IsAttached()) {
            return false;
        }
        ScopedVariant value(range.GetValue());
        if (value->vt == (VT_ARRAY | VT_VARIANT) && value->parray) {
            SAFEARRAY* array = value->parray;
            // Dimension 1 is rows, 2 is columns. The last element of the span
            // is one past the caller's data and is not examined.
            const UINT spanDim = bRow ? 2 : 1;
            const UINT fixedDim = bRow ? 1 : 2;
            LONG lower = 0;
            LONG upper = -1;
            LONG fixed = 0;
            if (FAILED(SafeArrayGetLBound(array, spanDim, &lower)) ||
                FAILED(SafeArrayGetUBound(array, spanDim, &upper)) ||
                FAILED(SafeArrayGetLBound(array, fixedDim, &fixed))) {
                return false;
            }
            // Only each element's type matters: look at it in place rather
            // than copying every value out (a column holds thousands). The
            // first index varies fastest, so a row's elements lie a column's
            // height apart and a column's side by side.
            if (lower < upper) {
                LONG firstRow = 0;
                LONG lastRow = -1;
                LONG index[2] = {bRow ? fixed : lower, bRow ? lower : fixed};
                void* element = nullptr;
                if (FAILED(SafeArrayGetLBound(array, 1, &firstRow)) ||
                    FAILED(SafeArrayGetUBound(array, 1, &lastRow)) ||
                    FAILED(SafeArrayPtrOfIndex(array, index, &element)) || !element ||
                    array->cbElements != sizeof(VARIANT)) {
                    return false;
                }
                const std::size_t stride = bRow ? static_cast<std::size_t>(lastRow - firstRow + 1) : 1;
                const auto* stored = static_cast<const VARIANT*>(element);
                for (LONG i = lower; i < upper; ++i, stored += stride) {
                    if (stored->vt != VT_EMPTY) {
                        return false;
                    }
                }
            }
        }
        DeleteRange(range, bRow ? msc_nShiftUp : msc_nShiftToLeft);
        return true;
    } catch (...) {
        NoteFailure(bRow ? "DeleteRowIfEmpty" : "DeleteColumnIfEmpty");
    }
    return false;
}

void KVSpreadSheet::GetRangeValue(xl::Range& range, VARIANT* pValue) {
    if (!pValue || !range.IsAttached()) {
        return;
    }
    try {
        VARIANT value = range.GetValue();
        VariantClear(pValue);
        *pValue = value;
    } catch (...) {
        NoteFailure("GetRangeValue");
    }
}

void KVSpreadSheet::GetCellValue(long nRow, long nColumn, VARIANT* pValue) {
    try {
        xl::Range range;
        ScopedVariant temporary;
        if (GetCellRange(nRow, nColumn, &range) && range.IsAttached()) {
            GetRangeValue(range, &*temporary);
        }
        if (pValue) {
            VariantCopy(pValue, &*temporary);
        }
    } catch (...) {
        NoteFailure("GetCellValue");
    }
}

void KVSpreadSheet::ReadBlock(long nFirstRow, long nFirstColumn, long nLastRow, long nLastColumn,
                              KVValueBlock** ppBlock) {
    if (!ppBlock || nLastRow <= nFirstRow || nLastColumn <= nFirstColumn) {
        return;
    }
    try {
        xl::Range range;
        if (!GetSpanRange(nFirstRow, nFirstColumn, nLastRow, nLastColumn, &range) || !range.IsAttached()) {
            return;
        }
        VARIANT value = range.GetValue();
        if (!(value.vt & VT_ARRAY) || !value.parray) {
            VariantClear(&value);
            return;
        }
        auto block = std::make_unique<KVValueBlock>();
        // The array moves into the block rather than being copied element by
        // element: the block is the only owner from here on.
        block->Attach(value);
        *ppBlock = block.release();
    } catch (...) {
        NoteFailure("ReadBlock");
    }
}

bool KVSpreadSheet::ReadTypedCells(long nFirstRow, long nFirstColumn, long nLastRow, long nLastColumn,
                                   std::vector<KVTypedCell>& cells) {
    KVValueBlock* pRead = nullptr;
    ReadBlock(nFirstRow, nFirstColumn, nLastRow, nLastColumn, &pRead);
    std::unique_ptr<KVValueBlock> block(pRead);
    if (!block) {
        return false;
    }
    // The block holds its columns one after another, so it is walked in
    // that order (row by row touched a new memory page at every element),
    // and only the typed cells are listed, each with its column.
    const auto nRows = static_cast<std::size_t>(nLastRow - nFirstRow + 1);
    std::vector<std::vector<KVTypedCell>::size_type> rowStart(nRows + 1, 0);
    std::vector<KVTypedCell> found;
    const HRESULT hr = sw::automation::ForEachStoredVariant(
        block->parray, [&](std::size_t i, std::size_t j, const VARIANT& element) {
            if (element.vt == VT_BSTR) {
                return;
            }
            auto type = KVTypedCell::enType::enOther;
            if (element.vt == VT_DATE) {
                type = std::trunc(element.date) == 0.0 ? KVTypedCell::enType::enTimeOfDay
                                                       : KVTypedCell::enType::enDate;
            }
            found.push_back({static_cast<std::uint32_t>(nFirstRow + static_cast<long>(i)),
                             static_cast<std::uint16_t>(nFirstColumn + static_cast<long>(j)), type});
            ++rowStart[i + 1];
        });
    // The values are done with. Freeing them (a large block's texts and
    // pages) goes on on a second thread while the caller carries on; the
    // two share nothing but the string pool.
    if (m_reaper.joinable()) {
        m_reaper.join();
    }
    m_reaper = std::jthread([done = std::move(block)]() mutable { done.reset(); });
    if (FAILED(hr)) {
        return false;
    }
    // Listed column by column, each column top down: placed by row in that
    // order, each row's cells stay in column order.
    for (std::size_t r = 1; r < rowStart.size(); ++r) {
        rowStart[r] += rowStart[r - 1];
    }
    const std::size_t base = cells.size();
    cells.resize(base + found.size());
    for (const KVTypedCell& cell : found) {
        cells[base +
              rowStart[static_cast<std::size_t>(cell.nRow - static_cast<std::uint32_t>(nFirstRow))]++] = cell;
    }
    return true;
}

void KVSpreadSheet::ClearCell(long nRow, long nColumn) {
    OnCell(nRow, nColumn, "ClearCell", [&](xl::Range& range) { ScopedVariant result(range.Clear()); });
}

void KVSpreadSheet::ClearAroundCell(long nRow, long nColumn, long nColumnsLeft, long nRowsUp,
                                    long nColumnsRight, long nRowsDown) {
    try {
        if (nColumn - nColumnsLeft < 1) {
            nColumnsLeft = nColumn - 1;
        }
        if (nRow - nRowsUp < 1) {
            nRowsUp = nRow - 1;
        }
        xl::Range cell;
        if (!GetCellRange(nRow, nColumn, &cell) || !cell.IsAttached()) {
            return;
        }
        xl::Range corner(
            cell.GetOffset(MakeI4(static_cast<LONG>(-nRowsUp)), MakeI4(static_cast<LONG>(-nColumnsLeft))));
        if (!corner.IsAttached()) {
            return;
        }
        for (long i = 0; i <= nRowsUp + nRowsDown; ++i) {
            xl::Range current(corner.GetOffset(MakeI4(static_cast<LONG>(i)), MakeI4(0)));
            for (long j = 0; j < nColumnsLeft + nColumnsRight + 1 && current.IsAttached(); ++j) {
                ScopedVariant result(current.Clear());
                current.AttachDispatch(current.GetOffset(MakeI4(0), MakeI4(1)));
            }
        }
    } catch (...) {
        NoteFailure("ClearAroundCell");
    }
}

void KVSpreadSheet::SetRangeFont(xl::Range& range, const std::wstring& strFontName, LONG nFontSize,
                                 bool bBold, bool bUnderline, bool bItalic) {
    if (!range.IsAttached()) {
        return;
    }
    try {
        xl::Font font(range.GetFont());
        font.SetName(*ScopedBstrVariant(strFontName));
        font.SetSize(MakeI4(nFontSize));
        font.SetBold(bBold ? m_varOne : m_varZero);
        font.SetItalic(bItalic ? m_varOne : m_varZero);
        font.SetUnderline(bUnderline ? MakeI2(msc_nUnderlineSingle) : MakeI4(msc_nUnderlineNone));
    } catch (...) {
        NoteFailure("SetRangeFont");
    }
}

void KVSpreadSheet::FormatCell(long nRow, long nColumn, const std::wstring& strFontName, long nFontSize,
                               bool bBold, bool bUnderline, bool bItalic, const std::wstring& strDateFormat,
                               const std::wstring& strNumberFormat) {
    OnCell(nRow, nColumn, "FormatCell", [&](xl::Range& range) {
        SetRangeFont(range, strFontName, static_cast<LONG>(nFontSize), bBold, bUnderline, bItalic);
        SetRangeDateFormat(range, strDateFormat, 0);
        SetRangeNumberFormat(range, strNumberFormat, 0);
    });
}

void KVSpreadSheet::SetRangeDateFormat(xl::Range& range, const std::wstring& strFormat, BYTE bForce) {
    if (!range.IsAttached()) {
        return;
    }
    try {
        // A forced format does not depend on the current one, which is then
        // not asked for: one round trip less per formatted cell.
        // "d-mmm-yy" is what the application gives text it turned into a date
        // by itself; any other format was chosen by someone and is kept.
        if (bForce || TextOf(*ScopedVariant(range.GetNumberFormat())) == L"d-mmm-yy") {
            range.SetNumberFormat(FormatArgument(strFormat));
        }
    } catch (...) {
        NoteFailure("SetRangeDateFormat");
    }
}

void KVSpreadSheet::SetCellDateFormat(long nRow, long nColumn, const std::wstring& strFormat) {
    OnCell(nRow, nColumn, "SetCellDateFormat",
           [&](xl::Range& range) { SetRangeDateFormat(range, strFormat, 1); });
}

void KVSpreadSheet::SetRangeNumberFormat(xl::Range& range, const std::wstring& strFormat, BYTE bForce) {
    if (!range.IsAttached()) {
        return;
    }
    try {
        // As for dates, a forced format skips reading the current one.
        if (bForce || IsGeneralFormat(TextOf(*ScopedVariant(range.GetNumberFormat())))) {
            range.SetNumberFormat(FormatArgument(strFormat));
        }
    } catch (...) {
        NoteFailure("SetRangeNumberFormat");
    }
}

void KVSpreadSheet::SetCellsFormat(const std::vector<std::pair<long, long>>& cells,
                                   const std::wstring& strFormat) {
    // The longest list of cells the application takes as one range name.
    constexpr std::size_t kMaxNames = 255;
    std::wstring names;
    auto format = [&]() {
        try {
            ScopedBstrVariant list(names);
            xl::Range range(m_worksheet.GetRange(*list, m_varMissing));
            if (range.IsAttached()) {
                range.SetNumberFormat(FormatArgument(strFormat));
            }
        } catch (...) {
            NoteFailure("SetCellsFormat");
        }
        names.clear();
    };
    if (!m_worksheet.IsAttached()) {
        return;
    }
    for (const auto& [nRow, nColumn] : cells) {
        const CellName name(nRow, nColumn);
        if (!names.empty() && names.size() + 1 + name.length > kMaxNames) {
            format();
        }
        if (!names.empty()) {
            names += L',';
        }
        names.append(name.text, name.length);
    }
    if (!names.empty()) {
        format();
    }
}

void KVSpreadSheet::SetCellNumberFormat(long nRow, long nColumn, const std::wstring& strFormat) {
    OnCell(nRow, nColumn, "SetCellNumberFormat",
           [&](xl::Range& range) { SetRangeNumberFormat(range, strFormat, 1); });
}

bool KVSpreadSheet::Save() {
    m_strSaveError.clear();
    if (m_reaper.joinable()) {
        m_reaper.join();
    }
    try {
        xl::Workbooks workbooks(m_application.GetWorkbooks());
        xl::Workbook workbook(workbooks.GetItem(MakeI2(1)));
        if (!workbook.IsAttached()) {
            m_strSaveError = L"The spreadsheet application could not be started.";
            return false;
        }
        // The old file stays until the new one is complete: the application
        // writes a file beside it and renames that over it, so a save that
        // fails (the format's limits, a full disk) leaves the user's workbook
        // as it was. One that cannot be replaced (a file the user protected,
        // a folder that does not allow it) is asked about first.
        while (!sw::shell::CanReplaceFile(m_strOutputPath)) {
            if (AfxMessageBox(msc_sRetryQuestion, MB_YESNO) != IDYES) {
                m_bAbandoned = 1;
                return false;
            }
        }
        ScopedBstrVariant fileName(m_strOutputPath);
        workbook.SaveAs(*fileName, m_varMissing, m_varMissing, m_varMissing, m_varMissing, m_varMissing, 0,
                        m_varMissing, m_varMissing, m_varMissing, m_varMissing);
        if (!sw::shell::FileExists(m_strOutputPath)) {
            m_strSaveError = L"No file was written at " + m_strOutputPath + L".";
            return false;
        }
        return true;
    } catch (COleDispatchException* e) {
        m_strSaveError = e->m_strDescription.empty() ? e->ErrorMessage() : e->m_strDescription;
        try {
            throw e;
        } catch (...) {
            NoteFailure("Save");
        }
    } catch (COleException* e) {
        m_strSaveError = AfxStatusCodeMessage(e->m_sc);
        try {
            throw e;
        } catch (...) {
            NoteFailure("Save");
        }
    } catch (...) {
        m_strSaveError = L"Unexpected failure.";
        NoteFailure("Save");
    }
    return false;
}

KVValueBlock* KVSpreadSheet::CreateBlock(long nRows, long nColumns) {
    try {
        auto block = std::make_unique<KVValueBlock>();
        DWORD elements[2] = {static_cast<DWORD>(nRows), static_cast<DWORD>(nColumns)};
        block->Create(VT_VARIANT, 2, elements);
        return block.release();
    } catch (...) {
        NoteFailure("CreateBlock");
    }
    return nullptr;
}

bool KVSpreadSheet::SetBlockValue(KVValueBlock* pBlock, long nRowIndex, long nColumnIndex,
                                  const VARIANT& value) {
    if (!pBlock) {
        return false;
    }
    try {
        LONG index[2] = {static_cast<LONG>(nRowIndex), static_cast<LONG>(nColumnIndex)};
        pBlock->PutElement(index, const_cast<VARIANT*>(&value));
        return true;
    } catch (...) {
        NoteFailure("SetBlockValue");
    }
    return false;
}

void KVSpreadSheet::WriteBlock(KVValueBlock* pBlock, long nRows, long nColumns) {
    WriteBlockAt(pBlock, 1, nRows, nColumns);
}

bool KVSpreadSheet::WriteBlockAt(KVValueBlock* pBlock, long nFirstRow, long nRows, long nColumns) {
    if (!pBlock) {
        return false;
    }
    // Whatever keeps the values from the sheet is told: the application's own
    // refusal as much as a failed call.
    std::wstring failure;
    try {
        xl::Range range;
        if (GetSpanRange(nFirstRow, 1, nFirstRow + nRows - 1, nColumns, &range) && range.IsAttached()) {
            range.SetValue(*pBlock);
            return true;
        }
        failure = m_application.IsAttached()
                      ? L"The worksheet has no room for a block of " + std::to_wstring(nRows) +
                            L" rows and " + std::to_wstring(nColumns) + L" columns."
                      : L"The spreadsheet application could not be started.";
    } catch (COleDispatchException* e) {
        failure = e->m_strDescription.empty() ? e->ErrorMessage() : e->m_strDescription;
        e->Delete();
    } catch (COleException* e) {
        failure = AfxStatusCodeMessage(e->m_sc);
        e->Delete();
    } catch (...) {
        failure = L"Unexpected failure.";
        NoteFailure("WriteBlock");
    }
    AfxMessageBox(failure, MB_OK | MB_ICONEXCLAMATION);
    return false;
}

void KVSpreadSheet::SetBlockFont(long nRows, long nColumns, const std::wstring& strFontName, LONG nFontSize,
                                 bool bBold, bool bItalic, bool bUnderline) {
    try {
        xl::Range range;
        if (GetSpanRange(1, 1, nRows, nColumns, &range) && range.IsAttached()) {
            SetRangeFont(range, strFontName, nFontSize, bBold, bUnderline, bItalic);
        }
    } catch (...) {
        NoteFailure("SetBlockFont");
    }
}

void KVSpreadSheet::FormatRangeByValue(xl::Range& range, const VARIANT& value,
                                       const std::wstring& strFontName, long nFontSize, bool bBold,
                                       bool bUnderline, bool bItalic, const std::wstring& strDateFormat,
                                       const std::wstring& strNumberFormat) {
    SetRangeFont(range, strFontName, static_cast<LONG>(nFontSize), bBold, bUnderline, bItalic);
    if (value.vt == VT_DATE) {
        SetRangeDateFormat(range, strDateFormat, 1);
    } else {
        SetRangeNumberFormat(range, strNumberFormat, 1);
    }
}

void KVSpreadSheet::FormatCellByValue(long nRow, long nColumn, const std::wstring& strFontName,
                                      long nFontSize, bool bBold, bool bUnderline, bool bItalic,
                                      const std::wstring& strDateFormat,
                                      const std::wstring& strNumberFormat) {
    OnCell(nRow, nColumn, "FormatCellByValue", [&](xl::Range& range) {
        ScopedVariant value;
        GetRangeValue(range, &*value);
        FormatRangeByValue(range, *value, strFontName, nFontSize, bBold, bUnderline, bItalic, strDateFormat,
                           strNumberFormat);
    });
}

void KVSpreadSheet::SetCellValueAndFormat(long nRow, long nColumn, const VARIANT& value,
                                          const std::wstring& strFontName, long nFontSize, bool bBold,
                                          bool bUnderline, bool bItalic, const std::wstring& strDateFormat,
                                          const std::wstring& strNumberFormat) {
    OnCell(nRow, nColumn, "SetCellValueAndFormat", [&](xl::Range& range) {
        range.SetValue(value);
        ScopedVariant stored;
        GetRangeValue(range, &*stored);
        FormatRangeByValue(range, *stored, strFontName, nFontSize, bBold, bUnderline, bItalic, strDateFormat,
                           strNumberFormat);
    });
}

void KVSpreadSheet::AutoFitColumn(long nColumn, long /*nLastRow*/) {
    try {
        xl::Range range;
        if (GetSpanRange(1, nColumn, 1, nColumn, &range) && range.IsAttached()) {
            xl::Range column(range.GetEntireColumn());
            ScopedVariant result(column.AutoFit());
        }
    } catch (...) {
        NoteFailure("AutoFitColumn");
    }
}

void KVSpreadSheet::AlignColumnLeft(long nColumn, long nLastRow) {
    try {
        xl::Range range;
        if (GetSpanRange(1, nColumn, nLastRow, nColumn, &range) && range.IsAttached()) {
            range.SetHorizontalAlignment(MakeI4(msc_nAlignLeft));
        }
    } catch (...) {
        NoteFailure("AlignColumnLeft");
    }
}

void KVSpreadSheet::Open() {
    try {
        // A missing application is not reported: the driver then holds no
        // object and every later call does nothing.
        m_application.CreateDispatch(L"Excel.Application");
        m_bStarted = 1;
        xl::Workbooks workbooks(m_application.GetWorkbooks());
        xl::Workbook workbook(workbooks.Add(m_varMissing));
        xl::Sheets sheets(workbook.GetSheets());
        m_worksheet.AttachDispatch(sheets.GetItem(MakeI2(1)));
    } catch (...) {
        NoteFailure("Open");
    }
}

void KVSpreadSheet::DeleteRange(xl::Range& range, LONG nShiftDirection) {
    if (!range.IsAttached()) {
        return;
    }
    try {
        ScopedVariant result(range.Delete(MakeI4(nShiftDirection)));
    } catch (...) {
        NoteFailure("DeleteRange");
    }
}

bool KVSpreadSheet::GetRange(const std::wstring& strFirstCell, const std::wstring& strSecondCell,
                             xl::Range* pRange) {
    return GetNamedRange(strFirstCell.data(), strFirstCell.size(), strSecondCell.data(), strSecondCell.size(),
                         pRange);
}

bool KVSpreadSheet::GetNamedRange(const wchar_t* pszFirst, std::size_t nFirstLength, const wchar_t* pszSecond,
                                  std::size_t nSecondLength, xl::Range* pRange) {
    if (!m_application.IsAttached() || !pRange) {
        return false;
    }
    try {
        ScopedBstrVariant first(pszFirst, nFirstLength);
        // A single cell is named twice: both arguments can be the one string.
        if (pszSecond == pszFirst && nSecondLength == nFirstLength) {
            pRange->AttachDispatch(m_worksheet.GetRange(*first, *first));
            return true;
        }
        ScopedBstrVariant second(pszSecond, nSecondLength);
        pRange->AttachDispatch(m_worksheet.GetRange(*first, *second));
        return true;
    } catch (...) {
        NoteFailure("GetRange");
    }
    return false;
}

bool KVSpreadSheet::GetSpanRange(long nFirstRow, long nFirstColumn, long nLastRow, long nLastColumn,
                                 xl::Range* pRange) {
    const CellName first(nFirstRow, nFirstColumn);
    const CellName last(nLastRow, nLastColumn);
    return GetNamedRange(first.text, first.length, last.text, last.length, pRange);
}

bool KVSpreadSheet::GetCellRange(long nRow, long nColumn, xl::Range* pRange) {
    if (!m_application.IsAttached()) {
        return false;
    }
    const CellName name(nRow, nColumn);
    return GetNamedRange(name.text, name.length, name.text, name.length, pRange);
}

void KVSpreadSheet::SetBlockText(std::wstring_view strText, long nRowIndex, long nColumnIndex,
                                 KVValueBlock* pBlock) {
    if (!pBlock || !pBlock->parray || pBlock->parray->cbElements != sizeof(VARIANT)) {
        return;
    }
    try {
        // The text is copied once, straight into the element: a large block
        // holds hundreds of thousands of texts, and a second copy of each
        // (made and freed again) was a good part of the time to fill it.
        LONG index[2] = {static_cast<LONG>(nRowIndex), static_cast<LONG>(nColumnIndex)};
        void* element = nullptr;
        pBlock->PtrOfIndex(index, &element);
        auto* stored = static_cast<VARIANT*>(element);
        BSTR copy = SysAllocStringLen(strText.data(), static_cast<UINT>(strText.size()));
        if (!copy) {
            NoteFailure("SetBlockText");
            return;
        }
        // The element is touched for writing before it is read: a fresh
        // block's page is not yet in memory, and reading it first maps the
        // shared zero page, which the write then has to replace, two faults
        // for every page of the block instead of one.
        std::atomic_ref<VARTYPE>(stored->vt).fetch_or(0, std::memory_order_relaxed);
        VariantClear(stored);
        stored->vt = VT_BSTR;
        stored->bstrVal = copy;
    } catch (...) {
        NoteFailure("SetBlockText");
    }
}
