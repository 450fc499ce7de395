#include "parser/process/KVExcelFileProcessor.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cwctype>
#include <utility>
#include <vector>

#include "lib/options/KVDriverOptions.h"
#include "lib/options/KVDriverOptionsExcel.h"
#include "lib/options/KVExcelRemoveDataAnchor.h"
#include "parser/grid/KVExcelFileMgr.h"
#include "parser/process/KVActiveProfile.h"
#include "parser/process/KVProgressDlg.h"
#include "parser/sheet/KVSpreadSheet.h"
#include "platform/ui/MessageBox.h"

KVDriverOptions* g_pActiveProfile = nullptr;

const wchar_t* const KVExcelFileProcessor::msc_sTimeFormat = L"h:mm:ss AM/PM";
const wchar_t* const KVExcelFileProcessor::msc_sLoadFailed = L"Could not load printer output file.";
const wchar_t* const KVExcelFileProcessor::msc_sSaveFailed = L"The workbook could not be saved.";

namespace {

std::wstring Upper(const std::wstring& text) {
    std::wstring out = text;
    for (auto& c : out) {
        c = static_cast<wchar_t>(std::towupper(static_cast<wint_t>(c)));
    }
    return out;
}

// Whether text, upper-cased, is `upper`; without making the upper-cased
// copy, since most cells differ from an anchor at their first character.
bool MatchesUpper(std::wstring_view text, const std::wstring& upper) {
    if (text.size() != upper.size()) {
        return false;
    }
    for (std::size_t k = 0; k < text.size(); ++k) {
        if (static_cast<wchar_t>(std::towupper(static_cast<wint_t>(text[k]))) != upper[k]) {
            return false;
        }
    }
    return true;
}

bool EndsWithNoCase(const std::wstring& text, const std::wstring& suffix) {
    return text.size() >= suffix.size() && Upper(text.substr(text.size() - suffix.size())) == Upper(suffix);
}

// Owns a block handed out by the spreadsheet object.
struct BlockDeleter {
    void operator()(KVValueBlock* block) const { delete block; }
};
using BlockPtr = std::unique_ptr<KVValueBlock, BlockDeleter>;

// Whether a text holds one of "PMAM:", which marks a time of day; a plain
// loop, since a search for any of a set of characters looked each character
// up in the set through a library call.
bool HasTimeCharacter(std::wstring_view text) {
    return std::any_of(text.begin(), text.end(),
                       [](wchar_t c) { return c == L'P' || c == L'M' || c == L'A' || c == L':'; });
}

std::uint64_t CellKey(long nRow, long nColumn) {
    return (static_cast<std::uint64_t>(static_cast<std::uint32_t>(nRow)) << 32) |
           static_cast<std::uint32_t>(nColumn);
}

}  // namespace

// What the later steps need of the grid's texts. Taken in one pass so that
// the grid can be freed before the sheet builds its own copy of the values:
// the two together were the peak of a large conversion.
struct KVExcelFileProcessor::GridFacts {
    struct AnchorHit {
        int nRow;
        int nColumn;
        const KVExcelRemoveDataAnchor* anchor;
    };
    // Cells whose text holds a character of a time of day, in row-major
    // order (so sorted by CellKey).
    std::vector<std::uint64_t> timeLike;
    // Every (cell, anchor) match, in the order cells and anchors are visited.
    std::vector<AnchorHit> anchorHits;
};

KVExcelFileProcessor::KVExcelFileProcessor(const std::wstring& strInputFile,
                                           const std::wstring& strOutputFile)
    : KVFileProcessor(strInputFile, strOutputFile, KVFileParserTypes::enFileParserExcel),
      m_pSpreadSheet(new KVSpreadSheet(strOutputFile)) {}

KVExcelFileProcessor::~KVExcelFileProcessor() {
    delete m_pSpreadSheet;
}

void KVExcelFileProcessor::SetPdfSource(bool bPdfSource) {
    m_bPdfSource = bPdfSource;
}

bool KVExcelFileProcessor::IsPdfSource() const {
    return m_bPdfSource;
}

void KVExcelFileProcessor::WriteCell(const std::wstring& strValue, long nRow, long nColumn,
                                     const std::wstring& strFontName, long nFontSize, bool bBold,
                                     bool bItalic, bool bUnderline, const std::wstring& strDateFormat,
                                     const std::wstring& strNumberFormat) {
    VARIANT value;
    VariantInit(&value);
    value.vt = VT_BSTR;
    value.bstrVal = SysAllocStringLen(strValue.data(), static_cast<UINT>(strValue.size()));
    m_pSpreadSheet->SetCellValueAndFormat(nRow, nColumn, value, strFontName, nFontSize == 0 ? 12 : nFontSize,
                                          bBold, bUnderline, bItalic, strDateFormat, strNumberFormat);
    VariantClear(&value);
}

