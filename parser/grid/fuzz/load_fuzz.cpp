// Loads arbitrary bytes as a file in both modes. Plain mode is checked
// against an independent split of the lines; printer text mode against the
// runs the tokenizer finds, placed by key rank.
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "parser/grid/KVExcelFileMgr.h"
#include "parser/parse/KVExcelFileFieldInfoParser.h"
#include "parser/parse/KVTextFile.h"

namespace {

void Check(bool condition) {
    if (!condition) {
        std::abort();
    }
}

void CheckPlain(const KVExcelFileMgr& grid, std::string_view bytes) {
    std::vector<std::wstring> lines;
    if (bytes.starts_with("\xEF\xBB\xBF")) {
        bytes.remove_prefix(3);  // the reader drops a byte-order mark
        if (bytes.empty()) {
            lines.emplace_back();
        }
    }
    while (!bytes.empty()) {
        const std::size_t nl = bytes.find('\n');
        lines.push_back(KVDecodeText(bytes.substr(0, nl)));
        if (nl == std::string_view::npos) {
            break;
        }
        bytes.remove_prefix(nl + 1);
    }
    Check(grid.GetRowLimit() == static_cast<int>(lines.size()) + 1);
    std::size_t cells = 0;
    int columnLimit = 0;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        std::wstring line = lines[i];
        std::erase(line, L'\r');
        if (line.empty()) {
            continue;
        }
        std::vector<std::wstring> pieces;
        std::size_t start = 0;
        for (;;) {
            const std::size_t tab = line.find(L'\t', start);
            if (tab == std::wstring::npos) {
                if (start < line.size()) {
                    pieces.push_back(line.substr(start));
                }
                break;
            }
            pieces.push_back(line.substr(start, tab - start));
            start = tab + 1;
        }
        columnLimit = std::max(columnLimit, static_cast<int>(pieces.size()) + 1);
        for (std::size_t k = 0; k < pieces.size(); ++k) {
            const auto* cell = grid.GetValue(static_cast<int>(i) + 1, static_cast<int>(k) + 1);
            Check(cell != nullptr);
            Check(cell->GetText() == pieces[k]);
            Check(cell->GetRow() == static_cast<int>(i) + 1 && cell->GetColumn() == static_cast<int>(k) + 1);
            ++cells;
        }
        Check(grid.GetValue(static_cast<int>(i) + 1, 0) == nullptr);
    }
    Check(grid.GetColumnLimit() == columnLimit);
    Check(grid.GetCellCount() == cells);
}

void CheckTokens(const KVExcelFileMgr& grid, const std::wstring& path) {
    KVExcelFileFieldInfoParser parser;
    Check(parser.ReadFile(path));
    std::size_t cells = 0;
    int column = 0;
    int rowLimit = 0;
    for (int key : parser.GetKeyList()) {
        int lastLine = -1;
        for (const auto& token : *parser.GetTokenArray(key)) {
            const auto* cell = grid.GetValue(token.m_nLineIndex, column);
            Check(cell != nullptr && cell->m_nColumnKey == key);
            if (token.m_nLineIndex != lastLine) {
                // The first run of a position is the one stored.
                Check(cell->GetText() == token.m_strText && cell->m_nN2 == token.m_nN2 &&
                      cell->m_nN5 == token.m_nN5 && cell->m_bBold == token.m_bBold);
                ++cells;
            }
            lastLine = token.m_nLineIndex;
            rowLimit = std::max(rowLimit, token.m_nLineIndex + 1);
        }
        column += 2;
    }
    Check(grid.GetCellCount() == cells);
    Check(grid.GetRowLimit() == rowLimit);
    Check(grid.GetColumnLimit() == (column > 0 ? column + 1 : 0));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const int fd = memfd_create("grid_fuzz", MFD_CLOEXEC);
    if (fd < 0) {
        return 0;
    }
    std::size_t written = 0;
    while (written < size) {
        const ssize_t n = write(fd, data + written, size - written);
        if (n <= 0) {
            close(fd);
            return 0;
        }
        written += static_cast<std::size_t>(n);
    }
    const std::wstring path = L"/proc/self/fd/" + std::to_wstring(fd);
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);

    KVExcelFileMgr grid;
    grid.SetPlainMode(true);
    Check(grid.Load(path));
    CheckPlain(grid, bytes);

    grid.SetPlainMode(false);
    Check(grid.Load(path));
    CheckTokens(grid, path);
    close(fd);
    return 0;
}
