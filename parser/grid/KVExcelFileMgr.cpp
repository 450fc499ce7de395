#include "parser/grid/KVExcelFileMgr.h"

#include <algorithm>
#include <climits>
#include <exception>
#include <string_view>

#include "parser/parse/KVExcelFileFieldInfoParser.h"
#include "parser/parse/KVTextFile.h"

namespace {

// How far past the rows in use a new cell may stand and still get a dense
// row: a file adds rows one line at a time, so only direct callers jump.
constexpr std::size_t kDenseRowReach = std::size_t{1} << 20;

std::uint64_t FarKey(int nRow, int nColumn) {
    return (static_cast<std::uint64_t>(static_cast<std::uint32_t>(nRow)) << 32) |
           static_cast<std::uint32_t>(nColumn);
}

bool ColumnBefore(const auto& slot, int nColumn) {
    return slot.nColumn < nColumn;
}

}  // namespace

KVExcelFileMgr::KVExcelFileMgr() = default;

KVExcelFileMgr::~KVExcelFileMgr() {
    Clear();
}

void KVExcelFileMgr::Clear() {
    m_rows.clear();
    m_rows.shrink_to_fit();
    m_farCells.clear();
    m_nCellCount = 0;
    m_nColumnLimit = 0;
    // The row limit goes too: a grid loaded again must not keep the length
    // of the file it held before.
    m_nRowLimit = 0;
}

int KVExcelFileMgr::GetRowLimit() const {
    return m_nRowLimit;
}

int KVExcelFileMgr::GetColumnLimit() const {
    return m_nColumnLimit;
}

bool KVExcelFileMgr::GetCellKey(int nRow, int nColumn, std::wstring& strKey) const {
    if (nRow < 0 || nColumn < 0) {
        return false;
    }
    strKey = L"ROW" + std::to_wstring(nRow) + L"COL" + std::to_wstring(nColumn);
    return true;
}

KVExcelFileFieldValue* KVExcelFileMgr::GetValue(int nRow, int nColumn) const {
    if (nRow < 0 || nColumn < 0) {
        return nullptr;
    }
    if (static_cast<std::size_t>(nRow) < m_rows.size()) {
        const Row& row = m_rows[static_cast<std::size_t>(nRow)];
        const auto it = std::lower_bound(row.begin(), row.end(), nColumn, ColumnBefore<Slot>);
        if (it != row.end() && it->nColumn == nColumn) {
            return it->pValue.get();
        }
    }
    if (!m_farCells.empty()) {
        const auto it = m_farCells.find(FarKey(nRow, nColumn));
        if (it != m_farCells.end()) {
            return it->second.get();
        }
    }
    return nullptr;
}

void KVExcelFileMgr::Include(int nRow, int nColumn) {
    // Limits are exclusive bounds; a cell at INT_MAX cannot be bounded and
    // is refused before it gets here.
    m_nRowLimit = std::max(m_nRowLimit, nRow + 1);
    m_nColumnLimit = std::max(m_nColumnLimit, nColumn + 1);
}

bool KVExcelFileMgr::AddValue(KVExcelFileFieldValue* pValue) {
    if (pValue == nullptr) {
        return false;
    }
    const int nRow = pValue->m_nRow;
    const int nColumn = pValue->m_nColumn;
    if (nRow < 0 || nColumn < 0 || nRow == INT_MAX || nColumn == INT_MAX) {
        return false;
    }
    if (GetValue(nRow, nColumn) != nullptr) {
        return false;
    }
    // Everything that can fail to allocate happens before the grid takes the
    // cell, so a refused or failed call always leaves the cell to the caller.
    const auto rowIndex = static_cast<std::size_t>(nRow);
    if (rowIndex < m_rows.size() + kDenseRowReach) {
        if (rowIndex >= m_rows.size()) {
            m_rows.resize(rowIndex + 1);
        }
        Row& row = m_rows[rowIndex];
        if (row.size() == row.capacity()) {
            row.reserve(std::max<std::size_t>(4, 2 * row.capacity()));
        }
        // Loading adds each row's cells left to right, so this is an append.
        auto it = row.end();
        if (!row.empty() && row.back().nColumn > nColumn) {
            it = std::lower_bound(row.begin(), row.end(), nColumn, ColumnBefore<Slot>);
        }
        row.insert(it, Slot{nColumn, nullptr})->pValue.reset(pValue);
    } else {
        m_farCells.try_emplace(FarKey(nRow, nColumn)).first->second.reset(pValue);
    }
    ++m_nCellCount;
    Include(nRow, nColumn);
    return true;
}

