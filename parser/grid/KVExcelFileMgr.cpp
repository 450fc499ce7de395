#include "parser/grid/KVExcelFileMgr.h"

#include <algorithm>
#include <array>
#include <climits>
#include <condition_variable>
#include <cstring>
#include <exception>
#include <iterator>
#include <memory>
#include <mutex>
#include <new>
#include <stdexcept>
#include <string_view>
#include <system_error>
#include <thread>
#include <type_traits>

#include "parser/parse/KVExcelFileFieldInfoParser.h"
#include "parser/parse/KVTextFile.h"
#include "platform/base/TextCodec.h"

namespace {

// A row that grows, or takes a cell in its middle, moves its cells along:
// copying them would copy every owned text.
static_assert(std::is_nothrow_move_constructible_v<KVExcelFileFieldValue> &&
              std::is_nothrow_move_assignable_v<KVExcelFileFieldValue>);

// How far past the rows in use a new cell may stand and still get a dense
// row. Files add rows line by line; only a direct caller, or a file with a
// million empty lines in a row, jumps further, and memory must not follow.
constexpr std::size_t kDenseRowReach = std::size_t{1} << 20;

// Loaded texts go in blocks of this many characters (or one block for a row
// whose texts are longer). Kept under the size from which the allocator maps
// a block of its own, so that a freed block returns to the heap and serves
// what the caller allocates next.
constexpr std::size_t kTextBlockChars = (64 * 1024 - 64) / sizeof(wchar_t);

std::uint64_t FarKey(int nRow, int nColumn) {
    return (static_cast<std::uint64_t>(static_cast<std::uint32_t>(nRow)) << 32) |
           static_cast<std::uint32_t>(nColumn);
}

bool ColumnBefore(const KVExcelFileFieldValue& cell, int nColumn) {
    return cell.m_nColumn < nColumn;
}

// The distinct column keys of a file. Every run asks about its key, and a
// file has few distinct keys: an open-addressed table answers from one cache
// line where a node-based set would allocate per key.
class KeySet {
public:
    // True when `key` was not met before.
    bool Insert(int key) {
        if (2 * (m_keys.size() + 1) > m_slots.size()) {
            Grow();
        }
        Entry& entry = Find(key);
        if (entry.used) {
            return false;
        }
        m_keys.push_back(key);
        entry = Entry{key, 0, true};
        return true;
    }
    std::size_t Size() const { return m_keys.size(); }
    // Orders the keys; from then on RankOf tells a key's place among them.
    void Sort() {
        std::sort(m_keys.begin(), m_keys.end());
        for (std::size_t i = 0; i < m_keys.size(); ++i) {
            Find(m_keys[i]).rank = static_cast<int>(i);
        }
    }
    // For a key met before, after Sort. Safe from several threads at once.
    int RankOf(int key) const {
        const std::size_t mask = m_slots.size() - 1;
        std::size_t i = Home(key, mask);
        while (m_slots[i].key != key) {
            i = (i + 1) & mask;
        }
        return m_slots[i].rank;
    }

private:
    struct Entry {
        int key = 0;
        int rank = 0;
        bool used = false;
    };

    static std::size_t Home(int key, std::size_t mask) {
        // Fibonacci hashing spreads keys that differ in their low bits only.
        return static_cast<std::size_t>(static_cast<std::uint32_t>(key) * 0x9E3779B9U) & mask;
    }

    // The entry holding `key`, or the free one where it would go.
    Entry& Find(int key) {
        const std::size_t mask = m_slots.size() - 1;
        std::size_t i = Home(key, mask);
        while (m_slots[i].used && m_slots[i].key != key) {
            i = (i + 1) & mask;
        }
        return m_slots[i];
    }

    void Grow() {
        std::vector<Entry> slots(m_slots.empty() ? 64 : 2 * m_slots.size());
        m_slots.swap(slots);
        for (const int key : m_keys) {
            Find(key) = Entry{key, 0, true};
        }
    }

