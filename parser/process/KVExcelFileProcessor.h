// Converts one printer text file into one workbook: the cell grid goes to
// the sheet in one block and comes back typed; dates, times and numbers are
// formatted from what the sheet stored; the profile's anchors, empty-row and
// empty-column removal, column sizing and final selection follow; the
// workbook is saved under the output path.
#pragma once

#include <memory>
#include <string>

#include "parser/process/KVFileProcessor.h"

class KVSpreadSheet;
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
    // The largest worksheet of all.
    static constexpr long msc_nSheetMaxRows = 1048576;
    static constexpr long msc_nSheetMaxColumns = 16384;

private:
    struct GridFacts;
    // Releases the grid once it has taken from it all that later steps need.
    void WriteAndFormat(std::unique_ptr<KVExcelFileMgr>& grid, GridFacts& facts, int nRows, int nColumns);
    void ApplyProperties(const GridFacts& facts, int nRows, int nColumns);

    KVSpreadSheet* m_pSpreadSheet;
    const KVDriverOptionsExcel* m_pProfile = nullptr;
    bool m_bPdfSource = false;
    // Size of the grid last written, for advice when the save fails.
    long m_nGridRows = 0;
    long m_nGridColumns = 0;
    // Why the report was not written at all (too large for a worksheet); the
    // save then writes nothing.
    std::wstring m_strRefusal;
};
