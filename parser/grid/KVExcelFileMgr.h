// The content of one print job as a sparse grid of cells with zero-based rows
// and columns, and exclusive upper bounds for both.
//
// Cells are found by (row, column); the cell key text "ROW<r>COL<c>" names a
// position where one is needed as text.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "parser/parse/KVExcelFileFieldValue.h"

class KVExcelFileMgr {
public:
    KVExcelFileMgr();
    virtual ~KVExcelFileMgr();
    KVExcelFileMgr(const KVExcelFileMgr&) = delete;
    KVExcelFileMgr& operator=(const KVExcelFileMgr&) = delete;

    // Fills the grid from a file: in plain mode tab-separated lines from row
    // 1 and column 1 on, otherwise printer text runs, the k-th smallest column
    // key in column 2k. A file that cannot be opened gives an empty grid and
    // true; false only when reading printer text fails part-way (the grid is
    // then empty).
    virtual bool Load(const std::wstring& strPath);
    // Why the last Load failed: the file's path and the reason.
    const std::wstring& GetLoadError() const { return m_strLoadError; }
    // The cell at a position, or none. Valid until its row changes. A cell
    // loaded from a file views its text in the grid's memory: one to keep
    // past its row is copied, which copies the text too.
    virtual KVExcelFileFieldValue* GetValue(int nRow, int nColumn) const;
    virtual int GetRowLimit() const;
    virtual int GetColumnLimit() const;
    // Deletes every cell; both limits return to 0.
    virtual void Clear();
    // Takes the cell, at the row and column it names: the grid keeps its
    // content, with a text of its own, and deletes `pValue`. False (and the
    // caller keeps the cell) for none, a negative position or a position
    // already taken. The limits grow to take the cell in.
    virtual bool AddValue(KVExcelFileFieldValue* pValue);
    // "ROW<r>COL<c>"; false for a negative row or column.
    virtual bool GetCellKey(int nRow, int nColumn, std::wstring& strKey) const;

    // Set by the processor for text that comes from a PDF.
    void SetPlainMode(bool bPlainMode) { m_bPlainMode = bPlainMode; }
    bool IsPlainMode() const { return m_bPlainMode; }

    std::size_t GetCellCount() const { return m_nCellCount; }
    // Frees the cells of a row held with the rows in use; the limits stay.
    // For a caller that walks the grid once, so that a large job does not
    // hold the grid and what it is copied into at the same time.
    void ReleaseRow(int nRow);
    // Calls visit(column, cell) for the cells of a row, left to right: a walk
    // over the cells that exist for a caller that would otherwise try every
    // column of every row.
    template <typename Visit>
    void ForEachInRow(int nRow, Visit&& visit) const;

private:
    static constexpr std::uint32_t kNoBlock = UINT32_MAX;

    // A row's cells by value, by column: one allocation per row rather than
    // one per cell, and a walk along the row reads contiguous memory.
    struct Row {
        std::vector<KVExcelFileFieldValue> cells;
        std::uint32_t nTextBlock = kNoBlock;  // where its loaded cells' texts are
    };
    // Loaded texts, those of many rows side by side, so that a large file
    // costs an allocation per block rather than per text, and its rows, freed
    // in turn, free whole blocks. Each row's texts stay in one block.
    struct TextBlock {
        std::unique_ptr<wchar_t[]> texts;  // none once its rows are released
        std::size_t nUsed = 0;
        std::size_t nCapacity = 0;
        std::size_t nRows = 0;  // rows held whose texts are here
    };

    bool LoadTokens(const std::wstring& strPath);
    bool LoadPlain(const std::wstring& strPath);
    void Include(int nRow, int nColumn);
    // The dense row for a cell about to be stored, or none when the row lies
    // too far beyond the rows in use.
    Row* DenseRow(int nRow);
    // A copy of a row's texts, `texts` side by side, that its cells can view.
    // For a row whose cells view nothing yet.
    const wchar_t* KeepRowTexts(Row& row, std::wstring_view texts);

    // Rows near the ones in use are held densely, so that walking the grid
    // row by row costs no hashing; a cell far beyond them (only a caller of
    // AddValue can put one there) goes to a map instead of growing the rows.
    std::vector<Row> m_rows;
    std::unordered_map<std::uint64_t, std::unique_ptr<KVExcelFileFieldValue>> m_farCells;
    std::vector<TextBlock> m_textBlocks;
    std::size_t m_nCellCount = 0;
    std::wstring m_strLoadError;
    bool m_bPlainMode = false;
    int m_nColumnLimit = 0;
    int m_nRowLimit = 0;
};

template <typename Visit>
void KVExcelFileMgr::ForEachInRow(int nRow, Visit&& visit) const {
    if (!m_farCells.empty()) {
        // Cells beyond the dense rows may belong to any row: ask for each column.
        for (int j = 0; j < m_nColumnLimit; ++j) {
            if (const KVExcelFileFieldValue* cell = GetValue(nRow, j)) {
                visit(j, *cell);
            }
        }
        return;
    }
    if (nRow < 0 || static_cast<std::size_t>(nRow) >= m_rows.size()) {
        return;
    }
    for (const KVExcelFileFieldValue& cell : m_rows[static_cast<std::size_t>(nRow)].cells) {
        visit(cell.m_nColumn, cell);
    }
}