bool KVExcelFileProcessor::Process() {
    m_pProfile = dynamic_cast<const KVDriverOptionsExcel*>(g_pActiveProfile);
    if (!m_pProfile) {
        return false;
    }
    bool bOk = true;
    KVProgressDlg progress;
    progress.Create();
    progress.ShowWindow();
    progress.SetStatus(L"Reading file...");

    auto grid = std::make_unique<KVExcelFileMgr>();
    grid->SetPlainMode(m_bPdfSource);
    if (!grid->Load(m_strInputFile)) {
        bOk = false;
        AfxMessageBox(msc_sLoadFailed);
        sw::ui::ConsoleDetail(grid->GetLoadError());
    }
    const int nRows = grid->GetRowLimit();
    const int nColumns = grid->GetColumnLimit();

    progress.OffsetPos(50);
    progress.SetStatus(L"Writing data...");
    GridFacts facts;
    // A report whose values did not reach the sheet is not converted: the
    // later steps would only shape an empty workbook.
    if (bOk) {
        bOk = FitsWorksheet(nRows, nColumns) && WriteAndFormat(grid, facts, nRows, nColumns);
    }

    progress.OffsetPos(25);
    progress.SetStatus(L"Applying properties...");
    if (bOk) {
        ApplyProperties(facts, nRows, nColumns);
    }

    progress.OffsetPos(25);
    progress.SetStatus(L"Cleaning up...");
    if (bOk) {
        if (m_pProfile->GetMoveToTopLeftCell()) {
            m_pSpreadSheet->SelectCell(1, 1);
        } else {
            m_pSpreadSheet->SelectCell(nRows + 1, nColumns + 1);
        }
    }
    grid.reset();
    progress.DestroyWindow();
    return bOk;
}

bool KVExcelFileProcessor::FitsWorksheet(int nRows, int nColumns) {
    m_nSheetRows = m_pSpreadSheet->GetRowCount();
    m_nSheetColumns = m_pSpreadSheet->GetColumnCount();
    // The grid's last row and column hold data; the empty row and column
    // past them, which the block also covers, may lie beyond the sheet.
    if ((m_nSheetRows <= 0 || nRows <= m_nSheetRows) &&
        (m_nSheetColumns <= 0 || nColumns <= m_nSheetColumns)) {
        return true;
    }
    AfxMessageBox(L"The report has " + std::to_wstring(nRows) + L" rows and " + std::to_wstring(nColumns) +
                      L" columns; a worksheet holds at most " + std::to_wstring(m_nSheetRows) +
                      L" rows and " + std::to_wstring(m_nSheetColumns) +
                      L" columns. Nothing was written; print the report in smaller parts.",
                  MB_OK | MB_ICONEXCLAMATION);
    return false;
}

