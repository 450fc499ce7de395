// How often loading a grid allocates. A binary of its own: it replaces the
// global allocation functions to count calls.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>
#include <string>

#include "parser/grid/KVExcelFileMgr.h"
#include "parser/parse/tests/test_files.h"

namespace {

std::atomic<long> g_allocations{0};

}  // namespace

void* operator new(std::size_t size) {
    g_allocations.fetch_add(1, std::memory_order_relaxed);
    if (void* p = std::malloc(size == 0 ? 1 : size)) {
        return p;
    }
    throw std::bad_alloc();
}

void* operator new[](std::size_t size) {
    return operator new(size);
}

void operator delete(void* p) noexcept {
    std::free(p);
}

void operator delete[](void* p) noexcept {
    std::free(p);
}

void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}

void operator delete[](void* p, std::size_t) noexcept {
    std::free(p);
}

namespace {

constexpr int kLines = 20000;
constexpr int kRuns = 8;

// Allocations made while loading `path`, on every thread.
long AllocationsToLoad(KVExcelFileMgr& grid, const std::wstring& path) {
    const long before = g_allocations.load();
    EXPECT_TRUE(grid.Load(path));
    const long made = g_allocations.load() - before;
    EXPECT_EQ(grid.GetCellCount(), static_cast<std::size_t>(kLines) * kRuns);
    return made;
}

}  // namespace

// A large file's texts are too long to live inside their cells; they must
// not cost an allocation each, only the rows may.
TEST(grid_alloc_test, loading_allocates_per_row_not_per_text) {
    ScratchDir dir;
    std::string printer;
    std::string plain;
    for (int line = 0; line < kLines; ++line) {
        for (int run = 0; run < kRuns; ++run) {
            const std::string text = "text " + std::to_string(line) + "/" + std::to_string(run);
            printer += "[[" + std::to_string(100 * (run + 1)) + ",1,2,3][9][NNN][Arial]]" + text;
            plain += text + (run + 1 < kRuns ? "\t" : "\n");
        }
        printer += "\n";
    }
    const std::wstring printerPath = dir.Write("printer.txt", printer);
    const std::wstring plainPath = dir.Write("plain.txt", plain);
    KVExcelFileMgr grid;
    EXPECT_LT(AllocationsToLoad(grid, printerPath), 2 * kLines);
    grid.SetPlainMode(true);
    EXPECT_LT(AllocationsToLoad(grid, plainPath), 2 * kLines);
}