    std::vector<Entry> m_slots;
    std::vector<int> m_keys;
};

// The runs of a stretch of lines, as the tokenizer leaves them: for each line
// with runs the first run of every key, in key order, their texts side by
// side. The cells and their texts are made by the loading thread alone: what
// one thread allocates is reused after it by that thread only, and the cells
// are freed while the job's output grows.
struct RunBatch {
    struct Run {
        int nKey;
        int nN2;
        int nN3;
        int nN4;
        int nN5;
        bool bBold;
        bool bUnderline;
        bool bItalic;
        std::size_t nTextBegin;
        std::size_t nTextLength;
    };
    struct Line {
        int nIndex;
        std::size_t nRunEnd;   // one past its last run in `runs`
        std::size_t nTextEnd;  // one past its last text in `text`
    };
    enum class enState { enMore, enEnd, enError };

    std::vector<Line> lines;
    std::vector<Run> runs;
    std::wstring text;
    enState state = enState::enMore;

    void Clear() {
        lines.clear();
        runs.clear();
        text.clear();
        state = enState::enMore;
    }
};

// The cell of a run, standing in the column of its key until the keys are
// ranked.
KVExcelFileFieldValue& MakeCell(KVExcelFileFieldValue& cell, int nRow, const RunBatch::Run& run) {
    cell.m_nRow = nRow;
    cell.m_nColumn = run.nKey;
    cell.m_nColumnKey = run.nKey;
    cell.m_nN2 = run.nN2;
    cell.m_nN3 = run.nN3;
    cell.m_nN4 = run.nN4;
    cell.m_nN5 = run.nN5;
    cell.m_bBold = run.bBold;
    cell.m_bUnderline = run.bUnderline;
    cell.m_bItalic = run.bItalic;
    return cell;
}

// Reads a printer text file batch by batch and keeps the distinct keys.
class RunSource {
public:
    explicit RunSource(KVTextFileReader& reader) : m_reader(reader) {}

    // Fills an empty batch with the lines that follow. The state tells
    // whether more lines follow, the file ended, or reading failed.
    void Fill(RunBatch& batch) {
        // Big enough that handing a batch over costs nothing next to its
        // lines, small enough that both threads start working early.
        constexpr std::size_t kBatchRuns = 4096;
        constexpr std::size_t kBatchLines = 4096;
        for (std::size_t lines = 0; lines < kBatchLines && batch.runs.size() < kBatchRuns; ++lines) {
            const auto status = m_reader.ReadLine(m_line);
            if (status == KVTextFileReader::enRead::enEnd) {
                batch.state = RunBatch::enState::enEnd;
                return;
            }
            if (status == KVTextFileReader::enRead::enError) {
                Fail(L"reading it failed (" +
                     sw::base::FromLocaleOrCp1252(std::strerror(m_reader.GetErrorNumber())) + L")");
                batch.state = RunBatch::enState::enError;
                return;
            }
            if (m_nIndex == INT_MAX) {
                Fail(L"it has more lines than a report may have");
                batch.state = RunBatch::enState::enError;
                return;
            }
            AddLine(batch);
            ++m_nIndex;
        }
        batch.state = RunBatch::enState::enMore;
    }

    KeySet& Keys() { return m_keys; }
    // Why reading stopped short; the first reason given is kept.
    void Fail(const std::wstring& reason) {
        if (m_strError.empty()) {
            m_strError = reason;
        }
    }
    const std::wstring& Error() const { return m_strError; }

private:
    void AddLine(RunBatch& batch) {
        const std::size_t first = batch.runs.size();
        KVExcelFileFieldInfoParser::TokenizeLine(
            m_nIndex, m_line, m_token, [&](const KVExcelFileFieldInfoToken& token) {
                const int key = token.m_nColumnKey;
                auto at = batch.runs.end();
                if (batch.runs.size() > first && batch.runs.back().nKey >= key) {
                    at = std::lower_bound(batch.runs.begin() + static_cast<std::ptrdiff_t>(first),
                                          batch.runs.end(), key,
                                          [](const RunBatch::Run& run, int k) { return run.nKey < k; });
                    if (at->nKey == key) {
                        return;  // a later run of a position already taken
                    }
                }
                batch.runs.insert(at, RunBatch::Run{key, token.m_nN2, token.m_nN3, token.m_nN4, token.m_nN5,
                                                    token.m_bBold, token.m_bUnderline, token.m_bItalic,
                                                    batch.text.size(), token.m_strText.size()});
                batch.text.append(token.m_strText);
                m_keys.Insert(key);
            });
        if (batch.runs.size() > first) {
            batch.lines.push_back(RunBatch::Line{m_nIndex, batch.runs.size(), batch.text.size()});
        }
    }

