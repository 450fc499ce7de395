// Plain in-memory records of the XML profile file: a profile, its font and its
// remove-data anchors, as they are read from or written to the file.
#pragma once

#include <vector>

#include "lib/util/KVLibApi.h"
#include "lib/util/KVWinTypes.h"
#include "lib/xml/KVXmlNode.h"

class KVLIB_API KVXmlFont {
public:
    KVXmlFont();
    KVXmlFont(const KVXmlFont& other);
    KVXmlFont& operator=(const KVXmlFont& other);
    virtual ~KVXmlFont();

    LPCTSTR GetFontName() const { return m_sFontName; }
    void SetFontName(LPCTSTR name);
    long GetFontSize() const { return m_lFontSize; }
    void SetFontSize(long size) { m_lFontSize = size; }
    int GetBold() const { return m_nBold; }
    void SetBold(int value) { m_nBold = value; }
    int GetUnderline() const { return m_nUnderline; }
    void SetUnderline(int value) { m_nUnderline = value; }
    int GetItalicize() const { return m_nItalicize; }
    void SetItalicize(int value) { m_nItalicize = value; }
    int GetRemoveFormattingOfCells() const { return m_nRemoveFormattingOfCells; }
    void SetRemoveFormattingOfCells(int value) { m_nRemoveFormattingOfCells = value; }

    // Appends the font's child elements to `element`.
    void OutputXml(KVXmlNode* element) const;

private:
    wchar_t m_sFontName[KV_TEXT_CAPACITY] = {};
    long m_lFontSize = 12;
    int m_nBold = 0;
    int m_nUnderline = 0;
    int m_nItalicize = 0;
    int m_nRemoveFormattingOfCells = 0;
};

class KVLIB_API KVXmlRemoveDataAnchor {
public:
    KVXmlRemoveDataAnchor();
    KVXmlRemoveDataAnchor(const KVXmlRemoveDataAnchor& other);
    KVXmlRemoveDataAnchor& operator=(const KVXmlRemoveDataAnchor& other);
    virtual ~KVXmlRemoveDataAnchor();

    LPCTSTR GetAnchorDescriptor() const { return m_sAnchorDescriptor; }
    void SetAnchorDescriptor(LPCTSTR descriptor);
    long GetAnchorIndex() const { return m_lAnchorIndex; }
    void SetAnchorIndex(long value) { m_lAnchorIndex = value; }
    long GetAnchorType() const { return m_lAnchorType; }
    void SetAnchorType(long value) { m_lAnchorType = value; }
    long GetAreaBottom() const { return m_lAreaBottom; }
    void SetAreaBottom(long value) { m_lAreaBottom = value; }
    long GetAreaLeft() const { return m_lAreaLeft; }
    void SetAreaLeft(long value) { m_lAreaLeft = value; }
    long GetAreaRight() const { return m_lAreaRight; }
    void SetAreaRight(long value) { m_lAreaRight = value; }
    long GetAreaTop() const { return m_lAreaTop; }
    void SetAreaTop(long value) { m_lAreaTop = value; }

    void OutputXml(KVXmlNode* element) const;

private:
    wchar_t m_sAnchorDescriptor[KV_TEXT_CAPACITY] = {};
    long m_lAnchorIndex = 0;
    long m_lAnchorType = 0;
    long m_lAreaBottom = 0;
    long m_lAreaLeft = 0;
    long m_lAreaRight = 0;
    long m_lAreaTop = 0;
};

class KVLIB_API KVXmlProfile {
public:
    KVXmlProfile();
    // Copies hold copies of the anchors, never shared ones.
    KVXmlProfile(const KVXmlProfile& other);
    KVXmlProfile& operator=(const KVXmlProfile& other);
    virtual ~KVXmlProfile();

    KVXmlFont& GetFont() { return m_font; }
    const KVXmlFont& GetFont() const { return m_font; }
    // Null when `index` is out of range.
    KVXmlRemoveDataAnchor* GetAnchor(long index) const;
    long GetAnchorCount() const { return static_cast<long>(m_arrAnchors.size()); }
    // Appends `anchor` and takes ownership of it.
    void AddAnchor(KVXmlRemoveDataAnchor* anchor);

    long GetProfileType() const { return m_lProfileType; }
    void SetProfileType(long type) { m_lProfileType = type; }
    LPCTSTR GetDateFormatW() const { return m_sDateFormat; }
    LPCTSTR GetCustomDateFormat() const { return m_sCustomDateFormat; }
    // The custom format is kept when not empty, otherwise emptied.
    void SetDateFormat(LPCTSTR format, LPCTSTR customFormat);
    LPCTSTR GetNumericFormat() const { return m_sNumericFormat; }
    void SetNumericFormat(LPCTSTR format);
    LPCTSTR GetProfileName() const { return m_sProfileName; }
    void SetProfileName(LPCTSTR name);
    LPCTSTR GetReportIdentifier() const { return m_sReportIdentifier; }
    void SetReportIdentifier(LPCTSTR identifier);
    int GetMoveToTopLeftCell() const { return m_nMoveToTopLeftCell; }
    void SetMoveToTopLeftCell(int value) { m_nMoveToTopLeftCell = value; }
    int GetRemoveColumnsWithSpace() const { return m_nRemoveColumnsWithSpace; }
    void SetRemoveColumnsWithSpace(int value) { m_nRemoveColumnsWithSpace = value; }
    int GetRemoveDataSection() const { return m_nRemoveDataSection; }
    void SetRemoveDataSection(int value) { m_nRemoveDataSection = value; }
    int GetRemoveRowsWithSpace() const { return m_nRemoveRowsWithSpace; }
    void SetRemoveRowsWithSpace(int value) { m_nRemoveRowsWithSpace = value; }
    int GetResizeCells() const { return m_nResizeCells; }
    void SetResizeCells(int value) { m_nResizeCells = value; }

    // Appends the profile's child elements to `element`.
    void OutputXml(KVXmlNode* element) const;

protected:
    void ClearAnchorArray();

private:
    void CopyFields(const KVXmlProfile& other);

    KVXmlFont m_font;
    std::vector<KVXmlRemoveDataAnchor*> m_arrAnchors;
    long m_lProfileType = 0;
    wchar_t m_sDateFormat[KV_TEXT_CAPACITY] = {};
    wchar_t m_sCustomDateFormat[KV_TEXT_CAPACITY] = {};
    wchar_t m_sNumericFormat[KV_TEXT_CAPACITY] = {};
    wchar_t m_sProfileName[KV_TEXT_CAPACITY] = {};
    wchar_t m_sReportIdentifier[KV_TEXT_CAPACITY] = {};
    int m_nMoveToTopLeftCell = 0;
    int m_nRemoveColumnsWithSpace = 0;
    int m_nRemoveDataSection = 0;
    int m_nRemoveRowsWithSpace = 0;
    int m_nResizeCells = 0;
};
