#include "parser/grid/KVExcelFileMgr.h"

#include <algorithm>
#include <climits>
#include <exception>
#include <iterator>
#include <string_view>
#include <unordered_set>

#include "parser/parse/KVExcelFileFieldInfoParser.h"
#include "parser/parse/KVTextFile.h"

namespace {

// How far past the rows in use a new cell may stand and still get a dense
// row. Files add rows line by line; only a direct caller, or a file with a
// million empty lines in a row, jumps further, and memory must not follow.
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

void KVExcelFileMgr::ReleaseRow(int nRow) {
    // Cells far beyond the rows in use are few and stay until Clear: finding
    // them would cost a look at each of them for every row released.
    if (nRow >= 0 && static_cast<std::size_t>(nRow) < m_rows.size()) {
        Row& row = m_rows[static_cast<std::size_t>(nRow)];
        m_nCellCount -= row.size();
        Row().swap(row);
    }
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
    if (Row* row = DenseRow(nRow)) {
        if (row->size() == row->capacity()) {
            row->reserve(std::max<std::size_t>(4, 2 * row->capacity()));
        }
        // Loading adds each row's cells left to right, so this is an append.
        auto it = row->end();
        if (!row->empty() && row->back().nColumn > nColumn) {
            it = std::lower_bound(row->begin(), row->end(), nColumn, ColumnBefore<Slot>);
        }
        row->insert(it, Slot{nColumn, nullptr})->pValue.reset(pValue);
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

KVExcelFileMgr::Row* KVExcelFileMgr::DenseRow(int nRow) {
    const auto rowIndex = static_cast<std::size_t>(nRow);
    if (rowIndex >= m_rows.size() + kDenseRowReach) {
        return nullptr;
    }
    if (rowIndex >= m_rows.size()) {
        m_rows.resize(rowIndex + 1);
    }
    return &m_rows[rowIndex];
}

bool KVExcelFileMgr::LoadTokens(const std::wstring& strPath) {
    KVTextFileReader reader;
    if (!reader.Open(strPath)) {
        return true;
    }
    // A run's column is the rank of its key among all keys, known only when
    // every line is read. Each run becomes its cell at once, filed under its
    // key; the keys turn into columns at the end. Ranks keep the order of the
    // keys, so every row stays sorted and no run is ever held twice.
    std::vector<int> keys;
    std::unordered_set<int> seenKeys;
    std::vector<std::unique_ptr<KVExcelFileFieldValue>> farCells;
    try {
        KVExcelFileFieldInfoToken token;
        std::wstring line;
        Row lineCells;
        int index = 0;
        for (;;) {
            const auto status = reader.ReadLine(line);
            if (status == KVTextFileReader::enRead::enEnd) {
                break;
            }
            if (status == KVTextFileReader::enRead::enError || index == INT_MAX) {
                Clear();
                return false;
            }
            lineCells.clear();
            KVExcelFileFieldInfoParser::TokenizeLine(
                index, line, token, [&](const KVExcelFileFieldInfoToken& run) {
                    const int key = run.m_nColumnKey;
                    const auto at =
                        std::lower_bound(lineCells.begin(), lineCells.end(), key, ColumnBefore<Slot>);
                    if (at != lineCells.end() && at->nColumn == key) {
                        return;  // a later run of a position already taken
                    }
                    lineCells.insert(at, Slot{key, std::make_unique<KVExcelFileFieldValue>(index, 0, run)});
                    if (seenKeys.insert(key).second) {
                        keys.push_back(key);
                    }
                });
            if (!lineCells.empty()) {
                m_nRowLimit = index + 1;
                if (Row* row = DenseRow(index)) {
                    row->reserve(lineCells.size());
                    std::move(lineCells.begin(), lineCells.end(), std::back_inserter(*row));
                    m_nCellCount += lineCells.size();
                } else {
                    for (Slot& slot : lineCells) {
                        farCells.push_back(std::move(slot.pValue));
                    }
                }
            }
            ++index;
        }
    } catch (const std::exception&) {
        Clear();
        return false;
    }

    std::sort(keys.begin(), keys.end());
    const auto columnOf = [&keys](int key) {
        return static_cast<int>(2 * (std::lower_bound(keys.begin(), keys.end(), key) - keys.begin()));
    };
    for (Row& row : m_rows) {
        for (Slot& slot : row) {
            slot.nColumn = columnOf(slot.nColumn);
            slot.pValue->m_nColumn = slot.nColumn;
        }
    }
    for (auto& cell : farCells) {
        cell->m_nColumn = columnOf(cell->m_nColumnKey);
        if (AddValue(cell.get())) {
            static_cast<void>(cell.release());
        }
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
                // Every tab ends a piece; what follows the last tab is one more
                // piece unless it is empty.
                const auto tabs = std::count(line.begin(), line.end(), L'\t');
                const bool tail = line.back() != L'\t';
                const auto pieces = static_cast<int>(std::min<long long>(tabs + (tail ? 1 : 0), INT_MAX - 1));
                Row* dense = DenseRow(row);
                if (dense != nullptr) {
                    dense->reserve(static_cast<std::size_t>(pieces));
                }
                std::size_t start = 0;
                for (int piece = 1; piece <= pieces; ++piece) {
                    std::size_t end = line.find(L'\t', start);
                    if (end == std::wstring::npos) {
                        end = line.size();
                    }
                    auto cell =
                        std::make_unique<KVExcelFileFieldValue>(row, piece, line.substr(start, end - start));
                    if (dense != nullptr) {
                        dense->push_back(Slot{piece, std::move(cell)});
                        ++m_nCellCount;
                    } else if (AddValue(cell.get())) {
                        static_cast<void>(cell.release());
                    }
                    start = end + 1;
                }
                m_nColumnLimit = std::max(m_nColumnLimit, pieces + 1);
            }
            ++row;
        }
    } catch (const std::exception&) {
        // Whatever was read before the failure stays in the grid.
    }
    m_nRowLimit = row;
    return true;
}
