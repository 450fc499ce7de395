// The parser's only path to the output workbook: one spreadsheet application
// started for the object, one new workbook in it and that workbook's first
// worksheet. Every operation catches automation failures itself; nothing
// propagates to the caller. Rows and columns are 1-based worksheet
// coordinates; last-row and last-column arguments are inclusive.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

#include "parser/sheet/KVExcelDrivers.h"

// A two-dimensional array of VARIANTs indexed [row, column]. Whoever
// receives one owns it and deletes it.
using KVValueBlock = COleSafeArray;

// A cell read back holding a typed value, and which: a time of day (a date
// whose day is 30 December 1899), a date, or any other (a number, a boolean,
// an error). Kept small: a large report has hundreds of thousands.
struct KVTypedCell {
    enum class enType : std::uint8_t { enTimeOfDay, enDate, enOther };
    std::uint32_t nRow;
    std::uint16_t nColumn;
    enType type;
};

class KVSpreadSheet {
public:
    explicit KVSpreadSheet(const std::wstring& strOutputPath);
    KVSpreadSheet(const KVSpreadSheet&) = delete;
    KVSpreadSheet& operator=(const KVSpreadSheet&) = delete;
    virtual ~KVSpreadSheet();

    virtual void GetCellName(std::wstring* pstrName, long nRow, long nColumn);
    virtual void SelectCell(long nRow, long nColumn);
    virtual void SetCellValueGetRange(long nRow, long nColumn, const VARIANT& value, xl::Range* pRange);
    virtual void SetCellValueFormatted(long nRow, long nColumn, const VARIANT& value,
                                       const std::wstring& strFontName, long nFontSize, bool bBold,
                                       bool bUnderline, bool bItalic, const std::wstring& strDateFormat,
                                       const std::wstring& strNumberFormat);
    virtual void SetCellValue(long nRow, long nColumn, const VARIANT& value);
    virtual void SetColumnWidth(long nColumn, LONG nWidth);
    virtual LONG GetColumnCount();
    virtual LONG GetRowCount();
    virtual bool IsCellEmpty(long nRow, long nColumn);
    virtual void DeleteRow(long nRow);
    virtual bool DeleteRowIfEmpty(long nRow, long nLastColumn);
    virtual void DeleteColumn(long nColumn);
    virtual bool DeleteColumnIfEmpty(long nColumn, long nLastRow);
    virtual void GetRangeValue(xl::Range& range, VARIANT* pValue);
    virtual void GetCellValue(long nRow, long nColumn, VARIANT* pValue);
    virtual void ReadBlock(long nFirstRow, long nFirstColumn, long nLastRow, long nLastColumn,
                           KVValueBlock** ppBlock);
    virtual void ClearCell(long nRow, long nColumn);
    virtual void ClearAroundCell(long nRow, long nColumn, long nColumnsLeft, long nRowsUp, long nColumnsRight,
                                 long nRowsDown);
    virtual void SetRangeFont(xl::Range& range, const std::wstring& strFontName, LONG nFontSize, bool bBold,
                              bool bUnderline, bool bItalic);
    virtual void FormatCell(long nRow, long nColumn, const std::wstring& strFontName, long nFontSize,
                            bool bBold, bool bUnderline, bool bItalic, const std::wstring& strDateFormat,
                            const std::wstring& strNumberFormat);
    virtual void SetRangeDateFormat(xl::Range& range, const std::wstring& strFormat, BYTE bForce);
    virtual void SetCellDateFormat(long nRow, long nColumn, const std::wstring& strFormat);
    virtual void SetRangeNumberFormat(xl::Range& range, const std::wstring& strFormat, BYTE bForce);
    virtual void SetCellNumberFormat(long nRow, long nColumn, const std::wstring& strFormat);
    virtual bool Save();
    virtual KVValueBlock* CreateBlock(long nRows, long nColumns);
    virtual bool SetBlockValue(KVValueBlock* pBlock, long nRowIndex, long nColumnIndex, const VARIANT& value);
    virtual void WriteBlock(KVValueBlock* pBlock, long nRows, long nColumns);
    virtual void SetBlockFont(long nRows, long nColumns, const std::wstring& strFontName, LONG nFontSize,
                              bool bBold, bool bItalic, bool bUnderline);
    virtual void FormatRangeByValue(xl::Range& range, const VARIANT& value, const std::wstring& strFontName,
                                    long nFontSize, bool bBold, bool bUnderline, bool bItalic,
                                    const std::wstring& strDateFormat, const std::wstring& strNumberFormat);
    virtual void FormatCellByValue(long nRow, long nColumn, const std::wstring& strFontName, long nFontSize,
                                   bool bBold, bool bUnderline, bool bItalic,
                                   const std::wstring& strDateFormat, const std::wstring& strNumberFormat);
    virtual void SetCellValueAndFormat(long nRow, long nColumn, const VARIANT& value,
                                       const std::wstring& strFontName, long nFontSize, bool bBold,
                                       bool bUnderline, bool bItalic, const std::wstring& strDateFormat,
                                       const std::wstring& strNumberFormat);
    virtual void AutoFitColumn(long nColumn, long nLastRow);
    virtual void AlignColumnLeft(long nColumn, long nLastRow);
    virtual void Open();
    virtual void DeleteRange(xl::Range& range, LONG nShiftDirection);
    virtual bool GetRange(const std::wstring& strFirstCell, const std::wstring& strSecondCell,
                          xl::Range* pRange);
    virtual bool GetCellRange(long nRow, long nColumn, xl::Range* pRange);
    virtual void SetBlockText(std::wstring_view strText, long nRowIndex, long nColumnIndex,
                              KVValueBlock* pBlock);

