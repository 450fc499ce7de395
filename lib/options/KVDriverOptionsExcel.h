// A spreadsheet conversion profile: output, font, removal switches, date and
// number formats, report identifier and the remove-data anchors it owns.
#pragma once

#include <vector>

#include "lib/options/KVDriverOptionsProfile.h"
#include "lib/options/KVExcelRemoveDataAnchor.h"

class KVLIB_API KVDriverOptionsExcel : public KVDriverOptionsProfile {
public:
    static const wchar_t* const msc_sDateFormat_Custom;
    static const wchar_t* const msc_sDateFormat_m_d_yyyy;
    static const wchar_t* const msc_sDateFormat_m_d_yy;
    static const wchar_t* const msc_sDateFormat_dddd_mmmm_dd_yyyy;
    static const wchar_t* const msc_sDateFormat_mm_dd_yyyy;
    static const wchar_t* const msc_sDateFormat_d_mmm_yy;
    static const wchar_t* const msc_sDateFormat_yyyy_mm_dd;
    static const wchar_t* const msc_sNumberFormat_General;
    static const wchar_t* const msc_sNumberFormat_Percentage;
    static const wchar_t* const msc_sNumberFormat_Currency;
    // Returned by GetCustomDateFormat when there is no custom format.
    static wchar_t msc_sEmptyString[KV_TEXT_CAPACITY];

    static LPCTSTR GetDateFormat_Custom() { return msc_sDateFormat_Custom; }
    static LPCTSTR GetDateFormat_m_d_yyyy() { return msc_sDateFormat_m_d_yyyy; }
    static LPCTSTR GetDateFormat_m_d_yy() { return msc_sDateFormat_m_d_yy; }
    static LPCTSTR GetDateFormat_dddd_mmmm_dd_yyyy() { return msc_sDateFormat_dddd_mmmm_dd_yyyy; }
    static LPCTSTR GetDateFormat_mm_dd_yyyy() { return msc_sDateFormat_mm_dd_yyyy; }
    static LPCTSTR GetDateFormat_d_mmm_yy() { return msc_sDateFormat_d_mmm_yy; }
    static LPCTSTR GetDateFormat_yyyy_mm_dd() { return msc_sDateFormat_yyyy_mm_dd; }
    static LPCTSTR GetNumberFormat_General() { return msc_sNumberFormat_General; }
    static LPCTSTR GetNumberFormat_Percentage() { return msc_sNumberFormat_Percentage; }
    static LPCTSTR GetNumberFormat_Currency() { return msc_sNumberFormat_Currency; }

    KVDriverOptionsExcel();
    KVDriverOptionsExcel(const KVDriverOptionsExcel& other);
    KVDriverOptionsExcel& operator=(const KVDriverOptionsExcel& other);
    ~KVDriverOptionsExcel() override;

    BOOL LoadSettings() override;
    BOOL SaveSettings() override;
    void LoadDefaultValues() override;
    void ClearOptions() override;
    KVFileParserTypes::enFileParserType GetDriverOptionType() const override;
    KVDriverOptionsProfile* Clone() const override;
    void ToXml(KVXmlProfile* xml) const override;
    void FromXml(KVXmlProfile* xml) override;

    // The virtual operations below are part of the binary interface: keep their order.
    virtual LPCTSTR GetDefaultOutputFolder() const;
    virtual void SetDefaultOutputFolder(LPCTSTR folder);
    virtual LPCTSTR GetLastFileOpened() const;
    virtual void SetLastFileOpened(LPCTSTR file);
    virtual BOOL GetMoveToTopLeftCell() const;
    virtual void SetMoveToTopLeftCell(BOOL value);
    virtual BOOL GetResizeCells() const;
    virtual void SetResizeCells(BOOL value);
    virtual BOOL GetRemoveFormattingOfCells() const;
    virtual void SetRemoveFormattingOfCells(BOOL value);
    virtual LPCTSTR GetFontName() const;
    virtual void SetFontName(LPCTSTR name);
    virtual long GetFontSize() const;
    virtual void SetFontSize(long size);
    virtual BOOL GetFontBold() const;
    virtual void SetFontBold(BOOL value);
    virtual BOOL GetFontUnderline() const;
    virtual void SetFontUnderline(BOOL value);
    virtual BOOL GetFontItalicize() const;
    virtual void SetFontItalicize(BOOL value);
    virtual BOOL GetRemoveDataSection() const;
    virtual void SetRemoveDataSection(BOOL value);
    virtual BOOL GetRemoveRowsWithSpace() const;
    virtual void SetRemoveRowsWithSpace(BOOL value);
    virtual BOOL GetRemoveColumnsWithSpace() const;
    virtual void SetRemoveColumnsWithSpace(BOOL value);
    virtual LPCTSTR GetDateFormatW() const;
    // Stores `format`; the custom format is kept only with the format "Custom".
    virtual void SetDateFormat(LPCTSTR format, LPCTSTR customFormat);
    virtual bool GetIsCustomDateFormat() const;
    virtual LPCTSTR GetCustomDateFormat() const;
    virtual LPCTSTR GetNumericFormat() const;
    virtual void SetNumericFormat(LPCTSTR format);
    virtual LPCTSTR GetReportIdentifier() const;
    virtual void SetReportIdentifier(LPCTSTR identifier);
    // Appends a new anchor in its constructor state; the profile owns it.
    virtual KVExcelRemoveDataAnchor* CreateRemoveDataAnchor();
    virtual long GetRemoveDataAnchorCount() const;
    virtual const KVExcelRemoveDataAnchor* GetRemoveDataAnchor(LPCTSTR descriptor) const;
    virtual const KVExcelRemoveDataAnchor* GetRemoveDataAnchor(long index) const;
    virtual KVExcelRemoveDataAnchor* GetEditableRemoveDataAnchor(LPCTSTR descriptor);
    virtual KVExcelRemoveDataAnchor* GetEditableRemoveDataAnchor(long index);
    virtual void RemoveDataAnchor(LPCTSTR descriptor);
    virtual void RemoveDataAnchor(long index);
    virtual void ClearAllDataAnchors();

protected:
    void InternalCopy(const KVDriverOptions& source) override;

private:
    long FindAnchor(LPCTSTR descriptor) const;

    wchar_t m_sDefaultOutputFolder[KV_TEXT_CAPACITY] = {};
    wchar_t m_sLastFileOpened[KV_TEXT_CAPACITY] = {};
    BOOL m_bMoveToTopLeftCell = 1;
    BOOL m_bResizeCells = 1;
    BOOL m_bRemoveFormattingOfCells = 0;
    wchar_t m_sFontName[KV_TEXT_CAPACITY] = {};
    long m_lFontSize = 12;
    BOOL m_bFontBold = 0;
    BOOL m_bFontUnderline = 0;
    BOOL m_bFontItalicize = 0;
    BOOL m_bRemoveDataSection = 0;
    std::vector<KVExcelRemoveDataAnchor*> m_arrRemoveDataAnchors;
    BOOL m_bRemoveRowsWithSpace = 0;
    BOOL m_bRemoveColumnsWithSpace = 0;
    wchar_t m_sDateFormat[KV_TEXT_CAPACITY] = {};
    wchar_t m_sNumericFormat[KV_TEXT_CAPACITY] = {};
    wchar_t m_sReportIdentifier[KV_TEXT_CAPACITY] = {};
    wchar_t m_sCustomDateFormat[KV_TEXT_CAPACITY] = {};
};
