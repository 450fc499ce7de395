// One cell of the grid: where it stands, its text and what its run carried.
//
// Rows hold their cells by value, so the class stays small and movable: no
// virtual member, and moving it moves the text's buffer.
//
// A cell made here owns its text. A cell the grid loads from a file only
// views its text in the grid's shared text blocks, since one allocation per
// text was a good part of loading a large file and of freeing it again: such
// a cell is valid while its row is held. A copy always owns its text; a move
// carries over what the source had.
#pragma once

#include <cstddef>
#include <string_view>

class KVExcelFileFieldInfoToken;
class KVExcelFileMgr;

class KVExcelFileFieldValue {
public:
    KVExcelFileFieldValue();
    // A cell for one run of a printer text file.
    KVExcelFileFieldValue(int nRow, int nColumn, const KVExcelFileFieldInfoToken& token);
    // A cell holding plain text.
    KVExcelFileFieldValue(int nRow, int nColumn, std::wstring_view strText);
    ~KVExcelFileFieldValue();
    KVExcelFileFieldValue(const KVExcelFileFieldValue& other);
    KVExcelFileFieldValue& operator=(const KVExcelFileFieldValue& other);
    KVExcelFileFieldValue(KVExcelFileFieldValue&& other) noexcept;
    KVExcelFileFieldValue& operator=(KVExcelFileFieldValue&& other) noexcept;

    bool IsEmpty() const { return m_nTextLength == 0; }
    int GetRow() const { return m_nRow; }
    int GetColumn() const { return m_nColumn; }
    std::wstring_view GetText() const { return {m_pText, m_nTextLength}; }

    int m_nRow;
    int m_nColumn;
    int m_nColumnKey;  // N1 of the run
    int m_nN3;
    int m_nN2;
    int m_nN4;
    int m_nN5;
    bool m_bBold;
    bool m_bUnderline;
    bool m_bItalic;

private:
    friend class KVExcelFileMgr;

    // Points the cell at text it does not own.
    void ViewText(const wchar_t* pText, std::size_t nLength) noexcept;
    // Gives a cell that views its text a copy of its own.
    void OwnText();
    void Swap(KVExcelFileFieldValue& other) noexcept;

    bool m_bOwnsText;  // beside the flags above, so the cell takes 48 bytes
    const wchar_t* m_pText;
    std::size_t m_nTextLength;
};