    // Why the last Save did not write the workbook (empty after a save that
    // was carried out, or one the user abandoned).
    const std::wstring& GetSaveError() const { return m_strSaveError; }
    bool IsAbandoned() const { return m_bAbandoned != 0; }
    bool IsStarted() const { return m_bStarted != 0; }

    // WriteBlock for a block whose first row lands on worksheet row
    // nFirstRow. False when the values did not reach the sheet; the user has
    // then been told why.
    bool WriteBlockAt(KVValueBlock* pBlock, long nFirstRow, long nRows, long nColumns);

    // The most cells the application takes or gives in one block.
    static constexpr long msc_nMaxBlockCells = 16777216;

    // Gives every listed cell (row, column) a forced number or date format,
    // as SetCellNumberFormat does for one, in as few calls as the cells'
    // names allow: a large report formats hundreds of thousands of cells.
    void SetCellsFormat(const std::vector<std::pair<long, long>>& cells, const std::wstring& strFormat);

    // Appends the cells from (nFirstRow, nFirstColumn) to (nLastRow,
    // nLastColumn) that hold a typed value, neither empty nor text, row by
    // row and each row left to right. What was read is freed on a second
    // thread once the cells are listed. False when the range cannot be read.
    bool ReadTypedCells(long nFirstRow, long nFirstColumn, long nLastRow, long nLastColumn,
                        std::vector<KVTypedCell>& cells);

    static constexpr LONG msc_nShiftUp = -4162;
    static constexpr LONG msc_nShiftToLeft = -4159;
    static constexpr LONG msc_nAlignLeft = -4131;
    static constexpr SHORT msc_nUnderlineSingle = 2;
    static constexpr LONG msc_nUnderlineNone = -4142;
    static const wchar_t* const msc_sRetryQuestion;

protected:
    // Turns a caught failure into the diagnostic text kept in the debug log.
    void NoteFailure(const char* pszOperation);

    std::wstring m_strOutputPath;
    xl::Application m_application;
    xl::Worksheet m_worksheet;
    VARIANT m_varMissing;
    VARIANT m_varOne;
    VARIANT m_varZero;
    BYTE m_bAbandoned;
    BYTE m_bStarted;
    std::wstring m_strSaveError;

private:
    // Runs `action` on the one-cell range at (nRow, nColumn) when that cell
    // can be reached; a failure is noted under `pszOperation`.
    template <class Action>
    void OnCell(long nRow, long nColumn, const char* pszOperation, Action&& action) {
        try {
            xl::Range range;
            if (GetCellRange(nRow, nColumn, &range) && range.IsAttached()) {
                action(range);
            }
        } catch (...) {
            NoteFailure(pszOperation);
        }
    }

    bool DeleteSpanIfEmpty(long nFirstRow, long nFirstColumn, long nLastRow, long nLastColumn, bool bRow);
    // The format text as a call's argument. Cells are formatted one at a
    // time with the same few formats, so the string last made is kept and
    // passed again while the format stays the same.
    const VARIANT& FormatArgument(const std::wstring& strFormat);
    // GetRange for names that need not be strings of their own: the cell
    // operations name their cells in buffers of their own.
    bool GetNamedRange(const wchar_t* pszFirst, std::size_t nFirstLength, const wchar_t* pszSecond,
                       std::size_t nSecondLength, xl::Range* pRange);
    // The range from (nFirstRow, nFirstColumn) to (nLastRow, nLastColumn).
    bool GetSpanRange(long nFirstRow, long nFirstColumn, long nLastRow, long nLastColumn, xl::Range* pRange);

    VARIANT m_varFormat;
    // Frees the values ReadTypedCells read; joined before the next read,
    // before saving, and on destruction.
    std::jthread m_reaper;
};