    KVTextFileReader& m_reader;
    KVExcelFileFieldInfoToken m_token;
    std::wstring m_line;
    int m_nIndex = 0;
    KeySet m_keys;
    std::wstring m_strError;
};

// Hands batches from a thread that fills them to the caller, which stores
// them. A few batches go round between the two, so memory stays bounded
// whatever the size of the file.
class RunPipe {
public:
    // Feeds every batch of `source` to `store` in file order. False when
    // reading failed, memory running out while reading included; an
    // exception from `store` reaches the caller once the thread has stopped.
    template <typename Store>
    static bool Run(RunSource& source, Store&& store) {
        RunPipe pipe(source);
        try {
            pipe.m_thread = std::thread([&pipe] { pipe.Produce(); });
        } catch (const std::system_error&) {
            // No thread to be had: fill and store in turn.
            RunBatch& batch = pipe.m_batches[0];
            do {
                batch.Clear();
                source.Fill(batch);
                if (batch.state == RunBatch::enState::enError) {
                    return false;
                }
                store(batch);
            } while (batch.state == RunBatch::enState::enMore);
            return true;
        }
        for (;;) {
            RunBatch* batch = pipe.Take(pipe.m_full);
            if (batch->state == RunBatch::enState::enError) {
                // The producer has stopped: an error is its last batch.
                return false;
            }
            store(*batch);
            const bool more = batch->state == RunBatch::enState::enMore;
            if (!more) {
                return true;
            }
            batch->Clear();
            pipe.Give(pipe.m_free, batch);
        }
    }

    ~RunPipe() {
        if (m_thread.joinable()) {
            {
                const std::lock_guard lock(m_mutex);
                m_bStop = true;
            }
            m_changed.notify_all();
            m_thread.join();
        }
    }

private:
    static constexpr std::size_t kBatches = 4;

    // Batches waiting for one side. Never more than there are batches, so
    // handing one over allocates nothing and cannot fail.
    class Queue {
    public:
        bool Empty() const { return m_nCount == 0; }
        void Push(RunBatch* batch) {
            m_items[(m_nHead + m_nCount) % kBatches] = batch;
            ++m_nCount;
        }
        RunBatch* Pop() {
            RunBatch* batch = m_items[m_nHead];
            m_nHead = (m_nHead + 1) % kBatches;
            --m_nCount;
            return batch;
        }

    private:
        std::array<RunBatch*, kBatches> m_items{};
        std::size_t m_nHead = 0;
        std::size_t m_nCount = 0;
    };

    explicit RunPipe(RunSource& source) : m_source(source) {
        for (RunBatch& batch : m_batches) {
            m_free.Push(&batch);
        }
    }

    void Produce() {
        for (;;) {
            RunBatch* batch = nullptr;
            {
                std::unique_lock lock(m_mutex);
                m_changed.wait(lock, [this] { return m_bStop || !m_free.Empty(); });
                if (m_bStop) {
                    return;
                }
                batch = m_free.Pop();
            }
            try {
                m_source.Fill(*batch);
            } catch (...) {
                // The caller sees a failed read and reports it as one.
                m_source.Fail(L"there was not enough memory to read it");
                batch->state = RunBatch::enState::enError;
            }
            const bool more = batch->state == RunBatch::enState::enMore;
            Give(m_full, batch);
            if (!more) {
                return;
            }
        }
    }

    RunBatch* Take(Queue& queue) {
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [&queue] { return !queue.Empty(); });
        return queue.Pop();
    }