bool KVExcelFileProcessor::WriteAndFormat(std::unique_ptr<KVExcelFileMgr>& grid, GridFacts& facts, int nRows,
                                          int nColumns) {
    m_nGridRows = nRows;
    m_nGridColumns = nColumns;
    const long nBlockRows = m_nSheetRows > 0 ? std::min<long>(nRows + 1, m_nSheetRows) : nRows + 1;
    const long nBlockColumns =
        m_nSheetColumns > 0 ? std::min<long>(nColumns + 1, m_nSheetColumns) : nColumns + 1;
    // The sheet takes a limited number of cells in one block: a larger grid
    // goes in bands of whole rows, as even as may be.
    const long nMaxBandRows = std::max(1L, KVSpreadSheet::msc_nMaxBlockCells / nBlockColumns);
    const long nBands = (nBlockRows + nMaxBandRows - 1) / nMaxBandRows;
    const long nBandRows = (nBlockRows + nBands - 1) / nBands;

    struct Anchor {
        std::wstring upper;
        const KVExcelRemoveDataAnchor* anchor;
    };
    std::vector<Anchor> anchors;
    const long nAnchors = m_pProfile->GetRemoveDataAnchorCount();
    for (long a = 0; a < nAnchors; ++a) {
        if (const KVExcelRemoveDataAnchor* anchor = m_pProfile->GetRemoveDataAnchor(a)) {
            anchors.push_back({Upper(anchor->GetAnchorDescriptor()), anchor});
        }
    }

    for (long nFirst = 0; nFirst < nBlockRows; nFirst += nBandRows) {
        const long nBand = std::min(nBandRows, nBlockRows - nFirst);
        BlockPtr block(m_pSpreadSheet->CreateBlock(nBand, nBlockColumns));
        if (!block) {
            AfxMessageBox(L"There is not enough memory to pass the report's " + std::to_wstring(nRows) +
                              L" rows and " + std::to_wstring(nColumns) +
                              L" columns to the worksheet. Nothing was written; close other programs and "
                              L"convert the job again.",
                          MB_OK | MB_ICONEXCLAMATION);
            return false;
        }
        const auto nEnd = static_cast<int>(std::min<long>(nFirst + nBand, nRows));
        for (auto i = static_cast<int>(nFirst); i < nEnd; ++i) {
            const auto nBlockRow = static_cast<long>(i - nFirst);
            // The cells that exist, left to right: a report's rows hold a few
            // of its hundred-odd columns.
            grid->ForEachInRow(i, [&](int j, const KVExcelFileFieldValue& cell) {
                if (j >= nColumns || cell.IsEmpty()) {
                    return;
                }
                const std::wstring_view text = cell.GetText();
                m_pSpreadSheet->SetBlockText(text, nBlockRow, j, block.get());
                if (HasTimeCharacter(text)) {
                    facts.timeLike.push_back(CellKey(i, j));
                }
                for (const Anchor& a : anchors) {
                    if (MatchesUpper(text, a.upper)) {
                        facts.anchorHits.push_back({i, j, a.anchor});
                    }
                }
            });
            // Each row is done with once copied, and its memory serves the
            // block's texts rather than adding to them.
            grid->ReleaseRow(i);
        }
        if (nFirst + nBand >= nBlockRows) {
            grid.reset();
        }
        if (!m_pSpreadSheet->WriteBlockAt(block.get(), nFirst + 1, nBand, nBlockColumns)) {
            return false;
        }
    }

    if (m_pProfile->GetRemoveFormattingOfCells()) {
        m_pSpreadSheet->SetBlockFont(nBlockRows, nBlockColumns, m_pProfile->GetFontName(),
                                     static_cast<LONG>(m_pProfile->GetFontSize()),
                                     m_pProfile->GetFontBold() != 0, m_pProfile->GetFontItalicize() != 0,
                                     m_pProfile->GetFontUnderline() != 0);
    } else {
        m_pSpreadSheet->SetBlockFont(nBlockRows, nBlockColumns, L"Arial", 12, false, false, false);
    }

    const std::wstring dateFormat = m_pProfile->GetIsCustomDateFormat() ? m_pProfile->GetCustomDateFormat()
                                                                        : m_pProfile->GetDateFormatW();
    const std::wstring numberFormat = m_pProfile->GetNumericFormat();
    // The typed cells of the grid, band by band, each band's row by row and
    // each row left to right.
    std::vector<KVTypedCell> typed;
    for (long nFirst = 0; nFirst < nBlockRows; nFirst += nBandRows) {
        const long nBand = std::min(nBandRows, nBlockRows - nFirst);
        m_pSpreadSheet->ReadTypedCells(nFirst + 1, 1, nFirst + nBand, nBlockColumns, typed);
    }
    // The cells of each format are named together, many to a call: one
    // call per cell was a good part of a large conversion.
    std::vector<std::pair<long, long>> times;
    std::vector<std::pair<long, long>> dates;
    std::vector<std::pair<long, long>> numbers;
    // Both the typed cells and the time-like ones are in row-major order, so
    // one walk along the latter answers every lookup.
    auto timeLike = facts.timeLike.begin();
    const auto timeLikeEnd = facts.timeLike.end();
    for (const KVTypedCell& cell : typed) {
        const auto r = static_cast<long>(cell.nRow);
        const auto c = static_cast<long>(cell.nColumn);
        if (r > nRows || c > nColumns) {
            continue;  // the row and column past the grid
        }
        switch (cell.type) {
            case KVTypedCell::enType::enTimeOfDay:
                times.emplace_back(r, c);
                break;
            case KVTypedCell::enType::enDate:
                dates.emplace_back(r, c);
                break;
            case KVTypedCell::enType::enOther: {
                // A number typed with a time-of-day character is shown as a time.
                const std::uint64_t key = CellKey(r - 1, c - 1);
                while (timeLike != timeLikeEnd && *timeLike < key) {
                    ++timeLike;
                }
                (timeLike != timeLikeEnd && *timeLike == key ? times : numbers).emplace_back(r, c);
                break;
            }
        }
    }
    m_pSpreadSheet->SetCellsFormat(dates, dateFormat);
    m_pSpreadSheet->SetCellsFormat(times, msc_sTimeFormat);
    m_pSpreadSheet->SetCellsFormat(numbers, numberFormat);
    return true;
}

