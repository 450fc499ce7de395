// Times the grid's two loaders on a generated report: a printer text file of
// N lines with 10 runs each, and the same texts tab-separated as the PDF
// extractor writes them. Prints seconds per phase and the peak resident size.
//
//   bench_grid [--lines N] [--mode all|read|token|plain] [--dir DIR] [--keep]
//
// Run one mode per process under `/usr/bin/time -v` for its own peak memory.
#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "parser/grid/KVExcelFileMgr.h"
#include "parser/parse/KVExcelFileFieldInfoParser.h"

namespace {

struct Column {
    const char* heading;
    int left;  // left edge of left-aligned text, right edge of right-aligned text
    bool right;
};

constexpr Column kColumns[10] = {
    {"Account", 36, false}, {"Customer", 110, false},  {"Date", 262, false},  {"Invoice", 326, false},
    {"Qty", 430, true},     {"Unit Price", 500, true}, {"Amount", 580, true}, {"Tax", 640, true},
    {"Total", 720, true},   {"Status", 736, false},
};
constexpr int kCharWidth = 6;
constexpr int kLinesPerPage = 60;
constexpr int kLineHeight = 12;

const char* const kCustomers[] = {
    "Harbour Freight Co", "M\xFCller & S\xF6hne GmbH", "Northwind Traders", "Blue Ridge Supply",
    "Caf\xE9 de la Gare", "Omega Plastics Ltd",        "Pioneer Tools",     "Sunrise Bakery",
    "Atlas Logistics",    "Greenfield Farms"};
const char* const kStatus[] = {"Paid", "Open", "Overdue", "Credit"};

std::string Money(long cents) {
    std::string digits = std::to_string(cents / 100);
    std::string grouped;
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0) {
            grouped += ',';
        }
        grouped += digits[i];
    }
    char tail[8];
    std::snprintf(tail, sizeof tail, ".%02ld", cents % 100);
    return grouped + tail;
}

// One line's ten texts: a page title, the headings, or a detail line.
std::vector<std::string> LineTexts(int line, unsigned& seed, int& styleOut) {
    auto next = [&seed] {
        seed = seed * 1103515245U + 12345U;
        return (seed >> 8) & 0xFFFFFF;
    };
    const int inPage = line % kLinesPerPage;
    std::vector<std::string> texts;
    if (inPage == 0) {
        styleOut = 1;
        const int page = line / kLinesPerPage + 1;
        texts = {"Quarterly Sales Report",
                 "Region:",
                 "North",
                 "Printed:",
                 "2026-12-07",
                 "14:05",
                 "Page",
                 std::to_string(page),
                 "of",
                 "Sheetwise Demo Ltd"};
    } else if (inPage == 1) {
        styleOut = 2;
        for (const auto& column : kColumns) {
            texts.emplace_back(column.heading);
        }
    } else {
        styleOut = 0;
        const long qty = 1 + static_cast<long>(next() % 250);
        const long price = 99 + static_cast<long>(next() % 250000);
        const long amount = qty * price;
        const long tax = amount * 19 / 100;
        char buffer[32];
        std::snprintf(buffer, sizeof buffer, "AC-%06u", next() % 1000000);
        texts.emplace_back(buffer);
        texts.emplace_back(kCustomers[next() % 10]);
        std::snprintf(buffer, sizeof buffer, "2026-%02u-%02u", 1 + next() % 12, 1 + next() % 28);
        texts.emplace_back(buffer);
        std::snprintf(buffer, sizeof buffer, "INV-%07d", line);
        texts.emplace_back(buffer);
        texts.push_back(std::to_string(qty));
        texts.push_back(Money(price));
        texts.push_back(Money(amount));
        texts.push_back(Money(tax));
        texts.push_back(Money(amount + tax));
        texts.emplace_back(kStatus[next() % 4]);
    }
    return texts;
}

void Generate(const std::string& printerPath, const std::string& plainPath, int lines) {
    std::FILE* printer = std::fopen(printerPath.c_str(), "wb");
    std::FILE* plain = std::fopen(plainPath.c_str(), "wb");
    if (printer == nullptr || plain == nullptr) {
        std::fprintf(stderr, "bench_grid: cannot write %s\n", printerPath.c_str());
        std::exit(1);
    }
    unsigned seed = 20261207U;
    for (int line = 0; line < lines; ++line) {
        int style = 0;
        const auto texts = LineTexts(line, seed, style);
        const int top = 40 + (line % kLinesPerPage) * kLineHeight;
        for (std::size_t k = 0; k < texts.size(); ++k) {
            const Column& column = kColumns[k];
            const int width = static_cast<int>(texts[k].size()) * kCharWidth;
            const int left = column.right ? column.left - width : column.left;
            const char* styleText = style == 1 ? "BNN" : style == 2 ? "BUN" : "NNN";
            const int size = style == 1 ? 12 : 9;
            std::fprintf(printer, "[[%d,%d,%d,%d][%d][%s][%s]]%s ", left, top, left + width, top + size, size,
                         styleText, style == 0 && k == 1 ? "Arial Narrow" : "Arial", texts[k].c_str());
            std::fputs(texts[k].c_str(), plain);
            std::fputs(k + 1 < texts.size() ? "\t" : "\r\n", plain);
        }
        std::fputs("\r\n", printer);
    }
    if (std::fclose(printer) != 0 || std::fclose(plain) != 0) {
        std::fprintf(stderr, "bench_grid: writing the files failed\n");
        std::exit(1);
    }
}