bool KVExcelFileMgr::Load(const std::wstring& strPath) {
    Clear();
    return m_bPlainMode ? LoadPlain(strPath) : LoadTokens(strPath);
}

bool KVExcelFileMgr::LoadTokens(const std::wstring& strPath) {
    KVTextFileReader reader;
    if (!reader.Open(strPath)) {
        return true;
    }
    // Columns are the ranks of the column keys, known only once every line is
    // read. Rather than keep every run until then, each run becomes its cell
    // at once and learns its column at the end: only cells are ever held.
    std::vector<std::unique_ptr<KVExcelFileFieldValue>> cells;
    try {
        KVExcelFileFieldInfoToken token;
        std::wstring line;
        int index = 0;
        for (;;) {
            const auto status = reader.ReadLine(line);
            if (status == KVTextFileReader::enRead::enEnd) {
                break;
            }
            if (status == KVTextFileReader::enRead::enError || index == INT_MAX) {
                return false;
            }
            KVExcelFileFieldInfoParser::TokenizeLine(
                index, line, token, [&](const KVExcelFileFieldInfoToken& run) {
                    cells.push_back(std::make_unique<KVExcelFileFieldValue>(run.m_nLineIndex, 0, run));
                });
            ++index;
        }
    } catch (const std::exception&) {
        return false;
    }

    std::vector<int> keys;
    keys.reserve(cells.size());
    for (const auto& cell : cells) {
        keys.push_back(cell->m_nColumnKey);
    }
    std::sort(keys.begin(), keys.end());
    keys.erase(std::unique(keys.begin(), keys.end()), keys.end());

    // Cells go in in reading order, so where two runs of one key share a line
    // the first one read keeps the position.
    for (auto& cell : cells) {
        const auto rank = std::lower_bound(keys.begin(), keys.end(), cell->m_nColumnKey) - keys.begin();
        cell->m_nColumn = static_cast<int>(2 * rank);
        m_nRowLimit = std::max(m_nRowLimit, cell->m_nRow + 1);
        if (AddValue(cell.get())) {
            static_cast<void>(cell.release());
        }
        cell.reset();
    }
    const auto counter = static_cast<long long>(2 * keys.size());
    if (counter > m_nColumnLimit) {
        m_nColumnLimit = static_cast<int>(std::min<long long>(counter + 1, INT_MAX));
    }
    return true;
}

bool KVExcelFileMgr::LoadPlain(const std::wstring& strPath) {
    KVTextFileReader reader;
    if (!reader.Open(strPath)) {
        return true;
    }
    int row = 1;
    try {
        std::wstring line;
        while (row < INT_MAX && reader.ReadLine(line) == KVTextFileReader::enRead::enLine) {
            std::erase(line, L'\r');
            if (!line.empty()) {
                std::wstring_view rest(line);
                int piece = 0;
                for (;;) {
                    const std::size_t tab = rest.find(L'\t');
                    if (tab == std::wstring_view::npos && rest.empty()) {
                        break;  // nothing after the last tab
                    }
                    const std::wstring_view text = rest.substr(0, tab);
                    if (piece < INT_MAX - 1) {
                        ++piece;
                        auto cell = std::make_unique<KVExcelFileFieldValue>(row, piece, std::wstring(text));
                        if (AddValue(cell.get())) {
                            static_cast<void>(cell.release());
                        }
                    }
                    if (tab == std::wstring_view::npos) {
                        break;
                    }
                    rest.remove_prefix(tab + 1);
                }
                m_nColumnLimit = std::max(m_nColumnLimit, piece + 1);
            }
            ++row;
        }
    } catch (const std::exception&) {
        // Whatever was read before the failure stays in the grid.
    }
    m_nRowLimit = row;
    return true;
}