    void Give(Queue& queue, RunBatch* batch) {
        {
            const std::lock_guard lock(m_mutex);
            queue.Push(batch);
        }
        m_changed.notify_all();
    }

    RunSource& m_source;
    std::array<RunBatch, kBatches> m_batches;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    Queue m_free;
    Queue m_full;
    bool m_bStop = false;
    std::thread m_thread;  // last: stopped before anything it uses goes
};

}  // namespace

KVExcelFileMgr::KVExcelFileMgr() = default;

KVExcelFileMgr::~KVExcelFileMgr() {
    Clear();
}

void KVExcelFileMgr::Clear() {
    m_rows.clear();
    m_rows.shrink_to_fit();
    m_farCells.clear();
    // After the cells that view them.
    m_textBlocks.clear();
    m_textBlocks.shrink_to_fit();
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
        const auto& cells = m_rows[static_cast<std::size_t>(nRow)].cells;
        const auto it = std::lower_bound(cells.begin(), cells.end(), nColumn, ColumnBefore);
        if (it != cells.end() && it->m_nColumn == nColumn) {
            // The grid hands out its cells for change, as it did when each
            // was a block of its own.
            return const_cast<KVExcelFileFieldValue*>(&*it);
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
        m_nCellCount -= row.cells.size();
        std::vector<KVExcelFileFieldValue>().swap(row.cells);
        if (row.nTextBlock != kNoBlock) {
            // Rows are released in turn, so a block goes with the last of
            // its rows rather than waiting for the whole grid.
            TextBlock& block = m_textBlocks[row.nTextBlock];
            row.nTextBlock = kNoBlock;
            if (--block.nRows == 0) {
                block.texts.reset();
            }
        }
    }
}

const wchar_t* KVExcelFileMgr::KeepRowTexts(Row& row, std::wstring_view texts) {
    if (texts.empty()) {
        return nullptr;
    }
    if (m_textBlocks.empty() || !m_textBlocks.back().texts ||
        m_textBlocks.back().nCapacity - m_textBlocks.back().nUsed < texts.size()) {
        if (m_textBlocks.size() >= kNoBlock) {
            throw std::length_error("too many text blocks");
        }
        const std::size_t capacity = std::max(kTextBlockChars, texts.size());
        // Left uninitialised: every character is written before it is read.
        std::unique_ptr<wchar_t[]> fresh(new wchar_t[capacity]);
        m_textBlocks.push_back(TextBlock{std::move(fresh), 0, capacity, 0});
    }
    TextBlock& block = m_textBlocks.back();
    wchar_t* kept = block.texts.get() + block.nUsed;
    std::copy(texts.begin(), texts.end(), kept);
    block.nUsed += texts.size();
    ++block.nRows;
    row.nTextBlock = static_cast<std::uint32_t>(m_textBlocks.size() - 1);
    return kept;
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
    // A cell that views another row's text (one moved out of a grid) must not
    // depend on that row.
    pValue->OwnText();
    if (Row* dense = DenseRow(nRow)) {
        auto& row = dense->cells;
        if (row.size() == row.capacity()) {
            row.reserve(std::max<std::size_t>(4, 2 * row.capacity()));
        }
        // Loading adds each row's cells left to right, so this is an append.
        // With the room reserved, moving cells along cannot fail.
        auto it = row.end();
        if (!row.empty() && row.back().m_nColumn > nColumn) {
            it = std::lower_bound(row.begin(), row.end(), nColumn, ColumnBefore);
        }
        row.insert(it, std::move(*pValue));
        delete pValue;
    } else {
        m_farCells.try_emplace(FarKey(nRow, nColumn)).first->second.reset(pValue);
    }
    ++m_nCellCount;
    Include(nRow, nColumn);
    return true;
}

