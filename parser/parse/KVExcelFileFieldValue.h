// One cell of the grid: where it stands, its text and what its run carried.
//
// Rows hold their cells by value, so the class stays small and movable: no
// virtual member, and moving it moves the text's buffer.
#pragma once

#include <string>

class KVExcelFileFieldInfoToken;

class KVExcelFileFieldValue {
public:
    KVExcelFileFieldValue();
    // A cell for one run of a printer text file.
    KVExcelFileFieldValue(int nRow, int nColumn, const KVExcelFileFieldInfoToken& token);
    // A cell holding plain text.
    KVExcelFileFieldValue(int nRow, int nColumn, std::wstring strText);
    ~KVExcelFileFieldValue();
    KVExcelFileFieldValue(const KVExcelFileFieldValue&) = default;
    KVExcelFileFieldValue& operator=(const KVExcelFileFieldValue&) = default;
    KVExcelFileFieldValue(KVExcelFileFieldValue&&) noexcept = default;
    KVExcelFileFieldValue& operator=(KVExcelFileFieldValue&&) noexcept = default;

    bool IsEmpty() const { return m_strText.empty(); }
    int GetRow() const { return m_nRow; }
    int GetColumn() const { return m_nColumn; }
    const std::wstring& GetText() const { return m_strText; }

    int m_nRow;
    int m_nColumn;
    int m_nColumnKey;  // N1 of the run
    int m_nN3;
    int m_nN2;
    int m_nN4;
    bool m_bBold;
    bool m_bUnderline;
    bool m_bItalic;
    int m_nN5;
    std::wstring m_strText;
};