double Seconds(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

// Processor time of this process (user + system): on a shared machine it
// tells the cost of a phase better than the wall clock does.
double CpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

long PeakMegabytes() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024;
}

double Sweep(const KVExcelFileMgr& grid, std::size_t& found) {
    const auto start = std::chrono::steady_clock::now();
    found = 0;
    for (int row = 0; row < grid.GetRowLimit(); ++row) {
        for (int column = 0; column < grid.GetColumnLimit(); ++column) {
            const auto* cell = grid.GetValue(row, column);
            if (cell != nullptr && !cell->IsEmpty()) {
                ++found;
            }
        }
    }
    return Seconds(start);
}

void LoadGrid(const std::string& path, bool plain, const char* label) {
    KVExcelFileMgr grid;
    grid.SetPlainMode(plain);
    const auto start = std::chrono::steady_clock::now();
    const double cpuStart = CpuSeconds();
    const bool ok = grid.Load(std::filesystem::path(path).wstring());
    const double seconds = Seconds(start);
    const double cpu = CpuSeconds() - cpuStart;
    std::size_t found = 0;
    const double sweep = Sweep(grid, found);
    std::printf("%-22s %7.3f s (cpu %.3f s)  ok=%d cells=%zu rows=%d columns=%d\n", label, seconds, cpu,
                ok ? 1 : 0, grid.GetCellCount(), grid.GetRowLimit(), grid.GetColumnLimit());
    std::printf("%-22s GetValue over all %lld positions: %.3f s\n", "",
                static_cast<long long>(grid.GetRowLimit()) * grid.GetColumnLimit(), sweep);
    std::printf("%-22s peak RSS so far %ld MB\n", "", PeakMegabytes());
}

}  // namespace

int main(int argc, char** argv) {
    int lines = 100000;
    std::string mode = "all";
    std::string dir;
    bool keep = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--lines" && i + 1 < argc) {
            lines = std::atoi(argv[++i]);
        } else if (arg == "--mode" && i + 1 < argc) {
            mode = argv[++i];
        } else if (arg == "--dir" && i + 1 < argc) {
            dir = argv[++i];
        } else if (arg == "--keep") {
            keep = true;
        } else {
            std::fprintf(
                stderr, "usage: bench_grid [--lines N] [--mode all|read|token|plain] [--dir DIR] [--keep]\n");
            return 2;
        }
    }
    if (lines <= 0 || (mode != "all" && mode != "read" && mode != "token" && mode != "plain")) {
        std::fprintf(stderr, "bench_grid: bad --lines or --mode\n");
        return 2;
    }
    if (dir.empty()) {
        dir = (std::filesystem::temp_directory_path() / ("bench_grid_" + std::to_string(getpid()))).string();
    }
    std::filesystem::create_directories(dir);
    const std::string printerPath = dir + "/report.txt";
    const std::string plainPath = dir + "/report-pdf.txt";

    auto start = std::chrono::steady_clock::now();
    Generate(printerPath, plainPath, lines);
    std::printf("generated %d lines x 10 runs: %s (%ju bytes), %s (%ju bytes) in %.3f s\n", lines,
                printerPath.c_str(), static_cast<std::uintmax_t>(std::filesystem::file_size(printerPath)),
                plainPath.c_str(), static_cast<std::uintmax_t>(std::filesystem::file_size(plainPath)),
                Seconds(start));
    std::printf("peak RSS after generating %ld MB\n", PeakMegabytes());

    if (mode == "all" || mode == "read") {
        KVExcelFileFieldInfoParser parser;
        start = std::chrono::steady_clock::now();
        const double cpuStart = CpuSeconds();
        const bool ok = parser.ReadFile(std::filesystem::path(printerPath).wstring());
        const double seconds = Seconds(start);
        const double cpu = CpuSeconds() - cpuStart;
        std::size_t tokens = 0;
        for (int key : parser.GetKeyList()) {
            tokens += parser.GetTokenArray(key)->size();
        }
        std::printf("%-22s %7.3f s (cpu %.3f s)  ok=%d runs=%zu keys=%zu\n", "parser ReadFile", seconds, cpu,
                    ok ? 1 : 0, tokens, parser.GetKeyList().size());
        std::printf("%-22s peak RSS so far %ld MB\n", "", PeakMegabytes());
    }
    if (mode == "all" || mode == "token") {
        LoadGrid(printerPath, false, "grid Load (runs)");
    }
    if (mode == "all" || mode == "plain") {
        LoadGrid(plainPath, true, "grid Load (plain)");
    }
    if (!keep) {
        std::filesystem::remove_all(dir);
    }
    return 0;
}
