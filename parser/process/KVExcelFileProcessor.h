// Converts one printer text file into one workbook: the cell grid goes to
// the sheet in one block and comes back typed; dates, times and numbers are
// formatted from what the sheet stored; the profile's anchors, empty-row and
// empty-column removal, column sizing and final selection follow; the
// workbook is saved under the output path.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "parser/process/KVFileProcessor.h"
#include "parser/sheet/KVSpreadSheet.h"

class KVDriverOptionsExcel;
class KVExcelFileMgr;

class KVExcelFileProcessor : public KVFileProcessor {
public:
    static const wchar_t* const msc_sTimeFormat;
    static const wchar_t* const msc_sLoadFailed;
    static const wchar_t* const msc_sSaveFailed;

    KVExcelFileProcessor(const std::wstring& strInputFile, const std::wstring& strOutputFile);
    ~KVExcelFileProcessor() override;

    bool Process() override;
    // True only when the workbook was written. A failure is shown to the user
    // with its reason; a save the user abandoned is not.
    bool SaveOutput() override;
    virtual void SetPdfSource(bool bPdfSource);
    virtual bool IsPdfSource() const;
    virtual void WriteCell(const std::wstring& strValue, long nRow, long nColumn,
                           const std::wstring& strFontName, long nFontSize, bool bBold, bool bItalic,
                           bool bUnderline, const std::wstring& strDateFormat,
                           const std::wstring& strNumberFormat);

    KVSpreadSheet* GetSpreadSheet() const { return m_pSpreadSheet; }

    // The largest sheet the older workbook format holds.
    static constexpr long msc_nXlsMaxRows = 65536;
    static constexpr long msc_nXlsMaxColumns = 256;

private:
    struct GridFacts;
    // True when the grid's rows and columns fit a worksheet; otherwise the
    // user is told both sizes and nothing is written.
    bool FitsWorksheet(int nRows, int nColumns);
    // Releases the grid once it has taken from it all that later steps need.
    // False when the values did not reach the sheet (the user has been told).
    bool WriteAndFormat(std::unique_ptr<KVExcelFileMgr>& grid, GridFacts& facts, int nRows, int nColumns);
    void ApplyProperties(const GridFacts& facts, int nRows, int nColumns);

    KVSpreadSheet* m_pSpreadSheet;
    const KVDriverOptionsExcel* m_pProfile = nullptr;
    bool m_bPdfSource = false;
    // Size of the grid last written, for advice when the save fails.
    long m_nGridRows = 0;
    long m_nGridColumns = 0;
    // Size of the worksheet; 0 or less when the sheet could not tell.
    long m_nSheetRows = 0;
    long m_nSheetColumns = 0;
};