void KVExcelFileProcessor::ApplyProperties(const GridFacts& facts, int nRows, int nColumns) {
    std::vector<bool> rowMarks(static_cast<size_t>(nRows) + 1, false);
    std::vector<bool> columnMarks(static_cast<size_t>(nColumns) + 1, false);

    // Clearing changed only the sheet, so the matches taken from the grid as
    // loaded still hold.
    for (const GridFacts::AnchorHit& hit : facts.anchorHits) {
        const int i = hit.nRow;
        const int j = hit.nColumn;
        switch (hit.anchor->GetAnchorType()) {
            case KVExcelRemoveDataAnchor::enAnchorClearCell:
                m_pSpreadSheet->ClearCell(i + 1, j + 1);
                break;
            case KVExcelRemoveDataAnchor::enAnchorRemoveRow:
                rowMarks[static_cast<size_t>(i)] = true;
                break;
            case KVExcelRemoveDataAnchor::enAnchorRemoveColumn:
                columnMarks[static_cast<size_t>(j)] = true;
                break;
            case KVExcelRemoveDataAnchor::enAnchorRemoveRowAndColumn:
                rowMarks[static_cast<size_t>(i)] = true;
                columnMarks[static_cast<size_t>(j)] = true;
                break;
            case KVExcelRemoveDataAnchor::enAnchorClearArea: {
                const CRect& area = hit.anchor->GetAreaToRemove();
                m_pSpreadSheet->ClearAroundCell(i + 1, j + 1, area.left, area.top, area.right, area.bottom);
                break;
            }
            default:
                break;
        }
    }

    long nDeleted = 0;
    for (size_t i = 0; i < rowMarks.size(); ++i) {
        if (rowMarks[i]) {
            m_pSpreadSheet->DeleteRow(static_cast<long>(i) - nDeleted + 1);
            ++nDeleted;
        }
    }
    nDeleted = 0;
    for (size_t j = 0; j < columnMarks.size(); ++j) {
        if (columnMarks[j]) {
            m_pSpreadSheet->DeleteColumn(static_cast<long>(j) - nDeleted + 1);
            ++nDeleted;
        }
    }

    if (m_pProfile->GetRemoveRowsWithSpace()) {
        long n = 0;
        for (int k = 0; k <= nRows; ++k) {
            ++n;
            if (m_pSpreadSheet->DeleteRowIfEmpty(n, nColumns + 1)) {
                --n;
            }
        }
    }
    if (m_pProfile->GetRemoveColumnsWithSpace()) {
        long n = 0;
        for (int k = 0; k <= nColumns; ++k) {
            ++n;
            if (m_pSpreadSheet->DeleteColumnIfEmpty(n, nRows + 1)) {
                --n;
            }
        }
    }
    if (m_pProfile->GetResizeCells()) {
        for (long c = 1; c <= nColumns + 1; ++c) {
            m_pSpreadSheet->AutoFitColumn(c, nRows + 1);
        }
    }
    if (m_bPdfSource) {
        for (long c = 1; c <= nColumns + 1; ++c) {
            m_pSpreadSheet->AlignColumnLeft(c, nRows + 1);
        }
    }
}

bool KVExcelFileProcessor::SaveOutput() {
    if (m_pSpreadSheet->Save()) {
        return true;
    }
    if (m_pSpreadSheet->IsAbandoned()) {
        return false;
    }
    std::wstring text = msc_sSaveFailed;
    const std::wstring& reason = m_pSpreadSheet->GetSaveError();
    if (!reason.empty()) {
        text += L"\n\n" + reason;
    }
    if (!EndsWithNoCase(m_strOutputFile, L".xlsx") &&
        (m_nGridRows > msc_nXlsMaxRows || m_nGridColumns > msc_nXlsMaxColumns)) {
        text += L"\n\nThe report has " + std::to_wstring(m_nGridRows) + L" rows and " +
                std::to_wstring(m_nGridColumns) +
                L" columns; an .xls workbook holds at most 65536 rows and 256 columns. Save it as .xlsx "
                L"instead.";
    }
    AfxMessageBox(text, MB_OK | MB_ICONEXCLAMATION);
    return false;
}