bool KVExcelFileMgr::Load(const std::wstring& strPath) {
    Clear();
    m_strLoadError.clear();
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
    //
    // Reading, decoding and cutting lines into runs is about half the work,
    // making the cells the other half: a second thread does the first part
    // a batch ahead (see RunPipe).
    RunSource source(reader);
    std::vector<std::unique_ptr<KVExcelFileFieldValue>> farCells;
    const auto store = [&](RunBatch& batch) {
        std::size_t run = 0;
        std::size_t textBegin = 0;
        const std::wstring_view text(batch.text);
        for (const RunBatch::Line& line : batch.lines) {
            const std::size_t count = line.nRunEnd - run;
            m_nRowLimit = line.nIndex + 1;
            Row* row = DenseRow(line.nIndex);
            // The line's texts, in one piece, and where that piece is kept.
            const std::wstring_view lineText = text.substr(textBegin, line.nTextEnd - textBegin);
            const wchar_t* kept = nullptr;
            if (row != nullptr) {
                row->cells.reserve(count);
                kept = KeepRowTexts(*row, lineText);
            }
            for (; run < line.nRunEnd; ++run) {
                const RunBatch::Run& r = batch.runs[run];
                if (row != nullptr) {
                    KVExcelFileFieldValue& cell = MakeCell(row->cells.emplace_back(), line.nIndex, r);
                    cell.ViewText(kept + (r.nTextBegin - textBegin), r.nTextLength);
                    ++m_nCellCount;
                } else {
                    farCells.push_back(std::make_unique<KVExcelFileFieldValue>(
                        line.nIndex, r.nKey, text.substr(r.nTextBegin, r.nTextLength)));
                    MakeCell(*farCells.back(), line.nIndex, r);
                }
            }
            textBegin = line.nTextEnd;
        }
    };
    try {
        if (!RunPipe::Run(source, store)) {
            Clear();
            m_strLoadError = strPath + L": " + source.Error();
            return false;
        }
    } catch (const std::exception& e) {
        Clear();
        m_strLoadError = strPath + L": " +
                         (dynamic_cast<const std::bad_alloc*>(&e) != nullptr
                              ? std::wstring(L"there was not enough memory to hold it")
                              : sw::base::FromUtf8OrCp1252(e.what()));
        return false;
    }

    KeySet& keys = source.Keys();
    keys.Sort();
    const auto columnOf = [&keys](int key) { return 2 * keys.RankOf(key); };
    const auto placeRows = [this, &columnOf](std::size_t first, std::size_t last) {
        for (std::size_t i = first; i < last; ++i) {
            for (KVExcelFileFieldValue& cell : m_rows[i].cells) {
                cell.m_nColumn = columnOf(cell.m_nColumnKey);
            }
        }
    };
    // Every cell is written once more here, which waits on memory more than
    // it computes: the two halves of the rows go at the same time.
    const std::size_t half = m_rows.size() / 2;
    std::thread other;
    try {
        other = std::thread(placeRows, half, m_rows.size());
    } catch (const std::system_error&) {
        placeRows(half, m_rows.size());
    }
    placeRows(0, half);
    if (other.joinable()) {
        other.join();
    }
    for (auto& cell : farCells) {
        cell->m_nColumn = columnOf(cell->m_nColumnKey);
        if (AddValue(cell.get())) {
            static_cast<void>(cell.release());
        }
    }
    const auto counter = static_cast<long long>(2 * keys.Size());
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
                const wchar_t* kept = nullptr;
                if (dense != nullptr) {
                    dense->cells.reserve(static_cast<std::size_t>(pieces));
                    kept = KeepRowTexts(*dense, line);
                }
                std::size_t start = 0;
                for (int piece = 1; piece <= pieces; ++piece) {
                    std::size_t end = line.find(L'\t', start);
                    if (end == std::wstring::npos) {
                        end = line.size();
                    }
                    if (dense != nullptr) {
                        KVExcelFileFieldValue& cell = dense->cells.emplace_back();
                        cell.m_nRow = row;
                        cell.m_nColumn = piece;
                        cell.ViewText(kept + start, end - start);
                        ++m_nCellCount;
                    } else {
                        auto cell = std::make_unique<KVExcelFileFieldValue>(
                            row, piece, std::wstring_view(line).substr(start, end - start));
                        if (AddValue(cell.get())) {
                            static_cast<void>(cell.release());
                        }
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
