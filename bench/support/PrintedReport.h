// What the print benchmarks share: the clock, the median of a run's figures,
// and the long report they print.
#pragma once

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <vector>

namespace sw::bench {

// Seconds on the wall clock, comparable with the times programs log.
inline double Now() {
    return std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch()).count();
}

inline double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

// A sales report of `pages` pages of 60 detail lines under a title and a
// header line, each page ended by a form feed.
inline void WriteReport(const std::filesystem::path& path, int pages) {
    std::ofstream out(path);
    const char* names[] = {"Acme Corp", "Bolt & Nut Ltd", "Cog Works", "Dyna (UK)", "Eagle Supply"};
    int row = 0;
    for (int page = 1; page <= pages; ++page) {
        out << "ACME TRADING - SALES REPORT                              Page " << page << "\n\n"
            << "Customer  Name                Invoice   Date           Amount\n";
        for (int i = 0; i < 60; ++i, ++row) {
            char line[128];
            std::snprintf(line, sizeof line, "C%05d    %-18s  %7d   %2d/%d/2005  %11s\n", row, names[row % 5],
                          50000 + row, 1 + row % 12, 1 + row % 28, row % 2 ? "15,566.97" : "99.00");
            out << line;
        }
        out << '\f';
    }
}

}  // namespace sw::bench
